// The simulated Vireo Interface alone, driven by raw driver requests: descriptors and
// strings, DFU information, the DFU road from detach to the return with the new revision,
// each fault, the journal and the persisted firmware slot.

#include <gtest/gtest.h>

#include <boost/thread/thread.hpp>

#include <cstdio>
#include <cstring>
#include <fstream>

#include "os/DeviceConfig.h"
#include "os/DeviceIo.h"
#include "os/DeviceRegistry.h"
#include "os/Kernel.h"
#include "os/SetupApi.h"
#include "os/sim/FirmwareImage.h"
#include "os/sim/SimulatedVireo.h"

using namespace HA::OS;
using namespace HA::OS::SIM;

namespace {

constexpr DWORD kTimeoutMs = 500;

struct Reply {
    DWORD error = 0;
    std::vector<BYTE> data;
};

// A raw host: one overlapped record per request, a 500 ms wait, cancel and a wait for the
// cancelled request before its buffers go.
class RawHost {
public:
    ~RawHost() { close(); }

    bool open(const WString& path)
    {
        close();
        mHandle = createDeviceFile(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                   OPEN_EXISTING, FILE_FLAG_OVERLAPPED);
        if (mHandle == INVALID_HANDLE_VALUE) {
            mHandle = nullptr;
            mOpenError = getLastError();
            return false;
        }
        return true;
    }
    void close()
    {
        if (mHandle)
            closeHandle(mHandle);
        mHandle = nullptr;
    }
    DWORD openError() const { return mOpenError; }

    Reply request(DWORD code, const std::vector<BYTE>& in, DWORD outSize)
    {
        Reply r;
        r.data.assign(outSize, 0);
        HANDLE event = createEvent(eReset::Manual, false);
        OVERLAPPED ov{};
        ov.hEvent = event;
        DWORD bytes = 0;
        if (deviceIoControl(mHandle, code, in.empty() ? nullptr : in.data(), static_cast<DWORD>(in.size()),
                            outSize ? r.data.data() : nullptr, outSize, &bytes, &ov)) {
            r.data.resize(bytes);
        } else if (getLastError() != ERROR_IO_PENDING) {
            r.error = getLastError();
            r.data.clear();
        } else if (waitForSingleObject(event, kTimeoutMs) == WAIT_OBJECT_0) {
            if (getOverlappedResult(mHandle, ov, bytes, eOverlappedWait::NoWait))
                r.data.resize(bytes);
            else
                r.error = getLastError();
        } else {
            cancelIo(mHandle);
            getOverlappedResult(mHandle, ov, bytes, eOverlappedWait::Wait);
            r.error = WAIT_TIMEOUT;
            r.data.resize(bytes);
        }
        closeHandle(event);
        return r;
    }

    Reply descriptor(BYTE type, BYTE index, DWORD outSize)
    {
        return request(IOCTL_HA_USB_GET_DESCRIPTOR, {0, 0, 0, 0, type, index, 0, 0}, outSize);
    }
    Reply dnload(WORD block, const BYTE* data, WORD length)
    {
        std::vector<BYTE> in(kDfuDownloadBlockSize, 0);
        in[0] = static_cast<BYTE>(block);
        in[1] = static_cast<BYTE>(block >> 8);
        in[2] = static_cast<BYTE>(length);
        in[3] = static_cast<BYTE>(length >> 8);
        if (length)
            std::memcpy(in.data() + 4, data, length);
        return request(IOCTL_HA_DFU_DNLOAD, in, 0);
    }
    Reply getStatus() { return request(IOCTL_HA_DFU_GETSTATUS, {}, kDfuStatusSize); }
    int getState()
    {
        Reply r = request(IOCTL_HA_DFU_GETSTATE, {}, 1);
        return r.error == 0 && r.data.size() == 1 ? r.data[0] : -1;
    }

private:
    HANDLE mHandle = nullptr;
    DWORD mOpenError = 0;
};

std::vector<WString> presentPaths()
{
    std::vector<WString> paths;
    for (DeviceInterfaceId id : presentDeviceInterfaces(kHadfuInterfaceClass))
        paths.push_back(deviceInterfaceInfo(id)->path);
    return paths;
}

WORD wordAt(const std::vector<BYTE>& d, size_t i)
{
    return static_cast<WORD>(d[i] | (d[i + 1] << 8));
}

std::string utf8(const WString& s)
{
    return std::string(s.begin(), s.end());
}

class SimulatedVireoTest : public ::testing::Test {
protected:
    ManualClockScope clock;
    std::shared_ptr<SimulatedVireo> device;
    RawHost host;

