#pragma once
// Modal message boxes of the stand-in. Every box is recorded (owner, text, caption, type,
// answer). In tests a MessageBoxScript answers them; a box that the script does not
// expect is reported as a problem. Without a script, on a thread whose windows are on the
// display (and while a MessageBoxWindowScope lives), a box is a modal window of its own
// (class "#32770"): captioned, with its icon, its text wrapped and its buttons, owned by
// and centred over its owner (or the work area); the owner, or task-modal without one
// the thread's windows, is disabled while the box's own message loop runs. Otherwise (a
// real run without a display) it is answered with its default button and its question is
// printed on standard error.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "os/windows/Window.h"

namespace HA::OS {

// Button sets.
constexpr UINT MB_OK = 0x00000000;
constexpr UINT MB_OKCANCEL = 0x00000001;
constexpr UINT MB_ABORTRETRYIGNORE = 0x00000002;
constexpr UINT MB_YESNOCANCEL = 0x00000003;
constexpr UINT MB_YESNO = 0x00000004;
constexpr UINT MB_RETRYCANCEL = 0x00000005;
constexpr UINT MB_CANCELTRYCONTINUE = 0x00000006;
constexpr UINT MB_TYPEMASK = 0x0000000F;
// Icons.
constexpr UINT MB_ICONERROR = 0x00000010;
constexpr UINT MB_ICONHAND = MB_ICONERROR;
constexpr UINT MB_ICONSTOP = MB_ICONERROR;
constexpr UINT MB_ICONQUESTION = 0x00000020;
constexpr UINT MB_ICONWARNING = 0x00000030;
constexpr UINT MB_ICONEXCLAMATION = MB_ICONWARNING;
constexpr UINT MB_ICONINFORMATION = 0x00000040;
constexpr UINT MB_ICONASTERISK = MB_ICONINFORMATION;
constexpr UINT MB_ICONMASK = 0x000000F0;
// Default buttons.
constexpr UINT MB_DEFBUTTON1 = 0x00000000;
constexpr UINT MB_DEFBUTTON2 = 0x00000100;
constexpr UINT MB_DEFBUTTON3 = 0x00000200;
constexpr UINT MB_DEFBUTTON4 = 0x00000300;
constexpr UINT MB_DEFMASK = 0x00000F00;
// Modality and the rest.
constexpr UINT MB_APPLMODAL = 0x00000000;
constexpr UINT MB_SYSTEMMODAL = 0x00001000;
constexpr UINT MB_TASKMODAL = 0x00002000;
constexpr UINT MB_SETFOREGROUND = 0x00010000;
constexpr UINT MB_TOPMOST = 0x00040000;

// Answers.
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDABORT = 3;
constexpr int IDRETRY = 4;
constexpr int IDIGNORE = 5;
constexpr int IDYES = 6;
constexpr int IDNO = 7;
constexpr int IDTRYAGAIN = 10;
constexpr int IDCONTINUE = 11;

// Shows a box; returns the pressed button, 0 on failure (ERROR_INVALID_PARAMETER for an
// unknown button set). Any thread.
int messageBox(HWND owner, const WString& text, const WString& caption, UINT type);

struct MessageBoxRecord {
    HWND owner;
    WString text;
    WString caption;
    UINT type;
    int answer;

    UINT buttons() const { return type & MB_TYPEMASK; }
    UINT icon() const { return type & MB_ICONMASK; }
    // The id of the default button (MB_DEFBUTTONn of the set; the first one when n is out
    // of range).
    int defaultButton() const;
    std::string textUtf8() const;
    std::string captionUtf8() const;
};

// Every box shown since the process started or the last clearMessageBoxRecords().
std::vector<MessageBoxRecord> messageBoxRecords();
void clearMessageBoxRecords();

// Answers the boxes of its life, in order. A problem (a box that no expectation is left
// for, a box whose text does not match, an answer that is not one of the box's buttons,
// expectations left over at the end) goes to the handler; tests pass one that fails the
// test, e.g. [](const std::string& p) { ADD_FAILURE() << p; }. Without a handler a
// problem stops the process with the message. An unexpected box is answered with its
// default button. Scripts nest: the newest one answers.
class MessageBoxScript {
public:
    using ProblemHandler = std::function<void(const std::string& problem)>;

    explicit MessageBoxScript(ProblemHandler onProblem = {});
    ~MessageBoxScript();
    MessageBoxScript(const MessageBoxScript&) = delete;
    MessageBoxScript& operator=(const MessageBoxScript&) = delete;

    // The next box is answered with `answer`; with `textContains`, its text (UTF-8) must
    // contain it.
    MessageBoxScript& expect(int answer, const std::string& textContains = std::string());
    // Boxes this script answered.
    std::vector<MessageBoxRecord> shown() const;

    struct State;  // shared with the box code

private:
    std::shared_ptr<State> mState;
};

// The caption of a box's button by its result id ("?" for an unknown one).
const char* buttonName(int id);

// While one lives, boxes that no script answers are windows even without a display, so
// that a test can click them through the input. Scopes nest; any thread.
class MessageBoxWindowScope {
public:
    MessageBoxWindowScope();
    ~MessageBoxWindowScope();
    MessageBoxWindowScope(const MessageBoxWindowScope&) = delete;
    MessageBoxWindowScope& operator=(const MessageBoxWindowScope&) = delete;
};

// The stand-in's: where a box window's button is, in screen coordinates. False when `box`
// is no box window or has no such button.
bool messageBoxButtonRect(HWND box, int id, RECT& screen);

}  // namespace HA::OS
