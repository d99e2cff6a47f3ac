// A colour profile embedded in a small JPEG picture: the first byte picks the file's colour
// space, the second the number of APP2 chunks it is split into, the rest is the profile.
#include <algorithm>
#include <cstdlib>
#include <vector>

#include "fuzz/PictureFuzzSupport.h"

#include <jpeglib.h>

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
    jpeg_compress_struct info{};
    jpeg_error_mgr error{};
    info.err = jpeg_std_error(&error);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = 8;
    info.image_height = 8;
    info.input_components = layout.input == JCS_GRAYSCALE ? 1 : layout.input == JCS_CMYK ? 4 : 3;
    info.in_color_space = layout.input;
    jpeg_set_defaults(&info);
    jpeg_set_colorspace(&info, layout.file);
    info.write_Adobe_marker = layout.adobe ? TRUE : FALSE;
    jpeg_start_compress(&info, TRUE);
    const size_t step = (profile.size() + chunks - 1) / chunks;
    for (unsigned n = 1; n <= chunks; ++n) {
        Bytes marker{'I', 'C', 'C', '_', 'P', 'R', 'O', 'F', 'I', 'L', 'E', 0, uint8_t(n), uint8_t(chunks)};
        const size_t begin = std::min(profile.size(), step * (n - 1));
        const size_t end = std::min(profile.size(), begin + step);
        marker.insert(marker.end(), profile.begin() + long(begin), profile.begin() + long(end));
        jpeg_write_marker(&info, JPEG_APP0 + 2, marker.data(), unsigned(marker.size()));
    }
    Bytes row(8 * size_t(info.input_components));
    for (size_t i = 0; i < row.size(); ++i)
        row[i] = uint8_t(i * 37);
    while (info.next_scanline < info.image_height) {
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    Bytes out(buffer, buffer + size);
    std::free(buffer);
    return out;
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
