#include "uia/platform/app/SingleInstance.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <vector>

#include "gp/src/common/files/FilePath.h"
#include "os/files/File.h"
#include "os/kernel/CommandLine.h"
#include "os/kernel/Errors.h"
#include "os/kernel/Kernel.h"
#include "os/kernel/Text.h"
#include "os/windows/instance/InstanceMarker.h"
#include "os/windows/Message.h"
#include "uia/app/AppModule.h"
#include "uia/app/Application.h"
#include "uia/events/Events.h"

namespace HA::UIA {

namespace {

constexpr std::size_t kMaxTitleUnits = 511;

// Made on the first call, kept for the process.
struct InstanceState {
    bool made = false;
    std::optional<std::string> key;
    OS::HWND ownMarker = nullptr;
    bool anotherInstance = false;
};

InstanceState gState;
// How long this program's shut-down may take after its loop (told to second starts).
unsigned gShutDownMs = 0;
// What a second start adds to that before it gives up on an ending instance, and the most
// it waits whatever the instance said.
constexpr unsigned kEndMarginMs = 5000;
constexpr unsigned kLongestEndMs = 600000;

bool pathExists(const OS::WString& path)
{
    return !path.empty() && OS::getFileAttributes(path) != OS::INVALID_FILE_ATTRIBUTES;
}

// The marker's application: only while it is still the process application.
Application* markerApplication(OS::HWND hwnd)
{
    auto* app = reinterpret_cast<Application*>(OS::getWindowUserData(hwnd));
    return app && app == Application::instance() ? app : nullptr;
}

bool ignoresHandOvers(int hostKind) { return hostKind == 2 || hostKind == 5 || hostKind == 8; }

// The path of a hand-over record: tag DETAIL::kOpenPathTag, at most cbData / 2 units, ended
// by a NUL.
std::optional<OS::WString> pathOf(const OS::COPYDATASTRUCT& record)
{
    if (record.dwData != static_cast<std::uintptr_t>(DETAIL::kOpenPathTag) || !record.lpData)
        return std::nullopt;
    const auto* bytes = static_cast<const unsigned char*>(record.lpData);
    OS::WString text;
    for (OS::DWORD i = 0; i < record.cbData / 2; ++i) {
        const auto c = static_cast<OS::WChar>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
        if (c == 0)
            return text;
        text += c;
    }
    return std::nullopt;
}

void bringForward(OS::HWND hwnd)
{
    if (OS::isIconic(hwnd) || !OS::isWindowVisible(hwnd))
        OS::showWindow(hwnd, OS::SW_RESTORE);
    OS::setForegroundWindow(hwnd);
}

// Claims the key for this process, or learns that another instance holds it.
void makeState(Application* app)
{
    gState.made = true;
    gState.anotherInstance = false;
    const OS::WString key = OS::utf8ToUtf16(*gState.key);
    OS::HWND marker =
        OS::createWindow(0, u"STATIC", key, 0, 0, 0, 1, 1, OS::HWND_MESSAGE, nullptr, nullptr, nullptr);
    if (!marker)
        return;
    switch (OS::claimInstanceMarker(key, marker)) {
    case OS::eInstanceClaim::Held:
        OS::destroyWindow(marker);
        gState.anotherInstance = true;
        return;
    case OS::eInstanceClaim::Claimed:
    case OS::eInstanceClaim::Failed:
        // Without a usable marker this process runs as the first instance.
        OS::setWindowProc(marker, &instanceWindowProc);
        OS::setWindowUserData(marker, reinterpret_cast<OS::LONG_PTR>(app));
        gState.ownMarker = marker;
        return;
    }
}

}  // namespace

bool handOverToRunningInstance(const std::string& key, int flag)
{
    if (!gState.key)
        gState.key = key;
    Application* app = Application::instance();
    if (!app)
        return false;
    if (!gState.made)
        makeState(app);
    if (!gState.anotherInstance)
        return false;

    const std::vector<OS::WString> args = OS::commandLineToArgv(OS::getCommandLine());
    if (args.size() < 2 && flag == 1)
        return false;
    const OS::WString markerKey = OS::utf8ToUtf16(*gState.key);
    std::vector<unsigned char> bytes;
    OS::COPYDATASTRUCT record{};
    const OS::COPYDATASTRUCT* send = nullptr;
    if (args.size() >= 2 && pathExists(args[1])) {
        const OS::WString& path = args[1];
        for (OS::WChar c : path) {
            bytes.push_back(static_cast<unsigned char>(c & 0xFF));
            bytes.push_back(static_cast<unsigned char>(c >> 8));
        }
        bytes.push_back(0);
        bytes.push_back(0);
        record.dwData = static_cast<std::uintptr_t>(DETAIL::kOpenPathTag);
        record.cbData = static_cast<OS::DWORD>(2 * path.size() + 2);
        record.lpData = bytes.data();
        send = &record;
    }
    // The running instance raises its own main window: windows of another process are not
    // ours to find here.
    for (;;) {
        OS::LRESULT answer = 0;
        if (OS::sendToInstanceMarker(markerKey, send, DETAIL::kHandOverTimeoutMs, &answer) ||
            OS::getLastError() != OS::ERROR_SHUTDOWN_IN_PROGRESS)
            return true;
        // Its window is gone and its shut-down runs on: handing over would show nothing, and
        // starting beside it would share the device with its worker.
        const unsigned waitMs =
            static_cast<unsigned>(std::clamp<OS::LRESULT>(answer, 0, kLongestEndMs - kEndMarginMs)) + kEndMarginMs;
        const std::string& name = app->getName();
        std::fprintf(stderr, "%s: an earlier run is still finishing its update; waiting up to %u s for it to end\n",
                     name.c_str(), (waitMs + 999) / 1000);
        if (!OS::waitForInstanceMarkerEnd(markerKey, waitMs)) {
            std::fprintf(stderr, "%s: the earlier run did not end in that time; this start ends\n", name.c_str());
            return true;
        }
        // It has ended: this process runs as the first instance, unless another start got there first.
        makeState(app);
        if (!gState.anotherInstance)
            return false;
    }
}

void setShutDownTime(unsigned ms) { gShutDownMs = ms; }

void endHandOvers()
{
    if (gState.ownMarker && OS::isWindow(gState.ownMarker))
        OS::endInstanceMarkerHandOvers(gState.ownMarker, gShutDownMs);
}

OS::LRESULT instanceWindowProc(OS::HWND hwnd, OS::UINT message, OS::WPARAM wParam, OS::LPARAM lParam)
{
    if (message == OS::WM_INSTANCERAISE) {
        if (Application* app = markerApplication(hwnd)) {
            OS::HWND main = app->getMainWindowHandle();
            if (!main)
                main = findWindowByTitlePrefix(app->getName());
            if (main)
                bringForward(main);
        }
        return 1;
    }
    if (message != OS::WM_COPYDATA)
        return OS::defWindowProc(hwnd, message, wParam, lParam);
    Application* app = markerApplication(hwnd);
    const OS::COPYDATASTRUCT* record = OS::copyDataOf(lParam);
    if (!app || ignoresHandOvers(getHostKind()) || !record)
        return 0;
    const std::optional<OS::WString> path = pathOf(*record);
    if (!path || !pathExists(*path))
        return 0;
    GP::FilePath filePath(*path);
    PathEventData data{&filePath};
    return app->handleEvent(kEventOpenPath, &data) ? 1 : 0;
}

OS::HWND findWindowByTitlePrefix(const std::string& prefix)
{
    if (prefix.empty())
        return nullptr;
    for (OS::HWND hwnd : OS::getTopLevelWindows()) {
        OS::WString title = OS::getWindowText(hwnd);
        if (title.size() > kMaxTitleUnits)
            title.resize(kMaxTitleUnits);
        if (title.empty())
            continue;
        // Whole code points in valid UTF-8: a byte prefix is a code-point prefix.
        if (OS::utf16ToUtf8(title).compare(0, prefix.size(), prefix) == 0)
            return hwnd;
    }
    return nullptr;
}

namespace DETAIL {

void resetSingleInstanceState()
{
    if (gState.ownMarker && OS::isWindow(gState.ownMarker))
        OS::destroyWindow(gState.ownMarker);
    gState = InstanceState{};
    gShutDownMs = 0;
}

OS::HWND ownInstanceMarker() { return gState.ownMarker; }

}  // namespace DETAIL

}  // namespace HA::UIA
