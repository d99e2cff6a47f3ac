// Writes the firmware image the updater embeds: revision 0.3.6 for the Vireo Interface,
// in the boot loader's format (os/sim/FirmwareImage.h).
//   ha_make_firmware <output file>

#include <cstdio>

#include "os/devices/DeviceConfig.h"
#include "os/sim/FirmwareImage.h"

namespace {

constexpr HA::OS::WORD kImageRevision = 0x0036;

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output file>\n", argv[0]);
        return 2;
    }
    std::vector<HA::OS::BYTE> image =
        HA::OS::SIM::buildFirmwareImage(HA::OS::kHarnwickVendorId, HA::OS::kVireoProductId, kImageRevision);
    std::FILE* out = std::fopen(argv[1], "wb");
    if (out == nullptr) {
        std::perror(argv[1]);
        return 1;
    }
    bool ok = std::fwrite(image.data(), 1, image.size(), out) == image.size();
    ok = std::fclose(out) == 0 && ok;
    if (!ok) {
        std::perror(argv[1]);
        std::remove(argv[1]);
        return 1;
    }
    return 0;
}
