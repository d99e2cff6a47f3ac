// Resources linked into this test executable (gp/CMakeLists.txt): "sixteen.bin" of type
// "FIXTURE" and id 7 of type "TESTDATA".
#include <gtest/gtest.h>

#include <string>

#include "gp/src/common/storage/ModuleResources.h"
#include "gp/src/common/storage/ResourceStream.h"
#include "os/kernel/Module.h"
#include "os/kernel/Process.h"
#include "os/kernel/Text.h"

using namespace HA::GP;

namespace {

std::string readAll(IStorage& s)
{
    std::string out(64, '\0');
    out.resize(s.read(out.data(), std::uint32_t(out.size())));
    return out;
}

}  // namespace

TEST(Resources, LookUpByNameOrId)
{
    struct Case {
        const char* name;  // null: by id
        std::uint32_t id;
        const char* type;
        bool found;
        const char* bytes;
        const char* report;
    };
    const Case cases[] = {
        {"sixteen.bin", 0, "FIXTURE", true, "0123456789ABCDEF", ""},
        {"SIXTEEN.Bin", 0, "fixture", true, "0123456789ABCDEF", ""},
        {nullptr, 7, "TESTDATA", true, "\x11\x22\x33\x44", ""},
        {nullptr, 7, "TestData", true, "\x11\x22\x33\x44", ""},
        // The id is cut to 16 bits; the report keeps what was asked.
        {nullptr, 0x10007, "TESTDATA", true, "\x11\x22\x33\x44", ""},
        {"sixteen.bin", 0, "TESTDATA", false, "", "cannot resolve resource: sixteen.bin\n"},
        {"missing.png", 0, "FIXTURE", false, "", "cannot resolve resource: missing.png\n"},
        {nullptr, 8, "TESTDATA", false, "", "cannot resolve resource: TESTDATA 8\n"},
        {nullptr, 7, "FIXTURE", false, "", "cannot resolve resource: FIXTURE 7\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name ? c.name : std::to_string(c.id));
        ResourceStream stream;
        testing::internal::CaptureStderr();
        bool found = c.name ? stream.open(getModuleHandle(), c.name, c.type) : stream.open(getModuleHandle(), c.id, c.type);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), c.report);
        EXPECT_EQ(found, c.found);
        IStorage& s = *stream.getStorage();
        EXPECT_EQ(s.getState(), c.found ? IStorage::StateGood : IStorage::StateClosed);
        EXPECT_EQ(s.getMode(), c.found ? IStorage::ModeRead : IStorage::ModeNone);
        if (c.found) {
            EXPECT_EQ(readAll(s), c.bytes);
            EXPECT_EQ(s.getState(), IStorage::StateFailed);
        }
    }
}

TEST(Resources, RegistriesAreTheFallBack)
{
    static const char named[] = "from the name registry";
    static const char numbered[] = "by type and id";
    registerResource("only-registered.txt", named, sizeof named - 1);
    registerResource("REGISTERED", 12, numbered, sizeof numbered - 1);
    ResourceStream stream;
    testing::internal::CaptureStderr();
    // The name registry ignores the type; the id registry does not.
    EXPECT_TRUE(stream.open(getModuleHandle(), "only-registered.txt", "ANYTHING"));
    EXPECT_EQ(readAll(*stream.getStorage()), named);
    EXPECT_TRUE(stream.open(getModuleHandle(), 12, "REGISTERED"));
    EXPECT_EQ(readAll(*stream.getStorage()), numbered);
    EXPECT_FALSE(stream.open(getModuleHandle(), 12, "OTHER"));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "cannot resolve resource: OTHER 12\n");
}

TEST(Resources, ModuleResourceStream)
{
    testing::internal::CaptureStderr();
    std::unique_ptr<ResourceStream> missing = openModuleResourceStream(99, "TESTDATA", Stream::LittleEndian);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "cannot resolve resource: TESTDATA 99\n");
    EXPECT_EQ(missing, nullptr);
    std::unique_ptr<ResourceStream> word = openModuleResourceStream(7, "TESTDATA", Stream::BigEndian);
    ASSERT_NE(word, nullptr);
    EXPECT_EQ(word->readU32(), 0x11223344u);
    EXPECT_EQ(word->getStorage()->getState(), IStorage::StateEnd);
}

TEST(Resources, ModuleOfTheLibrary)
{
    EXPECT_NE(getModuleHandle(), nullptr);
    EXPECT_EQ(getModuleHandle(), HA::OS::getExecutableModule());
    EXPECT_EQ(getModuleFileName(), HA::OS::utf8ToUtf16(HA::OS::moduleFileName()));
    EXPECT_EQ(&getModuleFileName(), &getModuleFileName());
}
