#pragma once
// JPEG files made at test time through the library, for the loader's tests and the fuzz
// seeds: the pixels of one picture and the choices those files vary. Needs nothing but the
// library, so the seed generator uses it too.

// jpeglib.h needs size_t and FILE declared first.
#include <cstddef>
#include <cstdio>

#include <jpeglib.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace HA::UIA::TEST {

using Bytes = std::vector<uint8_t>;

struct JpegImage {
    JDIMENSION width = 8;
    JDIMENSION height = 8;
    J_COLOR_SPACE input = JCS_RGB;      // components of `pixels`
    J_COLOR_SPACE file = JCS_YCbCr;     // colour space stored in the file
    int quality = 100;
    bool subsampled = false;            // the library's sampling factors, else all at full size
    bool adobeMarker = true;            // for CMYK and RGB files
    bool jfifMarker = true;             // for grayscale and YCbCr files
    bool oneTableSet = false;           // every component on quantisation and Huffman tables 0
    bool progressive = false;
    bool scanPerComponent = false;      // sequential, one scan for each component
    bool arithmetic = false;            // arithmetic instead of Huffman coding
    unsigned restartRows = 0;           // a restart marker every this many rows of blocks
    std::vector<Bytes> app2;            // APP2 payloads, written in this order
    Bytes pixels;                       // width x height x components, rows top first
};

// APP2 payloads carrying profile bytes: chunk n of count for every {n, count} given, the
// profile split evenly over `pieces` (a chunk beyond them is empty).
struct IccChunk {
    int number;
    int count;
};

inline std::vector<Bytes> iccMarkers(const Bytes& profile, int pieces, const std::vector<IccChunk>& chunks)
{
    std::vector<Bytes> markers;
    const size_t step = (profile.size() + pieces - 1) / pieces;
    for (const IccChunk& chunk : chunks) {
        Bytes marker{'I', 'C', 'C', '_', 'P', 'R', 'O', 'F', 'I', 'L', 'E', 0};
        marker.push_back(uint8_t(chunk.number));
        marker.push_back(uint8_t(chunk.count));
        const size_t begin = std::min(profile.size(), step * size_t(chunk.number - 1));
        const size_t end = std::min(profile.size(), begin + step);
        marker.insert(marker.end(), profile.begin() + long(begin), profile.begin() + long(end));
        markers.push_back(marker);
    }
    return markers;
}

inline int components(J_COLOR_SPACE space)
{
    return space == JCS_GRAYSCALE ? 1 : space == JCS_CMYK || space == JCS_YCCK ? 4 : 3;
}

// The file's bytes. The library ends the process on a wrong choice: these are tools.
inline Bytes encodeJpeg(const JpegImage& image)
{
    jpeg_compress_struct info{};
    jpeg_error_mgr error{};
    info.err = jpeg_std_error(&error);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = image.width;
    info.image_height = image.height;
    info.input_components = components(image.input);
    info.in_color_space = image.input;
    jpeg_set_defaults(&info);
    jpeg_set_colorspace(&info, image.file);
    jpeg_set_quality(&info, image.quality, TRUE);
    for (int c = 0; c < info.num_components; ++c) {
        jpeg_component_info& component = info.comp_info[c];
        if (!image.subsampled)
            component.h_samp_factor = component.v_samp_factor = 1;
        if (image.oneTableSet)
            component.quant_tbl_no = component.dc_tbl_no = component.ac_tbl_no = 0;
    }
    if (!image.adobeMarker)
        info.write_Adobe_marker = FALSE;
    if (!image.jfifMarker)
        info.write_JFIF_header = FALSE;
    if (image.progressive)
        jpeg_simple_progression(&info);
    jpeg_scan_info scans[MAX_COMPONENTS]{};
    if (image.scanPerComponent) {
        for (int c = 0; c < info.num_components; ++c) {
            scans[c].comps_in_scan = 1;
            scans[c].component_index[0] = c;
            scans[c].Se = DCTSIZE2 - 1;
        }
        info.scan_info = scans;
        info.num_scans = info.num_components;
    }
    info.arith_code = image.arithmetic ? TRUE : FALSE;
    info.restart_in_rows = int(image.restartRows);
    jpeg_start_compress(&info, TRUE);
    for (const Bytes& marker : image.app2)
        jpeg_write_marker(&info, JPEG_APP0 + 2, marker.data(), unsigned(marker.size()));
    const size_t stride = size_t(image.width) * components(image.input);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(image.pixels.data() + info.next_scanline * stride);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    Bytes out(buffer, buffer + size);
    std::free(buffer);
    return out;
}

}  // namespace HA::UIA::TEST
