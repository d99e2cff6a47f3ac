#pragma once
// The kind of a style value.

namespace HA::HWL {

struct Property {
    enum eUnit : int {
        Number = 0,   // a plain number
        Pixels = 1,   // "px"
        Percent = 2,  // "%"
        Bool = 3,
        Url = 4,
        String = 5,   // an identifier
        Color = 6,    // 0xAARRGGBB
        Font = 7,     // made by a sheet from its font-* declarations
        Picture = 8,  // made by a sheet from "image" and "dye-mask"
        Point = 9     // made by a sheet from the relative-* declarations
    };
};

}  // namespace HA::HWL
