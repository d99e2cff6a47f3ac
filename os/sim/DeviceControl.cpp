#include "os/sim/DeviceControl.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "os/kernel/Text.h"

namespace HA::OS::SIM {

namespace {

constexpr const char* kSocketName = "/vireo-device.sock";
// How long the control waits for a peer's request line once it connected.
constexpr int kRequestReadMs = 2000;
constexpr std::size_t kEchoLimit = 40;
constexpr std::size_t kAnswerLimit = 4096;

using RealClock = std::chrono::steady_clock;

std::string revisionText(WORD revision)
{
    char text[16];
    std::snprintf(text, sizeof(text), "%u.%u.%u", unsigned(revision >> 8), unsigned((revision >> 4) & 0xF),
                  unsigned(revision & 0xF));
    return text;
}

// Mode and firmware of a device on the bus, as a person reading its lights would say it.
std::string presence(const SimulatedVireo& device)
{
    const std::string firmware =
        device.isFlashValid() ? "firmware " + revisionText(device.firmwareRevision()) : "no firmware";
    switch (device.mode()) {
    case eVireoMode::Runtime:
        return "runtime mode, " + firmware;
    case eVireoMode::Dfu:
        return "DFU mode, " + firmware;
    case eVireoMode::Absent:
        break;
    }
    return firmware;
}

// A request as it may be shown back: printable, and not longer than a line needs.
std::string echo(const std::string& request)
{
    std::string shown;
    for (char c : request.substr(0, kEchoLimit))
        shown.push_back(c >= 0x20 && c < 0x7F ? c : '?');
    return request.size() > kEchoLimit ? shown + "..." : shown;
}

// Reads up to the newline (dropped) or `limit` bytes within the deadline; false when neither came.
bool readLine(int fd, std::string& line, std::size_t limit, RealClock::time_point deadline)
{
    line.clear();
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - RealClock::now()).count();
        if (left <= 0)
            return false;
        pollfd p{fd, POLLIN, 0};
        const int r = ::poll(&p, 1, static_cast<int>(left));
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0)
            return false;
        char buffer[64];
        const ssize_t n = ::recv(fd, buffer, sizeof(buffer), 0);
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n <= 0)
            return false;
        for (ssize_t i = 0; i < n; ++i) {
            if (buffer[i] == '\n')
                return true;
            line.push_back(buffer[i]);
        }
        if (line.size() >= limit)
            return true;  // too long: the reader says so
    }
}

void writeLine(int fd, const std::string& line)
{
    const std::string bytes = line + "\n";
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        sent += static_cast<std::size_t>(n);
    }
}

}  // namespace

tDeviceAnswer answerDeviceRequest(SimulatedVireo& device, const std::string& request)
{
    if (request.size() >= kDeviceRequestLimit)
        return {false, "request longer than " + std::to_string(kDeviceRequestLimit - 1) + " characters"};
    if (request == "plug") {
        if (!device.plugIn())
            return {true, "already plugged in: " + presence(device)};
        return {true, "plugged in: " + presence(device)};
    }
    if (request == "unplug") {
        if (!device.unplug())
            return {true, "not plugged in: nothing to unplug"};
        return {true, "unplugged"};
    }
    if (request == "power-cycle") {
        device.powerCycle();
        return {true, "power-cycled: back in " + presence(device)};
    }
    if (request == "show") {
        const bool present = device.mode() != eVireoMode::Absent;
        return {true, (present ? "plugged in: " : "not plugged in: ") + presence(device) + ", serial number " +
                          utf16ToUtf8(device.serialNumber()) + ", faults " + faultWords(device.faults())};
    }
    return {false, "unknown request \"" + echo(request) + "\"; the requests are plug, unplug, power-cycle and show"};
}

std::string deviceControlPath()
{
    const std::string folder = userSocketFolder();
    return folder.empty() ? std::string() : folder + kSocketName;
}

struct DeviceControl::tShared {
    std::shared_ptr<SimulatedVireo> device;
    std::atomic<int> refused{0};
};

std::unique_ptr<DeviceControl> DeviceControl::start(std::shared_ptr<SimulatedVireo> device, std::string& why)
{
    const std::string path = deviceControlPath();
    if (path.empty()) {
        why = "no private folder for its socket";
        return nullptr;
    }
    tUserSocket socket;
    switch (claimUserSocket(path, socket)) {
    case eSocketClaim::Held:
        // The first updater of this user answers: the hand reaches that one, and a second start
        // that hands over to it has nothing to say.
        why.clear();
        return nullptr;
    case eSocketClaim::Failed:
        why = "cannot listen at " + path;
        return nullptr;
    case eSocketClaim::Claimed:
        break;
    }
    std::unique_ptr<DeviceControl> control(new DeviceControl);
    control->mShared = std::make_shared<tShared>();
    control->mShared->device = std::move(device);
    std::weak_ptr<tShared> shared = control->mShared;
    control->mListener = UserSocketListener::start(
        socket,
        [shared](int fd) {
            auto s = shared.lock();
            std::string request;
            if (!s || !readLine(fd, request, kDeviceRequestLimit, RealClock::now() + std::chrono::milliseconds(kRequestReadMs)))
                return eConnection::Close;
            writeLine(fd, answerDeviceRequest(*s->device, request).line());
            return eConnection::Close;
        },
        [shared] {
            if (auto s = shared.lock())
                ++s->refused;
        });
    if (!control->mListener) {
        unlinkUserSocket(socket);
        ::close(socket.fd);
        why = "cannot start its listener";
        return nullptr;
    }
    return control;
}

DeviceControl::~DeviceControl()
{
    if (mListener)
        mListener->stop();
}

int DeviceControl::refusedPeers() const { return mShared->refused.load(); }

eSent sendDeviceRequest(const std::string& request, int timeoutMs, std::string& answerLine)
{
    answerLine.clear();
    const std::string path = deviceControlPath();
    const int fd = path.empty() ? -1 : connectUserSocket(path, eBlocking::Blocking);
    if (fd < 0)
        return eSent::NobodyListens;
    writeLine(fd, request);
    const bool answered = readLine(fd, answerLine, kAnswerLimit, RealClock::now() + std::chrono::milliseconds(timeoutMs));
    ::close(fd);
    return answered && !answerLine.empty() ? eSent::Answered : eSent::NoAnswer;
}

}  // namespace HA::OS::SIM
