#include "os/windows/instance/InstanceMarker.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

#include "os/kernel/Errors.h"
#include "os/kernel/Kernel.h"
#include "os/kernel/Process.h"
#include "os/tests/RuntimeFolder.h"
#include "os/tests/WindowTestSupport.h"

using namespace HA::OS;
using HA::OS::Testing::RuntimeFolder;
using HA::OS::Testing::WindowTest;

namespace {

class InstanceMarkerThreaded : public WindowTest {
protected:
    // A holder window that answers WM_COPYDATA with 7 and keeps the record's bytes.
    HWND holder()
    {
        return create(0, HWND_MESSAGE, [this](HWND, UINT m, WPARAM, LPARAM l) -> std::optional<LRESULT> {
            if (m == WM_COPYDATA) {
                const COPYDATASTRUCT* r = copyDataOf(l);
                mTag = r->dwData;
                mBytes.assign(static_cast<const char*>(r->lpData), static_cast<const char*>(r->lpData) + r->cbData);
                return 7;
            }
            if (m == WM_INSTANCERAISE)
                return 1;
            return std::nullopt;
        });
    }
    std::vector<UINT> handOverMessages(HWND hwnd) { return messages(hwnd, {WM_NCCREATE, WM_NCCALCSIZE, WM_CREATE, WM_SIZE, WM_MOVE}); }
    // Delivers what reached this thread, so that a hand-over on its way is in the journal.
    void pump()
    {
        MSG msg;
        while (peekMessage(msg, nullptr, 0, 0, PM_REMOVE))
            dispatchMessage(msg);
    }

    RuntimeFolder mFolder;
    std::uintptr_t mTag = 0;
    std::string mBytes;
};

}  // namespace

TEST_F(InstanceMarkerThreaded, OneWindowClaimsAKeyUntilItGoes)
{
    HWND first = holder();
    HWND second = holder();
    EXPECT_EQ(claimInstanceMarker(u"key-a", first), eInstanceClaim::Claimed);
    EXPECT_EQ(claimInstanceMarker(u"key-a", second), eInstanceClaim::Held);
    EXPECT_EQ(claimInstanceMarker(u"key-b", second), eInstanceClaim::Claimed);
    EXPECT_EQ(DETAIL::instanceMarkerPath(u"key-a").rfind(mFolder.path() + "/", 0), 0u);
    destroyWindow(first);
    HWND third = holder();
    EXPECT_EQ(claimInstanceMarker(u"key-a", third), eInstanceClaim::Claimed);
    EXPECT_EQ(claimInstanceMarker(u"key-a", nullptr), eInstanceClaim::Failed);
}

TEST_F(InstanceMarkerThreaded, AHolderOnTheSendersThreadGetsTheRecordThenTheRaise)
{
    struct Case {
        const char* name;
        bool withRecord;
        LRESULT result;
        std::vector<UINT> messages;
    };
    const std::vector<Case> cases = {
        {"record", true, 7, {WM_COPYDATA, WM_INSTANCERAISE}},
        {"bare raise", false, 0, {WM_INSTANCERAISE}},
    };
    for (const Case& c : cases) {
        HWND hwnd = holder();
        ASSERT_EQ(claimInstanceMarker(u"hand-over", hwnd), eInstanceClaim::Claimed);
        clearJournal();
        const char text[] = "p\0a\0t\0h\0\0";
        COPYDATASTRUCT record{10003, sizeof(text) - 1, text};
        LRESULT result = -1;
        ASSERT_TRUE(sendToInstanceMarker(u"hand-over", c.withRecord ? &record : nullptr, 5000, &result)) << c.name;
        EXPECT_EQ(result, c.result) << c.name;
        EXPECT_EQ(handOverMessages(hwnd), c.messages) << c.name;
        for (const auto& l : journal())
            EXPECT_EQ(l.thread, currentThreadId()) << c.name;
        if (c.withRecord) {
            EXPECT_EQ(mTag, 10003u);
            EXPECT_EQ(mBytes, std::string(text, sizeof(text) - 1));
        }
        destroyWindow(hwnd);
    }
}

