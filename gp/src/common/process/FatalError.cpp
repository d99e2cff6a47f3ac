#include "gp/src/common/process/FatalError.h"

#include <atomic>
#include <cstring>
#include <mutex>

#include "gp/src/common/process/MessageBox.h"
#include "gp/src/common/text/FormatString.h"
#include "os/kernel/Kernel.h"
#include "os/kernel/Process.h"

namespace HA::GP {

namespace {

constexpr std::size_t kTextLimit = 1024;

std::atomic<int> gReentry{1};
std::atomic<OS::DWORD> gReportingThread{0};
// Held by the reporting thread until the process ends; later entrants wait on it.
std::mutex gReportLock;
std::atomic<DETAIL::FatalErrorHook> gBefore{nullptr};
std::atomic<DETAIL::FatalErrorHook> gAfter{nullptr};
std::atomic<bool> gThrows{false};
std::atomic<int> gWaiting{0};

// The text when it is plain 7-bit text ending within the limit, else null.
const char* usable(const char* text)
{
    if (text == nullptr)
        return nullptr;
    for (std::size_t i = 0; i < kTextLimit; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == 0)
            return text;
        if (c >= 0x80)
            return nullptr;
    }
    return nullptr;
}

void callHook(DETAIL::FatalErrorHook hook)
{
    if (hook == nullptr)
        return;
    try {
        hook();
    } catch (...) {
        // The report goes on whatever a hook does.
    }
}

[[noreturn]] void waitForTheEnd()
{
    ++gWaiting;
    gReportLock.lock();  // never released: the reporting thread ends the process
    OS::terminateProcess(1);
}

}  // namespace

void fatalError(const char* file, int line, const char* text)
{
    file = usable(file);
    text = usable(text);
    if (gThrows)
        throw Assertion::exception(file, line, text);

    const OS::DWORD self = OS::currentThreadId();
    if (--gReentry < 0) {
        ++gReentry;
        // A fatal error from inside the report (the box, a hook) cannot wait for itself.
        if (gReportingThread == self)
            OS::terminateProcess(1);
        waitForTheEnd();
    }
    gReportingThread = self;
    gReportLock.lock();

    callHook(gBefore);
    std::string message = text ? formatString("Error %s:%d\n\n%s", file ? file : "", line, text)
                               : formatString("Error %s:%d", file ? file : "", line);
    if (message.size() > kTextLimit - 1)
        message.resize(kTextLimit - 1);
    try {
        showMessageBox(message, eButtonsOk, 0, eIconNone, nullptr);
    } catch (...) {
        // The process ends with the same code whether or not the box could be shown.
    }
    callHook(gAfter);
    OS::flushAllStreams();
    OS::terminateProcess(1);
}

namespace Assertion {

exception::exception(const char* file, int line, const char* text)
    : mFile(file ? file : ""), mLine(line), mText(text ? text : ""), mHasText(text != nullptr)
{
    mWhat = mHasText ? formatString("Assertion in %s:%d %s", mFile, mLine, mText)
                     : formatString("Assertion in %s:%d", mFile, mLine);
    if (mWhat.size() > kTextLimit - 1)
        mWhat.resize(kTextLimit - 1);
}

const char* exception::what() const noexcept { return mWhat.c_str(); }

}  // namespace Assertion

namespace DETAIL {

void setFatalErrorHooks(FatalErrorHook before, FatalErrorHook after)
{
    gBefore = before;
    gAfter = after;
}

void setFatalErrorThrows(bool throws) { gThrows = throws; }

int fatalErrorsWaiting() { return gWaiting; }

}  // namespace DETAIL

}  // namespace HA::GP
