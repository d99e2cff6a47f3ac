// Drags over our windows, our own outgoing drags and the process's drag-and-drop delegate.

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "os/shell/Ole.h"
#include "uia/graphics/picture/Picture.h"
#include "uia/platform/transfer/DirectDataObject.h"
#include "uia/tests/WindowTestSupport.h"
#include "uia/transfer/ClipBoardFormat.h"
#include "uia/transfer/DragDrop.h"

namespace HA::UIA {
namespace {

using TEST::FrameworkWindowTest;
using TEST::RecordingWindow;

class RecordingTarget : public EventTarget {
public:
    bool onEvent(int code, void*) override
    {
        events.push_back(code);
        return true;
    }
    void onNotify(int code, void*) override { notified.push_back(code); }
    std::vector<int> events;
    std::vector<int> notified;
};

// A drag's object: its second 32-bit field is its type id, as drag objects are laid out.
struct DragObject {
    std::int32_t tag = 7;
    std::int32_t typeId = 0;
};

class DragDropTest : public FrameworkWindowTest {
protected:
    void SetUp() override
    {
        FrameworkWindowTest::SetUp();
        DragDrop::setDelegate(new WindowingDragDropDelegate);
        OS::clearDragImageCalls();
        WindowDescriptor d = TEST::mainDescriptor();
        d.styleFlags |= WindowDescriptor::kAcceptDrops;
        ASSERT_TRUE(window.create(d));
        ASSERT_NE(OS::registeredDropTarget(window.hwnd()), nullptr);
    }
    void TearDown() override
    {
        DragDrop::setDelegate(nullptr);
        FrameworkWindowTest::TearDown();
    }
    OS::POINT screen(int x, int y)
    {
        OS::POINT p{x, y};
        OS::clientToScreen(window.hwnd(), p);
        return p;
    }
    // The window takes offers for `target` with `effect` (or gives the target list only).
    void accept(EventTarget* target, int effect, bool asAcceptor = true)
    {
        window.handler = [=](RecordingWindow&, int code, void* data) -> std::optional<bool> {
            if (code != kEventDragOver)
                return std::nullopt;
            auto* record = static_cast<DragEventData*>(data);
            lastPoint = {record->x, record->y};
            lastModifiers = record->modifiers;
            lastText = DragDrop::getDelegate().getText(record).value_or("");
            if (asAcceptor)
                record->acceptor = target;
            else
                record->targets.push_back(target);
            record->effect = effect;
            return true;
        };
    }

    RecordingWindow window;
    OS::POINT lastPoint{-1, -1};
    std::uint32_t lastModifiers = 0;
    std::string lastText;
};

OS::IDataObject* textData(const std::u16string& text)
{
    return OS::createForeignDataObject({{OS::CF_UNICODETEXT, OS::foreignTextBytes(text)}});
}

TEST_F(DragDropTest, AnAcceptorTakesTheDrop)
{
    RecordingTarget target;
    accept(&target, 1);
    OS::IDataObject* data = textData(u"dropped");
    {
        OS::IncomingDrag drag(window.hwnd(), data, 3);
        EXPECT_EQ(drag.enter(screen(5, 6), OS::MK_LBUTTON | OS::MK_SHIFT), 1u);
        EXPECT_EQ(lastPoint.x, 5);
        EXPECT_EQ(lastPoint.y, 6);
        EXPECT_EQ(lastModifiers, kModifierShift);
        EXPECT_EQ(lastText, "dropped");
        EXPECT_EQ(drag.over(screen(7, 8), OS::MK_LBUTTON | OS::MK_CONTROL | OS::MK_ALT), 1u);
        EXPECT_EQ(lastModifiers, kModifierControl | kModifierAlt);
        EXPECT_TRUE(target.events.empty());
        EXPECT_EQ(drag.drop(screen(7, 8)), 1u);
    }
    data->Release();
    EXPECT_EQ(target.events, (std::vector<int>{kEventDrop, kEventDragLeave}));
    EXPECT_EQ(window.count(kEventDragOver), 2);
    const std::vector<std::string> calls = OS::dragImageCalls();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].rfind("DragEnter ", 0), 0u);
    EXPECT_EQ(calls[1].rfind("DragOver ", 0), 0u);
    EXPECT_EQ(calls[2].rfind("Drop ", 0), 0u);
}

