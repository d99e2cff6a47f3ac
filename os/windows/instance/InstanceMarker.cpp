#include "os/windows/instance/InstanceMarker.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "os/kernel/Errors.h"
#include "os/kernel/Kernel.h"
#include "os/kernel/Text.h"
#include "os/kernel/UserSockets.h"
#include "os/windows/detail/WindowState.h"

namespace HA::OS {

namespace {

constexpr std::uint32_t kMagic = 0x4D494148;  // "HAIM"
// How long the holder waits for a peer's request once it connected.
constexpr int kHolderReadMs = 2000;

// What a second start sends: this header, then cbData bytes when it carries a record.
struct Request {
    std::uint32_t magic;
    std::uint32_t hasRecord;
    std::uint64_t dwData;
    std::uint32_t cbData;
    std::uint32_t waitsForEnd;  // asks nothing of the window: only whether the holder is ending
};

// The holder's answer.
struct Reply {
    std::int64_t copyDataResult;
    std::uint32_t ending;  // nothing was delivered: the holder's program is ending
    std::uint32_t endsWithinMs;
};

// What the holder's thread and the window's thread share of one claim.
struct Marker {
    HWND hwnd = nullptr;
    // Set once by the window's thread; `delivering` is the holder's hand-over on its way to
    // the window, which the window's thread lets through before it stops taking messages.
    std::mutex stateMutex;
    bool ending = false;
    DWORD endsWithinMs = 0;
    bool delivering = false;
};

struct Claim {
    std::shared_ptr<Marker> marker;
    std::shared_ptr<UserSocketListener> listener;
};

std::mutex gMutex;
// Each window's claims.
std::multimap<HWND, Claim> gMarkers;
std::atomic<int> gRefused{0};

// Hand-overs cross processes: their waits are in real time, whatever the process clock.
using RealClock = std::chrono::steady_clock;

std::string hexHash(const std::string& text)
{
    std::uint64_t h = 1469598103934665603ull;  // FNV-1a
    for (unsigned char c : text) {
        h ^= c;
        h *= 1099511628211ull;
    }
    char out[17];
    std::snprintf(out, sizeof(out), "%016llx", static_cast<unsigned long long>(h));
    return out;
}

std::string socketPath(const WString& key, std::string& folder)
{
    folder = userSocketFolder();
    return folder.empty() ? std::string() : folder + "/ha-" + hexHash(utf16ToUtf8(key)) + ".sock";
}

// Waits for `events` on fd until the deadline; between slices it runs `idle`. False only
// once the deadline has passed or the socket failed, never before: callers tell a peer
// that went away from one that did not answer in time by the time it took.
template <typename Idle>
bool waitFor(int fd, short events, RealClock::time_point deadline, Idle&& idle)
{
    for (;;) {
        // Rounded up: a slice rounded down would end the wait before its deadline.
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - RealClock::now()).count();
        pollfd p{fd, events, 0};
        const int r = ::poll(&p, 1, static_cast<int>(std::clamp<long long>(left, 0, 10)));
        if (r > 0)
            return (p.revents & events) != 0;
        if (r < 0 && errno != EINTR)
            return false;
        if (RealClock::now() >= deadline)
            return false;
        idle();
    }
}

template <typename Idle>
bool readAll(int fd, void* data, std::size_t size, RealClock::time_point deadline, Idle&& idle)
{
    auto* p = static_cast<unsigned char*>(data);
    while (size > 0) {
        if (!waitFor(fd, POLLIN, deadline, idle))
            return false;
        const ssize_t n = ::recv(fd, p, size, 0);
        if (n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN))
            return false;
        if (n > 0) {
            p += n;
            size -= static_cast<std::size_t>(n);
        }
    }
    return true;
}

template <typename Idle>
bool writeAll(int fd, const void* data, std::size_t size, RealClock::time_point deadline, Idle&& idle)
{
    const auto* p = static_cast<const unsigned char*>(data);
    while (size > 0) {
        if (!waitFor(fd, POLLOUT, deadline, idle))
            return false;
        const ssize_t n = ::send(fd, p, size, MSG_NOSIGNAL);
        if (n < 0 && errno != EINTR && errno != EAGAIN)
            return false;
        if (n > 0) {
            p += n;
            size -= static_cast<std::size_t>(n);
        }
    }
    return true;
}

