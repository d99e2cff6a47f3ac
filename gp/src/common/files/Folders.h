#pragma once
// The platform's special and known folders, and the user's home folder.

#include <string>

#include "os/files/KnownFolders.h"

namespace HA::GP {

class FilePath;

// Asks the platform for the special folder (a CSIDL_ value). On success the path is cleared
// and becomes that folder, with its drive; false, path untouched, when the platform cannot
// give it.
bool getSpecialFolderPath(int csidl, FilePath& path);

// The known folder's path (an OS::FOLDERID_ value). Throws boost::filesystem::filesystem_error
// "Could not retrieve known folder path" when the platform cannot give it.
std::u16string getKnownFolderPath(const OS::KNOWNFOLDERID& id);

// The profile folder; without one, the environment's USERPROFILE, else HOMEDRIVE followed by
// HOMEPATH (a variable that is empty counts as missing). Throws
// boost::filesystem::filesystem_error "Home folder cannot be inferred" when none of them gives it.
std::u16string getHomeFolder();

}  // namespace HA::GP
