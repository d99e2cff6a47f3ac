#pragma once
// The updater's application: refuses a second instance, loads the updater's style sheet,
// builds the wizard and opens the one main window with the wizard as its root. While it
// runs it answers the about and web-page commands and guards the quit request: while a
// download runs it asks the user first. User-interface thread only.

#include <boost/function.hpp>

#include "hwl/core/src/window/App.h"

namespace HA {

struct UpdaterDescription;

class FirmwareUpdaterApp : public HWL::App {
public:
    // Commands of the application (UIA::kEventCommand).
    static constexpr int kCommandAbout = 30003;
    static constexpr int kCommandKnowledgeBase = 40000;
    static constexpr int kCommandHomePage = 40001;

    static constexpr const char* kStyleSheet = "FirmwareUpdaterStyles.txt";
    static constexpr const char* kKnowledgeBaseAddress = "https://harnwick-acoustics.example/knowledge/";
    static constexpr const char* kHomePageAddress = "https://harnwick-acoustics.example/";
    static constexpr const char* kRootId = "FirmwareUpdaterMainWidget";
    static constexpr const char* kQuitQuestion =
        "An update is currently in progress. Interrupting the update process may damage the device.\n"
        "Do you really want to quit ?";
    // The client area holds the wizard; fixed size.
    static constexpr int kClientWidth = 627;
    static constexpr int kClientHeight = 335;
    static constexpr int kIconResource = 1;

    // The description is the module's and outlives the application.
    explicit FirmwareUpdaterApp(UpdaterDescription* description);
    ~FirmwareUpdaterApp() override;

    bool initialize() override;
    void deinitialize(bool initOk) override;
    bool onEvent(int code, void* data) override;

private:
    boost::function<void()> mAboutCallback;
    UpdaterDescription* mDescription;
};

}  // namespace HA
