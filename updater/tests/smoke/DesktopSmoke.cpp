// The real program on a virtual X server with a window manager: the first updater's window
// is minimised by the window manager and covered by another window, a second updater is
// started (without and with a file argument), and afterwards the first window must be
// viewable, above the other windows and focused, read back from the server.
//
//   updater_desktop_smoke <program> <folder for the runs' state>
//
// Run under xvfb-run. Exit status 0 when every row passed, 77 (skipped, with a line) when
// the window manager is not installed.

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

constexpr const char* kTitle = "Vireo Updater";
constexpr const char* kWindowManager = "openbox";
constexpr int kSkipped = 77;
using Clock = std::chrono::steady_clock;

// Polls `done` every 20 ms for at most `ms`.
bool within(int ms, const std::function<bool()>& done)
{
    const auto end = Clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
        if (done())
            return true;
        if (Clock::now() >= end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

std::string onPath(const char* program)
{
    const char* path = std::getenv("PATH");
    std::string folders = path ? path : "/usr/bin:/bin";
    for (std::size_t start = 0; start <= folders.size();) {
        std::size_t end = folders.find(':', start);
        if (end == std::string::npos)
            end = folders.size();
        const std::string candidate = folders.substr(start, end - start) + "/" + program;
        if (::access(candidate.c_str(), X_OK) == 0)
            return candidate;
        start = end + 1;
    }
    return std::string();
}

pid_t spawn(const std::vector<std::string>& args)
{
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    return posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) == 0 ? pid : -1;
}

void stop(pid_t pid)
{
    if (pid <= 0)
        return;
    kill(pid, SIGTERM);
    if (!within(5000, [&] { return waitpid(pid, nullptr, WNOHANG) == pid; })) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
}

std::string titleOf(Display* display, Window window)
{
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    std::string title;
    const Atom name = XInternAtom(display, "_NET_WM_NAME", False);
    if (XGetWindowProperty(display, window, name, 0, 1024, False, AnyPropertyType, &type, &format, &count, &after,
                           &data) == Success &&
        data) {
        title.assign(reinterpret_cast<char*>(data), count);
        XFree(data);
    }
    return title;
}

std::vector<Window> childrenOf(Display* display, Window window)
{
    Window root = 0, parent = 0, *children = nullptr;
    unsigned int count = 0;
    std::vector<Window> out;
    if (XQueryTree(display, window, &root, &parent, &children, &count) && children) {
        out.assign(children, children + count);  // bottom to top
        XFree(children);
    }
    return out;
}

// The window with the title, mapped or not, searched from the root down.
Window findWindow(Display* display, Window under)
{
    for (Window child : childrenOf(display, under)) {
        if (titleOf(display, child) == kTitle)
            return child;
        if (Window found = findWindow(display, child))
            return found;
    }
    return 0;
}

bool viewable(Display* display, Window window)
{
    XWindowAttributes attributes;
    return XGetWindowAttributes(display, window, &attributes) && attributes.map_state == IsViewable;
}

// The window's ancestor just below the root: the window manager's frame around it.
Window frameOf(Display* display, Window window)
{
    for (;;) {
        Window root = 0, parent = 0, *children = nullptr;
        unsigned int count = 0;
        if (!XQueryTree(display, window, &root, &parent, &children, &count))
            return 0;
        if (children)
            XFree(children);
        if (parent == root)
            return window;
        window = parent;
    }
}

// The frame drawn above every other viewable managed window.
Window topFrame(Display* display)
{
    Window top = 0;
    for (Window child : childrenOf(display, DefaultRootWindow(display))) {
        XWindowAttributes attributes;
        if (XGetWindowAttributes(display, child, &attributes) && attributes.map_state == IsViewable &&
            !attributes.override_redirect)
            top = child;
    }
    return top;
}

bool focused(Display* display, Window window)
{
    Window focus = 0;
    int revert = 0;
    XGetInputFocus(display, &focus, &revert);
    for (Window w = focus; w && w != PointerRoot;) {
        if (w == window)
            return true;
        Window root = 0, parent = 0, *children = nullptr;
        unsigned int count = 0;
        if (!XQueryTree(display, w, &root, &parent, &children, &count))
            return false;
        if (children)
            XFree(children);
        w = parent == root ? 0 : parent;
    }
    return false;
}

// Asks the window manager to activate a window as a pager would.
void activate(Display* display, Window window)
{
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = window;
    e.xclient.message_type = XInternAtom(display, "_NET_ACTIVE_WINDOW", False);
    e.xclient.format = 32;
    e.xclient.data.l[0] = 2;
    e.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, DefaultRootWindow(display), False, SubstructureRedirectMask | SubstructureNotifyMask, &e);
    XFlush(display);
}