TEST_F(InstanceMarkerThreaded, RefusedHandOvers)
{
    HWND hwnd = holder();
    ASSERT_EQ(claimInstanceMarker(u"guarded", hwnd), eInstanceClaim::Claimed);
    clearJournal();
    LRESULT result = -1;
    EXPECT_FALSE(sendToInstanceMarker(u"nobody holds this", nullptr, 1000, &result));
    EXPECT_EQ(getLastError(), ERROR_FILE_NOT_FOUND);
    std::vector<char> big(kInstanceRecordLimit + 2, 'x');
    COPYDATASTRUCT huge{10003, static_cast<DWORD>(big.size()), big.data()};
    EXPECT_FALSE(sendToInstanceMarker(u"guarded", &huge, 1000, &result));
    EXPECT_EQ(getLastError(), ERROR_INVALID_PARAMETER);
    const int refusedBefore = DETAIL::refusedHandOvers();
    {
        DETAIL::PeerUidScope stranger(::getuid() + 1);
        EXPECT_FALSE(sendToInstanceMarker(u"guarded", nullptr, 2000, &result));
    }
    EXPECT_EQ(DETAIL::refusedHandOvers(), refusedBefore + 1);
    EXPECT_TRUE(handOverMessages(hwnd).empty());
    // The holder still serves its own user afterwards.
    EXPECT_TRUE(sendToInstanceMarker(u"guarded", nullptr, 5000, &result));
    EXPECT_EQ(handOverMessages(hwnd), (std::vector<UINT>{WM_INSTANCERAISE}));
}

// A peer speaking to the socket directly: the request header, then nothing.
TEST_F(InstanceMarkerThreaded, APeerAnnouncingARecordAboveTheLimitIsRefused)
{
    HWND hwnd = holder();
    ASSERT_EQ(claimInstanceMarker(u"raw", hwnd), eInstanceClaim::Claimed);
    clearJournal();
    const int refusedBefore = DETAIL::refusedHandOvers();
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof(address.sun_path), "%s", DETAIL::instanceMarkerPath(u"raw").c_str());
    ASSERT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    struct {
        std::uint32_t magic, hasRecord;
        std::uint64_t dwData;
        std::uint32_t cbData, reserved;
    } header{0x4D494148, 1, 10003, kInstanceRecordLimit + 1, 0};
    ASSERT_EQ(::send(fd, &header, sizeof(header), MSG_NOSIGNAL), static_cast<ssize_t>(sizeof(header)));
    char reply;
    EXPECT_EQ(::recv(fd, &reply, 1, 0), 0);  // closed without an answer
    ::close(fd);
    EXPECT_EQ(DETAIL::refusedHandOvers(), refusedBefore + 1);
    EXPECT_TRUE(handOverMessages(hwnd).empty());
    LRESULT result = 0;
    EXPECT_TRUE(sendToInstanceMarker(u"raw", nullptr, 5000, &result));  // still serving
}

TEST_F(InstanceMarkerThreaded, TheSocketOfADeadHolderIsTakenOver)
{
    const std::string path = DETAIL::instanceMarkerPath(u"stale");
    ASSERT_FALSE(path.empty());
    // What a holder that died leaves: a bound socket nobody listens on.
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof(address.sun_path), "%s", path.c_str());
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    ::close(fd);
    HWND hwnd = holder();
    EXPECT_EQ(claimInstanceMarker(u"stale", hwnd), eInstanceClaim::Claimed);
    LRESULT result = 0;
    EXPECT_TRUE(sendToInstanceMarker(u"stale", nullptr, 5000, &result));
}

