#pragma once
// The process-wide list of the machine's drive volumes with a coarse kind for each, built
// at library start-up and kept current from the device-notification window's volume
// notices, and the observers told about changes.

#include <string>
#include <vector>

namespace HA::GP {

// Told about a volume that arrived or was removed (user-interface thread). The list does
// not own observers.
class VolumeObserver {
public:
    virtual void onVolumeChange(bool removed, const std::string& name) = 0;

protected:
    ~VolumeObserver() = default;
};

class VolumeInfo {
public:
    // Kinds, one bit each.
    enum eKind : int {
        eUnknown = 0,
        eFixed = 1,  // fixed disk, RAM disk, or a root that does not exist
        eCdRom = 2,
        eFloppy = 4,     // removable A: or B:
        eRemovable = 8,  // other removable drive
        eNetwork = 16,
    };

    struct tVolume {
        std::string name;  // letter and colon, upper case: "C:"
        int kind;
    };

    // Start-up: scans the drives and, when the device-notification window exists,
    // registers the library's listener. Always true.
    static bool init();
    // Shut-down: unregisters the listener, frees both lists. Does nothing when not started.
    static void shutdown();
    static bool isInitialized();

    // A volume notice ("D:"); ignored when not started. An arrival rescans first, a
    // removal erases the matching entry; then the observers whose name filter is empty or
    // equal to the name are told, the last registered first.
    static void onVolumeChange(bool removed, const std::string& name);
    // Rebuilds the list from the platform's drives; true when it is not empty.
    static bool rescanInternal();

    // A copy of the list. Any thread.
    static std::vector<tVolume> volumes();

    // Observers with an empty name filter hear of every volume. The same observer may be
    // added more than once; removal drops its first entry. Any thread.
    static void addObserver(VolumeObserver* observer, const std::string& nameFilter = std::string());
    static void removeObserver(VolumeObserver* observer);
};

}  // namespace HA::GP
