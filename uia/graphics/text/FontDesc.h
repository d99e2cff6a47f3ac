#pragma once
// What a font is made from: a font file by name or a "TTFd" font resource by id, a pixel size
// at display scale 1 and style flags. It is also the key of the widget library's font cache.

#include <cstdint>
#include <string>
#include <tuple>

namespace HA::UIA {

class FreeTypeContext;

struct FontDesc {
    enum eFlags : unsigned {
        Bold = 0x1,
        Italic = 0x2,
        Underline = 0x4,
        Family = 0x8,  // the name is a family name; no font file is looked up by family
        Hinting = 0x10
    };

    std::string name;          // UTF-8 file name; empty when the font is chosen by resource id
    int32_t resourceId = 0;    // id of a "TTFd" font resource; 0 for a font named by file
    int32_t size = 0;          // pixel size at display scale 1
    unsigned flags = 0;
    // The face cache that fonts are made with; null means the process's own. Carried, never
    // compared.
    FreeTypeContext* engine = nullptr;

    friend bool operator<(const FontDesc& a, const FontDesc& b)
    {
        return std::tie(a.resourceId, a.size, a.flags, a.name) < std::tie(b.resourceId, b.size, b.flags, b.name);
    }
};

}  // namespace HA::UIA
