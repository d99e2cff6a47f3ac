#include "updater/app/UpdaterDescription.h"

#include <utility>

#include <boost/bind/bind.hpp>

#include "uia/app/AppModule.h"
#include "updater/upgrade/VireoUpdaterUpgradeLogic.h"

namespace HA {

UpdaterDescription::UpdaterDescription(std::string deviceName_, std::string productAttribute_,
                                       std::string productCode_, std::string applicationName_, std::string title_,
                                       std::string notice_, std::string version_, tContributors contributors_,
                                       std::string singleInstanceKey_, tScanForDevice scanForDevice_,
                                       tEnterUpdateMode enterUpdateMode_, tFindUpdateModeDevice findUpdateModeDevice_,
                                       tStartUpdate startUpdate_, tGetDeviceInfo getDeviceInfo_,
                                       tIsUpdateRunning isUpdateRunning_, tOnMainWindow onMainWindow_,
                                       tStopUpdate stopUpdate_)
    : deviceName(std::move(deviceName_)),
      productAttribute(std::move(productAttribute_)),
      productCode(std::move(productCode_)),
      applicationName(std::move(applicationName_)),
      title(std::move(title_)),
      notice(std::move(notice_)),
      version(std::move(version_)),
      contributors(std::move(contributors_)),
      windowTitle(applicationName),
      singleInstanceKey(std::move(singleInstanceKey_)),
      scanForDevice(std::move(scanForDevice_)),
      enterUpdateMode(std::move(enterUpdateMode_)),
      findUpdateModeDevice(std::move(findUpdateModeDevice_)),
      startUpdate(std::move(startUpdate_)),
      getDeviceInfo(std::move(getDeviceInfo_)),
      isUpdateRunning(std::move(isUpdateRunning_)),
      onMainWindow(std::move(onMainWindow_)),
      stopUpdate(std::move(stopUpdate_))
{
    std::string fileVersion;
    if (UIA::AppModule::getFileVersion(fileVersion))
        version = std::move(fileVersion);
}

std::unique_ptr<UpdaterDescription> makeVireoUpdaterDescription(VireoUpdaterUpgradeLogic& logic)
{
    using namespace boost::placeholders;
    using Logic = VireoUpdaterUpgradeLogic;
    return std::make_unique<UpdaterDescription>(
        "Vireo Interface", "Vireo", "Vireo", "Vireo Updater", "VIREO INTERFACE UPDATER",
        "\xC2\xA9 2026", UpdaterDescription::kDefaultVersion,
        UpdaterDescription::tContributors{"Firmware and updater: the Vireo team", "Device layer: the USB group",
                                          "Look and pictures: the design studio",
                                          "Tested on many desks by our support staff", ""},
        "VireoUpdater-PROJECT_GUID", boost::bind(&Logic::scanForDevice, &logic),
        boost::bind(&Logic::enterUpdateMode, &logic), boost::bind(&Logic::findUpdateModeDevice, &logic),
        boost::bind(&Logic::startUpdate, &logic, _1), boost::bind(&Logic::getDeviceInfo, &logic, _1, _2, _3, _4),
        boost::bind(&Logic::isUpdateRunning, &logic), boost::bind(&Logic::onMainWindow, &logic, _1),
        boost::bind(&Logic::stopUpdate, &logic));
}

}  // namespace HA
