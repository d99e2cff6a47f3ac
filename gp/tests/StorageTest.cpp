// One table of operations run over the memory, resource and file storages of the same
// sixteen bytes (the resource is linked into this test executable).
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "gp/src/common/storage/FileStorage.h"
#include "gp/src/common/storage/MemoryStorage.h"
#include "gp/src/common/storage/ResourceStorage.h"
#include "gp/tests/TestFiles.h"

using namespace HA::GP;
using HA::GP::TEST::TempFolder;

namespace {

const std::string kFixture = "0123456789ABCDEF";

enum eKind { Memory, Resource, File };

struct MemoryKind {
    static constexpr eKind kind = Memory;
    std::string bytes = kFixture;
    std::unique_ptr<IStorage> open()
    {
        auto s = std::make_unique<MemoryStorage>();
        EXPECT_TRUE(s->attach(bytes.data(), std::uint32_t(bytes.size()), IStorage::ModeReadWrite));
        return s;
    }
    std::string contents() const { return bytes; }
};

struct ResourceKind {
    static constexpr eKind kind = Resource;
    std::unique_ptr<IStorage> open()
    {
        auto s = std::make_unique<ResourceStorage>();
        EXPECT_TRUE(s->open(nullptr, "SIXTEEN.BIN", "fixture"));
        return s;
    }
    std::string contents() const { return kFixture; }
};

struct FileKind {
    static constexpr eKind kind = File;
    TempFolder folder;
    std::unique_ptr<IStorage> open()
    {
        folder.write("f.bin", kFixture);
        auto s = std::make_unique<FileStorage>();
        EXPECT_TRUE(s->open(folder.wpath("f.bin"), IStorage::ModeReadWrite));
        return s;
    }
    std::string contents() const { return folder.contents("f.bin"); }
};

enum eOp { Read, Write, Seek };

struct Expect {
    std::int64_t count;  // bytes moved; -1 for a seek
    std::int32_t state;
    std::int64_t position;
};

struct Row {
    eOp op;
    std::int64_t arg;  // count, or offset of a seek
    std::int32_t whence;
    const char* bytes;  // what a read returns or a write writes
    Expect expect[3];   // memory, resource, file
};

#define SAME(c, s, p) {{c, s, p}, {c, s, p}, {c, s, p}}

// clang-format off
const Row kRows[] = {
    {Read, 4, 0, "0123", SAME(4, 1, 4)},
    {Seek, 2, IStorage::SeekCurrent, nullptr, SAME(-1, 1, 6)},
    {Read, 10, 0, "6789ABCDEF", SAME(10, 2, 16)},
    // A file that reached its end stays there until the next read.
    {Seek, 0, IStorage::SeekBegin, nullptr, {{-1, 1, 0}, {-1, 1, 0}, {-1, 2, 0}}},
    {Read, 16, 0, "0123456789ABCDEF", SAME(16, 2, 16)},
    {Read, 1, 0, "", SAME(0, 3, 16)},
    // A relative seek in state 3 does nothing; reads and writes are refused.
    {Seek, -8, IStorage::SeekCurrent, nullptr, SAME(-1, 3, 16)},
    {Read, 1, 0, "", SAME(0, 3, 16)},
    {Seek, -1, IStorage::SeekBegin, nullptr, SAME(-1, 3, 16)},
    // A successful absolute seek restores the state; a file only ever to 1.
    {Seek, 0, IStorage::SeekEnd, nullptr, {{-1, 2, 16}, {-1, 2, 16}, {-1, 1, 16}}},
    {Seek, -4, IStorage::SeekEnd, nullptr, SAME(-1, 1, 12)},
    {Read, 8, 0, "CDEF", SAME(4, 3, 16)},
    {Seek, 3, IStorage::SeekBegin, nullptr, SAME(-1, 1, 3)},
    {Read, 2, 0, "34", SAME(2, 1, 5)},
    // A write right after a read; resources are read-only.
    {Write, 2, 0, "xy", {{2, 1, 7}, {0, 3, 5}, {2, 1, 7}}},
    {Seek, 4, IStorage::SeekBegin, nullptr, SAME(-1, 1, 4)},
    {Read, 4, 0, nullptr, SAME(4, 1, 8)},
    {Write, 1, 0, "z", {{1, 1, 9}, {0, 3, 8}, {1, 1, 9}}},
    // Writing past the end: a borrowed block cannot grow, a file grows.
    {Seek, -1, IStorage::SeekEnd, nullptr, SAME(-1, 1, 15)},
    {Write, 2, 0, "!?", {{1, 3, 16}, {0, 3, 15}, {2, 1, 17}}},
};
// clang-format on

}  // namespace

template <class T>
class StorageTable : public ::testing::Test {
protected:
    T fixture;
};

using StorageKinds = ::testing::Types<MemoryKind, ResourceKind, FileKind>;
TYPED_TEST_SUITE(StorageTable, StorageKinds);

