#include "uia/graphics/picture/Picture.h"

#include <png.h>

#include <csetjmp>
#include <cstdlib>

#include "gp/src/common/storage/IStorage.h"
#include "gp/src/common/storage/Stream.h"

namespace HA::UIA {

namespace {

// Deflate gives at most 1032 bytes for one byte of compressed data (a 258-byte match in two
// bits), so the image data of a file can only be that much larger than the file's bytes.
constexpr uint64_t kMaxDeflateRatio = 1032;

// What the decoding frame shares with its caller. Plain data only: libpng leaves that frame
// by longjmp, which skips destructors, so everything to release lives here instead.
struct PngDecode {
    png_structp png = nullptr;
    png_infop info = nullptr;
    png_bytepp rows = nullptr;
    png_byte colourType = 0;
    bool colourKey = false;  // a transparency chunk, which becomes alpha
};

void readFromStorage(png_structp png, png_bytep data, png_size_t length)
{
    auto* storage = static_cast<GP::IStorage*>(png_get_io_ptr(png));
    // The storage takes 32-bit counts; libpng asks for chunk-sized pieces.
    while (length > 0) {
        const auto piece = static_cast<std::uint32_t>(length > 0x40000000u ? 0x40000000u : length);
        if (storage->read(data, piece) != piece)
            png_error(png, "Read past the end of the file");
        data += piece;
        length -= piece;
    }
}

void raiseError(png_structp png, png_const_charp)
{
    png_longjmp(png, 1);
}

void ignoreWarning(png_structp, png_const_charp) {}

// Sets up the transforms to 8-bit BGRA and reads every row into the picture. False on any
// libpng error and on a header the picture cannot hold.
bool decodePng(PngDecode& decode, Picture& picture)
{
    png_structp png = decode.png;
    png_infop info = decode.info;
    if (setjmp(png_jmpbuf(png)))
        return false;

    png_read_info(png, info);
    png_uint_32 width = 0;
    png_uint_32 height = 0;
    int bitDepth = 0;
    int colourType = 0;
    png_get_IHDR(png, info, &width, &height, &bitDepth, &colourType, nullptr, nullptr, nullptr);
    decode.colourType = static_cast<png_byte>(colourType);
    // A header may promise far more pixels than the file can hold: refuse before allocating.
    // Every row is a filter byte and its packed samples.
    const uint64_t rowBytes = (uint64_t(width) * png_get_channels(png, info) * uint64_t(bitDepth) + 7) / 8;
    const int64_t remaining = GP::remainingBytes(*static_cast<GP::IStorage*>(png_get_io_ptr(png)));
    if (remaining >= 0 && uint64_t(height) * (1 + rowBytes) > uint64_t(remaining) * kMaxDeflateRatio)
        return false;

    decode.colourKey = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
    if (decode.colourKey)
        png_set_tRNS_to_alpha(png);
    if (bitDepth == 16)
        png_set_strip_16(png);
    switch (colourType) {
    case PNG_COLOR_TYPE_GRAY:
        png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
        png_set_gray_to_rgb(png);
        break;
    case PNG_COLOR_TYPE_GRAY_ALPHA:
        png_set_gray_to_rgb(png);
        break;
    case PNG_COLOR_TYPE_RGB:
        png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
        png_set_bgr(png);
        break;
    case PNG_COLOR_TYPE_RGB_ALPHA:
        png_set_bgr(png);
        break;
    case PNG_COLOR_TYPE_PALETTE:
        png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
        png_set_expand(png);
        png_set_bgr(png);
        break;
    default:
        return false;
    }
    png_set_interlace_handling(png);
    png_read_update_info(png, info);

    // Sizes from the file: the picture refuses what it cannot address, and every row must be
    // exactly one picture row.
    if (width > INT32_MAX || height > INT32_MAX || png_get_rowbytes(png, info) != 4 * png_size_t(width))
        return false;
    if (!picture.setSize(int32_t(width), int32_t(height), Picture::eBlock::Discard))
        return false;
    decode.rows = static_cast<png_bytepp>(std::malloc(sizeof(png_bytep) * (height != 0 ? height : 1)));
    if (decode.rows == nullptr)
        return false;
    auto* first = reinterpret_cast<png_bytep>(picture.getPixels());
    for (png_uint_32 y = 0; y < height; ++y)
        decode.rows[y] = first + png_size_t(y) * 4 * width;
    png_read_image(png, decode.rows);
    png_read_end(png, nullptr);
    return true;
}

bool anyPixelNotOpaque(const Picture& picture)
{
    const uint32_t* pixel = picture.getPixels();
    const int64_t count = int64_t(picture.getWidth()) * picture.getHeight();
    for (int64_t i = 0; i < count; ++i)
        if ((pixel[i] >> 24) != 0xFF)
            return true;
    return false;
}

}  // namespace

bool Picture::loadPNG(GP::Stream& stream, int, eAlphaDetection detection)
{
    GP::IStorage* storage = stream.getStorage();
    if (storage == nullptr)
        return false;
    PngDecode decode;
    decode.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, raiseError, ignoreWarning);
    if (decode.png == nullptr)
        return false;
    decode.info = png_create_info_struct(decode.png);
    if (decode.info == nullptr) {
        png_destroy_read_struct(&decode.png, nullptr, nullptr);
        return false;
    }
    png_set_read_fn(decode.png, storage, readFromStorage);
    const bool decoded = decodePng(decode, *this);
    png_destroy_read_struct(&decode.png, &decode.info, nullptr);
    std::free(decode.rows);
    if (!decoded)
        return false;

    // A gray or RGB file's colour key leaves its keyed pixels transparent like an alpha channel.
    const png_byte type = decode.colourType;
    const bool alphaType = type == PNG_COLOR_TYPE_PALETTE || type == PNG_COLOR_TYPE_GRAY_ALPHA ||
                           type == PNG_COLOR_TYPE_RGB_ALPHA || decode.colourKey;
    setHasAlpha(detection == eAlphaDetection::On && alphaType && anyPixelNotOpaque(*this));
    return true;
}

}  // namespace HA::UIA
