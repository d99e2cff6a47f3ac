#pragma once
// A TrueType font of a few hundred bytes made at test time: glyph 0 empty, glyph 1 a filled
// rectangle, every printable ASCII character mapped to glyph 1. The rectangle and the units
// per em are chosen by the caller, so broken metrics can be made on purpose. Also the seed of
// the font fuzz target.

#include <cstdint>
#include <utility>
#include <vector>

namespace HA::UIA::TEST {

struct TinyFontShape {
    uint16_t unitsPerEm = 1000;
    int16_t left = 50;     // the rectangle, in font units
    int16_t bottom = 0;
    int16_t right = 550;
    int16_t top = 700;
    uint16_t advance = 600;
};

namespace DETAIL {

struct BigEndianBytes {
    std::vector<uint8_t> bytes;
    BigEndianBytes& u16(uint32_t v)
    {
        bytes.push_back(uint8_t(v >> 8));
        bytes.push_back(uint8_t(v));
        return *this;
    }
    BigEndianBytes& u32(uint32_t v) { return u16(v >> 16).u16(v & 0xFFFF); }
    BigEndianBytes& zeros(size_t n)
    {
        bytes.insert(bytes.end(), n, 0);
        return *this;
    }
};

}  // namespace DETAIL

inline std::vector<uint8_t> tinyTrueTypeFont(const TinyFontShape& shape = {})
{
    using Table = DETAIL::BigEndianBytes;
    const auto u = [](int16_t v) { return uint32_t(uint16_t(v)); };
    Table head;
    head.u32(0x00010000).u32(0x00010000).u32(0).u32(0x5F0F3CF5).u16(0x000B).u16(shape.unitsPerEm).zeros(16);
    head.u16(u(shape.left)).u16(u(shape.bottom)).u16(u(shape.right)).u16(u(shape.top));
    head.u16(0).u16(8).u16(2).u16(0).u16(0);
    Table hhea;
    hhea.u32(0x00010000).u16(u(shape.top)).u16(u(shape.bottom)).u16(0).u16(shape.advance).u16(0).u16(0);
    hhea.u16(u(shape.right)).u16(1).u16(0).u16(0).zeros(8).u16(0).u16(2);
    Table maxp;
    maxp.u32(0x00010000).u16(2).u16(4).u16(1).u16(0).u16(0).u16(2).zeros(16);
    // Format 4, two segments: 0x20-0x7E through the glyph array (all glyph 1), and the end.
    Table cmap;
    cmap.u16(0).u16(1).u16(3).u16(1).u32(12);
    cmap.u16(4).u16(32 + 2 * 95).u16(0).u16(4).u16(4).u16(1).u16(0);
    cmap.u16(0x7E).u16(0xFFFF).u16(0).u16(0x20).u16(0xFFFF).u16(0).u16(1).u16(4).u16(0);
    for (int i = 0; i < 95; ++i)
        cmap.u16(1);
    Table hmtx;
    hmtx.u16(shape.advance).u16(0).u16(shape.advance).u16(u(shape.left));
    // One contour of four on-curve points with 16-bit coordinate deltas.
    Table glyf;
    glyf.u16(1).u16(u(shape.left)).u16(u(shape.bottom)).u16(u(shape.right)).u16(u(shape.top)).u16(3).u16(0);
    glyf.bytes.insert(glyf.bytes.end(), 4, 0x01);
    const int width = shape.right - shape.left, height = shape.top - shape.bottom;
    glyf.u16(u(shape.left)).u16(uint32_t(width) & 0xFFFF).u16(0).u16(uint32_t(-width) & 0xFFFF);
    glyf.u16(u(shape.bottom)).u16(0).u16(uint32_t(height) & 0xFFFF).u16(0);
    glyf.zeros(2);
    Table loca;
    loca.u16(0).u16(0).u16(uint32_t(glyf.bytes.size() / 2));

    std::pair<const char*, std::vector<uint8_t>*> tables[] = {
        {"cmap", &cmap.bytes}, {"glyf", &glyf.bytes}, {"head", &head.bytes}, {"hhea", &hhea.bytes},
        {"hmtx", &hmtx.bytes}, {"loca", &loca.bytes}, {"maxp", &maxp.bytes}};
    const uint32_t count = sizeof tables / sizeof tables[0];
    Table font;
    font.u32(0x00010000).u16(count).u16(64).u16(2).u16(count * 16 - 64);
    uint32_t offset = 12 + 16 * count;
    std::vector<uint8_t> data;
    for (auto& [tag, bytes] : tables) {
        while (bytes->size() % 4 != 0)
            bytes->push_back(0);
        font.bytes.insert(font.bytes.end(), tag, tag + 4);
        font.u32(0).u32(offset + uint32_t(data.size())).u32(uint32_t(bytes->size()));
        data.insert(data.end(), bytes->begin(), bytes->end());
    }
    font.bytes.insert(font.bytes.end(), data.begin(), data.end());
    return font.bytes;
}

}  // namespace HA::UIA::TEST
