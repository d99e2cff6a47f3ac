#include "os/windows/dialogs/FileDialogs.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "os/kernel/Kernel.h"
#include "os/kernel/TaskMemory.h"
#include "os/kernel/Text.h"
#include "os/windows/Message.h"
#include "os/windows/timers/MessagePump.h"
#include "os/windows/detail/ScriptedAnswers.h"

namespace HA::OS {

namespace {

constexpr size_t kMaxPath = 260;

}  // namespace

namespace DETAIL {
struct FileDialogAnswer {
    bool cancel = true;
    std::string path;
    DWORD filterIndex = 0;
    TimeMs pumpMs = 0;
};
}  // namespace DETAIL

struct FileDialogScript::State : DETAIL::ScriptState<FileDialogRecord, DETAIL::FileDialogAnswer> {};

namespace {

using Answer = DETAIL::FileDialogAnswer;
using Dialogs = DETAIL::ScriptedAnswers<FileDialogRecord, Answer>;

Dialogs& dialogs()
{
    static Dialogs* d = new Dialogs("file dialog");  // never destroyed, like the other stand-in tables
    return *d;
}

WString textOf(const char16_t* p) { return p ? WString(p) : WString(); }

std::vector<std::pair<WString, WString>> parseFilters(const char16_t* p)
{
    std::vector<std::pair<WString, WString>> filters;
    while (p && *p) {
        WString description(p);
        p += description.size() + 1;
        WString pattern(p);
        p += pattern.size() + 1;
        filters.emplace_back(std::move(description), std::move(pattern));
    }
    return filters;
}

const char* kindName(FileDialogRecord::eKind kind)
{
    switch (kind) {
    case FileDialogRecord::eKind::Open:
        return "open";
    case FileDialogRecord::eKind::Save:
        return "save";
    default:
        return "folder";
    }
}

// Takes the script's next answer and runs the queue for its time; records the dialog.
// Without a script: cancel.
Answer runDialog(FileDialogRecord& record)
{
    const Dialogs::Turn turn = dialogs().take();
    const auto& script = turn.script;
    const auto& answer = turn.answer;
    if (!script) {
        std::fprintf(stderr, "[file dialog] %s \"%s\" -> cancelled\n", kindName(record.kind),
                     record.titleUtf8().c_str());
        std::fflush(stderr);
    }
    if (answer && answer->pumpMs > 0)
        pumpMessagesFor(answer->pumpMs);
    Answer result = answer.value_or(Answer{});
    record.cancelled = result.cancel;
    if (!result.cancel) {
        record.answer = utf8ToUtf16(result.path);
        record.answerFilterIndex = result.filterIndex ? result.filterIndex : record.filterIndex;
    }
    dialogs().keep(record, script);
    if (script && !answer)
        dialogs().report(*script, std::string("unexpected ") + kindName(record.kind) + " dialog \"" +
                                      record.titleUtf8() + "\"");
    return result;
}

bool runFileDialog(OPENFILENAMEW& ofn, FileDialogRecord::eKind kind)
{
    if (ofn.lStructSize != sizeof(OPENFILENAMEW) || !ofn.lpstrFile || ofn.nMaxFile == 0) {
        setLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    FileDialogRecord record;
    record.kind = kind;
    record.owner = ofn.hwndOwner;
    record.title = textOf(ofn.lpstrTitle);
    record.filters = parseFilters(ofn.lpstrFilter);
    record.filterIndex = ofn.nFilterIndex;
    record.file = WString(ofn.lpstrFile, std::find(ofn.lpstrFile, ofn.lpstrFile + ofn.nMaxFile, u'\0'));
    record.initialFolder = textOf(ofn.lpstrInitialDir);
    record.defaultExtension = textOf(ofn.lpstrDefExt);
    record.flags = ofn.Flags;
    const Answer answer = runDialog(record);
    if (answer.cancel)
        return false;
    if (record.answer.size() + 1 > ofn.nMaxFile)
        return false;  // the platform's buffer-too-small failure
    std::copy(record.answer.begin(), record.answer.end(), ofn.lpstrFile);
    ofn.lpstrFile[record.answer.size()] = u'\0';
    ofn.nFilterIndex = record.answerFilterIndex;
    return true;
}

// The browser's window while it is open: it takes the selection its callback sends.
WString* gSelection = nullptr;

LRESULT browserProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == BFFM_SETSELECTIONW && wParam && lParam && gSelection) {
        *gSelection = WString(reinterpret_cast<const char16_t*>(lParam));
        return 0;
    }
    return defWindowProc(hwnd, message, wParam, lParam);
}

}  // namespace

