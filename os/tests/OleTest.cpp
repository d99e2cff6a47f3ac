// Data transfer of the stand-in: global memory, formats, the clipboard, drop-target
// registration, the drag loop under a script, incoming drags and the drag-image service.

#include "os/shell/Ole.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "os/tests/WindowTestSupport.h"

using namespace HA::OS;

namespace {

// Records every call as text.
class FakeTarget : public IDropTarget {
public:
    HRESULT QueryInterface(const GUID&, void**) override { return E_NOINTERFACE; }
    ULONG AddRef() override { return ++refs; }
    ULONG Release() override { return --refs; }
    HRESULT DragEnter(IDataObject*, DWORD keys, POINTL p, DWORD* effect) override
    {
        log.push_back("enter " + text(keys, p, *effect));
        *effect &= answer;
        return S_OK;
    }
    HRESULT DragOver(DWORD keys, POINTL p, DWORD* effect) override
    {
        log.push_back("over " + text(keys, p, *effect));
        *effect &= answer;
        return S_OK;
    }
    HRESULT DragLeave() override
    {
        log.push_back("leave");
        return S_OK;
    }
    HRESULT Drop(IDataObject*, DWORD keys, POINTL p, DWORD* effect) override
    {
        log.push_back("drop " + text(keys, p, *effect));
        *effect &= answer;
        return S_OK;
    }
    static std::string text(DWORD keys, POINTL p, DWORD effect)
    {
        return std::to_string(keys) + " " + std::to_string(p.x) + "," + std::to_string(p.y) + " " +
               std::to_string(effect);
    }
    std::vector<std::string> log;
    ULONG refs = 1;
    DWORD answer = DROPEFFECT_COPY;
};

class FakeSource : public IDropSource {
public:
    HRESULT QueryInterface(const GUID&, void**) override { return E_NOINTERFACE; }
    ULONG AddRef() override { return 2; }
    ULONG Release() override { return 1; }
    HRESULT QueryContinueDrag(BOOL escape, DWORD keys) override
    {
        asked.push_back(escape ? -1 : static_cast<int>(keys));
        if (escape)
            return DRAGDROP_S_CANCEL;
        return (keys & MK_LBUTTON) ? S_OK : DRAGDROP_S_DROP;
    }
    HRESULT GiveFeedback(DWORD) override { return DRAGDROP_S_USEDEFAULTCURSORS; }
    std::vector<int> asked;
};

class OleDrags : public HA::OS::Testing::WindowTest {};

}  // namespace

TEST(GlobalMemory, BlocksAreZeroedSizedAndFreedOnce)
{
    const std::size_t before = globalBlockCount();
    HGLOBAL block = globalAlloc(GMEM_MOVEABLE, 6);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(globalSize(block), 6u);
    auto* p = static_cast<BYTE*>(globalLock(block));
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p[5], 0);
    EXPECT_TRUE(globalUnlock(block));
    EXPECT_EQ(globalBlockCount(), before + 1);
    EXPECT_EQ(globalFree(block), nullptr);
    EXPECT_EQ(globalFree(block), block);
    EXPECT_EQ(globalLock(block), nullptr);
    EXPECT_EQ(globalSize(block), 0u);
    {
        GlobalMemoryFaultScope fault;
        EXPECT_EQ(globalAlloc(GPTR, 4), nullptr);
    }
    EXPECT_EQ(globalBlockCount(), before);
}

TEST(ClipboardFormats, ANameKeepsItsIdFromC000)
{
    const UINT a = registerClipboardFormat("ole-test.a");
    EXPECT_GE(a, 0xC000u);
    EXPECT_EQ(registerClipboardFormat("ole-test.a"), a);
    EXPECT_NE(registerClipboardFormat("ole-test.b"), a);
    EXPECT_EQ(registerClipboardFormat(""), 0u);
}