// Whether the claim's program is ending; otherwise the hand-over counts as on its way.
bool endingElseDeliver(Marker& marker, Reply& reply)
{
    std::lock_guard<std::mutex> lock(marker.stateMutex);
    if (marker.ending) {
        reply.ending = 1;
        reply.endsWithinMs = marker.endsWithinMs;
        return true;
    }
    marker.delivering = true;
    return false;
}

// The hand-over reached the window. A program that began to end meanwhile raised nothing
// that stays: the peer is told it is ending. True then.
bool delivered(Marker& marker, Reply& reply)
{
    std::lock_guard<std::mutex> lock(marker.stateMutex);
    marker.delivering = false;
    if (marker.ending) {
        reply.ending = 1;
        reply.endsWithinMs = marker.endsWithinMs;
    }
    return marker.ending;
}

// One peer: its request goes to the window as WM_COPYDATA and the raise, and the answer
// back; a holder that is ending answers itself and keeps the peer's connection until the
// claim ends.
eConnection serve(Marker& marker, int fd)
{
    auto none = [] {};
    const auto deadline = RealClock::now() + std::chrono::milliseconds(kHolderReadMs);
    Request request{};
    if (!readAll(fd, &request, sizeof(request), deadline, none) || request.magic != kMagic)
        return eConnection::Close;
    if (request.hasRecord && request.cbData > kInstanceRecordLimit) {
        ++gRefused;
        return eConnection::Close;
    }
    std::vector<unsigned char> bytes(request.hasRecord ? request.cbData : 0);
    if (!bytes.empty() && !readAll(fd, bytes.data(), bytes.size(), deadline, none))
        return eConnection::Close;
    Reply reply{};
    bool ending = endingElseDeliver(marker, reply);
    if (!ending && !request.waitsForEnd) {
        if (request.hasRecord) {
            COPYDATASTRUCT record{static_cast<std::uintptr_t>(request.dwData), request.cbData,
                                  bytes.empty() ? nullptr : bytes.data()};
            reply.copyDataResult = sendMessage(marker.hwnd, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&record));
        }
        sendMessage(marker.hwnd, WM_INSTANCERAISE, 0, 0);
    }
    if (!ending)
        ending = delivered(marker, reply);
    return writeAll(fd, &reply, sizeof(reply), deadline, none) && ending ? eConnection::Keep : eConnection::Close;
}

// Connects to the holder of `key`; -1 when nobody holds it.
int connectToHolder(const WString& key)
{
    std::string folder;
    const std::string path = socketPath(key, folder);
    return path.empty() ? -1 : connectUserSocket(path, eBlocking::NonBlocking);
}

}  // namespace

eInstanceClaim claimInstanceMarker(const WString& key, HWND hwnd)
{
    if (!isWindow(hwnd)) {
        setLastError(ERROR_INVALID_WINDOW_HANDLE);
        return eInstanceClaim::Failed;
    }
    std::string folder;
    const std::string path = socketPath(key, folder);
    tUserSocket socket;
    switch (path.empty() ? eSocketClaim::Failed : claimUserSocket(path, socket)) {
    case eSocketClaim::Held:
        return eInstanceClaim::Held;
    case eSocketClaim::Failed:
        setLastError(ERROR_ACCESS_DENIED);
        return eInstanceClaim::Failed;
    case eSocketClaim::Claimed:
        break;
    }
    auto marker = std::make_shared<Marker>();
    marker->hwnd = hwnd;
    auto listener = UserSocketListener::start(
        socket, [marker](int fd) { return serve(*marker, fd); }, [] { ++gRefused; });
    if (!listener) {
        unlinkUserSocket(socket);
        ::close(socket.fd);
        setLastError(ERROR_ACCESS_DENIED);
        return eInstanceClaim::Failed;
    }
    std::lock_guard<std::mutex> guard(gMutex);
    gMarkers.emplace(hwnd, Claim{marker, listener});
    return eInstanceClaim::Claimed;
}

