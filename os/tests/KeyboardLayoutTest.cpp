#include "os/windows/input/Keyboard.h"

#include <gtest/gtest.h>

#include "os/tests/WindowTestSupport.h"
#include "os/windows/input/Input.h"
#include "os/windows/Message.h"

using namespace HA::OS;
using HA::OS::Testing::WindowTest;

namespace {

class KeyboardLayout : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        INPUT::reset();
    }
    void TearDown() override
    {
        INPUT::reset();
        WindowTest::TearDown();
    }

    // toUnicode with the held keys down (Caps Lock toggled when listed).
    static std::u16string text(int vk, std::vector<int> held = {}, int* result = nullptr)
    {
        BYTE state[256] = {};
        for (int k : held)
            state[k] = k == VK_CAPITAL ? 0x01 : 0x80;
        WChar buffer[10] = {};
        int n = toUnicode(static_cast<UINT>(vk), mapVirtualKey(static_cast<UINT>(vk), MAPVK_VK_TO_VSC), state, buffer,
                          10, 0);
        if (result)
            *result = n;
        return std::u16string(buffer, static_cast<std::size_t>(n < 0 ? 1 : n));
    }
};

}  // namespace

TEST_F(KeyboardLayout, KeysGiveTheirCharactersOnEitherLayout)
{
    struct Row {
        HKL layout;
        int vk;
        std::vector<int> held;
        std::u16string expected;
    };
    const Row rows[] = {
        {HKL_US, 'A', {}, u"a"},
        {HKL_US, 'A', {VK_SHIFT}, u"A"},
        {HKL_US, 'A', {VK_CAPITAL}, u"A"},
        {HKL_US, 'A', {VK_CAPITAL, VK_SHIFT}, u"a"},
        {HKL_US, 'A', {VK_CONTROL}, u"\x01"},
        {HKL_US, 'A', {VK_CONTROL, VK_MENU}, u""},
        {HKL_US, '1', {VK_SHIFT}, u"!"},
        {HKL_US, VK_OEM_3, {VK_SHIFT}, u"~"},
        {HKL_US, VK_F1, {}, u""},
        {HKL_US, VK_NUMPAD0 + 7, {}, u"7"},
        {HKL_US, VK_RETURN, {}, u"\r"},
        {HKL_GERMAN, 'Z', {}, u"z"},
        {HKL_GERMAN, '3', {VK_SHIFT}, u"\u00A7"},
        {HKL_GERMAN, VK_OEM_7, {}, u"\u00E4"},
        {HKL_GERMAN, VK_OEM_7, {VK_CAPITAL}, u"\u00C4"},
        {HKL_GERMAN, VK_OEM_4, {}, u"\u00DF"},
        {HKL_GERMAN, VK_DECIMAL, {}, u","},
    };
    for (const Row& r : rows) {
        activateKeyboardLayout(r.layout);
        EXPECT_EQ(text(r.vk, r.held), r.expected) << r.vk;
    }
}

TEST_F(KeyboardLayout, GermanSwapsYAndZ)
{
    EXPECT_EQ(virtualKeyOfScan(0x15, false, false), 'Y');
    EXPECT_EQ(mapVirtualKey('Z', MAPVK_VK_TO_VSC), 0x2Cu);
    activateKeyboardLayout(HKL_GERMAN);
    EXPECT_EQ(getKeyboardLayout(), HKL_GERMAN);
    EXPECT_EQ(virtualKeyOfScan(0x15, false, false), 'Z');
    EXPECT_EQ(mapVirtualKey(0x2C, MAPVK_VSC_TO_VK), UINT('Y'));
    EXPECT_EQ(mapVirtualKey('Z', MAPVK_VK_TO_VSC), 0x15u);
    EXPECT_EQ(mapVirtualKey(VK_SHIFT, MAPVK_VK_TO_VSC), 0x2Au);
    EXPECT_EQ(mapVirtualKey(0x2A, 7), 0u);
}

TEST_F(KeyboardLayout, DeadKeysComposeOrComeBeforeTheNextCharacter)
{
    activateKeyboardLayout(HKL_GERMAN);
    struct Row {
        int second;
        std::vector<int> held;
        std::u16string expected;
    };
    const Row rows[] = {
        {'A', {}, u"\u00E2"},
        {'E', {VK_SHIFT}, u"\u00CA"},
        {VK_SPACE, {}, u"^"},
        {'X', {}, u"^x"},
        {VK_OEM_5, {}, u"^^"},
    };
    for (const Row& r : rows) {
        int n = 0;
        EXPECT_EQ(text(VK_OEM_5, {}, &n), u"^");
        EXPECT_EQ(n, -1);
        EXPECT_EQ(text(r.second, r.held), r.expected) << r.second;
        EXPECT_EQ(text('A'), u"a") << "the dead state ends with one key";
    }
    // Acute and grave on one key.
    text(VK_OEM_6);
    EXPECT_EQ(text('E'), u"\u00E9");
    text(VK_OEM_6, {VK_SHIFT});
    EXPECT_EQ(text('A'), u"\u00E0");
}

