#pragma once
// The ICC profile of a JPEG file, carried in APP2 markers of at most 65,519 profile bytes,
// each numbered "n of count".

#include <cstdint>
#include <vector>

struct jpeg_decompress_struct;

namespace HA::UIA {

// Joins the profile chunks among the markers the decompressor kept (the caller keeps APP2
// markers before reading the header). False, with profile empty, without chunks, when the
// chunks disagree on their count, when a number is 0, beyond the count, repeated or missing,
// or when the joined profile is empty. Never calls into the decompressor.
bool readJpegIccProfile(const jpeg_decompress_struct& decompressor, std::vector<uint8_t>& profile);

}  // namespace HA::UIA
