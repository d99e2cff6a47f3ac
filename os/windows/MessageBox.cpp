#include "os/windows/MessageBox.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <iterator>
#include <cstdlib>
#include <mutex>

#include "os/kernel/Kernel.h"
#include "os/kernel/Text.h"
#include "os/windows/DisplayHooks.h"
#include "os/windows/detail/MessageBoxWindow.h"

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

struct Expectation {
    int answer;
    std::string textContains;
};

}  // namespace

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

struct MessageBoxScript::State {
    ProblemHandler onProblem;
    std::vector<Expectation> expected;
    size_t next = 0;
    std::vector<MessageBoxRecord> shown;
};

namespace {

struct Boxes {
    std::mutex mutex;
    std::vector<MessageBoxRecord> records;
    std::vector<std::shared_ptr<MessageBoxScript::State>> scripts;  // newest last
};

Boxes& boxes()
{
    static Boxes* b = new Boxes;
    return *b;
}

void report(const MessageBoxScript::ProblemHandler& handler, const std::string& problem)
{
    if (handler) {
        handler(problem);
        return;
    }
    std::fprintf(stderr, "os: message box script: %s\n", problem.c_str());
    std::fflush(stderr);
    std::abort();
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
    std::shared_ptr<MessageBoxScript::State> script;
    std::optional<Expectation> expectation;
    {
        Boxes& b = boxes();
        std::lock_guard<std::mutex> lock(b.mutex);
        if (!b.scripts.empty()) {
            script = b.scripts.back();
            if (script->next < script->expected.size())
                expectation = script->expected[script->next++];
        }
    }
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
    {
        Boxes& b = boxes();
        std::lock_guard<std::mutex> lock(b.mutex);
        b.records.push_back(record);
        if (script)
            script->shown.push_back(record);
    }
    if (!problem.empty())
        report(script->onProblem, problem);
    return record.answer;
}

MessageBoxWindowScope::MessageBoxWindowScope() { ++gWindowScopes; }

MessageBoxWindowScope::~MessageBoxWindowScope() { --gWindowScopes; }

std::vector<MessageBoxRecord> messageBoxRecords()
{
    Boxes& b = boxes();
    std::lock_guard<std::mutex> lock(b.mutex);
    return b.records;
}

void clearMessageBoxRecords()
{
    Boxes& b = boxes();
    std::lock_guard<std::mutex> lock(b.mutex);
    b.records.clear();
}

MessageBoxScript::MessageBoxScript(ProblemHandler onProblem) : mState(std::make_shared<State>())
{
    mState->onProblem = std::move(onProblem);
    Boxes& b = boxes();
    std::lock_guard<std::mutex> lock(b.mutex);
    b.scripts.push_back(mState);
}

MessageBoxScript::~MessageBoxScript()
{
    size_t left;
    {
        Boxes& b = boxes();
        std::lock_guard<std::mutex> lock(b.mutex);
        b.scripts.erase(std::remove(b.scripts.begin(), b.scripts.end(), mState), b.scripts.end());
        left = mState->expected.size() - mState->next;
    }
    if (left > 0)
        report(mState->onProblem, std::to_string(left) + " expected message box(es) never shown");
}

MessageBoxScript& MessageBoxScript::expect(int answer, const std::string& textContains)
{
    std::lock_guard<std::mutex> lock(boxes().mutex);
    mState->expected.push_back(Expectation{answer, textContains});
    return *this;
}

std::vector<MessageBoxRecord> MessageBoxScript::shown() const
{
    std::lock_guard<std::mutex> lock(boxes().mutex);
    return mState->shown;
}

}  // namespace HA::OS
