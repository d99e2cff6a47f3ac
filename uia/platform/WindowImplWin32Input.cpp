#include "uia/platform/WindowImplWin32.h"

// FIXME: keyboard, mouse and cursor input arrive with the input work; until then their
// messages get default processing, a set cursor is only remembered and an infinite drag
// only marks the window captured.

namespace HA::UIA::DETAIL {

std::optional<OS::LRESULT> WindowImplWin32::dispatchInputMessage(OS::UINT, OS::WPARAM, OS::LPARAM)
{
    return std::nullopt;
}

void WindowImplWin32::setCursor(OS::HANDLE cursor)
{
    WindowImplBaseWin32::setCursor(cursor);
}

void WindowImplWin32::resetCursor()
{
    WindowImplBaseWin32::resetCursor();
}

void WindowImplWin32::beginInfiniteDrag()
{
    mCaptured = true;
}

void WindowImplWin32::endInfiniteDrag()
{
    mCaptured = false;
}

}  // namespace HA::UIA::DETAIL
