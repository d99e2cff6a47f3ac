#include <gtest/gtest.h>

#include <cstring>

#include "gp/src/common/storage/MemoryStorage.h"
#include "gp/src/common/storage/Stream.h"

using namespace HA::GP;

TEST(Stream, ByteOrders)
{
    struct Case {
        std::int32_t order;
        std::uint8_t stored[4];
        std::uint16_t firstU16;
    };
    const Case cases[] = {
        {Stream::LittleEndian, {0x44, 0x33, 0x22, 0x11}, 0x3344},
        {Stream::BigEndian, {0x11, 0x22, 0x33, 0x44}, 0x1122},
        // Any order other than 1 is most significant byte first.
        {0, {0x11, 0x22, 0x33, 0x44}, 0x1122},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.order);
        MemoryStorage storage;
        ASSERT_TRUE(storage.create(0, 16, 0));
        Stream s(&storage);
        EXPECT_EQ(s.getByteOrder(), Stream::LittleEndian);
        s.setByteOrder(c.order);
        s.writeU32(0x11223344);
        s.writeU8(0xA5);
        EXPECT_EQ(std::memcmp(storage.getData(), c.stored, 4), 0);
        EXPECT_EQ(storage.getData()[4], 0xA5);
        storage.seek(0, IStorage::SeekBegin);
        EXPECT_EQ(s.readU32(), 0x11223344u);
        EXPECT_EQ(s.readU8(), 0xA5);
        storage.seek(0, IStorage::SeekBegin);
        EXPECT_EQ(s.readU16(), c.firstU16);
    }
}

TEST(Stream, ShortReadShowsInTheState)
{
    const std::uint8_t bytes[3] = {1, 2, 3};
    MemoryStorage storage;
    ASSERT_TRUE(storage.attachReadOnly(bytes, 3));
    Stream s(&storage);
    EXPECT_EQ(s.readU16(), 0x0201);
    EXPECT_EQ(storage.getState(), IStorage::StateGood);
    s.readU32();
    EXPECT_EQ(storage.getState(), IStorage::StateFailed);
    // Read-only bytes are never written.
    storage.seek(0, IStorage::SeekBegin);
    s.writeU8(9);
    EXPECT_EQ(storage.getState(), IStorage::StateFailed);
    EXPECT_EQ(bytes[0], 1);
}
