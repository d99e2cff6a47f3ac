// Code path 0; see PathBody.inl.
#include <immintrin.h>

#include "resample/CpuFeatures.h"
#include "resample/ResizeSpec.h"
#include "resample/paths/Paths.h"

#define HA_RESAMPLE_LEVEL 0

namespace Resample::DETAIL::Path0 {
#include "resample/paths/PathBody.inl"
} // namespace Resample::DETAIL::Path0