TEST_F(DragDropTest, TheScrollEffectWithATargetListMakesTheFirstTargetCurrentWithNoEffect)
{
    RecordingTarget target;
    accept(&target, static_cast<int>(0x80000000u), false);
    OS::IDataObject* data = textData(u"x");
    {
        OS::IncomingDrag drag(window.hwnd(), data, 1);
        EXPECT_EQ(drag.enter(screen(1, 1)), 0x80000000u);
        // The list of the first offer hears the second one.
        EXPECT_EQ(drag.over(screen(2, 2)), 0x80000000u);
        EXPECT_EQ(target.notified, (std::vector<int>{kEventDragOver}));
        // Accepted with effect 0: no drop event, but the target hears the end.
        EXPECT_EQ(drag.drop(screen(2, 2)), 0u);
    }
    data->Release();
    EXPECT_EQ(target.events, (std::vector<int>{kEventDragLeave}));
}

TEST_F(DragDropTest, ADropWithoutACurrentTargetEndsTheDragForTheListeners)
{
    RecordingTarget listener;
    accept(&listener, 1, false);
    OS::IDataObject* data = textData(u"x");
    {
        OS::IncomingDrag drag(window.hwnd(), data, 1);
        EXPECT_EQ(drag.enter(screen(1, 1)), 1u);
        // No acceptor and no scroll effect: nothing is current, nothing is dropped.
        EXPECT_EQ(drag.drop(screen(1, 1)), 0u);
    }
    data->Release();
    EXPECT_TRUE(listener.events.empty());
    // Its leave actions run from this notice, as they do when the drag leaves the window.
    EXPECT_EQ(listener.notified, (std::vector<int>{kEventDragLeave}));
}

TEST_F(DragDropTest, LeavingAndRefusingTellTheTargetThatStopsBeingCurrent)
{
    RecordingTarget target;
    accept(&target, 2);
    OS::IDataObject* data = textData(u"x");
    {
        OS::IncomingDrag drag(window.hwnd(), data, 3);
        EXPECT_EQ(drag.enter(screen(1, 1)), 2u);
        // The window stops taking the offer: the old target hears it at once.
        window.handler = [](RecordingWindow&, int, void*) -> std::optional<bool> { return false; };
        EXPECT_EQ(drag.over(screen(3, 3)), 0u);
        EXPECT_EQ(target.events, (std::vector<int>{kEventDragLeave}));
        accept(&target, 2);
        EXPECT_EQ(drag.over(screen(4, 4)), 2u);
        drag.leave();
    }
    data->Release();
    EXPECT_EQ(target.events, (std::vector<int>{kEventDragLeave, kEventDragLeave}));
}

TEST_F(DragDropTest, AnInProcessObjectOfAnotherOwnerIsRefused)
{
    RecordingTarget target;
    accept(&target, 1);
    InternalClipBoardFormat internal;
    std::vector<OS::BYTE> words(2 * sizeof(std::uintptr_t), 0x5A);
    OS::IDataObject* data =
        OS::createForeignDataObject({{static_cast<OS::CLIPFORMAT>(internal.getFormatId()), words}});
    {
        OS::IncomingDrag drag(window.hwnd(), data, 1);
        EXPECT_EQ(drag.enter(screen(1, 1)), 0u);
        EXPECT_EQ(drag.drop(screen(1, 1)), 0u);
    }
    data->Release();
    EXPECT_EQ(window.count(kEventDragOver), 0);
    EXPECT_TRUE(target.events.empty());
}

struct tOutgoingCase {
    const char* name;
    int steps;  // 0 escape, 1 released nowhere, 2 released over our window, 3 no script
    int expected;
};

class OutgoingDrag : public DragDropTest, public ::testing::WithParamInterface<tOutgoingCase> {};

