#pragma once
// Unix sockets private to the user: what the stand-in uses where the platform would let two
// processes of one user meet (the single-instance marker, the simulated device's control).
// They live in the user's runtime folder ($XDG_RUNTIME_DIR when it is the user's with mode
// 0700, else /tmp/ha-instance-<uid>/, made with mode 0700), so another account can neither
// reach nor see them; a listener also serves only peers of its own user id.

#include <functional>
#include <memory>
#include <string>
#include <sys/types.h>

namespace HA::OS {

// The folder, or empty when neither is safe.
std::string userSocketFolder();

// A socket one process listens on.
struct tUserSocket {
    int fd = -1;
    std::string path;
    dev_t device = 0;
    ino_t inode = 0;
};

enum class eSocketClaim { Claimed, Held, Failed };

// Binds and listens at `path` unless something already listens there (Held). The check and
// the bind are one step under a lock file beside the path, so of two claims at once exactly
// one wins; a socket left by a listener that died is taken over. The socket is
// close-on-exec. Failed when the lock or the socket cannot be made.
eSocketClaim claimUserSocket(const std::string& path, tUserSocket& socket);
// Removes the socket's path unless a later claim owns it now; the descriptor stays open.
void unlinkUserSocket(const tUserSocket& socket);
// A connected, close-on-exec stream socket to `path` (non-blocking when asked), or -1.
enum class eBlocking { Blocking, NonBlocking };
int connectUserSocket(const std::string& path, eBlocking blocking);

// True when the peer on a connected Unix socket runs under this process's user id.
bool peerIsSameUser(int fd);

// Serves a claimed socket on a thread of its own: each connection of a peer of the same user
// goes to `serve` on that thread, one at a time, and is closed after it unless `serve` keeps
// it (then it closes when the listener ends, which is how a kept peer learns of the end); any
// other peer's is closed at once and `refused` runs. The thread owns the socket from then on
// and ends by itself once the listener is stopped, closing it.
enum class eConnection { Close, Keep };
class UserSocketListener {
public:
    using tServe = std::function<eConnection(int fd)>;
    // Null when the thread's wake-up pipe cannot be made (the socket is then still the caller's).
    static std::shared_ptr<UserSocketListener> start(const tUserSocket& socket, tServe serve,
                                                     std::function<void()> refused);
    ~UserSocketListener();
    UserSocketListener(const UserSocketListener&) = delete;
    UserSocketListener& operator=(const UserSocketListener&) = delete;
    // Removes the socket's path (unless a later claim owns it) and ends the thread after the
    // connection it serves, if any. Any thread; a second call does nothing.
    void stop();

private:
    UserSocketListener() = default;
    struct tShared;
    static void run(std::shared_ptr<tShared> shared);
    std::shared_ptr<tShared> mShared;
};

namespace DETAIL {

// The user id listeners see for their peers while it lives (tests of the refusal).
class PeerUidScope {
public:
    explicit PeerUidScope(unsigned uid);
    ~PeerUidScope();
    PeerUidScope(const PeerUidScope&) = delete;
    PeerUidScope& operator=(const PeerUidScope&) = delete;
};

}  // namespace DETAIL

}  // namespace HA::OS
