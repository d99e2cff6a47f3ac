#pragma once
// A test's own connection to the X server that DISPLAY names, to see the windows that other
// processes show there. Kept apart from the tests: Xlib's macros clash with names of the
// code under test.

#include <cstdint>
#include <string>
#include <vector>

namespace HA::TEST {

class DisplayWatch {
public:
    // Opens the display; open() is false without one.
    DisplayWatch();
    ~DisplayWatch();
    DisplayWatch(const DisplayWatch&) = delete;
    DisplayWatch& operator=(const DisplayWatch&) = delete;

    bool open() const { return mDisplay != nullptr; }
    // True when a window with this title is mapped and viewable now.
    bool viewable(const std::string& title);
    // The pixels (0x00RRGGBB, rows top first) of the viewable window with this title; false
    // when there is none.
    bool read(const std::string& title, int& width, int& height, std::vector<std::uint32_t>& pixels);
    // Waits at most `ms` of real time for the next change of the root's children (a window
    // made, mapped, unmapped or gone) and takes what came.
    void waitForChange(int ms);

private:
    void* mDisplay = nullptr;
};

}  // namespace HA::TEST