bool windowManagerRuns(Display* display)
{
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    const Atom check = XInternAtom(display, "_NET_SUPPORTING_WM_CHECK", False);
    const bool found = XGetWindowProperty(display, DefaultRootWindow(display), check, 0, 1, False, XA_WINDOW, &type,
                                          &format, &count, &after, &data) == Success &&
                       data && count == 1;
    if (data)
        XFree(data);
    return found;
}

int ignoreXErrors(Display*, XErrorEvent*) { return 0; }

struct Row {
    const char* name;
    bool fileArgument;
};

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s <program> <state folder>\n", argv[0]);
        return 2;
    }
    const std::string windowManager = onPath(kWindowManager);
    if (windowManager.empty()) {
        std::printf("skipped: the window manager %s is not installed (scripts/setup.sh installs it)\n",
                    kWindowManager);
        return kSkipped;
    }
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "no X display\n");
        return 2;
    }
    XSetErrorHandler(ignoreXErrors);

    // A fresh device whose state, and the single-instance key, live in a folder of this
    // run's own, so that a running updater of the user's is never met.
    ::mkdir(argv[2], 0700);
    std::string pattern = std::string(argv[2]) + "/run-XXXXXX";
    if (!::mkdtemp(pattern.data())) {
        std::fprintf(stderr, "cannot make a folder in %s\n", argv[2]);
        return 2;
    }
    const std::string folder = pattern, runtime = folder + "/run";
    ::mkdir(runtime.c_str(), 0700);
    ::chmod(runtime.c_str(), 0700);
    setenv("HA_OS_VIREO", "fresh", 1);
    setenv("XDG_STATE_HOME", folder.c_str(), 1);
    setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    unsetenv("HA_OS_PRESENTER");

    int failures = 0;
    auto fail = [&](const std::string& what) {
        std::fprintf(stderr, "FAILED: %s\n", what.c_str());
        ++failures;
    };
    const pid_t manager = spawn({windowManager, "--sm-disable"});
    pid_t first = -1;
    Window client = 0;
    if (manager <= 0 || !within(10000, [&] { return windowManagerRuns(display); })) {
        fail("the window manager did not start");
    } else {
        first = spawn({argv[1]});
        if (!within(15000, [&] {
                client = findWindow(display, DefaultRootWindow(display));
                return client && viewable(display, client);
            }))
            fail("the first updater showed no window");
    }

    const Row rows[] = {{"without a file argument", false}, {"with a file argument", true}};
    for (const Row& row : rows) {
        if (failures)
            break;
        std::printf("row: %s\n", row.name);
        // Minimised by the window manager, as its iconify request does.
        XIconifyWindow(display, client, DefaultScreen(display));
        XFlush(display);
        if (!within(5000, [&] { return !viewable(display, client); })) {
            fail(std::string(row.name) + ": the window manager did not minimise the window");
            break;
        }
        // Then covered by a window of another program, which has the focus.
        Window cover = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 1000, 800, 0, 0, 0x336699);
        XStoreName(display, cover, "cover");
        XMapWindow(display, cover);
        XFlush(display);
        within(5000, [&] { return viewable(display, cover); });
        activate(display, cover);
        if (!within(5000, [&] { return focused(display, cover) && topFrame(display) == frameOf(display, cover); }))
            fail(std::string(row.name) + ": the covering window did not come to the front");

        std::vector<std::string> args{argv[1]};
        if (row.fileArgument)
            args.push_back(argv[1]);  // an existing file
        const pid_t second = spawn(args);
        int status = -1;
        if (!within(20000, [&] { return waitpid(second, &status, WNOHANG) == second; })) {
            fail(std::string(row.name) + ": the second updater did not end");
            stop(second);
        } else if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            fail(std::string(row.name) + ": the second updater ended with status " + std::to_string(status));
        }
        const bool forward = within(5000, [&] {
            return viewable(display, client) && topFrame(display) == frameOf(display, client) &&
                   focused(display, client);
        });
        if (!forward)
            fail(std::string(row.name) + ": afterwards the first window is " +
                 (viewable(display, client) ? "viewable" : "not viewable") + ", " +
                 (topFrame(display) == frameOf(display, client) ? "on top" : "not on top") + ", " +
                 (focused(display, client) ? "focused" : "not focused"));
        XDestroyWindow(display, cover);
        XFlush(display);
    }

    stop(first);
    stop(manager);
    XCloseDisplay(display);
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    if (failures == 0)
        std::printf("the first window came to the front every time\n");
    return failures == 0 ? 0 : 1;
}
