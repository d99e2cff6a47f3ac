#include "updater/app/UpdateWizardMainWidget.h"

#include <utility>

#include <boost/format.hpp>

#include "hwl/core/src/widgets/Button.h"
#include "hwl/core/src/widgets/Label.h"
#include "hwl/core/src/widgets/MultilineLabel.h"
#include "os/kernel/Clock.h"
#include "uia/app/Application.h"
#include "updater/app/SpinningProgressWheel.h"

namespace HA {

namespace {

constexpr int kLeftToRight = HWL::Widget::kLineLeftToRight;
constexpr int kRightToLeft = HWL::Widget::kLineRightToLeft;
constexpr int kTopToBottom = HWL::Widget::kLineTopToBottom;

const char* const kConnectMessage = "Please connect your %1% and click RESCAN.";
const char* const kUpToDateMessage = "Currently there is no newer firmware for your %1%.";
const char* const kBootFailedMessage =
    "Your %1% failed to boot into firmware update mode and could not be properly updated. To boot your %1% into "
    "firmware update mode, please power-cycle it and click RETRY.";
const char* const kUpdateAvailableMessage =
    "A firmware update is available for your %1%. To update the firmware now, click UPDATE. To update the firmware "
    "later, click QUIT.";
const char* const kErrorMessage =
    "An error occurred while updating your %1% (error %2%). Please disconnect the %1%, unpower it and quit the %3%. "
    "Then reconnect the %1%, restart %3% and try performing the update again. Alternatively contact the HA Technical "
    "Support.";
const char* const kSuccessMessage = "The firmware of your %1% was successfully updated.";
const char* const kUpdatingMessage =
    "Please stand by while your %1% is being updated and do not disconnect it from USB.";

template <class T>
std::shared_ptr<T> makeBar(int direction, const char* style)
{
    auto bar = std::make_shared<T>();
    bar->configure(direction, style);
    return bar;
}

std::shared_ptr<HWL::Label> makeLabel(std::string text, const char* style)
{
    auto label = std::make_shared<HWL::Label>();
    label->configure(std::move(text), style);
    return label;
}

std::shared_ptr<HWL::Button> makeButton(std::string text, const char* style)
{
    auto button = std::make_shared<HWL::Button>();
    button->configure(std::move(text), style);
    return button;
}

}  // namespace

UpdateWizardMainWidget::UpdateWizardMainWidget(const UpdaterDescription& description)
    : mTexts{description.deviceName,      description.productAttribute, description.productCode,
             description.applicationName, description.title,            description.notice,
             description.version,         description.contributors[0],  description.contributors[1],
             description.contributors[2], description.contributors[3],  description.contributors[4]},
      mIsUpdateRunning(description.isUpdateRunning)
{
    configure(kTopToBottom, "FirmwareUpdaterMainWidget");
    buildTitlePanel();
    buildBodyPanel();
    buildAboutOverlay();
}

UpdateWizardMainWidget::~UpdateWizardMainWidget()
{
    // The worker stores its result here as its last action: it must have ended first.
    if (mIsUpdateRunning) {
        while (mIsUpdateRunning()) {
        }
    }
}

void UpdateWizardMainWidget::buildTitlePanel()
{
    mTitlePanel = makeBar<HWL::Bar>(kRightToLeft, "FirmwareUpdaterTitlePanel");
    mTitlePanel->addChild(makeLabel(mTexts[eTitle], nullptr), "FirmwareUpdaterTitlePanelHeadline");
    mAboutButton = makeButton("About", "FirmwareUpdaterTitlePanelAbout");
    mAboutButton->click.connect([this](const HWL::Button::tSignalData*) { showAbout(); });
    mTitlePanel->addChild(mAboutButton, "FirmwareUpdaterTitlePanelAbout");
    addChild(mTitlePanel, "FirmwareUpdaterTitlePanel");
}

void UpdateWizardMainWidget::buildBodyPanel()
{
    mBodyPanel = makeBar<HWL::Bar>(kTopToBottom, "FirmwareUpdaterBodyPanel");
    buildFirmwarePanel(*mBodyPanel);
    buildInfoPanel(*mBodyPanel);
    buildButtonPanel(*mBodyPanel);
    addChild(mBodyPanel, "FirmwareUpdaterBodyPanel");
}

void UpdateWizardMainWidget::buildFirmwarePanel(HWL::Bar& body)
{
    mFirmwarePanel = makeBar<HWL::Bar>(kTopToBottom, "FirmwareUpdaterFirmwarePanel");
    auto panelBody = makeBar<HWL::Bar>(kLeftToRight, "FirmwareUpdaterFirmwarePanelBody");

    auto revisions = makeBar<HWL::Bar>(kTopToBottom, "FirmwareUpdaterFirmwarePanelRevisions");
    mNewestValue = addRevisionRow(*revisions, "Updater Firmware", "FirmwareUpdaterNewestFirmwareRevisionValue",
                                  "FirmwareUpdaterNewestFirmwareRevisionLabel");
    mInstalledValue = addRevisionRow(*revisions, "Installed Firmware", "FirmwareUpdaterInstalledFirmwareRevisionValue",
                                     "FirmwareUpdaterInstalledFirmwareRevisionLabel");
    mSerialValue = addRevisionRow(*revisions, "Serial Number", "FirmwareUpdaterSerialNumberValue",
                                  "FirmwareUpdaterSerialNumberLabel");
    panelBody->addChild(revisions, "FirmwareUpdaterFirmwarePanelRevisions");

    mDevicePicture = makeBar<HWL::Bar>(kTopToBottom, "FirmwareUpdaterFirmwarePanelDeviceImage");
    mDevicePicture->setAttribute("product", mTexts[eProductAttribute]);
    mPictureOverlay = makeLabel("", nullptr);
    mDevicePicture->addChild(mPictureOverlay, "FirmwareUpdaterFirmwarePanelDeviceImageOverlay");
    panelBody->addChild(mDevicePicture, "FirmwareUpdaterFirmwarePanelDeviceImage");

    mFirmwarePanel->addChild(panelBody, "FirmwareUpdaterFirmwarePanelBody");
    body.addChild(mFirmwarePanel, "FirmwareUpdaterFirmwarePanel");
}

std::shared_ptr<HWL::Label> UpdateWizardMainWidget::addRevisionRow(HWL::Bar& revisions, const char* text,
                                                                   const char* valueClass, const char* textClass)
{
    auto row = makeBar<HWL::Bar>(kLeftToRight, nullptr);
    row->fitBreadthAutomatically();
    auto value = makeLabel("", valueClass);
    row->addChild(value, "Value");
    row->addChild(makeLabel(text, textClass), "Label");
    revisions.addChild(row, "FirmwareUpdaterFirmwarePanelRevisionsRow");
    return value;
}

void UpdateWizardMainWidget::buildInfoPanel(HWL::Bar& body)
{
    mInfoPanel = makeBar<HWL::Bar>(kLeftToRight, "Panel");
    mStatusIcon = makeLabel("", nullptr);
    mInfoPanel->addChild(mStatusIcon, "FirmwareUpdaterInfoPanelIcon");

    mWheel = makeBar<SpinningProgressWheel>(kLeftToRight, "Panel");
    mWheel->setVisible(false);
    mInfoPanel->addChild(mWheel, "FirmwareUpdaterSpinningProgressWheel");

    auto labelBar = std::make_shared<HWL::Bar>();
    mMessageLabel = std::make_shared<HWL::MultilineLabel>();
    mMessageLabel->setFitHeightToText(true);
    labelBar->addChild(mMessageLabel, "FirmwareUpdaterInfoPanelLabel");
    labelBar->fitBreadthToChildren();
    mInfoPanel->addChild(labelBar, "FirmwareUpdaterInfoPanelLabelBar");

    body.addChild(mInfoPanel, "FirmwareUpdaterInfoPanel");
}

void UpdateWizardMainWidget::buildButtonPanel(HWL::Bar& body)
{
    mButtonPanel = makeBar<HWL::Bar>(kRightToLeft, "Panel");
    mActionButton = makeButton("?ACTION?", nullptr);
    mActionButton->click.connect([this](const HWL::Button::tSignalData*) { step(); });
    mButtonPanel->addChild(mActionButton, "FirmwareUpdaterButtonAction");
    mQuitButton = makeButton("QUIT", nullptr);
    mQuitButton->click.connect([this](const HWL::Button::tSignalData*) { onQuitClicked(); });
    mButtonPanel->addChild(mQuitButton, "FirmwareUpdaterButtonQuit");
    body.addChild(mButtonPanel, "FirmwareUpdaterButtonPanel");
}

void UpdateWizardMainWidget::setCallbacks(UpdaterDescription::tScanForDevice scan,
                                          UpdaterDescription::tEnterUpdateMode enterUpdateMode,
                                          UpdaterDescription::tFindUpdateModeDevice findUpdateModeDevice,
                                          UpdaterDescription::tStartUpdate startUpdate,
                                          UpdaterDescription::tGetDeviceInfo getDeviceInfo)
{
    mScanForDevice = std::move(scan);
    mEnterUpdateMode = std::move(enterUpdateMode);
    mFindUpdateModeDevice = std::move(findUpdateModeDevice);
    mStartUpdate = std::move(startUpdate);
    mGetDeviceInfo = std::move(getDeviceInfo);
    showConnectScreen();
    mState = eConnect;
    step();
}

// The state machine.

void UpdateWizardMainWidget::step()
{
    switch (mState) {
    case eConnect: {
        std::string installed, newest;
        bool updateNeeded = false;
        if (!scanAndShowRevisions(installed, newest, updateNeeded))
            return;
        if (updateNeeded) {
            showUpdateAvailableScreen();
            mState = eUpdateAvailable;
        } else {
            showUpToDateScreen();
            mState = eUpToDate;
        }
        return;
    }
    case eUpdateAvailable:
        if (mEnterUpdateMode()) {
            showUpdatingScreen();
            mState = eUpdating;
            step();
        } else {
            showBootFailedScreen();
            mState = eBootFailed;
        }
        return;
    case eUpdating:
        mUpdateResult.store(0, std::memory_order_release);
        if (mStartUpdate(mUpdateResult)) {
            setTimer(1);
        } else {
            showErrorScreen(getUpdateResult());
            mState = eError;
        }
        return;
    case eBootFailed:
        // A device the user power-cycled into DFU mode, else the whole switch once more.
        if (mFindUpdateModeDevice() || (mScanForDevice() && mEnterUpdateMode())) {
            showUpdatingScreen();
            mState = eUpdating;
            step();
        }
        return;
    default:
        return;
    }
}

void UpdateWizardMainWidget::onTimer()
{
    if (mState != eUpdating)
        return;
    const int result = getUpdateResult();
    if (result == 0) {
        mWheel->onTimer();
        setTimer(1);
        return;
    }
    if (result < 0) {
        showErrorScreen(result);
        mState = eError;
        return;
    }
    // The device needs a moment to come back with its new firmware.
    bool found = mScanForDevice();
    if (!found) {
        OS::Clock::sleep(kRescanDelayMs);
        found = mScanForDevice();
    }
    if (!found) {
        showErrorScreen(result);
        mState = eError;
        return;
    }
    HXL2::USBDeviceInfo info;
    std::string installed, newest;
    bool updateNeeded = false;
    mGetDeviceInfo(info, installed, newest, updateNeeded);
    setRevisionLabels(installed, newest, info.serialNumber);
    if (installed == newest) {
        showSuccessScreen();
        mState = eSuccess;
    } else {
        showErrorScreen(result);
        mState = eError;
    }
}

bool UpdateWizardMainWidget::scanAndShowRevisions(std::string& installed, std::string& newest, bool& updateNeeded)
{
    if (!mScanForDevice())
        return false;
    HXL2::USBDeviceInfo info;
    mGetDeviceInfo(info, installed, newest, updateNeeded);
    setRevisionLabels(installed, newest, info.serialNumber);
    return true;
}

void UpdateWizardMainWidget::onQuitClicked()
{
    // A download must not be cut off by the wizard's own button.
    if (mState == eUpdating)
        return;
    if (UIA::Application* application = UIA::Application::instance())
        application->quit();
}

void UpdateWizardMainWidget::adjustSize()
{
    Bar::adjustSize();
    const int height = mMessageLabel->getSize().height;
    if (height != 0) {
        // Arithmetic shift: a message taller than the panel moves up.
        const int top = ((mInfoPanel->getSize().height - height) >> 1) - mMessageLabel->getMargins().top;
        mMessageLabel->setPosition(GP::Point{0, top});
    }
}

// Screens.

void UpdateWizardMainWidget::showConnectScreen()
{
    resetRevisionLabels();
    showMessage(eMessage::Info, format(kConnectMessage));
    showActionButton("RESCAN");
    mQuitButton->setVisible(true);
    mStatusIcon->setVisible(true);
    stopWheel();
    setFocusButton(mActionButton.get());
}

void UpdateWizardMainWidget::showUpToDateScreen()
{
    showMessage(eMessage::Ok, format(kUpToDateMessage));
    hideActionButton();
    mQuitButton->setVisible(true);
    setInstalledState("success");
    mPictureOverlay->setVisible(false);
    mStatusIcon->setVisible(true);
    stopWheel();
    setFocusButton(mQuitButton.get());
}

void UpdateWizardMainWidget::showBootFailedScreen()
{
    showMessage(eMessage::Error, format(kBootFailedMessage));
    showActionButton("RETRY");
    mQuitButton->setVisible(true);
    setInstalledState("neutral");
    mStatusIcon->setVisible(true);
    stopWheel();
    setFocusButton(mActionButton.get());
}

void UpdateWizardMainWidget::showUpdateAvailableScreen()
{
    showMessage(eMessage::Info, format(kUpdateAvailableMessage));
    showActionButton("UPDATE");
    mQuitButton->setVisible(true);
    setInstalledState("fail");
    mPictureOverlay->setVisible(false);
    mStatusIcon->setVisible(true);
    stopWheel();
    setFocusButton(mActionButton.get());
}

void UpdateWizardMainWidget::showErrorScreen(int result)
{
    showMessage(eMessage::Error, formatError(result));
    hideActionButton();
    mQuitButton->setVisible(true);
    mStatusIcon->setVisible(true);
    stopWheel();
    setFocusButton(mQuitButton.get());
}

void UpdateWizardMainWidget::showSuccessScreen()
{
    showMessage(eMessage::Ok, format(kSuccessMessage));
    hideActionButton();
    mQuitButton->setText("FINISH");
    mQuitButton->setVisible(true);
    setInstalledState("success");
    mStatusIcon->setVisible(true);
    stopWheel();
    setFocusButton(mQuitButton.get());
}

void UpdateWizardMainWidget::showUpdatingScreen()
{
    showMessage(eMessage::Info, format(kUpdatingMessage));
    hideActionButton();
    mQuitButton->setVisible(false);
    setInstalledState("neutral");
    mStatusIcon->setVisible(false);
    mWheel->setVisible(true);
    mWheel->setSpinning(true);
}

// Pieces of the screens.

void UpdateWizardMainWidget::showMessage(eMessage kind, const std::string& text)
{
    // The icon has frames for "ok" and "error" only: information shows the error frame.
    mInfoPanel->setAttribute("background", kind == eMessage::Info ? "info" : kind == eMessage::Ok ? "ok" : "error");
    mStatusIcon->setAttribute("icon", kind == eMessage::Ok ? "ok" : "error");
    mMessageLabel->setText(text);
}

std::string UpdateWizardMainWidget::format(const char* pattern) const
{
    return (boost::format(pattern) % mTexts[eDeviceName]).str();
}

std::string UpdateWizardMainWidget::formatError(int result) const
{
    return (boost::format(kErrorMessage) % mTexts[eDeviceName] % result % mTexts[eApplicationName]).str();
}

void UpdateWizardMainWidget::setFocusButton(const HWL::Widget* button)
{
    mActionButton->setAttribute("hasFocus", button == mActionButton.get() ? "true" : "false");
    mQuitButton->setAttribute("hasFocus", button == mQuitButton.get() ? "true" : "false");
}

void UpdateWizardMainWidget::showActionButton(const char* caption)
{
    mActionButton->setText(caption);
    mActionButton->setVisible(true);
}

void UpdateWizardMainWidget::hideActionButton()
{
    mActionButton->setText("<disabled>");
    mActionButton->setVisible(false);
}

void UpdateWizardMainWidget::setInstalledState(const char* state)
{
    mInstalledValue->setAttribute("state", state);
}

void UpdateWizardMainWidget::stopWheel()
{
    mWheel->setVisible(false);
    mWheel->setSpinning(false);
}

void UpdateWizardMainWidget::resetRevisionLabels()
{
    HXL2::USBDeviceInfo info;
    std::string installed, newest;
    bool updateNeeded = false;
    mGetDeviceInfo(info, installed, newest, updateNeeded);
    mInstalledValue->setText("-");
    mSerialValue->setText("-");
    mNewestValue->setText(newest);
}

void UpdateWizardMainWidget::setRevisionLabels(const std::string& installed, const std::string& newest,
                                               const std::string& serialNumber)
{
    mSerialValue->setText(serialNumber);
    mInstalledValue->setText(installed);
    mNewestValue->setText(newest);
}

}  // namespace HA
