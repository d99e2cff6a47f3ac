#include "os/kernel/UserSockets.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <optional>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace HA::OS {

namespace {

std::mutex gMutex;
std::optional<unsigned> gPeerUid;

bool privateFolder(const std::string& dir)
{
    struct stat st;
    if (::lstat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid())
        return false;
    return (st.st_mode & 0077) == 0;
}

bool socketAddress(const std::string& path, sockaddr_un& address)
{
    std::memset(&address, 0, sizeof(address));
    address.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof(address.sun_path))
        return false;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return true;
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
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    bool held() const { return mFd >= 0; }

private:
    int mFd;
};

}  // namespace

std::string userSocketFolder()
{
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && runtime[0] == '/' && privateFolder(runtime))
        return runtime;
    const std::string dir = "/tmp/ha-instance-" + std::to_string(::getuid());
    if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST)
        return std::string();
    return privateFolder(dir) ? dir : std::string();
}

int connectUserSocket(const std::string& path, eBlocking blocking)
{
    sockaddr_un address;
    if (!socketAddress(path, address))
        return -1;
    const int type = SOCK_STREAM | SOCK_CLOEXEC | (blocking == eBlocking::NonBlocking ? SOCK_NONBLOCK : 0);
    const int fd = ::socket(AF_UNIX, type, 0);
    if (fd < 0)
        return -1;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

eSocketClaim claimUserSocket(const std::string& path, tUserSocket& socket)
{
    sockaddr_un address;
    if (!socketAddress(path, address))
        return eSocketClaim::Failed;
    FileLock lock(path + ".lock");
    if (!lock.held())
        return eSocketClaim::Failed;
    if (const int probe = connectUserSocket(path, eBlocking::Blocking); probe >= 0) {
        ::close(probe);
        return eSocketClaim::Held;
    }
    // Nobody answers: a socket left there belongs to a listener that died.
    ::unlink(path.c_str());
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    struct stat st;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 || ::listen(fd, 8) != 0 ||
        ::lstat(path.c_str(), &st) != 0) {
        if (fd >= 0)
            ::close(fd);
        return eSocketClaim::Failed;
    }
    socket.fd = fd;
    socket.path = path;
    socket.device = st.st_dev;
    socket.inode = st.st_ino;
    return eSocketClaim::Claimed;
}

void unlinkUserSocket(const tUserSocket& socket)
{
    struct stat st;
    if (::lstat(socket.path.c_str(), &st) == 0 && st.st_dev == socket.device && st.st_ino == socket.inode)
        ::unlink(socket.path.c_str());
}

bool peerIsSameUser(int fd)
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

struct UserSocketListener::tShared {
    tUserSocket socket;
    tServe serve;
    std::function<void()> refused;
    int wakeRead = -1;
    int wakeWrite = -1;
    std::mutex mutex;
    bool stopped = false;
};

void UserSocketListener::run(std::shared_ptr<tShared> shared)
{
    // Connections a serve kept: their peers learn of the end when these close.
    std::vector<int> kept;
    for (;;) {
        pollfd p[2] = {{shared->socket.fd, POLLIN, 0}, {shared->wakeRead, POLLIN, 0}};
        if (::poll(p, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (p[1].revents)
            break;
        if (p[0].revents & POLLIN) {
            const int fd = ::accept4(shared->socket.fd, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0)
                continue;
            if (!peerIsSameUser(fd)) {
                if (shared->refused)
                    shared->refused();
                ::close(fd);
            } else if (shared->serve(fd) == eConnection::Keep) {
                kept.push_back(fd);
            } else {
                ::close(fd);
            }
        }
    }
    for (int fd : kept)
        ::close(fd);
    ::close(shared->socket.fd);
    ::close(shared->wakeRead);
}

std::shared_ptr<UserSocketListener> UserSocketListener::start(const tUserSocket& socket, tServe serve,
                                                              std::function<void()> refused)
{
    int wake[2] = {-1, -1};
    if (::pipe2(wake, O_CLOEXEC) != 0)
        return nullptr;
    auto shared = std::make_shared<tShared>();
    shared->socket = socket;
    shared->serve = std::move(serve);
    shared->refused = std::move(refused);
    shared->wakeRead = wake[0];
    shared->wakeWrite = wake[1];
    std::shared_ptr<UserSocketListener> listener(new UserSocketListener);
    listener->mShared = shared;
    // Detached: a stop may come from where the served work's own thread is needed (a window's
    // claim ends with the kernel lock held), so nobody waits for it.
    std::thread(run, shared).detach();
    return listener;
}

UserSocketListener::~UserSocketListener() { stop(); }

void UserSocketListener::stop()
{
    std::lock_guard<std::mutex> lock(mShared->mutex);
    if (mShared->stopped)
        return;
    mShared->stopped = true;
    unlinkUserSocket(mShared->socket);
    const char wake = 1;
    [[maybe_unused]] const ssize_t n = ::write(mShared->wakeWrite, &wake, 1);
    ::close(mShared->wakeWrite);
}

namespace DETAIL {

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

}  // namespace DETAIL

}  // namespace HA::OS
