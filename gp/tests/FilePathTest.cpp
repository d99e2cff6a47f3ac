#include "gp/src/common/files/FilePath.h"
#include "gp/src/common/files/FileType.h"

#include <gtest/gtest.h>

using namespace HA::GP;
using eKind = FilePath::eKind;

namespace {

class FilePathTest : public ::testing::Test {
protected:
    void SetUp() override { buildFileTypeRegistry(); }
    void TearDown() override { deleteFileTypeRegistry(); }

    static std::string typeName(const FilePath& p)
    {
        return p.getFileType() != nullptr ? p.getFileType()->getSingularName() : "(none)";
    }
};

struct PathCase {
    const char* text;
    const char* full;
    const char* drive;
    const char* folder;
    const char* name;
    const char* extension;
    const char* annotation;
    eKind kind;
    bool relative;
    const char* type;
};

}  // namespace

TEST_F(FilePathTest, ParsesIntoParts)
{
    const PathCase cases[] = {
        {"", "", "", "", "", "", "", eKind::None, false, "(none)"},
        {"C:", "C:", "C:", "", "", "", "", eKind::Volume, false, "Volume"},
        {"C:\\", "C:\\", "C:", "\\", "", "", "", eKind::Folder, false, "Directory"},
        {"C:\\dir\\file.txt", "C:\\dir\\file.txt", "C:", "\\dir\\", "file", ".txt", "", eKind::File, false, "(none)"},
        {"C:/dir/sub/file.txt", "C:\\dir\\sub\\file.txt", "C:", "\\dir\\sub\\", "file", ".txt", "", eKind::File, false,
         "(none)"},
        {"C:\\dir/mixed\\f.c", "C:\\dir\\mixed\\f.c", "C:", "\\dir\\mixed\\", "f", ".c", "", eKind::File, false,
         "(none)"},
        // network drives
        {"\\\\server\\share\\dir\\file.txt", "\\\\server\\share\\dir\\file.txt", "\\\\server\\share", "\\dir\\",
         "file", ".txt", "", eKind::File, false, "(none)"},
        {"//server/share/x", "\\\\server\\share\\x", "\\\\server\\share", "\\", "x", "", "", eKind::File, false,
         "(none)"},
        {"\\\\server\\share\\", "\\\\server\\share\\", "\\\\server\\share", "\\", "", "", "", eKind::Folder, false,
         "Directory"},
        {"\\\\server\\share", "\\\\server\\share", "\\\\server\\share", "", "", "", "", eKind::Volume, false,
         "Volume"},
        {"\\\\server", "\\\\server", "\\\\server", "", "", "", "", eKind::Volume, false, "Volume"},
        {"\\\\server\\", "\\\\server\\", "\\\\server\\", "", "", "", "", eKind::Volume, false, "Volume"},
        // relative paths
        {"dir\\file.txt", "dir\\file.txt", "", "dir\\", "file", ".txt", "", eKind::File, true, "(none)"},
        {"file.txt", "file.txt", "", "", "file", ".txt", "", eKind::File, true, "(none)"},
        {"C:file.txt", "C:file.txt", "C:", "", "file", ".txt", "", eKind::File, true, "(none)"},
        {"\\dir\\file.txt", "\\dir\\file.txt", "", "\\dir\\", "file", ".txt", "", eKind::File, true, "(none)"},
        // names that begin with a dot, extensions
        {".profile", ".profile", "", "", ".profile", "", "", eKind::File, true, "(none)"},
        {"C:\\home\\.txt", "C:\\home\\.txt", "C:", "\\home\\", ".txt", "", "", eKind::File, false, "(none)"},
        {"C:\\dir\\README", "C:\\dir\\README", "C:", "\\dir\\", "README", "", "", eKind::File, false, "(none)"},
        {"C:\\dir\\file.", "C:\\dir\\file.", "C:", "\\dir\\", "file", ".", "", eKind::File, false, "(none)"},
        {"C:\\a\\archive.tar.gz", "C:\\a\\archive.tar.gz", "C:", "\\a\\", "archive.tar", ".gz", "", eKind::File,
         false, "(none)"},
        {"C:\\dir.d\\file", "C:\\dir.d\\file", "C:", "\\dir.d\\", "file", "", "", eKind::File, false, "(none)"},
        // annotations
        {"C:\\dir\\file.txt<extra>", "C:\\dir\\file.txt", "C:", "\\dir\\", "file", ".txt", "<extra>", eKind::File,
         false, "(none)"},
        {"C:\\d<x>\\file.txt", "C:\\d<x>\\file.txt", "C:", "\\d<x>\\", "file", ".txt", "", eKind::File, false,
         "(none)"},
        {"C:\\dir\\<extra>", "C:\\dir\\", "C:", "\\dir\\", "", "", "", eKind::Folder, false, "Directory"},
        // trailing separator
        {"C:\\dir\\sub\\", "C:\\dir\\sub\\", "C:", "\\dir\\sub\\", "", "", "", eKind::Folder, false, "Directory"},
        {"dir/", "dir\\", "", "dir\\", "", "", "", eKind::Folder, false, "Directory"},
        // text beyond ASCII
        {"C:\\M\xC3\xBCsik\\Lied \xE2\x82\xAC.wav", "C:\\M\xC3\xBCsik\\Lied \xE2\x82\xAC.wav", "C:",
         "\\M\xC3\xBCsik\\", "Lied \xE2\x82\xAC", ".wav", "", eKind::File, false, "(none)"},
    };
    for (const PathCase& c : cases) {
        SCOPED_TRACE(c.text);
        FilePath p(std::string(c.text));
        EXPECT_EQ(p.getFull(), c.full);
        EXPECT_EQ(p.getDrive(), c.drive);
        EXPECT_EQ(p.getFolder(), c.folder);
        EXPECT_EQ(p.getName(), c.name);
        EXPECT_EQ(p.getExtension(), c.extension);
        EXPECT_EQ(p.getAnnotation(), c.annotation);
        EXPECT_EQ(p.getKind(), c.kind);
        EXPECT_EQ(p.isRelative(), c.relative);
        EXPECT_EQ(typeName(p), c.type);
        EXPECT_EQ(p.isEmpty(), c.kind == eKind::None);
    }
}

