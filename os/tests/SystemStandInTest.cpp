#include <gtest/gtest.h>

#include "os/shell/Com.h"
#include "os/files/Drives.h"
#include "os/kernel/Kernel.h"
#include "os/kernel/SystemFacts.h"

using namespace HA::OS;

TEST(DrivesStandIn, DriveStringsSizeProtocol)
{
    DriveTableScope drives({{'D', DRIVE_CDROM}, {'C', DRIVE_FIXED}});
    DWORD needed = getLogicalDriveStrings(0, nullptr);
    EXPECT_EQ(needed, 9u);  // "C:\" NUL "D:\" NUL NUL
    std::u16string buffer(needed, u'x');
    EXPECT_EQ(getLogicalDriveStrings(needed - 1, buffer.data()), needed);
    EXPECT_EQ(buffer, std::u16string(needed, u'x'));
    EXPECT_EQ(getLogicalDriveStrings(needed, buffer.data()), needed - 1);
    EXPECT_EQ(buffer, std::u16string(u"C:\\\0D:\\\0\0", 9));
    EXPECT_EQ(getDriveType(u"d:\\"), DRIVE_CDROM);
    EXPECT_EQ(getDriveType(u"Q:\\"), DRIVE_NO_ROOT_DIR);
    EXPECT_EQ(openDriveDevice(u"C:\\"), INVALID_HANDLE_VALUE);
    HANDLE device = openDriveDevice(u"\\\\.\\D:");
    ASSERT_NE(device, INVALID_HANDLE_VALUE);
    EXPECT_EQ(openDriveDeviceCount(), 1);
    EXPECT_TRUE(driveIoControl(device, IOCTL_STORAGE_CHECK_VERIFY));
    drives.set({{'D', DRIVE_CDROM, true, false}});
    EXPECT_FALSE(driveIoControl(device, IOCTL_STORAGE_CHECK_VERIFY));
    EXPECT_EQ(getLastError(), ERROR_NOT_READY);
    closeHandle(device);
    EXPECT_EQ(openDriveDeviceCount(), 0);
}

TEST(ComStandIn, CountsPerThreadAndFaults)
{
    DWORD me = currentThreadId();
    EXPECT_EQ(coInitialize(), S_OK);
    EXPECT_EQ(coInitialize(), S_FALSE);
    EXPECT_EQ(comInitCount(me), 2);
    coUninitialize();
    coUninitialize();
    EXPECT_EQ(comInitCount(me), 0);
    {
        ComFaultScope fault;
        EXPECT_EQ(coInitialize(), RPC_E_CHANGED_MODE);
        EXPECT_EQ(comInitCount(me), 0);
    }
    EXPECT_EQ(oleInitialize(), S_OK);
    EXPECT_EQ(comInitCount(me), 1);
    oleUninitialize();
    oleUninitialize();  // unbalanced: ignored
    EXPECT_EQ(comInitCount(me), 0);
    EXPECT_EQ(oleInitCount(me), 0);
}

TEST(SystemFactsStandIn, TokenElevationAndComputerName)
{
    SystemFacts facts;
    facts.elevated = true;
    facts.computerName = "BENCH-PC";
    SystemFactsScope scope(facts);
    HANDLE token = nullptr;
    ASSERT_TRUE(openProcessToken(TOKEN_QUERY, token));
    DWORD value = 0, returned = 0;
    EXPECT_TRUE(getTokenInformation(token, TokenElevation, &value, sizeof(value), returned));
    EXPECT_EQ(value, 1u);
    EXPECT_EQ(returned, 4u);
    EXPECT_TRUE(closeHandle(token));

    WChar name[4];
    DWORD size = 4;
    EXPECT_FALSE(getComputerName(name, size));
    EXPECT_EQ(size, 9u);
    WChar big[16];
    size = 16;
    EXPECT_TRUE(getComputerName(big, size));
    EXPECT_EQ(std::u16string(big, size), u"BENCH-PC");
}
