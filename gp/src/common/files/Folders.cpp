#include "gp/src/common/files/Folders.h"

#include <optional>

#include <boost/filesystem/exception.hpp>
#include <boost/system/error_code.hpp>

#include "gp/src/common/files/FilePath.h"
#include "os/kernel/Process.h"

namespace HA::GP {

namespace {

std::optional<std::string> nonEmptyVariable(const char* name)
{
    std::optional<std::string> value = OS::getEnvironmentVariable(name);
    if (value && value->empty())
        return std::nullopt;
    return value;
}

}  // namespace

bool getSpecialFolderPath(int csidl, FilePath& path)
{
    std::u16string folder;
    if (!OS::getSpecialFolderPath(csidl, folder))
        return false;
    path.clear();
    return path.setFolder(toNarrowPath(folder), FilePath::eDrive::With);
}

std::u16string getKnownFolderPath(const OS::KNOWNFOLDERID& id)
{
    std::u16string folder;
    OS::HRESULT result = OS::getKnownFolderPath(id, 0, nullptr, folder);
    if (result != OS::S_OK) {
        auto code = result == OS::E_INVALIDARG ? boost::system::errc::invalid_argument
                                               : boost::system::errc::no_such_file_or_directory;
        throw boost::filesystem::filesystem_error("Could not retrieve known folder path",
                                                  boost::system::errc::make_error_code(code));
    }
    return folder;
}

std::u16string getHomeFolder()
{
    std::u16string folder;
    if (OS::getKnownFolderPath(OS::FOLDERID_Profile, 0, nullptr, folder) == OS::S_OK)
        return folder;
    if (std::optional<std::string> profile = nonEmptyVariable("USERPROFILE"))
        return toWidePath(*profile);
    std::optional<std::string> drive = nonEmptyVariable("HOMEDRIVE");
    std::optional<std::string> path = nonEmptyVariable("HOMEPATH");
    if (drive && path)
        return toWidePath(*drive + *path);
    throw boost::filesystem::filesystem_error(
        "Home folder cannot be inferred",
        boost::system::errc::make_error_code(boost::system::errc::no_such_file_or_directory));
}

}  // namespace HA::GP
