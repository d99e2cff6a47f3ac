#include "uia/graphics/picture/Picture.h"

// jpeglib.h needs size_t and FILE declared first.
#include <cstddef>
#include <cstdio>

#include <jerror.h>
#include <jpeglib.h>
#include <lcms2.h>

#include <csetjmp>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "gp/src/common/storage/IStorage.h"
#include "gp/src/common/storage/Stream.h"
#include "uia/graphics/codecs/JpegIccProfile.h"

namespace HA::UIA {

namespace {

constexpr size_t kSourceBufferSize = 512;
// Ceiling for the decoder's own buffers (whole-image coefficient arrays of progressive files);
// beyond it libjpeg fails instead of asking the heap.
constexpr long kMaxDecoderMemory = 512L * 1024 * 1024;

// Huffman coding spends at least one bit on every 8 x 8 block, and every picture has at least
// one block per 128 pixels (sampling factors up to 4), so a byte of scan data covers at most
// 1024 pixels. Arithmetic coding has no such floor: a plain picture of any size fits a few bytes.
constexpr uint64_t kMaxHuffmanPixelsPerByte = 1024;

struct JpegError {
    jpeg_error_mgr manager;
    jmp_buf jump;
    // The scan ran into a marker before its last block: libjpeg only warns and fills in zeros.
    bool scanEndedEarly;
};

struct JpegSource {
    jpeg_source_mgr manager;
    GP::IStorage* storage;
    // The storage ran dry before libjpeg was done: it was handed an end-of-image marker. A file
    // without its own end marker gets here too, after its last scan.
    bool shortRead;
    JOCTET buffer[kSourceBufferSize];
};

// How the rows reach the picture.
enum class eConversion { Transform, ExpandGray, ConvertCmyk };

struct ColourSpaceRule {
    J_COLOR_SPACE file;
    J_COLOR_SPACE output;
    int channels;
    cmsUInt32Number pixelType;
    cmsColorSpaceSignature signature;
    bool consultProfile;
};

const ColourSpaceRule kColourSpaces[] = {
    {JCS_GRAYSCALE, JCS_GRAYSCALE, 1, PT_GRAY, cmsSigGrayData, false},
    {JCS_RGB, JCS_RGB, 3, PT_RGB, cmsSigRgbData, true},
    {JCS_YCbCr, JCS_RGB, 3, PT_RGB, cmsSigRgbData, false},
    {JCS_CMYK, JCS_CMYK, 4, PT_CMYK, cmsSigCmykData, true},
    {JCS_YCCK, JCS_CMYK, 4, PT_CMYK, cmsSigCmykData, true},
};

// What the decoding frame shares with its caller. Plain data only: libjpeg leaves that frame
// by longjmp, which skips destructors, so everything to release lives here.
struct JpegDecode {
    jpeg_decompress_struct info;
    JpegError error;
    JpegSource source;
    std::vector<uint8_t>* profileBytes;
    cmsHPROFILE profile;
    cmsHPROFILE sRGB;
    cmsHTRANSFORM transform;
    JSAMPLE* row;
};

void raiseError(j_common_ptr info)
{
    longjmp(reinterpret_cast<JpegError*>(info->err)->jump, 1);
}

void ignoreMessage(j_common_ptr) {}

void noteWarning(j_common_ptr info, int level)
{
    auto* error = reinterpret_cast<JpegError*>(info->err);
    if (level < 0) {
        ++error->manager.num_warnings;
        if (error->manager.msg_code == JWRN_HIT_MARKER)
            error->scanEndedEarly = true;
    }
}

// Bytes the decoder has not consumed yet: those in the source buffer and the rest of the
// storage; -1 when the storage cannot tell.
int64_t unreadBytes(const JpegSource& source)
{
    const int64_t left = GP::remainingBytes(*source.storage);
    return left < 0 ? -1 : left + int64_t(source.manager.bytes_in_buffer);
}

void initSource(j_decompress_ptr info)
{
    info->src->next_input_byte = nullptr;
    info->src->bytes_in_buffer = 0;
}

boolean fillInputBuffer(j_decompress_ptr info)
{
    auto* source = reinterpret_cast<JpegSource*>(info->src);
    const std::uint32_t count = source->storage->read(source->buffer, kSourceBufferSize);
    if (count == 0) {
        // Nothing more: an end-of-image marker ends the decoding without reading beyond what
        // was delivered; the flag tells the load that the file ended there.
        source->shortRead = true;
        source->buffer[0] = 0xFF;
        source->buffer[1] = JPEG_EOI;
        source->manager.next_input_byte = source->buffer;
        source->manager.bytes_in_buffer = 2;
        return TRUE;
    }
    source->manager.next_input_byte = source->buffer;
    source->manager.bytes_in_buffer = count;
    return TRUE;
}

void skipInputData(j_decompress_ptr info, long count)
{
    if (count <= 0)
        return;
    auto* source = reinterpret_cast<JpegSource*>(info->src);
    const size_t inBuffer = source->manager.bytes_in_buffer;
    const size_t consumed = size_t(count) < inBuffer ? size_t(count) : inBuffer;
    source->manager.next_input_byte += consumed;
    source->manager.bytes_in_buffer -= consumed;
    if (size_t(count) > consumed)
        source->storage->seek(int64_t(size_t(count) - consumed), GP::IStorage::SeekCurrent);
}

void termSource(j_decompress_ptr) {}

const ColourSpaceRule* findColourSpace(J_COLOR_SPACE space)
{
    for (const ColourSpaceRule& rule : kColourSpaces)
        if (rule.file == space)
            return &rule;
    return nullptr;
}

bool hasAdobeMarker(const jpeg_decompress_struct& info)
{
    return info.saw_Adobe_marker != 0;
}

// Gray written into all three colour bytes.
void expandGray(const JSAMPLE* row, uint32_t* pixel, JDIMENSION width)
{
    for (JDIMENSION x = 0; x < width; ++x) {
        const uint32_t v = row[x];
        pixel[x] = 0xFF000000u | v << 16 | v << 8 | v;
    }
}

// Without a profile: each colour is what its ink and the black leave of white. Adobe files
// store the inks inverted (255 is no ink).
void convertCmyk(const JSAMPLE* row, uint32_t* pixel, JDIMENSION width, bool inverted)
{
    for (JDIMENSION x = 0; x < width; ++x) {
        uint32_t c = row[4 * x], m = row[4 * x + 1], y = row[4 * x + 2], k = row[4 * x + 3];
        if (!inverted) {
            c = 255 - c;
            m = 255 - m;
            y = 255 - y;
            k = 255 - k;
        }
        const uint32_t r = (c * k + 127) / 255, g = (m * k + 127) / 255, b = (y * k + 127) / 255;
        pixel[x] = 0xFF000000u | r << 16 | g << 8 | b;
    }
}

// Whether the scans read so far make the whole image, for a file that ended without its end
// marker (after jpeg_start_decompress, which reads every scan of a multi-scan file). A
// Huffman-coded scan that stops short says so (scanEndedEarly); an arithmetic-coded one fills
// its missing end silently, and scans of single components may end between two of them.
bool wholeWithoutEndMarker(jpeg_decompress_struct& info)
{
    if (info.arith_code)
        return false;
    if (!jpeg_has_multiple_scans(&info))
        return true;
    if (!info.progressive_mode || info.coef_bits == nullptr)
        return false;
    // Every coefficient of every component refined to its last bit.
    for (int component = 0; component < info.num_components; ++component)
        for (int k = 0; k < DCTSIZE2; ++k)
            if (info.coef_bits[component][k] != 0)
                return false;
    return true;
}

// Reads the header, chooses the conversion and decodes every row into the picture. False on
// any libjpeg error, on a header it does not accept and when the file ends before its image
// does; a file whose every scan is there loads without its end marker.
bool decodeJpeg(JpegDecode& decode, Picture& picture)
{
    jpeg_decompress_struct& info = decode.info;
    if (setjmp(decode.error.jump))
        return false;

    jpeg_create_decompress(&info);
    info.mem->max_memory_to_use = kMaxDecoderMemory;
    info.src = &decode.source.manager;
    jpeg_save_markers(&info, JPEG_APP0 + 2, 0xFFFF);
    if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK)
        return false;

