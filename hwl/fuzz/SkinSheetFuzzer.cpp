// A style sheet from outside, loaded from a skin folder that holds one picture and one font:
// every derived picture is drawn for scales 1 and 1.5 and every derived font measures a text.
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "fuzz/FuzzInput.h"
#include "hwl/core/src/library/Init.h"
#include "hwl/core/src/resources/ManagerContainer.h"
#include "hwl/core/src/style/StyleSheet.h"
#include "uia/graphics/text/Font.h"

using namespace HA;

namespace {

namespace fs = std::filesystem;

void writeFile(const fs::path& path, const std::vector<uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// A 3 x 2 picture, 32-bit uncompressed Targa.
std::vector<uint8_t> picture()
{
    std::vector<uint8_t> bytes = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 3, 0, 2, 0, 32, 8};
    for (int i = 0; i < 6; ++i)
        bytes.insert(bytes.end(), {uint8_t(40 * i), 80, 160, 255});
    return bytes;
}

// The skin folder beside a stand-in executable folder, made once per process.
fs::path skinFolder()
{
    static const fs::path root = [] {
        const fs::path folder = fs::temp_directory_path() / ("fuzz-skin-sheet-" + std::to_string(::getpid()));
        fs::create_directories(folder / "skin" / "stylesheets");
        fs::create_directories(folder / "skin" / "pictures");
        fs::create_directories(folder / "skin" / "fonts");
        writeFile(folder / "skin" / "pictures" / "p.tga", picture());
        fs::copy_file(HA_FUZZ_FONT, folder / "skin" / "fonts" / "f.ttf", fs::copy_options::overwrite_existing);
        HWL::DETAIL::setExecutableFolderOverride(folder.string());
        HWL::setSkinLookup(true);
        return folder;
    }();
    return root;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const fs::path folder = skinFolder();
    writeFile(folder / "skin" / "stylesheets" / "input.txt", std::vector<uint8_t>(data, data + size));

    HWL::ManagerContainer manager;
    HWL::StyleSheet sheet(&manager);
    sheet.loadResource("input.txt");
    if (manager.getResourceMode() != HWL::ManagerContainer::ModeSkin)
        FUZZ::fail("the skin folder was not used");

    for (const auto& [property, entries] : sheet.getRules()) {
        for (const HWL::StyleSheet::tSelectorValue& entry : entries) {
            const auto& value = entry.declaration.value;
            if (const auto* lazy = std::get_if<HWL::LazyPicture>(&value)) {
                for (float scale : {1.0f, 1.5f}) {
                    if (const UIA::Picture* p = lazy->get(scale))
                        (void)p->getWidth();
                }
            } else if (const auto* font = std::get_if<const UIA::Font*>(&value); font && *font) {
                for (float scale : {1.0f, 1.5f}) {
                    (*font)->setScale(scale);
                    (void)(*font)->getTextWidth("Vireo 0.3.5");
                    (void)(*font)->getLineHeight();
                }
            }
        }
    }
    return 0;
}