bool sendToInstanceMarker(const WString& key, const COPYDATASTRUCT* record, DWORD timeoutMs, LRESULT* result)
{
    if (result)
        *result = 0;
    if (record && record->cbData > kInstanceRecordLimit) {
        setLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    const int fd = connectToHolder(key);
    if (fd < 0) {
        setLastError(ERROR_FILE_NOT_FOUND);
        return false;
    }
    // A holder on this thread answers from inside this wait.
    auto deliverSent = [] {
        MSG msg;
        peekMessage(msg, HWND_THREAD_MESSAGES, WM_INSTANCERAISE, WM_INSTANCERAISE, PM_NOREMOVE);
    };
    const auto deadline = RealClock::now() + std::chrono::milliseconds(timeoutMs);
    Request request{kMagic, record ? 1u : 0u, record ? static_cast<std::uint64_t>(record->dwData) : 0,
                    record ? record->cbData : 0, 0};
    Reply reply{};
    bool ok = writeAll(fd, &request, sizeof(request), deadline, deliverSent);
    if (ok && record && record->cbData > 0)
        ok = writeAll(fd, record->lpData, record->cbData, deadline, deliverSent);
    if (ok)
        ok = readAll(fd, &reply, sizeof(reply), deadline, deliverSent);
    ::close(fd);
    if (!ok) {
        setLastError(WAIT_TIMEOUT);
        return false;
    }
    if (reply.ending) {
        if (result)
            *result = static_cast<LRESULT>(reply.endsWithinMs);
        setLastError(ERROR_SHUTDOWN_IN_PROGRESS);
        return false;
    }
    if (result)
        *result = static_cast<LRESULT>(reply.copyDataResult);
    return true;
}

std::atomic<InstanceWaitHook> gWaitHook{nullptr};

void setInstanceMarkerWaitHook(InstanceWaitHook hook) { gWaitHook.store(hook); }

bool waitForInstanceMarkerEnd(const WString& key, DWORD timeoutMs)
{
    const int fd = connectToHolder(key);
    if (fd < 0)
        return true;
    auto none = [] {};
    const auto now = RealClock::now();
    const auto deadline = now + std::chrono::milliseconds(timeoutMs);
    // The holder's thread answers this itself, whatever its window's thread does.
    const auto answered = now + std::chrono::milliseconds(kHolderReadMs);
    Request request{kMagic, 0, 0, 0, 1};
    Reply reply{};
    bool ended = false;
    bool holderShows = false;  // its program goes on: nothing was waited for
    if (!writeAll(fd, &request, sizeof(request), answered, none) ||
        !readAll(fd, &reply, sizeof(reply), answered, none)) {
        // A holder that went away before it answered has ended; one that is stuck has not.
        ended = RealClock::now() < answered;
    } else if (!reply.ending) {
        ended = true;  // a holder that shows its window: the claim will find it
        holderShows = true;
    } else {
        // Kept open by the holder until its claim ends.
        char byte;
        ended = waitFor(fd, POLLIN, deadline, none) && ::recv(fd, &byte, 1, 0) <= 0;
    }
    ::close(fd);
    if (auto hook = gWaitHook.load(); hook && !holderShows)
        hook(ended);
    if (!ended)
        setLastError(WAIT_TIMEOUT);
    return ended;
}

void endInstanceMarkerHandOvers(HWND hwnd, DWORD endsWithinMs)
{
    std::vector<std::shared_ptr<Marker>> claims;
    {
        std::lock_guard<std::mutex> guard(gMutex);
        auto range = gMarkers.equal_range(hwnd);
        for (auto it = range.first; it != range.second; ++it)
            claims.push_back(it->second.marker);
    }
    for (auto& marker : claims) {
        {
            std::lock_guard<std::mutex> lock(marker->stateMutex);
            marker->ending = true;
            marker->endsWithinMs = endsWithinMs;
        }
        // A hand-over already on its way is answered before the thread stops taking messages.
        for (;;) {
            {
                std::lock_guard<std::mutex> lock(marker->stateMutex);
                if (!marker->delivering)
                    break;
            }
            MSG msg;
            peekMessage(msg, HWND_THREAD_MESSAGES, WM_INSTANCERAISE, WM_INSTANCERAISE, PM_NOREMOVE);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
}

namespace DETAIL {

void endInstanceMarkersLocked(HWND hwnd)
{
    std::lock_guard<std::mutex> guard(gMutex);
    auto range = gMarkers.equal_range(hwnd);
    for (auto it = range.first; it != range.second; ++it)
        it->second.listener->stop();
    gMarkers.erase(range.first, range.second);
}

int refusedHandOvers() { return gRefused.load(); }

std::string instanceMarkerPath(const WString& key)
{
    std::string folder;
    return socketPath(key, folder);
}

}  // namespace DETAIL

}  // namespace HA::OS
