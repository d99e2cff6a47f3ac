// JPEG files of every colour space, with and without a colour profile in their APP2 markers.
#include "fuzz/JpegFuzzSupport.h"
#include "fuzz/PictureFuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0 || HA::FUZZ::isLargeArithmeticJpeg(data, size))
        return 0;
    HA::FUZZ::loadAndCheck(data, size, HA::FUZZ::eLoader::Jpeg);
    return 0;
}
