// Picture::load guessing the format: every loader sees the bytes the one before refused, from
// the same position. Large arithmetic-coded JPEG files are left out (see JpegFuzzSupport.h).
#include "fuzz/JpegFuzzSupport.h"
#include "fuzz/PictureFuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 0 && HA::FUZZ::isLargeArithmeticJpeg(data, size))
        return 0;
    HA::FUZZ::loadAndCheck(data, size, HA::FUZZ::eLoader::Any);
    return 0;
}
