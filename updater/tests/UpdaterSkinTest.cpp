// The updater's skin as linked into this executable: the sheet byte for byte, one table over
// the pictures (found, decoded, sizes, frames, stretchable nine-patch tiles), the urls the
// rules use, the two fonts, the application icon, the version resource, and the example
// skin folder the build writes.

#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "gp/src/common/storage/MemoryStorage.h"
#include "gp/src/common/storage/ModuleResources.h"
#include "gp/src/common/storage/Stream.h"
#include "os/kernel/Resources.h"
#include "os/kernel/Text.h"
#include "os/kernel/Version.h"
#include "updater/tests/SkinTestSupport.h"
#include "uia/graphics/text/Font.h"
#include "uia/graphics/text/FontDesc.h"
#include "uia/graphics/picture/Picture.h"

using namespace HA;
using namespace HA::TEST;

namespace {

constexpr OS::WORD kIconType = 3;
constexpr OS::WORD kGroupIconType = 14;
constexpr OS::WORD kVersionType = 16;

// ---- The sheet ----------------------------------------------------------------------

TEST(UpdaterSkinSheetTest, IsLinkedByteForByteWithCrLfLinesAndNoByteOrderMark)
{
    ASSERT_TRUE(linked("FIRMWAREUPDATERSTYLES.TXT", "STYLESHEET"));
    std::string_view sheet = linkedSheet();
    EXPECT_EQ(sheet, readFile(HA_SKIN_SOURCE_SHEET)) << "the linked sheet differs from the source file";
    ASSERT_GT(sheet.size(), 3u);
    EXPECT_NE(sheet.substr(0, 3), "\xEF\xBB\xBF");
    EXPECT_EQ(sheet.substr(sheet.size() - 2), "\r\n");
    for (std::size_t i = 0; i < sheet.size(); ++i) {
        if (sheet[i] == '\n') {
            ASSERT_TRUE(i > 0 && sheet[i - 1] == '\r') << "a line feed without carriage return at byte " << i;
        }
        if (sheet[i] == '\r') {
            ASSERT_TRUE(i + 1 < sheet.size() && sheet[i + 1] == '\n') << "a lone carriage return at byte " << i;
        }
        ASSERT_LT(static_cast<unsigned char>(sheet[i]), 0x80) << "a byte outside ASCII at " << i;
    }
}

// The sheet without its comments; urls hold no "//" or "/*".
std::string withoutComments(std::string_view text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        if (text.compare(i, 2, "/*") == 0) {
            std::size_t end = text.find("*/", i + 2);
            i = end == std::string_view::npos ? text.size() : end + 2;
        } else if (text.compare(i, 2, "//") == 0) {
            i = text.find('\n', i);
        } else {
            out += text[i++];
        }
    }
    return out;
}

bool isNameChar(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-';
}

std::size_t skipBlanks(const std::string& text, std::size_t at)
{
    while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at])))
        ++at;
    return at;
}

// The quoted text of «url( "x" )» starting at `at`; nullopt when none starts there.
std::optional<std::string> urlAt(const std::string& text, std::size_t at)
{
    if (text.compare(at, 3, "url") != 0)
        return std::nullopt;
    at = skipBlanks(text, at + 3);
    if (at >= text.size() || text[at] != '(')
        return std::nullopt;
    at = skipBlanks(text, at + 1);
    if (at >= text.size() || text[at] != '"')
        return std::nullopt;
    std::size_t end = text.find('"', at + 1);
    if (end == std::string::npos)
        return std::nullopt;
    return text.substr(at + 1, end - at - 1);
}

