#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "gp/src/common/files/FilePath.h"
#include "hwl/core/src/resources/ManagerContainer.h"
#include "hwl/core/src/style/StyleParser2.h"
#include "hwl/core/src/style/StyleSheet.h"
#include "hwl/tests/ResourceTestSupport.h"

namespace HA::HWL {
namespace {

using TEST::fs::path;
using Texts = std::vector<std::string>;

// What stands at a place where a "skin" may be.
enum class eEntry { None, Folder, PlainFile };

void makeEntry(const path& place, eEntry entry)
{
    if (entry == eEntry::Folder)
        TEST::fs::create_directories(place);
    else if (entry == eEntry::PlainFile)
        TEST::writeFile(place, std::string("not a folder"));
}

enum class eExpected { Linked, SkinInWork, SkinInBin };

struct ModeCase {
    std::string name;
    bool lookup;
    eEntry inWork;
    eEntry besideExecutable;
    eExpected expected;
};

void PrintTo(const ModeCase& c, std::ostream* os) { *os << c.name; }

class ResourceModeTest : public ::testing::TestWithParam<ModeCase> {};

TEST_P(ResourceModeTest, DecidedAtTheFirstRequest)
{
    const ModeCase& c = GetParam();
    TEST::ScratchFolders folders;
    TEST::SkinLookupScope lookup(c.lookup);
    makeEntry(folders.work() / "skin", c.inWork);
    makeEntry(folders.bin() / "skin", c.besideExecutable);

    ManagerContainer manager;
    EXPECT_EQ(manager.getResourceMode(), ManagerContainer::ModeUndecided);
    manager.getResourceStream("x.png", ManagerContainer::KindPicture, false);
    switch (c.expected) {
    case eExpected::Linked:
        EXPECT_EQ(manager.getResourceMode(), ManagerContainer::ModeLinked);
        EXPECT_TRUE(manager.getSkinFolder().empty());
        break;
    case eExpected::SkinInWork:
        EXPECT_EQ(manager.getResourceMode(), ManagerContainer::ModeSkin);
        EXPECT_EQ(GP::toNarrowPath(manager.getSkinFolder()), (folders.work() / "skin").string());
        break;
    case eExpected::SkinInBin:
        EXPECT_EQ(manager.getResourceMode(), ManagerContainer::ModeSkin);
        EXPECT_EQ(GP::toNarrowPath(manager.getSkinFolder()), (folders.bin() / "skin").string());
        break;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ResourceModeTest,
    ::testing::Values(ModeCase{"Nothing", true, eEntry::None, eEntry::None, eExpected::Linked},
                      ModeCase{"CurrentDirectoryOnly", true, eEntry::Folder, eEntry::None, eExpected::SkinInWork},
                      ModeCase{"BesideExecutable", true, eEntry::None, eEntry::Folder, eExpected::SkinInBin},
                      ModeCase{"ExecutableFirst", true, eEntry::Folder, eEntry::Folder, eExpected::SkinInBin},
                      ModeCase{"PlainFileBesideExecutable", true, eEntry::Folder, eEntry::PlainFile,
                               eExpected::SkinInWork},
                      ModeCase{"PlainFilesOnly", true, eEntry::PlainFile, eEntry::PlainFile, eExpected::Linked},
                      ModeCase{"LookupOff", false, eEntry::Folder, eEntry::Folder, eExpected::Linked}),
    [](const ::testing::TestParamInfo<ModeCase>& info) { return info.param.name; });

TEST(ResourceModeOnceTest, LaterChangesDoNotMatter)
{
    TEST::ScratchFolders folders;
    TEST::SkinLookupScope lookup(false);
    ManagerContainer manager;
    manager.getResourceStream("x.png", ManagerContainer::KindPicture, false);
    ASSERT_EQ(manager.getResourceMode(), ManagerContainer::ModeLinked);

    setSkinLookup(true);
    TEST::fs::create_directories(folders.work() / "skin" / "stylesheets");
    TEST::writeFile(folders.work() / "skin" / "stylesheets" / "FirmwareUpdaterStyles.txt", std::string("skin"));
    auto stream = manager.getResourceStream("FirmwareUpdaterStyles.txt", ManagerContainer::KindStyleSheet, false);
    EXPECT_EQ(manager.getResourceMode(), ManagerContainer::ModeLinked);
    ASSERT_TRUE(stream);
    EXPECT_EQ(TEST::readAll(*stream), "Linked { background-color:rgb(1, 2, 3); }\r\n");

    // A new manager decides anew.
    ManagerContainer next;
    stream = next.getResourceStream("FirmwareUpdaterStyles.txt", ManagerContainer::KindStyleSheet, false);
    EXPECT_EQ(next.getResourceMode(), ManagerContainer::ModeSkin);
    ASSERT_TRUE(stream);
    EXPECT_EQ(TEST::readAll(*stream), "skin");
}

// A skin folder in the working directory with one file per place that a name may reach.
class SkinNamesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const path skin = folders.work() / "skin";
        TEST::writeFile(skin / "pictures" / "a.png", std::string("top"));
        TEST::writeFile(skin / "pictures" / "sub" / "a.png", std::string("sub"));
        TEST::writeFile(skin / "stylesheets" / "FirmwareUpdaterStyles.txt", std::string("sheet"));
        TEST::writeFile(skin / "fonts" / "f.ttf", std::string("font"));
        TEST::writeFile(skin / "pictures" / "dev..ice.png", std::string("dots"));
        TEST::writeFile(skin / "pictures" / "sub" / "\xC3\xA4.png", std::string("umlaut"));
        TEST::writeFile(skin / "secret.txt", std::string("outside the sub-folder"));
        TEST::writeFile(folders.work() / "outside.png", std::string("outside the skin"));
        TEST::writeFile(folders.work() / "outside.txt", std::string("outside the skin"));
        // Links that stay inside the sub-folder, and links that leave it.
        TEST::fs::create_symlink("sub/a.png", skin / "pictures" / "inside.png");
        TEST::fs::create_directory_symlink("..", skin / "pictures" / "up");
        TEST::fs::create_symlink("../secret.txt", skin / "pictures" / "secret.png");
        TEST::fs::create_symlink(folders.work() / "outside.png", skin / "pictures" / "far.png");
        TEST::fs::create_directory_symlink(folders.work(), skin / "pictures" / "work");
        TEST::fs::create_symlink("../../outside.txt", skin / "fonts" / "f2.ttf");
        // A sibling whose name begins with the sub-folder's: the prefix alone is no inside.
        TEST::writeFile(skin / "pictures-old" / "a.png", std::string("sibling"));
        TEST::fs::create_symlink("../pictures-old/a.png", skin / "pictures" / "old.png");
        skinText = skin.string();
    }

