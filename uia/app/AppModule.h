#pragma once
// The process module: the program's one global object that starts, runs and stops it,
// and the runner that the process entry calls. The first module constructed is the process
// module. User-interface thread only.

#include <string>

namespace HA::UIA {

class IApplication;

class AppModule {
public:
    AppModule();
    // Detaches the application (as detachApplication).
    virtual ~AppModule();
    AppModule(const AppModule&) = delete;
    AppModule& operator=(const AppModule&) = delete;

    // The program's start-up and shut-down; deinitialize is told whether initialize succeeded.
    virtual bool initialize() = 0;
    virtual void deinitialize(bool initOk) = 0;
    virtual bool usesLocaleSetting() { return false; }
    // Empty without the setting; else the general-purpose setting "Locale" (empty when absent).
    virtual std::string getLocale(bool useSetting);

    // The process module, null before the first is constructed.
    static AppModule* instance();

    // False when an application is attached already. Otherwise attaches it (owned) and runs
    // its initialize; a failed one gets deinitialize(false) at once and stays attached.
    bool attachApplication(IApplication* app);
    // Deinitialises the application with the module's initialize result, then deletes it.
    void detachApplication();
    IApplication* getApplication() const { return mApplication; }
    bool getInitOk() const { return mInitOk; }

    // The file version text of the framework's module (its version resource's
    // FileVersion of the language-neutral Unicode table); else "?.??.???" and false.
    static bool getFileVersion(std::string& out);

private:
    friend bool initModule();
    friend void exitModule();

    bool mInitOk = false;
    IApplication* mApplication = nullptr;
};

// The whole program: initModule, runModule when it succeeded, then exitModule in every case.
void runMain();
// Language code and exiting flag, then the module's initialize; false without a module.
bool initModule();
// The attached application's loop.
void runModule();
// The module's deinitialize with the initialize result.
void exitModule();

// The host kind: 0 for a standalone program. Framework builds hosted in another program
// have other kinds (1 looks up accelerators in the key path).
int getHostKind();

namespace DETAIL {
// Nothing in this program sets the host kind; tests of the hosted paths do.
void setHostKind(int kind);
}  // namespace DETAIL

}  // namespace HA::UIA