TEST_F(InstanceMarkerThreaded, AnUnsafeRuntimeFolderIsNotUsed)
{
    ASSERT_EQ(::chmod(mFolder.path().c_str(), 0755), 0);
    const std::string path = DETAIL::instanceMarkerPath(u"k");
    EXPECT_EQ(path.rfind("/tmp/ha-instance-" + std::to_string(::getuid()) + "/", 0), 0u) << path;
    struct stat st;
    ASSERT_EQ(::lstat(("/tmp/ha-instance-" + std::to_string(::getuid())).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    ::chmod(mFolder.path().c_str(), 0700);
}

TEST(InstanceMarkerHolderThreaded, AHolderOnAnotherThreadAnswersOnItsOwnThread)
{
    ManualClockScope clock;
    RuntimeFolder folder;
    std::atomic<HWND> hwnd{nullptr};
    std::atomic<bool> stop{false};
    std::atomic<DWORD> copyThread{0};
    std::atomic<DWORD> raiseThread{0};
    static std::atomic<DWORD>* sCopy;
    static std::atomic<DWORD>* sRaise;
    sCopy = &copyThread;
    sRaise = &raiseThread;
    WNDCLASSEXW wc;
    wc.lpfnWndProc = [](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
        if (m == WM_COPYDATA) {
            *sCopy = currentThreadId();
            return 5;
        }
        if (m == WM_INSTANCERAISE) {
            *sRaise = currentThreadId();
            return 1;
        }
        return defWindowProc(h, m, w, l);
    };
    wc.lpszClassName = u"HAMarkerThreadTest";
    ASSERT_NE(registerClass(wc), 0);
    std::atomic<DWORD> holderThread{0};
    std::thread holderLoop([&] {
        holderThread = currentThreadId();
        HWND h = createWindow(0, u"HAMarkerThreadTest", u"", 0, 0, 0, 1, 1, HWND_MESSAGE, nullptr, nullptr, nullptr);
        EXPECT_EQ(claimInstanceMarker(u"threaded", h), eInstanceClaim::Claimed);
        hwnd = h;
        MSG msg;
        while (!stop) {
            while (peekMessage(msg, nullptr, 0, 0, PM_REMOVE))
                dispatchMessage(msg);
            std::this_thread::yield();
        }
        destroyWindow(h);
    });
    while (!hwnd)
        std::this_thread::yield();
    const char text[] = "x\0\0";
    COPYDATASTRUCT record{10003, sizeof(text) - 1, text};
    LRESULT result = 0;
    EXPECT_TRUE(sendToInstanceMarker(u"threaded", &record, 5000, &result));
    EXPECT_EQ(result, 5);
    stop = true;
    holderLoop.join();
    EXPECT_EQ(copyThread.load(), holderThread.load());
    EXPECT_EQ(raiseThread.load(), holderThread.load());
    unregisterClass(u"HAMarkerThreadTest");
}

// A program that ends stops the hand-overs: its window gets nothing more, peers are told
// that it ends and in what time, and a peer's wait for its end lasts until the claim goes.
TEST_F(InstanceMarkerThreaded, AnEndingHolderAnswersItselfUntilItsClaimEnds)
{
    HWND hwnd = holder();
    ASSERT_EQ(claimInstanceMarker(u"ending", hwnd), eInstanceClaim::Claimed);
    clearJournal();
    EXPECT_TRUE(waitForInstanceMarkerEnd(u"ending", 0)) << "a holder that is not ending is not waited for";
    pump();
    EXPECT_TRUE(handOverMessages(hwnd).empty()) << "a wait for the end raises nothing";
    endInstanceMarkerHandOvers(hwnd, 30000);
    clearJournal();
    const char text[] = "p\0\0";
    COPYDATASTRUCT record{10003, sizeof(text) - 1, text};
    const COPYDATASTRUCT* sends[] = {nullptr, &record};
    for (const COPYDATASTRUCT* sent : sends) {
        LRESULT result = -1;
        setLastError(0);
        EXPECT_FALSE(sendToInstanceMarker(u"ending", sent, 5000, &result));
        EXPECT_EQ(getLastError(), ERROR_SHUTDOWN_IN_PROGRESS);
        EXPECT_EQ(result, 30000);
    }
    EXPECT_TRUE(handOverMessages(hwnd).empty()) << "nothing reached the window";
    EXPECT_FALSE(waitForInstanceMarkerEnd(u"ending", 50));
    EXPECT_EQ(getLastError(), WAIT_TIMEOUT);

    // The claim ends with the window, while a peer waits on another thread.
    std::atomic<bool> ended{false};
    std::thread peer([&] { ended = waitForInstanceMarkerEnd(u"ending", 10000); });
    destroyWindow(hwnd);
    peer.join();
    EXPECT_TRUE(ended.load());
    EXPECT_TRUE(waitForInstanceMarkerEnd(u"ending", 0)) << "nobody holds the key";
}

// A holder that keeps its claim but does not answer in time (its thread stuck) has not
// ended: the wait gives up at its deadline, not before, and says so.
TEST_F(InstanceMarkerThreaded, AHolderThatDoesNotAnswerInTimeIsNotTakenForGone)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof(address.sun_path), "%s", DETAIL::instanceMarkerPath(u"silent").c_str());
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    ASSERT_EQ(::listen(fd, 4), 0);
    setLastError(0);
    EXPECT_FALSE(waitForInstanceMarkerEnd(u"silent", 0));
    EXPECT_EQ(getLastError(), WAIT_TIMEOUT);
    // The claim ends only now, past the wait's deadline.
    ::close(fd);
    ::unlink(address.sun_path);
}
