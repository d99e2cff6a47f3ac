#pragma once
// Private to os/: the message box as a window of the stand-in (MessageBox.cpp calls it).

#include <vector>

#include "os/windows/messagebox/DialogFont.h"
#include "os/windows/Window.h"

namespace HA::OS::DETAIL {

// The class of the box's window, as the platform names its dialogs.
constexpr const char16_t* kMessageBoxClass = u"#32770";

struct MessageBoxSpec {
    HWND owner = nullptr;
    WString text;
    WString caption;
    UINT type = 0;
    std::vector<int> buttons;  // the answers, in the platform's order
    int defaultButton = 0;
};

// Shows the box as a modal window of the calling thread: its owner (or, task-modal without
// one, every top-level window of the thread) is disabled while the box runs a message loop
// of its own that dispatches all of the thread's messages. Returns the pressed button; 0
// when the window cannot be made. A WM_QUIT taken meanwhile ends the box (with the answer
// of Escape where it has one, else its default) and is posted again.
int runMessageBoxWindow(const MessageBoxSpec& spec);

// The box's icon of a type's MB_ICON bits, 32 x 32 at (x, y); nothing for none.
void drawMessageBoxIcon(DialogCanvas& canvas, int x, int y, UINT icon);

}  // namespace HA::OS::DETAIL
