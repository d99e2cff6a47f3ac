#include "gp/src/common/abbreviation/FolderTags.h"

#include <boost/filesystem/exception.hpp>

#include "gp/src/common/files/FilePath.h"
#include "gp/src/common/files/Folders.h"

namespace HA::GP::DETAIL {

namespace {

// In the library's path form ('\' separated), as the texts the tags are applied to.
std::string folderText(const std::u16string& folder)
{
    FilePath path;
    path.setFolder(toNarrowPath(folder));
    return path.getFolderPath(FilePath::eDrive::With);
}

}  // namespace

FolderTagTable makeSpecialFolderTags()
{
    static const int kCsidls[] = {OS::CSIDL_PROGRAM_FILES, OS::CSIDL_PROGRAM_FILES_COMMON, OS::CSIDL_COMMON_DOCUMENTS,
                                  OS::CSIDL_PROFILE,       OS::CSIDL_PERSONAL,           OS::CSIDL_MYMUSIC,
                                  OS::CSIDL_MYPICTURES};
    FolderTagTable table;
    for (int csidl : kCsidls) {
        FilePath path;
        if (getSpecialFolderPath(csidl, path))
            table.add(path.getFolderPath(FilePath::eDrive::With));
    }
    return table;
}

FolderTagTable makeKnownFolderTags()
{
    FolderTagTable table;
    // A missing folder costs its tag only; text abbreviation must not fail for it.
    auto addKnown = [&table](auto folder) {
        try {
            table.add(folderText(folder()));
        } catch (const boost::filesystem::filesystem_error&) {
        }
    };
    addKnown([] { return getKnownFolderPath(OS::FOLDERID_ProgramFilesCommon); });
    addKnown([] { return getHomeFolder(); });
    addKnown([] { return getKnownFolderPath(OS::FOLDERID_Documents); });
    addKnown([] { return getKnownFolderPath(OS::FOLDERID_Music); });
    addKnown([] { return getKnownFolderPath(OS::FOLDERID_Pictures); });
    return table;
}

const FolderTagTable& specialFolderTags()
{
    static const FolderTagTable table = makeSpecialFolderTags();
    return table;
}

const FolderTagTable& knownFolderTags()
{
    static const FolderTagTable table = makeKnownFolderTags();
    return table;
}

}  // namespace HA::GP::DETAIL
