#include "os/windows/menus/Menu.h"

#include <gtest/gtest.h>

#include "os/tests/WindowTestSupport.h"

using namespace HA::OS;
using HA::OS::Testing::WindowTest;

namespace {

class Menus : public WindowTest {};

std::vector<WString> itemTexts(HMENU menu)
{
    std::vector<WString> texts;
    for (int i = 0; i < getMenuItemCount(menu); ++i)
        texts.push_back(getMenuString(menu, i));
    return texts;
}

TEST_F(Menus, ItemsSeparatorsAndSubmenusComeInOrderAndGoWithTheirMenu)
{
    HMENU bar = createMenu();
    HMENU file = createPopupMenu();
    ASSERT_TRUE(appendMenu(file, MF_STRING, 100, u"&Open"));
    ASSERT_TRUE(appendMenu(file, MF_SEPARATOR, 0));
    ASSERT_TRUE(appendMenu(file, MF_STRING | MF_GRAYED, 101, u"E&xit"));
    ASSERT_TRUE(appendMenu(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(file), u"&File"));
    EXPECT_FALSE(appendMenu(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(bar), u"self"));
    EXPECT_EQ(getMenuItemCount(bar), 1);
    EXPECT_EQ(getSubMenu(bar, 0), file);
    EXPECT_EQ(getMenuItemID(bar, 0), UINT(-1));
    EXPECT_EQ(itemTexts(file), (std::vector<WString>{u"&Open", u"", u"E&xit"}));
    EXPECT_EQ(getMenuItemID(file, 1), 0u);
    EXPECT_EQ(getMenuItemID(file, 2), 101u);
    EXPECT_EQ(getMenuItemFlags(file, 2), MF_GRAYED);
    EXPECT_EQ(getMenuItemFlags(file, 1), MF_SEPARATOR);
    EXPECT_EQ(getMenuItemID(file, 3), UINT(-1));
    EXPECT_EQ(getLastError(), ERROR_INVALID_PARAMETER);
    ASSERT_TRUE(destroyMenu(bar));
    EXPECT_FALSE(isMenu(bar));
    EXPECT_FALSE(isMenu(file));
    EXPECT_EQ(getMenuItemCount(file), -1);
    EXPECT_EQ(getLastError(), ERROR_INVALID_MENU_HANDLE);
}

TEST_F(Menus, TheSystemMenuHasThePlatformItemsOnlyWithASystemMenuStyle)
{
    HWND framed = create(WS_OVERLAPPEDWINDOW);
    HWND popup = create(WS_POPUP);
    HMENU sys = getSystemMenu(framed, false);
    ASSERT_TRUE(sys);
    EXPECT_EQ(getSystemMenu(framed, false), sys);
    EXPECT_EQ(itemTexts(sys), (std::vector<WString>{u"&Restore", u"&Move", u"&Size", u"Mi&nimize", u"Ma&ximize",
                                                    u"", u"&Close\tAlt+F4"}));
    EXPECT_EQ(getMenuItemID(sys, 6), UINT(SC_CLOSE));
    EXPECT_EQ(getSystemMenu(popup, false), nullptr);
    ASSERT_TRUE(appendMenu(sys, MF_STRING, 30301, u"&Zoom Window"));
    EXPECT_EQ(getSystemMenu(framed, true), nullptr);
    EXPECT_FALSE(isMenu(sys));
    EXPECT_EQ(getMenuItemCount(getSystemMenu(framed, false)), 7);
}

TEST_F(Menus, AMenuBarShrinksTheClientAreaAndGoesWithTheWindow)
{
    HWND hwnd = create(WS_OVERLAPPEDWINDOW, nullptr, {}, u"bar", 0, RECT{10, 10, 410, 310});
    RECT before, outerBefore;
    getClientRect(hwnd, before);
    getWindowRect(hwnd, outerBefore);
    HMENU bar = createMenu();
    appendMenu(bar, MF_STRING, 1, u"&Go");
    HMENU sys = getSystemMenu(hwnd, false);
    clearJournal();
    ASSERT_TRUE(setMenu(hwnd, bar));
    EXPECT_EQ(getMenu(hwnd), bar);
    RECT after, outerAfter;
    getClientRect(hwnd, after);
    getWindowRect(hwnd, outerAfter);
    EXPECT_EQ(outerAfter, outerBefore);
    EXPECT_EQ(after.bottom, before.bottom - 20);
    EXPECT_EQ(after.right, before.right);
    auto log = journal();
    auto size = std::find_if(log.begin(), log.end(), [](const Testing::Logged& l) { return l.message == WM_SIZE; });
    ASSERT_NE(size, log.end());
    EXPECT_EQ(size->lParam, makeLParam(after.right, after.bottom));
    EXPECT_EQ(messages(hwnd, {WM_WINDOWPOSCHANGING, WM_WINDOWPOSCHANGED, WM_MOVE, WM_SIZE, WM_GETMINMAXINFO}),
              std::vector<UINT>{WM_NCCALCSIZE});

    EXPECT_EQ(getMenuBarRedrawCount(hwnd), 0);
    EXPECT_TRUE(drawMenuBar(hwnd));
    EXPECT_EQ(getMenuBarRedrawCount(hwnd), 1);

    HWND child = create(WS_CHILD, hwnd);
    EXPECT_FALSE(setMenu(child, bar));
    EXPECT_EQ(getLastError(), ERROR_CHILD_WINDOW_MENU);

    ASSERT_TRUE(destroyWindow(hwnd));
    EXPECT_FALSE(isMenu(bar));
    EXPECT_FALSE(isMenu(sys));
}

}  // namespace

namespace {

class Parents : public WindowTest {};

TEST_F(Parents, AChildMovesBetweenParentsAndATopLevelWindowChangesItsOwner)
{
    HWND first = create(WS_OVERLAPPEDWINDOW);
    HWND second = create(WS_OVERLAPPEDWINDOW);
    HWND child = create(WS_CHILD, first);
    HWND popup = create(WS_POPUP);
    ASSERT_TRUE(first && second && child && popup);
    EXPECT_EQ(setParent(child, second), first);
    EXPECT_EQ(getParent(child), second);
    EXPECT_TRUE(getChildWindows(first).empty());
    EXPECT_EQ(getChildWindows(second), std::vector<HWND>{child});
    EXPECT_EQ(setParent(second, child), nullptr);  // its own descendant
    EXPECT_EQ(getLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(setParent(child, nullptr), nullptr);
    EXPECT_EQ(getParent(child), second);
    EXPECT_EQ(setParent(popup, first), nullptr);
    EXPECT_EQ(getParent(popup), first);
    destroyWindow(second);
    EXPECT_FALSE(isWindow(child));
}

}  // namespace
