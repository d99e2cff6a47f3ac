// The simulated Vireo Interface alone, driven by raw driver requests: descriptors and
// strings, DFU information, the DFU road from detach to the return with the new revision,
// each fault, the journal and the persisted firmware slot.

#include <gtest/gtest.h>

#include <boost/thread/thread.hpp>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>
#include <optional>
#include <unistd.h>

#include "os/devices/DeviceConfig.h"
#include "os/devices/DeviceIo.h"
#include "os/devices/DeviceRegistry.h"
#include "os/kernel/Kernel.h"
#include "os/devices/SetupApi.h"
#include "os/sim/FirmwareImage.h"
#include "os/sim/SimulatedVireo.h"
#include "resources/firmware/FirmwareImage.h"

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

    // DETACH, close, wait 5 s as the updater does, then open the DFU-mode device.
    bool detachAndReopen()
    {
        if (host.request(IOCTL_HA_DFU_DETACH, {}, 0).error != 0)
            return false;
        host.close();
        Clock::sleep(5000);
        return device->mode() == eVireoMode::Dfu && host.open(device->path());
    }

    // Blocks of transferSize with status polling, then the closing zero-length block
    // numbered with the count of full blocks. The status of the failing step, 0 on success.
    int download(const std::vector<BYTE>& image, WORD transferSize)
    {
        size_t full = image.size() / transferSize;
        size_t blocks = full + (image.size() % transferSize ? 1 : 0);
        for (size_t b = 0; b < blocks; ++b) {
            size_t length = std::min<size_t>(transferSize, image.size() - b * transferSize);
            Reply r = host.dnload(static_cast<WORD>(b), image.data() + b * transferSize, static_cast<WORD>(length));
            if (r.error)
                return -1;
            for (;;) {
                Reply s = host.getStatus();
                if (s.error || s.data[0] != 0)
                    return s.error ? -2 : s.data[0];
                if (s.data[4] == 5)
                    break;
                if (s.data[4] != 4)
                    return -3;
                Clock::sleep(std::min<DWORD>(s.data[1] | (s.data[2] << 8) | (s.data[3] << 16), 1000));
            }
        }
        return host.dnload(static_cast<WORD>(full), nullptr, 0).error ? -4 : 0;
    }

    // The manifestation wait: tolerant devices are polled each second, the others are
    // looked for in runtime mode every 10 s. True when it ends with dfuIDLE or the device
    // back in runtime mode.
    bool manifest(bool tolerant)
    {
        int state = host.getState();
        for (int step = 0; step < 10; ++step) {
            if (state == 2 || state == 8)
                return true;
            if (state == 6) {
                Reply s = host.getStatus();
                if (s.error == 0 && s.data[0] != 0)
                    return false;
                state = 7;
            } else if (state == 7) {
                Clock::sleep(tolerant ? 1000 : 10000);
                if (tolerant) {
                    state = host.getState();
                } else if (device->mode() == eVireoMode::Runtime) {
                    host.open(device->path());
                    state = 8;
                }
            } else {
                return false;
            }
        }
        return false;
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

TEST_F(SimulatedVireoTest, FullDfuRoadReturnsWithTheNewRevision)
{
    struct Case {
        WORD transferSize;
        bool tolerant;
        size_t blocks;  // data blocks
        WORD closing;   // number of the zero-length block
    };
    const Case cases[] = {
        {1024, false, 256, 256},
        {1024, true, 256, 256},
        {1000, false, 263, 262},
        {1000, true, 263, 262},
    };
    // The image the updater embeds.
    const std::vector<BYTE> image(HA::Firmware::imageData(), HA::Firmware::imageData() + HA::Firmware::imageSize());
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.transferSize) + (c.tolerant ? " tolerant" : ""));
        Clock::useManual(0);
        VireoSettings settings;
        settings.transferSize = c.transferSize;
        if (c.tolerant)
            settings.bmAttributes |= kDfuManifestationTolerant;
        attach(settings);
        WString runtimePath = device->path();
        ASSERT_TRUE(detachAndReopen());
        WString dfuPath = device->path();
        EXPECT_NE(dfuPath, runtimePath);
        EXPECT_NE(utf8(dfuPath).find("&PID_0E32&"), std::string::npos);
        EXPECT_NE(utf8(dfuPath).find("#VI2401A0158#"), std::string::npos);
        Reply info = host.request(IOCTL_HA_DFU_GET_INFO, {}, 7);
        EXPECT_EQ(info.data[0], kDfuModeDfu);
        EXPECT_EQ(wordAt(info.data, 4), c.transferSize);
        EXPECT_EQ(host.getState(), 2);

        device->clearJournal();
        ASSERT_EQ(download(image, c.transferSize), 0);
        std::vector<JournalEntry> blocks;
        for (const JournalEntry& e : device->journal())
            if (e.code == IOCTL_HA_DFU_DNLOAD)
                blocks.push_back(e);
        ASSERT_EQ(blocks.size(), c.blocks + 1);
        for (size_t b = 0; b < c.blocks; ++b)
            EXPECT_EQ(*blocks[b].blockNumber, b);
        EXPECT_EQ(blocks[c.blocks - 1].length, 262144 % c.transferSize ? 262144 % c.transferSize : c.transferSize);
        EXPECT_EQ(*blocks.back().blockNumber, c.closing);
        EXPECT_EQ(blocks.back().length, 0u);
        EXPECT_FALSE(device->isFlashValid());  // erased while the download runs

        ASSERT_TRUE(manifest(c.tolerant));
        if (c.tolerant) {
            EXPECT_EQ(device->dfuState(), eDfuState::dfuIDLE);
            EXPECT_EQ(host.request(IOCTL_HA_DFU_LEAVE, {}, 0).error, 0u);
            Clock::sleep(5000);
            EXPECT_EQ(host.getStatus().error, ERROR_DEVICE_NOT_CONNECTED);  // the old handle
        }
        EXPECT_EQ(device->mode(), eVireoMode::Runtime);
        EXPECT_EQ(device->firmwareRevision(), 0x0036);
        EXPECT_NE(utf8(device->path()).find("&PID_0E30&REV_0036#VI2401A0158#"), std::string::npos);
        ASSERT_TRUE(host.open(device->path()));
        EXPECT_EQ(wordAt(host.descriptor(1, 0, 18).data, 12), 0x0036);
        host.close();
        device.reset();
    }
}

