// A colour profile embedded in a small JPEG picture: the first byte picks the file's colour
// space, the second the number of APP2 chunks it is split into, the rest is the profile.
#include <vector>

#include "fuzz/PictureFuzzSupport.h"
#include "uia/tests/JpegTestFile.h"

namespace {

using Bytes = std::vector<uint8_t>;

struct Layout {
    J_COLOR_SPACE input;
    J_COLOR_SPACE file;
    bool adobe;
};

const Layout kLayouts[] = {
    {JCS_RGB, JCS_RGB, true},
    {JCS_CMYK, JCS_CMYK, true},
    {JCS_CMYK, JCS_CMYK, false},
    {JCS_CMYK, JCS_YCCK, true},
    {JCS_RGB, JCS_YCbCr, false},
    {JCS_GRAYSCALE, JCS_GRAYSCALE, false},
};

Bytes encode(const Layout& layout, const Bytes& profile, unsigned chunks)
{
    HA::UIA::TEST::JpegImage image;
    image.input = layout.input;
    image.file = layout.file;
    image.quality = 75;
    image.subsampled = true;
    image.adobeMarker = layout.adobe;
    std::vector<HA::UIA::TEST::IccChunk> numbers;
    for (unsigned n = 1; n <= chunks; ++n)
        numbers.push_back({int(n), int(chunks)});
    image.app2 = HA::UIA::TEST::iccMarkers(profile, int(chunks), numbers);
    const size_t rowBytes = 8 * size_t(HA::UIA::TEST::components(image.input));
    for (JDIMENSION y = 0; y < image.height; ++y)
        for (size_t i = 0; i < rowBytes; ++i)
            image.pixels.push_back(uint8_t(i * 37));
    return HA::UIA::TEST::encodeJpeg(image);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    HA::FUZZ::FuzzInput input(data, size);
    const Layout& layout = kLayouts[input.u8() % (sizeof kLayouts / sizeof kLayouts[0])];
    const unsigned chunks = 1 + input.u8() % 4;
    // An APP2 marker holds at most 65519 bytes after its 14-byte chunk header.
    const Bytes profile = input.bytes(size_t(chunks) * 65519);
    const Bytes file = encode(layout, profile, chunks);
    HA::FUZZ::loadAndCheck(file.data(), file.size(), HA::FUZZ::eLoader::Jpeg);
    return 0;
}
