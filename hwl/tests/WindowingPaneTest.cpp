#include "hwl/core/src/window/WindowingPane.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "hwl/tests/WindowGlueTestSupport.h"
#include "os/shell/Ole.h"
#include "os/windows/dialogs/FileDialogs.h"
#include "os/windows/input/Input.h"
#include "uia/events/Input.h"
#include "uia/transfer/ClipBoardFormat.h"
#include "uia/transfer/Clipboard.h"

namespace HA::HWL {
namespace {

using namespace Testing;
using UIA::TEST::windowShows;

constexpr std::uint32_t kDarkRed = 0xFF800000u;

// A shown, focused widget window at (100, 100) with the injector and the cursor table ready.
class WindowingPaneTest : public GlueWindowTest {
protected:
    void SetUp() override
    {
        GlueWindowTest::SetUp();
        OS::INPUT::reset();
        UIA::initKeyTables();
        UIA::refreshKeyTable();
        ASSERT_TRUE(UIA::loadCursorTable());
    }
    void TearDown() override
    {
        OS::releaseCapture();
        OS::INPUT::reset();
        GlueWindowTest::TearDown();
    }

    void open(GlueWindow& window)
    {
        build(window);
        ASSERT_TRUE(window.create(glueDescriptor()));
        OS::setWindowPos(hwndOf(window), nullptr, 100, 100, 0, 0, OS::SWP_NOSIZE | OS::SWP_NOZORDER);
        window.setVisible(true);
        OS::setFocus(hwndOf(window));
        OS::pumpMessages();
        journal.clear();
    }

    // A client point of the window on the screen.
    static OS::POINT screen(GlueWindow& window, int x, int y)
    {
        OS::POINT p{x, y};
        OS::clientToScreen(hwndOf(window), p);
        return p;
    }

    void button(GlueWindow& window, bool down, int x, int y)
    {
        const OS::POINT p = screen(window, x, y);
        ASSERT_TRUE(OS::INPUT::button(UIA::kMouseButtonLeft, down, p.x, p.y));
        OS::pumpMessages();
    }

