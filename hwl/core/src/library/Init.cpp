#include "hwl/core/src/library/Init.h"

#include "gp/src/common/memory/SmallPool.h"
#include "gp/src/common/process/FatalError.h"
#include "hwl/core/src/resources/ManagerContainer.h"

namespace HA::HWL {

namespace {

bool gInitialized = false;

}  // namespace

bool init()
{
    if (gInitialized)
        GP::fatalError("hwl/core/src/init_hwl", 27, nullptr);
    GP::acquireSmallPool();
    auto* manager = new ManagerContainer();
    delete getManager();
    DETAIL::setManager(manager);
    gInitialized = true;
    return true;
}

void shutdown()
{
    // Cleared first, so nothing the manager's destruction reaches finds it half gone.
    ManagerContainer* manager = getManager();
    DETAIL::setManager(nullptr);
    delete manager;
    if (gInitialized)
        GP::releaseSmallPool();
    gInitialized = false;
}

bool isInitialized() { return gInitialized; }

}  // namespace HA::HWL