    void SetUp() override { removeAllDeviceInterfaces(); }
    void TearDown() override
    {
        host.close();
        device.reset();
        removeAllDeviceInterfaces();
    }

    void attach(VireoSettings settings = {}, VireoFaults faults = {})
    {
        device = SimulatedVireo::makeShared(std::move(settings), std::move(faults));
        device->plugIn();
        ASSERT_TRUE(host.open(device->path()));
    }
};

}  // namespace

TEST_F(SimulatedVireoTest, RuntimeDeviceIsListedUnderItsMixedCasePath)
{
    attach();
    EXPECT_EQ(device->mode(), eVireoMode::Runtime);
    WString path = device->path();
    EXPECT_EQ(presentPaths(), std::vector<WString>{path});
    EXPECT_EQ(utf8(path), "\\\\?\\USB#VID_3A17&PID_0E30&REV_0035#VI2401A0158#{6b3f0c21-9d4e-4a7b-8e15-2c70d1935a46}");
    RawHost lower;
    WString lowered = path;
    for (auto& c : lowered)
        if (c >= u'A' && c <= u'Z')
            c = static_cast<WChar>(c + 32);
    EXPECT_TRUE(lower.open(lowered));
}

TEST_F(SimulatedVireoTest, DescriptorsAndStrings)
{
    attach();
    Reply d = host.descriptor(1, 0, kDeviceDescriptorSize);
    ASSERT_EQ(d.error, 0u);
    ASSERT_EQ(d.data.size(), 18u);
    EXPECT_EQ(d.data[0], 18);
    EXPECT_EQ(d.data[1], 1);
    EXPECT_EQ(wordAt(d.data, 8), kHarnwickVendorId);
    EXPECT_EQ(wordAt(d.data, 10), kVireoProductId);
    EXPECT_EQ(wordAt(d.data, 12), 0x0035);
    struct Case {
        BYTE index;
        const char16_t* text;
    };
    const Case strings[] = {{d.data[14], u"Harnwick Acoustics"}, {d.data[15], u"Vireo Interface"},
                            {d.data[16], u"VI2401A0158"}};
    for (const Case& c : strings) {
        Reply s = host.descriptor(3, c.index, kMaxStringDescriptorSize);
        ASSERT_EQ(s.error, 0u);
        WString text;
        for (size_t i = 2; i + 1 < s.data.size() && i < s.data[0]; i += 2)
            text.push_back(static_cast<WChar>(wordAt(s.data, i)));
        EXPECT_EQ(text, c.text);
        EXPECT_EQ(s.data[0], s.data.size());
    }
    EXPECT_EQ(host.descriptor(3, 9, kMaxStringDescriptorSize).error, ERROR_GEN_FAILURE);
    EXPECT_EQ(host.descriptor(2, 0, 64).error, ERROR_GEN_FAILURE);
    EXPECT_EQ(host.descriptor(1, 0, 8).data.size(), 8u);  // a short read gets the start
}

TEST_F(SimulatedVireoTest, WrongSizesGetThePlatformsErrors)
{
    attach();
    struct Case {
        DWORD code;
        size_t inSize;
        DWORD outSize;
        DWORD error;
    };
    const Case cases[] = {
        {IOCTL_HA_USB_GET_DESCRIPTOR, 7, 18, ERROR_INVALID_PARAMETER},
        {IOCTL_HA_USB_GET_DESCRIPTOR, 9, 18, ERROR_INVALID_PARAMETER},
        {IOCTL_HA_USB_GET_PACKED_VALUE, 0, 11, ERROR_INSUFFICIENT_BUFFER},
        {IOCTL_HA_USB_GET_PACKED_VALUE, 1, 12, ERROR_INVALID_PARAMETER},
        {IOCTL_HA_USB_GET_PACKED_VALUE, 0, 12, 0},
        {IOCTL_HA_DFU_GET_INFO, 0, 6, ERROR_INSUFFICIENT_BUFFER},
        {IOCTL_HA_DFU_GET_INFO, 0, 7, 0},
        {IOCTL_HA_DFU_GETSTATUS, 0, 5, ERROR_INSUFFICIENT_BUFFER},
        {IOCTL_HA_DFU_GETSTATUS, 2, 6, ERROR_INVALID_PARAMETER},
        {IOCTL_HA_DFU_GETSTATE, 0, 0, ERROR_INSUFFICIENT_BUFFER},
        {IOCTL_HA_DFU_DNLOAD, kDfuDownloadBlockSize - 1, 0, ERROR_INVALID_PARAMETER},
        {IOCTL_HA_DFU_DETACH, 4, 0, ERROR_INVALID_PARAMETER},
        {IOCTL_HA_USB_CONTROL_TRANSFER, 15, 0, ERROR_INVALID_PARAMETER},
        {IOCTL_HA_USB_RESERVED_810, 0, 0, ERROR_GEN_FAILURE},
        {0x80892ffc, 0, 0, ERROR_INVALID_FUNCTION},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        EXPECT_EQ(host.request(c.code, std::vector<BYTE>(c.inSize, 0), c.outSize).error, c.error);
    }
    EXPECT_EQ(device->mode(), eVireoMode::Runtime);
}

