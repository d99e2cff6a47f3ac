#include "os/windows/Window.h"

#include "os/kernel/Kernel.h"
#include "os/windows/detail/WindowState.h"

namespace HA::OS {

using namespace DETAIL;

HWND setParent(HWND hwnd, HWND parent)
{
    auto lock = kernelLock();
    auto w = windowOrFail(hwnd);
    if (!w || !checkWindowThread(*w, "setParent"))
        return nullptr;
    std::shared_ptr<WindowRec> p;
    if (parent) {
        p = windowOrFail(parent);
        if (!p)
            return nullptr;
        // A window cannot become its own ancestor.
        for (auto a = p; a; a = a->parent ? findWindowLocked(a->parent) : nullptr)
            if (a == w) {
                setLastError(ERROR_INVALID_PARAMETER);
                return nullptr;
            }
    }
    if (!(w->style & WS_CHILD) || w->messageOnly) {
        HWND previous = w->owner;
        w->owner = parent;
        return previous;
    }
    if (!p) {
        setLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    HWND previous = w->parent;
    if (auto* list = siblingsLocked(*w))
        removeFromList(*list, hwnd);
    w->parent = parent;
    p->children.insert(p->children.begin(), hwnd);
    return previous;
}

}  // namespace HA::OS
