#pragma once
// Keyboard layouts of the stand-in: a US layout and a German one (Y and Z swapped, umlauts,
// dead keys for the circumflex, acute and grave accents). One layout is active for the
// process; it maps keys to scan codes and back and turns keys into text, keeping the
// dead-key state of each thread as the platform's keyboard buffer does. AltGr characters
// are not there.

#include <cstdint>

#include "os/windows/MessageIds.h"
#include "os/windows/Window.h"

namespace HA::OS {

struct HKL__;
using HKL = HKL__*;

// Layout handles: the language identifier in both halves, as on the platform.
inline HKL const HKL_US = reinterpret_cast<HKL>(std::uintptr_t(0x04090409));
inline HKL const HKL_GERMAN = reinterpret_cast<HKL>(std::uintptr_t(0x04070407));

// mapVirtualKey kinds.
constexpr UINT MAPVK_VK_TO_VSC = 0;
constexpr UINT MAPVK_VSC_TO_VK = 1;

// The active layout of the process (the calling thread's, as the platform names it).
HKL getKeyboardLayout(DWORD threadId = 0);
// Makes a layout active; returns the previous one, null with ERROR_INVALID_PARAMETER for an
// unknown handle. The calling thread's focus window (else its active window) gets
// WM_INPUTLANGCHANGE {wParam 0, lParam the layout} when the layout changed; the thread's
// dead-key state is cleared.
HKL activateKeyboardLayout(HKL layout, UINT flags = 0);

// MAPVK_VK_TO_VSC: the scan code of a virtual key (generic Shift, Control and Alt give the
// left key's); MAPVK_VSC_TO_VK: the virtual key of a main-block scan code. 0 when there is
// none or for another kind.
UINT mapVirtualKey(UINT code, UINT mapType);

// Converts a key to UTF-16 text through the active layout with the key state given (256
// bytes: bit 7 down, bit 0 toggled): the number of units written, 0 for none, -1 for a
// dead key (its spacing character is written and kept for the next key). A pending dead
// key composes with a vowel into one unit; with space it gives its spacing character;
// with anything else both characters come (2). Control with a letter gives its control
// character; Control with Alt gives nothing. Bit 15 of `scanCode` marks a key release,
// which gives nothing and keeps the state. At most `capacity` units are written.
int toUnicode(UINT virtualKey, UINT scanCode, const BYTE* keyState, WChar* buffer, int capacity, UINT flags);

// The stand-in's for tests and the presenter: the virtual key of a key by its scan code
// and extended flag, with Num Lock toggled or not (keypad keys give their digits with it,
// their navigation keys without it); 0 when the layout has no key there.
int virtualKeyOfScan(int scanCode, bool extended, bool numLock);

// A key going down or up, as the keyboard reports it.
struct KeyStroke {
    int virtualKey = 0;
    int scanCode = 0;  // set 1
    bool extended = false;
    bool down = false;     // pressed; else released
    bool wasDown = false;  // the key was down before (a press that repeats)
    bool alt = false;      // Alt is held (Alt's own press included)
    bool control = false;  // Control is held
};
struct KeyMessage {
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
};
// The platform's message for a key stroke: WM_KEYDOWN / WM_KEYUP, or WM_SYSKEYDOWN /
// WM_SYSKEYUP for Alt itself, keys with Alt held and F10 (Control with Alt is neither: that
// is AltGr). wParam is the virtual key; lParam holds the repeat count 1 (bits 0-15), the
// scan code (16-23), the extended bit (24), the context bit (29: Alt held, without
// Control), the previous-state bit (30: down before, always for a release) and the
// transition bit (31: released).
KeyMessage keyMessageOf(const KeyStroke& key);

namespace DETAIL {
// The calling thread's dead-key state (a spacing character, 0 for none).
WChar& deadKeyState();
}  // namespace DETAIL

}  // namespace HA::OS
