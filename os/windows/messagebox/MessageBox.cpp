#include "os/windows/messagebox/MessageBox.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <iterator>

#include "os/kernel/Kernel.h"
#include "os/kernel/Text.h"
#include "os/windows/DisplayHooks.h"
#include "os/windows/messagebox/detail/MessageBoxWindow.h"
#include "os/windows/detail/ScriptedAnswers.h"

namespace HA::OS {

namespace {

const std::vector<int>* buttonsOf(UINT type)
{
    static const std::vector<int> sets[] = {
        {IDOK}, {IDOK, IDCANCEL}, {IDABORT, IDRETRY, IDIGNORE}, {IDYES, IDNO, IDCANCEL},
        {IDYES, IDNO}, {IDRETRY, IDCANCEL}, {IDCANCEL, IDTRYAGAIN, IDCONTINUE},
    };
    UINT set = type & MB_TYPEMASK;
    return set < std::size(sets) ? &sets[set] : nullptr;
}

}  // namespace

namespace DETAIL {
struct MessageBoxExpectation {
    int answer;
    std::string textContains;
};
}  // namespace DETAIL

const char* buttonName(int id)
{
    switch (id) {
    case IDOK:
        return "OK";
    case IDCANCEL:
        return "Cancel";
    case IDABORT:
        return "Abort";
    case IDRETRY:
        return "Retry";
    case IDIGNORE:
        return "Ignore";
    case IDYES:
        return "Yes";
    case IDNO:
        return "No";
    case IDTRYAGAIN:
        return "Try Again";
    case IDCONTINUE:
        return "Continue";
    default:
        return "?";
    }
}

struct MessageBoxScript::State : DETAIL::ScriptState<MessageBoxRecord, DETAIL::MessageBoxExpectation> {};

namespace {

using Boxes = DETAIL::ScriptedAnswers<MessageBoxRecord, DETAIL::MessageBoxExpectation>;

Boxes& boxes()
{
    static Boxes* b = new Boxes("message box");  // never destroyed, like the other stand-in tables
    return *b;
}

std::atomic<int> gWindowScopes{0};

bool boxesAreWindows()
{
    if (gWindowScopes.load() > 0)
        return true;
    const DisplayHooks* hooks = displayHooks();
    return hooks && hooks->showsWindows && hooks->showsWindows();
}

std::string describe(const MessageBoxRecord& r)
{
    return "\"" + r.captionUtf8() + "\": \"" + r.textUtf8() + "\"";
}

}  // namespace

int MessageBoxRecord::defaultButton() const
{
    const std::vector<int>* ids = buttonsOf(type);
    if (!ids)
        return 0;
    size_t index = (type & MB_DEFMASK) >> 8;
    return index < ids->size() ? (*ids)[index] : (*ids)[0];
}

std::string MessageBoxRecord::textUtf8() const
{
    return utf16ToUtf8(text);
}

std::string MessageBoxRecord::captionUtf8() const
{
    return utf16ToUtf8(caption);
}

int messageBox(HWND owner, const WString& text, const WString& caption, UINT type)
{
    const std::vector<int>* ids = buttonsOf(type);
    if (!ids) {
        setLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    MessageBoxRecord record{owner, text, caption, type, 0};
    int fallback = record.defaultButton();
    const Boxes::Turn turn = boxes().take();
    const auto& script = turn.script;
    const auto& expectation = turn.answer;
    std::string problem;
    if (!script && boxesAreWindows())
        record.answer = DETAIL::runMessageBoxWindow(DETAIL::MessageBoxSpec{owner, text, caption, type, *ids, fallback});
    if (record.answer != 0) {
        // Answered in its window.
    } else if (!script) {
        record.answer = fallback;
        std::string buttons;
        for (int id : *ids)
            buttons += std::string(buttons.empty() ? "" : "/") + buttonName(id);
        std::fprintf(stderr, "[message box] %s: %s [%s] -> %s\n", record.captionUtf8().c_str(),
                     record.textUtf8().c_str(), buttons.c_str(), buttonName(fallback));
        std::fflush(stderr);
    } else if (!expectation) {
        record.answer = fallback;
        problem = "unexpected message box " + describe(record);
    } else if (record.textUtf8().find(expectation->textContains) == std::string::npos) {
        record.answer = fallback;
        problem = "message box " + describe(record) + " does not contain \"" + expectation->textContains + "\"";
    } else if (std::find(ids->begin(), ids->end(), expectation->answer) == ids->end()) {
        record.answer = fallback;
        problem = "message box " + describe(record) + " has no button " + std::to_string(expectation->answer);
    } else {
        record.answer = expectation->answer;
    }
    boxes().keep(record, script);
    if (!problem.empty())
        boxes().report(*script, problem);
    return record.answer;
}

MessageBoxWindowScope::MessageBoxWindowScope() { ++gWindowScopes; }

MessageBoxWindowScope::~MessageBoxWindowScope() { --gWindowScopes; }

std::vector<MessageBoxRecord> messageBoxRecords() { return boxes().records(); }

void clearMessageBoxRecords() { boxes().clear(); }

MessageBoxScript::MessageBoxScript(ProblemHandler onProblem) : mState(std::make_shared<State>())
{
    mState->onProblem = std::move(onProblem);
    boxes().push(mState);
}

MessageBoxScript::~MessageBoxScript() { boxes().pop(mState, "message box(es)"); }

MessageBoxScript& MessageBoxScript::expect(int answer, const std::string& textContains)
{
    boxes().add(*mState, DETAIL::MessageBoxExpectation{answer, textContains});
    return *this;
}

std::vector<MessageBoxRecord> MessageBoxScript::shown() const { return boxes().shown(*mState); }

}  // namespace HA::OS
