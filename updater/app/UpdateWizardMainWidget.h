#pragma once
// The updater's whole user interface, the root widget of its main window: a headline with
// the "About" button, the device's picture and revisions, a status panel (icon, spinning
// wheel, message) and the action and quit buttons, plus the about panel as a hidden overlay.
//
// A state machine of seven states drives the upgrade logic through five callbacks of the
// description record and polls the download's result on a one-tick widget timer. The look
// comes from the style sheet through the ids, style classes and attributes set here.
//
// User-interface thread only, except the download result, which the worker stores once.
// The callbacks block this thread while they run (the switch into DFU mode sleeps 5 s, and
// so does the check after a download when the device is not back yet).

#include <array>
#include <atomic>
#include <memory>
#include <string>

#include <boost/function.hpp>

#include "hwl/core/src/widgets/Bar.h"
#include "os/kernel/Types.h"
#include "updater/app/UpdaterDescription.h"

namespace HA::HWL {
class Button;
class Label;
class MultilineLabel;
}  // namespace HA::HWL

namespace HA {

class SpinningProgressWheel;

class UpdateWizardMainWidget : public HWL::Bar {
public:
    enum eState : int {
        eConnect = 0,          // waiting for the device
        eUpToDate = 1,         // it runs the newest firmware
        eUpdateAvailable = 2,  // it runs an older one
        eUpdating = 3,         // in DFU mode; the download runs or is about to start
        eBootFailed = 4,       // it did not come up in DFU mode
        eSuccess = 5,          // it came back with the newest revision
        eError = 6,            // the download or the check after it failed
    };
    enum class eMessage { Info, Ok, Error };

    // Texts: copies of the description's first twelve fields.
    enum eText : int {
        eDeviceName,
        eProductAttribute,
        eProductCode,
        eApplicationName,
        eTitle,
        eNotice,
        eVersion,
        eContributor0,  // five lines
        kTextCount = eContributor0 + 5,
    };

    // The about panel's picture and where a title counts as long (bytes of UTF-8).
    static constexpr int kAboutPanelWidth = 450;
    static constexpr int kAboutPanelHeight = 274;
    static constexpr std::size_t kLongTitleBytes = 36;
    // The second look for the device after a download that did not find it at once.
    static constexpr OS::DWORD kRescanDelayMs = 5000;

    // Builds the tree: the title panel, the body panel and the hidden about overlay. State 0,
    // result 0, no callbacks yet.
    explicit UpdateWizardMainWidget(const UpdaterDescription& description);
    // Waits for a download worker that still runs, since it writes into this widget.
    ~UpdateWizardMainWidget() override;

    // Stores the callbacks, shows the connect screen and takes the first step: the first
    // scan. Calling an empty callback later throws boost::bad_function_call.
    void setCallbacks(UpdaterDescription::tScanForDevice scan, UpdaterDescription::tEnterUpdateMode enterUpdateMode,
                      UpdaterDescription::tFindUpdateModeDevice findUpdateModeDevice,
                      UpdaterDescription::tStartUpdate startUpdate, UpdaterDescription::tGetDeviceInfo getDeviceInfo);

    // One step of the state machine; the action button's click.
    void step();
    // The quit button's click: asks the application to quit, except while updating.
    void onQuitClicked();
    // While updating: the wheel turns until the download's result is in, then the device is
    // looked for again and the result shown.
    void onTimer() override;
    // Centres the message vertically in the status panel.
    void adjustSize() override;

    // The about panel: centred over the wizard; any click on it hides it.
    void showAbout();
    void hideAbout();

    int getState() const { return mState; }
    // The download's result: 0 while it runs, then 1, -1 or -2.
    int getUpdateResult() const { return mUpdateResult.load(std::memory_order_acquire); }
    const std::string& getText(eText text) const { return mTexts[text]; }

