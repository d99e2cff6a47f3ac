#include "hxl2/DeviceIdentity.h"

#include <gtest/gtest.h>

#include "hxl2/USBDevice.h"
#include "hxl2/platform/DeviceIdentityOSImpl.h"
#include "hxl2/tests/FakeDriver.h"
#include "os/devices/DeviceConfig.h"
#include "os/devices/DeviceIo.h"
#include "os/devices/Hid.h"
#include "os/kernel/Kernel.h"

using namespace HA;
using namespace HA::HXL2;
using namespace HA::HXL2::Test;

namespace {

const std::u16string& kPath = kFakePath;
const std::u16string kMissingPath = u"\\\\?\\usb#vid_1234&pid_5678#gone#{6b3f0c21-9d4e-4a7b-8e15-2c70d1935a46}";

std::vector<std::uint8_t> deviceDescriptor(std::uint16_t vid, std::uint16_t pid, std::uint16_t bcd,
                                           std::uint8_t iManufacturer, std::uint8_t iProduct, std::uint8_t iSerial)
{
    return {18, 1, 0x00, 0x02, 0, 0, 0, 64, std::uint8_t(vid), std::uint8_t(vid >> 8), std::uint8_t(pid),
            std::uint8_t(pid >> 8), std::uint8_t(bcd), std::uint8_t(bcd >> 8), iManufacturer, iProduct, iSerial, 1};
}

std::vector<std::uint8_t> stringDescriptor(const std::u16string& text)
{
    std::vector<std::uint8_t> d = {std::uint8_t(2 + 2 * text.size()), 3};
    for (char16_t c : text) {
        d.push_back(std::uint8_t(c));
        d.push_back(std::uint8_t(c >> 8));
    }
    return d;
}

// Answers descriptor requests from a table: the device descriptor and strings by index.
class DescriptorDevice {
public:
    explicit DescriptorDevice(std::u16string path = kPath) : fake(std::move(path))
    {
        fake.driver().setScript([this](const OS::IoRequest& request) {
            FakeDriver::tReply r;
            if (request.code() != OS::IOCTL_HA_USB_GET_DESCRIPTOR || request.input().size() != 8) {
                r.status = OS::ERROR_INVALID_FUNCTION;
                return r;
            }
            const std::uint8_t type = request.input()[4], index = request.input()[5];
            if (type == 1)
                r.data = device;
            else if (type == 3 && strings.count(index))
                r.data = strings[index];
            else
                r.status = OS::ERROR_GEN_FAILURE;
            return r;
        });
    }
    std::vector<std::uint8_t> device = deviceDescriptor(0x3A17, 0x0E32, 0x0035, 1, 2, 3);
    std::map<std::uint8_t, std::vector<std::uint8_t>> strings = {
        {1, stringDescriptor(u"Harnwick")}, {2, stringDescriptor(u"Vireo Interface")}, {3, stringDescriptor(u"SN-42")}};
    FakeDevice fake;
};

class DeviceIdentityFixture : public ::testing::Test {
protected:
    OS::ManualClockScope clock;
};

}  // namespace

