#pragma once
// Small records that window operations exchange.

namespace HA::UIA {

// A width and a height in pixels.
struct Size {
    int width = 0;
    int height = 0;

    friend bool operator==(const Size& a, const Size& b) { return a.width == b.width && a.height == b.height; }
    friend bool operator!=(const Size& a, const Size& b) { return !(a == b); }
};

// A window's placement: show state, restore position and client size, minimised position
// and stacking layer.
struct WindowPlacement {
    int state = 0;  // 0 hidden, 1 normal, 2 minimised, 3 maximised
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    int minX = -10000;  // below -9999: none
    int minY = -10000;
    int layer = 0;
    int zIndex = 0;
};

}  // namespace HA::UIA
