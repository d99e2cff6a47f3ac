#include "gp/src/common/devices/VolumeInfo.h"
#include "gp/src/common/devices/DeviceNotificationListener.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "os/kernel/Debug.h"
#include "os/files/Drives.h"

using namespace HA;
using namespace HA::GP;
using ::testing::ElementsAre;

namespace {

using Volume = std::pair<std::string, int>;

std::vector<Volume> listed()
{
    std::vector<Volume> out;
    for (const auto& v : VolumeInfo::volumes())
        out.emplace_back(v.name, v.kind);
    return out;
}

class VolumeInfoTest : public ::testing::Test {
protected:
    void TearDown() override { VolumeInfo::shutdown(); }

    OS::DriveTableScope mDrives{{}};
};

class RecordingObserver : public VolumeObserver {
public:
    RecordingObserver(std::string tag, std::vector<std::string>& log) : mTag(std::move(tag)), mLog(log) {}
    void onVolumeChange(bool removed, const std::string& name) override
    {
        mLog.push_back(mTag + (removed ? " -" : " +") + name);
        if (mRemove)
            VolumeInfo::removeObserver(mRemove);
    }
    VolumeObserver* mRemove = nullptr;

private:
    std::string mTag;
    std::vector<std::string>& mLog;
};

}  // namespace

TEST_F(VolumeInfoTest, KindsAndTheMediaCheck)
{
    mDrives.set({
        {'a', OS::DRIVE_REMOVABLE, true, true},
        {'B', OS::DRIVE_REMOVABLE, true, false},  // floppies are never checked
        {'C', OS::DRIVE_FIXED},
        {'D', OS::DRIVE_CDROM, true, true},
        {'E', OS::DRIVE_CDROM, true, false},       // empty: left out
        {'F', OS::DRIVE_REMOVABLE, true, false},   // empty card reader: left out
        {'G', OS::DRIVE_REMOVABLE, true, true},    // with a card
        {'H', OS::DRIVE_REMOTE, true, false},      // never checked
        {'I', 7, false, false},                    // device cannot be opened: kept
        {'J', OS::DRIVE_NO_ROOT_DIR, true, false},
        {'K', OS::DRIVE_RAMDISK, true, false},
    });
    OS::DebugOutputCapture debug;
    EXPECT_TRUE(VolumeInfo::init());
    EXPECT_THAT(listed(), ElementsAre(Volume{"A:", 4}, Volume{"B:", 4}, Volume{"C:", 1}, Volume{"D:", 2},
                                      Volume{"G:", 8}, Volume{"H:", 16}, Volume{"I:", 0}, Volume{"J:", 1},
                                      Volume{"K:", 1}));
    EXPECT_EQ(OS::openDriveDeviceCount(), 0) << "media-check handles must be closed";
    EXPECT_THAT(debug.lines(), ElementsAre("GP.VolumeInfo.rescanInternal: unknown DriveType: 7\n",
                                           "GP.VolumeInfo.rescanInternal: DriveType DRIVE_NO_ROOT_DIR detected!?!\n"));
}

TEST_F(VolumeInfoTest, NoticesFollowTheDrives)
{
    mDrives.set({{'C', OS::DRIVE_FIXED}, {'D', OS::DRIVE_CDROM}, {'F', OS::DRIVE_REMOVABLE, true, false}});
    VolumeInfo::init();
    EXPECT_THAT(listed(), ElementsAre(Volume{"C:", 1}, Volume{"D:", 2}));

    // A card goes into F: the arrival rescans.
    mDrives.set({{'C', OS::DRIVE_FIXED}, {'D', OS::DRIVE_CDROM}, {'F', OS::DRIVE_REMOVABLE, true, true}});
    VolumeInfo::onVolumeChange(false, "F:");
    EXPECT_THAT(listed(), ElementsAre(Volume{"C:", 1}, Volume{"D:", 2}, Volume{"F:", 8}));

    // A removal erases just its entry, without a rescan.
    VolumeInfo::onVolumeChange(true, "D:");
    EXPECT_THAT(listed(), ElementsAre(Volume{"C:", 1}, Volume{"F:", 8}));
    VolumeInfo::onVolumeChange(true, "Q:");
    EXPECT_THAT(listed(), ElementsAre(Volume{"C:", 1}, Volume{"F:", 8}));

    // The library's listener builds the name from the letter.
    const char letter = 'F';
    DETAIL::deviceNotificationHelper().onVolumeChange(true, &letter);
    EXPECT_THAT(listed(), ElementsAre(Volume{"C:", 1}));

    VolumeInfo::shutdown();
    EXPECT_FALSE(VolumeInfo::isInitialized());
    EXPECT_TRUE(listed().empty());
}

TEST_F(VolumeInfoTest, NoticesBeforeStartUpChangeNothing)
{
    mDrives.set({{'C', OS::DRIVE_FIXED}});
    std::vector<std::string> log;
    RecordingObserver observer("o", log);
    VolumeInfo::addObserver(&observer);
    VolumeInfo::onVolumeChange(false, "C:");
    EXPECT_TRUE(listed().empty());
    EXPECT_TRUE(log.empty());
    VolumeInfo::removeObserver(&observer);
}

TEST_F(VolumeInfoTest, ObserversLastFirstByNameAndSafeAgainstRemoval)
{
    mDrives.set({{'C', OS::DRIVE_FIXED}, {'E', OS::DRIVE_REMOVABLE}});
    VolumeInfo::init();
    std::vector<std::string> log;
    RecordingObserver all("all", log), onlyE("E", log), onlyC("C", log), remover("remover", log);
    VolumeInfo::addObserver(&all);
    VolumeInfo::addObserver(&onlyE, "E:");
    VolumeInfo::addObserver(&onlyC, "C:");
    VolumeInfo::addObserver(&remover);
    remover.mRemove = &onlyC;  // removes an observer not yet called

    VolumeInfo::onVolumeChange(true, "C:");
    EXPECT_THAT(log, ElementsAre("remover -C:", "all -C:"));
    log.clear();
    remover.mRemove = &remover;  // removes itself
    VolumeInfo::onVolumeChange(false, "E:");
    EXPECT_THAT(log, ElementsAre("remover +E:", "E +E:", "all +E:"));
    log.clear();
    VolumeInfo::onVolumeChange(false, "E:");
    EXPECT_THAT(log, ElementsAre("E +E:", "all +E:"));
}
