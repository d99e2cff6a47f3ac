#include "gp/src/common/process/MessageBox.h"

#include <atomic>

#include "gp/src/common/process/ApplicationIdentity.h"
#include "gp/src/common/text/Utf8.h"
#include "os/windows/messagebox/MessageBox.h"

namespace HA::GP {

namespace {

std::atomic<MessageBoxDelegate*> gDelegate{nullptr};

struct ButtonSet {
    OS::UINT platform;
    int second;  // the default argument that makes the second button the default, or -1
    int third;   // the same for the third button
};

ButtonSet buttonSet(int buttons)
{
    switch (buttons) {
    case eButtonsOkCancel: return {OS::MB_OKCANCEL, eResultCancel, -1};
    case eButtonsYesNo: return {OS::MB_YESNO, eResultNo, -1};
    case eButtonsYesNoCancel: return {OS::MB_YESNOCANCEL, eResultNo, eResultCancel};
    case eButtonsRetryCancel: return {OS::MB_RETRYCANCEL, eResultCancel, -1};
    case eButtonsAbortRetryIgnore: return {OS::MB_ABORTRETRYIGNORE, eResultRetry, eResultIgnore};
    default: return {OS::MB_OK, -1, -1};
    }
}

OS::UINT iconFlag(int icon)
{
    switch (icon) {
    case eIconError: return OS::MB_ICONERROR;
    case eIconWarning: return OS::MB_ICONWARNING;
    case eIconQuestion: return OS::MB_ICONQUESTION;
    case eIconInformation: return OS::MB_ICONINFORMATION;
    default: return 0;
    }
}

int resultOf(int pressed)
{
    switch (pressed) {
    case OS::IDCANCEL: return eResultCancel;
    case OS::IDYES: return eResultYes;
    case OS::IDNO: return eResultNo;
    case OS::IDABORT: return eResultAbort;
    case OS::IDRETRY: return eResultRetry;
    case OS::IDIGNORE: return eResultIgnore;
    default: return eResultOk;  // OK, and a box that failed
    }
}

}  // namespace

int showMessageBox(std::string_view text, int buttons, int defaultButton, int icon, const char* caption)
{
    if (MessageBoxDelegate* delegate = gDelegate.load())
        return delegate->showMessageBox(text, &buttons, &defaultButton, &icon, &caption);
    const ButtonSet set = buttonSet(buttons);
    OS::UINT type = OS::MB_TASKMODAL | OS::MB_SETFOREGROUND | set.platform | iconFlag(icon);
    if (set.second >= 0 && defaultButton == set.second)
        type |= OS::MB_DEFBUTTON2;
    else if (set.third >= 0 && defaultButton == set.third)
        type |= OS::MB_DEFBUTTON3;
    const char* shownCaption = caption != nullptr ? caption : applicationTitle();
    return resultOf(OS::messageBox(nullptr, toUtf16(text), toUtf16(shownCaption), type));
}

namespace DETAIL {

MessageBoxDelegate* setMessageBoxDelegate(MessageBoxDelegate* delegate) { return gDelegate.exchange(delegate); }

}  // namespace DETAIL

}  // namespace HA::GP