TEST(EmbeddedFirmware, IsAWholeValidImageOfRevision036ForTheVireo)
{
    ASSERT_EQ(HA::Firmware::imageSize(), kFirmwareImageSize);
    FirmwareHeader header;
    ASSERT_TRUE(verifyFirmwareImage(HA::Firmware::imageData(), HA::Firmware::imageSize(), kHarnwickVendorId,
                                    kVireoProductId, &header));
    EXPECT_EQ(header.revision, 0x0036);
    EXPECT_EQ(header.payloadLength, kFirmwarePayloadSize);
    // Each payload byte depends on its position: a block moved by its own length changes it.
    const BYTE* payload = HA::Firmware::imageData() + kFirmwareHeaderSize;
    for (DWORD shift : {1000u, 1024u}) {
        int same = 0;
        for (DWORD i = 0; i < shift; ++i)
            same += payload[i] == payload[i + shift];
        EXPECT_LT(same, 16) << shift;
    }
    EXPECT_EQ(HA::Firmware::imageData()[kFirmwareImageSize - 1], kFirmwarePadding);
}

TEST_F(SimulatedVireoTest, DetachLeavesAndReturnsOnTheClock)
{
    attach();
    WString runtimePath = device->path();
    EXPECT_EQ(host.request(IOCTL_HA_DFU_DETACH, {}, 0).error, 0u);
    EXPECT_EQ(host.getState(), 1);  // appDETACH until the reset
    EXPECT_EQ(host.request(IOCTL_HA_DFU_DETACH, {}, 0).error, ERROR_GEN_FAILURE);
    Clock::sleep(5000);
    EXPECT_EQ(host.getState(), -1);
    EXPECT_EQ(host.getStatus().error, ERROR_DEVICE_NOT_CONNECTED);
    std::vector<BusEvent> events = device->busEvents();
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[1].kind, BusEvent::eKind::Removed);
    EXPECT_EQ(events[1].path, runtimePath);
    EXPECT_EQ(events[1].time, 100);
    EXPECT_EQ(events[2].kind, BusEvent::eKind::Arrived);
    EXPECT_EQ(events[2].mode, eVireoMode::Dfu);
    EXPECT_EQ(events[2].time, 1600);
}

TEST_F(SimulatedVireoTest, DfuStateMachineChecksBlocksAndStates)
{
    attach();
    ASSERT_TRUE(detachAndReopen());
    std::vector<BYTE> data(2048, 0x5A);
    struct Step {
        const char* what;
        int block;  // -1: DFU_ABORT
        WORD length;
        DWORD error;
        int stateAfter;
    };
    const Step steps[] = {
        {"zero-length first block stalls", 0, 0, ERROR_GEN_FAILURE, 10},
        {"abort does not clear dfuERROR", -1, 0, ERROR_GEN_FAILURE, 10},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.what);
        Reply r = s.block == -1 ? host.request(IOCTL_HA_DFU_ABORT, {}, 0)
                                : host.dnload(static_cast<WORD>(s.block), data.data(), s.length);
        EXPECT_EQ(r.error, s.error);
        EXPECT_EQ(host.getState(), s.stateAfter);
    }
    Reply status = host.getStatus();
    EXPECT_EQ(status.data[0], static_cast<BYTE>(eDfuStatus::errSTALLEDPKT));

    // Leave and come back: dfuIDLE again, still in DFU mode (nothing was written).
    EXPECT_EQ(host.request(IOCTL_HA_DFU_LEAVE, {}, 0).error, 0u);
    Clock::sleep(5000);
    EXPECT_EQ(device->mode(), eVireoMode::Runtime);  // the old firmware is still whole
    ASSERT_TRUE(host.open(device->path()));
    ASSERT_TRUE(detachAndReopen());

    struct Case {
        const char* what;
        WORD block;
        WORD length;
        BYTE status;  // after the failing request
    };
    const Case cases[] = {
        {"first block not 0", 1, 16, static_cast<BYTE>(eDfuStatus::errADDRESS)},
        {"longer than wTransferSize", 0, 1025, static_cast<BYTE>(eDfuStatus::errSTALLEDPKT)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(host.dnload(c.block, data.data(), c.length).error, ERROR_GEN_FAILURE);
        Reply st = host.getStatus();
        EXPECT_EQ(st.data[0], c.status);
        EXPECT_EQ(st.data[4], 10);
        // Clear the error with DFU_CLRSTATUS through a control transfer.
        std::vector<BYTE> h(16, 0);
        h[1] = 1;
        h[5] = 1;
        h[9] = 4;
        EXPECT_EQ(host.request(IOCTL_HA_USB_CONTROL_TRANSFER, h, 0).error, 0u);
        EXPECT_EQ(host.getState(), 2);
    }
    // Blocks in order, then one repeated.
    EXPECT_EQ(host.dnload(0, data.data(), 1024).error, 0u);
    EXPECT_EQ(host.getStatus().data[4], 4);  // one busy round
    Clock::sleep(10);
    EXPECT_EQ(host.getStatus().data[4], 5);
    EXPECT_EQ(host.dnload(0, data.data(), 1024).error, ERROR_GEN_FAILURE);
    EXPECT_EQ(host.getStatus().data[0], static_cast<BYTE>(eDfuStatus::errADDRESS));
}

