#include "uia/platform/StandaloneWindowImpl.h"

#include "os/windows/Message.h"
#include "uia/Events.h"
#include "uia/Window.h"
#include "uia/WindowImpl.h"

namespace HA::UIA::DETAIL {

OS::LRESULT StandaloneWindowImpl::defaultProc(OS::UINT message, OS::WPARAM wParam, OS::LPARAM lParam)
{
    if (message == OS::WM_SIZE && wParam != OS::SIZE_MINIMIZED && resizeChild(OS::loWord(static_cast<OS::WPARAM>(lParam))))
        return 0;
    return MainWindowImplWin32::defaultProc(message, wParam, lParam);
}

bool StandaloneWindowImpl::resizeChild(int width)
{
    WindowImpl* child = mChild ? mChild->getImpl() : nullptr;
    if (!child || !child->isVisible())
        return false;
    OS::RECT client{};
    OS::getClientRect(child->getHwnd(), client);
    OS::setWindowPos(child->getHwnd(), nullptr, 0, 0, width, client.bottom,
                     OS::SWP_NOMOVE | OS::SWP_NOZORDER | OS::SWP_NOACTIVATE);
    SizeStateEventData state;
    state.state = kSizeStateNormal;
    sendEvent(kEventSizeState, &state, false);
    return true;
}

}  // namespace HA::UIA::DETAIL