    TEST::ScratchFolders folders;
    TEST::SkinLookupScope lookup{true};
    TEST::ErrorRecorder errors;
    ManagerContainer manager;
    std::string skinText;
};

struct NameCase {
    std::string name;
    std::string resource;
    int kind;
    std::string expectedContent;  // empty: not found
    std::string reportedPath;     // after the skin folder
};

void PrintTo(const NameCase& c, std::ostream* os) { *os << c.name; }

class SkinNamesTableTest : public SkinNamesTest, public ::testing::WithParamInterface<NameCase> {};

TEST_P(SkinNamesTableTest, OpensTheFileOrReportsItsPath)
{
    const NameCase& c = GetParam();
    std::shared_ptr<GP::Stream> stream = manager.getResourceStream(c.resource, c.kind, true);
    ASSERT_EQ(manager.getResourceMode(), ManagerContainer::ModeSkin);
    if (c.expectedContent.empty()) {
        EXPECT_FALSE(stream);
        EXPECT_EQ(errors.texts, Texts{TEST::kMissingFile + skinText + c.reportedPath});
    } else {
        ASSERT_TRUE(stream);
        EXPECT_EQ(TEST::readAll(*stream), c.expectedContent);
        EXPECT_TRUE(errors.texts.empty());
    }
}

const std::string kWithNul("a.png\0.txt", 10);

INSTANTIATE_TEST_SUITE_P(
    Cases, SkinNamesTableTest,
    ::testing::Values(
        NameCase{"Plain", "a.png", 0, "top", ""},
        NameCase{"ForwardSlash", "sub/a.png", 0, "sub", ""},
        NameCase{"Backslash", "sub\\a.png", 0, "sub", ""},
        NameCase{"StyleSheet", "FirmwareUpdaterStyles.txt", 1, "sheet", ""},
        NameCase{"Font", "f.ttf", 2, "font", ""},
        NameCase{"WrongKind", "a.png", 1, "", "\\stylesheets\\a.png"},
        NameCase{"Missing", "b.png", 0, "", "\\pictures\\b.png"},
        NameCase{"UpOutOfTheSubFolder", "../secret.txt", 0, "", "\\pictures\\..\\secret.txt"},
        NameCase{"UpAndBackIn", "sub/../a.png", 0, "", "\\pictures\\sub\\..\\a.png"},
        NameCase{"UpWithBackslash", "..\\..\\outside.png", 0, "", "\\pictures\\..\\..\\outside.png"},
        NameCase{"Absolute", "/outside.png", 0, "", "\\pictures\\\\outside.png"},
        NameCase{"Drive", "C:outside.png", 0, "", "\\pictures\\C:outside.png"},
        NameCase{"Nul", kWithNul, 0, "", std::string("\\pictures\\a.png\0.txt", 20)},
        NameCase{"SubFolderItself", "sub", 0, "", "\\pictures\\sub"},
        NameCase{"DotsInsideAName", "dev..ice.png", 0, "dots", ""},
        // A byte that is not UTF-8 would vanish in the UTF-16 path and leave ".." behind.
        NameCase{"NotUtf8BetweenDots", ".\xFF./secret.txt", 0, "", "\\pictures\\.\xEF\xBF\xBD.\\secret.txt"},
        NameCase{"NotUtf8TwiceUp", ".\xFF./.\xFF./outside.png", 0, "",
                 "\\pictures\\.\xEF\xBF\xBD.\\.\xEF\xBF\xBD.\\outside.png"},
        NameCase{"NotUtf8FromTheStyleSheets", ".\xFF./pictures/a.png", 1, "",
                 "\\stylesheets\\.\xEF\xBF\xBD.\\pictures\\a.png"},
        NameCase{"NotUtf8FromTheFonts", ".\xFF./.\xFF./outside.txt", 2, "",
                 "\\fonts\\.\xEF\xBF\xBD.\\.\xEF\xBF\xBD.\\outside.txt"},
        NameCase{"NotUtf8InAPlainName", "a\xC3.png", 0, "", "\\pictures\\a\xEF\xBF\xBD.png"},
        NameCase{"Utf8Name", "sub/\xC3\xA4.png", 0, "umlaut", ""},
        NameCase{"DriveWithRoot", "C:\\outside.png", 0, "", "\\pictures\\C:\\outside.png"},
        NameCase{"NetworkName", "\\\\host\\share\\outside.png", 0, "", "\\pictures\\\\\\host\\share\\outside.png"},
        NameCase{"LinkInside", "inside.png", 0, "sub", ""},
        NameCase{"LinkUpAndBackIn", "up/pictures/a.png", 0, "top", ""},
        NameCase{"LinkUpToTheSkin", "up/secret.txt", 0, "", "\\pictures\\up\\secret.txt"},
        NameCase{"LinkToTheSkin", "secret.png", 0, "", "\\pictures\\secret.png"},
        NameCase{"LinkOutOfTheSkin", "far.png", 0, "", "\\pictures\\far.png"},
        NameCase{"FolderLinkOutOfTheSkin", "work/outside.png", 0, "", "\\pictures\\work\\outside.png"},
        NameCase{"FontLinkOutOfTheSkin", "f2.ttf", 2, "", "\\fonts\\f2.ttf"},
        NameCase{"LinkIntoASiblingFolder", "old.png", 0, "", "\\pictures\\old.png"}),
    [](const ::testing::TestParamInfo<NameCase>& info) { return info.param.name; });

TEST_F(SkinNamesTest, AbsolutePathToAnExistingFileIsNotFound)
{
    const std::string absolute = (folders.work() / "outside.png").string();
    EXPECT_FALSE(manager.getResourceStream(absolute, ManagerContainer::KindPicture, true));
    ASSERT_EQ(errors.texts.size(), 1u);
}

TEST_F(SkinNamesTest, NothingFallsBackToTheLinkedResources)
{
    // The executable carries this sheet, but the skin folder decides alone.
    TEST::fs::remove(folders.work() / "skin" / "stylesheets" / "FirmwareUpdaterStyles.txt");
    EXPECT_FALSE(manager.getResourceStream("FirmwareUpdaterStyles.txt", ManagerContainer::KindStyleSheet, true));
    EXPECT_EQ(errors.texts, Texts{TEST::kMissingFile + skinText + "\\stylesheets\\FirmwareUpdaterStyles.txt"});
}

TEST_F(SkinNamesTest, WithoutReportNothingIsSent)
{
    EXPECT_FALSE(manager.getResourceStream("b.png", ManagerContainer::KindPicture, false));
    EXPECT_FALSE(manager.getResourceStream("../secret.txt", ManagerContainer::KindPicture, false));
    EXPECT_TRUE(errors.texts.empty());
}

// Imports of a skin's sheet: what the platform calls absolute is opened as a file, every other
// name through the resource manager; either way only sheets inside "stylesheets" are read.
struct ImportCase {
    std::string name;
    std::string path;   // as written in the sheet; "<skin>" and "<work>" stand for those folders
    bool read;          // whether the rule of the sheet at that path arrives
};

void PrintTo(const ImportCase& c, std::ostream* os) { *os << c.name; }

// The type of each rule's first selector, in order.
Texts ruleTypes(const StyleParser2& parser)
{
    Texts types;
    for (const StyleParser2::tRule& rule : parser.getRules())
        types.push_back(rule.selectors.at(0).type.str());
    return types;
}

class SkinImportsTest : public SkinNamesTest, public ::testing::WithParamInterface<ImportCase> {};

TEST_P(SkinImportsTest, ReadsOnlySheetsInsideTheSkin)
{
    const ImportCase& c = GetParam();
    const path skin = folders.work() / "skin";
    TEST::writeFile(skin / "stylesheets" / "inner.txt", std::string("inner { x: 1; }\n"));
    TEST::writeFile(skin / "outside.txt", std::string("escaped { x: 1; }\n"));
    TEST::writeFile(folders.work() / "outside.txt", std::string("escaped { x: 1; }\n"));
    TEST::fs::create_symlink("../outside.txt", skin / "stylesheets" / "link.txt");
    TEST::writeFile(skin / "stylesheets2" / "inner.txt", std::string("escaped { x: 1; }\n"));
    std::string importPath = c.path;
    for (const auto& [mark, folder] : {std::pair<std::string, path>{"<skin>", skin}, {"<work>", folders.work()}}) {
        const auto at = importPath.find(mark);
        if (at != std::string::npos)
            importPath.replace(at, mark.size(), folder.string());
    }
    TEST::writeFile(skin / "stylesheets" / "top.txt", "@import url('" + importPath + "');\ntop { x: 1; }\n");

    StyleSheet sheet(&manager);
    StyleParser2 parser(&sheet);
    std::shared_ptr<GP::Stream> top = manager.getResourceStream("top.txt", ManagerContainer::KindStyleSheet, true);
    ASSERT_TRUE(top);
    ASSERT_TRUE(parser.processStream(top.get(), "top.txt"));
    if (c.read) {
        EXPECT_EQ(ruleTypes(parser), (Texts{"inner", "top"}));
        EXPECT_TRUE(errors.texts.empty());
    } else {
        EXPECT_EQ(ruleTypes(parser), Texts{"top"});
        ASSERT_FALSE(errors.texts.empty());
        EXPECT_NE(errors.texts.back().find("Failed to import stylesheet"), std::string::npos) << errors.texts.back();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SkinImportsTest,
    ::testing::Values(ImportCase{"Relative", "inner.txt", true},
                      ImportCase{"NotUtf8BetweenDots", ".\xFF./outside.txt", false},
                      ImportCase{"NotUtf8TwiceUp", ".\xFF./.\xFF./outside.txt", false},
                      ImportCase{"Up", "../outside.txt", false},
                      ImportCase{"LinkOut", "link.txt", false},
                      // A root directory without a root name: a name for the resource manager.
                      ImportCase{"HostPathInside", "<skin>/stylesheets/inner.txt", false},
                      ImportCase{"HostPathOutside", "<work>/outside.txt", false},
                      ImportCase{"DriveWithoutRoot", "C:inner.txt", false},
                      // A root name and a root directory: absolute, opened as a file.
                      ImportCase{"AbsoluteInside", "/<skin>/stylesheets/inner.txt", true},
                      ImportCase{"AbsoluteWithABackslash", "\\<skin>\\stylesheets\\inner.txt", true},
                      ImportCase{"AbsoluteOutside", "/<work>/outside.txt", false},
                      ImportCase{"AbsoluteToTheSkin", "/<skin>/outside.txt", false},
                      ImportCase{"AbsoluteThroughTheLink", "/<skin>/stylesheets/link.txt", false},
                      ImportCase{"AbsoluteWithSteps", "/<skin>/stylesheets/../outside.txt", false},
                      ImportCase{"AbsoluteIntoASiblingFolder", "/<skin>/stylesheets2/inner.txt", false}),
    [](const ::testing::TestParamInfo<ImportCase>& info) { return info.param.name; });

// A sheet parsed before any resource was asked for (as one from memory is) still finds the
// skin first, so its absolute imports too stay inside "stylesheets".
TEST_F(SkinNamesTest, AnImportBeforeAnyRequestStaysInsideTheSkin)
{
    const path skin = folders.work() / "skin";
    TEST::writeFile(skin / "stylesheets" / "inner.txt", std::string("inner { x: 1; }\n"));
    TEST::writeFile(folders.work() / "outside.txt", std::string("escaped { x: 1; }\n"));
    StyleSheet sheet(&manager);
    StyleParser2 parser(&sheet);
    ASSERT_EQ(manager.getResourceMode(), ManagerContainer::ModeUndecided);
    ASSERT_TRUE(parser.processBuffer("@import url('/" + folders.work().string() + "/outside.txt');\n@import url('/" +
                                         skin.string() + "/stylesheets/inner.txt');\n",
                                     "memory"));
    EXPECT_EQ(manager.getResourceMode(), ManagerContainer::ModeSkin);
    EXPECT_EQ(ruleTypes(parser), Texts{"inner"});
}

// Linked mode: a host path without a root name is a resource name; with one it is a file.
TEST(LinkedImportsTest, OnlyARootNameWithARootDirectoryOpensAFile)
{
    TEST::ScratchFolders folders;
    TEST::SkinLookupScope lookup(false);
    TEST::ErrorRecorder errors;
    ManagerContainer manager;
    const std::string file = (folders.work() / "outside.txt").string();
    TEST::writeFile(folders.work() / "outside.txt", std::string("file { x: 1; }\n"));
    StyleSheet sheet(&manager);
    StyleParser2 parser(&sheet);
    ASSERT_TRUE(parser.processBuffer("@import url('" + file + "');\n@import url('/" + file + "');\n", "memory"));
    EXPECT_EQ(manager.getResourceMode(), ManagerContainer::ModeLinked);
    EXPECT_EQ(ruleTypes(parser), Texts{"file"});
    ASSERT_EQ(errors.texts.size(), 2u);
    EXPECT_EQ(errors.texts[0], TEST::kMissingLinked + file);
    EXPECT_NE(errors.texts[1].find("Failed to import stylesheet " + file), std::string::npos) << errors.texts[1];
}

class LinkedNamesTest : public ::testing::TestWithParam<NameCase> {};

TEST_P(LinkedNamesTest, FindsTheResourceByNameAndType)
{
    const NameCase& c = GetParam();
    TEST::ScratchFolders folders;
    TEST::SkinLookupScope lookup(false);
    TEST::ErrorRecorder errors;
    ManagerContainer manager;
    std::shared_ptr<GP::Stream> stream = manager.getResourceStream(c.resource, c.kind, true);
    EXPECT_EQ(manager.getResourceMode(), ManagerContainer::ModeLinked);
    if (c.expectedContent.empty()) {
        EXPECT_FALSE(stream);
        EXPECT_EQ(errors.texts, Texts{TEST::kMissingLinked + c.reportedPath});
    } else {
        ASSERT_TRUE(stream);
        EXPECT_EQ(TEST::readAll(*stream).substr(0, c.expectedContent.size()), c.expectedContent);
        EXPECT_TRUE(errors.texts.empty());
    }
}

const std::string kSheet = "Linked { background-color:rgb(1, 2, 3); }\r\n";

INSTANTIATE_TEST_SUITE_P(
    Cases, LinkedNamesTest,
    ::testing::Values(NameCase{"MixedCase", "FirmwareUpdaterStyles.txt", 1, kSheet, ""},
                      NameCase{"LowerCase", "firmwareupdaterstyles.txt", 1, kSheet, ""},
                      NameCase{"Picture", "Linked-Picture.tga", 0, std::string("\0\0\2", 3), ""},
                      NameCase{"WrongType", "FirmwareUpdaterStyles.txt", 0, "", "FirmwareUpdaterStyles.txt"},
                      NameCase{"FontType", "FirmwareUpdaterStyles.txt", 2, "", "FirmwareUpdaterStyles.txt"},
                      NameCase{"Missing", "missing.png", 0, "", "missing.png"},
                      NameCase{"SlashIsPartOfTheName", "sub/linked-picture.tga", 0, "", "sub/linked-picture.tga"},
                      NameCase{"Nul", std::string("linked-picture.tga\0x", 20), 0, "",
                               std::string("linked-picture.tga\0x", 20)}),
    [](const ::testing::TestParamInfo<NameCase>& info) { return info.param.name; });

}  // namespace
}  // namespace HA::HWL
