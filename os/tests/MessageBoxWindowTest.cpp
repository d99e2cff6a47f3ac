// The message box as a window: its look, its buttons and their order, the default, the
// icon, answers by keyboard and mouse through the input, and its modality.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "os/kernel/Kernel.h"
#include "os/windows/input/Input.h"
#include "os/windows/messagebox/MessageBox.h"
#include "os/windows/timers/WindowTimer.h"
#include "os/tests/MessageBoxTestSupport.h"
#include "os/tests/WindowPictureSupport.h"
#include "os/tests/WindowTestSupport.h"

using namespace HA::OS;
using namespace HA::OS::Testing;

namespace {

const WString kQuestion =
    u"An update is currently in progress. Interrupting the update process may damage the device.\nDo you really "
    u"want to quit ?";
const WString kTitle = u"VIREO INTERFACE UPDATER";
constexpr UINT kQuit = MB_YESNO | MB_DEFBUTTON2 | MB_ICONQUESTION | MB_TASKMODAL | MB_SETFOREGROUND;
constexpr UINT kFatal = MB_OK | MB_TASKMODAL | MB_SETFOREGROUND;

class MessageBoxWindow : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        INPUT::reset();
        clearMessageBoxRecords();
    }
    void TearDown() override
    {
        INPUT::reset();
        WindowTest::TearDown();
    }

    // The box's button ids from left to right.
    static std::vector<int> buttonsInOrder(HWND box)
    {
        std::vector<std::pair<LONG, int>> found;
        for (int id : {IDOK, IDCANCEL, IDABORT, IDRETRY, IDIGNORE, IDYES, IDNO, IDTRYAGAIN, IDCONTINUE}) {
            RECT r{};
            if (messageBoxButtonRect(box, id, r))
                found.emplace_back(r.left, id);
        }
        std::sort(found.begin(), found.end());
        std::vector<int> ids;
        for (auto& f : found)
            ids.push_back(f.second);
        return ids;
    }

    MessageBoxWindowScope mWindows;
};

TEST_F(MessageBoxWindow, TheQuitQuestionAndTheFatalErrorLookAsStored)
{
    struct Case {
        const char* picture;
        WString text;
        UINT type;
        int answer;
    };
    const Case cases[] = {
        {"message-box-quit-question", kQuestion, kQuit, IDNO},
        {"message-box-fatal-error", u"Error gp/src/common/init_gp:58\n\nThe library was started twice.", kFatal, IDOK},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.picture);
        later(100, [&] {
            HWND box = findBox();
            ASSERT_NE(box, nullptr);
            EXPECT_EQ(getWindowText(box), kTitle);
            EXPECT_TRUE(isWindowVisible(box));
            EXPECT_TRUE(looksLike(box, c.picture));
            tapKey(kScanEnter);
        });
        EXPECT_EQ(messageBox(nullptr, c.text, kTitle, c.type), c.answer);
        EXPECT_EQ(findBox(), nullptr);
    }
}

TEST_F(MessageBoxWindow, EachTypeHasItsButtonsInOrderItsDefaultAndItsIcon)
{
    struct Case {
        UINT type;
        std::vector<int> buttons;
        int defaultButton;
        std::uint32_t iconColour;  // a pixel in the icon's lower left, away from its mark
    };
    constexpr std::uint32_t kNone = 0xFFFFFFFF, kBlue = 0xFF2A6FCB, kRed = 0xFFD43A32, kYellow = 0xFFF5BE1E;
    const Case cases[] = {
        {MB_OK, {IDOK}, IDOK, kNone},
        {MB_OKCANCEL | MB_ICONINFORMATION, {IDOK, IDCANCEL}, IDOK, kBlue},
        {MB_OKCANCEL | MB_DEFBUTTON2 | MB_ICONERROR, {IDOK, IDCANCEL}, IDCANCEL, kRed},
        {MB_ABORTRETRYIGNORE | MB_DEFBUTTON3 | MB_ICONWARNING, {IDABORT, IDRETRY, IDIGNORE}, IDIGNORE, kYellow},
        {MB_YESNOCANCEL | MB_DEFBUTTON3 | MB_ICONQUESTION, {IDYES, IDNO, IDCANCEL}, IDCANCEL, kBlue},
        {MB_YESNO | MB_DEFBUTTON2 | MB_ICONQUESTION, {IDYES, IDNO}, IDNO, kBlue},
        {MB_RETRYCANCEL | MB_ICONERROR, {IDRETRY, IDCANCEL}, IDRETRY, kRed},
        {MB_CANCELTRYCONTINUE | MB_DEFBUTTON2, {IDCANCEL, IDTRYAGAIN, IDCONTINUE}, IDTRYAGAIN, kNone},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "type 0x" << std::hex << c.type);
        later(100, [&] {
            HWND box = findBox();
            ASSERT_NE(box, nullptr);
            EXPECT_EQ(buttonsInOrder(box), c.buttons);
            // Buttons of one width, right-aligned.
            std::vector<RECT> rects;
            for (int id : c.buttons) {
                RECT r{};
                ASSERT_TRUE(messageBoxButtonRect(box, id, r));
                rects.push_back(r);
            }
            for (const RECT& r : rects)
                EXPECT_EQ(r.right - r.left, rects[0].right - rects[0].left);
            RECT client{};
            getClientRect(box, client);
            POINT origin{0, 0};
            clientToScreen(box, origin);
            EXPECT_EQ(origin.x + client.right - rects.back().right, 12);
            WindowPixels pixels;
            ASSERT_TRUE(readWindowPixels(box, pixels));
            EXPECT_EQ(pixels.at(20 + 10, 20 + 24) | 0xFF000000u, c.iconColour);
            // The marked button is the default: Enter answers it.
            tapKey(kScanEnter);
        });
        EXPECT_EQ(messageBox(nullptr, u"Which one?", u"Types", c.type), c.defaultButton);
    }
}