    const ColourSpaceRule* rule = findColourSpace(info.jpeg_color_space);
    if (rule == nullptr)
        return false;
    info.out_color_space = rule->output;
    const bool inverted = rule->pixelType == PT_CMYK && hasAdobeMarker(info);
    const cmsUInt32Number inputFormat = COLORSPACE_SH(rule->pixelType) | CHANNELS_SH(rule->channels) |
                                        BYTES_SH(1) | FLAVOR_SH(inverted ? 1 : 0);

    eConversion conversion = eConversion::Transform;
    if (rule->consultProfile && readJpegIccProfile(info, *decode.profileBytes)) {
        decode.profile = cmsOpenProfileFromMem(decode.profileBytes->data(),
                                               cmsUInt32Number(decode.profileBytes->size()));
        if (decode.profile == nullptr || cmsGetColorSpace(decode.profile) != rule->signature)
            return false;
        decode.sRGB = cmsCreate_sRGBProfile();
        if (decode.sRGB == nullptr)
            return false;
        decode.transform = cmsCreateTransform(decode.profile, inputFormat, decode.sRGB, TYPE_BGRA_8,
                                              INTENT_PERCEPTUAL, 0);
    } else if (rule->pixelType == PT_GRAY) {
        conversion = eConversion::ExpandGray;
    } else if (rule->pixelType == PT_CMYK) {
        conversion = eConversion::ConvertCmyk;
    } else {
        decode.transform = cmsCreateTransform(nullptr, inputFormat, nullptr, TYPE_BGRA_8, INTENT_PERCEPTUAL,
                                              cmsFLAGS_NULLTRANSFORM);
    }
    if (conversion == eConversion::Transform && decode.transform == nullptr)
        return false;

