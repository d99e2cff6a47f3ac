// The real program on a virtual X server with a window manager: the first updater's window
// is minimised by the window manager and covered by another window, a second updater is
// started (without and with a file argument), and afterwards the first window must be
// viewable, above the other windows and focused, read back from the server. The window
// manager must offer no maximise or resize for the fixed main window.
//
//   updater_desktop_smoke <program> <folder for the runs' state>
//
// Run under xvfb-run. Exit status 0 when every row passed, 77 (skipped, with a line) when
// the window manager is not installed.

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
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

#include "updater/tests/smoke/SmokeSupport.h"

using namespace HA;

namespace {

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

// The window's ancestor just below the root: the window manager's frame around it.
Window frameOf(Display* display, Window window)
{
    const Window root = DefaultRootWindow(display);
    for (Window parent = SMOKE::parentOf(display, window); parent && parent != root;
         parent = SMOKE::parentOf(display, window))
        window = parent;
    return window;
}

// The frame drawn above every other viewable managed window.
Window topFrame(Display* display)
{
    Window top = 0;
    for (Window child : SMOKE::childrenOf(display, DefaultRootWindow(display))) {
        XWindowAttributes attributes;
        if (XGetWindowAttributes(display, child, &attributes) && attributes.map_state == IsViewable &&
            !attributes.override_redirect)
            top = child;
    }
    return top;
}

// Whether the input focus is on the window or inside it.
bool focused(Display* display, Window window)
{
    Window focus = 0;
    int revert = 0;
    XGetInputFocus(display, &focus, &revert);
    const Window root = DefaultRootWindow(display);
    for (Window w = focus; w && w != PointerRoot && w != root; w = SMOKE::parentOf(display, w))
        if (w == window)
            return true;
    return false;
}

// Asks the window manager to activate a window as a pager would.
void activate(Display* display, Window window)
{
    SMOKE::sendClientMessage(display, DefaultRootWindow(display), SubstructureRedirectMask | SubstructureNotifyMask,
                             window, "_NET_ACTIVE_WINDOW", 2, CurrentTime);
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

// What the window is offered and should not be: the maximise and resize actions the window
// manager lists in _NET_WM_ALLOWED_ACTIONS, and size hints or Motif hints that let the size
// change. Empty when nothing is.
std::string offersToChangeTheSize(Display* display, Window window)
{
    std::string offered;
    XSizeHints hints{};
    long supplied = 0;
    if (!XGetWMNormalHints(display, window, &hints, &supplied) || !(hints.flags & PMinSize) ||
        !(hints.flags & PMaxSize) || hints.min_width != hints.max_width || hints.min_height != hints.max_height)
        offered += " size hints that let the size change;";
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    const Atom allowed = XInternAtom(display, "_NET_WM_ALLOWED_ACTIONS", False);
    if (XGetWindowProperty(display, window, allowed, 0, 64, False, XA_ATOM, &type, &format, &count, &after, &data) !=
            Success ||
        !data || count == 0) {
        offered += " no allowed actions listed by the window manager;";
    } else {
        const auto* actions = reinterpret_cast<const Atom*>(data);
        for (const char* name :
             {"_NET_WM_ACTION_MAXIMIZE_HORZ", "_NET_WM_ACTION_MAXIMIZE_VERT", "_NET_WM_ACTION_RESIZE"}) {
            const Atom action = XInternAtom(display, name, False);
            for (unsigned long i = 0; i < count; ++i)
                if (actions[i] == action)
                    offered += std::string(" ") + name + ";";
        }
    }
    if (data)
        XFree(data);
    // The Motif hints: the functions and decorations named are those offered (without the
    // "all" bit, which would turn them into those taken away).
    data = nullptr;
    const Atom motif = XInternAtom(display, "_MOTIF_WM_HINTS", False);
    if (XGetWindowProperty(display, window, motif, 0, 5, False, AnyPropertyType, &type, &format, &count, &after,
                           &data) != Success ||
        !data || count < 3) {
        offered += " no Motif hints;";
    } else {
        const auto* hints = reinterpret_cast<const long*>(data);
        constexpr long kFunctions = 1, kDecorations = 2, kAll = 1, kResize = 2, kMaximize = 16;
        constexpr long kResizeHandles = 4, kMaximizeButton = 64;
        if (!(hints[0] & kFunctions) || (hints[1] & (kAll | kResize | kMaximize)))
            offered += " Motif functions that offer a maximise or resize;";
        if (!(hints[0] & kDecorations) || (hints[2] & (kAll | kResizeHandles | kMaximizeButton)))
            offered += " Motif decorations with a maximise button or resize handles;";
    }
    if (data)
        XFree(data);
    return offered;
}

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
    Display* display = SMOKE::openDisplay();
    if (!display)
        return 2;
    const std::string folder = SMOKE::makeRunFolder(argv[2]);
    if (folder.empty())
        return 2;

    int failures = 0;
    auto fail = [&](const std::string& what) {
        std::fprintf(stderr, "FAILED: %s\n", what.c_str());
        ++failures;
    };
    const pid_t manager = SMOKE::spawn({windowManager, "--sm-disable"});
    pid_t first = -1;
    Window client = 0;
    if (manager <= 0 || !within(10000, [&] { return windowManagerRuns(display); })) {
        fail("the window manager did not start");
    } else {
        first = SMOKE::spawn({argv[1]});
        if (!within(15000, [&] {
                client = SMOKE::findWindow(display, DefaultRootWindow(display), SMOKE::kTitle, false);
                return client && SMOKE::viewable(display, client);
            }))
            fail("the first updater showed no window");
        // A fixed window without a maximise box: the window manager offers neither.
        std::string offered;
        if (client && !within(3000, [&] { return (offered = offersToChangeTheSize(display, client)).empty(); }))
            fail("the window manager offers to change the main window's size:" + offered);
    }

    const Row rows[] = {{"without a file argument", false}, {"with a file argument", true}};
    for (const Row& row : rows) {
        if (failures)
            break;
        std::printf("row: %s\n", row.name);
        // Minimised by the window manager, as its iconify request does.
        XIconifyWindow(display, client, DefaultScreen(display));
        XFlush(display);
        if (!within(5000, [&] { return !SMOKE::viewable(display, client); })) {
            fail(std::string(row.name) + ": the window manager did not minimise the window");
            break;
        }
        // Then covered by a window of another program, which has the focus.
        Window cover = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 1000, 800, 0, 0, 0x336699);
        XStoreName(display, cover, "cover");
        XMapWindow(display, cover);
        XFlush(display);
        within(5000, [&] { return SMOKE::viewable(display, cover); });
        activate(display, cover);
        if (!within(5000, [&] { return focused(display, cover) && topFrame(display) == frameOf(display, cover); }))
            fail(std::string(row.name) + ": the covering window did not come to the front");

        std::vector<std::string> args{argv[1]};
        if (row.fileArgument)
            args.push_back(argv[1]);  // an existing file
        const pid_t second = SMOKE::spawn(args);
        int status = -1;
        if (!within(20000, [&] { return waitpid(second, &status, WNOHANG) == second; })) {
            fail(std::string(row.name) + ": the second updater did not end");
            SMOKE::stop(second);
        } else if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            fail(std::string(row.name) + ": the second updater ended with status " + std::to_string(status));
        }
        const bool forward = within(5000, [&] {
            return SMOKE::viewable(display, client) && topFrame(display) == frameOf(display, client) &&
                   focused(display, client);
        });
        if (!forward)
            fail(std::string(row.name) + ": afterwards the first window is " +
                 (SMOKE::viewable(display, client) ? "viewable" : "not viewable") + ", " +
                 (topFrame(display) == frameOf(display, client) ? "on top" : "not on top") + ", " +
                 (focused(display, client) ? "focused" : "not focused"));
        XDestroyWindow(display, cover);
        XFlush(display);
    }

    SMOKE::stop(first);
    SMOKE::stop(manager);
    XCloseDisplay(display);
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    if (failures == 0)
        std::printf("the first window came to the front every time\n");
    return failures == 0 ? 0 : 1;
}