// The file names the rules ask for: urls written in declarations, and url constants that a
// declaration names. A constant no rule names is not asked for.
std::set<std::string> urlsTheRulesUse()
{
    std::string text = withoutComments(linkedSheet());
    std::map<std::string, std::string> constants;
    std::string rules;
    for (std::size_t at = 0; at < text.size();) {
        if (text.compare(at, 7, "@define") != 0) {
            rules += text[at++];
            continue;
        }
        std::size_t end = text.find(';', at);
        std::string statement = text.substr(at, end - at);
        std::size_t name = statement.find('$') + 1;
        std::size_t nameEnd = name;
        while (nameEnd < statement.size() && isNameChar(statement[nameEnd]))
            ++nameEnd;
        if (auto url = urlAt(statement, skipBlanks(statement, nameEnd)))
            constants[statement.substr(name, nameEnd - name)] = *url;
        at = end == std::string::npos ? text.size() : end + 1;
    }

    std::set<std::string> urls;
    for (std::size_t at = 0; at < rules.size(); ++at) {
        if (auto url = urlAt(rules, at))
            urls.insert(*url);
        if (rules[at] != ':')
            continue;
        std::size_t value = skipBlanks(rules, at + 1);
        if (value < rules.size() && rules[value] == '$') {
            std::size_t nameEnd = value + 1;
            while (nameEnd < rules.size() && isNameChar(rules[nameEnd]))
                ++nameEnd;
            if (auto c = constants.find(rules.substr(value + 1, nameEnd - value - 1)); c != constants.end())
                urls.insert(c->second);
        }
    }
    return urls;
}

TEST(UpdaterSkinSheetTest, EveryUrlARuleUsesIsLinked)
{
    std::set<std::string> urls = urlsTheRulesUse();
    EXPECT_EQ(urls.size(), 28u) << "the 27 pictures (one through a constant) and the font (through a constant)";
    EXPECT_EQ(urls.count("Icon_Big_Status.png"), 1u);
    EXPECT_EQ(urls.count("Icon_Small_Status.png"), 0u) << "no rule names the small icon";
    for (const std::string& name : urls) {
        SCOPED_TRACE(name);
        bool font = name.size() > 4 && name.compare(name.size() - 4, 4, ".ttf") == 0;
        EXPECT_TRUE(linked(name, font ? "TTFd" : "PICTURE"));
    }
}

// ---- The pictures -------------------------------------------------------------------

class UpdaterSkinPictureTest : public ::testing::TestWithParam<PictureRow> {};

TEST_P(UpdaterSkinPictureTest, IsLinkedDecodesAndHasItsSizeAndFrames)
{
    const PictureRow& row = GetParam();
    auto bytes = linked(upper(row.sheetName), "PICTURE");
    ASSERT_TRUE(bytes);
    EXPECT_TRUE(linked(row.sheetName, "PICTURE")) << "names are found without regard to case";
    EXPECT_TRUE(isRgba8Png(*bytes));
    auto picture = decode(*bytes);
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->getWidth(), row.width);
    ASSERT_EQ(picture->getHeight(), row.height);
    ASSERT_EQ(row.height % row.frames, 0);
    picture->setFrameCount(static_cast<std::uint32_t>(row.frames));
    EXPECT_EQ(picture->getFrameHeight(), row.height / row.frames);
}

// Each frame is its own picture: no two frames of a strip are alike.
TEST_P(UpdaterSkinPictureTest, FramesAreVisiblyDifferent)
{
    const PictureRow& row = GetParam();
    auto bytes = linked(row.sheetName, "PICTURE");
    ASSERT_TRUE(bytes);
    auto picture = decode(*bytes);
    ASSERT_TRUE(picture);
    const int frameHeight = row.height / row.frames;
    const std::size_t framePixels = std::size_t(row.width) * frameHeight;
    for (int a = 0; a < row.frames; ++a) {
        for (int b = a + 1; b < row.frames; ++b) {
            const std::uint32_t* pa = picture->getPixels() + framePixels * a;
            const std::uint32_t* pb = picture->getPixels() + framePixels * b;
            std::size_t differing = 0;
            for (std::size_t i = 0; i < framePixels; ++i)
                differing += pa[i] != pb[i];
            EXPECT_GT(differing, framePixels / 50) << "frames " << a << " and " << b << " look alike";
        }
    }
}

