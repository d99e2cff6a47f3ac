// A style sheet from outside, loaded from a skin folder that holds one picture and one font:
// every derived picture is drawn for scales 1 and 1.5 and every derived font measures a text.
// Sentinel files lie outside the sub-folders and outside the skin folder, some reached through
// links from inside; every name the sheet writes is also opened as each kind of resource. A
// rule or a stream that carries a sentinel's token is a finding. "%ROOT%" in the input stands
// for the folder that holds the skin folder, so that host paths can name the sentinels.
#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <stdlib.h>

#include "fuzz/FuzzInput.h"
#include "gp/src/common/storage/IStorage.h"
#include "gp/src/common/storage/Stream.h"
#include "hwl/core/src/library/Init.h"
#include "hwl/core/src/resources/ManagerContainer.h"
#include "hwl/core/src/style/StyleParser2.h"
#include "hwl/core/src/style/StyleSheet.h"
#include "uia/graphics/text/Font.h"

using namespace HA;

namespace {

namespace fs = std::filesystem;

void writeFile(const fs::path& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
}

// A 3 x 2 picture, 32-bit uncompressed Targa.
std::string picture()
{
    std::string bytes("\0\0\2\0\0\0\0\0\0\0\0\0\3\0\2\0\x20\x08", 18);
    for (int i = 0; i < 6; ++i)
        bytes += {char(40 * i), char(80), char(160), char(255)};
    return bytes;
}

// The scratch folder of this process: made at the first input, removed at exit.
class Scratch {
public:
    Scratch()
    {
        std::string pattern = (fs::temp_directory_path() / "fuzz-skin-sheet-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            FUZZ::fail("no scratch folder");
        mRoot = pattern;
        std::random_device random;
        mToken = "Sentinel" + std::to_string(random()) + "x" + std::to_string(random());

        const fs::path skin = mRoot / "skin";
        fs::create_directories(skin / "stylesheets");
        fs::create_directories(skin / "pictures");
        fs::create_directories(skin / "fonts");
        writeFile(skin / "pictures" / "p.tga", picture());
        fs::copy_file(HA_FUZZ_FONT, skin / "fonts" / "f.ttf", fs::copy_options::overwrite_existing);

        // Each sentinel is a sheet of one rule named by the token, so that an import shows.
        int n = 0;
        for (const fs::path& place : {mRoot, skin})
            for (const char* name : {"secret.txt", "outside.txt", "x.txt", "x.png", "x.ttf"})
                writeFile(place / name, mToken + std::to_string(n++) + " { x: 1; }\n");
        fs::create_symlink("../secret.txt", skin / "pictures" / "link.png");
        fs::create_symlink("../../outside.txt", skin / "stylesheets" / "link.txt");
        fs::create_symlink("../x.ttf", skin / "fonts" / "link.ttf");
        fs::create_directory_symlink("..", skin / "pictures" / "up");
        fs::create_directory_symlink("../..", skin / "stylesheets" / "top");

        HWL::DETAIL::setExecutableFolderOverride(mRoot.string());
        HWL::setSkinLookup(true);
    }
    ~Scratch() { remove(); }
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;

    void remove()
    {
        HWL::DETAIL::setExecutableFolderOverride("");
        std::error_code error;
        fs::remove_all(mRoot, error);
    }

    const fs::path& root() const { return mRoot; }
    const std::string& token() const { return mToken; }

private:
    fs::path mRoot;
    std::string mToken;
};

Scratch& scratch()
{
    static Scratch instance;
    return instance;
}

// A finding: the folder goes first, since the run stops here.
[[noreturn]] void finding(const char* what)
{
    scratch().remove();
    FUZZ::fail(what);
}

bool carries(const std::string& text, const std::string& token) { return text.find(token) != std::string::npos; }

bool carries(const HWL::Selector& selector, const std::string& token)
{
    if (carries(selector.type.str(), token))
        return true;
    return std::any_of(selector.ancestors.begin(), selector.ancestors.end(),
                       [&](const HWL::SimpleSelector& a) { return carries(a.type.str(), token); });
}

std::string readAll(GP::Stream& stream)
{
    std::string text;
    char buffer[4096];
    GP::IStorage* storage = stream.getStorage();
    while (std::uint32_t n = storage->read(buffer, sizeof buffer)) {
        text.append(buffer, n);
        if (text.size() > (1u << 22))
            break;
    }
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const Scratch& place = scratch();
    std::string text(reinterpret_cast<const char*>(data), size);
    // A sheet that writes the token itself proves nothing.
    if (carries(text, place.token()))
        return 0;
    for (std::size_t at = text.find("%ROOT%"); at != std::string::npos; at = text.find("%ROOT%", at))
        text.replace(at, 6, place.root().string());
    writeFile(place.root() / "skin" / "stylesheets" / "input.txt", text);

    HWL::ManagerContainer manager;
    HWL::StyleSheet sheet(&manager);
    sheet.loadResource("input.txt");
    if (manager.getResourceMode() != HWL::ManagerContainer::ModeSkin)
        finding("the skin folder was not used");

    for (const auto& [property, entries] : sheet.getRules()) {
        for (const HWL::StyleSheet::tSelectorValue& entry : entries) {
            if (carries(entry.selector, place.token()))
                finding("a rule came from outside the style-sheet folder");
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

    // The names as written: every text value and every import, opened as each kind.
    HWL::StyleSheet scratchSheet(&manager);
    HWL::StyleParser2 parser(&scratchSheet);
    parser.processBuffer(text, "input.txt");
    std::vector<std::string> names(parser.getImportedNames().begin(), parser.getImportedNames().end());
    for (const HWL::StyleParser2::tRule& rule : parser.getRules()) {
        for (const HWL::Selector& selector : rule.selectors) {
            if (carries(selector, place.token()))
                finding("an import came from outside the style-sheet folder");
        }
        for (const HWL::StyleParser2::tDeclaration& declaration : rule.declarations) {
            if (const auto* name = std::get_if<std::string>(&declaration.value))
                names.push_back(*name);
        }
    }
    for (const std::string& name : names) {
        for (int kind : {HWL::ManagerContainer::KindPicture, HWL::ManagerContainer::KindStyleSheet,
                         HWL::ManagerContainer::KindFont}) {
            if (std::shared_ptr<GP::Stream> found = manager.getResourceStream(name, kind, false)) {
                if (carries(readAll(*found), place.token()))
                    finding("a stream came from outside its sub-folder");
            }
        }
    }
    return 0;
}
