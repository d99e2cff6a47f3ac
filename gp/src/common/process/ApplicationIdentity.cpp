#include "gp/src/common/process/ApplicationIdentity.h"

#include <cstring>

namespace HA::GP {

namespace {

std::uint32_t gFourCC = 0x3F3F3F3F;  // '????'
char gTitle[256] = "Harnwick Acoustics";

}  // namespace

std::uint32_t applicationFourCC() { return gFourCC; }
const char* applicationTitle() { return gTitle; }

namespace DETAIL {

void setApplicationIdentity(std::uint32_t fourCC, const char* title)
{
    gFourCC = fourCC;
    if (title != nullptr) {
        std::strncpy(gTitle, title, sizeof(gTitle) - 1);
        gTitle[sizeof(gTitle) - 1] = '\0';
    }
}

}  // namespace DETAIL

}  // namespace HA::GP