TEST_F(FilePathTest, PartsAreCutAtTheSplittersLimit)
{
    const std::string longFolder(10005, 'f');
    FilePath folder("C:\\" + longFolder + "\\n.e");
    EXPECT_EQ(folder.getFolder(), "\\" + std::string(9999, 'f'));
    EXPECT_EQ(folder.getName(), "n");
    EXPECT_EQ(folder.getExtension(), ".e");

    FilePath exact("C:\\" + std::string(10000, 'n'));
    EXPECT_EQ(exact.getName().size(), 10000u);

    // A cut never leaves half of a surrogate pair behind: U+1F3B5 takes units 10000 and 10001.
    FilePath pair("C:\\" + std::string(9999, 'n') + "\xF0\x9F\x8E\xB5" + "tail.txt");
    EXPECT_EQ(pair.getName(), std::string(9999, 'n'));
    EXPECT_EQ(pair.getExtension(), ".txt");
}

TEST_F(FilePathTest, WideTextRoundTrips)
{
    FilePath p(std::u16string(u"C:\\M\u00FCsik\\\U0001F3B5.png"));
    EXPECT_EQ(p.getName(), "\xF0\x9F\x8E\xB5");
    EXPECT_EQ(p.getFolder(), "\\M\xC3\xBCsik\\");
    EXPECT_EQ(p.toWide(), u"C:\\M\u00FCsik\\\U0001F3B5.png");
    EXPECT_EQ(toNarrowPath(toWidePath("a\xC3\xBC")), "a\xC3\xBC");
    // Invalid input is skipped.
    EXPECT_EQ(toWidePath("a\x80z"), u"az");
}

TEST_F(FilePathTest, SetFolderMakesAFolderOrMovesAFile)
{
    FilePath empty;
    empty.setFolder("C:/Data/x");
    EXPECT_EQ(empty.getFull(), "C:\\Data\\x\\");
    EXPECT_EQ(empty.getDrive(), "C:");
    EXPECT_EQ(empty.getKind(), eKind::Folder);

    FilePath volume("D:");
    volume.setFolder("/x");
    EXPECT_EQ(volume.getFull(), "D:\\x\\");
    EXPECT_EQ(volume.getKind(), eKind::Folder);
    EXPECT_EQ(typeName(volume), "Directory");

    FilePath file("C:\\a\\b.txt");
    file.setFolder("\\other\\place");
    EXPECT_EQ(file.getFull(), "C:\\other\\place\\b.txt");
    EXPECT_EQ(file.getKind(), eKind::File);
    EXPECT_FALSE(file.isRelative());

    file.setFolder("\\loose\\", FilePath::eDrive::Without);
    EXPECT_EQ(file.getFull(), "\\loose\\b.txt");
    EXPECT_EQ(file.getDrive(), "");
    EXPECT_TRUE(file.isRelative());
    EXPECT_EQ(file.getFolderPath(FilePath::eDrive::With), "\\loose\\");

    FilePath withDrive("E:\\f\\g.h");
    EXPECT_EQ(withDrive.getFolderPath(FilePath::eDrive::With), "E:\\f\\");
    EXPECT_EQ(withDrive.getFolderPath(FilePath::eDrive::Without), "\\f\\");
}

