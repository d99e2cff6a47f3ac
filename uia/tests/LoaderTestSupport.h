#pragma once
// Picture files made at test time: PNG and JPEG through their libraries (JPEG in
// JpegTestFile.h), ICC profiles through Little CMS, and a reader that runs Picture::load
// over bytes in memory.

#include <gtest/gtest.h>

#include <lcms2.h>
#include <png.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "gp/src/common/storage/MemoryStorage.h"
#include "gp/src/common/storage/Stream.h"
#include "uia/graphics/picture/Picture.h"
#include "uia/tests/JpegTestFile.h"

namespace HA::UIA::TEST {

// Loads bytes with one of the loaders, from offset `start` of the storage.
enum class eLoader { Any, Png, Jpeg, Tga };

inline bool loadBytes(Picture& picture, const Bytes& bytes, eLoader loader = eLoader::Any,
                      Picture::eAlphaDetection detection = Picture::eAlphaDetection::On, uint32_t start = 0)
{
    GP::MemoryStorage storage;
    storage.attachReadOnly(bytes.data(), uint32_t(bytes.size()));
    storage.seek(start, GP::IStorage::SeekBegin);
    GP::Stream stream(&storage);
    switch (loader) {
    case eLoader::Png:
        return picture.loadPNG(stream, 0, detection);
    case eLoader::Jpeg:
        return picture.loadJPEG(stream, 0, detection);
    case eLoader::Tga:
        return picture.loadTGA(stream, 0, detection);
    case eLoader::Any:
        break;
    }
    return picture.load(stream, 0, detection);
}

inline uint32_t pixelAt(const Picture& picture, int x, int y)
{
    return picture.getPixels()[y * picture.getWidth() + x];
}

inline uint32_t argb(uint32_t a, uint32_t r, uint32_t g, uint32_t b)
{
    return a << 24 | r << 16 | g << 8 | b;
}

inline std::string hex(uint32_t v)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", v);
    return text;
}

// Every channel of actual within tolerance of expected.
inline ::testing::AssertionResult near(uint32_t expected, uint32_t actual, int tolerance)
{
    for (int shift = 0; shift < 32; shift += 8) {
        const int e = int(expected >> shift & 0xFF), a = int(actual >> shift & 0xFF);
        if (a - e > tolerance || e - a > tolerance)
            return ::testing::AssertionFailure() << "expected " << hex(expected) << ", got " << hex(actual);
    }
    return ::testing::AssertionSuccess();
}

// ---- PNG

struct PngImage {
    uint32_t width = 0;
    uint32_t height = 0;
    int bitDepth = 8;
    int colourType = PNG_COLOR_TYPE_RGB;
    bool interlaced = false;
    int compressionLevel = -1;  // zlib's level; -1 the library's default
    std::vector<png_color> palette;
    Bytes transparency;         // palette alphas
    png_color_16 transparentColour{};  // gray or RGB without palette
    bool hasTransparentColour = false;
    std::vector<Bytes> rows;    // rows as the file packs them (16-bit samples big-endian)
};