    // The widget events (codes from kEventMouseButton up) of the journal.
    tJournal widgetEvents() const
    {
        tJournal out;
        std::copy_if(journal.begin(), journal.end(), std::back_inserter(out),
                     [](const tRecord& r) { return r.code >= 1000; });
        return out;
    }
};

TEST_F(WindowingPaneTest, InjectedClicksReachTheWidgetUnderThePointer)
{
    GlueWindow window;
    open(window);
    const OS::POINT p = screen(window, 25, 35);
    OS::INPUT::moveTo(p.x, p.y);
    OS::pumpMessages();
    button(window, true, 25, 35);
    EXPECT_EQ(window.getPressed(), panel.get());
    button(window, false, 25, 35);
    EXPECT_EQ(window.getPressed(), nullptr);
    const tJournal expected{{1004, "panel", 5, 5, 0},
                            {1002, "panel", 5, 5, 0},
                            {100002, "panel", 5, 5, 1},
                            {100008, "panel", 5, 5, 2},
                            {100014, "panel", 5, 5, 2}};
    EXPECT_EQ(widgetEvents(), expected);

    // The root gets what lands outside the panels, in its own coordinates.
    journal.clear();
    button(window, true, 200, 200);
    button(window, false, 200, 200);
    const tJournal onRoot{{1005, "panel", 180, 170, 0},
                          {1004, "root", 200, 200, 0},
                          {1002, "root", 200, 200, 0},
                          {100002, "root", 200, 200, 1},
                          {100008, "root", 200, 200, 2},
                          {100014, "root", 200, 200, 2}};
    EXPECT_EQ(widgetEvents(), onRoot);
}

TEST_F(WindowingPaneTest, InjectedKeysReachTheFocusWidget)
{
    GlueWindow window;
    open(window);
    panel->setFlag(Widget::eFocusable, true);
    panel->takesKeys = true;
    window.setFocusWidget(panel.get());
    journal.clear();
    ASSERT_TRUE(OS::INPUT::tap(0x1E));  // A
    OS::pumpMessages();
    tJournal keys;
    std::copy_if(journal.begin(), journal.end(), std::back_inserter(keys),
                 [](const tRecord& r) { return r.code == kRecordKey; });
    const tJournal expected{{kRecordKey, "panel", UIA::kEventKeyDown, 0, 0},
                            {kRecordKey, "panel", UIA::kEventChar, 0, 0},
                            {kRecordKey, "panel", UIA::kEventKeyUp, 0, 0}};
    EXPECT_EQ(keys, expected);
}

TEST_F(WindowingPaneTest, ALostCaptureLeavesNoPressedWidgetAndTheNextReleaseMakesNoClick)
{
    GlueWindow window;
    GlueWindow* host = &window;
    panel->setHoverSensitive(true);
    build(window);
    // Dark red while pressed.
    panel->painter = [&, host](ScriptedWidget& w, PaintContext& context) {
        panelColour = host->getPressed() == &w ? kDarkRed : kRed;
        loggingFiller(paints, "panel", &panelColour)(w, context);
    };
    ASSERT_TRUE(window.create(glueDescriptor()));
    OS::setWindowPos(hwndOf(window), nullptr, 100, 100, 0, 0, OS::SWP_NOSIZE | OS::SWP_NOZORDER);
    window.setVisible(true);
    OS::setFocus(hwndOf(window));
    OS::pumpMessages();
    journal.clear();

    button(window, true, 30, 40);
    ASSERT_EQ(window.getPressed(), panel.get());
    ASSERT_EQ(window.getHovered(), panel.get());
    tick();
    OS::pumpMessages();
    EXPECT_EQ(panelColour, kDarkRed);
    EXPECT_TRUE(windowShows(hwndOf(window), picture(), "pane-pressed"));

    // Another window takes the capture while the button is held.
    UIA::TEST::RecordingWindow thief;
    ASSERT_TRUE(thief.create(glueDescriptor(20, 20)));
    OS::setCapture(thief.getImpl()->getHwnd());
    OS::pumpMessages();
    EXPECT_EQ(window.getPressed(), nullptr);
    EXPECT_EQ(window.getHovered(), nullptr);
    EXPECT_TRUE(window.isButtonHeld(UIA::kMouseButtonLeft));
    paints.clear();
    tick();
    OS::pumpMessages();
    EXPECT_EQ(paintCount("panel"), 1) << "the pressed and hovered widget repaints";
    EXPECT_EQ(panelColour, kRed);
    EXPECT_TRUE(windowShows(hwndOf(window), picture(), "pane-capture-lost"));

    OS::releaseCapture();
    journal.clear();
    button(window, false, 30, 40);
    const tJournal events = widgetEvents();
    EXPECT_NE(std::find(events.begin(), events.end(), tRecord{100008, "panel", 10, 10, 2}), events.end());
    for (const tRecord& r : events)
        EXPECT_NE(r.code, 100014) << "no click after a lost capture";
    EXPECT_FALSE(window.isButtonHeld(UIA::kMouseButtonLeft));
}

TEST_F(WindowingPaneTest, FocusLostClearsTheFocusWidgetAndRepaintsIt)
{
    GlueWindow window;
    open(window);
    panel->setFlag(Widget::eFocusable, true);
    window.setFocusWidget(panel.get());
    ASSERT_EQ(window.getFocusWidget(), panel.get());
    EXPECT_EQ(OS::getFocus(), hwndOf(window));
    tick();
    paints.clear();

    EXPECT_TRUE(window.handleEvent(UIA::kEventFocusLost, UIA::noEventData()));
    EXPECT_EQ(window.getFocusWidget(), nullptr);
    tick();
    EXPECT_EQ(paintCount("panel"), 1);
    EXPECT_EQ(paintCount("other"), 0);
    EXPECT_TRUE(window.handleEvent(UIA::kEventFocusLost, UIA::noEventData()));
}

TEST_F(WindowingPaneTest, ReleasingTheFocusRepaintsTheWidgetAndFocusesTheWindowsRoot)
{
    GlueWindow window;
    open(window);
    panel->setFlag(Widget::eFocusable, true);
    window.setFocusWidget(panel.get());
    tick();
    paints.clear();
    // A widget without a focusable ancestor takes the focus away.
    window.setFocusWidget(root.get());
    EXPECT_EQ(window.getFocusWidget(), nullptr);
    EXPECT_EQ(OS::getFocus(), hwndOf(window));
    tick();
    EXPECT_EQ(paintCount("panel"), 1);
    window.releaseFocus();  // nothing left to release
    EXPECT_EQ(window.getFocusWidget(), nullptr);
}

TEST_F(WindowingPaneTest, StandardCursorsOutsideTheTableChangeNothing)
{
    GlueWindow window;
    open(window);
    const OS::HCURSOR hand = UIA::getStandardCursor(UIA::kCursorHand);
    const OS::HCURSOR arrow = UIA::getStandardCursor(UIA::kCursorArrow);
    window.WindowingPane::setStandardCursor(UIA::kCursorHand);
    EXPECT_EQ(OS::getCursor(), hand);
    for (int index : {-1, UIA::kCursorCount, 1000, -1000}) {
        window.WindowingPane::setStandardCursor(index);
        EXPECT_EQ(OS::getCursor(), hand) << index;
        window.WindowingPane::setCursor(index);
        EXPECT_EQ(OS::getCursor(), hand) << index;
    }
    window.WindowingPane::resetCursor();
    EXPECT_EQ(OS::getCursor(), arrow);
}

TEST_F(WindowingPaneTest, ScreenPointsThePointerAndThePaneValue)
{
    GlueWindow window;
    open(window);
    const OS::POINT origin = screen(window, 0, 0);
    EXPECT_EQ(window.toScreen({5, 6}), (GP::Point{origin.x + 5, origin.y + 6}));
    window.WindowingPane::setCursorPosition({origin.x + 7, origin.y + 8});
    OS::POINT at{};
    ASSERT_TRUE(OS::getCursorPos(at));
    EXPECT_EQ(at.x, origin.x + 7);
    EXPECT_EQ(at.y, origin.y + 8);
    window.setWindowValue(42);
    EXPECT_EQ(window.getUserValue(), 42);
    window.clearWindowValue();
    EXPECT_EQ(window.getUserValue(), 0);
}

TEST_F(WindowingPaneTest, ClipboardTextRoundTripsAsUtf16)
{
    OS::ClipboardScope clipboard;
    GlueWindow window;
    open(window);
    EXPECT_EQ(window.getClipboardText(), "") << "an empty clipboard";

    const std::vector<std::string> texts{"Grüße, Ærø", "naïve — “quoted”", "日本語のテキスト", "clef 𝄞 and ☃",
                                         "line\none"};
    for (const std::string& text : texts) {
        window.setClipboardText(text);
        EXPECT_EQ(window.getClipboardText(), text);
        UIA::TextClipBoardFormat raw;
        ASSERT_TRUE(UIA::Clipboard::getData(raw));
        EXPECT_EQ(raw.getTextUtf8(), text);
    }
    clipboard.offerText(u"von anderswo: \u00e4\u00f6\u00fc \U0001F600");
    EXPECT_EQ(window.getClipboardText(), "von anderswo: äöü 😀");
    clipboard.offerFileList({u"C:\\x.bin"}, true);
    EXPECT_EQ(window.getClipboardText(), "") << "no text on the clipboard";
}

// A widget that answers drag offers and records where they came, in its coordinates.
class DragWidget : public ScriptedWidget {
public:
    DragWidget(std::vector<std::string>& log, std::string name, bool accepts)
        : mLog(log), mName(std::move(name)), mAccepts(accepts)
    {
    }
    bool onEvent(int code, void* data) override
    {
        if (code != UIA::kEventDragOver)
            return ScriptedWidget::onEvent(code, data);
        const auto* drag = static_cast<UIA::DragEventData*>(data);
        mLog.push_back(mName + "@" + std::to_string(drag->x) + "," + std::to_string(drag->y));
        return mAccepts;
    }
    bool interceptDragEvent(bool inside, int, int) override { return inside && claims; }

