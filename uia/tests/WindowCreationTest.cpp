#include <gtest/gtest.h>

#include <cstdio>

#include "gp/src/common/storage/ModuleResources.h"
#include "os/kernel/Text.h"
#include "os/windows/menus/Menu.h"
#include "os/windows/faults/WindowFaults.h"
#include "uia/platform/window/WindowImplWin32.h"
#include "uia/tests/WindowTestSupport.h"
#include "uia/window/Menu.h"

using namespace HA;
using namespace HA::UIA;
using namespace HA::UIA::TEST;

namespace {

class WindowCreation : public FrameworkWindowTest {};

std::vector<OS::WString> systemMenuTexts(OS::HWND hwnd)
{
    std::vector<OS::WString> texts;
    OS::HMENU menu = OS::getSystemMenu(hwnd, false);
    for (int i = 0; i < OS::getMenuItemCount(menu); ++i)
        texts.push_back(OS::getMenuString(menu, i));
    return texts;
}

TEST_F(WindowCreation, ClassesAreNamedByTheModuleAndAnswerTheirOwnMessages)
{
    char expected[64];
    std::snprintf(expected, sizeof expected, "HAFramelessWindow%p", static_cast<void*>(GP::getModuleHandle()));
    EXPECT_EQ(DETAIL::windowClassName(DETAIL::kFramelessWindowClass), OS::utf8ToUtf16(expected));
    EXPECT_EQ(DETAIL::windowClassName(9), DETAIL::windowClassName(DETAIL::kNormalWindowClass));

    struct Case {
        int type;
        OS::UINT style;
        OS::UINT message;
        OS::WPARAM wParam;
        OS::LRESULT answer;
    };
    const Case cases[] = {
        {DETAIL::kFramelessWindowClass, OS::CS_DBLCLKS, OS::WM_NCPAINT, 0, 0},
        {DETAIL::kOverlayWindowClass, OS::CS_DBLCLKS, OS::WM_MOUSEACTIVATE, 0, OS::MA_NOACTIVATE},
        {DETAIL::kNormalWindowClass, OS::CS_DBLCLKS, OS::WM_MOUSEACTIVATE, 0, OS::MA_ACTIVATE},
        {DETAIL::kOwnDcChildWindowClass, OS::CS_DBLCLKS | OS::CS_OWNDC, OS::WM_NCHITTEST, 0, OS::HTCLIENT},
        {DETAIL::kChildWindowClass, OS::CS_DBLCLKS, OS::WM_GETDLGCODE, 0, 0},
    };
    for (const Case& c : cases) {
        OS::HWND hwnd = OS::createWindow(0, DETAIL::windowClassName(c.type), u"raw", OS::WS_POPUP, 0, 0, 10, 10,
                                         nullptr, nullptr, nullptr, nullptr);
        ASSERT_TRUE(hwnd) << c.type;
        EXPECT_EQ(OS::getClassStyle(hwnd), c.style) << c.type;
        EXPECT_EQ(OS::sendMessage(hwnd, c.message, c.wParam, 0), c.answer) << c.type;
        OS::destroyWindow(hwnd);
    }
    // A frameless window's size calculation: valid rectangles and redraw only when asked
    // with its parameter set; the rectangle stays the whole window.
    OS::HWND frameless = OS::createWindow(0, DETAIL::windowClassName(DETAIL::kFramelessWindowClass), u"f",
                                          OS::WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    OS::NCCALCSIZE_PARAMS params{};
    params.rgrc[0] = OS::RECT{0, 0, 10, 10};
    EXPECT_EQ(OS::sendMessage(frameless, OS::WM_NCCALCSIZE, 1, reinterpret_cast<OS::LPARAM>(&params)), 0x700);
    OS::RECT plain{0, 0, 10, 10};
    EXPECT_EQ(OS::sendMessage(frameless, OS::WM_NCCALCSIZE, 0, reinterpret_cast<OS::LPARAM>(&plain)), 0);
    EXPECT_EQ(plain, (OS::RECT{0, 0, 10, 10}));
    OS::destroyWindow(frameless);
}

TEST_F(WindowCreation, AFailedRegistrationUndoesTheClassesBeforeIt)
{
    unregisterWindowClasses();
    for (int failing = 0; failing < 5; ++failing) {
        {
            OS::WindowFaultScope fault(OS::WindowFault{OS::eWindowFault::RegisterClass, 0, 1,
                                                       OS::ERROR_NOT_ENOUGH_MEMORY,
                                                       DETAIL::windowClassName(failing)});
            EXPECT_FALSE(registerWindowClasses()) << failing;
            EXPECT_EQ(fault.failures(), 1);
        }
        EXPECT_FALSE(areWindowClassesRegistered());
        for (int type = 0; type < 5; ++type)
            EXPECT_FALSE(OS::unregisterClass(DETAIL::windowClassName(type))) << failing << " left " << type;
    }
    EXPECT_TRUE(registerWindowClasses());
}

TEST_F(WindowCreation, TheDescriptorDecidesSizePositionTitleStyleAndSystemMenu)
{
    struct Case {
        const char* name;
        std::function<void(WindowDescriptor&)> change;
        std::function<void(RecordingWindow&)> check;
    };
    const Case cases[] = {
        {"fixed client size", [](WindowDescriptor&) {},
         [](RecordingWindow& w) {
             OS::RECT client;
             OS::getClientRect(w.hwnd(), client);
             EXPECT_EQ(client, (OS::RECT{0, 0, 627, 335}));
             EXPECT_EQ(OS::getWindowStyle(w.hwnd()) & 0x02CF0000u, 0x02CA0000u);
             EXPECT_EQ(w.getSize(true), (Size{627, 335}));
             EXPECT_EQ(OS::getWindowText(w.hwnd()), u"Main");
             EXPECT_EQ(w.getImpl()->getTitle(), "Main");
             EXPECT_EQ(OS::getClassName(w.hwnd()), DETAIL::windowClassName(DETAIL::kNormalWindowClass));
         }},
        {"resizable", [](WindowDescriptor& d) { d.styleFlags = 0; },
         [](RecordingWindow& w) {
             EXPECT_EQ(OS::getWindowStyle(w.hwnd()) & 0x02CF0000u, 0x02CF0000u);
             EXPECT_EQ(w.getSize(true), (Size{627, 335}));
         }},
        {"frameless", [](WindowDescriptor& d) { d.styleFlags = WindowDescriptor::kFrameless; },
         [](RecordingWindow& w) {
             OS::RECT client, outer;
             OS::getClientRect(w.hwnd(), client);
             OS::getWindowRect(w.hwnd(), outer);
             EXPECT_EQ(client, (OS::RECT{0, 0, 627, 335}));
             EXPECT_EQ(outer.right - outer.left, 627);
             EXPECT_EQ(OS::getWindowStyle(w.hwnd()) & OS::WS_POPUP, OS::WS_POPUP);
             EXPECT_EQ(OS::getClassName(w.hwnd()), DETAIL::windowClassName(DETAIL::kFramelessWindowClass));
         }},
        {"beyond the work area",
         [](WindowDescriptor& d) {
             d.contentFlags |= WindowDescriptor::kPositionGiven;
             d.left = 5000;
             d.top = -3000;
             d.right = 5000 + 627;
             d.bottom = -3000 + 335;
         },
         [](RecordingWindow& w) {
             OS::RECT outer, work = OS::getWorkArea();
             OS::getWindowRect(w.hwnd(), outer);
             EXPECT_EQ(outer.left, work.right);
             EXPECT_EQ(outer.top, work.top);
         }},
        {"client position",
         [](WindowDescriptor& d) {
             d.contentFlags |= WindowDescriptor::kPositionGiven | WindowDescriptor::kClientPosition;
             d.left = 100;
             d.top = 100;
             d.right = 727;
             d.bottom = 435;
         },
         [](RecordingWindow& w) {
             GP::Point origin{0, 0};
             w.clientToScreen(origin);
             EXPECT_EQ(origin, (GP::Point{100, 100}));
         }},
        {"background",
         [](WindowDescriptor& d) {
             d.contentFlags |= WindowDescriptor::kBackgroundGiven;
             d.background = 0x00102030;
         },
         [](RecordingWindow& w) {
             auto* impl = static_cast<DETAIL::WindowImplWin32*>(w.getImpl());
             EXPECT_TRUE(impl->getBackgroundBrush());
         }},
        {"no background", [](WindowDescriptor&) {},
         [](RecordingWindow& w) {
             EXPECT_FALSE(static_cast<DETAIL::WindowImplWin32*>(w.getImpl())->getBackgroundBrush());
         }},
        {"both system-menu items",
         [](WindowDescriptor& d) { d.styleFlags |= WindowDescriptor::kZoomMenuItem | WindowDescriptor::kToolbarMenuItem; },
         [](RecordingWindow& w) {
             auto texts = systemMenuTexts(w.hwnd());
             ASSERT_EQ(texts.size(), 10u);
             EXPECT_EQ(std::vector<OS::WString>(texts.begin() + 7, texts.end()),
                       (std::vector<OS::WString>{u"", u"Show &Toolbar", u"&Zoom Window"}));
             OS::HMENU menu = OS::getSystemMenu(w.hwnd(), false);
             EXPECT_EQ(OS::getMenuItemID(menu, 8), 30311u);
             EXPECT_EQ(OS::getMenuItemID(menu, 9), 30301u);
         }},
        {"zoom item only", [](WindowDescriptor& d) { d.styleFlags |= WindowDescriptor::kZoomMenuItem; },
         [](RecordingWindow& w) {
             auto texts = systemMenuTexts(w.hwnd());
             ASSERT_EQ(texts.size(), 9u);
             EXPECT_EQ(texts[7], u"");
             EXPECT_EQ(texts[8], u"&Zoom Window");
         }},
        {"no system-menu items", [](WindowDescriptor&) {},
         [](RecordingWindow& w) { EXPECT_EQ(systemMenuTexts(w.hwnd()).size(), 7u); }},
        {"layered", [](WindowDescriptor& d) { d.styleFlags |= WindowDescriptor::kLayered; },
         [](RecordingWindow& w) {
             EXPECT_TRUE(w.isLayered());
             EXPECT_TRUE(w.usesLayeredUpdates());
             EXPECT_TRUE(OS::getWindowExStyle(w.hwnd()) & OS::WS_EX_LAYERED);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WindowDescriptor d = mainDescriptor();
        c.change(d);
        RecordingWindow window;
        ASSERT_TRUE(window.create(d));
        ASSERT_TRUE(window.hwnd());
        EXPECT_EQ(window.count(kEventWindowCreated), 1);
        EXPECT_FALSE(window.isVisible());
        c.check(window);
    }
}

TEST_F(WindowCreation, NothingIsMadeForADeadParentOrWhileAnotherWindowIsBeingCreated)
{
    RecordingWindow parent;
    ASSERT_TRUE(parent.create(mainDescriptor()));
    OS::destroyWindow(parent.hwnd());
    EXPECT_EQ(parent.getImpl(), nullptr);
    WindowDescriptor d = mainDescriptor();
    d.contentFlags |= WindowDescriptor::kParentGiven;
    d.parent = &parent;
    RecordingWindow child;
    EXPECT_FALSE(child.create(d));
    EXPECT_EQ(child.getImpl(), nullptr);
    EXPECT_TRUE(OS::getTopLevelWindows().empty());

}

// A normal-class procedure that, at the first message of a window being created (before the
// framework binds it), tries to create another framework window.
struct NestedCreation {
    static inline RecordingWindow* inner = nullptr;
    static inline int attempts = 0;
    static inline bool made = false;

    static OS::LRESULT proc(OS::HWND hwnd, OS::UINT message, OS::WPARAM wParam, OS::LPARAM lParam)
    {
        if (inner && attempts == 0) {
            ++attempts;
            WindowDescriptor d = mainDescriptor();
            d.styleFlags = WindowDescriptor::kFrameless;
            made = inner->create(d);
        }
        return windowProc(hwnd, message, wParam, lParam);
    }
};

TEST_F(WindowCreation, ACreationInsideAPendingOneMakesNothing)
{
    const OS::WString normal = DETAIL::windowClassName(DETAIL::kNormalWindowClass);
    ASSERT_TRUE(OS::unregisterClass(normal));
    OS::WNDCLASSEXW wc;
    wc.lpfnWndProc = &NestedCreation::proc;
    wc.lpszClassName = normal;
    ASSERT_TRUE(OS::registerClass(wc));
    RecordingWindow outer, inner;
    NestedCreation::inner = &inner;
    const bool outerMade = outer.create(mainDescriptor());
    NestedCreation::inner = nullptr;
    EXPECT_TRUE(outerMade);
    EXPECT_EQ(NestedCreation::attempts, 1);
    EXPECT_FALSE(NestedCreation::made);
    EXPECT_EQ(inner.getImpl(), nullptr);
    EXPECT_EQ(OS::getTopLevelWindows(), std::vector<OS::HWND>{outer.hwnd()});
    EXPECT_EQ(outer.count(kEventWindowCreated), 1);
    EXPECT_EQ(DETAIL::WindowImplWin32::beingCreated(), nullptr);
    OS::destroyWindow(outer.hwnd());
}

TEST_F(WindowCreation, APlatformRefusalLeavesNoWindowAndNoPendingCreation)
{
    RecordingWindow window;
    OS::WindowFaultScope fault(OS::WindowFault{OS::eWindowFault::CreateWindow, 0, 1, OS::ERROR_NOT_ENOUGH_MEMORY, {}});
    EXPECT_FALSE(window.create(mainDescriptor()));
    EXPECT_EQ(window.getImpl(), nullptr);
    EXPECT_EQ(DETAIL::WindowImplWin32::beingCreated(), nullptr);
    EXPECT_TRUE(window.create(mainDescriptor()));
}

TEST_F(WindowCreation, AMenuBarKeepsTheClientSizeAndReplacesTheOldOne)
{
    RecordingWindow window;
    ASSERT_TRUE(window.create(mainDescriptor()));
    OS::HMENU first = OS::createMenu();
    OS::appendMenu(first, OS::MF_STRING, 1, u"&One");
    window.getImpl()->setMenuBar(HMenuBar(first));
    EXPECT_EQ(OS::getMenu(window.hwnd()), first);
    EXPECT_EQ(window.getSize(true), (Size{627, 335}));
    EXPECT_EQ(OS::getMenuBarRedrawCount(window.hwnd()), 1);
    OS::HMENU second = OS::createMenu();
    window.getImpl()->setMenuBar(HMenuBar(second));
    EXPECT_FALSE(OS::isMenu(first));
    EXPECT_EQ(OS::getMenu(window.hwnd()), second);
    EXPECT_EQ(OS::getMenuBarRedrawCount(window.hwnd()), 2);
    OS::destroyWindow(window.hwnd());
    EXPECT_FALSE(OS::isMenu(second));
}

}  // namespace
