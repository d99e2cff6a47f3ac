#pragma once
// Keyboard and cursor services of the framework: the key-code tables that turn platform key
// messages into the key codes of uia/events/Events.h, the modifier bits, the cursor table and the
// pointer. The window implementation turns the messages themselves into events
// (uia/platform/window/WindowImplWin32Input.cpp). User-interface thread only.

#include <cstdint>

#include "gp/src/common/geometry/Geometry.h"
#include "os/windows/Window.h"

namespace HA::UIA {

// The modifier bits of uia/events/Events.h from the current key state: Shift, Control, Alt and
// Caps Lock; a held Windows key adds its bit only when one of those is set.
std::uint32_t getModifierBits();

// The key code of a key message (virtual key and the message's lParam) with the modifier
// bits ORed in; *scanKeyOut (when given) gets the physical key's code from the scan table,
// -1 when it has none. A key the tables do not know is asked of the keyboard layout; with
// `cache` its answer is kept for the virtual key.
int translateKey(int virtualKey, std::uint32_t keyFlags, int* scanKeyOut, bool cache);

// Builds the tables once (a second call does nothing); always true.
bool initKeyTables();
// The virtual-key table's layout part anew, from the active keyboard layout.
void refreshKeyTable();
// The tables' entries (tests): -1 where there is none, or for an index outside 0 to 255.
int scanTableEntry(int index);
int virtualKeyTableEntry(int virtualKey);

// The cursor table: 17 shared system cursors, loaded once until forgotten. Entry 12 is
// null: the pointer is hidden while it is set.
constexpr int kCursorArrow = 0;
constexpr int kCursorCross = 1;
constexpr int kCursorHand = 2;
constexpr int kCursorTextBeam = 3;
constexpr int kCursorNotAllowed = 4;
constexpr int kCursorSizeAll = 5;
constexpr int kCursorSizeNeSw = 6;
constexpr int kCursorSizeNS = 7;
constexpr int kCursorSizeNwSe = 8;
constexpr int kCursorSizeWE = 9;
constexpr int kCursorUpArrow = 10;
constexpr int kCursorWait = 11;
constexpr int kCursorNone = 12;
constexpr int kCursorCount = 17;
bool loadCursorTable();
void forgetCursorTable();
bool isCursorTableLoaded();
// The entry; an index outside the table gives the arrow (entry 0), and so does any entry
// while the table is not loaded, except the hidden pointer.
OS::HCURSOR getStandardCursor(int index);

// Moves the pointer to that screen point.
void setCursorPosition(GP::Point point);

// A process-wide flag that only the windowing pane reads and writes; false at load.
bool getPaneFlag();
void setPaneFlag(bool value);

}  // namespace HA::UIA
