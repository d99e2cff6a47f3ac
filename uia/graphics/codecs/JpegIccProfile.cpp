#include "uia/graphics/codecs/JpegIccProfile.h"

#include <cstring>
#include <new>

// jpeglib.h needs size_t and FILE declared first.
#include <cstddef>
#include <cstdio>

#include <jpeglib.h>

namespace HA::UIA {

namespace {

constexpr int kApp2 = JPEG_APP0 + 2;
// "ICC_PROFILE" with its terminating zero, then the chunk's number and the count.
constexpr unsigned kSignatureSize = 12;
constexpr unsigned kChunkHeaderSize = kSignatureSize + 2;

bool isProfileChunk(const jpeg_marker_struct& marker)
{
    return marker.marker == kApp2 && marker.data_length >= kChunkHeaderSize &&
           std::memcmp(marker.data, "ICC_PROFILE", kSignatureSize) == 0;
}

}  // namespace

bool readJpegIccProfile(const jpeg_decompress_struct& decompressor, std::vector<uint8_t>& profile)
{
    profile.clear();
    const jpeg_marker_struct* chunks[256] = {};
    int count = -1;
    for (const jpeg_marker_struct* marker = decompressor.marker_list; marker != nullptr; marker = marker->next) {
        if (!isProfileChunk(*marker))
            continue;
        const int number = marker->data[kSignatureSize];
        const int chunkCount = marker->data[kSignatureSize + 1];
        if (count < 0)
            count = chunkCount;
        else if (chunkCount != count)
            return false;
        if (number == 0 || number > count || chunks[number] != nullptr)
            return false;
        chunks[number] = marker;
    }
    if (count < 0)
        return false;
    size_t total = 0;
    for (int number = 1; number <= count; ++number) {
        if (chunks[number] == nullptr)
            return false;
        total += chunks[number]->data_length - kChunkHeaderSize;
    }
    try {
        profile.reserve(total);
    } catch (const std::bad_alloc&) {
        return false;
    }
    for (int number = 1; number <= count; ++number) {
        const JOCTET* data = chunks[number]->data;
        profile.insert(profile.end(), data + kChunkHeaderSize, data + chunks[number]->data_length);
    }
    return !profile.empty();
}

}  // namespace HA::UIA
