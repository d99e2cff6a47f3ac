// The text abbreviator in every mode, with an ellipsis and replacements from the input and
// measuring callbacks that may answer anything. Valid UTF-8 in gives valid UTF-8 out; invalid
// UTF-8 may only throw std::out_of_range; every mode ends.
// Input: width, measure byte, ellipsis, replacement key and value (length byte first), text.
#include <algorithm>
#include <cstring>
#include <map>
#include <stdexcept>
#include <string>

#include "fuzz/FuzzInput.h"
#include "gp/src/common/abbreviation/TextAbbreviator.h"
#include "gp/src/common/text/Utf8.h"

using namespace HA;

namespace {

bool isValid(const std::string& text)
{
    try {
        GP::countCodePoints(text);
        return true;
    } catch (const std::out_of_range&) {
        return false;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FUZZ::FuzzInput input(data, size);
    const int32_t width = int8_t(input.u8());
    const uint8_t measure = input.u8();
    const std::string ellipsis = input.shortText();
    const std::string key = input.shortText();
    const std::string value = input.shortText();
    const std::string text = input.rest();
    const bool valid = isValid(text) && isValid(ellipsis) && isValid(key) && isValid(value);

    // Width: bytes times a factor; the low bits of `measure` make the fit callback honest,
    // greedy (claims more than fits) or stingy (claims nothing fits).
    const int32_t factor = 1 + (measure >> 2) % 4;
    const GP::TextAbbreviator::tWidthFunction widthOf = [factor](const char* t) {
        return int32_t(std::strlen(t)) * factor;
    };
    const GP::TextAbbreviator::tFitFunction fitOf = [factor, measure](const char* t, int32_t w) -> int32_t {
        const int32_t length = int32_t(std::strlen(t));
        switch (measure & 3) {
        case 0:
            return w <= 0 ? 0 : std::min(length, w / factor);
        case 1:
            return length + 3;
        case 2:
            return 0;
        default:
            return -1;
        }
    };

    GP::TextAbbreviator abbreviator;
    abbreviator.setEllipsis(ellipsis);
    abbreviator.setReplacements({{key, value}, {"Interface", "If"}});
    for (int32_t mode = -1; mode <= 14; ++mode) {
        abbreviator.setMode(mode);
        try {
            const std::string result = abbreviator.abbreviate(text, width, widthOf, fitOf);
            if (valid && !isValid(result))
                FUZZ::fail("valid text abbreviated into invalid UTF-8");
            if (text.empty() && !result.empty())
                FUZZ::fail("empty text gave a result");
        } catch (const std::out_of_range&) {
            if (valid)
                FUZZ::fail("valid text threw");
        }
    }
    return 0;
}