TEST_F(SimulatedVireoTest, RuntimeDfuInformationAndStatus)
{
    attach();
    Reply info = host.request(IOCTL_HA_DFU_GET_INFO, {}, 16);
    ASSERT_EQ(info.error, 0u);
    ASSERT_EQ(info.data.size(), 7u);
    EXPECT_EQ(info.data[0], kDfuModeRuntime);
    EXPECT_EQ(info.data[1], kDfuCanDownload | kDfuWillDetach);
    EXPECT_EQ(wordAt(info.data, 2), 25);
    EXPECT_EQ(wordAt(info.data, 4), 1024);
    Reply status = host.getStatus();
    ASSERT_EQ(status.error, 0u);
    EXPECT_EQ(status.data, (std::vector<BYTE>{0, 0, 0, 0, 0, 0}));  // appIDLE
    EXPECT_EQ(host.getState(), 0);
    // Download requests have no meaning in runtime mode.
    BYTE byte = 0;
    EXPECT_EQ(host.dnload(0, &byte, 1).error, ERROR_GEN_FAILURE);
    EXPECT_EQ(host.request(IOCTL_HA_DFU_ABORT, {}, 0).error, ERROR_GEN_FAILURE);
    EXPECT_EQ(host.request(IOCTL_HA_DFU_LEAVE, {}, 0).error, 0u);
    EXPECT_EQ(device->mode(), eVireoMode::Runtime);
}

TEST_F(SimulatedVireoTest, ControlTransfersReachDescriptorsAndDfuRequests)
{
    attach();
    auto header = [](BYTE bmRequestType, BYTE bRequest, WORD wValue, WORD wLength) {
        std::vector<BYTE> h(16, 0);
        h[0] = (bmRequestType & 0x80) ? 1 : 0;
        h[1] = (bmRequestType >> 5) & 3;
        h[5] = bmRequestType & 3;
        h[9] = bRequest;
        h[10] = static_cast<BYTE>(wValue);
        h[11] = static_cast<BYTE>(wValue >> 8);
        h[14] = static_cast<BYTE>(wLength);
        h[15] = static_cast<BYTE>(wLength >> 8);
        return h;
    };
    Reply d = host.request(IOCTL_HA_USB_CONTROL_TRANSFER, header(0x80, 6, 0x0100, 18), 18);
    ASSERT_EQ(d.error, 0u);
    EXPECT_EQ(wordAt(d.data, 10), kVireoProductId);
    Reply s = host.request(IOCTL_HA_USB_CONTROL_TRANSFER, header(0xA1, 3, 0, 6), 6);
    ASSERT_EQ(s.error, 0u);
    EXPECT_EQ(s.data.size(), 6u);
    EXPECT_EQ(host.request(IOCTL_HA_USB_CONTROL_TRANSFER, header(0x80, 6, 0x0100, 18), 17).error,
              ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(host.request(IOCTL_HA_USB_CONTROL_TRANSFER, header(0x40, 99, 0, 0), 0).error, ERROR_GEN_FAILURE);
    std::vector<BYTE> out = header(0x21, 1, 0, 4);  // host-to-device without its 4 data bytes
    EXPECT_EQ(host.request(IOCTL_HA_USB_CONTROL_TRANSFER, out, 0).error, ERROR_INVALID_PARAMETER);
    EXPECT_EQ(host.request(IOCTL_HA_USB_CONTROL_TRANSFER, header(0x21, 0, 1000, 0), 0).error, 0u);  // DETACH
    EXPECT_EQ(device->dfuState(), eDfuState::appDETACH);
}
