#include "hwl/core/src/library/Init.h"

#include "gp/src/common/memory/SmallPool.h"
#include "gp/src/common/process/FatalError.h"
#include "hwl/core/src/cascade/StyleSheets.h"
#include "hwl/core/src/resources/ManagerContainer.h"

namespace HA::HWL {

namespace {

struct tLibraryState {
    ManagerContainer* manager = nullptr;
    bool initialized = false;
    bool skinLookup = false;
    bool opaqueCanvasBuffer = false;
};

tLibraryState& state()
{
    static tLibraryState s;
    return s;
}

}  // namespace

bool init()
{
    tLibraryState& s = state();
    if (s.initialized)
        GP::fatalError("hwl/core/src/init_hwl", 27, nullptr);
    GP::acquireSmallPool();
    auto* manager = new ManagerContainer();
    delete s.manager;
    s.manager = manager;
    s.initialized = true;
    return true;
}

void shutdown()
{
    tLibraryState& s = state();
    // Cleared first, so nothing the manager's destruction reaches finds it half gone.
    ManagerContainer* manager = s.manager;
    s.manager = nullptr;
    delete manager;
    if (s.initialized)
        GP::releaseSmallPool();
    s.initialized = false;
}

bool isInitialized() { return state().initialized; }

ManagerContainer* getManager() { return state().manager; }

StyleSheets& getStyleSheets()
{
    ManagerContainer* manager = state().manager;
    HA_GP_VERIFY(manager != nullptr, "HWL::getStyleSheets without HWL::init");
    return manager->getStyleSheets();
}

void setSkinLookup(bool on) { state().skinLookup = on; }

bool isSkinLookupEnabled() { return state().skinLookup; }

void setOpaqueCanvasBuffer(bool on) { state().opaqueCanvasBuffer = on; }

bool isOpaqueCanvasBuffer() { return state().opaqueCanvasBuffer; }

}  // namespace HA::HWL
