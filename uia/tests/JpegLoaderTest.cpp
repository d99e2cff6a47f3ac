#include <gtest/gtest.h>

#include "uia/graphics/codecs/JpegIccProfile.h"
#include "uia/tests/LoaderTestSupport.h"

namespace HA::UIA::TEST {
namespace {

using Alpha = Picture::eAlphaDetection;

constexpr int kTolerance = 3;
const uint32_t kGreen = argb(255, 0, 255, 0);

JpegImage rgbImage(J_COLOR_SPACE file, const Bytes& colour, std::vector<Bytes> app2 = {})
{
    JpegImage image;
    image.input = JCS_RGB;
    image.file = file;
    image.pixels = uniform(image.width, image.height, colour);
    image.app2 = std::move(app2);
    return image;
}

JpegImage cmykImage(const Bytes& colour, bool adobeMarker, std::vector<Bytes> app2 = {})
{
    JpegImage image;
    image.input = JCS_CMYK;
    image.file = JCS_CMYK;
    image.adobeMarker = adobeMarker;
    image.pixels = uniform(image.width, image.height, colour);
    image.app2 = std::move(app2);
    return image;
}

std::vector<Bytes> wholeProfile(const Bytes& profile)
{
    return iccMarkers(profile, 1, {{1, 1}});
}

struct JpegCase {
    const char* name;
    JpegImage image;
    uint32_t expected;  // every pixel
    int tolerance;
};

std::vector<JpegCase> jpegCases()
{
    const Bytes red{255, 0, 0};
    const Bytes swapped = swappedPrimariesProfile();
    std::vector<JpegCase> cases{
        {"YCbCr", rgbImage(JCS_YCbCr, {200, 100, 50}), argb(255, 200, 100, 50), kTolerance},
        {"Rgb", rgbImage(JCS_RGB, {200, 100, 50}), argb(255, 200, 100, 50), kTolerance},
        {"RgbWithSRGBProfile", rgbImage(JCS_RGB, {200, 100, 50}, wholeProfile(sRGBProfile())),
         argb(255, 200, 100, 50), kTolerance},
        // The profile moves the file's red onto sRGB's green.
        {"RgbWithProfileIsConverted", rgbImage(JCS_RGB, red, wholeProfile(swapped)), kGreen, 40},
        {"YCbCrProfileIsNotConsulted", rgbImage(JCS_YCbCr, red, wholeProfile(swapped)), argb(255, 255, 0, 0),
         kTolerance},
        {"ProfileInThreeChunks", rgbImage(JCS_RGB, red, iccMarkers(swapped, 3, {{1, 3}, {2, 3}, {3, 3}})), kGreen, 40},
        {"ChunksOutOfOrder", rgbImage(JCS_RGB, red, iccMarkers(swapped, 3, {{3, 3}, {1, 3}, {2, 3}})), kGreen, 40},
        // Broken chunk lists mean no profile: a plain format conversion.
        {"MissingChunk", rgbImage(JCS_RGB, red, iccMarkers(swapped, 3, {{1, 3}, {3, 3}})), argb(255, 255, 0, 0),
         kTolerance},
        {"DuplicatedChunk", rgbImage(JCS_RGB, red, iccMarkers(swapped, 2, {{1, 2}, {2, 2}, {2, 2}})),
         argb(255, 255, 0, 0), kTolerance},
        {"CountsDisagree", rgbImage(JCS_RGB, red, iccMarkers(swapped, 2, {{1, 2}, {2, 3}})), argb(255, 255, 0, 0),
         kTolerance},
        // Adobe files store inks inverted: 255 is no ink.
        {"CmykAdobeNoProfile", cmykImage({255, 155, 255, 205}, true), argb(255, 205, 125, 205), kTolerance},
        {"CmykPlainNoProfile", cmykImage({0, 100, 0, 50}, false), argb(255, 205, 125, 205), kTolerance},
        {"CmykWithProfile", cmykImage({255, 155, 255, 205}, true, wholeProfile(constantCmykProfile())), kGreen, 40},
    };
    {
        JpegImage image;
        image.input = JCS_GRAYSCALE;
        image.file = JCS_GRAYSCALE;
        image.pixels = uniform(image.width, image.height, {120});
        cases.push_back({"GrayFillsAllChannels", image, argb(255, 120, 120, 120), kTolerance});
        // A gray file's profile is never consulted, even a wrong one.
        image.app2 = wholeProfile(swapped);
        cases.push_back({"GrayProfileIsNotConsulted", image, argb(255, 120, 120, 120), kTolerance});
    }
    {
        JpegImage image = rgbImage(JCS_YCbCr, {10, 200, 90});
        image.progressive = true;
        image.width = 21;
        image.height = 13;
        image.pixels = uniform(image.width, image.height, {10, 200, 90});
        cases.push_back({"Progressive", image, argb(255, 10, 200, 90), kTolerance});
    }
    return cases;
}

TEST(JpegLoader, ColourSpacesAndProfilesGiveSRGB)
{
    for (const JpegCase& c : jpegCases()) {
        SCOPED_TRACE(c.name);
        Picture picture;
        picture.setHasAlpha(true);
        if (!loadBytes(picture, encodeJpeg(c.image), eLoader::Jpeg)) {
            ADD_FAILURE() << "not loaded";
            continue;
        }
        EXPECT_EQ(picture.getWidth(), int(c.image.width));
        EXPECT_EQ(picture.getHeight(), int(c.image.height));
        int mismatches = 0;
        for (int i = 0; i < picture.getWidth() * picture.getHeight(); ++i)
            if (!near(c.expected, picture.getPixels()[i], c.tolerance) && mismatches++ == 0)
                ADD_FAILURE() << "pixel " << i << ": " << near(c.expected, picture.getPixels()[i], c.tolerance).message();
        EXPECT_FALSE(picture.hasAlpha());
    }
}

TEST(JpegLoader, AlphaFlagIsLeftWithoutDetection)
{
    Picture picture;
    picture.setHasAlpha(true);
    ASSERT_TRUE(loadBytes(picture, encodeJpeg(rgbImage(JCS_YCbCr, {1, 2, 3})), eLoader::Jpeg, Alpha::Off));
    EXPECT_TRUE(picture.hasAlpha());
}

TEST(JpegLoader, PixelsKeepTheirPlaces)
{
    // Left half black, right half white, in 8 x 8 blocks so that compression keeps them apart.
    JpegImage image = rgbImage(JCS_YCbCr, {0, 0, 0});
    image.width = 16;
    image.pixels.clear();
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 16; ++x)
            image.pixels.insert(image.pixels.end(), 3, uint8_t(x < 8 ? 0 : 255));
    Picture picture;
    ASSERT_TRUE(loadBytes(picture, encodeJpeg(image), eLoader::Jpeg));
    EXPECT_TRUE(near(argb(255, 0, 0, 0), pixelAt(picture, 0, 7), kTolerance));
    EXPECT_TRUE(near(argb(255, 255, 255, 255), pixelAt(picture, 15, 0), kTolerance));
}

TEST(JpegLoader, UnusableProfilesFailTheLoad)
{
    Bytes garbage(300, 0x5A);
    const struct {
        const char* name;
        JpegImage image;
    } cases[] = {
        {"RgbWithCmykProfile", rgbImage(JCS_RGB, {1, 2, 3}, wholeProfile(constantCmykProfile()))},
        {"RgbWithGrayProfile", rgbImage(JCS_RGB, {1, 2, 3}, wholeProfile(grayProfile()))},
        {"RgbWithUnreadableProfile", rgbImage(JCS_RGB, {1, 2, 3}, wholeProfile(garbage))},
        {"CmykWithRgbProfile", cmykImage({1, 2, 3, 4}, true, wholeProfile(sRGBProfile()))},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Picture picture;
        EXPECT_FALSE(loadBytes(picture, encodeJpeg(c.image), eLoader::Jpeg));
    }
}

TEST(JpegLoader, TruncatedFilesFail)
{
    for (bool progressive : {false, true}) {
        JpegImage image = rgbImage(JCS_YCbCr, {});
        image.width = 32;
        image.height = 32;
        image.progressive = progressive;
        for (uint32_t i = 0; i < 32 * 32 * 3; ++i)
            image.pixels.push_back(uint8_t(i * 7));
        const Bytes file = encodeJpeg(image);
        // Cut before the end of the image; a file that lacks only its end marker loads (below).
        for (size_t size : {size_t(0), size_t(2), size_t(100), file.size() / 2, file.size() - 40}) {
            SCOPED_TRACE(testing::Message() << "progressive " << progressive << " size " << size);
            Picture picture;
            EXPECT_FALSE(loadBytes(picture, Bytes(file.begin(), file.begin() + long(size)), eLoader::Jpeg));
        }
        Picture whole;
        EXPECT_TRUE(loadBytes(whole, file, eLoader::Jpeg));
    }
}

TEST(JpegLoader, HugeHeaderIsRefusedBeforeAllocating)
{
    Bytes file = encodeJpeg(rgbImage(JCS_YCbCr, {1, 2, 3}));
    // The baseline frame header: FF C0, length, precision, then height and width.
    size_t sof = 2;
    while (sof + 1 < file.size() && !(file[sof] == 0xFF && file[sof + 1] == 0xC0))
        ++sof;
    ASSERT_LT(sof + 9, file.size());
    for (size_t at : {sof + 5, sof + 7}) {
        file[at] = 0xFD;
        file[at + 1] = 0xE8;  // 65000
    }
    Picture picture;
    EXPECT_FALSE(loadBytes(picture, file, eLoader::Jpeg));
    EXPECT_EQ(picture.getBlockSize(), 0);
}

// ---- Scans that end early

// A file cut into its parts: everything up to the scan, the scan's data and the end marker.
// One quantisation table and no Huffman tables (the decoder takes the standard ones), so a
// header of three components with an empty scan is 106 bytes.
struct JpegParts {
    Bytes header;
    Bytes scan;
    Bytes end{0xFF, 0xD9};

