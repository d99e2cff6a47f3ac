#pragma once
// What a window is created with: which fields are given, its style, rectangle, title,
// background colour and parent.

#include <cstdint>
#include <string>

namespace HA::UIA {

class Window;

struct WindowDescriptor {
    // contentFlags: which fields are given.
    static constexpr std::uint32_t kSizeGiven = 0x1;
    static constexpr std::uint32_t kPositionGiven = 0x2;
    static constexpr std::uint32_t kClientSize = 0x4;      // the size is the client area's
    static constexpr std::uint32_t kClientPosition = 0x8;  // the position is the client area's
    static constexpr std::uint32_t kTitleGiven = 0x10;
    static constexpr std::uint32_t kBackgroundGiven = 0x20;
    static constexpr std::uint32_t kParentGiven = 0x40;

    // styleFlags.
    static constexpr std::uint32_t kFixedSize = 0x1;
    static constexpr std::uint32_t kFrameless = 0x80;
    static constexpr std::uint32_t kAcceptDrops = 0x400;
    static constexpr std::uint32_t kLayered = 0x1000;
    static constexpr std::uint32_t kDeferErase = 0x4000;
    static constexpr std::uint32_t kZoomMenuItem = 0x20000;     // system-menu item "&Zoom Window"
    static constexpr std::uint32_t kToolbarMenuItem = 0x40000;  // system-menu item "Show &Toolbar"

    std::uint32_t contentFlags = 0;
    std::uint32_t styleFlags = 0;
    // Position and size (right - left, bottom - top) in logical pixels.
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    std::string title;  // UTF-8
    // 0x00BBGGRR, the low 24 bits; 0 means the system window colour.
    std::uint32_t background = 0;
    Window* parent = nullptr;

    // Stores the title (null: empty) and marks it given.
    void setTitle(const char* text)
    {
        title = text ? text : "";
        contentFlags |= kTitleGiven;
    }
};

}  // namespace HA::UIA
