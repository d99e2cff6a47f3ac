#include "os/kernel/Version.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <vector>

#include "os/kernel/Errors.h"
#include "os/kernel/Kernel.h"
#include "os/kernel/Module.h"
#include "os/kernel/Resources.h"
#include "os/kernel/Text.h"
#include "os/tests/VersionBlockBuilder.h"

using namespace HA::OS;
using HA::OS::Testing::makeVersionBlock;

namespace {

// A version resource of this test program while it lives.
ResourceEntry gVersionEntry[1];

class VersionResourceScope {
public:
    explicit VersionResourceScope(std::vector<std::uint8_t> bytes) : mBytes(std::move(bytes))
    {
        gVersionEntry[0] = ResourceEntry{nullptr, nullptr, mBytes.data(), static_cast<DWORD>(mBytes.size()), RT_VERSION, 1};
        registerModuleResources(gVersionEntry, 1);
    }
    ~VersionResourceScope() { unregisterModuleResources(gVersionEntry, 1); }

private:
    std::vector<std::uint8_t> mBytes;
};

WString executableFile()
{
    WChar buffer[MAX_PATH];
    DWORD n = getModuleFileName(getExecutableModule(), buffer, MAX_PATH);
    return WString(buffer, n);
}

std::u16string textAt(const void* value, UINT units)
{
    std::u16string out;
    const auto* p = static_cast<const unsigned char*>(value);
    for (UINT i = 0; i < units; ++i)
        out += static_cast<char16_t>(p[2 * i] | (p[2 * i + 1] << 8));
    return out;
}

}  // namespace

TEST(VersionQuery, FindsValuesByPathWithoutRegardToCase)
{
    const std::u16string version = u"1.2.3";
    std::vector<std::uint8_t> block = makeVersionBlock(&version);
    struct Case {
        std::u16string path;
        bool found;
        UINT length;
        std::u16string text;  // for text values
    };
    const std::vector<Case> cases = {
        {u"\\StringFileInfo\\000004b0\\FileVersion", true, 6, std::u16string(u"1.2.3") + u'\0'},
        {u"\\stringfileinfo\\000004B0\\FILEVERSION", true, 6, std::u16string(u"1.2.3") + u'\0'},
        {u"\\StringFileInfo\\000004b0\\ProductVersion", true, 4, std::u16string(u"9.9") + u'\0'},
        {u"\\VarFileInfo\\Translation", true, 4, u""},
        {u"\\", true, 52, u""},
        {u"\\StringFileInfo\\040904b0\\FileVersion", false, 0, u""},
        {u"\\StringFileInfo\\000004b0\\Comments", false, 0, u""},
        {u"\\StringFileInfo\\000004b0\\FileVersion\\More", false, 0, u""},
    };
    for (const Case& c : cases) {
        const void* value = nullptr;
        UINT length = 0;
        ASSERT_EQ(verQueryValue(block.data(), c.path, &value, &length), c.found) << utf16ToUtf8(c.path);
        if (!c.found)
            continue;
        EXPECT_EQ(length, c.length) << utf16ToUtf8(c.path);
        if (!c.text.empty()) {
            EXPECT_EQ(textAt(value, length), c.text) << utf16ToUtf8(c.path);
        }
    }
    const void* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(verQueryValue(block.data(), u"\\", &fixed, &length));
    VS_FIXEDFILEINFO info;
    std::memcpy(&info, fixed, sizeof(info));
    EXPECT_EQ(info.dwSignature, VS_FFI_SIGNATURE);
    EXPECT_EQ(info.dwFileVersionMS, 0x00010002u);
}

TEST(VersionQuery, MalformedBlocksFindNothing)
{
    const std::u16string version = u"1.2.3";
    const std::vector<std::uint8_t> good = makeVersionBlock(&version);
    struct Case {
        const char* name;
        std::function<void(std::vector<std::uint8_t>&)> spoil;
    };
    // The string table starts after the root (92 bytes) at "StringFileInfo" (offset 92).
    const std::vector<Case> cases = {
        {"child longer than its parent", [](std::vector<std::uint8_t>& b) { b[92] = 0xFF; b[93] = 0x7F; }},
        {"child shorter than a header", [](std::vector<std::uint8_t>& b) { b[92] = 2; b[93] = 0; }},
        {"key without its NUL", [](std::vector<std::uint8_t>& b) {
             // Fill StringFileInfo's key and everything after it with 'A'.
             for (std::size_t i = 98; i < b.size(); i += 2) {
                 b[i] = 'A';
                 b[i + 1] = 0;
             }
         }},
        {"value longer than the node", [](std::vector<std::uint8_t>& b) { b[94] = 0xFF; b[95] = 0x7F; }},
    };
    for (const Case& c : cases) {
        std::vector<std::uint8_t> block = good;
        c.spoil(block);
        const void* value = nullptr;
        UINT length = 0;
        EXPECT_FALSE(verQueryValue(block.data(), u"\\StringFileInfo\\000004b0\\FileVersion", &value, &length))
            << c.name;
    }
}

TEST(VersionResource, ReadsTheVersionResourceOfTheExecutablesFile)
{
    const std::u16string version = u"4.5.6";
    VersionResourceScope resource(makeVersionBlock(&version));
    DWORD handle = 7;
    const DWORD size = getFileVersionInfoSize(executableFile(), &handle);
    ASSERT_GT(size, 0u);
    EXPECT_EQ(handle, 0u);
    std::vector<std::uint8_t> block(size);
    EXPECT_FALSE(getFileVersionInfo(executableFile(), 0, size - 1, block.data()));
    EXPECT_EQ(getLastError(), ERROR_INSUFFICIENT_BUFFER);
    ASSERT_TRUE(getFileVersionInfo(executableFile(), 0, size, block.data()));
    const void* value = nullptr;
    UINT length = 0;
    ASSERT_TRUE(verQueryValue(block.data(), u"\\StringFileInfo\\000004b0\\FileVersion", &value, &length));
    EXPECT_EQ(textAt(value, length), std::u16string(u"4.5.6") + u'\0');
}

TEST(VersionResource, OtherFilesAndMissingOrBrokenResourcesHaveNone)
{
    EXPECT_EQ(getFileVersionInfoSize(u"/no/such/program", nullptr), 0u);
    EXPECT_EQ(getLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(getFileVersionInfoSize(executableFile(), nullptr), 0u);
    EXPECT_EQ(getLastError(), ERROR_RESOURCE_TYPE_NOT_FOUND);
    std::vector<std::uint8_t> broken = makeVersionBlock(nullptr);
    broken[0] = 0xFF;  // the root claims more bytes than the resource holds
    broken[1] = 0x7F;
    VersionResourceScope resource(broken);
    EXPECT_EQ(getFileVersionInfoSize(executableFile(), nullptr), 0u);
    EXPECT_EQ(getLastError(), ERROR_RESOURCE_DATA_NOT_FOUND);
}
