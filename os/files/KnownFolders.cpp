#include "os/files/KnownFolders.h"

#include <algorithm>
#include <mutex>
#include <optional>
#include <pwd.h>
#include <string>
#include <unistd.h>

#include "os/kernel/Process.h"
#include "os/kernel/Text.h"

namespace HA::OS {

namespace {

enum class eBase { Home, Root };

struct Folder {
    int csidl;
    KNOWNFOLDERID id;  // all zero where the folder is asked for by CSIDL only
    eBase base;
    const char* path;  // below the base
};

const Folder kFolders[] = {
    {CSIDL_PROFILE, FOLDERID_Profile, eBase::Home, ""},
    {CSIDL_PERSONAL, FOLDERID_Documents, eBase::Home, "/Documents"},
    {CSIDL_MYMUSIC, FOLDERID_Music, eBase::Home, "/Music"},
    {CSIDL_MYPICTURES, FOLDERID_Pictures, eBase::Home, "/Pictures"},
    {CSIDL_PROGRAM_FILES, {}, eBase::Root, "/opt"},
    {CSIDL_PROGRAM_FILES_COMMON, FOLDERID_ProgramFilesCommon, eBase::Root, "/usr/lib"},
    {CSIDL_COMMON_DOCUMENTS, {}, eBase::Root, "/srv"},
};

std::mutex& scopeMutex()
{
    static std::mutex* m = new std::mutex;
    return *m;
}

std::vector<const FolderFailureScope*>& activeScopes()
{
    static auto* scopes = new std::vector<const FolderFailureScope*>;
    return *scopes;
}

template <typename Test>
bool anyScopeFails(Test test)
{
    std::lock_guard<std::mutex> lock(scopeMutex());
    const auto& scopes = activeScopes();
    return std::any_of(scopes.begin(), scopes.end(), test);
}

std::optional<std::string> homeDirectory()
{
    std::optional<std::string> home = getEnvironmentVariable("HOME");
    if (home && !home->empty())
        return home;
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::string buffer(size > 0 ? static_cast<size_t>(size) : 16384, '\0');
    struct passwd entry;
    struct passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 ||
        found == nullptr || found->pw_dir == nullptr || found->pw_dir[0] == '\0')
        return std::nullopt;
    return std::string(found->pw_dir);
}

std::optional<WString> folderPath(const Folder& folder)
{
    std::string path;
    if (folder.base == eBase::Home) {
        std::optional<std::string> home = homeDirectory();
        if (!home)
            return std::nullopt;
        path = *home;
        while (path.size() > 1 && path.back() == '/')
            path.pop_back();
    }
    path += folder.path;
    return utf8ToUtf16(path);
}

}  // namespace

bool getSpecialFolderPath(int csidl, WString& path)
{
    for (const Folder& folder : kFolders) {
        if (folder.csidl != csidl)
            continue;
        if (anyScopeFails([csidl](const FolderFailureScope* s) { return s->failsSpecial(csidl); }))
            return false;
        std::optional<WString> found = folderPath(folder);
        if (!found)
            return false;
        path = *found;
        return true;
    }
    return false;
}

HRESULT getKnownFolderPath(const KNOWNFOLDERID& id, DWORD flags, HANDLE token, WString& path)
{
    if (flags != 0 || token != nullptr)
        return E_INVALIDARG;
    for (const Folder& folder : kFolders) {
        if (folder.id != id || id == KNOWNFOLDERID{})
            continue;
        if (anyScopeFails([&id](const FolderFailureScope* s) { return s->failsKnown(id); }))
            return E_FOLDER_NOT_FOUND;
        std::optional<WString> found = folderPath(folder);
        if (!found)
            return E_FOLDER_NOT_FOUND;
        path = *found;
        return S_OK;
    }
    return E_INVALIDARG;
}

FolderFailureScope::FolderFailureScope() : mAll(true)
{
    std::lock_guard<std::mutex> lock(scopeMutex());
    activeScopes().push_back(this);
}

FolderFailureScope::FolderFailureScope(std::vector<int> csidls, std::vector<KNOWNFOLDERID> knownFolders)
    : mAll(false), mCsidls(std::move(csidls)), mKnownFolders(std::move(knownFolders))
{
    std::lock_guard<std::mutex> lock(scopeMutex());
    activeScopes().push_back(this);
}

FolderFailureScope::~FolderFailureScope()
{
    std::lock_guard<std::mutex> lock(scopeMutex());
    auto& scopes = activeScopes();
    scopes.erase(std::remove(scopes.begin(), scopes.end(), this), scopes.end());
}

bool FolderFailureScope::failsSpecial(int csidl) const
{
    return mAll || std::find(mCsidls.begin(), mCsidls.end(), csidl) != mCsidls.end();
}

bool FolderFailureScope::failsKnown(const KNOWNFOLDERID& id) const
{
    return mAll || std::find(mKnownFolders.begin(), mKnownFolders.end(), id) != mKnownFolders.end();
}

}  // namespace HA::OS
