#include "os/windows/Window.h"

#include "os/kernel/Kernel.h"
#include "os/kernel/Text.h"
#include "os/windows/faults/WindowFaults.h"
#include "os/windows/detail/WindowState.h"

namespace HA::OS {

using namespace DETAIL;

namespace {

LRESULT staticWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    return defWindowProc(hwnd, message, wParam, lParam);
}

}  // namespace

namespace DETAIL {

void addSystemClassesLocked(WindowSystem& s)
{
    auto cls = std::make_shared<ClassRec>();
    cls->name = u"Static";
    cls->key = foldCase(cls->name);
    cls->atom = s.nextAtom++;
    cls->proc = &staticWindowProc;
    s.classes.emplace(cls->key, cls);
}

}  // namespace DETAIL

ATOM registerClass(const WNDCLASSEXW& wc)
{
    if (wc.lpszClassName.empty() || !wc.lpfnWndProc || wc.cbClsExtra < 0 || wc.cbWndExtra < 0 ||
        wc.cbWndExtra > 40000 || wc.cbClsExtra > 40000) {
        setLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (DWORD fault = takeWindowFault(eWindowFault::RegisterClass, wc.lpszClassName)) {
        setLastError(fault);
        return 0;
    }
    auto lock = kernelLock();
    WindowSystem& s = windowSystem();
    WString key = foldCase(wc.lpszClassName);
    if (s.classes.count(key)) {
        setLastError(ERROR_CLASS_ALREADY_EXISTS);
        return 0;
    }
    auto cls = std::make_shared<ClassRec>();
    cls->name = wc.lpszClassName;
    cls->key = key;
    cls->atom = s.nextAtom++;
    if (s.nextAtom == 0)
        s.nextAtom = 0xC000;
    cls->style = wc.style;
    cls->proc = wc.lpfnWndProc;
    cls->classExtraBytes = wc.cbClsExtra;
    cls->windowExtraBytes = wc.cbWndExtra;
    cls->instance = wc.hInstance;
    cls->icon = wc.hIcon;
    cls->smallIcon = wc.hIconSm;
    cls->cursor = wc.hCursor;
    cls->background = wc.hbrBackground;
    s.classes.emplace(key, cls);
    return cls->atom;
}

bool unregisterClass(const WString& className, HINSTANCE)
{
    auto lock = kernelLock();
    WindowSystem& s = windowSystem();
    auto it = s.classes.find(foldCase(className));
    if (it == s.classes.end()) {
        setLastError(ERROR_CLASS_DOES_NOT_EXIST);
        return false;
    }
    if (it->second->windows > 0) {
        setLastError(ERROR_CLASS_HAS_WINDOWS);
        return false;
    }
    s.classes.erase(it);
    return true;
}

UINT getClassStyle(HWND hwnd)
{
    auto lock = kernelLock();
    auto w = windowOrFail(hwnd);
    return w ? w->cls->style : 0;
}

WString getClassName(HWND hwnd)
{
    auto lock = kernelLock();
    auto w = windowOrFail(hwnd);
    return w ? w->cls->name : WString();
}

}  // namespace HA::OS