TYPED_TEST(StorageTable, OperationsGiveCountStateAndPosition)
{
    std::unique_ptr<IStorage> s = this->fixture.open();
    ASSERT_EQ(s->getState(), IStorage::StateGood);
    EXPECT_EQ(s->tell(), 0);
    int line = 0;
    for (const Row& row : kRows) {
        ++line;
        const Expect& e = row.expect[TypeParam::kind];
        char buffer[32] = {};
        std::int64_t count = -1;
        if (row.op == Read)
            count = s->read(buffer, std::uint32_t(row.arg));
        else if (row.op == Write)
            count = s->write(row.bytes, std::uint32_t(row.arg));
        else
            s->seek(row.arg, row.whence);
        EXPECT_EQ(count, e.count) << "row " << line;
        EXPECT_EQ(s->getState(), e.state) << "row " << line;
        EXPECT_EQ(s->tell(), e.position) << "row " << line;
        if (row.op == Read) {
            const char* bytes = row.bytes ? row.bytes : TypeParam::kind == Resource ? "4567" : "4xy7";
            EXPECT_EQ(std::string(buffer, std::size_t(count)), bytes) << "row " << line;
        }
    }
    s.reset();
    const char* after[] = {"01234xy7z9ABCDE!", kFixture.c_str(), "01234xy7z9ABCDE!?"};
    EXPECT_EQ(this->fixture.contents(), after[TypeParam::kind]);
}

TYPED_TEST(StorageTable, HugeCountsAreCutWithoutWrapping)
{
    std::unique_ptr<IStorage> s = this->fixture.open();
    char buffer[16] = {};
    s->seek(4, IStorage::SeekBegin);
    // 4 + 0xFFFFFFFF wraps to 3 in 32 bits: the cut must not be fooled by it.
    EXPECT_EQ(s->read(buffer, 0xFFFFFFFFu), 12u);
    EXPECT_EQ(s->getState(), IStorage::StateFailed);
    EXPECT_EQ(std::string(buffer, 12), "456789ABCDEF");
    EXPECT_EQ(s->tell(), 16);
}

TEST(MemoryStorage, GrowthByStepOrFactor)
{
    struct Case {
        std::uint32_t size, step;
        float factor;
        MemoryStorage::eGrowth growth;
        std::uint32_t position, write;
        std::uint32_t written, sizeAfter;
        std::int32_t state;
    };
    const Case cases[] = {
        {0, 4096, 0, MemoryStorage::eGrowth::Growable, 0, 10, 10, 4096, IStorage::StateGood},
        {4096, 4096, 0, MemoryStorage::eGrowth::Growable, 4090, 10, 10, 8192, IStorage::StateGood},
        {0, 0, 2.0f, MemoryStorage::eGrowth::Growable, 0, 10, 10, 10, IStorage::StateEnd},
        {4, 0, 2.0f, MemoryStorage::eGrowth::Growable, 0, 10, 10, 12, IStorage::StateGood},
        {1, 0, 0.5f, MemoryStorage::eGrowth::Growable, 0, 10, 10, 10, IStorage::StateEnd},
        {8, 0, 0.0f, MemoryStorage::eGrowth::Growable, 4, 10, 4, 8, IStorage::StateFailed},
        {8, 16, 0, MemoryStorage::eGrowth::FixedSize, 4, 10, 4, 8, IStorage::StateFailed},
    };
    const std::string bytes(32, 'w');
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "size " << c.size << " step " << c.step << " factor " << c.factor);
        MemoryStorage s;
        ASSERT_TRUE(s.create(c.size, c.step, c.factor, c.growth));
        s.seek(c.position, IStorage::SeekBegin);
        EXPECT_EQ(s.write(bytes.data(), c.write), c.written);
        EXPECT_EQ(s.getSize(), c.sizeAfter);
        EXPECT_EQ(s.getState(), c.state);
        EXPECT_EQ(s.tell(), std::int64_t(c.position + c.written));
        // Grown bytes that nothing wrote read as zero.
        for (std::uint32_t i = c.position + c.written; i < s.getSize(); ++i)
            ASSERT_EQ(s.getData()[i], 0) << "byte " << i;
        for (std::uint32_t i = c.position; i < c.position + c.written; ++i)
            ASSERT_EQ(s.getData()[i], 'w') << "byte " << i;
    }
}

TEST(MemoryStorage, BorrowedBlockCutsTheWriteToWhatFits)
{
    char block[8] = "abcdefg";
    MemoryStorage s;
    ASSERT_TRUE(s.attach(block, 8, IStorage::ModeReadWrite));
    s.seek(6, IStorage::SeekBegin);
    EXPECT_EQ(s.write("XYZ", 3), 2u);
    EXPECT_EQ(s.getState(), IStorage::StateFailed);
    EXPECT_EQ(std::string(block, 8), std::string("abcdefXY", 8));
}

TEST(MemoryStorage, ClosedStorageRefusesEverything)
{
    MemoryStorage s;
    char b[4];
    EXPECT_FALSE(s.isOpen());
    EXPECT_EQ(s.read(b, 4), 0u);
    EXPECT_EQ(s.write(b, 4), 0u);
    EXPECT_EQ(s.tell(), -1);
    s.seek(0, IStorage::SeekBegin);
    EXPECT_EQ(s.getState(), IStorage::StateClosed);
}