    // Sizes from the file: the picture refuses what it cannot address before the decoder
    // allocates anything for the image, and a Huffman-coded file must hold enough bytes for
    // the pixels it declares.
    jpeg_calc_output_dimensions(&info);
    if (info.output_components != rule->channels || info.output_width > INT32_MAX || info.output_height > INT32_MAX)
        return false;
    if (!info.arith_code) {
        const int64_t unread = unreadBytes(decode.source);
        const uint64_t pixels = uint64_t(info.image_width) * info.image_height;
        if (unread >= 0 && pixels > uint64_t(unread) * kMaxHuffmanPixelsPerByte)
            return false;
    }
    const JDIMENSION width = info.output_width;
    const JDIMENSION height = info.output_height;
    if (!picture.setSize(int32_t(width), int32_t(height), Picture::eBlock::Discard))
        return false;
    if (!jpeg_start_decompress(&info))
        return false;
    if (info.output_width != width || info.output_height != height || info.output_components != rule->channels)
        return false;
    const bool whole = wholeWithoutEndMarker(info);
    // Once the file has ended inside its image, the remaining rows would only be made up.
    auto endedEarly = [&decode, whole] {
        return decode.error.scanEndedEarly || (decode.source.shortRead && !whole);
    };
    decode.row = static_cast<JSAMPLE*>(std::malloc(size_t(width) * size_t(rule->channels)));
    if (decode.row == nullptr)
        return false;
    while (info.output_scanline < height) {
        uint32_t* pixel = picture.getPixels() + size_t(info.output_scanline) * width;
        JSAMPROW rows[1] = {decode.row};
        if (jpeg_read_scanlines(&info, rows, 1) != 1 || endedEarly())
            return false;
        switch (conversion) {
        case eConversion::Transform:
            // Alpha stays 255: the transform writes colour only.
            std::memset(pixel, 0xFF, size_t(width) * 4);
            cmsDoTransform(decode.transform, decode.row, pixel, width);
            break;
        case eConversion::ExpandGray:
            expandGray(decode.row, pixel, width);
            break;
        case eConversion::ConvertCmyk:
            convertCmyk(decode.row, pixel, width, inverted);
            break;
        }
    }
    if (!jpeg_finish_decompress(&info))
        return false;
    return !endedEarly();
}

}  // namespace

bool Picture::loadJPEG(GP::Stream& stream, int, eAlphaDetection detection)
{
    GP::IStorage* storage = stream.getStorage();
    if (storage == nullptr)
        return false;
    std::vector<uint8_t> profileBytes;
    // Large (the source buffer) and plain: on the heap, value-initialised.
    auto* decode = static_cast<JpegDecode*>(std::calloc(1, sizeof(JpegDecode)));
    if (decode == nullptr)
        return false;
    decode->info.err = jpeg_std_error(&decode->error.manager);
    decode->error.manager.error_exit = raiseError;
    decode->error.manager.output_message = ignoreMessage;
    decode->error.manager.emit_message = noteWarning;
    decode->source.manager.init_source = initSource;
    decode->source.manager.fill_input_buffer = fillInputBuffer;
    decode->source.manager.skip_input_data = skipInputData;
    decode->source.manager.resync_to_restart = jpeg_resync_to_restart;
    decode->source.manager.term_source = termSource;
    decode->source.storage = storage;
    decode->profileBytes = &profileBytes;

    const bool decoded = decodeJpeg(*decode, *this);

    jpeg_destroy_decompress(&decode->info);
    if (decode->transform != nullptr)
        cmsDeleteTransform(decode->transform);
    if (decode->sRGB != nullptr)
        cmsCloseProfile(decode->sRGB);
    if (decode->profile != nullptr)
        cmsCloseProfile(decode->profile);
    std::free(decode->row);
    std::free(decode);
    if (!decoded)
        return false;
    if (detection == eAlphaDetection::On)
        setHasAlpha(false);
    return true;
}

}  // namespace HA::UIA
