#pragma once
// The updater's process module: starts and stops the libraries, owns the upgrade logic and
// the description record, and attaches the updater's application. The program has exactly
// one, a static object beside its WinMain; tests make their own. User-interface thread only.

#include <memory>

#include "uia/app/AppModule.h"

namespace HA {

class VireoUpdaterUpgradeLogic;
struct UpdaterDescription;

class VireoUpdaterAppModule : public UIA::AppModule {
public:
    // The application's four-character code, 'VIRO'.
    static constexpr std::uint32_t kFourCC = 0x5649524F;

    VireoUpdaterAppModule();
    // Releases what a missing shut-down left, the worker's end awaited first.
    ~VireoUpdaterAppModule() override;

    // Libraries, logic, description and application; the application's initialize result.
    bool initialize() override;
    // Application, description, logic, then the libraries in the reverse order. A download
    // that still runs (the user chose to quit anyway) is waited for first: the wizard owns
    // its result and the logic its device.
    void deinitialize(bool initOk) override;

    // Null outside initialize and deinitialize.
    VireoUpdaterUpgradeLogic* getUpgradeLogic() const { return mUpgradeLogic.get(); }
    UpdaterDescription* getDescription() const { return mDescription.get(); }

private:
    // Declared in this order so that the description goes before the logic it is bound to.
    std::unique_ptr<VireoUpdaterUpgradeLogic> mUpgradeLogic;
    std::unique_ptr<UpdaterDescription> mDescription;
};

}  // namespace HA
