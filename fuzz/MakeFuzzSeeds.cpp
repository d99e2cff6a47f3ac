// Writes the seed corpus of every fuzz target into <folder>/<target>/: small pictures made
// with their libraries, a tiny TrueType font, texts, device replies. Run by scripts/fuzz.sh;
// seeds kept as files live in fuzz/corpus/<target>/.
//
// MakeFuzzSeeds <folder>

#include <lcms2.h>
#include <png.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "uia/tests/JpegTestFile.h"
#include "uia/tests/TinyFont.h"

namespace {

using Bytes = std::vector<uint8_t>;

std::filesystem::path gFolder;

void write(const std::string& target, const std::string& name, const Bytes& bytes)
{
    const std::filesystem::path folder = gFolder / target;
    std::filesystem::create_directories(folder);
    std::ofstream out(folder / name, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

void writeText(const std::string& target, const std::string& name, const std::string& text)
{
    write(target, name, Bytes(text.begin(), text.end()));
}

Bytes operator+(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Bytes text(const std::string& s)
{
    return Bytes(s.begin(), s.end());
}

// ---- PNG

void pngWrite(png_structp png, png_bytep data, png_size_t length)
{
    auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

void pngFlush(png_structp) {}

Bytes png(uint32_t width, uint32_t height, int depth, int colourType, bool interlaced, bool transparency)
{
    Bytes out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return {};
    }
    png_set_write_fn(png, &out, pngWrite, pngFlush);
    png_set_IHDR(png, info, width, height, depth, colourType, interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (colourType == PNG_COLOR_TYPE_PALETTE) {
        png_color palette[4] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {250, 250, 250}};
        png_set_PLTE(png, info, palette, 4);
        if (transparency) {
            png_byte alphas[2] = {0, 128};
            png_set_tRNS(png, info, alphas, 2, nullptr);
        }
    } else if (transparency) {
        png_color_16 colour{};
        colour.gray = 1;
        colour.red = 1;
        png_set_tRNS(png, info, nullptr, 0, &colour);
    }
    png_write_info(png, info);
    const int channels = colourType == PNG_COLOR_TYPE_RGB ? 3 : colourType == PNG_COLOR_TYPE_RGBA ? 4
                         : colourType == PNG_COLOR_TYPE_GA ? 2 : 1;
    const size_t rowBytes = (size_t(width) * channels * depth + 7) / 8;
    std::vector<Bytes> rows(height, Bytes(rowBytes));
    std::vector<png_bytep> pointers;
    for (uint32_t y = 0; y < height; ++y) {
        for (size_t i = 0; i < rowBytes; ++i)
            rows[y][i] = uint8_t(i * 29 + y * 71);
        pointers.push_back(rows[y].data());
    }
    png_write_image(png, pointers.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

// ---- JPEG

Bytes profileBytes(cmsHPROFILE profile)
{
    cmsUInt32Number size = 0;
    cmsSaveProfileToMem(profile, nullptr, &size);
    Bytes bytes(size);
    cmsSaveProfileToMem(profile, bytes.data(), &size);
    cmsCloseProfile(profile);
    return bytes;
}

Bytes grayProfile()
{
    cmsToneCurve* curve = cmsBuildGamma(nullptr, 2.2);
    Bytes bytes = profileBytes(cmsCreateGrayProfile(cmsD50_xyY(), curve));
    cmsFreeToneCurve(curve);
    return bytes;
}

Bytes rgbProfile()
{
    cmsCIExyY white;
    cmsWhitePointFromTemp(&white, 6504);
    const cmsCIExyYTRIPLE primaries{{0.64, 0.33, 1.0}, {0.30, 0.60, 1.0}, {0.15, 0.06, 1.0}};
    cmsToneCurve* curve = cmsBuildGamma(nullptr, 2.2);
    cmsToneCurve* curves[3] = {curve, curve, curve};
    Bytes bytes = profileBytes(cmsCreateRGBProfile(&white, &primaries, curves));
    cmsFreeToneCurve(curve);
    return bytes;
}

using HA::UIA::TEST::JpegImage;

// A small seed picture: quality 50, a gradient in every component, and the profile (when
// given) whole in one APP2 marker.
JpegImage jpegSeed(J_COLOR_SPACE space, JDIMENSION width = 8, JDIMENSION height = 8)
{
    JpegImage image;
    image.input = space == JCS_YCbCr ? JCS_RGB : space == JCS_YCCK ? JCS_CMYK : space;
    image.file = space;
    image.width = width;
    image.height = height;
    image.quality = 50;
    const size_t rowBytes = size_t(width) * HA::UIA::TEST::components(image.input);
    for (JDIMENSION y = 0; y < height; ++y)
        for (size_t i = 0; i < rowBytes; ++i)
            image.pixels.push_back(uint8_t(i * 13 + y * 41));
    return image;
}

JpegImage withProfile(JpegImage image, const Bytes& profile)
{
    image.app2.push_back(text("ICC_PROFILE") + Bytes{0, 1, 1} + profile);
    return image;
}

Bytes jpeg(const JpegImage& image) { return HA::UIA::TEST::encodeJpeg(image); }

// ---- Targa

Bytes tga(uint8_t type, uint8_t depth, uint16_t width, uint16_t height, uint8_t descriptor, const Bytes& pixels,
          uint8_t idLength = 0)
{
    Bytes out{idLength, 0, type, 0, 0, 0, 0, 0, 0, 0, 0, 0, uint8_t(width), uint8_t(width >> 8),
              uint8_t(height), uint8_t(height >> 8), depth, descriptor};
    out.insert(out.end(), idLength, 'i');
    return out + pixels;
}

Bytes ramp(size_t count)
{
    Bytes out(count);
    for (size_t i = 0; i < count; ++i)
        out[i] = uint8_t(i * 17 + 3);
    return out;
}

// ---- Device replies: control byte 0 (at once), length, bytes.

Bytes reply(const Bytes& data, uint8_t control = 0)
{
    return Bytes{control, uint8_t(data.size())} + data;
}

Bytes stringDescriptor(const std::u16string& s)
{
    Bytes d{uint8_t(2 + 2 * s.size()), 3};
    for (char16_t c : s) {
        d.push_back(uint8_t(c));
        d.push_back(uint8_t(c >> 8));
    }
    return d;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: MakeFuzzSeeds <folder>\n");
        return 2;
    }
    gFolder = argv[1];

    const std::vector<std::pair<std::string, Bytes>> pngs = {
        {"rgba.png", png(4, 3, 8, PNG_COLOR_TYPE_RGBA, false, false)},
        {"rgb16.png", png(3, 2, 16, PNG_COLOR_TYPE_RGB, false, false)},
        {"palette-trns.png", png(5, 5, 2, PNG_COLOR_TYPE_PALETTE, false, true)},
        {"gray1.png", png(9, 2, 1, PNG_COLOR_TYPE_GRAY, false, false)},
        {"gray-alpha.png", png(3, 3, 8, PNG_COLOR_TYPE_GA, false, false)},
        {"rgb-trns-interlaced.png", png(6, 5, 8, PNG_COLOR_TYPE_RGB, true, true)},
    };
    JpegImage progressive = jpegSeed(JCS_YCbCr, 17, 9);
    progressive.progressive = true;
    progressive.subsampled = true;
    JpegImage arithmetic = jpegSeed(JCS_YCbCr);
    arithmetic.arithmetic = true;
    JpegImage restarts = jpegSeed(JCS_YCbCr, 16, 24);
    restarts.restartRows = 1;
    const std::vector<std::pair<std::string, Bytes>> jpegs = {
        {"ycbcr.jpg", jpeg(jpegSeed(JCS_YCbCr))},
        {"gray.jpg", jpeg(jpegSeed(JCS_GRAYSCALE))},
        {"rgb.jpg", jpeg(jpegSeed(JCS_RGB))},
        {"cmyk.jpg", jpeg(jpegSeed(JCS_CMYK))},
        {"ycck.jpg", jpeg(jpegSeed(JCS_YCCK))},
        {"progressive.jpg", jpeg(progressive)},
        {"arithmetic.jpg", jpeg(arithmetic)},
        {"restarts.jpg", jpeg(restarts)},
        {"rgb-profile.jpg", jpeg(withProfile(jpegSeed(JCS_RGB), rgbProfile()))},
        {"gray-profile.jpg", jpeg(withProfile(jpegSeed(JCS_GRAYSCALE), grayProfile()))},
    };
    const std::vector<std::pair<std::string, Bytes>> tgas = {
        {"16.tga", tga(2, 16, 3, 2, 0x20, ramp(12))},
        {"24-bottom-up.tga", tga(2, 24, 2, 3, 0, ramp(18), 3)},
        {"32.tga", tga(2, 32, 2, 2, 0x28, ramp(16))},
        {"32-rle.tga", tga(10, 32, 4, 2, 0x20, Bytes{0x83, 1, 2, 3, 4, 0x01} + ramp(8) + Bytes{0x81} + ramp(4))},
    };
    for (const auto& [name, bytes] : pngs)
        write("png", name, bytes);
    for (const auto& [name, bytes] : jpegs)
        write("jpeg", name, bytes);
    for (const auto& [name, bytes] : tgas)
        write("tga", name, bytes);
    write("picture_load", "rgba.png", pngs[0].second);
    write("picture_load", "ycbcr.jpg", jpegs[0].second);
    write("picture_load", "progressive.jpg", jpegs[5].second);
    write("picture_load", "32-rle.tga", tgas[3].second);
    write("picture_load", "16.tga", tgas[0].second);

    // Colour space, chunk count, profile.
    write("jpeg_icc", "rgb", Bytes{0, 1} + rgbProfile());
    write("jpeg_icc", "rgb-3-chunks", Bytes{0, 2} + rgbProfile());
    write("jpeg_icc", "gray-on-cmyk", Bytes{1, 0} + grayProfile());

    // Properties (little-endian words), picture size, frame, nine-patch rectangle, alphas.
    const auto properties = [](uint8_t alpha, int32_t layout, uint32_t frames, int32_t flags,
                               std::vector<int32_t> margins) {
        Bytes out{1, 0, 0, 0, alpha};
        for (uint32_t v : {uint32_t(layout), frames, uint32_t(flags), uint32_t(margins[0]), uint32_t(margins[1]),
                           uint32_t(margins[2]), uint32_t(margins[3])})
            for (int shift = 0; shift < 32; shift += 8)
                out.push_back(uint8_t(v >> shift));
        return out;
    };
    const Bytes drawing = Bytes{12, 8, 0, 2, 0, 3, 0, 60, 0, 50, 0} + Bytes(96, 0xFF) + Bytes(48, 0);
    write("picture_properties", "plain", properties(0, 1, 0, 0, {0, 0, 0, 0}) + drawing);
    write("picture_properties", "nine-patch", properties(1, 1, 1, 3, {2, 2, 3, 3}) + drawing);
    write("picture_properties", "frames-side-by-side", properties(1, 2, 2, 3, {1, 1, 1, 1}) + drawing);
    write("picture_properties", "stacked-frames", properties(1, 1, 2, 1, {1, 2, 0, 0}) + drawing);

    const Bytes font = HA::UIA::TEST::tinyTrueTypeFont();
    write("font", "square-16", Bytes{16, 0} + font);
    write("font", "square-11-hinted-underlined", Bytes{11, 0x14} + font);

    writeText("utf8", "ascii", "Vireo Interface");
    writeText("utf8", "mixed", "Gr\xC3\xBC\xC3\x9F" "e \xE2\x82\xAC \xF0\x9F\x98\x80 \xC3\x84rger");
    writeText("utf8", "invalid", "a\xC3(b\xE2\x82z\xED\xA0\x80q\xF4\x90\x80\x80\xC0\xAF");
    write("utf8", "utf16-surrogates", Bytes{'V', 0, 'i', 0, 0x3D, 0xD8, 0x00, 0xDE, 0x00, 0xDC, 'x', 0, 0x00, 0xD8});

    writeText("filepath", "drive", std::string("\x05" "D:\\x\\" "\x03" "txt") + "C:\\Users\\me\\file.name.txt");
    writeText("filepath", "network", std::string("\x00\x04.bin", 6) + "\\\\server\\share\\folder\\");
    writeText("filepath", "annotated", std::string("\x03" "a/b" "\x00", 5) + "relative/.profile<annotation>");
    writeText("filepath", "volume", std::string("\x02" "E:" "\x01" "x") + "C:");

    // Width, measure byte, ellipsis, replacement key and value, text.
    writeText("abbreviator", "path", std::string("\x28\x04\x03...\x07Program\x04Prog") +
                                         "C:\\Program Files\\Harnwick\\Vireo Updater\\updater.exe");
    writeText("abbreviator", "words", std::string("\x10\x00\x03\xE2\x80\xA6\x00\x00") +
                                          "Firmware Update for the Vireo Interface (USB)");
    writeText("abbreviator", "lying-fit", std::string("\x08\x05\x01~\x01" "a\x01" "b") + "aaa bbb \xC3\xA4\xC3\xB6\xC3\xBC");

    const Bytes device = {18, 1, 0x00, 0x02, 0, 0, 0, 64, 0x17, 0x3A, 0x30, 0x0E, 0x35, 0x00, 1, 2, 3, 1};
    write("device_identity", "three-strings",
          reply(device) + reply(stringDescriptor(u"Vireo Interface")) + reply(stringDescriptor(u"Harnwick")) +
              reply(stringDescriptor(u"SN-0001")));
    write("device_identity", "odd-and-short",
          reply(device) + reply(Bytes{7, 3, 'A', 0, 0x3D, 0xD8, 'x'}) + reply(Bytes{2, 3}) +
              reply(Bytes{255, 3, 0x00, 0xD8, 'z', 0}) + reply(Bytes{}, 4));

    // DFU information {mode, attributes, manifestation limit, transfer size, extra}, then the
    // replies of one block: DNLOAD, GETSTATUS dfuDNLOAD-IDLE; the closing block, manifestation.
    const Bytes idle = {0, 0, 0, 0, 5, 0};
    write("dfu_download", "one-block-tolerant",
          reply(Bytes{2, 0x04, 25, 0, 0x00, 0x04, 1}) + reply({}) + reply(idle) + reply({}) +
              reply(Bytes{0, 10, 0, 0, 7, 0}) + reply(Bytes{0, 0, 0, 0, 2, 0}) + reply(Bytes{2}));
    write("dfu_download", "busy-then-manifest-reset",
          reply(Bytes{2, 0x00, 25, 0, 0x00, 0x02, 1}) + reply({}) + reply(Bytes{0, 100, 0, 0, 4, 0}) +
              reply(idle) + reply({}, 2 | 8) + reply(idle) + reply({}) + reply(Bytes{0, 0, 0, 0, 8, 0}) +
              reply(Bytes{8}));
    write("dfu_download", "error-status", reply(Bytes{2, 0x04, 1, 0, 0x40, 0x00, 0}) + reply({}) +
                                              reply(Bytes{4, 0, 0, 0, 10, 0}) + reply({}, 3));
    return 0;
}