    Bytes file() const
    {
        Bytes out = header;
        out.insert(out.end(), scan.begin(), scan.end());
        out.insert(out.end(), end.begin(), end.end());
        return out;
    }
    Bytes withScan(const Bytes& data) const
    {
        JpegParts parts = *this;
        parts.scan = data;
        return parts.file();
    }
};

JpegParts splitJpeg(JpegImage image)
{
    image.quality = 75;
    image.jfifMarker = false;
    image.oneTableSet = true;
    const Bytes file = encodeJpeg(image);

    JpegParts parts;
    parts.header.assign(file.begin(), file.begin() + 2);
    size_t at = 2;
    while (at + 4 <= file.size()) {
        const uint8_t marker = file[at + 1];
        const size_t length = size_t(file[at + 2]) << 8 | file[at + 3];
        if (marker != 0xC4)  // the Huffman tables are the standard ones
            parts.header.insert(parts.header.end(), file.begin() + long(at), file.begin() + long(at + 2 + length));
        at += 2 + length;
        if (marker == 0xDA)
            break;
    }
    parts.scan.assign(file.begin() + long(at), file.end() - 2);
    return parts;
}

// Height and width in the baseline frame header.
void declareSize(Bytes& header, uint16_t width, uint16_t height)
{
    for (size_t at = 2; at + 9 < header.size(); ++at)
        if (header[at] == 0xFF && header[at + 1] == 0xC0) {
            header[at + 5] = uint8_t(height >> 8);
            header[at + 6] = uint8_t(height);
            header[at + 7] = uint8_t(width >> 8);
            header[at + 8] = uint8_t(width);
            return;
        }
    ADD_FAILURE() << "no frame header";
}

JpegImage noisyImage(JDIMENSION width, JDIMENSION height)
{
    JpegImage image;
    image.width = width;
    image.height = height;
    for (uint32_t i = 0; i < width * height * 3; ++i)
        image.pixels.push_back(uint8_t(i * 7 + (i >> 5) * 13));
    return image;
}

TEST(JpegLoader, DeclaredSizeBeyondTheBytesIsRefusedBeforeAllocating)
{
    // 38921 x 8193 pixels would be a 1.27 GB picture made up of zeros.
    JpegParts parts = splitJpeg(rgbImage(JCS_YCbCr, {10, 20, 30}));
    declareSize(parts.header, 38921, 8193);
    const Bytes file = parts.withScan({});
    ASSERT_EQ(file.size(), 106u);
    for (eLoader loader : {eLoader::Jpeg, eLoader::Any}) {
        Picture picture;
        EXPECT_FALSE(loadBytes(picture, file, loader));
        EXPECT_EQ(picture.getBlockSize(), 0);
    }
}

TEST(JpegLoader, ScanEndingBeforeTheLastRowFails)
{
    // Files with their own end marker, so that the decoder meets the end inside the scan.
    const JpegParts plain = splitJpeg(rgbImage(JCS_YCbCr, {10, 20, 30}));
    const JpegParts noisy = splitJpeg(noisyImage(32, 32));
    ASSERT_GT(noisy.scan.size(), 200u);
    const struct {
        const char* name;
        Bytes file;
    } cases[] = {
        {"EmptyScan", plain.withScan({})},
        {"HalfTheScan", noisy.withScan(Bytes(noisy.scan.begin(), noisy.scan.begin() + long(noisy.scan.size() / 2)))},
        {"AllButTheLastBlocks",
         noisy.withScan(Bytes(noisy.scan.begin(), noisy.scan.begin() + long(noisy.scan.size() - 40)))},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Picture picture;
        EXPECT_FALSE(loadBytes(picture, c.file, eLoader::Jpeg));
    }
}

TEST(JpegLoader, WholeScanLoads)
{
    const JpegParts plain = splitJpeg(rgbImage(JCS_YCbCr, {10, 200, 90}));
    Picture picture;
    ASSERT_TRUE(loadBytes(picture, plain.file(), eLoader::Jpeg));
    EXPECT_EQ(picture.getWidth(), 8);
    EXPECT_EQ(picture.getHeight(), 8);
    EXPECT_TRUE(near(argb(255, 10, 200, 90), pixelAt(picture, 7, 7), kTolerance));

    const JpegParts noisy = splitJpeg(noisyImage(32, 32));
    EXPECT_TRUE(loadBytes(picture, noisy.file(), eLoader::Jpeg));
}

std::vector<uint32_t> pixelsOf(const Picture& picture)
{
    return std::vector<uint32_t>(picture.getPixels(),
                                 picture.getPixels() + size_t(picture.getWidth()) * size_t(picture.getHeight()));
}

// Every scan is there: the file loads as it would with its end marker.
TEST(JpegLoader, FileLackingOnlyItsEndMarkerLoads)
{
    struct Case {
        const char* name;
        bool progressive;
        unsigned restartRows;
        bool subsampled;
    };
    const Case cases[] = {
        {"Baseline", false, 0, false},
        {"Subsampled", false, 0, true},
        {"Restarts", false, 1, false},
        {"Progressive", true, 0, true},
    };
    for (const Case& c : cases) {
        JpegImage image = noisyImage(32, 24);
        image.progressive = c.progressive;
        image.restartRows = c.restartRows;
        image.subsampled = c.subsampled;
        const Bytes file = encodeJpeg(image);
        Picture whole;
        ASSERT_TRUE(loadBytes(whole, file, eLoader::Jpeg)) << c.name;
        // Without the marker, and with only its first byte.
        for (size_t cut : {size_t(2), size_t(1)}) {
            SCOPED_TRACE(testing::Message() << c.name << " without " << cut << " bytes");
            Picture picture;
            ASSERT_TRUE(loadBytes(picture, Bytes(file.begin(), file.end() - long(cut)), eLoader::Jpeg));
            EXPECT_EQ(picture.getWidth(), 32);
            EXPECT_EQ(picture.getHeight(), 24);
            EXPECT_EQ(pixelsOf(picture), pixelsOf(whole));
        }
    }
}

// Without its end marker a file may also have ended between two scans or, arithmetic-coded,
// inside one without a sign: then part of the image is missing and the load fails.
TEST(JpegLoader, FileEndingWithoutItsEndMarkerBeforeItsLastScanFails)
{
    auto beforeLastScan = [](const Bytes& file) {
        size_t at = file.size() - 2;
        while (at > 2 && !(file[at] == 0xFF && file[at + 1] == 0xDA))
            --at;
        return Bytes(file.begin(), file.begin() + long(at));
    };
    JpegImage progressive = noisyImage(32, 24);
    progressive.progressive = true;
    JpegImage perComponent = noisyImage(32, 24);
    perComponent.scanPerComponent = true;
    JpegImage arithmetic = noisyImage(32, 24);
    arithmetic.arithmetic = true;
    const Bytes arithmeticFile = encodeJpeg(arithmetic);
    const struct {
        const char* name;
        Bytes file;
    } cases[] = {
        {"ProgressiveBeforeItsLastScan", beforeLastScan(encodeJpeg(progressive))},
        {"ScanPerComponentBeforeItsLastScan", beforeLastScan(encodeJpeg(perComponent))},
        {"ArithmeticWithoutEndMarker", Bytes(arithmeticFile.begin(), arithmeticFile.end() - 2)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Picture picture;
        EXPECT_FALSE(loadBytes(picture, c.file, eLoader::Jpeg));
    }
    // Whole, each of them loads.
    for (const JpegImage* image : {&progressive, &perComponent, &arithmetic}) {
        Picture picture;
        EXPECT_TRUE(loadBytes(picture, encodeJpeg(*image), eLoader::Jpeg));
    }
}

// Plain pictures compress far: the size check must leave every honest file alone.
TEST(JpegLoader, HighlyCompressedPicturesStillLoad)
{
    struct Case {
        const char* name;
        J_COLOR_SPACE space;
        JDIMENSION side;
        bool progressive;
        bool arithmetic;
    };
    const Case cases[] = {
        {"GrayBaseline", JCS_GRAYSCALE, 2048, false, false},
        {"ColourBaseline", JCS_YCbCr, 1024, false, false},
        {"ColourProgressive", JCS_YCbCr, 1024, true, false},
        // A few hundred bytes for millions of pixels.
        {"GrayArithmetic", JCS_GRAYSCALE, 2048, false, true},
        {"ColourArithmeticProgressive", JCS_YCbCr, 1024, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        JpegImage image;
        image.input = c.space == JCS_GRAYSCALE ? JCS_GRAYSCALE : JCS_RGB;
        image.file = c.space;
        image.width = c.side;
        image.height = c.side;
        image.progressive = c.progressive;
        image.arithmetic = c.arithmetic;
        image.pixels = uniform(c.side, c.side, Bytes(size_t(components(image.input)), 128));
        Picture picture;
        ASSERT_TRUE(loadBytes(picture, encodeJpeg(image), eLoader::Jpeg));
        EXPECT_EQ(picture.getWidth(), int(c.side));
        EXPECT_TRUE(near(argb(255, 128, 128, 128), pixelAt(picture, int(c.side) - 1, int(c.side) - 1), kTolerance));
    }
}

// ---- Profile chunks

struct Marker {
    int code;
    Bytes data;
};

bool readProfile(const std::vector<Marker>& markers, Bytes& profile)
{
    std::vector<jpeg_marker_struct> list(markers.size());
    for (size_t i = 0; i < markers.size(); ++i) {
        list[i].next = i + 1 < markers.size() ? &list[i + 1] : nullptr;
        list[i].marker = uint8_t(markers[i].code);
        list[i].original_length = unsigned(markers[i].data.size());
        list[i].data_length = unsigned(markers[i].data.size());
        list[i].data = const_cast<JOCTET*>(markers[i].data.data());
    }
    jpeg_decompress_struct info{};
    info.marker_list = list.empty() ? nullptr : &list[0];
    return readJpegIccProfile(info, profile);
}

Marker chunk(int number, int count, Bytes payload, int code = JPEG_APP0 + 2)
{
    Bytes data{'I', 'C', 'C', '_', 'P', 'R', 'O', 'F', 'I', 'L', 'E', 0, uint8_t(number), uint8_t(count)};
    data.insert(data.end(), payload.begin(), payload.end());
    return {code, data};
}

TEST(JpegIccProfile, ChunksAreJoinedInNumberOrder)
{
    const struct {
        const char* name;
        std::vector<Marker> markers;
        bool result;
        Bytes profile;
    } cases[] = {
        {"NoMarkers", {}, false, {}},
        {"One", {chunk(1, 1, {1, 2, 3})}, true, {1, 2, 3}},
        {"InOrder", {chunk(1, 2, {1, 2}), chunk(2, 2, {3})}, true, {1, 2, 3}},
        {"Reversed", {chunk(2, 2, {3}), chunk(1, 2, {1, 2})}, true, {1, 2, 3}},
        {"OthersIgnored",
         {Marker{JPEG_APP0 + 2, {'E', 'x', 'i', 'f', 0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 9}}, chunk(1, 1, {7}, JPEG_APP0 + 1),
          Marker{JPEG_APP0 + 2, {'I', 'C', 'C', '_', 'P', 'R', 'O', 'F', 'I', 'L', 'E', 0, 1}}, chunk(1, 1, {5})},
         true,
         {5}},
        {"Missing", {chunk(1, 3, {1}), chunk(3, 3, {3})}, false, {}},
        {"Duplicated", {chunk(1, 2, {1}), chunk(2, 2, {2}), chunk(2, 2, {2})}, false, {}},
        {"CountsDisagree", {chunk(1, 2, {1}), chunk(2, 3, {2})}, false, {}},
        {"NumberZero", {chunk(0, 1, {1}), chunk(1, 1, {1})}, false, {}},
        {"NumberBeyondCount", {chunk(1, 1, {1}), chunk(2, 1, {1})}, false, {}},
        {"EmptyChunks", {chunk(1, 1, {})}, false, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes profile{0xEE};
        EXPECT_EQ(readProfile(c.markers, profile), c.result);
        EXPECT_EQ(profile, c.profile);
    }
}

}  // namespace
}  // namespace HA::UIA::TEST
