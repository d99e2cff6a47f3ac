#pragma once
// The hand of a person at the simulated Vireo Interface of a running program: plugging it
// in, pulling it out and power-cycling it while the program runs, asked for from outside
// (scripts/device.sh) through one of the user's private sockets (os/kernel/UserSockets.h),
// so that another account can neither see nor drive the device.
//
// A request is one line: "plug", "unplug", "power-cycle" or "show". The answer is one line:
// "ok: " or "error: " and a sentence. A request that does not parse gets an error and
// changes nothing. Arrivals and removals go through the stand-in's device broadcasts, as a
// real device's would.

#include <memory>
#include <string>

#include "os/kernel/UserSockets.h"
#include "os/sim/SimulatedVireo.h"

namespace HA::OS::SIM {

// Longest request line taken, newline included.
constexpr std::size_t kDeviceRequestLimit = 256;

struct tDeviceAnswer {
    bool ok = false;
    std::string text;  // one line, no newline

    std::string line() const { return (ok ? "ok: " : "error: ") + text; }
};

// Does what `request` (without its newline) asks of the device. Any thread.
tDeviceAnswer answerDeviceRequest(SimulatedVireo& device, const std::string& request);

// The control's socket path; empty when the user has no private folder.
std::string deviceControlPath();

// Answers requests for the device on the control socket while it lives, on a thread of its
// own; peers of another user are refused without an answer.
class DeviceControl {
public:
    // Null when the socket cannot be made (the reason in `why`) or another program of the
    // user holds it (`why` empty).
    static std::unique_ptr<DeviceControl> start(std::shared_ptr<SimulatedVireo> device, std::string& why);
    ~DeviceControl();
    DeviceControl(const DeviceControl&) = delete;
    DeviceControl& operator=(const DeviceControl&) = delete;

    // Peers refused so far. Any thread.
    int refusedPeers() const;

private:
    struct tShared;
    DeviceControl() = default;
    std::shared_ptr<tShared> mShared;
    std::shared_ptr<UserSocketListener> mListener;
};

enum class eSent { Answered, NobodyListens, NoAnswer };
// Sends one request to the control of the user's running program and reads its answer line,
// waiting at most `timeoutMs` of real time.
eSent sendDeviceRequest(const std::string& request, int timeoutMs, std::string& answerLine);

}  // namespace HA::OS::SIM
