#pragma once
// Arithmetic-coded JPEG files may declare any size in a few bytes and the loader takes them
// (a plain picture of millions of pixels is a few hundred bytes long); decoding one is slow
// under the sanitizers, so the JPEG targets leave the large ones out. Huffman-coded files all
// go through: the loader itself refuses sizes their bytes cannot hold.

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include <jpeglib.h>

#include <csetjmp>

namespace HA::FUZZ {

constexpr uint64_t kMaxArithmeticPixels = 1u << 22;

struct HeaderError {
    jpeg_error_mgr manager;
    jmp_buf jump;
};

inline void headerErrorExit(j_common_ptr info)
{
    longjmp(reinterpret_cast<HeaderError*>(info->err)->jump, 1);
}

inline void headerMessage(j_common_ptr) {}

inline bool isLargeArithmeticJpeg(const uint8_t* data, size_t size)
{
    jpeg_decompress_struct info{};
    HeaderError error{};
    info.err = jpeg_std_error(&error.manager);
    error.manager.error_exit = headerErrorExit;
    error.manager.output_message = headerMessage;
    bool large = false;
    if (setjmp(error.jump) == 0) {
        jpeg_create_decompress(&info);
        jpeg_mem_src(&info, data, static_cast<unsigned long>(size));
        if (jpeg_read_header(&info, TRUE) == JPEG_HEADER_OK)
            large = info.arith_code && uint64_t(info.image_width) * info.image_height > kMaxArithmeticPixels;
    }
    jpeg_destroy_decompress(&info);
    return large;
}

}  // namespace HA::FUZZ
