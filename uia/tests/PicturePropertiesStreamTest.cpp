#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "gp/src/common/storage/MemoryStorage.h"
#include "gp/src/common/storage/RangeLimitingStorage.h"
#include "gp/src/common/storage/Stream.h"
#include "uia/graphics/picture/PictureProperties.h"

namespace HA::UIA {
namespace {

PictureProperties sample()
{
    PictureProperties p;
    p.setHasAlpha(true);
    p.setFrameLayout(2);
    p.setFrameCount(0xFFFFFFF0u);
    p.setVerticalMarginsEnabled(true);
    p.setTopMargin(1);
    p.setBottomMargin(-2);
    p.setLeftMargin(3);
    p.setRightMargin(0x01020304);
    return p;
}

void expectSame(const PictureProperties& a, const PictureProperties& b)
{
    EXPECT_EQ(a.hasAlpha(), b.hasAlpha());
    EXPECT_EQ(a.getFrameLayout(), b.getFrameLayout());
    EXPECT_EQ(a.getFrameCount(), b.getFrameCount());
    EXPECT_EQ(a.getMarginFlags(), b.getMarginFlags());
    EXPECT_EQ(a.getTopMargin(), b.getTopMargin());
    EXPECT_EQ(a.getBottomMargin(), b.getBottomMargin());
    EXPECT_EQ(a.getLeftMargin(), b.getLeftMargin());
    EXPECT_EQ(a.getRightMargin(), b.getRightMargin());
}

TEST(PicturePropertiesStreamTest, LayoutInBothByteOrders)
{
    for (int32_t order : {GP::Stream::LittleEndian, GP::Stream::BigEndian}) {
        SCOPED_TRACE(order);
        GP::MemoryStorage storage;
        ASSERT_TRUE(storage.create(0, 64, 0));
        GP::Stream stream(&storage);
        stream.setByteOrder(order);
        ASSERT_TRUE(sample().write(stream));
        ASSERT_EQ(storage.tell(), 33);
        const uint8_t* b = storage.getData();
        const bool little = order == GP::Stream::LittleEndian;
        auto word = [&](int offset) {
            uint32_t v = 0;
            for (int i = 0; i < 4; ++i)
                v |= uint32_t(b[offset + i]) << (little ? 8 * i : 24 - 8 * i);
            return v;
        };
        EXPECT_EQ(word(0), 1u);
        EXPECT_EQ(b[4], 1);
        EXPECT_EQ(word(5), 2u);
        EXPECT_EQ(word(9), 0xFFFFFFF0u);
        EXPECT_EQ(word(13), 1u);
        EXPECT_EQ(word(17), 1u);
        EXPECT_EQ(word(21), uint32_t(-2));
        EXPECT_EQ(word(25), 3u);
        EXPECT_EQ(word(29), 0x01020304u);

        // Reading restores every field; the version word is read and ignored.
        storage.seek(0, GP::IStorage::SeekBegin);
        stream.writeU32(77);
        storage.seek(0, GP::IStorage::SeekBegin);
        PictureProperties back;
        ASSERT_TRUE(back.read(stream));
        expectSame(back, sample());
    }
}

TEST(PicturePropertiesStreamTest, FailingStreamsChangeNothing)
{
    GP::MemoryStorage full;
    ASSERT_TRUE(full.create(0, 64, 0));
    GP::Stream writer(&full);
    ASSERT_TRUE(sample().write(writer));
    const std::vector<uint8_t> bytes(full.getData(), full.getData() + 33);

    PictureProperties untouched;
    untouched.setLeftMargin(9);
    auto expectUnchanged = [&](const PictureProperties& p) {
        EXPECT_EQ(p.getLeftMargin(), 9);
        EXPECT_FALSE(p.hasAlpha());
        EXPECT_EQ(p.getFrameLayout(), 1);
    };

    {  // One byte short.
        GP::MemoryStorage storage;
        ASSERT_TRUE(storage.attachReadOnly(bytes.data(), 32));
        GP::Stream stream(&storage);
        PictureProperties p;
        p.setLeftMargin(9);
        EXPECT_FALSE(p.read(stream));
        expectUnchanged(p);
    }
    {  // A window shorter than the record keeps its own state on a short read.
        GP::MemoryStorage inner;
        ASSERT_TRUE(inner.attachReadOnly(bytes.data(), 33));
        GP::RangeLimitingStorage window;
        ASSERT_TRUE(window.open(&inner, 0, 20, GP::RangeLimitingStorage::eOwnership::Borrowed));
        GP::Stream stream(&window);
        PictureProperties p;
        p.setLeftMargin(9);
        EXPECT_FALSE(p.read(stream));
        expectUnchanged(p);
    }
    {  // A storage that already failed, a closed one and none at all.
        GP::MemoryStorage storage;
        ASSERT_TRUE(storage.attachReadOnly(bytes.data(), 33));
        storage.seek(-1, GP::IStorage::SeekBegin);
        ASSERT_EQ(storage.getState(), GP::IStorage::StateFailed);
        GP::Stream failed(&storage);
        GP::MemoryStorage closed;
        GP::Stream onClosed(&closed);
        GP::Stream none;
        for (GP::Stream* stream : {&failed, &onClosed, &none}) {
            PictureProperties p;
            p.setLeftMargin(9);
            EXPECT_FALSE(p.read(*stream));
            expectUnchanged(p);
        }
    }
}

TEST(PicturePropertiesStreamTest, RefusedWritesAreReported)
{
    GP::MemoryStorage small;
    ASSERT_TRUE(small.create(20, 0, 0, GP::MemoryStorage::eGrowth::FixedSize));
    GP::Stream stream(&small);
    EXPECT_FALSE(sample().write(stream));

    const uint8_t bytes[40] = {};
    GP::MemoryStorage readOnly;
    ASSERT_TRUE(readOnly.attachReadOnly(bytes, sizeof bytes));
    GP::Stream onReadOnly(&readOnly);
    EXPECT_FALSE(sample().write(onReadOnly));
    GP::Stream none;
    EXPECT_FALSE(sample().write(none));
}

}  // namespace
}  // namespace HA::UIA