TEST(Clipboard, EmptyInAScopeAndOffersAnotherProgramsText)
{
    ClipboardScope scope;
    IDataObject* data = reinterpret_cast<IDataObject*>(1);
    EXPECT_EQ(oleGetClipboard(&data), CLIPBRD_E_BAD_DATA);
    EXPECT_EQ(data, nullptr);
    scope.offerText(u"hello");
    ASSERT_EQ(oleGetClipboard(&data), S_OK);
    FORMATETC f{CF_UNICODETEXT, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    EXPECT_EQ(data->QueryGetData(&f), S_OK);
    STGMEDIUM medium{};
    ASSERT_EQ(data->GetData(&f, &medium), S_OK);
    EXPECT_EQ(globalSize(medium.hGlobal), 12u);
    EXPECT_EQ(std::memcmp(globalLock(medium.hGlobal), u"hello", 12), 0);
    globalUnlock(medium.hGlobal);
    releaseStgMedium(&medium);
    f.cfFormat = CF_HDROP;
    EXPECT_EQ(data->QueryGetData(&f), DV_E_FORMATETC);
    data->Release();
    EXPECT_EQ(scope.setCount(), 0);
    EXPECT_EQ(oleSetClipboard(nullptr), S_OK);
    EXPECT_EQ(scope.setCount(), 1);
}

struct tDropFilesCase {
    const char* name;
    std::vector<BYTE> block;
    UINT count;
};

class DropFilesCount : public ::testing::TestWithParam<tDropFilesCase> {};

TEST_P(DropFilesCount, CountsWholeNamesInsideTheBlock)
{
    const std::vector<BYTE>& bytes = GetParam().block;
    HGLOBAL block = globalAlloc(GMEM_MOVEABLE, bytes.size());
    if (!bytes.empty())
        std::memcpy(globalLock(block), bytes.data(), bytes.size());
    EXPECT_EQ(dragQueryFileW(block, 0xFFFFFFFFu, nullptr, 0), GetParam().count);
    globalFree(block);
}

std::vector<BYTE> cut(std::vector<BYTE> bytes, std::size_t drop)
{
    bytes.resize(bytes.size() - drop);
    return bytes;
}

std::vector<BYTE> withOffset(std::vector<BYTE> bytes, BYTE offset)
{
    bytes[0] = offset;
    return bytes;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DropFilesCount,
    ::testing::Values(tDropFilesCase{"TwoWide", foreignFileListBytes({u"C:\\a", u"C:\\bc"}), 2},
                      tDropFilesCase{"TwoNarrow", foreignFileListBytes({u"C:\\a", u"C:\\bc"}, false), 2},
                      tDropFilesCase{"LastNameCut", cut(foreignFileListBytes({u"C:\\a", u"C:\\bc"}), 4), 1},
                      tDropFilesCase{"OffsetPastTheEnd", withOffset(foreignFileListBytes({u"C:\\a"}), 200), 0},
                      tDropFilesCase{"ShortHeader", {20, 0, 0}, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(OleDrags, RegistrationPerWindow)
{
    HWND hwnd = create();
    FakeTarget target;
    EXPECT_EQ(registerDragDrop(nullptr, &target), DRAGDROP_E_INVALIDHWND);
    EXPECT_EQ(registerDragDrop(hwnd, &target), S_OK);
    EXPECT_EQ(target.refs, 2u);
    EXPECT_EQ(registerDragDrop(hwnd, &target), DRAGDROP_E_ALREADYREGISTERED);
    EXPECT_EQ(registeredDropTarget(hwnd), &target);
    EXPECT_EQ(revokeDragDrop(hwnd), S_OK);
    EXPECT_EQ(target.refs, 1u);
    EXPECT_EQ(revokeDragDrop(hwnd), DRAGDROP_E_NOTREGISTERED);
    EXPECT_EQ(registeredDropTarget(hwnd), nullptr);
}

TEST_F(OleDrags, WithoutAScriptADragEndsAtOnceWithoutADrop)
{
    IDataObject* data = createForeignDataObject({});
    FakeSource source;
    DWORD effect = 99;
    EXPECT_EQ(doDragDrop(data, &source, DROPEFFECT_COPY, &effect), DRAGDROP_S_CANCEL);
    EXPECT_EQ(effect, DROPEFFECT_NONE);
    EXPECT_TRUE(source.asked.empty());
    data->Release();
}

TEST_F(OleDrags, TheScriptMovesOverTargetsAndDrops)
{
    HWND a = create();
    HWND b = create();
    FakeTarget ta, tb;
    ASSERT_EQ(registerDragDrop(a, &ta), S_OK);
    ASSERT_EQ(registerDragDrop(b, &tb), S_OK);
    IDataObject* data = createForeignDataObject({});
    FakeSource source;
    DragScript script;
    script.moveTo(a, {1, 2}).moveTo(a, {3, 4}, MK_LBUTTON | MK_SHIFT).moveTo(nullptr, {0, 0}).moveTo(b, {5, 6}).release();
    DWORD effect = 0;
    EXPECT_EQ(doDragDrop(data, &source, DROPEFFECT_COPY | DROPEFFECT_MOVE, &effect), DRAGDROP_S_DROP);
    EXPECT_EQ(effect, DROPEFFECT_COPY);
    EXPECT_EQ(ta.log, (std::vector<std::string>{"enter 1 1,2 3", "over 5 3,4 3", "leave"}));
    EXPECT_EQ(tb.log, (std::vector<std::string>{"enter 1 5,6 3", "drop 0 5,6 3"}));
    EXPECT_EQ(source.asked, (std::vector<int>{1, 5, 1, 1, 0}));
    EXPECT_EQ(script.feedback(), (std::vector<DWORD>{1, 1, 0, 1}));
    EXPECT_EQ(script.dragCount(), 1);
    EXPECT_EQ(ta.refs, 2u);  // only the registration's reference is left
    revokeDragDrop(a);
    revokeDragDrop(b);
    data->Release();
}

TEST_F(OleDrags, EscapeCancelsAndLeavesTheTarget)
{
    HWND a = create();
    FakeTarget ta;
    ASSERT_EQ(registerDragDrop(a, &ta), S_OK);
    IDataObject* data = createForeignDataObject({});
    FakeSource source;
    DragScript script;
    script.moveTo(a, {1, 2}).pressEscape().release();
    DWORD effect = 7;
    EXPECT_EQ(doDragDrop(data, &source, DROPEFFECT_COPY, &effect), DRAGDROP_S_CANCEL);
    EXPECT_EQ(effect, DROPEFFECT_NONE);
    EXPECT_EQ(ta.log, (std::vector<std::string>{"enter 1 1,2 1", "leave"}));
    EXPECT_EQ(source.asked, (std::vector<int>{1, -1}));
    revokeDragDrop(a);
    data->Release();
}

TEST_F(OleDrags, AnIncomingDragTalksToTheWindowsTarget)
{
    HWND a = create();
    HWND none = create();
    FakeTarget ta;
    ta.answer = DROPEFFECT_MOVE;
    ASSERT_EQ(registerDragDrop(a, &ta), S_OK);
    IDataObject* data = createForeignDataObject({{CF_UNICODETEXT, foreignTextBytes(u"x")}});
    {
        IncomingDrag drag(a, data, DROPEFFECT_COPY | DROPEFFECT_MOVE);
        EXPECT_EQ(drag.enter({10, 10}), DROPEFFECT_MOVE);
        EXPECT_EQ(drag.over({11, 10}, MK_LBUTTON | MK_CONTROL), DROPEFFECT_MOVE);
    }
    {
        IncomingDrag drag(a, data, DROPEFFECT_COPY);
        drag.enter({1, 1});
        EXPECT_EQ(drag.drop({1, 1}), DROPEFFECT_NONE);
    }
    {
        IncomingDrag drag(none, data, DROPEFFECT_COPY);
        EXPECT_EQ(drag.enter({1, 1}), DROPEFFECT_NONE);
    }
    EXPECT_EQ(ta.log, (std::vector<std::string>{"enter 1 10,10 3", "over 9 11,10 3", "leave", "enter 1 1,1 1",
                                                "drop 0 1,1 1"}));
    revokeDragDrop(a);
    data->Release();
}

TEST(DragImageService, MadeAfterInitialisationAndItsCallsRecorded)
{
    void* object = nullptr;
    EXPECT_NE(coCreateInstance(CLSID_DragDropHelper, nullptr, CLSCTX_INPROC_SERVER, IID_IDropTargetHelper, &object),
              S_OK);
    ASSERT_EQ(oleInitialize(), S_OK);
    clearDragImageCalls();
    EXPECT_EQ(coCreateInstance(IID_IDataObject, nullptr, CLSCTX_INPROC_SERVER, IID_IDropTargetHelper, &object),
              REGDB_E_CLASSNOTREG);
    EXPECT_EQ(coCreateInstance(CLSID_DragDropHelper, nullptr, CLSCTX_INPROC_SERVER, IID_IDataObject, &object),
              E_NOINTERFACE);
    ASSERT_EQ(coCreateInstance(CLSID_DragDropHelper, nullptr, CLSCTX_INPROC_SERVER, IID_IDropTargetHelper, &object),
              S_OK);
    auto* helper = static_cast<IDropTargetHelper*>(object);
    POINT p{3, 4};
    helper->DragEnter(nullptr, nullptr, &p, 1);
    helper->Show(false);
    helper->DragLeave();
    EXPECT_EQ(dragImageServicesAlive(), 1);
    helper->Release();
    EXPECT_EQ(dragImageServicesAlive(), 0);
    EXPECT_EQ(dragImageCalls(), (std::vector<std::string>{"DragEnter 3,4 1", "Show 0", "DragLeave"}));
    oleUninitialize();
}
