#include <gtest/gtest.h>

#include <memory>

#include "os/windows/menus/Menu.h"
#include "uia/app/Accelerators.h"
#include "uia/app/AppModule.h"
#include "uia/app/Application.h"
#include "uia/platform/window/WindowImplWin32.h"
#include "uia/tests/WindowTestSupport.h"
#include "uia/window/Menu.h"

using namespace HA;
using namespace HA::UIA;
using namespace HA::UIA::TEST;

namespace {

constexpr std::uint32_t kControlA = 0x20000041;
constexpr std::uint32_t kNumpad = 0x00800000;
constexpr int kZoom = 30301;

TEST(AcceleratorMap, FindsKeysAndTheMainBlockTwinOfKeypadKeys)
{
    AcceleratorManagerImplMap map;
    map.add(kControlA, 100);
    map.add(0x20000000 | kNumpad | 0x31, 7);  // a keypad key with its own entry
    map.add(0x20000031, 8);
    struct Row {
        const char* name;
        std::uint32_t key;
        int command;
    };
    const Row rows[] = {
        {"Control+A", kControlA, 100},
        {"Control+A with the numpad flag", kControlA | kNumpad, 100},
        {"Control+A with the bits next to the flag", kControlA | 0x00020000, 100},
        {"A without Control", 0x41, 0},
        {"Control+B", 0x20000042, 0},
        {"keypad 1 has its own entry", 0x20000000 | kNumpad | 0x31, 7},
        {"main-block 1", 0x20000031, 8},
    };
    for (const Row& r : rows)
        EXPECT_EQ(map.find(r.key), r.command) << r.name;

    map.add(kControlA, 200);
    EXPECT_EQ(map.find(kControlA), 200) << "the second add replaces";
    map.clear();
    EXPECT_EQ(map.find(kControlA), 0);
    EXPECT_EQ(map.find(kControlA | kNumpad), 0);
}

// A bar: [File: 1, separator, Recent: [5, 6]], 2, and a plain item 5 after the submenu.
struct Menus {
    Menus()
    {
        recent = OS::createPopupMenu();
        OS::appendMenu(recent, OS::MF_STRING, 5, u"One");
        OS::appendMenu(recent, OS::MF_STRING, 6, u"Two");
        file = OS::createPopupMenu();
        OS::appendMenu(file, OS::MF_STRING, 1, u"Open");
        OS::appendMenu(file, OS::MF_SEPARATOR, 0);
        OS::appendMenu(file, OS::MF_POPUP, reinterpret_cast<OS::UINT_PTR>(recent), u"Recent");
        bar = OS::createMenu();
        OS::appendMenu(bar, OS::MF_POPUP, reinterpret_cast<OS::UINT_PTR>(file), u"File");
        OS::appendMenu(bar, OS::MF_STRING, 2, u"Help");
        OS::appendMenu(bar, OS::MF_STRING, 5, u"Late twin");
    }
    ~Menus() { OS::destroyMenu(bar); }
    OS::HMENU bar, file, recent;
};

TEST(MenuFindItem, SearchesDepthFirstAndSkipsSeparators)
{
    Menus m;
    struct Row {
        const char* name;
        int id;
        bool found;
        OS::HMENU menu;
        int position;
    };
    const Row rows[] = {
        {"in the first submenu", 1, true, m.file, 0},
        {"in a nested submenu, before a later twin", 5, true, m.recent, 0},
        {"second of the nested", 6, true, m.recent, 1},
        {"top level", 2, true, m.bar, 1},
        {"a separator's id is not an item", 0, false, nullptr, -7},
        {"absent", 99, false, nullptr, -7},
    };
    for (const Row& r : rows) {
        HMenu menu(reinterpret_cast<OS::HMENU>(0x1));
        int position = -7;
        EXPECT_EQ(HMenu(m.bar).findItem(r.id, &menu, &position), r.found) << r.name;
        EXPECT_EQ(menu.getHandle(), r.found ? r.menu : reinterpret_cast<OS::HMENU>(0x1)) << r.name;
        EXPECT_EQ(position, r.position) << r.name;
    }
    EXPECT_TRUE(HMenu(m.bar).findItem(6, nullptr, nullptr));
}

TEST(MenuItems, EnableReportsThePreviousState)
{
    Menus m;
    EXPECT_EQ(OS::getMenuItemCount(m.file), 3);
    EXPECT_EQ(OS::getMenuItemID(m.file, 2), static_cast<OS::UINT>(-1));
    EXPECT_EQ(OS::getSubMenu(m.file, 2), m.recent);
    EXPECT_EQ(OS::enableMenuItem(m.bar, 6, OS::MF_BYCOMMAND | OS::MF_GRAYED), OS::MF_ENABLED);
    EXPECT_EQ(OS::getMenuItemFlags(m.recent, 1) & OS::MF_GRAYED, OS::MF_GRAYED);
    EXPECT_EQ(OS::enableMenuItem(m.recent, 1, OS::MF_BYPOSITION | OS::MF_ENABLED), OS::MF_GRAYED);
    EXPECT_EQ(OS::enableMenuItem(m.bar, 77, OS::MF_BYCOMMAND), static_cast<OS::UINT>(-1));
    EXPECT_EQ(OS::enableMenuItem(m.recent, 9, OS::MF_BYPOSITION), static_cast<OS::UINT>(-1));
    EXPECT_EQ(OS::enableMenuItem(nullptr, 1, OS::MF_BYCOMMAND), static_cast<OS::UINT>(-1));
}

class WindowMenus : public FrameworkWindowTest {
protected:
    void SetUp() override
    {
        FrameworkWindowTest::SetUp();
        WindowDescriptor d = mainDescriptor();
        d.styleFlags = WindowDescriptor::kZoomMenuItem | WindowDescriptor::kToolbarMenuItem;
        ASSERT_TRUE(window.create(d));
        hwnd = window.hwnd();
        window.handler = [this](RecordingWindow&, int code, void* data) -> std::optional<bool> {
            if (code == kEventCommand) {
                commands.push_back(static_cast<CommandEventData*>(data)->id);
                return true;
            }
            if (code == kEventMenuItemShowing || code == kEventMenuPopupShowing) {
                auto* e = static_cast<MenuEventData*>(data);
                EXPECT_NE(e->menu, nullptr);
                items.push_back(e->id);
                return handled(e->id);
            }
            if (code == kEventZoomSize) {
                ++zoomAsked;
                return false;
            }
            return std::nullopt;
        };
    }

