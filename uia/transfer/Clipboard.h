#pragma once
// The platform clipboard through clipboard formats. User-interface thread only.

namespace HA::UIA {

class ClipBoardFormat;

class Clipboard {
public:
    // Puts the format's data on the clipboard (the clipboard keeps the data object).
    static void setData(ClipBoardFormat& format);
    // Reads the format from the clipboard; false when it is empty or lacks the format.
    static bool getData(ClipBoardFormat& format);
};

}  // namespace HA::UIA