TEST_F(MessageBoxWindow, KeysAndClicksAnswerAsOnThePlatform)
{
    struct Case {
        const char* name;
        UINT type;
        std::function<void(HWND)> input;
        int answer;
    };
    const Case cases[] = {
        {"Enter answers the default", MB_YESNO | MB_DEFBUTTON2, [](HWND) { tapKey(kScanEnter); }, IDNO},
        {"Space answers the default", MB_YESNO | MB_DEFBUTTON2, [](HWND) { tapKey(kScanSpace); }, IDNO},
        {"Tab moves on and wraps", MB_YESNO | MB_DEFBUTTON2,
         [](HWND) {
             tapKey(kScanTab);
             tapKey(kScanEnter);
         },
         IDYES},
        {"Shift+Tab moves back", MB_YESNOCANCEL,
         [](HWND) {
             INPUT::key(kScanShift, true);
             tapKey(kScanTab);
             INPUT::key(kScanShift, false);
             tapKey(kScanEnter);
         },
         IDCANCEL},
        {"arrows move", MB_ABORTRETRYIGNORE,
         [](HWND) {
             tapKey(kScanRight, true);
             tapKey(kScanRight, true);
             tapKey(kScanLeft, true);
             tapKey(kScanEnter);
         },
         IDRETRY},
        {"Escape answers Cancel", MB_YESNOCANCEL, [](HWND) { tapKey(kScanEscape); }, IDCANCEL},
        {"Escape answers OK alone", MB_OK, [](HWND) { tapKey(kScanEscape); }, IDOK},
        {"Escape does nothing for Yes and No", MB_YESNO | MB_DEFBUTTON2,
         [](HWND) {
             tapKey(kScanEscape);
             tapKey(kScanTab);
             tapKey(kScanEnter);
         },
         IDYES},
        {"Alt+F4 answers Cancel", MB_RETRYCANCEL, [](HWND) { altF4(); }, IDCANCEL},
        {"Alt+F4 does nothing for Yes and No", MB_YESNO,
         [](HWND) {
             altF4();
             tapKey(kScanEnter);
         },
         IDYES},
        {"a click on No", MB_YESNO, [](HWND box) { EXPECT_TRUE(clickButton(box, IDNO)); }, IDNO},
        {"a click on Ignore", MB_ABORTRETRYIGNORE, [](HWND box) { EXPECT_TRUE(clickButton(box, IDIGNORE)); },
         IDIGNORE},
        {"a press let go elsewhere only marks", MB_YESNO | MB_DEFBUTTON2,
         [](HWND box) {
             RECT yes{};
             ASSERT_TRUE(messageBoxButtonRect(box, IDYES, yes));
             INPUT::button(1, true, yes.left + 5, yes.top + 5);
             INPUT::moveTo(yes.left - 30, yes.top + 5);
             INPUT::button(1, false, yes.left - 30, yes.top + 5);
             tapKey(kScanEnter);
         },
         IDYES},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        later(100, [&] {
            HWND box = findBox();
            ASSERT_NE(box, nullptr);
            c.input(box);
        });
        EXPECT_EQ(messageBox(nullptr, u"Answer me.", u"Keys", c.type), c.answer);
        EXPECT_EQ(findBox(), nullptr);
    }
}