    DETAIL::WindowImplWin32& impl() { return *static_cast<DETAIL::WindowImplWin32*>(window.getImpl()); }

    RecordingWindow window;
    OS::HWND hwnd = nullptr;
    std::function<bool(int id)> handled = [](int) { return false; };
    std::vector<int> items;
    std::vector<int> commands;
    int zoomAsked = 0;
};

TEST_F(WindowMenus, PopupAnswersFollowTheLastPlainItem)
{
    // Popup: 1, separator, submenu [5, 6], 2.
    OS::HMENU sub = OS::createPopupMenu();
    OS::appendMenu(sub, OS::MF_STRING, 5, u"Five");
    OS::HMENU popup = OS::createPopupMenu();
    OS::appendMenu(popup, OS::MF_STRING, 1, u"One");
    OS::appendMenu(popup, OS::MF_SEPARATOR, 0);
    OS::appendMenu(popup, OS::MF_POPUP, reinterpret_cast<OS::UINT_PTR>(sub), u"Sub");
    OS::appendMenu(popup, OS::MF_STRING, 2, u"Two");
    OS::HMENU separators = OS::createPopupMenu();
    OS::appendMenu(separators, OS::MF_SEPARATOR, 0);
    OS::HMENU empty = OS::createPopupMenu();

    struct Row {
        const char* name;
        OS::HMENU menu;
        std::function<bool(int)> handled;
        std::vector<int> events;
        bool answered;  // else default processing
    };
    const std::vector<Row> rows = {
        {"popup handled whole", popup, [](int id) { return id == -1; }, {-1}, true},
        {"all plain items handled", popup, [](int id) { return id != -1; }, {-1, 1, 2}, true},
        {"last plain item not handled", popup, [](int id) { return id == 1; }, {-1, 1, 2}, false},
        {"only the last handled", popup, [](int id) { return id == 2; }, {-1, 1, 2}, true},
        {"no items", empty, [](int) { return false; }, {-1}, true},
        {"separators only", separators, [](int) { return false; }, {-1}, true},
    };
    for (const Row& r : rows) {
        items.clear();
        handled = r.handled;
        auto answer = impl().onMenuPopup(r.menu);
        EXPECT_EQ(answer.has_value(), r.answered) << r.name;
        if (answer) {
            EXPECT_EQ(*answer, 0) << r.name;
        }
        EXPECT_EQ(items, r.events) << r.name;
    }
    OS::destroyMenu(popup);
    OS::destroyMenu(separators);
    OS::destroyMenu(empty);
}

TEST_F(WindowMenus, TheZoomItemIsGreyedWhileMaximisedOrMinimised)
{
    OS::HMENU system = OS::getSystemMenu(hwnd, false);
    ASSERT_NE(system, nullptr);
    HMenu holder;
    int at = -1;
    ASSERT_TRUE(HMenu(system).findItem(kZoom, &holder, &at));
    struct Row {
        const char* name;
        std::function<void(DETAIL::WindowImpl&)> state;
        bool greyed;
    };
    const Row rows[] = {
        {"normal", [](DETAIL::WindowImpl&) {}, false},
        {"maximised", [](DETAIL::WindowImpl& i) { i.maximize(); }, true},
        {"restored", [](DETAIL::WindowImpl& i) { i.restore(); }, false},
        {"minimised", [](DETAIL::WindowImpl& i) { i.minimize(); }, true},
    };
    for (const Row& r : rows) {
        r.state(impl());
        auto answer = impl().onMenuPopup(system);
        ASSERT_TRUE(answer.has_value()) << r.name << ": the zoom item is the last plain item";
        EXPECT_EQ((OS::getMenuItemFlags(system, at) & OS::MF_GRAYED) != 0, r.greyed) << r.name;
    }
    // A handled zoom item is left as it is.
    impl().maximize();
    OS::enableMenuItem(system, kZoom, OS::MF_ENABLED);
    handled = [](int id) { return id == kZoom; };
    impl().onMenuPopup(system);
    EXPECT_EQ(OS::getMenuItemFlags(system, at) & OS::MF_GRAYED, 0u);
}

TEST_F(WindowMenus, SystemCommandsZoomOnlyNormalWindowsAndShowTheToolbarToTheWindow)
{
    EXPECT_EQ(OS::sendMessage(hwnd, OS::WM_SYSCOMMAND, kZoom, 0), 0);
    EXPECT_EQ(zoomAsked, 1) << "a normal window zooms";
    impl().maximize();
    EXPECT_EQ(OS::sendMessage(hwnd, OS::WM_SYSCOMMAND, kZoom, 0), 0);
    EXPECT_EQ(zoomAsked, 1) << "a maximised window does nothing";
    EXPECT_TRUE(impl().isZoomed());
    EXPECT_TRUE(commands.empty()) << "30301 is never an event";

    EXPECT_EQ(OS::sendMessage(hwnd, OS::WM_SYSCOMMAND, 30311, 0), 0);
    EXPECT_EQ(commands, (std::vector<int>{30311}));
}

// An application with an accelerator table, for the look-up.
class AccelModule : public AppModule {
public:
    bool initialize() override { return true; }
    void deinitialize(bool) override { detachApplication(); }
};

TEST_F(WindowMenus, AcceleratorsBecomeCommandsForFunctionKeysAndControl)
{
    AccelModule module;
    auto* app = new Application;
    ASSERT_TRUE(module.attachApplication(app));
    app->getAccelerators().add(kControlA, 100);
    app->getAccelerators().add(0x10005, 101);  // F5
    app->getAccelerators().add(0x42, 102);     // B without Control: never looked up
    app->getAccelerators().add(0x2000005A, kZoom);
    struct Row {
        const char* name;
        int key;
        bool answered;
        std::vector<int> commands;
    };
    const Row rows[] = {
        {"Control+A", static_cast<int>(kControlA), true, {100}},
        {"Control+A on the keypad", static_cast<int>(kControlA | kNumpad), true, {100}},
        {"F5", 0x10005, true, {101}},
        {"B without Control", 0x42, false, {}},
        {"absent", 0x20000043, false, {}},
    };
    for (const Row& r : rows) {
        commands.clear();
        EXPECT_EQ(impl().runAccelerator(r.key), r.answered) << r.name;
        EXPECT_EQ(commands, r.commands) << r.name;
    }
    EXPECT_FALSE(impl().runAccelerator(0x2000005A));
    EXPECT_EQ(zoomAsked, 1) << "the zoom command zooms";
    // Host kind 0 (this system): the key path never looks up.
    int pending = static_cast<int>(kControlA);
    EXPECT_FALSE(impl().acceleratorLookUp(pending).has_value());
    EXPECT_EQ(pending, static_cast<int>(kControlA));
    module.detachApplication();
}

}  // namespace
