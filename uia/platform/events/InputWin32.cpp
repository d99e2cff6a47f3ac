#include "uia/events/Input.h"

#include <array>
#include <cstdlib>

#include "os/windows/icons/Icon.h"
#include "os/kernel/Text.h"
#include "os/windows/input/Input.h"
#include "os/windows/input/Keyboard.h"
#include "os/windows/Message.h"
#include "uia/app/AppModule.h"
#include "uia/events/Events.h"

namespace HA::UIA {

namespace {

constexpr int kHostKindPlugin = 8;

struct KeyTables {
    bool built = false;
    std::array<int, 256> scan{};
    std::array<int, 256> virtualKeys{};
    std::array<int, 256> pristine{};
};

KeyTables& tables()
{
    static KeyTables t;
    return t;
}

std::array<OS::HCURSOR, kCursorCount> gCursors{};
bool gCursorsLoaded = false;
bool gPaneFlag = false;

void fillScanTable(std::array<int, 256>& s)
{
    s.fill(-1);
    s[0x01] = kKeyEscape;
    for (int i = 0; i < 9; ++i)
        s[0x02 + i] = '1' + i;
    s[0x0B] = '0';
    s[0x0C] = '-';
    s[0x0D] = '=';
    s[0x0E] = kKeyBackspace;
    s[0x0F] = kKeyTab;
    const char* rows[] = {"QWERTYUIOP", "ASDFGHJKL", "ZXCVBNM"};
    const int starts[] = {0x10, 0x1E, 0x2C};
    for (int r = 0; r < 3; ++r)
        for (int i = 0; rows[r][i]; ++i)
            s[starts[r] + i] = rows[r][i];
    s[0x1A] = '[';
    s[0x1B] = ']';
    s[0x1C] = kKeyEnter;
    s[0x27] = ';';
    s[0x28] = '"';
    s[0x29] = '~';
    s[0x2B] = '\\';
    s[0x33] = ',';
    s[0x34] = '.';
    s[0x35] = '/';
    s[0x39] = ' ';
    for (int i = 0; i < 10; ++i)
        s[0x3B + i] = keyF(1 + i);
    s[0x47] = kKeyHome;
    s[0x48] = kKeyUp;
    s[0x49] = kKeyPageUp;
    s[0x4B] = kKeyLeft;
    s[0x4D] = kKeyRight;
    s[0x4F] = kKeyEnd;
    s[0x50] = kKeyDown;
    s[0x51] = kKeyPageDown;
    s[0x52] = kKeyInsert;
    s[0x53] = kKeyDelete;
    s[0x57] = keyF(11);
    s[0x58] = keyF(12);
    // The keypad: 0x80 added to the scan code.
    s[0xB5] = kKeyNumpad | '/';
    s[0xB7] = kKeyNumpad | '*';
    s[0xC5] = kKeyNumLock;
    const int pad[] = {0xC7, '7', 0xC8, '8', 0xC9, '9', 0xCA, '-', 0xCB, '4', 0xCC, '5', 0xCD, '6',
                       0xCE, '+', 0xCF, '1', 0xD0, '2', 0xD1, '3', 0xD2, '0', 0xD3, ','};
    for (std::size_t i = 0; i < std::size(pad); i += 2)
        s[static_cast<std::size_t>(pad[i])] = kKeyNumpad | pad[i + 1];
}

void fillVirtualKeyTable(std::array<int, 256>& v)
{
    v.fill(-1);
    v[OS::VK_ESCAPE] = kKeyEscape;
    v[OS::VK_BACK] = kKeyBackspace;
    v[OS::VK_TAB] = kKeyTab;
    v[OS::VK_RETURN] = kKeyEnter;
    v[OS::VK_INSERT] = kKeyInsert;
    v[OS::VK_DELETE] = kKeyDelete;
    v[OS::VK_HOME] = kKeyHome;
    v[OS::VK_END] = kKeyEnd;
    v[OS::VK_PRIOR] = kKeyPageUp;
    v[OS::VK_NEXT] = kKeyPageDown;
    v[OS::VK_UP] = kKeyUp;
    v[OS::VK_DOWN] = kKeyDown;
    v[OS::VK_LEFT] = kKeyLeft;
    v[OS::VK_RIGHT] = kKeyRight;
    v[OS::VK_NUMLOCK] = kKeyNumLock;
    for (int i = 0; i < 12; ++i)
        v[static_cast<std::size_t>(OS::VK_F1 + i)] = keyF(1 + i);
    for (int i = 0; i < 10; ++i)
        v[static_cast<std::size_t>(OS::VK_NUMPAD0 + i)] = kKeyNumpad | ('0' + i);
    v[OS::VK_DIVIDE] = kKeyNumpad | '/';
    v[OS::VK_MULTIPLY] = kKeyNumpad | '*';
    v[OS::VK_SUBTRACT] = kKeyNumpad | '-';
    v[OS::VK_ADD] = kKeyNumpad | '+';
    v[OS::VK_DECIMAL] = kKeyNumpad | ',';
}

// The key as text of the active layout with every key up: the upper case of the last unit
// produced (a dead key gives its character), 0 when there is none.
int layoutCharacter(int virtualKey, int scan)
{
    const OS::BYTE allUp[256] = {};
    OS::WChar text[10] = {};
    const int n = OS::toUnicode(static_cast<OS::UINT>(virtualKey), static_cast<OS::UINT>(scan), allUp, text, 10, 0);
    if (n == 0)
        return 0;
    const int units = std::min(std::abs(n), 10);
    return OS::charUpper(text[units - 1]);
}

bool down(int virtualKey) { return OS::getKeyState(virtualKey) < 0; }

}  // namespace

std::uint32_t getModifierBits()
{
    std::uint32_t bits = 0;
    if (down(OS::VK_SHIFT))
        bits |= kModifierShift;
    if (down(OS::VK_CONTROL))
        bits |= kModifierControl;
    if (down(OS::VK_MENU))
        bits |= kModifierAlt;
    if (OS::getKeyState(OS::VK_CAPITAL) & 1)
        bits |= kModifierCapsLock;
    if (bits == 0)
        return 0;
    if (down(OS::VK_LWIN) || down(OS::VK_RWIN))
        bits |= kModifierWindowsKey;
    if (getHostKind() == kHostKindPlugin && (OS::getAsyncKeyState(OS::VK_MENU) & 0x8000))
        bits |= kModifierAlt;
    return bits;
}

int translateKey(int virtualKey, std::uint32_t keyFlags, int* scanKeyOut, bool cache)
{
    KeyTables& t = tables();
    const int scan = static_cast<int>((keyFlags >> 16) & 0xFF);
    const bool known = virtualKey >= 0 && virtualKey <= 255;
    int c = known ? t.virtualKeys[static_cast<std::size_t>(virtualKey)] : -1;
    if (c == -1) {
        c = layoutCharacter(virtualKey, scan);
        if (cache && known)
            t.virtualKeys[static_cast<std::size_t>(virtualKey)] = c;
    }
    const bool extended = (keyFlags & 0x01000000u) != 0;
    switch (virtualKey) {
    case OS::VK_RETURN:
        if (extended)
            c |= kKeyNumpad;
        break;
    case OS::VK_PRIOR:
    case OS::VK_NEXT:
    case OS::VK_END:
    case OS::VK_HOME:
    case OS::VK_LEFT:
    case OS::VK_UP:
    case OS::VK_RIGHT:
    case OS::VK_DOWN:
    case OS::VK_INSERT:
    case OS::VK_DELETE:
        if (!extended)
            c |= kKeyNumpad;
        break;
    default:
        if (virtualKey >= OS::VK_NUMPAD0 && virtualKey <= OS::VK_DIVIDE)
            c |= kKeyNumpad;
        break;
    }
    if (scanKeyOut)
        *scanKeyOut = t.scan[static_cast<std::size_t>((c & kKeyNumpad) ? (scan | 0x80) : scan)];
    return c | static_cast<int>(getModifierBits());
}

bool initKeyTables()
{
    KeyTables& t = tables();
    if (t.built)
        return true;
    fillScanTable(t.scan);
    fillVirtualKeyTable(t.virtualKeys);
    t.pristine = t.virtualKeys;
    t.built = true;
    refreshKeyTable();
    return true;
}

void refreshKeyTable()
{
    KeyTables& t = tables();
    t.virtualKeys = t.pristine;
    for (int vk = 0; vk < 256; ++vk) {
        int& entry = t.virtualKeys[static_cast<std::size_t>(vk)];
        if (entry != -1)
            continue;
        const int scan = static_cast<int>(OS::mapVirtualKey(static_cast<OS::UINT>(vk), OS::MAPVK_VK_TO_VSC));
        if (const int c = layoutCharacter(vk, scan))
            entry = c;
    }
    // A dead key converted above is still pending in the layout's buffer: two spaces end it.
    layoutCharacter(OS::VK_SPACE, 0x39);
    layoutCharacter(OS::VK_SPACE, 0x39);
}

int scanTableEntry(int index)
{
    return index >= 0 && index < 256 ? tables().scan[static_cast<std::size_t>(index)] : -1;
}

int virtualKeyTableEntry(int virtualKey)
{
    return virtualKey >= 0 && virtualKey < 256 ? tables().virtualKeys[static_cast<std::size_t>(virtualKey)] : -1;
}

bool loadCursorTable()
{
    if (gCursorsLoaded)
        return true;
    const OS::WORD ids[kCursorCount] = {OS::IDC_ARROW,    OS::IDC_CROSS,    OS::IDC_HAND,   OS::IDC_IBEAM,
                                        OS::IDC_NO,       OS::IDC_SIZEALL,  OS::IDC_SIZENESW, OS::IDC_SIZENS,
                                        OS::IDC_SIZENWSE, OS::IDC_SIZEWE,   OS::IDC_UPARROW, OS::IDC_WAIT,
                                        0,                OS::IDC_HAND,     OS::IDC_HAND,   OS::IDC_ARROW,
                                        OS::IDC_ARROW};
    for (int i = 0; i < kCursorCount; ++i)
        gCursors[static_cast<std::size_t>(i)] = ids[i] ? OS::loadCursor(nullptr, ids[i]) : nullptr;
    gCursorsLoaded = true;
    return true;
}

void forgetCursorTable()
{
    gCursors.fill(nullptr);
    gCursorsLoaded = false;
}

bool isCursorTableLoaded() { return gCursorsLoaded; }

OS::HCURSOR getStandardCursor(int index)
{
    if (index == kCursorNone)
        return nullptr;
    if (!gCursorsLoaded || index < 0 || index >= kCursorCount)
        return OS::loadCursor(nullptr, OS::IDC_ARROW);
    return gCursors[static_cast<std::size_t>(index)];
}

void setCursorPosition(GP::Point point) { OS::setCursorPos(point.x, point.y); }

bool getPaneFlag() { return gPaneFlag; }

void setPaneFlag(bool value) { gPaneFlag = value; }

}  // namespace HA::UIA