inline void pngWrite(png_structp png, png_bytep data, png_size_t length)
{
    auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

inline void pngAbort(png_structp, png_const_charp message)
{
    ADD_FAILURE() << "libpng: " << message;
    std::abort();
}

inline Bytes encodePng(const PngImage& image)
{
    Bytes out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, pngAbort, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(png, &out, pngWrite, nullptr);
    if (image.compressionLevel >= 0)
        png_set_compression_level(png, image.compressionLevel);
    png_set_IHDR(png, info, image.width, image.height, image.bitDepth, image.colourType,
                 image.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (!image.palette.empty())
        png_set_PLTE(png, info, image.palette.data(), int(image.palette.size()));
    if (!image.transparency.empty())
        png_set_tRNS(png, info, image.transparency.data(), int(image.transparency.size()), nullptr);
    if (image.hasTransparentColour)
        png_set_tRNS(png, info, nullptr, 0, &image.transparentColour);
    png_write_info(png, info);
    std::vector<png_bytep> rows;
    for (const Bytes& row : image.rows)
        rows.push_back(const_cast<png_bytep>(row.data()));
    png_write_image(png, rows.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

// ---- ICC profiles

inline Bytes saveProfile(cmsHPROFILE profile)
{
    cmsUInt32Number size = 0;
    cmsSaveProfileToMem(profile, nullptr, &size);
    Bytes bytes(size);
    cmsSaveProfileToMem(profile, bytes.data(), &size);
    cmsCloseProfile(profile);
    return bytes;
}

inline Bytes sRGBProfile()
{
    return saveProfile(cmsCreate_sRGBProfile());
}

// An RGB profile whose red and green primaries are those of sRGB's green and red: a file
// red shows as green once the profile is applied.
inline Bytes swappedPrimariesProfile()
{
    cmsCIExyY white;
    cmsWhitePointFromTemp(&white, 6504);
    const cmsCIExyYTRIPLE primaries{{0.30, 0.60, 1.0}, {0.64, 0.33, 1.0}, {0.15, 0.06, 1.0}};
    const cmsFloat64Number parameters[5] = {2.4, 1.0 / 1.055, 0.055 / 1.055, 1.0 / 12.92, 0.04045};
    cmsToneCurve* curve = cmsBuildParametricToneCurve(nullptr, 4, parameters);
    cmsToneCurve* curves[3] = {curve, curve, curve};
    cmsHPROFILE profile = cmsCreateRGBProfile(&white, &primaries, curves);
    cmsFreeToneCurve(curve);
    return saveProfile(profile);
}

inline Bytes grayProfile()
{
    cmsToneCurve* curve = cmsBuildGamma(nullptr, 2.2);
    cmsHPROFILE profile = cmsCreateGrayProfile(cmsD50_xyY(), curve);
    cmsFreeToneCurve(curve);
    return saveProfile(profile);
}

// A CMYK profile that turns every colour into one Lab colour (a pure green).
inline Bytes constantCmykProfile()
{
    cmsHPROFILE profile = cmsCreateProfilePlaceholder(nullptr);
    cmsSetProfileVersion(profile, 4.3);
    cmsSetDeviceClass(profile, cmsSigColorSpaceClass);
    cmsSetColorSpace(profile, cmsSigCmykData);
    cmsSetPCS(profile, cmsSigLabData);
    cmsPipeline* pipeline = cmsPipelineAlloc(nullptr, 4, 3);
    cmsStage* table = cmsStageAllocCLut16bit(nullptr, 2, 4, 3, nullptr);
    cmsStageSampleCLut16bit(
        table,
        [](const cmsUInt16Number[], cmsUInt16Number out[], void*) -> cmsInt32Number {
            const cmsCIELab green{87.7, -86.2, 83.2};
            cmsFloat2LabEncoded(out, &green);
            return TRUE;
        },
        nullptr, 0);
    // The tag's form wants curves around the table.
    cmsPipelineInsertStage(pipeline, cmsAT_END, cmsStageAllocToneCurves(nullptr, 4, nullptr));
    cmsPipelineInsertStage(pipeline, cmsAT_END, table);
    cmsPipelineInsertStage(pipeline, cmsAT_END, cmsStageAllocToneCurves(nullptr, 3, nullptr));
    cmsWriteTag(profile, cmsSigAToB0Tag, pipeline);
    cmsWriteTag(profile, cmsSigMediaWhitePointTag, cmsD50_XYZ());
    cmsPipelineFree(pipeline);
    return saveProfile(profile);
}

// ---- JPEG

// Uniform pixels of one colour (1, 3 or 4 components).
inline Bytes uniform(JDIMENSION width, JDIMENSION height, const Bytes& colour)
{
    Bytes pixels;
    for (JDIMENSION i = 0; i < width * height; ++i)
        pixels.insert(pixels.end(), colour.begin(), colour.end());
    return pixels;
}

}  // namespace HA::UIA::TEST
