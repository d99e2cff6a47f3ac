// The range-limiting window, the container-item storage and the memory-mapped storage.
#include <gtest/gtest.h>

#include <string>
#include <sys/stat.h>

#include "gp/src/common/storage/FileContainerItemStorage.h"
#include "gp/src/common/storage/MemoryMappedStorage.h"
#include "gp/src/common/storage/MemoryStorage.h"
#include "gp/src/common/storage/RangeLimitingStorage.h"
#include "gp/tests/TestFiles.h"

using namespace HA::GP;
using HA::GP::TEST::TempFolder;

namespace {

// 200 bytes 0..199 and a 10-byte window at 100.
class Window : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(inner.create(200, 0, 0, MemoryStorage::eGrowth::FixedSize));
        for (int i = 0; i < 200; ++i)
            inner.write(std::string(1, char(i)).data(), 1);
        ASSERT_TRUE(window.open(&inner, 100, 10, RangeLimitingStorage::eOwnership::Borrowed));
    }
    MemoryStorage inner;
    RangeLimitingStorage window;
};

}  // namespace

TEST_F(Window, SeeksInsideTheWindow)
{
    struct Case {
        std::int64_t from;
        std::int64_t offset;
        std::int32_t whence;
        std::int32_t state;
        std::int64_t tell, innerTell;
    };
    const Case cases[] = {
        {0, 3, IStorage::SeekEnd, IStorage::StateGood, 7, 107},
        {0, 0, IStorage::SeekEnd, IStorage::StateEnd, 10, 110},
        {0, 10, IStorage::SeekEnd, IStorage::StateGood, 0, 100},
        {0, 11, IStorage::SeekEnd, IStorage::StateFailed, 0, 100},
        {0, -1, IStorage::SeekBegin, IStorage::StateFailed, 0, 100},
        {0, 4, IStorage::SeekBegin, IStorage::StateGood, 4, 104},
        {4, -2, IStorage::SeekCurrent, IStorage::StateGood, 2, 102},
        {2, -3, IStorage::SeekCurrent, IStorage::StateFailed, -1, 99},
        {0, 20, IStorage::SeekBegin, IStorage::StateFailed, -1, 120},
        // A relative seek from outside the window (state 3) still moves the inner storage.
        {20, -15, IStorage::SeekCurrent, IStorage::StateGood, 5, 105},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.offset << " from " << c.whence);
        window.seek(c.from, IStorage::SeekBegin);
        window.seek(c.offset, c.whence);
        EXPECT_EQ(window.getState(), c.state);
        EXPECT_EQ(window.tell(), c.tell);
        EXPECT_EQ(inner.tell(), c.innerTell);
    }
}

TEST_F(Window, ReadsAndWritesStopAtTheWindowsEnd)
{
    char b[16] = {};
    window.seek(6, IStorage::SeekBegin);
    EXPECT_EQ(window.read(b, 2), 2u);
    EXPECT_EQ(window.getState(), IStorage::StateGood);
    EXPECT_EQ(b[0], 106);
    EXPECT_EQ(window.read(b, 8), 2u);
    EXPECT_EQ(window.getState(), IStorage::StateFailed);
    EXPECT_EQ(window.tell(), 10);
    window.seek(8, IStorage::SeekBegin);
    EXPECT_EQ(window.write("abcd", 4), 2u);
    EXPECT_EQ(window.getState(), IStorage::StateFailed);
    EXPECT_EQ(inner.getData()[109], 'b');
    EXPECT_EQ(inner.getData()[110], 110);
    window.seek(8, IStorage::SeekBegin);
    EXPECT_EQ(window.write("xy", 2), 2u);
    EXPECT_EQ(window.getState(), IStorage::StateEnd);
}

namespace {

struct CountedItem : FileContainerItem {
    explicit CountedItem(int& deaths) : deaths(deaths) {}
    ~CountedItem() override { ++deaths; }
    int& deaths;
};

struct CountedStorage : MemoryStorage {
    explicit CountedStorage(int& deaths) : deaths(deaths) {}
    ~CountedStorage() override { ++deaths; }
    int& deaths;
};

}  // namespace

