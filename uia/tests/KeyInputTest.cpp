#include <gtest/gtest.h>

#include <functional>
#include <sstream>

#include "os/windows/Message.h"
#include "uia/tests/InputTestSupport.h"

using namespace HA;
using namespace HA::UIA;
using namespace HA::UIA::TEST;
namespace INPUT = HA::OS::INPUT;

namespace {

// A key event as a row expects it: code, then keyCode / modifiers, scanKey, or text.
struct Ev {
    int code;
    long long a = 0;
    long long b = 0;
    std::string text = {};
    bool first = true;
};

std::string describe(const std::vector<Recorded>& got)
{
    std::ostringstream s;
    for (const Recorded& r : got)
        s << r.code << "{" << std::hex << r.a << "," << r.b << std::dec << "," << r.text << "} ";
    return s.str();
}

void expectEvents(const std::vector<Recorded>& got, const std::vector<Ev>& expected, const std::string& what)
{
    ASSERT_EQ(got.size(), expected.size()) << what << ": " << describe(got);
    for (std::size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(got[i].code, expected[i].code) << what << " " << i;
        if (got[i].code == kEventChar || got[i].code == kEventDeadChar) {
            EXPECT_EQ(got[i].text, expected[i].text) << what << " " << i;
            continue;
        }
        EXPECT_EQ(got[i].a, expected[i].a) << what << " " << i << ": " << describe(got);
        if (got[i].code != kEventModifiersChanged) {
            EXPECT_EQ(got[i].b, expected[i].b) << what << " " << i << ": " << describe(got);
        }
        if (got[i].code == kEventKeyDown) {
            EXPECT_EQ(got[i].first, expected[i].first) << what << " " << i;
        }
    }
}

class KeyInput : public InputWindowTest {};

constexpr int kShift = 0x10000000;
constexpr int kControl = 0x20000000;
constexpr int kAlt = 0x40000000;
constexpr int kCaps = 0x02000000;
constexpr int kWin = 0x01000000;

}  // namespace

