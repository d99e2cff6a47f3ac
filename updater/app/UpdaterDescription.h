#pragma once
// The updater's product texts and the eight callbacks into its upgrade logic, handed by the
// application module to the application and the wizard. The callbacks are bound to the one
// logic object, which must outlive every copy of them.

#include <array>
#include <atomic>
#include <memory>
#include <string>

#include <boost/function.hpp>

#include "hxl2/USBDeviceInfo.h"

namespace HA::UIA {
class StandaloneWindow;
}
namespace HA::HWL {
template <class T>
class Window;
}

namespace HA {

class VireoUpdaterUpgradeLogic;

struct UpdaterDescription {
    using tScanForDevice = boost::function<bool()>;
    using tEnterUpdateMode = boost::function<bool()>;
    using tFindUpdateModeDevice = boost::function<bool()>;
    // The worker stores its result in the atomic once, with a release store.
    using tStartUpdate = boost::function<bool(std::atomic<int>& result)>;
    using tGetDeviceInfo =
        boost::function<void(HXL2::USBDeviceInfo& info, std::string& installed, std::string& newest, bool& updateNeeded)>;
    using tIsUpdateRunning = boost::function<bool()>;
    using tOnMainWindow = boost::function<void(HWL::Window<UIA::StandaloneWindow>* window)>;
    using tStopUpdate = boost::function<void()>;
    using tContributors = std::array<std::string, 5>;

    // The version shown when the program carries no file version.
    static constexpr const char* kDefaultVersion = "1.2.0 (R237)";

    // windowTitle becomes a copy of applicationName; version is replaced by the program's
    // file version when that can be read.
    UpdaterDescription(std::string deviceName, std::string productAttribute, std::string productCode,
                       std::string applicationName, std::string title, std::string notice, std::string version,
                       tContributors contributors, std::string singleInstanceKey, tScanForDevice scanForDevice,
                       tEnterUpdateMode enterUpdateMode, tFindUpdateModeDevice findUpdateModeDevice,
                       tStartUpdate startUpdate, tGetDeviceInfo getDeviceInfo, tIsUpdateRunning isUpdateRunning,
                       tOnMainWindow onMainWindow, tStopUpdate stopUpdate);

    std::string deviceName;        // the "%1%" of the wizard's messages
    std::string productAttribute;  // picks the device picture in the style sheet
    std::string productCode;
    std::string applicationName;
    std::string title;             // application name, headline, about panel title
    std::string notice;
    std::string version;
    tContributors contributors;    // the about panel's lines; the last one is empty
    std::string windowTitle;
    std::string singleInstanceKey;

    tScanForDevice scanForDevice;
    tEnterUpdateMode enterUpdateMode;
    tFindUpdateModeDevice findUpdateModeDevice;
    tStartUpdate startUpdate;
    tGetDeviceInfo getDeviceInfo;
    tIsUpdateRunning isUpdateRunning;
    tOnMainWindow onMainWindow;
    tStopUpdate stopUpdate;
};

// The Vireo Interface's record: its texts, with the callbacks bound to `logic`.
std::unique_ptr<UpdaterDescription> makeVireoUpdaterDescription(VireoUpdaterUpgradeLogic& logic);

}  // namespace HA
