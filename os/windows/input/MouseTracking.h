#pragma once
// Leave tracking: a window asks to be told when the pointer leaves its client area; the
// next leave then queues WM_MOUSELEAVE once and ends the tracking, as on the platform.

#include "os/windows/Window.h"

namespace HA::OS {

constexpr DWORD TME_LEAVE = 0x00000002;
constexpr DWORD TME_CANCEL = 0x80000000;

struct TRACKMOUSEEVENT {
    DWORD cbSize;
    DWORD dwFlags;
    HWND hwndTrack;
    DWORD dwHoverTime;
};

// Only TME_LEAVE (with TME_CANCEL to end it). False with ERROR_INVALID_PARAMETER for a
// wrong size, ERROR_INVALID_WINDOW_HANDLE for an invalid window.
bool trackMouseEvent(const TRACKMOUSEEVENT& track);

// The stand-in's input side: whether a leave is tracked for the window; taking it ends the
// tracking.
bool isMouseLeaveTracked(HWND hwnd);
bool takeMouseLeaveTracking(HWND hwnd);

}  // namespace HA::OS