TEST_F(KeyInput, KeysBecomeKeyCodesAndScanKeys)
{
    struct Row {
        const char* name;
        OS::HKL layout;
        std::function<void()> setUp;
        std::function<void()> keys;
        std::vector<Ev> expected;
    };
    auto none = [] {};
    const Row rows[] = {
        {"the main block's 1", OS::HKL_US, none, [] { INPUT::tap(0x02); },
         {{kEventKeyDown, '1', '1'}, {kEventChar, 0, 0, "1"}, {kEventKeyUp, '1', '1'}}},
        {"numpad 1, Num Lock on", OS::HKL_US, [] { INPUT::tap(0x45); }, [] { INPUT::tap(0x4F); },
         {{kEventKeyDown, 0x800031, 0x800031}, {kEventChar, 0, 0, "1"}, {kEventKeyUp, 0x800031, 0x800031}}},
        {"numpad 5 with Shift", OS::HKL_US,
         [] {
             INPUT::tap(0x45);
             INPUT::key(0x2A, true);
         },
         [] { INPUT::tap(0x4C); },
         {{kEventKeyDown, kShift | 0x800035, 0x800035},
          {kEventChar, 0, 0, "5"},
          {kEventKeyUp, kShift | 0x800035, 0x800035}}},
        {"numpad Enter", OS::HKL_US, none, [] { INPUT::tap(0x1C, true); },
         {{kEventKeyDown, 0x800005, -1}, {kEventKeyUp, 0x800005, -1}}},
        {"main Enter", OS::HKL_US, none, [] { INPUT::tap(0x1C); }, {{kEventKeyDown, 5, 5}, {kEventKeyUp, 5, 5}}},
        {"navigation Delete", OS::HKL_US, none, [] { INPUT::tap(0x53, true); },
         {{kEventKeyDown, 9, 9}, {kEventKeyUp, 9, 9}}},
        {"keypad decimal, Num Lock off", OS::HKL_US, none, [] { INPUT::tap(0x53); },
         {{kEventKeyDown, 0x800009, 0x80002C}, {kEventKeyUp, 0x800009, 0x80002C}}},
        {"German scan 0x15", OS::HKL_GERMAN, none, [] { INPUT::tap(0x15); },
         {{kEventKeyDown, 'Z', 'Y'}, {kEventChar, 0, 0, "z"}, {kEventKeyUp, 'Z', 'Y'}}},
        {"US scan 0x15", OS::HKL_US, none, [] { INPUT::tap(0x15); },
         {{kEventKeyDown, 'Y', 'Y'}, {kEventChar, 0, 0, "y"}, {kEventKeyUp, 'Y', 'Y'}}},
        {"Alt alone", OS::HKL_US, none, [] { INPUT::tap(0x38); },
         {{kEventModifiersChanged, kAlt}, {kEventModifiersChanged, 0}}},
        // Left unhandled, the key's default processing closes the window: no key up follows.
        {"F4 with Alt", OS::HKL_US, [] { INPUT::key(0x38, true); }, [] { INPUT::tap(0x3E); },
         {{kEventKeyDown, kAlt | 0x10004, 0x10004}}},
        {"F5 with Alt", OS::HKL_US, [] { INPUT::key(0x38, true); }, [] { INPUT::tap(0x3F); },
         {{kEventKeyDown, kAlt | 0x10005, 0x10005}, {kEventKeyUp, kAlt | 0x10005, 0x10005}}},
        // The code names of uia/events/Events.h describe what the translation gives.
        {"F1 by its name", OS::HKL_US, none, [] { INPUT::tap(0x3B); },
         {{kEventKeyDown, keyF(1), keyF(1)}, {kEventKeyUp, keyF(1), keyF(1)}}},
        {"F12 with Control and Alt by their names", OS::HKL_US,
         [] {
             INPUT::key(0x1D, true);
             INPUT::key(0x38, true);
         },
         [] { INPUT::tap(0x58); },
         {{kEventKeyDown, static_cast<int>(kModifierControl | kModifierAlt) | keyF(12), kKeyF12},
          {kEventKeyUp, static_cast<int>(kModifierControl | kModifierAlt) | keyF(12), kKeyF12}}},
        {"numpad 5 with Shift by their names", OS::HKL_US,
         [] {
             INPUT::tap(0x45);
             INPUT::key(0x2A, true);
         },
         [] { INPUT::tap(0x4C); },
         {{kEventKeyDown, static_cast<int>(kModifierShift) | kKeyNumpad | '5', kKeyNumpad | '5'},
          {kEventChar, 0, 0, "5"},
          {kEventKeyUp, static_cast<int>(kModifierShift) | kKeyNumpad | '5', kKeyNumpad | '5'}}},
        {"numpad Enter by its name", OS::HKL_US, none, [] { INPUT::tap(0x1C, true); },
         {{kEventKeyDown, kKeyNumpad | kKeyEnter, -1}, {kEventKeyUp, kKeyNumpad | kKeyEnter, -1}}},
        {"F10 alone is a system key", OS::HKL_US, none, [] { INPUT::tap(0x44); },
         {{kEventKeyDown, 0x1000A, 0x1000A}, {kEventKeyUp, 0x1000A, 0x1000A}}},
        {"Windows key alone", OS::HKL_US, none, [] { INPUT::tap(0x5B, true); },
         {{kEventKeyDown, 0, -1}, {kEventKeyUp, 0, -1}}},
        {"Windows key with Shift", OS::HKL_US, [] { INPUT::key(0x2A, true); }, [] { INPUT::tap(0x5B, true); },
         {{kEventModifiersChanged, kShift | kWin},
          {kEventKeyDown, kShift | kWin, -1},
          {kEventKeyUp, kShift, -1},
          {kEventModifiersChanged, kShift}}},
        {"Caps Lock", OS::HKL_US, none, [] { INPUT::tap(0x3A); },
         {{kEventModifiersChanged, kCaps}, {kEventKeyDown, kCaps, -1}, {kEventKeyUp, kCaps, -1}}},
        {"Control+A types nothing", OS::HKL_US, [] { INPUT::key(0x1D, true); }, [] { INPUT::tap(0x1E); },
         {{kEventKeyDown, kControl | 'A', 'A'}, {kEventKeyUp, kControl | 'A', 'A'}}},
        {"auto-repeat", OS::HKL_US, none,
         [] {
             INPUT::key(0x1E, true);
             INPUT::key(0x1E, true);
         },
         {{kEventKeyDown, 'A', 'A'}, {kEventChar, 0, 0, "a"}, {kEventKeyDown, 'A', 'A', {}, false},
          {kEventChar, 0, 0, "a"}}},
        {"a dead key then a vowel", OS::HKL_GERMAN, none,
         [] {
             INPUT::tap(0x29);
             INPUT::tap(0x1E);
         },
         {{kEventKeyDown, '^', '~'},
          {kEventDeadChar, 0, 0, "^"},
          {kEventKeyUp, '^', '~'},
          {kEventKeyDown, 'A', 'A'},
          {kEventChar, 0, 0, "\xC3\xA2"},
          {kEventKeyUp, 'A', 'A'}}},
        {"German umlaut key", OS::HKL_GERMAN, none, [] { INPUT::tap(0x28); },
         {{kEventKeyDown, 0xC4, '"'}, {kEventChar, 0, 0, "\xC3\xA4"}, {kEventKeyUp, 0xC4, '"'}}},
    };
    for (const Row& r : rows) {
        OS::INPUT::reset();
        RecordingWindow& w = open();
        OS::activateKeyboardLayout(r.layout);
        r.setUp();
        take();
        r.keys();
        expectEvents(take(), r.expected, r.name);
        OS::destroyWindow(w.hwnd());
        OS::pumpMessages();
    }
}

