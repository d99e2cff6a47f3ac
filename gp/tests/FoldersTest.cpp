#include "gp/src/common/files/Folders.h"
#include "gp/src/common/files/FilePath.h"
#include "gp/src/common/files/FileType.h"

#include <optional>

#include <boost/filesystem/exception.hpp>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "os/kernel/Process.h"

using namespace HA;
using namespace HA::GP;
using ::testing::HasSubstr;

namespace {

// Sets the home and profile variables for one test and puts the old values back.
class FoldersTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        buildFileTypeRegistry();
        for (const char* name : kVariables)
            mSaved.emplace_back(name, OS::getEnvironmentVariable(name));
        setVariables(std::nullopt, std::nullopt, std::nullopt);
        OS::setEnvironmentVariable("HOME", std::string("/tmp/ha-home"));
    }
    void TearDown() override
    {
        for (const auto& [name, value] : mSaved)
            OS::setEnvironmentVariable(name, value);
        deleteFileTypeRegistry();
    }

    static void setVariables(std::optional<std::string> profile, std::optional<std::string> drive,
                             std::optional<std::string> path)
    {
        OS::setEnvironmentVariable("USERPROFILE", profile);
        OS::setEnvironmentVariable("HOMEDRIVE", drive);
        OS::setEnvironmentVariable("HOMEPATH", path);
    }

    static constexpr const char* kVariables[] = {"HOME", "USERPROFILE", "HOMEDRIVE", "HOMEPATH"};
    std::vector<std::pair<std::string, std::optional<std::string>>> mSaved;
};

}  // namespace

TEST_F(FoldersTest, SpecialFolderBecomesAFolderPath)
{
    FilePath path(std::string("C:\\old\\file.txt"));
    ASSERT_TRUE(getSpecialFolderPath(OS::CSIDL_PERSONAL, path));
    EXPECT_EQ(path.getFull(), "\\tmp\\ha-home\\Documents\\");
    EXPECT_EQ(path.getKind(), FilePath::eKind::Folder);
    EXPECT_EQ(path.getName(), "");
    EXPECT_EQ(path.getFileType(), fileTypeAt(eFileType::Directory));

    {
        OS::FolderFailureScope failing({OS::CSIDL_MYMUSIC}, {});
        FilePath untouched(std::string("C:\\keep\\me.txt"));
        EXPECT_FALSE(getSpecialFolderPath(OS::CSIDL_MYMUSIC, untouched));
        EXPECT_EQ(untouched.getFull(), "C:\\keep\\me.txt");
        EXPECT_TRUE(getSpecialFolderPath(OS::CSIDL_MYPICTURES, untouched));
    }
    FilePath other;
    EXPECT_FALSE(getSpecialFolderPath(9999, other));
    EXPECT_TRUE(getSpecialFolderPath(OS::CSIDL_PROGRAM_FILES, other));
    EXPECT_EQ(other.getFull(), "\\opt\\");
}

TEST_F(FoldersTest, KnownFolderOrError)
{
    EXPECT_EQ(getKnownFolderPath(OS::FOLDERID_Music), u"/tmp/ha-home/Music");
    EXPECT_EQ(getKnownFolderPath(OS::FOLDERID_ProgramFilesCommon), u"/usr/lib");

    OS::FolderFailureScope failing;
    try {
        getKnownFolderPath(OS::FOLDERID_Documents);
        FAIL() << "no error";
    } catch (const boost::filesystem::filesystem_error& e) {
        EXPECT_THAT(e.what(), HasSubstr("Could not retrieve known folder path"));
    }
    const OS::KNOWNFOLDERID unknown = {1, 2, 3, {4, 5, 6, 7, 8, 9, 10, 11}};
    EXPECT_THROW(getKnownFolderPath(unknown), boost::filesystem::filesystem_error);
}

TEST_F(FoldersTest, HomeFolderFallsBackOnTheEnvironment)
{
    EXPECT_EQ(getHomeFolder(), u"/tmp/ha-home");

    struct Case {
        std::optional<std::string> profile;
        std::optional<std::string> drive;
        std::optional<std::string> path;
        const char16_t* home;  // null: no home folder
    };
    const Case cases[] = {
        {"C:\\Users\\ann", "D:", "\\Users\\bob", u"C:\\Users\\ann"},
        {std::nullopt, "D:", "\\Users\\bob", u"D:\\Users\\bob"},
        {"", "D:", "\\Users\\bob", u"D:\\Users\\bob"},
        {std::nullopt, "D:", std::nullopt, nullptr},
        {std::nullopt, std::nullopt, "\\Users\\bob", nullptr},
        {std::nullopt, "", "\\Users\\bob", nullptr},
        {std::nullopt, std::nullopt, std::nullopt, nullptr},
    };
    OS::FolderFailureScope noProfile({}, {OS::FOLDERID_Profile});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.profile.value_or("-") + " " + c.drive.value_or("-") + " " + c.path.value_or("-"));
        setVariables(c.profile, c.drive, c.path);
        if (c.home != nullptr) {
            EXPECT_EQ(getHomeFolder(), c.home);
            continue;
        }
        try {
            getHomeFolder();
            ADD_FAILURE() << "no error";
        } catch (const boost::filesystem::filesystem_error& e) {
            EXPECT_THAT(e.what(), HasSubstr("Home folder cannot be inferred"));
        }
    }
}