std::string FileDialogRecord::titleUtf8() const { return utf16ToUtf8(title); }

bool getOpenFileName(OPENFILENAMEW& ofn) { return runFileDialog(ofn, FileDialogRecord::eKind::Open); }

bool getSaveFileName(OPENFILENAMEW& ofn) { return runFileDialog(ofn, FileDialogRecord::eKind::Save); }

PIDLIST_ABSOLUTE shBrowseForFolder(BROWSEINFOW& info)
{
    FileDialogRecord record;
    record.kind = FileDialogRecord::eKind::Folder;
    record.owner = info.hwndOwner;
    record.title = textOf(info.lpszTitle);
    record.flags = info.ulFlags;
    if (info.pszDisplayName)
        record.file = WString(info.pszDisplayName, std::find(info.pszDisplayName, info.pszDisplayName + kMaxPath, u'\0'));
    if (info.lpfn) {
        HWND dialog = createWindow(0, u"STATIC", record.title, 0, 0, 0, 1, 1, HWND_MESSAGE, nullptr, nullptr, nullptr);
        if (dialog) {
            setWindowProc(dialog, &browserProc);
            WString* previous = gSelection;
            gSelection = &record.selection;
            info.lpfn(dialog, BFFM_INITIALIZED, 0, info.lParam);
            gSelection = previous;
            destroyWindow(dialog);
        }
    }
    const Answer answer = runDialog(record);
    if (answer.cancel)
        return nullptr;
    if (info.pszDisplayName) {
        const size_t slash = record.answer.find_last_of(u"\\/");
        WString name = slash == WString::npos ? record.answer : record.answer.substr(slash + 1);
        name.resize(std::min(name.size(), kMaxPath - 1));
        std::copy(name.begin(), name.end(), info.pszDisplayName);
        info.pszDisplayName[name.size()] = u'\0';
    }
    void* block = coTaskMemAlloc((record.answer.size() + 1) * sizeof(char16_t));
    if (!block)
        return nullptr;
    std::memcpy(block, record.answer.c_str(), (record.answer.size() + 1) * sizeof(char16_t));
    return static_cast<PIDLIST_ABSOLUTE>(block);
}

bool shGetPathFromIDList(PIDLIST_ABSOLUTE list, char16_t* path)
{
    if (!list || !path)
        return false;
    // The stand-in's item list is a task-memory block holding the folder's path, NUL-ended.
    const WString text(reinterpret_cast<const char16_t*>(list));
    if (text.size() + 1 > kMaxPath)
        return false;
    std::copy(text.begin(), text.end(), path);
    path[text.size()] = u'\0';
    return true;
}

std::vector<FileDialogRecord> fileDialogRecords() { return dialogs().records(); }

void clearFileDialogRecords() { dialogs().clear(); }

FileDialogScript::FileDialogScript(ProblemHandler onProblem) : mState(std::make_shared<State>())
{
    mState->onProblem = std::move(onProblem);
    dialogs().push(mState);
}

FileDialogScript::~FileDialogScript() { dialogs().pop(mState, "file dialog(s)"); }

FileDialogScript& FileDialogScript::choose(const std::string& path, DWORD filterIndex, TimeMs pumpMs)
{
    dialogs().add(*mState, Answer{false, path, filterIndex, pumpMs});
    return *this;
}

FileDialogScript& FileDialogScript::cancel(TimeMs pumpMs)
{
    dialogs().add(*mState, Answer{true, std::string(), 0, pumpMs});
    return *this;
}

std::vector<FileDialogRecord> FileDialogScript::shown() const { return dialogs().shown(*mState); }

}  // namespace HA::OS