TEST_F(FilePathTest, SetExtension)
{
    FilePath p("C:\\a\\b.txt<note>");
    p.setExtension("png");
    EXPECT_EQ(p.getFull(), "C:\\a\\b.png");
    EXPECT_EQ(p.getAnnotation(), "<note>");
    p.setExtension(".jpg", FilePath::eDot::Included);
    EXPECT_EQ(p.getFull(), "C:\\a\\b.jpg");
    p.setExtension("", FilePath::eDot::Included);
    EXPECT_EQ(p.getFull(), "C:\\a\\b");
    EXPECT_EQ(p.getExtension(), "");
    EXPECT_EQ(p.getName(), "b");
}

TEST_F(FilePathTest, FileTypes)
{
    FilePath photo("C:\\p\\Photo.JPG");
    EXPECT_TRUE(photo.updateFileType());
    EXPECT_EQ(typeName(photo), "JPEG File");
    EXPECT_FALSE(photo.updateFileType());

    FilePath unknown("C:\\p\\x.xyz");
    EXPECT_FALSE(unknown.updateFileType());
    EXPECT_EQ(unknown.getFileType(), nullptr);

    // An unknown extension keeps the type that was set.
    EXPECT_TRUE(unknown.setFileType(fileTypeAt(eFileType::Png)));
    EXPECT_FALSE(unknown.setFileType(fileTypeAt(eFileType::Png)));
    EXPECT_FALSE(unknown.updateFileType());
    EXPECT_EQ(typeName(unknown), "PNG File");

    FilePath noExtension("C:\\p\\x");
    EXPECT_FALSE(noExtension.updateFileType());
    FilePath folder("C:\\p.png\\");
    EXPECT_FALSE(folder.updateFileType());
    EXPECT_EQ(typeName(folder), "Directory");
}

TEST_F(FilePathTest, AssignStartsAFreshPath)
{
    FilePath p("C:\\a\\file.txt<note>");
    p.setFileType(fileTypeAt(eFileType::Xml));
    p.assign("C:\\b\\other.xyz");
    EXPECT_EQ(p.getFileType(), nullptr);
    EXPECT_EQ(p.getAnnotation(), "");

    FilePath folder("C:\\dir\\");
    folder.assign("C:\\dir\\x.xyz");
    folder.updateFileType();
    EXPECT_EQ(folder.getFileType(), nullptr);

    p.assign("");
    EXPECT_TRUE(p.isEmpty());
    p.clear();
    EXPECT_EQ(p.getFull(), "");
}

TEST_F(FilePathTest, CopiesOwnTheirParents)
{
    FilePath child("C:\\pkg\\item.txt");
    child.setParent(std::make_unique<FilePath>(std::string("C:\\pkg.zip")));
    child.setFileType(fileTypeAt(eFileType::Xml));

    FilePath copy(child);
    ASSERT_NE(copy.getParent(), nullptr);
    EXPECT_NE(copy.getParent(), child.getParent());
    EXPECT_EQ(copy.getParent()->getFull(), "C:\\pkg.zip");
    EXPECT_EQ(copy.getFull(), child.getFull());
    EXPECT_EQ(copy.getFileType(), child.getFileType());

    FilePath assigned;
    assigned = child;
    assigned = assigned;
    ASSERT_NE(assigned.getParent(), nullptr);
    EXPECT_EQ(assigned.getParent()->getFull(), "C:\\pkg.zip");

    // Parsing drops the parent.
    assigned.setExtension("bin");
    EXPECT_EQ(assigned.getParent(), nullptr);
    EXPECT_NE(child.getParent(), nullptr);
}
