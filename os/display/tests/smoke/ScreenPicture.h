#pragma once
// What the display smoke tests read back from an X server: a window's or the whole screen's
// pixels, and where a picture stands in them (a compositor's output shows a Wayland window
// somewhere in the server's screen, at a place only the compositor knows).

#include <X11/Xlib.h>

#include <cstdint>
#include <optional>
#include <vector>

namespace HA::SMOKE {

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;  // 0x00RRGGBB, row by row
};

struct Place {
    int x = 0;
    int y = 0;
};

// A drawable's pixels from (0, 0); empty when the server gives none.
Picture readImage(Display* display, Drawable drawable, int width, int height);
// The whole screen of the display's default root window.
Picture readScreen(Display* display);
// Puts the pointer in the top right corner of the topmost window on the screen: on a
// compositor's output window that is its panel, where the pointer the compositor draws
// covers none of its windows.
void parkPointer(Display* display);
// Where `picture` stands whole in `screen`, the topmost and then leftmost place; nothing when
// it does not.
std::optional<Place> findPicture(const Picture& screen, const Picture& picture);

}  // namespace HA::SMOKE