    // The widgets the wizard changes.
    const std::shared_ptr<HWL::Button>& getAboutButton() const { return mAboutButton; }
    const std::shared_ptr<HWL::Bar>& getDevicePicture() const { return mDevicePicture; }
    const std::shared_ptr<HWL::Label>& getPictureOverlay() const { return mPictureOverlay; }
    const std::shared_ptr<HWL::Label>& getNewestValue() const { return mNewestValue; }
    const std::shared_ptr<HWL::Label>& getInstalledValue() const { return mInstalledValue; }
    const std::shared_ptr<HWL::Label>& getSerialValue() const { return mSerialValue; }
    const std::shared_ptr<HWL::Bar>& getInfoPanel() const { return mInfoPanel; }
    const std::shared_ptr<HWL::Label>& getStatusIcon() const { return mStatusIcon; }
    const std::shared_ptr<SpinningProgressWheel>& getWheel() const { return mWheel; }
    const std::shared_ptr<HWL::MultilineLabel>& getMessageLabel() const { return mMessageLabel; }
    const std::shared_ptr<HWL::Button>& getActionButton() const { return mActionButton; }
    const std::shared_ptr<HWL::Button>& getQuitButton() const { return mQuitButton; }
    const std::shared_ptr<HWL::Button>& getAboutOverlay() const { return mAboutOverlay; }
    const std::shared_ptr<HWL::Bar>& getAboutPanel() const { return mAboutPanel; }
    const std::shared_ptr<HWL::Label>& getAboutTitle() const { return mAboutTitle; }
    const std::shared_ptr<HWL::Label>& getAboutVersion() const { return mAboutVersion; }
    const std::shared_ptr<HWL::Bar>& getAboutContributors() const { return mAboutContributors; }

private:
    void buildTitlePanel();
    void buildBodyPanel();
    void buildFirmwarePanel(HWL::Bar& body);
    void buildInfoPanel(HWL::Bar& body);
    void buildButtonPanel(HWL::Bar& body);
    // One row of the revisions: its value label (returned) and its text.
    std::shared_ptr<HWL::Label> addRevisionRow(HWL::Bar& revisions, const char* text, const char* valueClass,
                                               const char* textClass);
    void buildAboutOverlay();
    void addContributorLine(const std::string& text);

    void showConnectScreen();
    void showUpToDateScreen();
    void showBootFailedScreen();
    void showUpdateAvailableScreen();
    void showErrorScreen(int result);
    void showSuccessScreen();
    void showUpdatingScreen();

    void showMessage(eMessage kind, const std::string& text);
    // %1% the device name; an error also gets %2% the result and %3% the application name.
    std::string format(const char* pattern) const;
    std::string formatError(int result) const;
    // "hasFocus" true on that button and false on the other; any other widget clears both.
    void setFocusButton(const HWL::Widget* button);
    void showActionButton(const char* caption);
    void hideActionButton();
    void setInstalledState(const char* state);
    void stopWheel();
    void resetRevisionLabels();
    void setRevisionLabels(const std::string& installed, const std::string& newest, const std::string& serialNumber);
    // Scans for the device and shows its revisions; false when it is not there.
    bool scanAndShowRevisions(std::string& installed, std::string& newest, bool& updateNeeded);

    std::array<std::string, kTextCount> mTexts;

    std::shared_ptr<HWL::Bar> mTitlePanel;
    std::shared_ptr<HWL::Button> mAboutButton;
    std::shared_ptr<HWL::Bar> mBodyPanel;
    std::shared_ptr<HWL::Bar> mFirmwarePanel;
    std::shared_ptr<HWL::Bar> mDevicePicture;
    std::shared_ptr<HWL::Label> mPictureOverlay;
    std::shared_ptr<HWL::Label> mNewestValue;
    std::shared_ptr<HWL::Label> mInstalledValue;
    std::shared_ptr<HWL::Label> mSerialValue;
    std::shared_ptr<HWL::Bar> mInfoPanel;
    std::shared_ptr<HWL::Label> mStatusIcon;
    std::shared_ptr<HWL::MultilineLabel> mMessageLabel;
    std::shared_ptr<HWL::Bar> mButtonPanel;
    std::shared_ptr<HWL::Button> mActionButton;
    std::shared_ptr<HWL::Button> mQuitButton;
    std::shared_ptr<HWL::Button> mAboutOverlay;
    std::shared_ptr<HWL::Bar> mAboutPanel;
    std::shared_ptr<HWL::Label> mAboutTitle;
    std::shared_ptr<HWL::Bar> mAboutInfos;
    std::shared_ptr<HWL::Label> mAboutVersion;
    std::shared_ptr<HWL::Label> mAboutCopyright;
    std::shared_ptr<HWL::Label> mAboutFirmwareRevision;
    std::shared_ptr<HWL::Bar> mAboutContributors;
    std::shared_ptr<SpinningProgressWheel> mWheel;

    UpdaterDescription::tScanForDevice mScanForDevice;
    UpdaterDescription::tEnterUpdateMode mEnterUpdateMode;
    UpdaterDescription::tFindUpdateModeDevice mFindUpdateModeDevice;
    UpdaterDescription::tStartUpdate mStartUpdate;
    UpdaterDescription::tGetDeviceInfo mGetDeviceInfo;
    // The description's isUpdateRunning: a timed join of the worker, asked until it has ended
    // before the result below goes.
    UpdaterDescription::tIsUpdateRunning mIsUpdateRunning;

    int mState = eConnect;
    std::atomic<int> mUpdateResult{0};
};

}  // namespace HA