TEST(DeviceIdentity, ParsesIdsFromThePath)
{
    struct Case {
        std::u16string path;
        std::uint16_t vid, pid, rev;
    };
    const Case cases[] = {
        {u"\\\\?\\usb#vid_3a17&pid_0e30&rev_0035#sn#{guid}", 0x3A17, 0x0E30, 0x0035},
        {u"\\\\?\\usb#vid_3A17&pid_0E3F#sn", 0x3A17, 0x0E3F, 0},   // no "&rev_"; upper-case digits
        {u"\\\\?\\usb#vid_3a1", 0, 0, 0},                          // three digits after "#vid_" and the end
        {u"\\\\?\\usb#vid_3a17", 0x3A17, 0, 0},                    // four digits: p + 8 is the last one
        {u"#vid_12&pid_00ab&rev_0100", 0x12, 0x00AB, 0x0100},      // a non-digit ends the digits
        {u"#vid_zz99&pid_12x4", 0, 0x12, 0},                       // nothing but real hexadecimal digits
        {std::u16string(u"#vid_1\0" u"34&pid_0001", 18), 1, 1, 0},  // an embedded NUL ends them too
        {u"", 0, 0, 0},
        {u"vid_3a17&pid_0e30", 0, 0x0E30, 0},                      // "#vid_" needs its '#'
    };
    for (const Case& c : cases) {
        USBDeviceInfo info;
        info.vendorId = info.productId = info.bcdDevice = 0xFFFF;
        EXPECT_TRUE(parseDevicePath(c.path, info));
        EXPECT_EQ(info.vendorId, c.vid) << std::string(c.path.begin(), c.path.end());
        EXPECT_EQ(info.productId, c.pid) << std::string(c.path.begin(), c.path.end());
        EXPECT_EQ(info.bcdDevice, c.rev) << std::string(c.path.begin(), c.path.end());
    }
}

TEST_F(DeviceIdentityFixture, DeviceDescriptorNeedsAllEighteenBytes)
{
    DescriptorDevice d;
    OS::HANDLE h = openDeviceFile(d.fake.path());
    ASSERT_NE(h, nullptr);

    USBDeviceInfo info;
    EXPECT_TRUE(readDeviceDescriptor(h, info, eStrings::eWithStrings));
    EXPECT_EQ(info.vendorId, 0x3A17);
    EXPECT_EQ(info.productId, 0x0E32);
    EXPECT_EQ(info.bcdDevice, 0x0035);
    EXPECT_EQ(info.manufacturer, "Harnwick");
    EXPECT_EQ(info.product, "Vireo Interface");
    EXPECT_EQ(info.serialNumber, "SN-42");
    // Product first, then manufacturer, then serial number; none of them overlapped.
    std::vector<int> order;
    for (const auto& r : d.fake.driver().journal()) {
        EXPECT_FALSE(r.overlapped);
        if (r.input[4] == 3)
            order.push_back(r.input[5]);
    }
    EXPECT_EQ(order, (std::vector<int>{2, 1, 3}));

    // A missing string index and a string that cannot be read leave their fields empty.
    d.device = deviceDescriptor(0x3A17, 0x0E30, 0x0036, 0, 2, 9);
    EXPECT_TRUE(readDeviceDescriptor(h, info, eStrings::eWithStrings));
    EXPECT_EQ(info.manufacturer, "");
    EXPECT_EQ(info.product, "Vireo Interface");
    EXPECT_EQ(info.serialNumber, "");

    d.device.resize(17);
    USBDeviceInfo untouched;
    untouched.vendorId = 7;
    EXPECT_FALSE(readDeviceDescriptor(h, untouched, eStrings::eWithoutStrings));
    EXPECT_EQ(untouched.vendorId, 7);
    EXPECT_FALSE(readDeviceDescriptor(nullptr, untouched, eStrings::eWithoutStrings));
    OS::closeHandle(h);
}

