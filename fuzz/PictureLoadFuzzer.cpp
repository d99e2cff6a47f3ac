// Picture::load guessing the format: every loader sees the bytes the one before refused, from
// the same position.
#include "fuzz/PictureFuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    HA::FUZZ::loadAndCheck(data, size, HA::FUZZ::eLoader::Any);
    return 0;
}