TEST_P(OutgoingDrag, EndsWithTheEffectAnd1304AndTheCallbackOnce)
{
    const tOutgoingCase& c = GetParam();
    RecordingTarget target;
    accept(&target, 2);
    auto object = std::make_shared<DragObject>();
    const int typeId = DragDrop::getDelegate().getDragTypeId("drag-object");
    object->typeId = typeId;
    void* seen = nullptr;
    void* seenOtherType = reinterpret_cast<void*>(1);
    window.handler = [&](RecordingWindow&, int code, void* data) -> std::optional<bool> {
        if (code != kEventDragOver)
            return std::nullopt;
        auto* record = static_cast<DragEventData*>(data);
        seen = DragDrop::getDelegate().getInternalObjectOf(record, typeId);
        seenOtherType = DragDrop::getDelegate().getInternalObjectOf(record, typeId + 1);
        record->acceptor = &target;
        record->effect = 2;
        return true;
    };
    std::unique_ptr<OS::DragScript> script;
    if (c.steps != 3) {
        script = std::make_unique<OS::DragScript>();
        script->moveTo(nullptr, {0, 0});
        if (c.steps == 0)
            script->moveTo(window.hwnd(), screen(10, 10)).pressEscape();
        else if (c.steps == 1)
            script->moveTo(window.hwnd(), screen(10, 10)).moveTo(nullptr, {-500, -500}).release();
        else
            script->moveTo(window.hwnd(), screen(10, 10)).moveTo(window.hwnd(), screen(12, 12)).release();
    }
    int finished = -1;
    struct Source : RecordingTarget {
        int* finished;
        bool onEvent(int code, void* data) override
        {
            if (code == kEventDragFinished)
                *finished = *static_cast<int*>(data);
            return RecordingTarget::onEvent(code, data);
        }
    } from;
    from.finished = &finished;
    int calls = 0;
    std::weak_ptr<DragObject> alive = object;
    DragDrop::getDelegate().startObjectDragFrom(&from, object, typeId, 3, nullptr, [&] { ++calls; });
    object.reset();
    EXPECT_EQ(finished, c.expected);
    EXPECT_EQ(from.events, (std::vector<int>{kEventDragFinished}));
    EXPECT_EQ(calls, 1);
    EXPECT_TRUE(alive.expired());
    if (c.steps != 3) {
        EXPECT_NE(seen, nullptr);
        EXPECT_EQ(seenOtherType, nullptr);
    }
    if (c.steps == 2)
        EXPECT_EQ(target.events, (std::vector<int>{kEventDrop, kEventDragLeave}));
    else if (c.steps == 3)
        EXPECT_TRUE(target.events.empty());
    else
        EXPECT_EQ(target.events, (std::vector<int>{kEventDragLeave}));
}

