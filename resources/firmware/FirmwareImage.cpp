#include "resources/firmware/FirmwareImage.h"

extern "C" {
extern const std::uint8_t ha_firmware_image[];
extern const std::uint8_t ha_firmware_image_end[];
}

namespace HA::Firmware {

const std::uint8_t* imageData()
{
    return ha_firmware_image;
}

std::size_t imageSize()
{
    return static_cast<std::size_t>(ha_firmware_image_end - ha_firmware_image);
}

}  // namespace HA::Firmware
