// PNG files, as a skin folder may hold them.
#include "fuzz/PictureFuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    HA::FUZZ::loadAndCheck(data, size, HA::FUZZ::eLoader::Png);
    return 0;
}