    bool claims = false;

private:
    std::vector<std::string>& mLog;
    std::string mName;
    bool mAccepts;
};

TEST_F(WindowingPaneTest, DragOffersClimbFromTheWidgetUnderThePointerWithLocalPoints)
{
    struct Row {
        const char* name;
        bool innerAccepts;
        bool outerAccepts;
        bool innerClaims;
        bool answer;
        std::vector<std::string> log;
    };
    const std::vector<Row> rows{
        {"inner takes it", true, false, false, true, {"inner@5,6"}},
        {"outer takes it", false, true, false, true, {"inner@5,6", "outer@15,16"}},
        {"nobody takes it", false, false, false, false, {"inner@5,6", "outer@15,16", "top@45,56"}},
        {"a claim ends it", false, false, true, true, {}},
    };
    for (const Row& row : rows) {
        std::vector<std::string> log;
        GlueWindow window;
        auto top = std::make_shared<DragWidget>(log, "top", false);
        auto outer = std::make_shared<DragWidget>(log, "outer", row.outerAccepts);
        auto inner = std::make_shared<DragWidget>(log, "inner", row.innerAccepts);
        inner->claims = row.innerClaims;
        top->addChild(outer, "outer");
        outer->addChild(inner, "inner");
        outer->setPosition({30, 40});
        outer->setSize(100, 100);
        inner->setPosition({10, 10});
        inner->setSize(20, 20);
        window.setRoot(top, "top");
        ASSERT_TRUE(window.create(glueDescriptor(200, 200)));

        UIA::DragEventData drag;
        drag.x = 45;
        drag.y = 56;
        EXPECT_EQ(window.handleEvent(UIA::kEventDragOver, &drag), row.answer) << row.name;
        EXPECT_EQ(log, row.log) << row.name;
        EXPECT_EQ(drag.x, 45) << "the point is given back";
        EXPECT_EQ(drag.y, 56);
        EXPECT_EQ(window.getLastMousePosition(), (GP::Point{45, 56})) << row.name;
    }
}

TEST_F(WindowingPaneTest, OtherDragCodesAreLeftToTheDropTargets)
{
    std::vector<std::string> log;
    GlueWindow window;
    window.setRoot(std::make_shared<DragWidget>(log, "top", true), "top");
    ASSERT_TRUE(window.create(glueDescriptor(50, 50)));
    for (int code : {UIA::kEventDrop, 1302, UIA::kEventDragLeave, UIA::kEventDragFinished, 1399}) {
        UIA::DragEventData drag;
        int effect = 0;
        void* data = code == UIA::kEventDragFinished ? static_cast<void*>(&effect) : static_cast<void*>(&drag);
        EXPECT_FALSE(window.WindowingPane::handleEvent(code, data)) << code;
    }
    EXPECT_TRUE(log.empty());
    UIA::DragEventData outside;
    outside.x = 500;
    outside.y = 500;
    EXPECT_FALSE(window.handleEvent(UIA::kEventDragOver, &outside));
}

TEST_F(WindowingPaneTest, WithoutAWindowNothingHappens)
{
    OS::ClipboardScope clipboard;
    clipboard.offerText(u"there");
    WindowingPane pane;
    auto top = makeScripted();
    auto item = makeScripted();
    item->setFlag(Widget::eFocusable, true);
    top->addChild(item, "item");
    pane.setRoot(top, "top");
    pane.setFocusWidget(item.get());
    ASSERT_EQ(pane.getFocusWidget(), item.get());

    EXPECT_EQ(pane.getWindow(), nullptr);
    EXPECT_EQ(pane.getHostWindow(), nullptr);
    EXPECT_EQ(pane.getClipboardText(), "");
    pane.setClipboardText("lost");
    EXPECT_EQ(clipboard.setCount(), 0);
    EXPECT_EQ(pane.toScreen({3, 4}), (GP::Point{3, 4}));
    pane.setStandardCursor(UIA::kCursorHand);
    pane.setWindowValue(5);
    pane.beginInfiniteDrag();
    pane.endInfiniteDrag();
    pane.releaseFocus();
    EXPECT_EQ(pane.getFocusWidget(), item.get()) << "focus without a window stays";
    // No answer: a dialog shown would be a problem of the script.
    OS::FileDialogScript script([](const std::string& problem) { ADD_FAILURE() << problem; });
    bool called = false;
    pane.showOpenFileDialog(false, "Open", "C:\\", [&](const std::u16string&) { called = true; });
    EXPECT_FALSE(called);
    EXPECT_TRUE(script.shown().empty()) << "no dialog without a window";
}

TEST_F(WindowingPaneTest, TheFileDialogCallsBackOnlyWhenAccepted)
{
    GlueWindow window;
    open(window);
    struct Row {
        const char* name;
        bool save;
        const char* chosen;  // null: cancelled
        std::u16string heard;
    };
    const std::vector<Row> rows{
        {"open, accepted", false, "C:\\Firmware\\vireo-2.1.bin", u"C:\\Firmware\\vireo-2.1.bin"},
        {"open, non-ASCII path", false, "C:\\Müsik\\ファイル 𝄞.bin", u"C:\\Müsik\\ファイル 𝄞.bin"},
        {"save, accepted", true, "D:\\log.txt", u"D:\\log.txt"},
        {"open, cancelled", false, nullptr, u""},
        {"save, cancelled", true, nullptr, u""},
    };
    for (const Row& row : rows) {
        OS::FileDialogScript script([&](const std::string& problem) { ADD_FAILURE() << row.name << ": " << problem; });
        if (row.chosen)
            script.choose(row.chosen);
        else
            script.cancel();
        auto heard = std::make_shared<std::vector<std::u16string>>();
        std::weak_ptr<std::vector<std::u16string>> watch = heard;
        window.showOpenFileDialog(row.save, "Choose the firmware", "C:\\Firmware\\",
                                  [heard](const std::u16string& path) { heard->push_back(path); });
        const std::vector<std::u16string> got = *heard;
        heard.reset();
        EXPECT_TRUE(watch.expired()) << row.name << ": the callback is destroyed";
        if (row.chosen)
            EXPECT_EQ(got, std::vector<std::u16string>{row.heard}) << row.name;
        else
            EXPECT_TRUE(got.empty()) << row.name;
        const std::vector<OS::FileDialogRecord> shown = script.shown();
        ASSERT_EQ(shown.size(), 1u) << row.name;
        EXPECT_EQ(shown[0].kind, row.save ? OS::FileDialogRecord::eKind::Save : OS::FileDialogRecord::eKind::Open);
        EXPECT_EQ(shown[0].titleUtf8(), "Choose the firmware");
        EXPECT_EQ(shown[0].owner, nullptr);
    }
}

TEST_F(WindowingPaneTest, AnEmptyCallbackThrowsOnlyWhenTheDialogIsAccepted)
{
    GlueWindow window;
    open(window);
    OS::FileDialogScript script([](const std::string& problem) { ADD_FAILURE() << problem; });
    script.cancel();
    script.choose("C:\\x.bin");
    EXPECT_NO_THROW(window.showOpenFileDialog(false, "Open", "", nullptr));
    EXPECT_THROW(window.showOpenFileDialog(false, "Open", "", nullptr), std::bad_function_call);
    EXPECT_EQ(script.shown().size(), 2u);
}

}  // namespace
}  // namespace HA::HWL