// A transfer ended before its closing block and started again: the firmware slot gets the
// new transfer's blocks alone, however the first one ended.
TEST(DfuStateMachineAlone, ARestartedTransferHoldsOnlyItsOwnBlocks)
{
    using eResult = DfuStateMachine::eResult;
    enum class eEnd { Abort, ClearedError };
    struct Case {
        const char* name;
        eEnd end;
    };
    const Case cases[] = {
        {"block 0, ABORT, block 0 again", eEnd::Abort},
        {"block 0, a block out of order, CLRSTATUS, block 0 again", eEnd::ClearedError},
    };
    const std::vector<BYTE> first(16, 0x11), second(8, 0x22);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DfuStateMachine dfu({}, {});
        DfuStatusReply reply;
        ASSERT_EQ(dfu.dnload(0, first.data(), static_cast<WORD>(first.size()), 0), eResult::Ack);
        ASSERT_EQ(dfu.getStatus(0, reply), eResult::Ack);
        ASSERT_EQ(reply.bState, eDfuState::dfuDNBUSY);
        ASSERT_EQ(dfu.getStatus(reply.bwPollTimeout, reply), eResult::Ack);
        ASSERT_EQ(reply.bState, eDfuState::dfuDNLOAD_IDLE);
        ASSERT_EQ(dfu.received(), first);
        if (c.end == eEnd::Abort) {
            ASSERT_EQ(dfu.abort(), eResult::Ack);
        } else {
            ASSERT_EQ(dfu.dnload(5, second.data(), static_cast<WORD>(second.size()), 20), eResult::Stall);
            ASSERT_EQ(dfu.state(), eDfuState::dfuERROR);
            ASSERT_EQ(dfu.clearStatus(), eResult::Ack);
        }
        ASSERT_EQ(dfu.state(), eDfuState::dfuIDLE);
        ASSERT_EQ(dfu.dnload(0, second.data(), static_cast<WORD>(second.size()), 30), eResult::Ack);
        EXPECT_EQ(dfu.received(), second);
    }
}

TEST_F(SimulatedVireoTest, PollingBeforeThePollTimeOutIsToldToWaitOn)
{
    VireoSettings settings;
    settings.pollTimeoutMs = 5000;
    settings.busyRounds = 2;
    attach(settings);
    ASSERT_TRUE(detachAndReopen());
    BYTE data[16] = {};
    ASSERT_EQ(host.dnload(0, data, 16).error, 0u);
    struct Poll {
        DWORD sleepBefore;
        BYTE state;
        DWORD pollTimeout;
    };
    const Poll polls[] = {{0, 4, 5000}, {1000, 4, 4000}, {4000, 4, 5000}, {5000, 5, 0}};
    for (const Poll& p : polls) {
        Clock::sleep(p.sleepBefore);
        Reply s = host.getStatus();
        EXPECT_EQ(s.data[4], p.state);
        EXPECT_EQ(static_cast<DWORD>(s.data[1] | (s.data[2] << 8) | (s.data[3] << 16)), p.pollTimeout);
    }
}

