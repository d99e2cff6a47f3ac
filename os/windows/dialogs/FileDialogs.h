#pragma once
// The common open and save dialogs and the shell's folder browser of the stand-in. Every
// dialog is recorded with what it was asked (title, filters and index, file buffer,
// initial folder, default extension, flags). In tests a FileDialogScript answers them
// with a path (and a filter index) or a cancel, optionally after running the caller's
// queue for a while, as a modal dialog does; a dialog the script does not expect is a
// problem. Without a script (a run without a display) every dialog is cancelled.

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "os/kernel/Clock.h"
#include "os/windows/Window.h"

namespace HA::OS {

constexpr DWORD OFN_OVERWRITEPROMPT = 0x00000002;
constexpr DWORD OFN_HIDEREADONLY = 0x00000004;
constexpr DWORD OFN_PATHMUSTEXIST = 0x00000800;
constexpr DWORD OFN_FILEMUSTEXIST = 0x00001000;
constexpr DWORD OFN_LONGNAMES = 0x00200000;

struct OPENFILENAMEW {
    DWORD lStructSize;
    HWND hwndOwner;
    HINSTANCE hInstance;
    // Pairs of description and pattern, each NUL-terminated, the list ending with an extra
    // NUL; null for none.
    const char16_t* lpstrFilter;
    DWORD nFilterIndex;  // one-based; 0 for none
    char16_t* lpstrFile;  // in: the initial name (may be empty); out: the chosen path
    DWORD nMaxFile;       // units of lpstrFile, the NUL included
    const char16_t* lpstrInitialDir;
    const char16_t* lpstrTitle;
    DWORD Flags;
    const char16_t* lpstrDefExt;
};

// True when a path was chosen (in lpstrFile, the chosen filter in nFilterIndex). False on
// cancel, and with ERROR_INVALID_PARAMETER for a wrong lStructSize or a missing buffer; a
// chosen path that does not fit the buffer is a failure too. The caller's queue runs while
// the dialog is open.
bool getOpenFileName(OPENFILENAMEW& ofn);
bool getSaveFileName(OPENFILENAMEW& ofn);

// The folder browser.
struct ITEMIDLIST;
using PIDLIST_ABSOLUTE = ITEMIDLIST*;
using BFFCALLBACK = int (*)(HWND dialog, UINT message, LPARAM lParam, LPARAM data);
constexpr UINT BIF_NEWDIALOGSTYLE = 0x00000040;
constexpr UINT BIF_NONEWFOLDERBUTTON = 0x00000200;
constexpr UINT BFFM_INITIALIZED = 1;
constexpr UINT BFFM_SETSELECTIONW = 0x0400 + 103;  // wParam TRUE: lParam is a path

struct BROWSEINFOW {
    HWND hwndOwner;
    PIDLIST_ABSOLUTE pidlRoot;
    char16_t* pszDisplayName;  // at least 260 units; out: the chosen folder's name
    const char16_t* lpszTitle;
    UINT ulFlags;
    BFFCALLBACK lpfn;  // called with BFFM_INITIALIZED once the dialog window exists
    LPARAM lParam;
    int iImage;
};

// The chosen folder's item list, or null on cancel. It is task memory: free it with
// coTaskMemFree (os/kernel/TaskMemory.h).
PIDLIST_ABSOLUTE shBrowseForFolder(BROWSEINFOW& info);
// Copies the item list's path (at most 260 units with the NUL); false for a null list or a
// path that does not fit.
bool shGetPathFromIDList(PIDLIST_ABSOLUTE list, char16_t* path);

struct FileDialogRecord {
    enum class eKind { Open, Save, Folder };
    eKind kind = eKind::Open;
    HWND owner = nullptr;
    WString title;
    std::vector<std::pair<WString, WString>> filters;  // description, pattern
    DWORD filterIndex = 0;
    WString file;  // the file buffer's initial text
    WString initialFolder;
    WString defaultExtension;
    DWORD flags = 0;  // OFN_ flags, or the browser's BIF_ flags
    WString selection;  // folder browser: what the callback selected at the start
    bool cancelled = true;
    WString answer;
    DWORD answerFilterIndex = 0;

    std::string titleUtf8() const;
};

// Every dialog shown since the process started or the last clearFileDialogRecords().
std::vector<FileDialogRecord> fileDialogRecords();
void clearFileDialogRecords();

// Answers the dialogs of its life, in order. Problems (a dialog no answer is left for,
// answers left over at the end) go to the handler, as with MessageBoxScript. Scripts nest:
// the newest one answers.
class FileDialogScript {
public:
    using ProblemHandler = std::function<void(const std::string& problem)>;

    explicit FileDialogScript(ProblemHandler onProblem = {});
    ~FileDialogScript();
    FileDialogScript(const FileDialogScript&) = delete;
    FileDialogScript& operator=(const FileDialogScript&) = delete;

    // The next dialog chooses `path` (UTF-8) with the one-based filter (0: the one it was
    // opened with), after running the caller's queue for `pumpMs` of clock time.
    FileDialogScript& choose(const std::string& path, DWORD filterIndex = 0, TimeMs pumpMs = 0);
    FileDialogScript& cancel(TimeMs pumpMs = 0);
    std::vector<FileDialogRecord> shown() const;

    struct State;

private:
    std::shared_ptr<State> mState;
};

}  // namespace HA::OS
