#include "uia/window/FileDialog.h"

#include <algorithm>

#include "gp/src/common/files/FileType.h"
#include "os/files/CurrentDirectory.h"
#include "os/kernel/Module.h"
#include "os/kernel/Text.h"
#include "os/shell/Ole.h"
#include "os/windows/dialogs/FileDialogs.h"
#include "os/windows/Message.h"
#include "uia/window/Window.h"
#include "uia/window/WindowImpl.h"

namespace HA::UIA {

namespace {

constexpr size_t kPathUnits = 260;
constexpr OS::DWORD kCommonFlags = OS::OFN_LONGNAMES | OS::OFN_PATHMUSTEXIST | OS::OFN_HIDEREADONLY;

OS::HWND ownerWindow(Window* owner)
{
    return owner && owner->getImpl() ? owner->getImpl()->getHwnd() : nullptr;
}

const GP::FileTypeGroup* unknownGroup() { return GP::fileTypeGroupAt(GP::eFileTypeGroup::Unknown); }

// The extensions an entry lists: those of every member of its group (a group entry also
// names its first type, for preselection), else its type's.
std::vector<std::string> extensionsOf(const FileDialog::Entry& e)
{
    if (!e.group)
        return e.type ? e.type->getExtensions() : std::vector<std::string>();
    std::vector<std::string> all;
    for (const GP::FileType* t : e.group->getTypes())
        all.insert(all.end(), t->getExtensions().begin(), t->getExtensions().end());
    return all;
}

int selectBrowserStart(OS::HWND dialog, OS::UINT message, OS::LPARAM, OS::LPARAM data)
{
    if (message == OS::BFFM_INITIALIZED)
        OS::sendMessage(dialog, OS::BFFM_SETSELECTIONW, 1, data);
    return 0;
}

}  // namespace

FileDialog::FileDialog() = default;

FileDialog::~FileDialog() = default;

bool FileDialog::run(int mode, Window* owner)
{
    mResult.clear();
    mMode = mode;
    return mode == Folder ? runFolder(owner) : runFile(owner);
}

bool FileDialog::runFolder(Window* owner)
{
    std::u16string start =
        OS::utf8ToUtf16(mInitialPath.isEmpty() ? std::string() : mInitialPath.getFolderPath(GP::FilePath::eDrive::With));
    if (start.size() > 1 && (start.back() == u'\\' || start.back() == u'/'))
        start.pop_back();
    start.resize(std::min(start.size(), kPathUnits));
    char16_t buffer[kPathUnits + 1] = {};
    std::copy(start.begin(), start.end(), buffer);

    const std::u16string title = OS::utf8ToUtf16(mTitle);
    OS::BROWSEINFOW info{};
    info.hwndOwner = ownerWindow(owner);
    info.pszDisplayName = buffer;
    info.lpszTitle = title.empty() ? nullptr : title.c_str();
    info.ulFlags = OS::BIF_NEWDIALOGSTYLE | (mAllowNewFolder ? 0 : OS::BIF_NONEWFOLDERBUTTON);
    if (buffer[0]) {
        info.lpfn = &selectBrowserStart;
        info.lParam = reinterpret_cast<OS::LPARAM>(buffer);
    }
    OS::PIDLIST_ABSOLUTE list = OS::shBrowseForFolder(info);
    if (!list)
        return false;
    char16_t path[kPathUnits] = {};
    const bool read = OS::shGetPathFromIDList(list, path);
    OS::coTaskMemFree(list);
    std::string folder = read ? OS::utf16ToUtf8(path) : std::string();
    if (folder.empty())
        return false;  // nothing readable: no path
    if (folder.back() != '\\' && folder.back() != '/')
        folder += '\\';
    mResult.assign(folder);
    mResult.setFileType(GP::fileTypeAt(GP::eFileType::Directory));
    return true;
}

int FileDialog::buildEntries()
{
    mEntries.clear();
    int preselected = -1;
    const bool open = mMode == Open;
    const GP::FileTypeGroup* unknown = unknownGroup();
    bool allFiles = false;
    if (open) {
        for (const GP::FileTypeGroup* g : mGroups) {
            if (!g)
                continue;
            if (g == unknown) {
                allFiles = true;
                continue;
            }
            if (g->getTypes().empty())
                continue;
            const GP::FileType* first = g->getTypes().front();
            if (g == mDefaultGroup || (mSelectedType && first == mSelectedType))
                preselected = static_cast<int>(mEntries.size());
            mEntries.push_back(Entry{g, first, false});
        }
    }
    for (const GP::FileTypeGroup* g : mGroups) {
        if (!g || g == unknown)
            continue;
        if (open && g->getTypes().size() == 1)
            continue;  // the group's entry stands for its one type
        for (const GP::FileType* t : g->getTypes()) {
            if (t == mSelectedType)
                preselected = static_cast<int>(mEntries.size());
            mEntries.push_back(Entry{nullptr, t, !open});
        }
    }
    if (open && allFiles) {
        if (mDefaultGroup == unknown)
            preselected = static_cast<int>(mEntries.size());
        mEntries.push_back(Entry{unknown, nullptr, false});
    }
    return preselected;
}

std::u16string FileDialog::buildFilterText(std::u16string* defaultExtension) const
{
    std::u16string text;
    for (const Entry& e : mEntries) {
        // A group entry is named by its group, others by their type.
        std::string name;
        if (e.group)
            name = e.singular ? e.group->getSingularName() : e.group->getPluralName();
        else if (e.type)
            name = e.singular ? e.type->getSingularName() : e.type->getPluralName();
        std::string description = name, pattern;
        bool first = true;
        for (const std::string& ext : extensionsOf(e)) {
            description += first ? " (*." : ";*.";
            pattern += first ? "*." : ";*.";
            description += ext;
            pattern += ext;
            first = false;
            if (defaultExtension->empty() && ext.find_first_of("*?") == std::string::npos)
                *defaultExtension = OS::utf8ToUtf16(ext);
        }
        if (!first)
            description += ')';
        text += OS::utf8ToUtf16(description);
        text += u'\0';
        text += OS::utf8ToUtf16(pattern);
        text += u'\0';
    }
    text += u'\0';
    return text;
}

bool FileDialog::runFile(Window* owner)
{
    // The initial folder and name.
    std::u16string folder;
    char16_t file[kPathUnits] = {};
    if (mInitialPath.isEmpty()) {
        char16_t current[kPathUnits] = {};
        const OS::DWORD n = OS::getCurrentDirectory(static_cast<OS::DWORD>(kPathUnits), current);
        if (n > 0 && n < kPathUnits)
            folder = current;
    } else {
        const std::u16string f = OS::utf8ToUtf16(mInitialPath.getFolderPath(GP::FilePath::eDrive::With));
        if (f.size() < kPathUnits)
            folder = f;
        if (mInitialPath.getKind() == GP::FilePath::eKind::File) {
            // A name that does not fit is left out: the dialog starts in its folder.
            const std::u16string full = OS::utf8ToUtf16(mInitialPath.getFull());
            if (full.size() < kPathUnits)
                std::copy(full.begin(), full.end(), file);
        }
    }

    const int preselected = buildEntries();
    std::u16string defaultExtension;
    const std::u16string filters = buildFilterText(&defaultExtension);
    const std::u16string title = OS::utf8ToUtf16(mTitle);

    OS::OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = ownerWindow(owner);
    ofn.hInstance = OS::getExecutableModule();
    ofn.lpstrFilter = mEntries.empty() ? nullptr : filters.c_str();
    ofn.nFilterIndex = static_cast<OS::DWORD>(preselected + 1);
    ofn.lpstrFile = file;
    ofn.nMaxFile = static_cast<OS::DWORD>(kPathUnits);
    ofn.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
    ofn.lpstrTitle = title.empty() ? nullptr : title.c_str();
    ofn.lpstrDefExt = defaultExtension.empty() ? nullptr : defaultExtension.c_str();
    ofn.Flags = kCommonFlags | (mMode == Save ? OS::OFN_OVERWRITEPROMPT : OS::OFN_FILEMUSTEXIST);
    const bool chosen = mMode == Save ? OS::getSaveFileName(ofn) : OS::getOpenFileName(ofn);
    if (!chosen) {
        mResult.clear();
        return false;
    }
    const std::string chosen8 = OS::utf16ToUtf8(file);
    if (chosen8.empty())
        return false;  // a success without a path is none
    mResult.assign(chosen8);
    if (mMode == Save) {
        // A filter index of 0 or past the entries names no type: selectedType stays.
        const OS::DWORD index = ofn.nFilterIndex;
        const GP::FileType* type =
            index >= 1 && index <= mEntries.size() ? mEntries[index - 1].type : nullptr;
        if (type) {
            mSelectedType = type;
            // A type without a plain extension (none, or a pattern) appends nothing.
            if (mResult.getExtension().empty() && !type->getExtensions().empty() &&
                type->getExtensions().front().find_first_of("*?") == std::string::npos)
                mResult.setExtension(type->getExtensions().front());
            mResult.setFileType(type);
        }
    } else {
        mResult.updateFileType();
    }
    return true;
}

}  // namespace HA::UIA