TEST_F(MessageBoxWindow, TheOwnerIsDisabledWhileTheBoxIsUpAndItsTimersRun)
{
    HWND owner = create(WS_OVERLAPPED | WS_CAPTION | WS_VISIBLE, nullptr, {}, u"owner", 0, RECT{100, 100, 740, 460});
    ASSERT_NE(owner, nullptr);
    int ticks = 0;
    setHandler(owner, [&](HWND, UINT message, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (message == WM_TIMER)
            ++ticks;
        return std::nullopt;
    });
    ASSERT_TRUE(setTimer(owner, 7, 100));
    const TimeMs start = Clock::now();
    later(1050, [&] {
        HWND box = findBox();
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(getParent(box), owner);
        EXPECT_FALSE(isWindowEnabled(owner));
        EXPECT_EQ(getFocus(), box);
        // Centred over the owner.
        RECT ownerRect{}, boxRect{};
        getWindowRect(owner, ownerRect);
        getWindowRect(box, boxRect);
        EXPECT_LE(std::abs((boxRect.left + boxRect.right) - (ownerRect.left + ownerRect.right)), 1);
        EXPECT_LE(std::abs((boxRect.top + boxRect.bottom) - (ownerRect.top + ownerRect.bottom)), 1);
        // A click on the owner reaches nothing.
        clearJournal();
        INPUT::button(1, true, ownerRect.left + 20, ownerRect.bottom - 20);
        INPUT::button(1, false, ownerRect.left + 20, ownerRect.bottom - 20);
        EXPECT_TRUE(clickButton(box, IDYES));
    });
    EXPECT_EQ(messageBox(owner, u"Go on?", u"Owned", MB_YESNO | MB_DEFBUTTON2 | MB_ICONQUESTION), IDYES);
    EXPECT_EQ(ticks, 10);  // the owner's timer went on while the box waited
    EXPECT_GE(Clock::now() - start, 1050);
    EXPECT_TRUE(isWindowEnabled(owner));
    EXPECT_EQ(getActiveWindow(), owner);
    for (UINT m : messages(owner))
        EXPECT_NE(m, UINT(WM_LBUTTONDOWN));
    EXPECT_EQ(findBox(), nullptr);
}

TEST_F(MessageBoxWindow, ATaskModalBoxWithoutOwnerDisablesTheThreadsWindows)
{
    HWND a = create(WS_OVERLAPPED | WS_CAPTION | WS_VISIBLE);
    HWND b = create(WS_OVERLAPPED | WS_CAPTION | WS_VISIBLE);
    ASSERT_TRUE(enableWindow(b, false) == false);  // b was enabled
    later(100, [&] {
        HWND box = findBox();
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(getParent(box), nullptr);
        EXPECT_FALSE(isWindowEnabled(a));
        // Centred on the work area.
        RECT work = getWorkArea(), r{};
        getWindowRect(box, r);
        EXPECT_LE(std::abs((r.left + r.right) - (work.left + work.right)), 1);
        tapKey(kScanEnter);
    });
    EXPECT_EQ(messageBox(nullptr, kQuestion, kTitle, kQuit), IDNO);
    EXPECT_TRUE(isWindowEnabled(a));
    EXPECT_FALSE(isWindowEnabled(b));  // what was disabled before stays so
}

TEST_F(MessageBoxWindow, AQuitWhileTheBoxIsUpEndsItAndIsPostedAgain)
{
    later(100, [] { postQuitMessage(3); });
    EXPECT_EQ(messageBox(nullptr, u"Quit under me", u"Q", MB_OKCANCEL), IDCANCEL);
    MSG msg{};
    EXPECT_EQ(getMessage(msg), 0);
    EXPECT_EQ(msg.wParam, 3u);
}

TEST_F(MessageBoxWindow, AnOverlongTextIsWrappedAndCutToTheWorkArea)
{
    WString text(3000, u'x');  // one word, wider than many lines
    for (int i = 0; i < 200; ++i)
        text += u"\nline";
    later(100, [&] {
        HWND box = findBox();
        ASSERT_NE(box, nullptr);
        RECT r{}, work = getWorkArea();
        getWindowRect(box, r);
        EXPECT_GE(r.top, work.top);
        EXPECT_LE(r.bottom, work.bottom);
        EXPECT_LE(r.right - r.left, 600);
        tapKey(kScanEnter);
    });
    EXPECT_EQ(messageBox(nullptr, text, u"Long", MB_OK | MB_ICONERROR), IDOK);
}

TEST_F(MessageBoxWindow, AScriptStillAnswersWithoutAWindow)
{
    MessageBoxScript script([](const std::string& p) { ADD_FAILURE() << p; });
    script.expect(IDYES);
    EXPECT_EQ(messageBox(nullptr, kQuestion, kTitle, kQuit), IDYES);
    EXPECT_EQ(findBox(), nullptr);
}

}  // namespace
