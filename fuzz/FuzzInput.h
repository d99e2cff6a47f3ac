#pragma once
// Reads a fuzz target's input as a sequence of small values; past the end every value is 0
// and every byte string empty, so a target never has to test the length itself.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace HA::FUZZ {

class FuzzInput {
public:
    FuzzInput(const std::uint8_t* data, std::size_t size) : mData(data), mSize(size) {}

    std::size_t remaining() const { return mSize - mPos; }

    std::uint8_t u8() { return mPos < mSize ? mData[mPos++] : 0; }
    std::uint16_t u16() { return std::uint16_t(u8() | u8() << 8); }
    std::uint32_t u32() { return std::uint32_t(u16()) | std::uint32_t(u16()) << 16; }

    // Up to count bytes.
    std::vector<std::uint8_t> bytes(std::size_t count)
    {
        const std::size_t n = count < remaining() ? count : remaining();
        std::vector<std::uint8_t> out(mData + mPos, mData + mPos + n);
        mPos += n;
        return out;
    }
    // A string of a length given by the next byte.
    std::string shortText()
    {
        const std::vector<std::uint8_t> b = bytes(u8());
        return std::string(b.begin(), b.end());
    }
    std::string rest()
    {
        const std::vector<std::uint8_t> b = bytes(remaining());
        return std::string(b.begin(), b.end());
    }

private:
    const std::uint8_t* mData;
    std::size_t mSize;
    std::size_t mPos = 0;
};

// Stops the run loudly: libFuzzer keeps the input that got here.
[[noreturn]] void fail(const char* what);

}  // namespace HA::FUZZ
