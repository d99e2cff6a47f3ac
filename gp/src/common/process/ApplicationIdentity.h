#pragma once
// The process-wide identity of the application: its FourCC and title, stored by the
// library's start-up (gp/src/common/library/Init.h) and read by what shows the program to
// the user, such as message boxes and the device-notification window.

#include <cstdint>

namespace HA::GP {

// 'VIRO' is held as the characters V, I, R, O from the most significant byte down;
// '????' until init.
std::uint32_t applicationFourCC();
// "Harnwick Acoustics" until init; the default caption of message boxes.
const char* applicationTitle();

namespace DETAIL {

// Stores the FourCC and the title (null keeps the current one; at most 255 bytes).
void setApplicationIdentity(std::uint32_t fourCC, const char* title);

}  // namespace DETAIL

}  // namespace HA::GP
