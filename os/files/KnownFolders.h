#pragma once
// The shell's special folders (by CSIDL) and known folders (by KNOWNFOLDERID), mapped onto
// Linux folders:
//   profile                          $HOME (else the account's home directory)
//   documents, music, pictures       $HOME/Documents, $HOME/Music, $HOME/Pictures
//   program files                    /opt
//   common program files             /usr/lib
//   public documents                 /srv
// Paths come without a trailing separator, as the platform gives them. A folder whose base
// cannot be found (no home directory) fails, and so does every folder a test names in a
// FolderFailureScope.

#include <vector>

#include "os/kernel/Types.h"

namespace HA::OS {

using HRESULT = LONG;
using KNOWNFOLDERID = GUID;

constexpr HRESULT S_OK = 0;
constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057u);
// HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)
constexpr HRESULT E_FOLDER_NOT_FOUND = static_cast<HRESULT>(0x80070002u);

constexpr int CSIDL_PERSONAL = 5;
constexpr int CSIDL_MYMUSIC = 13;
constexpr int CSIDL_PROGRAM_FILES = 38;
constexpr int CSIDL_MYPICTURES = 39;
constexpr int CSIDL_PROFILE = 40;
constexpr int CSIDL_PROGRAM_FILES_COMMON = 43;
constexpr int CSIDL_COMMON_DOCUMENTS = 46;

constexpr KNOWNFOLDERID FOLDERID_ProgramFilesCommon = {
    0xF7F1ED05, 0x9F6D, 0x47A2, {0xAA, 0xAE, 0x29, 0xD3, 0x17, 0xC6, 0xF0, 0x66}};
constexpr KNOWNFOLDERID FOLDERID_Documents = {
    0xFDD39AD0, 0x238F, 0x46AF, {0xAD, 0xB4, 0x6C, 0x85, 0x48, 0x03, 0x69, 0xC7}};
constexpr KNOWNFOLDERID FOLDERID_Music = {
    0x4BD8D571, 0x6D19, 0x48D3, {0xBE, 0x97, 0x42, 0x22, 0x20, 0x08, 0x0E, 0x43}};
constexpr KNOWNFOLDERID FOLDERID_Pictures = {
    0x33E28130, 0x4E1E, 0x4676, {0x83, 0x5A, 0x98, 0x39, 0x5C, 0x3B, 0xC3, 0xBB}};
constexpr KNOWNFOLDERID FOLDERID_Profile = {
    0x5E6C858F, 0x0E22, 0x4760, {0x9A, 0xFE, 0xEA, 0x33, 0x17, 0xB6, 0x71, 0x73}};

// The special folder's path. False, path untouched, for an unknown CSIDL or a folder that
// cannot be given. Any thread.
bool getSpecialFolderPath(int csidl, WString& path);

// The known folder's path (flags and token as the platform takes them; only 0 and null are
// supported). S_OK with the path, else E_INVALIDARG for an unknown id or flags, or
// E_FOLDER_NOT_FOUND, path untouched. Any thread.
HRESULT getKnownFolderPath(const KNOWNFOLDERID& id, DWORD flags, HANDLE token, WString& path);

// Test hook: while a scope lives, the folders it names fail as if the platform could not give
// them; the scope without arguments makes every folder fail. Scopes nest.
class FolderFailureScope {
public:
    FolderFailureScope();
    FolderFailureScope(std::vector<int> csidls, std::vector<KNOWNFOLDERID> knownFolders);
    ~FolderFailureScope();
    FolderFailureScope(const FolderFailureScope&) = delete;
    FolderFailureScope& operator=(const FolderFailureScope&) = delete;

    bool failsSpecial(int csidl) const;
    bool failsKnown(const KNOWNFOLDERID& id) const;

private:
    bool mAll;
    std::vector<int> mCsidls;
    std::vector<KNOWNFOLDERID> mKnownFolders;
};

}  // namespace HA::OS
