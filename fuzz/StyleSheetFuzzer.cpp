// A style sheet from outside, loaded as the top-level sheet from the linked resources, with two
// sheets it may import (one importing the other). Every value the sheet keeps is read back.
#include <cstdint>
#include <string>
#include <variant>

#include "fuzz/FuzzInput.h"
#include "gp/src/common/storage/ModuleResources.h"
#include "hwl/core/src/resources/ManagerContainer.h"
#include "hwl/core/src/style/StyleSheet.h"

using namespace HA;

namespace {

const char kFirst[] = "@define $size 14;\n@define $colour rgba(1, 2, 3, 4);\n@import url('second.txt');\n"
                      "Label.first { font-size: $size; foreground-color: $colour; }\n";
const char kSecond[] = "@define $picture url('p.png');\nButton::Label#second:!enabled { image: $picture; fixed: 2; }\n";

bool registerImports()
{
    GP::registerResource("first.txt", kFirst, sizeof kFirst - 1);
    GP::registerResource("second.txt", kSecond, sizeof kSecond - 1);
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool registered = registerImports();
    (void)registered;
    static std::string input;
    input.assign(reinterpret_cast<const char*>(data), size);
    GP::registerResource("fuzz-input.txt", input.data(), uint32_t(input.size()));

    HWL::ManagerContainer manager;
    HWL::StyleSheet sheet(&manager);
    sheet.loadResource("fuzz-input.txt");

    size_t seen = 0;
    for (const auto& [property, entries] : sheet.getRules()) {
        seen += property.str().size();
        for (const HWL::StyleSheet::tSelectorValue& entry : entries) {
            seen += entry.selector.specificity() + entry.selector.ancestors.size();
            std::visit([&](const auto& value) { seen += sizeof value; }, entry.declaration.value);
        }
    }
    return seen == 0 ? 0 : 0;
}
