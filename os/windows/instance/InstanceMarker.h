#pragma once
// The instance marker: a key that one window of one process holds, so that a second start
// of a program finds the first and hands it a record. Windows do not cross processes in
// the stand-in, so the marker is one of the user's private sockets (os/kernel/UserSockets.h),
// named by a hash of the key. Claiming it or finding its holder is one step under a lock
// file: of two starts at once exactly one claims it; the socket of a holder that died is
// taken over. The claim ends with the window.
//
// The holder accepts a hand-over only from a process of the same user id
// (DETAIL::PeerUidScope fakes the peer's in tests); its window gets WM_COPYDATA (when a
// record came), then WM_INSTANCERAISE, on its own thread. A program that ends (its window
// gone, its shut-down still running) stops the hand-overs: the holder then tells each peer
// so itself, and a peer may wait for the claim to end.

#include <string>

#include "os/kernel/UserSockets.h"
#include "os/windows/Message.h"
#include "os/windows/Window.h"

namespace HA::OS {

// The stand-in's own message: a second start asks the holder to bring its program forward.
constexpr UINT WM_INSTANCERAISE = 0x03F0;

// Copy-data records above this many bytes are refused.
constexpr DWORD kInstanceRecordLimit = 65536;

enum class eInstanceClaim { Claimed, Held, Failed };

// Claims `key` for `hwnd` (a window of the calling thread) or finds that another window,
// here or in another process, holds it. Failed when the folder or socket cannot be made.
eInstanceClaim claimInstanceMarker(const WString& key, HWND hwnd);
// Sends the holder of `key` the record (null: none), then the raise request, and waits at
// most `timeoutMs` of real time for its answer, delivering messages sent to the calling
// thread meanwhile (so a holder on this thread answers). True when the holder answered;
// `result` gets its answer to WM_COPYDATA (0 without a record). False with
// ERROR_INVALID_PARAMETER for a record above the limit, ERROR_FILE_NOT_FOUND when nobody
// holds the key, WAIT_TIMEOUT when no answer came in time, ERROR_SHUTDOWN_IN_PROGRESS when
// the holder's program is ending (nothing was delivered; `result` gets the time it gave for
// its end, in milliseconds).
bool sendToInstanceMarker(const WString& key, const COPYDATASTRUCT* record, DWORD timeoutMs, LRESULT* result);
// Waits at most `timeoutMs` of real time for an ending holder's claim to end. True when it
// ended, when nobody holds the key, or when the holder is not ending; false with
// WAIT_TIMEOUT.
bool waitForInstanceMarkerEnd(const WString& key, DWORD timeoutMs);
// Called on the waiting thread once waitForInstanceMarkerEnd has waited for an ending
// holder: `ended` true when its claim ended (what its program left is this one's to take
// now), false when the wait gave up. The stand-in's process entry sets it; null for none.
using InstanceWaitHook = void (*)(bool ended);
void setInstanceMarkerWaitHook(InstanceWaitHook hook);
// The program of `hwnd` (a window of the calling thread) is ending: from now on its claims'
// holders answer hand-overs themselves, telling peers it ends within `endsWithinMs`. A
// hand-over already on its way to the window is delivered first.
void endInstanceMarkerHandOvers(HWND hwnd, DWORD endsWithinMs);

namespace DETAIL {

// Hand-overs refused by holders of this process so far.
int refusedHandOvers();
// The socket a key's marker uses (empty when no safe folder exists).
std::string instanceMarkerPath(const WString& key);

}  // namespace DETAIL

}  // namespace HA::OS
