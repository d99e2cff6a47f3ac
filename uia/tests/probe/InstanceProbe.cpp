// A program for the two-process test of the single-instance hand-over. PROBE_MODE says
// what it is: "first" claims the key and runs its loop until its main window is brought
// forward, "die" claims and ends without cleaning up, "ending" claims, begins to end as a
// program that quits (telling peers PROBE_ENDS_MS) and ends PROBE_LINGER_MS later, "second"
// hands its first argument over. It reports on standard output, one line per step.

#include <cstdio>
#include <cstdlib>
#include <string>

#include "gp/src/common/files/FilePath.h"
#include "os/kernel/Clock.h"
#include "os/kernel/CommandLine.h"
#include "os/kernel/Process.h"
#include "os/windows/Message.h"
#include "os/windows/timers/WindowTimer.h"
#include "uia/app/AppModule.h"
#include "uia/app/Application.h"
#include "uia/app/SingleInstance.h"
#include "uia/events/Events.h"

using namespace HA;

namespace {

void report(const std::string& line)
{
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

class ProbeApp : public UIA::Application {
public:
    bool onEvent(int code, void* data) override
    {
        if (code == UIA::kEventOpenPath) {
            report("path " + static_cast<UIA::PathEventData*>(data)->path->getFull());
            return true;
        }
        return Application::onEvent(code, data);
    }
};

class ProbeModule : public UIA::AppModule {
public:
    bool initialize() override { return true; }
    void deinitialize(bool) override {}
};

// A number from the environment; 0 when unset.
int number(const char* name)
{
    const char* text = std::getenv(name);
    return text ? std::atoi(text) : 0;
}

bool gRaised = false;

OS::LRESULT mainProc(OS::HWND hwnd, OS::UINT message, OS::WPARAM wParam, OS::LPARAM lParam)
{
    if (message == OS::WM_ACTIVATE && OS::loWord(wParam) != 0 && !gRaised) {
        gRaised = true;
        report("raised");
        OS::postQuitMessage(0);
    }
    if (message == OS::WM_TIMER) {
        report("timeout");
        OS::postQuitMessage(1);
        return 0;
    }
    return OS::defWindowProc(hwnd, message, wParam, lParam);
}

}  // namespace

int main(int argc, char** argv)
{
    OS::setCommandLine(argc, argv);
    const char* modeText = std::getenv("PROBE_MODE");
    const char* keyText = std::getenv("PROBE_KEY");
    const std::string mode = modeText ? modeText : "";
    const std::string key = keyText ? keyText : "probe";
    ProbeModule module;
    auto* app = new ProbeApp;
    module.attachApplication(app);
    app->setName("Probe");
    if (mode == "second") {
        report(std::string("handed-over ") + (UIA::handOverToRunningInstance(key, 0) ? "1" : "0"));
        module.detachApplication();
        return 0;
    }
    OS::WNDCLASSEXW wc;
    wc.lpfnWndProc = &mainProc;
    wc.lpszClassName = u"HAProbeMain";
    OS::registerClass(wc);
    OS::HWND main = OS::createWindow(0, u"HAProbeMain", u"Probe Main", OS::WS_OVERLAPPEDWINDOW, 0, 0, 200, 100,
                                     nullptr, nullptr, nullptr, nullptr);
    app->setMainWindow(nullptr, nullptr, main);
    if (UIA::handOverToRunningInstance(key, 0)) {
        report("held");
        return 3;
    }
    report("claimed");
    if (mode == "die")
        OS::terminateProcess(0);
    if (mode == "ending") {
        UIA::setShutDownTime(static_cast<unsigned>(number("PROBE_ENDS_MS")));
        UIA::endHandOvers();
        report("ending");
        OS::Clock::sleep(static_cast<OS::DWORD>(number("PROBE_LINGER_MS")));
        report("ended");
        return 0;
    }
    OS::setTimer(main, 1, 20000);
    const int result = app->run();
    app->setMainWindow(nullptr, nullptr, nullptr);
    OS::destroyWindow(main);
    module.detachApplication();
    return result;
}