TEST_F(KeyInput, ALayoutChangeRefreshesTheKeyTable)
{
    open();
    EXPECT_EQ(virtualKeyTableEntry('Z'), 'Z');
    EXPECT_EQ(virtualKeyTableEntry(OS::VK_OEM_7), '\'');
    OS::activateKeyboardLayout(OS::HKL_GERMAN);
    EXPECT_EQ(virtualKeyTableEntry(OS::VK_OEM_7), 0xC4);
    EXPECT_EQ(virtualKeyTableEntry(OS::VK_OEM_5), '^') << "a dead key counts";
    EXPECT_EQ(virtualKeyTableEntry(OS::VK_OEM_6), 0xB4);
    // The refresh leaves no dead key pending.
    OS::WChar text[4];
    const OS::BYTE up[256] = {};
    EXPECT_EQ(OS::toUnicode('A', 0x1E, up, text, 4, 0), 1);
    EXPECT_EQ(text[0], u'a');
    OS::activateKeyboardLayout(OS::HKL_US);
    EXPECT_EQ(virtualKeyTableEntry(OS::VK_OEM_7), '\'');
    // The fixed part never changes.
    EXPECT_EQ(virtualKeyTableEntry(OS::VK_F1), 0x10001);
    EXPECT_EQ(virtualKeyTableEntry(OS::VK_DECIMAL), 0x80002C);
    EXPECT_EQ(virtualKeyTableEntry(OS::VK_LWIN), -1);
    EXPECT_EQ(virtualKeyTableEntry(256), -1);
    EXPECT_EQ(scanTableEntry(0xC5), 18);
    EXPECT_EQ(scanTableEntry(0x29), '~');
    EXPECT_EQ(scanTableEntry(-1), -1);
}

TEST_F(KeyInput, UnknownKeysAskTheLayoutAndCacheOnRelease)
{
    open();
    int scanKey = 0;
    // Beyond the table: no caching possible, no text.
    EXPECT_EQ(translateKey(0x1234, 0, &scanKey, true), 0);
    EXPECT_EQ(scanKey, -1);
    EXPECT_EQ(translateKey(OS::VK_LWIN, 0x015B0001, nullptr, false), 0);
    EXPECT_EQ(virtualKeyTableEntry(OS::VK_LWIN), -1);
    EXPECT_EQ(translateKey(OS::VK_LWIN, 0x015B0001, &scanKey, true), 0);
    EXPECT_EQ(virtualKeyTableEntry(OS::VK_LWIN), 0);
}

TEST_F(KeyInput, CharactersBeyondTheBasicPlaneArriveWhole)
{
    RecordingWindow& w = open();
    struct Row {
        const char* name;
        std::vector<OS::WPARAM> units;
        std::vector<std::string> texts;
    };
    const Row rows[] = {
        {"a pair", {0xD83D, 0xDE00}, {"\xF0\x9F\x98\x80"}},
        {"a lone low half", {0xDE00, 'b'}, {"b"}},
        {"a high half without its low one", {0xD83D, 'c'}, {"c"}},
        {"two highs then a low", {0xD83D, 0xD83D, 0xDE00}, {"\xF0\x9F\x98\x80"}},
        {"control characters", {0x08, 0x1B, ' '}, {" "}},
    };
    for (const Row& r : rows) {
        for (OS::WPARAM u : r.units)
            OS::queueInputMessage(w.hwnd(), OS::WM_CHAR, u, 1);
        std::vector<std::string> texts;
        for (const Recorded& e : take())
            if (e.code == kEventChar)
                texts.push_back(e.text);
        EXPECT_EQ(texts, r.texts) << r.name;
    }
}

TEST_F(KeyInput, ABlockedKeyboardSendsNothing)
{
    struct BlockedWindow : RecordingWindow {
        bool isKeyboardBlocked() const override { return true; }
    };
    windows.push_back(std::make_unique<BlockedWindow>());
    RecordingWindow& w = *windows.back();
    ASSERT_TRUE(w.create(mainDescriptor()));
    OS::showWindow(w.hwnd(), OS::SW_SHOW);
    OS::setFocus(w.hwnd());
    OS::pumpMessages();
    w.handler = [this](RecordingWindow&, int code, void* data) -> std::optional<bool> {
        recordInto(recorded, code, data);
        return std::nullopt;
    };
    INPUT::key(0x2A, true);
    INPUT::tap(0x1E);
    INPUT::key(0x2A, false);
    EXPECT_TRUE(take().empty());
}

TEST_F(KeyInput, AHandledKeyDownIsAnsweredAndKeepsNoPendingKey)
{
    RecordingWindow& w = open();
    w.handler = [this](RecordingWindow&, int code, void* data) -> std::optional<bool> {
        recordInto(recorded, code, data);
        return code == kEventKeyDown;
    };
    EXPECT_EQ(OS::sendMessage(w.hwnd(), OS::WM_KEYDOWN, 'A', 0x001E0001), 0);
    ASSERT_EQ(recorded.size(), 1u);
    EXPECT_EQ(recorded[0].a, 'A');
}
