#include "os/display/tests/smoke/ScreenPicture.h"

#include <X11/Xutil.h>

#include <cstring>

namespace HA::SMOKE {

Picture readImage(Display* display, Drawable drawable, int width, int height)
{
    Picture out;
    XImage* image = XGetImage(display, drawable, 0, 0, unsigned(width), unsigned(height), AllPlanes, ZPixmap);
    if (!image)
        return out;
    out.width = width;
    out.height = height;
    out.pixels.resize(size_t(width) * size_t(height));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            out.pixels[size_t(y) * size_t(width) + size_t(x)] = std::uint32_t(XGetPixel(image, x, y)) & 0xFFFFFF;
    XDestroyImage(image);
    return out;
}

Picture readScreen(Display* display)
{
    XWindowAttributes root{};
    if (!XGetWindowAttributes(display, DefaultRootWindow(display), &root))
        return Picture{};
    return readImage(display, DefaultRootWindow(display), root.width, root.height);
}

void parkPointer(Display* display)
{
    Window root = 0, parent = 0, *children = nullptr;
    unsigned int count = 0;
    Window top = 0;
    if (XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count) && children) {
        for (unsigned int i = 0; i < count; ++i) {
            XWindowAttributes attributes{};
            if (XGetWindowAttributes(display, children[i], &attributes) && attributes.map_state == IsViewable)
                top = children[i];
        }
        XFree(children);
    }
    XWindowAttributes attributes{};
    if (!top || !XGetWindowAttributes(display, top, &attributes))
        return;
    XWarpPointer(display, None, top, 0, 0, 0, 0, attributes.width - 1, 0);
    XSync(display, False);
}

std::optional<Place> findPicture(const Picture& screen, const Picture& picture)
{
    if (picture.width <= 0 || picture.height <= 0)
        return std::nullopt;
    const size_t rowBytes = size_t(picture.width) * sizeof(std::uint32_t);
    for (int y = 0; y + picture.height <= screen.height; ++y)
        for (int x = 0; x + picture.width <= screen.width; ++x) {
            bool same = true;
            for (int row = 0; row < picture.height && same; ++row)
                same = std::memcmp(&screen.pixels[size_t(y + row) * size_t(screen.width) + size_t(x)],
                                   &picture.pixels[size_t(row) * size_t(picture.width)], rowBytes) == 0;
            if (same)
                return Place{x, y};
        }
    return std::nullopt;
}

}  // namespace HA::SMOKE