INSTANTIATE_TEST_SUITE_P(Cases, OutgoingDrag,
                         ::testing::Values(tOutgoingCase{"Escape", 0, 0x40}, tOutgoingCase{"Nowhere", 1, 0x80},
                                           tOutgoingCase{"OurWindow", 2, 2}, tOutgoingCase{"NoDisplay", 3, 0x80}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(DragDropTest, TheDragImageWithAlphaOrWithTheColourKey)
{
    auto picture = std::make_shared<Picture>();
    ASSERT_TRUE(picture->setSize(4, 2, Picture::eBlock::Discard));
    auto image = std::make_shared<DragImage>();
    image->picture = picture;
    image->hotSpotX = 1;
    image->hotSpotY = 1;
    int calls = 0;
    DragDrop::getDelegate().startTextDrag("t", 1, image, [&] { ++calls; });
    picture->setHasAlpha(true);
    DragDrop::getDelegate().startTextDrag("t", 1, image, [&] { ++calls; });
    {
        OS::DragImageFaultScope refuse;
        DragDrop::getDelegate().startTextDrag("t", 1, image, [&] { ++calls; });
    }
    EXPECT_EQ(calls, 3);
    EXPECT_EQ(OS::dragImageCalls(), (std::vector<std::string>{"InitializeFromBitmap 4x2 offset 1,1 key 0xC0C0C0",
                                                              "InitializeFromBitmap 4x2 offset 1,1 key none",
                                                              "InitializeFromBitmap 4x2 offset 1,1 key none"}));
    EXPECT_EQ(OS::dragImageServicesAlive(), 1);  // the window's
}

TEST_F(DragDropTest, TheDragImageIsASectionWithAlphaOrTheFirstFrameDrawnIntoAScreenBitmap)
{
    struct Row {
        const char* name;
        bool alpha;
        bool sideBySide;
        bool section;  // with the alpha mask; else a bitmap in the screen's format
        int width;
        int height;
        bool refused = false;  // by the drag-image service, which then leaves the bitmap to us
    };
    const Row rows[] = {
        {"alpha: the whole picture in a section with masks", true, true, true, 4, 2},
        {"no alpha: the left frame drawn", false, true, false, 2, 2},
        {"no alpha: the top frame drawn", false, false, false, 4, 1},
        {"alpha, refused", true, true, true, 4, 2, true},
        {"no alpha, refused", false, true, false, 2, 2, true},
    };
    const int bitmaps = OS::countDrawingObjects().bitmaps;
    for (const Row& r : rows) {
        auto picture = std::make_shared<Picture>();
        ASSERT_TRUE(picture->setSize(4, 2, Picture::eBlock::Discard));
        for (int i = 0; i < 8; ++i)
            picture->getPixels()[i] = 0x80102030u + static_cast<std::uint32_t>(i);
        picture->setHasAlpha(r.alpha);
        picture->setFrameCount(2);
        picture->setFramesSideBySide(r.sideBySide);
        auto image = std::make_shared<DragImage>();
        image->picture = picture;
        OS::clearDragImageCalls();
        {
            std::optional<OS::DragImageFaultScope> refuse;
            if (r.refused)
                refuse.emplace();
            DragDrop::getDelegate().startTextDrag("t", 1, image, nullptr);
        }
        EXPECT_EQ(OS::countDrawingObjects().bitmaps, bitmaps) << r.name << ": the bitmap is deleted";
        const OS::BitmapPixels handed = OS::lastDragImage();
        EXPECT_EQ(handed.section, r.section) << r.name;
        EXPECT_EQ(handed.alphaMask, r.section) << r.name;
        ASSERT_EQ(handed.width, r.width) << r.name;
        ASSERT_EQ(handed.height, r.height) << r.name;
        for (int y = 0; y < r.height; ++y)
            for (int x = 0; x < r.width; ++x)
                EXPECT_EQ(handed.at(x, y), picture->getPixels()[y * 4 + x]) << r.name << " " << x << "," << y;
    }
    EXPECT_EQ(OS::countDrawingObjects().bitmaps, bitmaps) << "the service deletes what it took";
}

TEST_F(DragDropTest, TypeIdsCountFromTheStartValue)
{
    IDragDropDelegate& d = DragDrop::getDelegate();
    const int first = d.getDragTypeId("type-ids-first");
    EXPECT_GT(first, 0x3F3F3F3F);
    EXPECT_EQ(d.getDragTypeId("type-ids-second"), first + 1);
    EXPECT_EQ(d.getDragTypeId("type-ids-first"), first);
}

TEST(NOPDragDropDelegate, AnswersNothingAndStartsNothing)
{
    DragDrop::setDelegate(nullptr);
    IDragDropDelegate& d = DragDrop::getDelegate();
    ASSERT_NE(dynamic_cast<NOPDragDropDelegate*>(&d), nullptr);
    TextClipBoardFormat text;
    text.setText("x");
    DataObjectHolder holder(new DETAIL::DirectDataObject(text));
    DragEventData record;
    record.data = &holder;
    EXPECT_EQ(d.getInternalObjectOf(&record, 1), nullptr);
    EXPECT_FALSE(d.readFormat(&record, text));
    EXPECT_FALSE(DragDrop::readFormat(&record, text));
    EXPECT_FALSE(d.isInternalObject(&record, 1));
    EXPECT_FALSE(d.hasClipboardFormat(&record, 13));
    EXPECT_FALSE(DragDrop::hasClipboardFormat(&record, 13));
    EXPECT_FALSE(d.getFileList(&record).has_value());
    EXPECT_FALSE(d.getText(&record).has_value());
    EXPECT_EQ(d.getInternalObject(&record), nullptr);
    EXPECT_EQ(DragDrop::getInternalObject(&record), nullptr);
    EXPECT_FALSE(d.queryTextFormat(&record));
    EXPECT_FALSE(d.queryFileListFormat(&record));
    EXPECT_EQ(d.getDragTypeId("anything"), 0);
    EXPECT_EQ(d.getDataObject(&record), nullptr);

    OS::DragScript script;
    int calls = 0;
    auto object = std::make_shared<DragObject>();
    std::weak_ptr<DragObject> alive = object;
    d.startTextDrag("x", 1, nullptr, [&] { ++calls; });
    d.startObjectDrag(std::move(object), 1, 1, nullptr, [&] { ++calls; });
    d.startObjectDragFrom(nullptr, nullptr, 1, 1, nullptr, [&] { ++calls; });
    EXPECT_EQ(script.dragCount(), 0);
    EXPECT_EQ(calls, 0);
    EXPECT_TRUE(alive.expired());
}

TEST(WindowingDragDropDelegate, QueriesTheDataObject)
{
    WindowingDragDropDelegate d;
    FileListClipBoardFormat files;
    files.files() = {GP::FilePath(std::string("C:\\a.txt"))};
    DataObjectHolder holder(new DETAIL::DirectDataObject(files));
    DragEventData record;
    record.data = &holder;
    EXPECT_TRUE(d.queryFileListFormat(&record));
    EXPECT_FALSE(d.queryTextFormat(&record));
    ASSERT_TRUE(d.getFileList(&record).has_value());
    EXPECT_EQ(d.getFileList(&record)->size(), 1u);
    EXPECT_FALSE(d.getText(&record).has_value());
    EXPECT_EQ(d.getInternalObject(&record), nullptr);
    EXPECT_EQ(d.getDataObject(&record), holder.get());
    DragEventData empty;
    EXPECT_FALSE(d.queryTextFormat(&empty));
    EXPECT_EQ(d.getDataObject(&empty), nullptr);
}

}  // namespace
}  // namespace HA::UIA
