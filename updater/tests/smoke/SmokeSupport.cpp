#include "updater/tests/smoke/SmokeSupport.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

extern char** environ;

namespace HA::SMOKE {

namespace {

int ignoreXErrors(Display*, XErrorEvent*) { return 0; }

}  // namespace

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

bool viewable(Display* display, Window window)
{
    XWindowAttributes attributes;
    return XGetWindowAttributes(display, window, &attributes) && attributes.map_state == IsViewable;
}

std::vector<Window> childrenOf(Display* display, Window window)
{
    Window root = 0, parent = 0, *children = nullptr;
    unsigned int count = 0;
    std::vector<Window> out;
    if (XQueryTree(display, window, &root, &parent, &children, &count) && children) {
        out.assign(children, children + count);
        XFree(children);
    }
    return out;
}

Window parentOf(Display* display, Window window)
{
    Window root = 0, parent = 0, *children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(display, window, &root, &parent, &children, &count))
        return 0;
    if (children)
        XFree(children);
    return parent;
}

Window findWindow(Display* display, Window under, const std::string& title, bool viewableOnly)
{
    for (Window child : childrenOf(display, under)) {
        if (titleOf(display, child) == title && (!viewableOnly || viewable(display, child)))
            return child;
        if (Window found = findWindow(display, child, title, viewableOnly))
            return found;
    }
    return 0;
}

void sendClientMessage(Display* display, Window to, long mask, Window window, const char* type, long first,
                       long second)
{
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, type, False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = first;
    event.xclient.data.l[1] = second;
    XSendEvent(display, to, False, mask, &event);
    XFlush(display);
}

Display* openDisplay()
{
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "no X display\n");
        return nullptr;
    }
    XSetErrorHandler(ignoreXErrors);
    return display;
}

std::string makeRunFolder(const std::string& base)
{
    ::mkdir(base.c_str(), 0700);
    std::string pattern = base + "/run-XXXXXX";
    if (!::mkdtemp(pattern.data())) {
        std::fprintf(stderr, "cannot make a folder in %s\n", base.c_str());
        return std::string();
    }
    const std::string runtime = pattern + "/run";
    ::mkdir(runtime.c_str(), 0700);
    ::chmod(runtime.c_str(), 0700);
    setenv("HA_OS_VIREO", "fresh", 1);
    setenv("XDG_STATE_HOME", pattern.c_str(), 1);
    setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    unsetenv("HA_OS_PRESENTER");
    return pattern;
}

pid_t spawn(const std::vector<std::string>& args, const std::string& errorFile)
{
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!errorFile.empty())
        posix_spawn_file_actions_addopen(&actions, 2, errorFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid = 0;
    const bool started = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0;
    posix_spawn_file_actions_destroy(&actions);
    return started ? pid : -1;
}

void stop(pid_t pid)
{
    if (pid <= 0)
        return;
    kill(pid, SIGTERM);
    for (int i = 0; i < 250; ++i) {
        if (waitpid(pid, nullptr, WNOHANG) == pid)
            return;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
}

}  // namespace HA::SMOKE
