// Clipboard formats, the data object and the clipboard.

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "os/shell/Ole.h"
#include "uia/platform/transfer/DirectDataObject.h"
#include "uia/transfer/ClipBoardFormat.h"
#include "uia/transfer/Clipboard.h"

namespace HA::UIA {
namespace {

std::vector<std::uint8_t> bytesOf(OS::HGLOBAL block)
{
    const auto* p = static_cast<const std::uint8_t*>(OS::globalLock(block));
    std::vector<std::uint8_t> bytes(p, p + OS::globalSize(block));
    OS::globalUnlock(block);
    return bytes;
}

OS::HGLOBAL blockOf(const std::vector<std::uint8_t>& bytes)
{
    OS::HGLOBAL block = OS::globalAlloc(OS::GMEM_MOVEABLE, bytes.size());
    if (!bytes.empty())
        std::memcpy(OS::globalLock(block), bytes.data(), bytes.size());
    OS::globalUnlock(block);
    return block;
}

void put16(std::vector<std::uint8_t>& b, const std::u16string& s)
{
    for (char16_t c : s) {
        b.push_back(static_cast<std::uint8_t>(c & 0xFF));
        b.push_back(static_cast<std::uint8_t>(c >> 8));
    }
    b.push_back(0);
    b.push_back(0);
}

std::vector<std::uint8_t> header(std::uint32_t offset, std::uint32_t wide)
{
    std::vector<std::uint8_t> b(20, 0);
    std::memcpy(b.data(), &offset, 4);
    std::memcpy(b.data() + 16, &wide, 4);
    return b;
}

OS::FORMATETC request(unsigned id, OS::DWORD tymed = OS::TYMED_HGLOBAL)
{
    return {static_cast<OS::CLIPFORMAT>(id), nullptr, OS::DVASPECT_CONTENT, -1, tymed};
}

TEST(ClipBoardFormatIds, NamesGiveThePlatformIdsOrRegisteredOnes)
{
    EXPECT_EQ(getClipboardFormatId("harnwick-acoustics.unicodetext"), 13u);
    EXPECT_EQ(getClipboardFormatId("harnwick-acoustics.filelist"), 15u);
    const unsigned other = getClipboardFormatId("harnwick-acoustics.other");
    EXPECT_GE(other, 0xC000u);
    EXPECT_EQ(getClipboardFormatId("harnwick-acoustics.other"), other);
    InternalClipBoardFormat internal;
    EXPECT_GE(internal.getFormatId(), 0xC000u);
    EXPECT_EQ(InternalClipBoardFormat::formatName().rfind("harnwick-acoustics.application.internalclipboardformat.", 0),
              0u);
    EXPECT_EQ(InternalClipBoardFormat::formatName().size(), std::string("harnwick-acoustics.application."
                                                                        "internalclipboardformat.")
                                                                    .size() +
                                                                36);
}

struct tTextCase {
    const char* name;
    std::vector<std::uint8_t> block;
    std::u16string expected;
};

class TextDecode : public ::testing::TestWithParam<tTextCase> {};

TEST_P(TextDecode, TakesUnitsToTheFirstZeroOrTheEnd)
{
    OS::HGLOBAL block = blockOf(GetParam().block);
    TextClipBoardFormat text;
    EXPECT_TRUE(text.decode(block));
    EXPECT_EQ(text.getText(), GetParam().expected);
    OS::globalFree(block);
}

INSTANTIATE_TEST_SUITE_P(Cases, TextDecode,
                         ::testing::Values(tTextCase{"Terminated", {'a', 0, 'b', 0, 0, 0, 'c', 0}, u"ab"},
                                           tTextCase{"NoZero", {'a', 0, 'b', 0}, u"ab"},
                                           tTextCase{"OddSize", {'a', 0, 'b'}, u"a"},
                                           tTextCase{"Empty", {}, u""}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(TextClipBoardFormat, AbcIsEightBytes)
{
    TextClipBoardFormat text;
    text.setText("abc");
    OS::HGLOBAL block = nullptr;
    ASSERT_TRUE(text.encode(&block));
    EXPECT_EQ(bytesOf(block), (std::vector<std::uint8_t>{'a', 0, 'b', 0, 'c', 0, 0, 0}));
    OS::globalFree(block);
}

TEST(TextClipBoardFormat, NoBlockGrantedIsAFailure)
{
    TextClipBoardFormat text;
    text.setText("abc");
    OS::GlobalMemoryFaultScope fault;
    OS::HGLOBAL block = nullptr;
    EXPECT_FALSE(text.encode(&block));
    FileListClipBoardFormat files;
    EXPECT_FALSE(files.encode(&block));
}

TEST(FileListClipBoardFormat, TwoPathsGiveTheExactDropFilesBytes)
{
    FileListClipBoardFormat files;
    files.files() = {GP::FilePath(std::string("C:\\a.txt")), GP::FilePath(std::string("D:\\dir\\b"))};
    OS::HGLOBAL block = nullptr;
    ASSERT_TRUE(files.encode(&block));
    std::vector<std::uint8_t> expected = header(20, 1);
    put16(expected, files.files()[0].toWide());
    put16(expected, files.files()[1].toWide());
    expected.push_back(0);
    expected.push_back(0);
    EXPECT_EQ(bytesOf(block), expected);
    EXPECT_EQ(OS::dragQueryFileW(block, 0xFFFFFFFFu, nullptr, 0), 2u);

    FileListClipBoardFormat back;
    ASSERT_TRUE(back.decode(block));
    ASSERT_EQ(back.files().size(), 2u);
    EXPECT_EQ(back.files()[0].getFull(), files.files()[0].getFull());
    EXPECT_EQ(back.files()[1].getFull(), files.files()[1].getFull());
    OS::globalFree(block);
}

TEST(FileListClipBoardFormat, EightBitNamesAndAFolderThatGainsABackslash)
{
    const std::string folder = ::testing::TempDir();
    std::string trimmed = folder;
    while (!trimmed.empty() && (trimmed.back() == '/' || trimmed.back() == '\\'))
        trimmed.pop_back();
    std::vector<std::uint8_t> b = header(20, 0);
    for (char c : trimmed)
        b.push_back(static_cast<std::uint8_t>(c));
    b.push_back(0);
    b.push_back(0);
    OS::HGLOBAL block = blockOf(b);
    FileListClipBoardFormat files;
    ASSERT_TRUE(files.decode(block));
    ASSERT_EQ(files.files().size(), 1u);
    EXPECT_EQ(files.files()[0].getFull(), GP::FilePath(trimmed + "\\").getFull());
    OS::globalFree(block);
}

struct tHostileCase {
    const char* name;
    std::vector<std::uint8_t> block;
};

std::vector<std::uint8_t> hostile(std::uint32_t offset, std::vector<std::uint8_t> tail, std::uint32_t wide = 1)
{
    std::vector<std::uint8_t> b = header(offset, wide);
    b.insert(b.end(), tail.begin(), tail.end());
    return b;
}

class FileListHostile : public ::testing::TestWithParam<tHostileCase> {};

TEST_P(FileListHostile, GivesNoListAndStaysInsideTheBlock)
{
    OS::HGLOBAL block = blockOf(GetParam().block);
    FileListClipBoardFormat files;
    files.files().push_back(GP::FilePath(std::string("C:\\old")));
    EXPECT_FALSE(files.decode(block));
    EXPECT_TRUE(files.files().empty());
    OS::globalFree(block);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FileListHostile,
    ::testing::Values(tHostileCase{"ShortHeader", {20, 0, 0, 0, 0, 0}},
                      tHostileCase{"OffsetPastTheEnd", hostile(4000, {'a', 0, 0, 0, 0, 0})},
                      tHostileCase{"OffsetInsideTheHeader", hostile(4, {'a', 0, 0, 0, 0, 0})},
                      tHostileCase{"NoFinalZero", hostile(20, {'a', 0, 0, 0, 'b', 0})},
                      tHostileCase{"NameWithoutItsZero", hostile(20, {'a', 0, 'b', 0})},
                      tHostileCase{"OddSize", hostile(20, {'a', 0, 0, 0, 0})},
                      tHostileCase{"EightBitWithoutEnd", hostile(20, {'a', 'b'}, 0)}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(InternalClipBoardFormat, PointerSizedWordsAndOnlyBlocksOfThatSize)
{
    InternalClipBoardFormat format;
    format.object = 0x1234;
    format.source = InternalClipBoardFormat::processSourceWord();
    OS::HGLOBAL block = nullptr;
    ASSERT_TRUE(format.encode(&block));
    EXPECT_EQ(OS::globalSize(block), 2 * sizeof(void*));
    InternalClipBoardFormat back;
    ASSERT_TRUE(back.decode(block));
    EXPECT_EQ(back.object, 0x1234u);
    EXPECT_EQ(back.source, InternalClipBoardFormat::processSourceWord());
    OS::globalFree(block);

    for (std::size_t size : {std::size_t(0), std::size_t(8), 2 * sizeof(void*) - 1, 2 * sizeof(void*) + 1}) {
        if (size == 2 * sizeof(void*))
            continue;
        OS::HGLOBAL shortBlock = blockOf(std::vector<std::uint8_t>(size, 0xAB));
        EXPECT_FALSE(back.decode(shortBlock)) << size;
        EXPECT_EQ(back.object, 0u);
        OS::globalFree(shortBlock);
    }
}

class DataObjectTest : public ::testing::Test {
protected:
    void SetUp() override { mBlocks = OS::globalBlockCount(); }
    void TearDown() override { EXPECT_EQ(OS::globalBlockCount(), mBlocks); }
    std::size_t mBlocks = 0;
};

TEST_F(DataObjectTest, FindAnswersForEveryKindOfRequest)
{
    TextClipBoardFormat text;
    text.setText("hi");
    DataObjectHolder holder(new DETAIL::DirectDataObject(text));
    OS::IDataObject* object = holder.get();

    OS::FORMATETC f = request(13);
    EXPECT_EQ(object->QueryGetData(&f), OS::S_OK);
    f = request(15);
    EXPECT_EQ(object->QueryGetData(&f), OS::DV_E_FORMATETC);
    f = request(13, OS::TYMED_ISTREAM);
    EXPECT_EQ(object->QueryGetData(&f), OS::DV_E_TYMED);
    OS::DVTARGETDEVICE device{4};
    f = request(13);
    f.ptd = &device;
    EXPECT_EQ(object->QueryGetData(&f), OS::DV_E_DVTARGETDEVICE);
    // GetData answers every failure to find alike.
    OS::STGMEDIUM medium{};
    f = request(15);
    EXPECT_EQ(object->GetData(&f, &medium), OS::DV_E_FORMATETC);
    f = request(13, OS::TYMED_ISTREAM);
    EXPECT_EQ(object->GetData(&f, &medium), OS::DV_E_FORMATETC);
    f = request(13);
    f.ptd = &device;
    EXPECT_EQ(object->GetData(&f, &medium), OS::DV_E_FORMATETC);
    EXPECT_EQ(medium.tymed, OS::TYMED_NULL);
    f = request(15);
    EXPECT_EQ(object->GetDataHere(&f, &medium), OS::DV_E_FORMATETC);

    OS::FORMATETC out{};
    f = request(13);
    EXPECT_EQ(object->GetCanonicalFormatEtc(&f, &out), OS::DATA_S_SAMEFORMATETC);
    f.lindex = 0;
    EXPECT_EQ(object->GetCanonicalFormatEtc(&f, &out), OS::DV_E_LINDEX);
    EXPECT_EQ(object->GetCanonicalFormatEtc(nullptr, &out), OS::DV_E_FORMATETC);

    EXPECT_EQ(object->DAdvise(&f, 0, nullptr, nullptr), OS::OLE_E_ADVISENOTSUPPORTED);
    EXPECT_EQ(object->DUnadvise(1), OS::OLE_E_ADVISENOTSUPPORTED);
    EXPECT_EQ(object->EnumDAdvise(nullptr), OS::OLE_E_ADVISENOTSUPPORTED);
    f = request(13);
    EXPECT_EQ(object->SetData(&f, &medium, false), OS::E_NOTIMPL);

    OS::IEnumFORMATETC* formats = nullptr;
    EXPECT_EQ(object->EnumFormatEtc(OS::DATADIR_SET, &formats), OS::E_NOTIMPL);
    ASSERT_EQ(object->EnumFormatEtc(OS::DATADIR_GET, &formats), OS::S_OK);
    OS::FORMATETC listed[2]{};
    OS::ULONG fetched = 0;
    EXPECT_EQ(formats->Next(2, listed, &fetched), OS::S_FALSE);
    EXPECT_EQ(fetched, 1u);
    EXPECT_EQ(listed[0].cfFormat, 13);
    formats->Release();

    void* unknown = nullptr;
    EXPECT_EQ(object->QueryInterface(OS::IID_IDropTarget, &unknown), OS::E_NOINTERFACE);
    ASSERT_EQ(object->QueryInterface(OS::IID_IUnknown, &unknown), OS::S_OK);
    static_cast<OS::IDataObject*>(unknown)->Release();
}

TEST_F(DataObjectTest, GetDataSharesTheBlockAndAReceiversReleaseNeverFreesIt)
{
    TextClipBoardFormat text;
    text.setText("shared");
    const std::size_t before = OS::globalBlockCount();
    auto* object = new DETAIL::DirectDataObject(text);
    EXPECT_EQ(OS::globalBlockCount(), before + 1);
    object->AddRef();
    OS::FORMATETC f = request(13);
    OS::STGMEDIUM first{}, second{};
    ASSERT_EQ(object->GetData(&f, &first), OS::S_OK);
    ASSERT_EQ(object->GetData(&f, &second), OS::S_OK);
    EXPECT_EQ(first.hGlobal, second.hGlobal);
    EXPECT_EQ(first.pUnkForRelease, static_cast<OS::IUnknown*>(static_cast<OS::IDataObject*>(object)));
    OS::releaseStgMedium(&first);
    OS::releaseStgMedium(&second);
    EXPECT_EQ(OS::globalBlockCount(), before + 1);
    // The block is still whole after both releases.
    TextClipBoardFormat back;
    DataObjectHolder holder(object);
    EXPECT_TRUE(holder.readFormat(back));
    EXPECT_EQ(back.getTextUtf8(), "shared");
    object->Release();  // the test's own reference; the holder keeps the last one
}

TEST_F(DataObjectTest, SetDataReplacesTheMediumAndAFailedEncodeCarriesNothing)
{
    TextClipBoardFormat text;
    {
        OS::GlobalMemoryFaultScope fault;
        DETAIL::DirectDataObject* empty = new DETAIL::DirectDataObject(text);
        DataObjectHolder holder(empty);
        EXPECT_EQ(empty->entryCount(), 0u);
        OS::IEnumFORMATETC* formats = nullptr;
        EXPECT_EQ(empty->EnumFormatEtc(OS::DATADIR_GET, &formats), OS::E_NOTIMPL);
    }
    text.setText("one");
    auto* object = new DETAIL::DirectDataObject(text);
    DataObjectHolder holder(object);
    TextClipBoardFormat other;
    other.setText("two");
    OS::HGLOBAL block = nullptr;
    ASSERT_TRUE(other.encode(&block));
    OS::STGMEDIUM medium{};
    medium.tymed = OS::TYMED_HGLOBAL;
    medium.hGlobal = block;
    OS::FORMATETC f = request(13);
    ASSERT_EQ(object->SetData(&f, &medium, true), OS::S_OK);
    TextClipBoardFormat back;
    ASSERT_TRUE(holder.readFormat(back));
    EXPECT_EQ(back.getTextUtf8(), "two");
    // A medium that releases through the object itself drops that reference.
    OS::STGMEDIUM self{};
    object->GetData(&f, &self);
    OS::HGLOBAL again = nullptr;
    ASSERT_TRUE(other.encode(&again));
    self.hGlobal = again;
    OS::FORMATETC g = request(0xC123);
    ASSERT_EQ(object->SetData(&g, &self, true), OS::S_OK);
    EXPECT_EQ(object->entryCount(), 2u);
}

TEST(Clipboard, SetGetAndAnotherProgramsData)
{
    OS::ClipboardScope clipboard;
    TextClipBoardFormat text;
    EXPECT_FALSE(Clipboard::getData(text));

    text.setText("grüße");
    Clipboard::setData(text);
    EXPECT_EQ(clipboard.setCount(), 1);
    TextClipBoardFormat back;
    ASSERT_TRUE(Clipboard::getData(back));
    EXPECT_EQ(back.getTextUtf8(), "grüße");
    FileListClipBoardFormat files;
    EXPECT_FALSE(Clipboard::getData(files));

    clipboard.offerText(u"from elsewhere");
    ASSERT_TRUE(Clipboard::getData(back));
    EXPECT_EQ(back.getTextUtf8(), "from elsewhere");

    clipboard.offerFileList({u"C:\\x.bin", u"C:\\y.bin"}, false);
    ASSERT_TRUE(Clipboard::getData(files));
    ASSERT_EQ(files.files().size(), 2u);
    EXPECT_EQ(files.files()[1].getFull(), GP::FilePath(std::string("C:\\y.bin")).getFull());
}

}  // namespace
}  // namespace HA::UIA
