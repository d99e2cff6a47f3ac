#include "uia/app/Framework.h"

#include <optional>
#include <stdexcept>

#include "uia/events/Input.h"
#include "uia/platform/app/AsyncEventWindow.h"
#include "uia/window/WindowClasses.h"

namespace HA::UIA {

namespace {

bool gInitialized = false;
std::optional<DETAIL::eInitStep> gFault;

// Runs one step, failing it by exception when a test asked for that.
template <typename Step>
bool runStep(DETAIL::eInitStep step, Step&& body)
{
    if (gFault == step)
        throw std::runtime_error("injected framework start-up fault");
    return body();
}

bool initializePlatform()
{
    if (!runStep(DETAIL::eInitStep::KeyTables, [] { return initKeyTables(); }))
        return false;
    if (!runStep(DETAIL::eInitStep::WindowClasses, [] { return registerWindowClasses(); }))
        return false;
    if (!runStep(DETAIL::eInitStep::CursorTable, [] { return loadCursorTable(); }))
        return false;
    return runStep(DETAIL::eInitStep::AsyncEventWindow, [] { return createAsyncEventWindow(false); });
}

}  // namespace

bool initialize()
{
    bool ok = false;
    try {
        ok = initializePlatform();
    } catch (...) {
        ok = false;
    }
    if (!ok) {
        shutDown();
        return false;
    }
    gInitialized = true;
    return true;
}

void shutDown()
{
    destroyAsyncEventWindow();
    unregisterWindowClasses();
    forgetCursorTable();
    gInitialized = false;
}

bool isInitialized() { return gInitialized; }

namespace DETAIL {

InitFaultScope::InitFaultScope(eInitStep step) { gFault = step; }

InitFaultScope::~InitFaultScope() { gFault.reset(); }

}  // namespace DETAIL

}  // namespace HA::UIA