TEST_F(DeviceIdentityFixture, StringDescriptorReplies)
{
    struct Case {
        const char* name;
        std::vector<std::uint8_t> reply;
        bool ok;
        std::string text;
    };
    std::vector<std::uint8_t> full(258, 'A');  // units 0x4141 all the way, no terminator
    std::vector<std::uint8_t> long255(258, 0);
    long255[0] = 255;
    long255[1] = 3;
    for (std::size_t i = 2; i < long255.size(); i += 2)
        long255[i] = 'x';
    std::vector<std::uint8_t> fullNoLength = full;
    fullNoLength[0] = 0;
    std::string wide31;  // 31 units of U+4141 in UTF-8
    for (int i = 0; i < 31; ++i)
        wide31 += "\xE4\x85\x81";
    const Case cases[] = {
        {"plain", stringDescriptor(u"Vireo"), true, "Vireo"},
        {"length 255", long255, true, std::string(126, 'x')},
        {"odd length byte", {5, 3, 'a', 0, 'b', 0}, true, "a"},
        {"first character NUL", {8, 3, 0, 0, 'b', 0, 'c', 0}, true, ""},
        {"length beyond the reply", {40, 3, 'o', 0, 'k', 0}, true, "ok"},
        {"no terminator, length 0", fullNoLength, true, ""},
        {"no terminator, length 0x41", full, true, wide31},
        {"four bytes", {4, 3, 'z', 0}, true, "z"},
        {"three bytes", {4, 3, 'z'}, false, ""},
        {"empty reply", {}, false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeDevice fake(kPath);
        fake.driver().setScript([&](const OS::IoRequest&) {
            FakeDriver::tReply r;
            r.data = c.reply;
            return r;
        });
        OS::HANDLE h = openDeviceFile(kPath);
        std::string text = "stale";
        EXPECT_EQ(readStringDescriptor(h, 1, text), c.ok);
        EXPECT_EQ(text, c.text);
        OS::closeHandle(h);
    }
}

TEST_F(DeviceIdentityFixture, HidIdentity)
{
    OS::DeviceInterfaceInfo info;
    info.interfaceClass = OS::GUID_DEVINTERFACE_HID;
    info.path = u"\\\\?\\hid#vid_3a17&pid_0e31#7&1&0000#{4d1e55b2-f16f-11cf-88cb-001111000030}";
    OS::HidIdentity hid;
    hid.vendorId = 0x3A17;
    hid.productId = 0x0E31;
    hid.versionNumber = 0x0102;
    hid.product = std::u16string(511, u'p');  // fills the 1024-byte buffer with its NUL
    hid.serialNumber = u"S1";
    info.hid = hid;
    const OS::DeviceInterfaceId id = OS::addDeviceInterface(info, OS::eBroadcast::Silent);

    USBDeviceInfo out;
    out.manufacturer = "stale";
    OS::HANDLE h = openDeviceFile(info.path);
    EXPECT_TRUE(readHIDAttributes(h, out, eStrings::eWithStrings));
    EXPECT_EQ(out.vendorId, 0x3A17);
    EXPECT_EQ(out.productId, 0x0E31);
    EXPECT_EQ(out.bcdDevice, 0x0102);
    EXPECT_EQ(out.manufacturer, "");  // cannot be read
    EXPECT_EQ(out.product, std::string(511, 'p'));
    EXPECT_EQ(out.serialNumber, "S1");
    OS::closeHandle(h);

    // Through the filter: kind 2 reads the HID identity, kind 3 the descriptor (none here).
    USBDeviceFilter hidFilter{USBDeviceFilter::eHid, "hid-guid-magic", "IOHIDDevice", 0, 0};
    USBDeviceFilter makerFilter{USBDeviceFilter::eMakerUsb, "hadfu-guid-magic", "IOUSBDevice", 0, 0};
    USBDeviceInfo viaFilter;
    EXPECT_TRUE(hidFilter.readDeviceInfo(info.path, viaFilter, eStrings::eWithoutStrings));
    EXPECT_EQ(viaFilter.productId, 0x0E31);
    EXPECT_EQ(viaFilter.product, "");
    EXPECT_FALSE(makerFilter.readDeviceInfo(info.path, viaFilter, eStrings::eWithoutStrings));
    OS::removeDeviceInterface(id, OS::eBroadcast::Silent);
}

TEST_F(DeviceIdentityFixture, ReadingByPathAndByKind)
{
    DescriptorDevice d;
    struct Case {
        const char* name;
        std::uint32_t kind;
        const std::u16string* path;
        bool shortDescriptor;
        eStrings strings;
        bool ok;
        std::uint16_t productId;
    };
    const Case cases[] = {
        {"kind 0 descriptor", USBDeviceFilter::eAnyUsb, &kPath, false, eStrings::eWithStrings, true, 0x0E32},
        {"kind 0 short, ids from path", USBDeviceFilter::eAnyUsb, &kPath, true, eStrings::eWithoutStrings, true,
         0x0E30},
        {"kind 0 short, strings asked", USBDeviceFilter::eAnyUsb, &kPath, true, eStrings::eWithStrings, false, 0x0E30},
        {"kind 0 missing path", USBDeviceFilter::eAnyUsb, &kMissingPath, false, eStrings::eWithoutStrings, true,
         0x5678},
        {"kind 0 missing path, strings", USBDeviceFilter::eAnyUsb, &kMissingPath, false, eStrings::eWithStrings, false,
         0x5678},
        {"kind 1", USBDeviceFilter::eAudioDriver, &kPath, false, eStrings::eWithoutStrings, true, 0x0E32},
        {"kind 3", USBDeviceFilter::eMakerUsb, &kPath, false, eStrings::eWithStrings, true, 0x0E32},
        {"kind 3 short", USBDeviceFilter::eMakerUsb, &kPath, true, eStrings::eWithoutStrings, false, 0},
        {"kind 3 missing path", USBDeviceFilter::eMakerUsb, &kMissingPath, false, eStrings::eWithoutStrings, false, 0},
        {"kind 2 without HID identity", USBDeviceFilter::eHid, &kPath, false, eStrings::eWithoutStrings, false, 0},
        {"unknown kind", 4, &kPath, false, eStrings::eWithoutStrings, false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        d.device = deviceDescriptor(0x3A17, 0x0E32, 0x0035, 1, 2, 3);
        if (c.shortDescriptor)
            d.device.resize(17);
        USBDeviceFilter filter{c.kind, "", "", 0, 0};
        USBDeviceInfo info;
        EXPECT_EQ(readDeviceInfo(*c.path, filter, info, c.strings), c.ok);
        EXPECT_EQ(info.productId, c.productId);
        if (c.ok && c.strings == eStrings::eWithStrings) {
            EXPECT_EQ(info.serialNumber, "SN-42");
        }
    }
    // The handle of each read is closed again.
    EXPECT_EQ(d.fake.driver().opens(), d.fake.driver().closes());
}

namespace {

class CountingDevice : public USBDevice {
public:
    int opened = 0;
    void requireDescriptor() { mRequireDescriptor = 1; }

protected:
    void onOpened() override { ++opened; }
};

}  // namespace

TEST_F(DeviceIdentityFixture, OpenReadsIdentity)
{
    DescriptorDevice d;
    CountingDevice device;
    ASSERT_TRUE(device.open(USBDeviceOSHandle{kPath}));
    EXPECT_TRUE(device.isOpen());
    EXPECT_EQ(device.path(), kPath);
    EXPECT_EQ(device.info().productId, 0x0E32);
    EXPECT_EQ(device.info().serialNumber, "SN-42");
    EXPECT_EQ(device.opened, 1);

    // Open on an open device replaces its handle and reads the identity again; a short
    // descriptor gives the ids from the path and no texts of the device before.
    d.device.resize(17);
    ASSERT_TRUE(device.open(kPath));
    EXPECT_EQ(d.fake.driver().closes(), 1);
    EXPECT_EQ(device.info().vendorId, 0x3A17);
    EXPECT_EQ(device.info().productId, 0x0E30);
    EXPECT_EQ(device.info().bcdDevice, 0x0035);
    EXPECT_EQ(device.info().product, "");
    EXPECT_EQ(device.info().serialNumber, "");
    EXPECT_EQ(device.opened, 2);

    // Requiring the descriptor makes the same open fail and leaves the device closed.
    device.requireDescriptor();
    EXPECT_FALSE(device.open(kPath));
    EXPECT_FALSE(device.isOpen());
    EXPECT_TRUE(device.path().empty());
    EXPECT_EQ(device.opened, 2);
    EXPECT_EQ(d.fake.driver().opens(), d.fake.driver().closes());

    EXPECT_FALSE(device.open(kMissingPath));
    EXPECT_FALSE(device.isOpen());
    // The identity stays after close.
    EXPECT_EQ(device.info().productId, 0x0E30);
}
