#include "os/windows/InstanceMarker.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <poll.h>
#include <string>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "os/kernel/Errors.h"
#include "os/kernel/Kernel.h"
#include "os/kernel/Text.h"

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

// One claim: its socket, the path it is bound to and the window that holds it.
struct Marker {
    HWND hwnd = nullptr;
    int listenFd = -1;
    int wakeRead = -1;
    int wakeWrite = -1;
    std::string path;
    dev_t device = 0;
    ino_t inode = 0;
    // Set once by the window's thread; `delivering` is the holder's hand-over on its way to
    // the window, which the window's thread lets through before it stops taking messages.
    std::mutex stateMutex;
    bool ending = false;
    DWORD endsWithinMs = 0;
    bool delivering = false;
    // Peers told that the holder is ending: their connections close when the claim ends
    // (holder's thread only).
    std::vector<int> waiting;
};

std::mutex gMutex;
std::multimap<HWND, std::shared_ptr<Marker>> gMarkers;
std::optional<unsigned> gPeerUid;
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

bool privateFolder(const std::string& dir)
{
    struct stat st;
    if (::lstat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid())
        return false;
    return (st.st_mode & 0077) == 0;
}

// The user's runtime folder, else a private folder under /tmp; empty when neither is safe.
std::string markerFolder()
{
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && runtime[0] == '/' && privateFolder(runtime))
        return runtime;
    const std::string dir = "/tmp/ha-instance-" + std::to_string(::getuid());
    if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST)
        return std::string();
    return privateFolder(dir) ? dir : std::string();
}

bool socketAddress(const std::string& path, sockaddr_un& address)
{
    std::memset(&address, 0, sizeof(address));
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof(address.sun_path))
        return false;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return true;
}

std::string socketPath(const WString& key, std::string& folder)
{
    folder = markerFolder();
    return folder.empty() ? std::string() : folder + "/ha-" + hexHash(utf16ToUtf8(key)) + ".sock";
}

// Waits for `events` on fd until the deadline; between slices it runs `idle`.
template <typename Idle>
bool waitFor(int fd, short events, RealClock::time_point deadline, Idle&& idle)
{
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - RealClock::now()).count();
        if (left <= 0)
            return false;
        pollfd p{fd, events, 0};
        const int r = ::poll(&p, 1, static_cast<int>(std::min<long long>(left, 10)));
        if (r > 0)
            return (p.revents & events) != 0;
        if (r < 0 && errno != EINTR)
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

bool samePeerUser(int fd)
{
    ucred cred{};
    socklen_t length = sizeof(cred);
    if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &cred, &length) != 0)
        return false;
    unsigned uid = cred.uid;
    {
        std::lock_guard<std::mutex> lock(gMutex);
        if (gPeerUid)
            uid = *gPeerUid;
    }
    return uid == ::getuid();
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
// claim ends. True when the connection is kept.
bool serve(Marker& marker, int fd)
{
    auto none = [] {};
    const auto deadline = RealClock::now() + std::chrono::milliseconds(kHolderReadMs);
    if (!samePeerUser(fd)) {
        ++gRefused;
        return false;
    }
    Request request{};
    if (!readAll(fd, &request, sizeof(request), deadline, none) || request.magic != kMagic)
        return false;
    if (request.hasRecord && request.cbData > kInstanceRecordLimit) {
        ++gRefused;
        return false;
    }
    std::vector<unsigned char> bytes(request.hasRecord ? request.cbData : 0);
    if (!bytes.empty() && !readAll(fd, bytes.data(), bytes.size(), deadline, none))
        return false;
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
    return writeAll(fd, &reply, sizeof(reply), deadline, none) && ending;
}

