#pragma once
// The library's modal message box: the fatal-error report and the updater's quit question.

#include <string_view>

namespace HA::GP {

// Button sets.
enum eMessageBoxButtons : int {
    eButtonsOk = 0,
    eButtonsOkCancel = 1,
    eButtonsYesNo = 2,
    eButtonsYesNoCancel = 3,
    eButtonsRetryCancel = 4,
    eButtonsAbortRetryIgnore = 5,
};

enum eMessageBoxIcon : int {
    eIconNone = 0,
    eIconError = 1,
    eIconWarning = 2,
    eIconQuestion = 3,
    eIconInformation = 4,
};

// Buttons, as results and as defaults.
enum eMessageBoxResult : int {
    eResultOk = 0,  // also a box that could not be shown
    eResultCancel = 1,
    eResultYes = 2,
    eResultNo = 3,
    eResultAbort = 4,
    eResultRetry = 5,
    eResultIgnore = 6,
};

// Shows every message box instead of the platform while it is set.
class MessageBoxDelegate {
public:
    virtual int showMessageBox(std::string_view text, int* buttons, int* defaultButton, int* icon,
                               const char** caption) = 0;

protected:
    ~MessageBoxDelegate() = default;
};

// Shows a task-modal box in the foreground without an owner window and returns the
// pressed button. `defaultButton` names the default by its result value when it belongs
// to the set (otherwise the first button is the default); an unknown button set shows
// OK. A null caption is the application title. Any thread.
int showMessageBox(std::string_view text, int buttons, int defaultButton, int icon, const char* caption = nullptr);

namespace DETAIL {

// Null gives the boxes back to the platform. Returns the previous delegate.
MessageBoxDelegate* setMessageBoxDelegate(MessageBoxDelegate* delegate);

}  // namespace DETAIL

}  // namespace HA::GP
