#include <gtest/gtest.h>

#include <string>
#include <sys/stat.h>

#include "gp/src/common/storage/FileStorage.h"
#include "gp/src/common/storage/FileStream.h"
#include "gp/tests/TestFiles.h"
#include "os/kernel/Clock.h"

using namespace HA::GP;
using HA::GP::TEST::TempFolder;

TEST(FileStorage, OpenOutcomes)
{
    TempFolder folder;
    folder.write("present.txt", "abc");
    std::filesystem::create_directory(folder.path("sub"));
    // A pipe with nobody at its other end: an open that waited would never come back.
    ASSERT_EQ(::mkfifo(folder.path("pipe").c_str(), 0600), 0);
    std::filesystem::create_symlink(folder.path("pipe"), folder.path("pipeLink"));
    std::filesystem::create_symlink("/dev/zero", folder.path("zero"));
    struct Case {
        const char* name;
        std::int32_t mode;
        bool opened;
        std::int32_t state;
        std::int64_t size;
    };
    const Case cases[] = {
        {"present.txt", IStorage::ModeRead, true, IStorage::StateGood, 3},
        {"present.txt", IStorage::ModeReadWrite, true, IStorage::StateGood, 3},
        {"sub", IStorage::ModeRead, false, IStorage::StateClosed, 0},
        {"pipe", IStorage::ModeRead, false, IStorage::StateClosed, 0},
        {"pipe", IStorage::ModeWrite, false, IStorage::StateClosed, 0},
        {"pipe", IStorage::ModeReadWrite, false, IStorage::StateClosed, 0},
        {"pipeLink", IStorage::ModeRead, false, IStorage::StateClosed, 0},
        {"zero", IStorage::ModeRead, false, IStorage::StateClosed, 0},
        {"zero", IStorage::ModeWrite, false, IStorage::StateClosed, 0},
        {"missing.txt", IStorage::ModeRead, false, IStorage::StateFailed, 0},
        {"missing.txt", IStorage::ModeReadWrite, false, IStorage::StateFailed, 0},
        {"missing/deeper.txt", IStorage::ModeWrite, false, IStorage::StateFailed, 0},
        {"present.txt", 4, false, IStorage::StateClosed, 0},
        {"created.txt", IStorage::ModeWrite, true, IStorage::StateGood, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FileStorage s;
        EXPECT_EQ(s.open(folder.wpath(c.name), c.mode), c.opened);
        EXPECT_EQ(s.getState(), c.state);
        EXPECT_EQ(s.getSize(), c.size);
        EXPECT_EQ(s.isOpen(), c.state != IStorage::StateClosed);
    }
    EXPECT_EQ(folder.contents("present.txt"), "abc");
}

TEST(FileStorage, WritingEmptiesAndReopeningClosesFirst)
{
    TempFolder folder;
    folder.write("a.txt", "old contents");
    FileStorage s;
    ASSERT_TRUE(s.open(folder.wpath("a.txt"), IStorage::ModeWrite));
    EXPECT_EQ(s.write("new", 3), 3u);
    EXPECT_EQ(s.read(nullptr, 0), 0u);
    ASSERT_TRUE(s.open(folder.wpath("a.txt"), IStorage::ModeRead));
    char b[8] = {};
    EXPECT_EQ(s.read(b, 3), 3u);
    EXPECT_EQ(s.getState(), IStorage::StateEnd);
    EXPECT_EQ(std::string(b, 3), "new");
    // A read-only file refuses writes.
    EXPECT_EQ(s.write("x", 1), 0u);
    EXPECT_EQ(s.getState(), IStorage::StateFailed);
}

TEST(FileStorage, LongReadsBypassTheReadAhead)
{
    TempFolder folder;
    std::string big(10000, '\0');
    for (std::size_t i = 0; i < big.size(); ++i)
        big[i] = char('a' + i % 26);
    folder.write("big.bin", big);
    FileStorage s;
    ASSERT_TRUE(s.open(folder.wpath("big.bin"), IStorage::ModeRead));
    std::string got(big.size(), '\0');
    EXPECT_EQ(s.read(got.data(), 3), 3u);
    EXPECT_EQ(s.read(got.data() + 3, 9000), 9000u);
    EXPECT_EQ(s.read(got.data() + 9003, 997), 997u);
    EXPECT_EQ(s.getState(), IStorage::StateEnd);
    EXPECT_EQ(got, big);
}

class FileLocks : public ::testing::Test {
protected:
    HA::OS::ManualClockScope clock;
    TempFolder folder;
    void SetUp() override { folder.write("locked.bin", "precious"); }
    HA::OS::WString path() const { return folder.wpath("locked.bin"); }
};

TEST_F(FileLocks, TwoHandlesOfOneProcessConflict)
{
    FileStorage holder;
    ASSERT_TRUE(holder.open(path(), IStorage::ModeReadWrite, FileStorage::LockExclusive));
    struct Case {
        std::int32_t mode, lock;
        bool opened;
    };
    const Case cases[] = {
        {IStorage::ModeRead, FileStorage::LockExclusive, false},
        {IStorage::ModeReadWrite, FileStorage::LockExclusive, false},
        // Opening the locked file for writing with a lock must not empty it.
        {IStorage::ModeWrite, FileStorage::LockExclusive, false},
        {IStorage::ModeWrite, FileStorage::LockNone, false},
        {IStorage::ModeRead, FileStorage::LockNone, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "mode " << c.mode << " lock " << c.lock);
        FileStorage other;
        EXPECT_EQ(other.open(path(), c.mode, c.lock), c.opened);
        EXPECT_EQ(other.getState(), c.opened ? IStorage::StateGood : IStorage::StateFailed);
    }
    EXPECT_EQ(folder.contents("locked.bin"), "precious");
    // The lock is mandatory: another handle cannot read the locked bytes...
    FileStorage reader;
    ASSERT_TRUE(reader.open(path(), IStorage::ModeRead));
    char b[8] = {};
    EXPECT_EQ(reader.read(b, 8), 0u);
    EXPECT_EQ(reader.getState(), IStorage::StateFailed);
    // ...while the holder can.
    EXPECT_EQ(holder.read(b, 8), 8u);
    holder.close();
    reader.seek(0, IStorage::SeekBegin);
    EXPECT_EQ(reader.read(b, 8), 8u);
    EXPECT_EQ(std::string(b, 8), "precious");
    FileStorage again;
    EXPECT_TRUE(again.open(path(), IStorage::ModeRead, FileStorage::LockExclusive));
}

TEST_F(FileLocks, AWaitingLockIsGrantedWhenTheHolderCloses)
{
    FileStorage holder;
    ASSERT_TRUE(holder.open(path(), IStorage::ModeReadWrite, FileStorage::LockExclusive));
    HA::OS::Clock::scheduleAfter(250, [&] { holder.close(); });
    FileStream waiter;
    ASSERT_TRUE(waiter.open(path(), IStorage::ModeWrite, FileStorage::LockExclusiveWait));
    EXPECT_EQ(HA::OS::Clock::now(), 250);
    EXPECT_FALSE(holder.isOpen());
    // Emptied only once the lock was granted.
    EXPECT_EQ(waiter.getFileStorage().getSize(), 0);
    waiter.writeU32(0x64636261);
    waiter.close();
    EXPECT_EQ(folder.contents("locked.bin"), "abcd");
}

TEST(FileStorage, TakesThePlatformsFormOfAPath)
{
    TempFolder folder;
    folder.write("present.txt", "abc");
    FilePath parsed(folder.path("present.txt"));
    FileStorage s;
    ASSERT_TRUE(s.open(parsed.toWide(), IStorage::ModeRead));
    EXPECT_EQ(s.getFilePath().getName(), "present");
    EXPECT_EQ(s.getFilePath().getExtension(), ".txt");
    s.close();
    EXPECT_TRUE(s.getFilePath().isEmpty());
}
