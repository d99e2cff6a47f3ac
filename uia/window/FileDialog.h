#pragma once
// The platform's open-file, save-file and folder dialogs, with filters built from groups of
// the file-type registry. A short-lived local object. User-interface thread only; run()
// is modal, and the window messages and event timers go on while it runs.

#include <string>
#include <vector>

#include "gp/src/common/files/FilePath.h"

namespace HA::GP {
class FileType;
class FileTypeGroup;
}  // namespace HA::GP

namespace HA::UIA {

class Window;

class FileDialog {
public:
    enum eMode : int { Open = 0, Save = 1, Folder = 2 };

    // One filter of the open and save dialogs.
    struct Entry {
        const GP::FileTypeGroup* group = nullptr;
        const GP::FileType* type = nullptr;
        bool singular = false;
    };

    FileDialog();
    ~FileDialog();
    FileDialog(const FileDialog&) = delete;
    FileDialog& operator=(const FileDialog&) = delete;

    void setTitle(std::string title) { mTitle = std::move(title); }
    // A folder, or a file whose folder and name are used.
    void setInitialPath(GP::FilePath path) { mInitialPath = std::move(path); }
    // The filters, in order; the group of "Unknown" stands for all files.
    void addGroup(const GP::FileTypeGroup* group) { mGroups.push_back(group); }
    void setDefaultGroup(const GP::FileTypeGroup* group) { mDefaultGroup = group; }
    void setSelectedType(const GP::FileType* type) { mSelectedType = type; }
    void setAllowNewFolder(bool allow) { mAllowNewFolder = allow; }

    // Shows the dialog of the mode (owned by the owner's window when given); true when a
    // path was chosen, then in getResult().
    bool run(int mode, Window* owner);

    const GP::FilePath& getResult() const { return mResult; }
    // After a successful save: the type of the chosen filter.
    const GP::FileType* getSelectedType() const { return mSelectedType; }
    const std::vector<Entry>& getEntries() const { return mEntries; }

private:
    bool runFolder(Window* owner);
    bool runFile(Window* owner);
    // Fills mEntries; returns the preselected index (-1 for none).
    int buildEntries();
    // The filter text (pairs of description and pattern) and the default extension.
    std::u16string buildFilterText(std::u16string* defaultExtension) const;

    GP::FilePath mResult;
    GP::FilePath mInitialPath;
    int mMode = Open;
    std::vector<const GP::FileTypeGroup*> mGroups;
    std::vector<Entry> mEntries;
    const GP::FileTypeGroup* mDefaultGroup = nullptr;
    const GP::FileType* mSelectedType = nullptr;
    bool mAllowNewFolder = true;
    std::string mTitle;
};

}  // namespace HA::UIA