void holderLoop(std::shared_ptr<Marker> marker)
{
    for (;;) {
        pollfd p[2] = {{marker->listenFd, POLLIN, 0}, {marker->wakeRead, POLLIN, 0}};
        if (::poll(p, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (p[1].revents)
            break;
        if (p[0].revents & POLLIN) {
            const int fd = ::accept4(marker->listenFd, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd >= 0 && serve(*marker, fd))
                marker->waiting.push_back(fd);
            else if (fd >= 0)
                ::close(fd);
        }
    }
    for (int fd : marker->waiting)
        ::close(fd);
    ::close(marker->listenFd);
    ::close(marker->wakeRead);
}

// Takes the socket path away unless a later claim already owns it.
void unlinkIfOurs(const Marker& marker)
{
    struct stat st;
    if (::lstat(marker.path.c_str(), &st) == 0 && st.st_dev == marker.device && st.st_ino == marker.inode)
        ::unlink(marker.path.c_str());
}

class FileLock {
public:
    explicit FileLock(const std::string& path) : mFd(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600))
    {
        if (mFd >= 0 && ::flock(mFd, LOCK_EX) != 0) {
            ::close(mFd);
            mFd = -1;
        }
    }
    ~FileLock()
    {
        if (mFd >= 0)
            ::close(mFd);  // releases the lock
    }
    bool held() const { return mFd >= 0; }

private:
    int mFd;
};

// True when something accepts connections at the path.
bool someoneListens(const std::string& path)
{
    sockaddr_un address;
    if (!socketAddress(path, address))
        return false;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    const bool connected = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
    ::close(fd);
    return connected;
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
    sockaddr_un address;
    if (path.empty() || !socketAddress(path, address)) {
        setLastError(ERROR_ACCESS_DENIED);
        return eInstanceClaim::Failed;
    }
    FileLock lock(path + ".lock");
    if (!lock.held()) {
        setLastError(ERROR_ACCESS_DENIED);
        return eInstanceClaim::Failed;
    }
    if (someoneListens(path))
        return eInstanceClaim::Held;
    // Nobody answers: a socket left there belongs to a holder that died.
    ::unlink(path.c_str());
    auto marker = std::make_shared<Marker>();
    marker->hwnd = hwnd;
    marker->path = path;
    marker->listenFd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int wake[2] = {-1, -1};
    struct stat st;
    if (marker->listenFd < 0 || ::bind(marker->listenFd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        ::listen(marker->listenFd, 8) != 0 || ::pipe2(wake, O_CLOEXEC) != 0 || ::lstat(path.c_str(), &st) != 0) {
        if (marker->listenFd >= 0)
            ::close(marker->listenFd);
        for (int fd : wake)
            if (fd >= 0)
                ::close(fd);
        setLastError(ERROR_ACCESS_DENIED);
        return eInstanceClaim::Failed;
    }
    marker->wakeRead = wake[0];
    marker->wakeWrite = wake[1];
    marker->device = st.st_dev;
    marker->inode = st.st_ino;
    {
        std::lock_guard<std::mutex> guard(gMutex);
        gMarkers.emplace(hwnd, marker);
    }
    // The holder's thread ends by itself when the window's claim ends.
    std::thread(holderLoop, marker).detach();
    return eInstanceClaim::Claimed;
}

namespace {

// Connects to the holder of `key`; -1 when nobody holds it.
int connectToHolder(const WString& key)
{
    std::string folder;
    const std::string path = socketPath(key, folder);
    sockaddr_un address;
    if (path.empty() || !socketAddress(path, address))
        return -1;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

}  // namespace

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
    if (!writeAll(fd, &request, sizeof(request), answered, none) ||
        !readAll(fd, &reply, sizeof(reply), answered, none)) {
        // A holder that went away before it answered has ended; one that is stuck has not.
        ended = RealClock::now() < answered;
    } else if (!reply.ending) {
        ended = true;  // a holder that shows its window: the claim will find it
    } else {
        // Kept open by the holder until its claim ends.
        char byte;
        ended = waitFor(fd, POLLIN, deadline, none) && ::recv(fd, &byte, 1, 0) <= 0;
    }
    ::close(fd);
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
            claims.push_back(it->second);
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
    for (auto it = range.first; it != range.second; ++it) {
        Marker& marker = *it->second;
        unlinkIfOurs(marker);
        const char wake = 1;
        [[maybe_unused]] const ssize_t n = ::write(marker.wakeWrite, &wake, 1);
        ::close(marker.wakeWrite);
    }
    gMarkers.erase(range.first, range.second);
}

PeerUidScope::PeerUidScope(unsigned uid)
{
    std::lock_guard<std::mutex> guard(gMutex);
    gPeerUid = uid;
}

PeerUidScope::~PeerUidScope()
{
    std::lock_guard<std::mutex> guard(gMutex);
    gPeerUid.reset();
}

int refusedHandOvers() { return gRefused.load(); }

std::string instanceMarkerPath(const WString& key)
{
    std::string folder;
    return socketPath(key, folder);
}

}  // namespace DETAIL

}  // namespace HA::OS
