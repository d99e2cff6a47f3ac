#pragma once
// Start-up and shut-down of the general-purpose library and the process-wide state it
// keeps: the application FourCC and title (stored in process/ApplicationIdentity.h), the
// language code, COM initialisation and the elevation flag. The library is started once, on
// the user-interface thread, before the window framework and the widget library, and shut
// down last.

#include <cstdint>

#include "gp/src/common/process/ApplicationIdentity.h"

namespace HA::GP {

// Stores the FourCC and the title (null keeps the current one; at most 255 bytes), then
// records the system information, configures pool B, builds the file-type registry,
// creates the device-notification window and starts the volume list. When one of those
// fails the library is shut down again and the result is false. Then OLE and COM are
// initialised for the calling thread. Starting a started library is a fatal error.
bool init(std::uint32_t fourCC, const char* title);
// Undoes every step of init that was done; safe after a failed or partial start-up.
void shutdown();
bool isInitialized();

// A non-empty code is stored (at most 15 bytes); otherwise the code follows the user's
// default language: "DEU", "SPA", "FRA", "ITA", "JPN", else "ENG".
void setLanguageCode(const char* code);
const char* languageCode();

void setExiting(std::uint8_t exiting);
std::uint8_t exiting();

// Records whether the process token is elevated, then initialises COM for the calling
// thread unless the library already did for some thread. False when it already did or
// COM refuses.
bool initCom();
// Balances initCom on its thread; does nothing when initCom did not succeed.
void uninitCom();
bool isElevated();

// Releases the COM objects the library holds (none unless something created them).
// Always true.
bool releaseComObjects();

namespace DETAIL {

// The start-up steps that can fail.
enum class eInitStep { SystemInfo, SmallBlockPool, FileTypes, DeviceNotificationWindow, VolumeList };

// Makes one start-up step throw while it lives (tests).
class InitFaultScope {
public:
    explicit InitFaultScope(eInitStep step);
    ~InitFaultScope();
    InitFaultScope(const InitFaultScope&) = delete;
    InitFaultScope& operator=(const InitFaultScope&) = delete;
};

// The thread that initialised COM through initCom, 0 for none.
std::uint32_t comThread();

}  // namespace DETAIL

}  // namespace HA::GP
