#include "gp/src/common/files/FileType.h"

#include <gtest/gtest.h>

using namespace HA::GP;

namespace {

class FileTypeTest : public ::testing::Test {
protected:
    void SetUp() override { buildFileTypeRegistry(); }
    void TearDown() override { deleteFileTypeRegistry(); }
};

std::string nameOf(const FileType* type) { return type != nullptr ? type->getSingularName() : "(none)"; }

}  // namespace

TEST_F(FileTypeTest, LooksUpExtensionsWithoutRegardToCase)
{
    struct Case {
        const char* extension;
        const char* type;
    };
    const Case cases[] = {
        {"wav", "WAV File"},     {"WAV", "WAV File"},   {"Aiff", "AIFF File"},  {"aif", "AIFF File"},
        {"JPG", "JPEG File"},    {"jfif", "JPEG File"}, {"Jpe", "JPEG File"},   {"COM", "Executable File"},
        {"dll", "Dynamic Link Library"}, {"ttf", "True Type Font"}, {"XmL", "XML File"}, {"png", "PNG File"},
        // unknown
        {"xyz", "Unknown"},      {"", "Unknown"},       {".jpg", "Unknown"},    {"jpg ", "Unknown"},
        {"jp", "Unknown"},       {"\xC3\xA4", "Unknown"},
        // listed by "Unknown", "Directory" and "Volume" alike: no answer
        {"*", "(none)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.extension);
        EXPECT_EQ(nameOf(fileTypeForExtension(c.extension)), c.type);
    }
}

TEST_F(FileTypeTest, BuiltInTypesAndGroups)
{
    const FileType* wav = fileTypeAt(eFileType::Wav);
    ASSERT_NE(wav, nullptr);
    EXPECT_EQ(wav->getPluralName(), "WAV Files");
    EXPECT_EQ(wav->getTypeCodes(), (std::vector<std::uint32_t>{0x57415645u, 0x57415620u, 0x2E574156u}));
    EXPECT_EQ(fileTypeAt(eFileType::Jpeg)->getExtensions(),
              (std::vector<std::string>{"jpeg", "jpg", "jpe", "jfif", "jif"}));
    EXPECT_EQ(nameOf(fileTypeAt(0)), "Unknown");
    EXPECT_EQ(fileTypeAt(0)->getPluralName(), "All Files");
    EXPECT_EQ(nameOf(fileTypeAt(15)), "XML File");
    EXPECT_EQ(fileTypeAt(8)->getPluralName(), "Dynamic Link Libraries");

    // Every type has a group that holds just it.
    for (int i = 0; i < kBuiltInFileTypeCount; ++i) {
        const FileType* type = fileTypeAt(i);
        ASSERT_NE(type, nullptr);
        ASSERT_NE(type->getGroup(), nullptr);
        EXPECT_EQ(type->getGroup()->getTypes(), (std::vector<const FileType*>{type}));
        EXPECT_EQ(type->getGroup()->getSingularName(), type->getSingularName());
    }

    struct GroupCase {
        eFileTypeGroup index;
        const char* singular;
        const char* plural;
        std::vector<const FileType*> members;
    };
    const GroupCase groups[] = {
        {eFileTypeGroup::Unknown, "Unknown", "All Files", {fileTypeAt(eFileType::Unknown)}},
        {eFileTypeGroup::Audio, "Audio File", "Audio Files", {wav, fileTypeAt(eFileType::Aiff)}},
        {eFileTypeGroup::Sample, "Sample File", "Sample Files", {}},
        {eFileTypeGroup::Bitmap, "Bitmap File", "Bitmap Files", {}},
        {eFileTypeGroup::MidiSequence, "Midi Sequence", "Midi Sequences", {fileTypeAt(eFileType::Midi)}},
    };
    for (const GroupCase& g : groups) {
        const FileTypeGroup* group = fileTypeGroupAt(g.index);
        ASSERT_NE(group, nullptr);
        EXPECT_EQ(group->getSingularName(), g.singular);
        EXPECT_EQ(group->getPluralName(), g.plural);
        EXPECT_EQ(group->getTypes(), g.members);
    }
    EXPECT_EQ(fileTypeGroupAt(eFileTypeGroup::Unknown), fileTypeAt(eFileType::Unknown)->getGroup());

    EXPECT_EQ(fileTypeOrUnknown(nullptr), fileTypeAt(eFileType::Unknown));
    EXPECT_EQ(fileTypeOrUnknown(wav), wav);
    EXPECT_EQ(fileTypeOrDefault(nullptr), fileTypeGroupAt(0));
    EXPECT_EQ(fileTypeOrDefault(fileTypeGroupAt(1)), fileTypeGroupAt(1));
}

TEST_F(FileTypeTest, IndexesOutsideTheTablesGiveNothing)
{
    for (int index : {-1, kBuiltInFileTypeCount, 1 << 30})
        EXPECT_EQ(fileTypeAt(index), nullptr) << index;
    for (int index : {-1, kFileTypeGroupCount, 1 << 30})
        EXPECT_EQ(fileTypeGroupAt(index), nullptr) << index;
}

TEST_F(FileTypeTest, RegistryIsBuiltAgainAfterATeardown)
{
    const FileType* first = fileTypeAt(eFileType::Png);
    buildFileTypeRegistry();
    EXPECT_EQ(fileTypeAt(eFileType::Png), first);  // a second build changes nothing

    deleteFileTypeRegistry();
    EXPECT_EQ(fileTypeAt(eFileType::Png), nullptr);
    EXPECT_EQ(fileTypeGroupAt(eFileTypeGroup::Audio), nullptr);
    EXPECT_EQ(fileTypeForExtension("png"), nullptr);
    EXPECT_EQ(fileTypeOrUnknown(nullptr), nullptr);

    buildFileTypeRegistry();
    EXPECT_EQ(nameOf(fileTypeForExtension("png")), "PNG File");
    EXPECT_EQ(nameOf(fileTypeAt(eFileType::Png)), "PNG File");
    EXPECT_EQ(fileTypeGroupAt(eFileTypeGroup::Audio)->getTypes().size(), 2u);
}

TEST(FourCC, MostSignificantByteFirst)
{
    static_assert(fourCC("WAVE") == 0x57415645u);
    static_assert(fourCC("????") == 0x3F3F3F3Fu);
    EXPECT_EQ(fourCC("Sd2f"), 0x53643266u);
}
