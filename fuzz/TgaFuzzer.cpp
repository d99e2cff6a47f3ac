// Targa files, read in both byte orders of the stream.
#include "fuzz/PictureFuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    HA::FUZZ::loadAndCheck(data, size, HA::FUZZ::eLoader::Tga, HA::GP::Stream::LittleEndian);
    HA::FUZZ::loadAndCheck(data, size, HA::FUZZ::eLoader::Tga, HA::GP::Stream::BigEndian);
    return 0;
}