TEST_F(KeyboardLayout, ASwitchTellsTheFocusWindowAndClearsTheDeadKey)
{
    HWND hwnd = create(WS_POPUP | WS_VISIBLE);
    setFocus(hwnd);
    clearJournal();
    EXPECT_EQ(activateKeyboardLayout(HKL_GERMAN), HKL_US);
    text(VK_OEM_5);
    EXPECT_EQ(activateKeyboardLayout(HKL_US), HKL_GERMAN);
    EXPECT_EQ(activateKeyboardLayout(HKL_US), HKL_US);
    EXPECT_EQ(messages(hwnd), (std::vector<UINT>{WM_INPUTLANGCHANGE, WM_INPUTLANGCHANGE}));
    EXPECT_EQ(journal()[0].lParam, reinterpret_cast<LPARAM>(HKL_GERMAN));
    EXPECT_EQ(text('A'), u"a");
    EXPECT_EQ(activateKeyboardLayout(reinterpret_cast<HKL>(std::uintptr_t(0x1234))), nullptr);
    EXPECT_EQ(getLastError(), ERROR_INVALID_PARAMETER);
}

TEST_F(KeyboardLayout, TranslateMessageGivesTheDeadThenTheComposedCharacter)
{
    HWND hwnd = create(WS_POPUP | WS_VISIBLE);
    setFocus(hwnd);
    activateKeyboardLayout(HKL_GERMAN);
    std::vector<std::pair<UINT, WPARAM>> got;
    setHandler(hwnd, [&](HWND, UINT m, WPARAM w, LPARAM) -> std::optional<LRESULT> {
        if (m == WM_CHAR || m == WM_DEADCHAR || m == WM_SYSCHAR)
            got.emplace_back(m, w);
        return std::nullopt;
    });
    auto pump = [] {
        MSG msg;
        while (peekMessage(msg, nullptr, 0, 0, PM_REMOVE)) {
            translateMessage(msg);
            dispatchMessage(msg);
        }
    };
    ASSERT_TRUE(INPUT::tap(0x29));  // the circumflex key
    ASSERT_TRUE(INPUT::tap(0x1E));  // A
    ASSERT_TRUE(INPUT::tap(0x15));  // Z on this layout
    pump();
    EXPECT_EQ(got, (std::vector<std::pair<UINT, WPARAM>>{{WM_DEADCHAR, u'^'}, {WM_CHAR, 0xE2}, {WM_CHAR, u'z'}}));
    got.clear();
    // Alt with a key types a system character.
    ASSERT_TRUE(INPUT::key(0x38, true));
    ASSERT_TRUE(INPUT::tap(0x1E));
    ASSERT_TRUE(INPUT::key(0x38, false));
    pump();
    EXPECT_EQ(got, (std::vector<std::pair<UINT, WPARAM>>{{WM_SYSCHAR, u'a'}}));
}

TEST(KeyMessage, TheBitsOfAKeyStroke)
{
    struct Case {
        const char* name;
        KeyStroke key;
        UINT message;
        std::uint32_t lParam;
    };
    auto stroke = [](int vk, int scan, bool extended, bool down, bool wasDown, bool alt, bool control) {
        KeyStroke k;
        k.virtualKey = vk;
        k.scanCode = scan;
        k.extended = extended;
        k.down = down;
        k.wasDown = wasDown;
        k.alt = alt;
        k.control = control;
        return k;
    };
    const Case cases[] = {
        {"Press", stroke('A', 0x1E, false, true, false, false, false), WM_KEYDOWN, 0x001E0001u},
        {"Repeat", stroke('A', 0x1E, false, true, true, false, false), WM_KEYDOWN, 0x401E0001u},
        {"Release", stroke('A', 0x1E, false, false, true, false, false), WM_KEYUP, 0xC01E0001u},
        {"Extended", stroke(VK_LEFT, 0x4B, true, true, false, false, false), WM_KEYDOWN, 0x014B0001u},
        {"AltItself", stroke(VK_MENU, 0x38, false, true, false, true, false), WM_SYSKEYDOWN, 0x20380001u},
        {"AltReleased", stroke(VK_MENU, 0x38, false, false, true, false, false), WM_SYSKEYUP, 0xC0380001u},
        {"KeyWithAlt", stroke(VK_F4, 0x3E, false, true, false, true, false), WM_SYSKEYDOWN, 0x203E0001u},
        {"F10Alone", stroke(VK_F10, 0x44, false, true, false, false, false), WM_SYSKEYDOWN, 0x00440001u},
        {"AltGrIsNoSystemKey", stroke('Q', 0x10, false, true, false, true, true), WM_KEYDOWN, 0x00100001u},
        {"ScanCodeKeepsItsByte", stroke('A', 0x11E, false, true, false, false, false), WM_KEYDOWN, 0x001E0001u},
    };
    for (const Case& c : cases) {
        const KeyMessage m = keyMessageOf(c.key);
        EXPECT_EQ(m.message, c.message) << c.name;
        EXPECT_EQ(m.wParam, static_cast<WPARAM>(c.key.virtualKey)) << c.name;
        EXPECT_EQ(static_cast<std::uint32_t>(m.lParam), c.lParam) << c.name;
    }
}