// A device that follows DFU 1.1 to the letter refuses what the standard does not allow,
// where the maker's device answers on.
TEST_F(SimulatedVireoTest, AStrictDeviceStallsWhatTheStandardForbids)
{
    const std::vector<BYTE> image(HA::Firmware::imageData(), HA::Firmware::imageData() + HA::Firmware::imageSize());
    enum class eAsk { StatusWhileBusyTooEarly, StateDuringManifestation, StateOnceManifested, StatusAfterReset };
    struct Case {
        const char* name;
        bool tolerant;
        eAsk ask;
        DWORD error;        // of the request asked
        int stateAfter;     // DFU_GETSTATE afterwards (-1: refused too)
        BYTE statusAfter;   // bStatus of DFU_GETSTATUS afterwards, when one is answered
    };
    const Case cases[] = {
        {"status while busy, before bwPollTimeout has passed", false, eAsk::StatusWhileBusyTooEarly, ERROR_GEN_FAILURE,
         10, 0x0F},
        {"state during dfuMANIFEST", true, eAsk::StateDuringManifestation, ERROR_GEN_FAILURE, 10, 0x0F},
        {"state once the manifestation it announced is over", true, eAsk::StateOnceManifested, 0, 6, 0},
        {"not tolerant: dfuMANIFEST-WAIT-RESET refuses everything until a reset", false, eAsk::StatusAfterReset,
         ERROR_GEN_FAILURE, -1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Clock::useManual(0);
        VireoSettings settings;
        settings.strictDfu = true;
        if (c.ask == eAsk::StatusWhileBusyTooEarly)
            settings.pollTimeoutMs = 5000;
        settings.manifestationMs = 2500;
        if (c.tolerant)
            settings.bmAttributes |= kDfuManifestationTolerant;
        attach(settings);
        ASSERT_TRUE(detachAndReopen());
        Reply asked;
        if (c.ask == eAsk::StatusWhileBusyTooEarly) {
            ASSERT_EQ(host.dnload(0, image.data(), 1024).error, 0u);
            Reply busy = host.getStatus();
            ASSERT_EQ(busy.data[4], 4);
            Clock::sleep(1000);
            asked = host.getStatus();
        } else {
            ASSERT_EQ(download(image, 1024), 0);
            ASSERT_EQ(host.getState(), 6);
            Reply sync = host.getStatus();
            ASSERT_EQ(sync.data[4], 7);
            // The whole manifestation is announced.
            EXPECT_EQ(static_cast<DWORD>(sync.data[1] | (sync.data[2] << 8) | (sync.data[3] << 16)), 2500u);
            if (c.ask == eAsk::StateDuringManifestation) {
                Clock::sleep(1000);
                asked = host.request(IOCTL_HA_DFU_GETSTATE, {}, 1);
            } else if (c.ask == eAsk::StateOnceManifested) {
                Clock::sleep(2500);
                asked = host.request(IOCTL_HA_DFU_GETSTATE, {}, 1);
            } else {
                Clock::sleep(10000);
                EXPECT_EQ(device->mode(), eVireoMode::Dfu);
                EXPECT_EQ(device->dfuState(), eDfuState::dfuMANIFEST_WAIT_RESET);
                asked = host.getStatus();
            }
        }
        EXPECT_EQ(asked.error, c.error);
        EXPECT_EQ(host.getState(), c.stateAfter);
        if (c.stateAfter >= 0) {
            Reply status = host.getStatus();
            ASSERT_EQ(status.error, 0u);
            EXPECT_EQ(status.data[0], c.statusAfter);
        }
        if (c.ask == eAsk::StatusAfterReset) {
            EXPECT_EQ(device->dfuState(), eDfuState::dfuMANIFEST_WAIT_RESET);
            // The driver resets it when asked to leave DFU mode.
            EXPECT_EQ(host.request(IOCTL_HA_DFU_LEAVE, {}, 0).error, 0u);
            Clock::sleep(2000);
            EXPECT_EQ(device->mode(), eVireoMode::Runtime);
            EXPECT_EQ(device->firmwareRevision(), 0x0036);
        }
        host.close();
        device.reset();
    }
}

TEST_F(SimulatedVireoTest, TheDfuModeRevisionIsReportedOnlyInDfuMode)
{
    struct Case {
        const char* name;
        bool flashValid;
        std::optional<WORD> dfuModeRevision;
        WORD runtime;  // bcdDevice in runtime mode (0: never there)
        WORD dfu;      // bcdDevice in DFU mode
    };
    const Case cases[] = {
        {"slot valid, no own number: the slot's revision", true, std::nullopt, 0x0035, 0x0035},
        {"slot erased, no own number: 0", false, std::nullopt, 0, 0},
        {"slot valid, the boot loader's own number", true, WORD(0x0100), 0x0035, 0x0100},
        {"slot erased, the boot loader's own number", false, WORD(0x0100), 0, 0x0100},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        VireoSettings settings;
        settings.flashValid = c.flashValid;
        settings.dfuModeRevision = c.dfuModeRevision;
        attach(settings);
        if (c.runtime != 0) {
            EXPECT_EQ(wordAt(host.descriptor(1, 0, 18).data, 12), c.runtime);
            ASSERT_TRUE(detachAndReopen());
        }
        ASSERT_EQ(device->mode(), eVireoMode::Dfu);
        EXPECT_EQ(wordAt(host.descriptor(1, 0, 18).data, 12), c.dfu);
        host.close();
        device.reset();
        removeAllDeviceInterfaces();
    }
}

TEST_F(SimulatedVireoTest, AnImageThatIsNotWholeOrValidLeavesTheDeviceInDfuMode)
{
    struct Case {
        const char* what;
        std::vector<BYTE> image;
    };
    std::vector<BYTE> good = buildFirmwareImage(kHarnwickVendorId, kVireoProductId, 0x0036);
    std::vector<BYTE> corrupt = good;
    corrupt[100000] ^= 1;
    std::vector<BYTE> shortImage(good.begin(), good.end() - 1024);
    std::vector<BYTE> otherProduct = buildFirmwareImage(kHarnwickVendorId, 0x0E40, 0x0036);
    const Case cases[] = {{"corrupt", corrupt}, {"short", shortImage}, {"other product", otherProduct}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Clock::useManual(0);
        VireoSettings settings;
        settings.bmAttributes |= kDfuManifestationTolerant;
        attach(settings);
        ASSERT_TRUE(detachAndReopen());
        ASSERT_EQ(download(c.image, 1024), 0);
        EXPECT_FALSE(manifest(true));
        Reply s = host.getStatus();
        EXPECT_EQ(s.data[0], static_cast<BYTE>(eDfuStatus::errVERIFY));
        EXPECT_EQ(s.data[4], 10);
        host.request(IOCTL_HA_DFU_LEAVE, {}, 0);
        Clock::sleep(5000);
        EXPECT_EQ(device->mode(), eVireoMode::Dfu);
        EXPECT_FALSE(device->isFlashValid());
        EXPECT_NE(utf8(device->path()).find("&PID_0E32&REV_0000#"), std::string::npos);
        host.close();
        device.reset();
    }
}

TEST_F(SimulatedVireoTest, DownloadFaults)
{
    const std::vector<BYTE> image = buildFirmwareImage(kHarnwickVendorId, kVireoProductId, 0x0036);
    struct Case {
        const char* what;
        VireoFaults faults;
        int result;       // of download(): -1 failed DNLOAD, -2 failed GETSTATUS, else bStatus
        BYTE state;       // bState afterwards (GETSTATE)
        size_t dnloads;   // DNLOAD requests seen
    };
    auto faults = [](auto set) {
        VireoFaults f;
        set(f);
        return f;
    };
    const Case cases[] = {
        {"stall on block 5", faults([](VireoFaults& f) { f.stallBlock = 5; }), -1, 10, 6},
        {"error status on block 3",
         faults([](VireoFaults& f) {
             f.errorBlock = 3;
             f.errorStatus = eDfuStatus::errPROG;
         }),
         static_cast<int>(eDfuStatus::errPROG), 10, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Clock::useManual(0);
        attach({}, c.faults);
        ASSERT_TRUE(detachAndReopen());
        device->clearJournal();
        EXPECT_EQ(download(image, 1024), c.result);
        EXPECT_EQ(host.getState(), c.state);
        size_t dnloads = 0;
        for (const JournalEntry& e : device->journal())
            dnloads += e.code == IOCTL_HA_DFU_DNLOAD;
        EXPECT_EQ(dnloads, c.dnloads);
        host.close();
        device.reset();
    }
}

TEST_F(SimulatedVireoTest, BusyForeverNeverLetsABlockEnd)
{
    VireoFaults f;
    f.busyForeverBlock = 2;
    attach({}, f);
    ASSERT_TRUE(detachAndReopen());
    BYTE data[8] = {};
    for (WORD b = 0; b < 2; ++b) {
        host.dnload(b, data, 8);
        host.getStatus();
        Clock::sleep(10);
        EXPECT_EQ(host.getStatus().data[4], 5);
    }
    host.dnload(2, data, 8);
    for (int round = 0; round < 50; ++round) {
        Clock::sleep(10);
        EXPECT_EQ(host.getStatus().data[4], 4);
    }
}

TEST_F(SimulatedVireoTest, TimedOutRequestsCompleteLateOrOnlyByTheCancel)
{
    struct Case {
        std::optional<DWORD> lateMs;
        size_t bytesAfterCancel;  // written into the caller's buffer after the cancel
        TimeMs doneAt;
    };
    const Case cases[] = {{800, 6, 800}, {std::nullopt, 0, 500}};
    for (const Case& c : cases) {
        Clock::useManual(0);
        VireoFaults f;
        f.timeouts.push_back({IOCTL_HA_DFU_GETSTATUS, 2, c.lateMs});
        attach({}, f);
        EXPECT_EQ(host.getStatus().error, 0u);
        Reply second = host.getStatus();
        EXPECT_EQ(second.error, WAIT_TIMEOUT);
        EXPECT_EQ(second.data.size(), c.bytesAfterCancel);
        EXPECT_EQ(Clock::now(), c.doneAt);
        EXPECT_EQ(host.getStatus().error, 0u);  // the third is answered again
        host.close();
        device.reset();
    }
    // Requests sent without an OVERLAPPED record are never held.
    VireoFaults f;
    f.timeouts.push_back({IOCTL_HA_USB_GET_DESCRIPTOR, 1, std::nullopt});
    attach({}, f);
    HANDLE h = createDeviceFile(device->path(), GENERIC_READ | GENERIC_WRITE, 0, OPEN_EXISTING, FILE_FLAG_OVERLAPPED);
    BYTE in[8] = {0, 0, 0, 0, 1, 0, 0, 0};
    BYTE out[18] = {};
    DWORD bytes = 0;
    EXPECT_TRUE(deviceIoControl(h, IOCTL_HA_USB_GET_DESCRIPTOR, in, 8, out, 18, &bytes, nullptr));
    EXPECT_EQ(bytes, 18u);
    closeHandle(h);
}

TEST_F(SimulatedVireoTest, VanishingAtABlockTakesTheDeviceOffTheBus)
{
    VireoFaults f;
    f.vanishBlock = 2;
    attach({}, f);
    ASSERT_TRUE(detachAndReopen());
    const std::vector<BYTE> image = buildFirmwareImage(kHarnwickVendorId, kVireoProductId, 0x0036);
    EXPECT_EQ(download(image, 1024), -1);
    EXPECT_EQ(device->mode(), eVireoMode::Absent);
    EXPECT_TRUE(presentPaths().empty());
    EXPECT_EQ(host.getStatus().error, ERROR_DEVICE_NOT_CONNECTED);
    Clock::sleep(60000);
    EXPECT_TRUE(presentPaths().empty());
    // Plugged in again it has no firmware to run and stays in DFU mode.
    device->plugIn();
    EXPECT_EQ(device->mode(), eVireoMode::Dfu);
}

TEST_F(SimulatedVireoTest, ReturnFaults)
{
    const std::vector<BYTE> image = buildFirmwareImage(kHarnwickVendorId, kVireoProductId, 0x0036);
    enum class eStage { Detach, Manifestation, Leave };
    struct Case {
        const char* what;
        eStage stage;
        VireoFaults faults;
        bool tolerant;
        eVireoMode after5s;    // 5 s after the reset began
        eVireoMode after20s;
        WORD revision;
        const char* serialInPath;
    };
    auto faults = [](auto set) {
        VireoFaults f;
        set(f);
        return f;
    };
    const Case cases[] = {
        {"no return after detach", eStage::Detach, faults([](VireoFaults& f) { f.noReturnAfterDetach = true; }),
         false, eVireoMode::Absent, eVireoMode::Absent, 0x35, ""},
        {"late return", eStage::Detach, faults([](VireoFaults& f) { f.lateReturnMs = 6000; }), false,
         eVireoMode::Absent, eVireoMode::Dfu, 0x35, "#VI2401A0158#"},
        {"wrong serial", eStage::Detach, faults([](VireoFaults& f) { f.wrongSerialAfterDetach = true; }), false,
         eVireoMode::Dfu, eVireoMode::Dfu, 0x35, "#VI2401A0158X#"},
        {"no return after manifestation", eStage::Manifestation,
         faults([](VireoFaults& f) { f.noReturnAfterManifestation = true; }), false, eVireoMode::Absent,
         eVireoMode::Absent, 0x36, ""},
        {"no return after leave", eStage::Leave, faults([](VireoFaults& f) { f.noReturnAfterLeave = true; }), true,
         eVireoMode::Absent, eVireoMode::Absent, 0x36, ""},
        {"wrong revision", eStage::Manifestation, faults([](VireoFaults& f) { f.revisionAfterUpdate = 0x0035; }),
         false, eVireoMode::Runtime, eVireoMode::Runtime, 0x35, "&REV_0035#VI2401A0158#"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Clock::useManual(0);
        VireoSettings settings;
        if (c.tolerant)
            settings.bmAttributes |= kDfuManifestationTolerant;
        attach(settings, c.faults);
        if (c.stage == eStage::Detach) {
            host.request(IOCTL_HA_DFU_DETACH, {}, 0);
        } else {
            ASSERT_TRUE(detachAndReopen());
            ASSERT_EQ(download(image, 1024), 0);
            host.getState();
            host.getStatus();  // starts the manifestation
            if (c.stage == eStage::Leave) {
                Clock::sleep(2000);
                host.getState();
                host.getStatus();
                EXPECT_EQ(host.getState(), 2);
                host.request(IOCTL_HA_DFU_LEAVE, {}, 0);
            } else {
                Clock::sleep(1500);  // the manifestation itself
            }
        }
        Clock::sleep(5000);
        EXPECT_EQ(device->mode(), c.after5s);
        Clock::sleep(15000);
        EXPECT_EQ(device->mode(), c.after20s);
        EXPECT_EQ(device->firmwareRevision(), c.revision);
        if (*c.serialInPath) {
            EXPECT_NE(utf8(device->path()).find(c.serialInPath), std::string::npos) << utf8(device->path());
        }
        host.close();
        device.reset();
    }
}

TEST_F(SimulatedVireoTest, IdentityFaults)
{
    struct Case {
        const char* what;
        VireoFaults faults;
        DWORD descriptorError;
        size_t descriptorSize;
        DWORD stringError;
        DWORD infoError;
        size_t infoSize;
        WORD transferSize;
    };
    auto faults = [](auto set) {
        VireoFaults f;
        set(f);
        return f;
    };
    const Case cases[] = {
        {"none", {}, 0, 18, 0, 0, 7, 1024},
        {"short descriptor", faults([](VireoFaults& f) { f.deviceDescriptor = eInfoReply::Short; }), 0, 17, 0, 0, 7,
         1024},
        {"failing descriptor", faults([](VireoFaults& f) { f.deviceDescriptor = eInfoReply::None; }),
         ERROR_GEN_FAILURE, 0, 0, 0, 7, 1024},
        {"failing strings", faults([](VireoFaults& f) { f.failStrings = true; }), 0, 18, ERROR_GEN_FAILURE, 0, 7,
         1024},
        {"no DFU information", faults([](VireoFaults& f) { f.dfuInfo = eInfoReply::None; }), 0, 18, 0,
         ERROR_INVALID_FUNCTION, 0, 0},
        {"short DFU information", faults([](VireoFaults& f) { f.dfuInfo = eInfoReply::Short; }), 0, 18, 0, 0, 6,
         1024},
        {"transfer size 8192", faults([](VireoFaults& f) { f.transferSize = 8192; }), 0, 18, 0, 0, 7, 8192},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        attach({}, c.faults);
        Reply d = host.descriptor(1, 0, 18);
        EXPECT_EQ(d.error, c.descriptorError);
        EXPECT_EQ(d.data.size(), c.descriptorSize);
        EXPECT_EQ(host.descriptor(3, 3, kMaxStringDescriptorSize).error, c.stringError);
        Reply info = host.request(IOCTL_HA_DFU_GET_INFO, {}, 7);
        EXPECT_EQ(info.error, c.infoError);
        EXPECT_EQ(info.data.size(), c.infoSize);
        if (info.data.size() >= 6) {
            EXPECT_EQ(wordAt(info.data, 4), c.transferSize);
        }
        host.close();
        device.reset();
    }
}

TEST_F(SimulatedVireoTest, TransferSizeOverrideIsAlsoWhatTheDeviceAccepts)
{
    VireoFaults f;
    f.transferSize = 2048;
    attach({}, f);
    ASSERT_TRUE(detachAndReopen());
    std::vector<BYTE> data(4096, 1);
    EXPECT_EQ(host.dnload(0, data.data(), 2048).error, 0u);
    host.getStatus();
    Clock::sleep(10);
    EXPECT_EQ(host.getStatus().data[4], 5);
    EXPECT_EQ(host.dnload(1, data.data(), 2049).error, ERROR_GEN_FAILURE);
}

TEST_F(SimulatedVireoTest, OpenRefusedAndASecondDevice)
{
    VireoFaults refused;
    refused.openError = ERROR_ACCESS_DENIED;
    device = SimulatedVireo::makeShared({}, refused);
    device->plugIn();
    EXPECT_FALSE(host.open(device->path()));
    EXPECT_EQ(host.openError(), ERROR_ACCESS_DENIED);

    VireoSettings other;
    other.serialNumber = u"VI2401A0999";
    auto second = SimulatedVireo::makeShared(other);
    second->plugIn();
    std::vector<WString> paths = presentPaths();
    ASSERT_EQ(paths.size(), 2u);
    EXPECT_NE(utf8(paths[1]).find("#VI2401A0999#"), std::string::npos);
    ASSERT_TRUE(host.open(paths[1]));
    EXPECT_EQ(host.request(IOCTL_HA_DFU_DETACH, {}, 0).error, 0u);
    Clock::sleep(5000);
    EXPECT_EQ(second->mode(), eVireoMode::Dfu);
    EXPECT_EQ(device->mode(), eVireoMode::Runtime);
}

// Tests that start a second thread also run under the thread sanitizer.
using SimulatedVireoThreaded = SimulatedVireoTest;

TEST_F(SimulatedVireoThreaded, GateHoldsABlockOnItsSendersThreadUntilReleased)
{
    VireoFaults f;
    f.gateBlock = 3;
    attach({}, f);
    ASSERT_TRUE(detachAndReopen());
    const std::vector<BYTE> image = buildFirmwareImage(kHarnwickVendorId, kVireoProductId, 0x0036);
    int result = 99;
    boost::thread worker([&] { result = download(image, 1024); });
    device->waitForGate();
    std::vector<JournalEntry> journal = device->journal();
    ASSERT_FALSE(journal.empty());
    EXPECT_EQ(*journal.back().blockNumber, 3);
    EXPECT_NE(journal.back().threadId, currentThreadId());
    EXPECT_EQ(device->dfuState(), eDfuState::dfuDNLOAD_IDLE);  // block 2 done, block 3 held
    device->releaseGate();
    worker.join();
    EXPECT_EQ(result, 0);
}

TEST_F(SimulatedVireoTest, JournalRecordsCodeBlockLengthThreadAndTime)
{
    attach();
    ASSERT_TRUE(detachAndReopen());
    device->clearJournal();
    BYTE data[100] = {};
    Clock::sleep(250);
    host.dnload(0, data, 100);
    host.getStatus();
    std::vector<JournalEntry> journal = device->journal();
    ASSERT_EQ(journal.size(), 2u);
    EXPECT_EQ(journal[0].code, IOCTL_HA_DFU_DNLOAD);
    EXPECT_EQ(*journal[0].blockNumber, 0);
    EXPECT_EQ(journal[0].length, 100u);
    EXPECT_EQ(journal[0].threadId, currentThreadId());
    EXPECT_EQ(journal[0].time, 5250);
    EXPECT_EQ(journal[0].mode, eVireoMode::Dfu);
    EXPECT_EQ(journal[1].code, IOCTL_HA_DFU_GETSTATUS);
    EXPECT_FALSE(journal[1].blockNumber);
    EXPECT_EQ(journal[1].length, 6u);
}

TEST_F(SimulatedVireoTest, FirmwareSlotPersistsInItsStateFile)
{
    std::string file = ::testing::TempDir() + "vireo-state-test.txt";
    std::remove(file.c_str());
    VireoSettings settings;
    settings.stateFile = file;
    attach(settings);
    EXPECT_EQ(device->firmwareRevision(), 0x0035);
    ASSERT_TRUE(detachAndReopen());
    ASSERT_EQ(download(buildFirmwareImage(kHarnwickVendorId, kVireoProductId, 0x0036), 1024), 0);
    ASSERT_TRUE(manifest(false));
    host.close();
    device.reset();

    auto again = SimulatedVireo::makeShared(settings);
    EXPECT_EQ(again->firmwareRevision(), 0x0036);
    // The new state replaces the file whole: the old one, still seen through a second name,
    // is never emptied or written over, and nothing is left beside it.
    const std::string previous = file + "-previous";
    std::remove(previous.c_str());
    ASSERT_EQ(::link(file.c_str(), previous.c_str()), 0);
    again->setFirmwareSlot(true, 0x0037);
    auto contents = [](const std::string& name) {
        std::ifstream in(name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    EXPECT_EQ(contents(previous), "flash-valid=1\nrevision=54\n");
    EXPECT_EQ(contents(file), "flash-valid=1\nrevision=55\n");
    for (const auto& entry : std::filesystem::directory_iterator(::testing::TempDir())) {
        const std::string name = entry.path().string();
        EXPECT_FALSE(name.rfind(file + ".", 0) == 0) << name;
    }
    std::remove(previous.c_str());
    again.reset();

    // A damaged file leaves the defaults and is reported; an interrupted download is
    // remembered as erased.
    struct Row {
        const char* text;
        eVireoMode mode;
        WORD revision;
        bool damaged;
    };
    const Row rows[] = {
        {"flash-valid=x\nrevision=54\n", eVireoMode::Runtime, 0x0035, true},
        {"revision=54\n", eVireoMode::Runtime, 0x0035, true},
        {"flash-valid=1\nrevision=99999\n", eVireoMode::Runtime, 0x0035, true},
        {"\x01\xff garbage", eVireoMode::Runtime, 0x0035, true},
        {"flash-valid=0\nrevision=53\n", eVireoMode::Dfu, 0x0035, false},
        {"flash-valid=1\nrevision=54\n", eVireoMode::Runtime, 0x0036, false},
    };
    for (const Row& row : rows) {
        std::ofstream(file, std::ios::trunc) << row.text;
        auto d = SimulatedVireo::makeShared(settings);
        d->plugIn();
        EXPECT_EQ(d->mode(), row.mode) << row.text;
        EXPECT_EQ(d->firmwareRevision(), row.revision) << row.text;
        EXPECT_EQ(d->stateFileDamaged(), row.damaged) << row.text;
    }
    std::remove(file.c_str());
}

TEST_F(SimulatedVireoThreaded, AWorkerDownloadsWhileTheUserInterfaceThreadWaitsOnTheClock)
{
    attach();
    ASSERT_TRUE(detachAndReopen());
    const std::vector<BYTE> image(HA::Firmware::imageData(), HA::Firmware::imageData() + HA::Firmware::imageSize());
    std::atomic<int> result{0};
    DWORD workerThread = 0;
    std::atomic<int> ticks{0};
    boost::thread worker([&] {
        workerThread = currentThreadId();
        // Started with the timer, not before it: a worker that ran ahead on the clock could
        // finish before the first tick.
        while (ticks.load() == 0)
            std::this_thread::yield();
        bool ok = download(image, 1024) == 0 && manifest(false);
        result.store(ok ? 1 : -2, std::memory_order_release);
    });
    // The wizard's timer: 40 ms ticks on the clock until the worker has stored its result.
    while (result.load(std::memory_order_acquire) == 0) {
        Clock::sleep(40);
        ++ticks;
    }
    worker.join();
    EXPECT_EQ(result.load(), 1);
    EXPECT_GT(ticks, 0);
    EXPECT_EQ(device->mode(), eVireoMode::Runtime);
    EXPECT_EQ(device->firmwareRevision(), 0x0036);
    for (const JournalEntry& e : device->journal()) {
        if (e.code == IOCTL_HA_DFU_DNLOAD) {
            EXPECT_EQ(e.threadId, workerThread);
        }
    }
}