// What is left from the position: a window longer than the bytes under it cannot reach its
// end, so it cannot tell; the position stays where it was.
TEST(RemainingBytes, CountsToTheEndOrCannotTell)
{
    struct Case {
        const char* name;
        std::uint32_t start;
        std::uint32_t length;
        std::int64_t position;
        std::int64_t expected;
    } cases[] = {
        {"WholeWindow", 0, 0, 0, 200},
        {"FromTheMiddle", 0, 0, 150, 50},
        {"AtTheEnd", 0, 0, 200, 0},
        {"ShortWindow", 100, 10, 4, 6},
        {"WindowBeyondTheBytes", 100, 150, 4, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MemoryStorage inner;
        ASSERT_TRUE(inner.create(200, 0, 0, MemoryStorage::eGrowth::FixedSize));
        ASSERT_EQ(inner.write(std::string(200, 'x').data(), 200), 200u);
        RangeLimitingStorage window;
        ASSERT_TRUE(window.open(&inner, c.start, c.length, RangeLimitingStorage::eOwnership::Borrowed));
        window.seek(c.position, IStorage::SeekBegin);
        EXPECT_EQ(remainingBytes(window), c.expected);
        EXPECT_EQ(window.tell(), c.position);
        EXPECT_TRUE(window.isGoodOrAtEnd());
    }
}

TEST(ContainerItem, ItemAndOwnedInnerStorageGoOnce)
{
    int items = 0, inners = 0;
    {
        FileContainerItemStorage s;
        auto* inner = new CountedStorage(inners);
        ASSERT_TRUE(inner->create(8, 0, 0));
        ASSERT_TRUE(s.open(inner, 2, 4, RangeLimitingStorage::eOwnership::Owned));
        s.setItem(std::make_unique<CountedItem>(items), 5);
        EXPECT_EQ(s.getItemValue(), 5u);
        EXPECT_EQ(s.tell(), 0);
    }
    EXPECT_EQ(items, 1);
    EXPECT_EQ(inners, 1);
}

TEST(MemoryMappedStorage, ReadsWritesAndFlushesTheFile)
{
    TempFolder folder;
    folder.write("m.bin", "mapped bytes");
    folder.write("empty.bin", "");
    ASSERT_EQ(::mkfifo(folder.path("pipe").c_str(), 0600), 0);
    MemoryMappedStorage s;
    for (const char* name : {"empty.bin", "pipe"}) {
        EXPECT_FALSE(s.open(folder.wpath(name), IStorage::ModeRead)) << name;
        EXPECT_EQ(s.getState(), IStorage::StateFailed) << name;
        EXPECT_FALSE(s.isOpen()) << name;
    }
    ASSERT_TRUE(s.open(folder.wpath("m.bin"), IStorage::ModeReadWrite));
    char b[16] = {};
    EXPECT_EQ(s.read(b, 6), 6u);
    EXPECT_EQ(std::string(b, 6), "mapped");
    EXPECT_EQ(s.write("_", 1), 1u);
    s.seek(5, IStorage::SeekEnd);
    EXPECT_EQ(s.tell(), 7);
    EXPECT_EQ(s.write("BYTES!", 6), 0u);
    EXPECT_EQ(s.getState(), IStorage::StateFailed);
    s.seek(0, IStorage::SeekEnd);
    EXPECT_EQ(s.getState(), IStorage::StateEnd);
    EXPECT_EQ(s.read(b, 1), 0u);
    EXPECT_EQ(s.getState(), IStorage::StateFailed);
    s.close();
    EXPECT_EQ(folder.contents("m.bin"), "mapped_BYTES");
    ASSERT_TRUE(s.open(folder.wpath("m.bin"), IStorage::ModeRead));
    EXPECT_EQ(s.write("x", 1), 0u);
    EXPECT_EQ(s.getState(), IStorage::StateFailed);
}
