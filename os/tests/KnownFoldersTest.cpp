#include "os/files/KnownFolders.h"

#include <optional>

#include <gtest/gtest.h>

#include "os/kernel/Process.h"

using namespace HA::OS;

namespace {

class StandInFolders : public ::testing::Test {
protected:
    void SetUp() override
    {
        mHome = getEnvironmentVariable("HOME");
        setEnvironmentVariable("HOME", std::string("/tmp/home-x/"));
    }
    void TearDown() override { setEnvironmentVariable("HOME", mHome); }
    std::optional<std::string> mHome;
};

}  // namespace

TEST_F(StandInFolders, MapsOntoLinuxFolders)
{
    struct Case {
        int csidl;
        const char16_t* path;
    };
    const Case cases[] = {
        {CSIDL_PROFILE, u"/tmp/home-x"},         {CSIDL_PERSONAL, u"/tmp/home-x/Documents"},
        {CSIDL_MYMUSIC, u"/tmp/home-x/Music"},   {CSIDL_MYPICTURES, u"/tmp/home-x/Pictures"},
        {CSIDL_PROGRAM_FILES, u"/opt"},          {CSIDL_PROGRAM_FILES_COMMON, u"/usr/lib"},
        {CSIDL_COMMON_DOCUMENTS, u"/srv"},
    };
    for (const Case& c : cases) {
        WString path;
        EXPECT_TRUE(getSpecialFolderPath(c.csidl, path)) << c.csidl;
        EXPECT_EQ(path, c.path) << c.csidl;
    }
    WString path = u"kept";
    EXPECT_FALSE(getSpecialFolderPath(0, path));
    EXPECT_EQ(path, u"kept");

    EXPECT_EQ(getKnownFolderPath(FOLDERID_Pictures, 0, nullptr, path), S_OK);
    EXPECT_EQ(path, u"/tmp/home-x/Pictures");
    EXPECT_EQ(getKnownFolderPath(FOLDERID_Pictures, 0x8000, nullptr, path), E_INVALIDARG);
    EXPECT_EQ(getKnownFolderPath(KNOWNFOLDERID{}, 0, nullptr, path), E_INVALIDARG);
}

TEST_F(StandInFolders, FailureScopesNest)
{
    WString path;
    {
        FolderFailureScope music({CSIDL_MYMUSIC}, {FOLDERID_Music});
        EXPECT_FALSE(getSpecialFolderPath(CSIDL_MYMUSIC, path));
        EXPECT_EQ(getKnownFolderPath(FOLDERID_Music, 0, nullptr, path), E_FOLDER_NOT_FOUND);
        EXPECT_EQ(getKnownFolderPath(FOLDERID_Documents, 0, nullptr, path), S_OK);
        {
            FolderFailureScope all;
            EXPECT_FALSE(getSpecialFolderPath(CSIDL_PROGRAM_FILES, path));
            EXPECT_EQ(getKnownFolderPath(FOLDERID_Documents, 0, nullptr, path), E_FOLDER_NOT_FOUND);
        }
        EXPECT_TRUE(getSpecialFolderPath(CSIDL_PROGRAM_FILES, path));
        EXPECT_FALSE(getSpecialFolderPath(CSIDL_MYMUSIC, path));
    }
    EXPECT_TRUE(getSpecialFolderPath(CSIDL_MYMUSIC, path));
}