// Stretching repeats the middle rows and columns: they must not carry any of the border.
TEST(UpdaterSkinNinePatchTest, MiddleTilesStretchCleanly)
{
    for (const PictureRow& row : kPictures) {
        if (row.margin == 0)
            continue;  // drawn at its own size
        SCOPED_TRACE(row.sheetName);
        auto bytes = linked(row.sheetName, "PICTURE");
        ASSERT_TRUE(bytes);
        auto picture = decode(*bytes);
        ASSERT_TRUE(picture);
        const int m = row.margin;
        const int frameHeight = row.height / row.frames;
        for (int frame = 0; frame < row.frames; ++frame) {
            const std::uint32_t* p = picture->getPixels() + std::size_t(row.width) * frameHeight * frame;
            auto at = [&](int x, int y) { return p[std::size_t(y) * row.width + x]; };
            // Across: every row is one colour between the left and right margins.
            if (row.sides & kAcross) {
                for (int y = 0; y < frameHeight; ++y)
                    for (int x = m; x < row.width - m; ++x)
                        ASSERT_EQ(at(x, y), at(m, y)) << "frame " << frame << " at " << x << "," << y;
            }
            // Down: every column is one colour between the top and bottom margins.
            if (row.sides & kDown) {
                for (int x = 0; x < row.width; ++x)
                    for (int y = m; y < frameHeight - m; ++y)
                        ASSERT_EQ(at(x, y), at(x, m)) << "frame " << frame << " at " << x << "," << y;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(All, UpdaterSkinPictureTest, ::testing::ValuesIn(kPictures),
                         [](const ::testing::TestParamInfo<PictureRow>& info) {
                             std::string name = info.param.sheetName;
                             for (char& c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c)))
                                     c = '_';
                             return name;
                         });

// ---- Fonts --------------------------------------------------------------------------

TEST(UpdaterSkinFontTest, BothFontsAreLinkedAndMeasureText)
{
    auto ferro = linked("ferro.ttf", "TTFd");
    ASSERT_TRUE(ferro);
    auto byId = linked(OS::ResourceId::number(1), "TTFd");
    ASSERT_TRUE(byId);
    for (std::string_view bytes : {*ferro, *byId})
        EXPECT_EQ(bytes.substr(0, 4), std::string_view("\0\1\0\0", 4)) << "a TrueType file";
    EXPECT_NE(*ferro, *byId) << "two different typefaces";

    UIA::FontDesc resourceOne;
    resourceOne.resourceId = 1;
    resourceOne.size = 12;
    UIA::Font byResource(resourceOne);
    EXPECT_GT(byResource.getTextWidth("Installed Firmware"), 0);

    GP::MemoryStorage storage;
    storage.attachReadOnly(ferro->data(), static_cast<std::uint32_t>(ferro->size()));
    GP::Stream stream(&storage);
    UIA::FontDesc named;
    named.name = "ferro.ttf";
    named.size = 12;
    UIA::Font fromFile(stream, named);
    int condensed = fromFile.getTextWidth("Installed Firmware");
    EXPECT_GT(condensed, 0);
    EXPECT_LT(condensed, byResource.getTextWidth("Installed Firmware")) << "the sheet's font is the condensed one";
}

// ---- Icon ---------------------------------------------------------------------------

std::uint32_t le(std::string_view bytes, std::size_t at, int size)
{
    std::uint32_t v = 0;
    for (int i = size - 1; i >= 0; --i)
        v = (v << 8) | static_cast<unsigned char>(bytes[at + i]);
    return v;
}

TEST(UpdaterSkinIconTest, GroupOneListsTheTwoSizesAsPngIcons)
{
    auto group = linked(OS::ResourceId::number(1), OS::ResourceId::number(kGroupIconType));
    ASSERT_TRUE(group);
    ASSERT_EQ(group->size(), 6u + 2 * 14);
    EXPECT_EQ(le(*group, 0, 2), 0u);
    EXPECT_EQ(le(*group, 2, 2), 1u);
    ASSERT_EQ(le(*group, 4, 2), 2u);
    const int sizes[] = {32, 16};
    for (int i = 0; i < 2; ++i) {
        std::size_t e = 6 + 14 * std::size_t(i);
        SCOPED_TRACE(sizes[i]);
        EXPECT_EQ(le(*group, e, 1), std::uint32_t(sizes[i]));
        EXPECT_EQ(le(*group, e + 1, 1), std::uint32_t(sizes[i]));
        EXPECT_EQ(le(*group, e + 2, 2), 0u);
        EXPECT_EQ(le(*group, e + 4, 2), 1u) << "planes";
        EXPECT_EQ(le(*group, e + 6, 2), 32u) << "bit count";
        auto id = static_cast<OS::WORD>(le(*group, e + 12, 2));
        auto image = linked(OS::ResourceId::number(id), OS::ResourceId::number(kIconType));
        ASSERT_TRUE(image);
        EXPECT_EQ(le(*group, e + 8, 4), image->size());
        EXPECT_TRUE(isRgba8Png(*image));
        auto picture = decode(*image);
        ASSERT_TRUE(picture);
        EXPECT_EQ(picture->getWidth(), sizes[i]);
        EXPECT_EQ(picture->getHeight(), sizes[i]);
    }
}

// ---- Version ------------------------------------------------------------------------

struct VersionNode {
    std::u16string key;
    int type = 0;
    unsigned valueLength = 0;
    std::string_view value;
    std::vector<VersionNode> children;
};

std::size_t align4(std::size_t v)
{
    return (v + 3) & ~std::size_t(3);
}

// One node at `at` in the block; false when its lengths leave the block.
bool readNode(std::string_view block, std::size_t at, VersionNode& node)
{
    if (at + 6 > block.size())
        return false;
    std::size_t length = le(block, at, 2);
    node.valueLength = le(block, at + 2, 2);
    node.type = int(le(block, at + 4, 2));
    if (length < 6 || at + length > block.size())
        return false;
    std::size_t end = at + length, p = at + 6;
    for (;; p += 2) {
        if (p + 2 > end)
            return false;
        char16_t c = char16_t(le(block, p, 2));
        if (c == 0)
            break;
        node.key += c;
    }
    p = align4(p + 2);
    std::size_t valueBytes = node.type == 1 ? node.valueLength * 2u : node.valueLength;
    if (p + valueBytes > end)
        return false;
    node.value = block.substr(p, valueBytes);
    for (p = align4(p + valueBytes); p < end; ) {
        VersionNode child;
        if (!readNode(block.substr(0, end), p, child))
            return false;
        p = align4(p + le(block, p, 2));
        node.children.push_back(std::move(child));
    }
    return true;
}

const VersionNode* childOf(const VersionNode& node, const std::u16string& key)
{
    for (const VersionNode& child : node.children)
        if (child.key == key)
            return &child;
    return nullptr;
}

std::string textOf(const VersionNode& node)
{
    std::string text;
    for (std::size_t i = 0; i + 1 < node.value.size(); i += 2)
        if (char16_t c = char16_t(le(node.value, i, 2)); c != 0)
            text += char(c);
    return text;
}

TEST(UpdaterSkinVersionTest, FileVersionIsTheProjectVersion)
{
    auto block = linked(OS::ResourceId::number(1), OS::ResourceId::number(kVersionType));
    ASSERT_TRUE(block);
    VersionNode root;
    ASSERT_TRUE(readNode(*block, 0, root));
    EXPECT_EQ(le(*block, 0, 2), block->size());
    EXPECT_EQ(root.key, u"VS_VERSION_INFO");
    ASSERT_EQ(root.valueLength, 52u);
    EXPECT_EQ(le(root.value, 0, 4), 0xFEEF04BDu);
    EXPECT_EQ(le(root.value, 4, 4), 0x00010000u);

    unsigned parts[4] = {0, 0, 0, 0};
    ASSERT_GE(std::sscanf(HA_PROJECT_VERSION, "%u.%u.%u.%u", &parts[0], &parts[1], &parts[2], &parts[3]), 2);
    EXPECT_EQ(le(root.value, 8, 4), (parts[0] << 16) | parts[1]) << "file version, high word";
    EXPECT_EQ(le(root.value, 12, 4), (parts[2] << 16) | parts[3]) << "file version, low word";
    EXPECT_EQ(le(root.value, 16, 4), (parts[0] << 16) | parts[1]) << "product version, high word";

    const VersionNode* strings = childOf(root, u"StringFileInfo");
    ASSERT_TRUE(strings);
    const VersionNode* table = childOf(*strings, u"000004b0");
    ASSERT_TRUE(table);
    for (const char16_t* key : {u"FileVersion", u"ProductVersion"}) {
        const VersionNode* value = childOf(*table, key);
        ASSERT_TRUE(value);
        EXPECT_EQ(value->type, 1);
        EXPECT_EQ(textOf(*value), HA_PROJECT_VERSION);
        EXPECT_EQ(value->valueLength, std::strlen(HA_PROJECT_VERSION) + 1) << "characters with the NUL";
    }
    const VersionNode* vars = childOf(root, u"VarFileInfo");
    ASSERT_TRUE(vars);
    const VersionNode* translation = childOf(*vars, u"Translation");
    ASSERT_TRUE(translation);
    ASSERT_EQ(translation->value.size(), 4u);
    EXPECT_EQ(le(translation->value, 0, 2), 0x0000u);
    EXPECT_EQ(le(translation->value, 2, 2), 0x04b0u);
}

// The platform's version API reads the same block from this executable's file, as the
// about panel does.
TEST(UpdaterSkinVersionTest, TheVersionApiReadsTheFileVersion)
{
    const OS::WString self = GP::getModuleFileName();
    OS::DWORD handle = 1;
    const OS::DWORD size = OS::getFileVersionInfoSize(self, &handle);
    ASSERT_GT(size, 0u);
    std::vector<unsigned char> block(size);
    ASSERT_TRUE(OS::getFileVersionInfo(self, handle, size, block.data()));

    const void* value = nullptr;
    OS::UINT length = 0;
    ASSERT_TRUE(OS::verQueryValue(block.data(), u"\\StringFileInfo\\000004b0\\FileVersion", &value, &length));
    ASSERT_EQ(length, std::strlen(HA_PROJECT_VERSION) + 1);
    const auto* text = static_cast<const char16_t*>(value);
    EXPECT_EQ(OS::utf16ToUtf8(std::u16string(text, length - 1)), HA_PROJECT_VERSION);

    ASSERT_TRUE(OS::verQueryValue(block.data(), u"\\", &value, &length));
    ASSERT_EQ(length, sizeof(OS::VS_FIXEDFILEINFO));
    OS::VS_FIXEDFILEINFO fixed;
    std::memcpy(&fixed, value, sizeof fixed);
    EXPECT_EQ(fixed.dwSignature, OS::VS_FFI_SIGNATURE);
}

// ---- The example skin folder --------------------------------------------------------

TEST(UpdaterSkinExampleTest, HoldsEveryFileUnderTheSpellingTheSheetAsksFor)
{
    const std::filesystem::path example = HA_SKIN_EXAMPLE_DIR;
    EXPECT_NE(example.filename(), "skin") << "a folder named skin would switch the look-up on";
    EXPECT_EQ(readFile(example / "stylesheets" / "FirmwareUpdaterStyles.txt"), linkedSheet());
    for (const std::string& name : urlsTheRulesUse()) {
        SCOPED_TRACE(name);
        bool font = name.size() > 4 && name.compare(name.size() - 4, 4, ".ttf") == 0;
        const std::filesystem::path file = example / (font ? "fonts" : "pictures") / name;
        ASSERT_TRUE(std::filesystem::is_regular_file(file));
        EXPECT_EQ(readFile(file), *linked(name, font ? "TTFd" : "PICTURE"));
    }
    for (const PictureRow& row : kPictures)
        EXPECT_TRUE(std::filesystem::is_regular_file(example / "pictures" / row.sheetName)) << row.sheetName;
}

TEST(UpdaterSkinExampleTest, NoSkinFolderLiesBesideTheTests)
{
    std::filesystem::path self = OS::utf16ToUtf8(GP::getModuleFileName());
    EXPECT_FALSE(std::filesystem::exists(self.parent_path() / "skin"));
    EXPECT_NE(std::filesystem::path(HA_SKIN_EXAMPLE_DIR).parent_path(), self.parent_path());
}

}  // namespace
