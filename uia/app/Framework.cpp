#include "uia/app/Framework.h"

#include "gp/src/common/library/StartUpSteps.h"
#include "uia/events/Input.h"
#include "uia/platform/app/AsyncEventWindow.h"
#include "uia/window/WindowClasses.h"

namespace HA::UIA {

namespace {

bool gInitialized = false;
GP::StartUpFault<DETAIL::eInitStep> gFault;

// Runs one step, failing it by exception when a test asked for that.
template <typename Step>
bool runStep(DETAIL::eInitStep step, Step&& body)
{
    gFault.check(step);
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
    if (!GP::runStartUpSteps(initializePlatform, shutDown))
        return false;
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

InitFaultScope::InitFaultScope(eInitStep step) { gFault.set(step); }

InitFaultScope::~InitFaultScope() { gFault.clear(); }

}  // namespace DETAIL

}  // namespace HA::UIA
