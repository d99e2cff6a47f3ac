#pragma once
// The updater's skin as the tests see it: linked resources by name and type, picture
// decoding, and the table of the skin's pictures with their sizes, frames and nine-patch
// margins.

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

#include "gp/src/common/storage/MemoryStorage.h"
#include "gp/src/common/storage/Stream.h"
#include "os/kernel/Resources.h"
#include "uia/graphics/picture/Picture.h"

namespace HA::TEST {

// A linked resource's bytes; nullopt when the executable has none of that name and type.
inline std::optional<std::string_view> linked(const OS::ResourceId& name, const OS::ResourceId& type)
{
    OS::HRSRC found = OS::findResource(nullptr, name, type);
    if (found == nullptr)
        return std::nullopt;
    const void* data = OS::lockResource(OS::loadResource(nullptr, found));
    return std::string_view(static_cast<const char*>(data), OS::sizeofResource(nullptr, found));
}

inline std::string readFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline std::unique_ptr<UIA::Picture> decode(std::string_view bytes)
{
    GP::MemoryStorage storage;
    storage.attachReadOnly(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
    GP::Stream stream(&storage);
    auto picture = std::make_unique<UIA::Picture>();
    if (!picture->load(stream, 0, UIA::Picture::eAlphaDetection::On))
        return nullptr;
    return picture;
}

// PNG header fields: bit depth and colour type (6: RGBA).
inline bool isRgba8Png(std::string_view bytes)
{
    return bytes.size() > 26 && bytes.substr(1, 3) == "PNG" && bytes.substr(12, 4) == "IHDR" && bytes[24] == 8 &&
           bytes[25] == 6;
}

inline std::string upper(std::string text)
{
    for (char& c : text)
        if (c >= 'a' && c <= 'z')
            c = char(c - 'a' + 'A');
    return text;
}

inline std::string_view linkedSheet()
{
    auto sheet = linked("FirmwareUpdaterStyles.txt", "STYLESHEET");
    return sheet ? *sheet : std::string_view();
}

// The pictures.

struct PictureRow {
    const char* sheetName;  // as the sheet spells it; linked in upper case
    int width;
    int height;
    int frames;
    int margin;  // nine-patch margin of the sheet's rules, 0 for none
    int sides;   // the sides it applies to: kAcross, kDown or both
};

constexpr int kAcross = 1;  // left and right: the middle columns stretch
constexpr int kDown = 2;    // top and bottom: the middle rows stretch
constexpr int kBoth = kAcross | kDown;

inline const PictureRow kPictures[] = {
    {"Bg_Header_FU.png", 609, 38, 1, 0, 0},
    {"Bg_Inner_FU.png", 100, 100, 1, 5, kBoth},
    {"Bg_Status.png", 100, 153, 3, 6, kBoth},
    {"Icon_Big_Status.png", 23, 46, 2, 0, 0},
    {"Busywheel.png", 22, 264, 12, 0, 0},
    {"button_forward_FU.png", 105, 231, 7, 0, 0},
    {"button_forward_focus_FU.png", 105, 231, 7, 0, 0},
    {"Bg_Content.png", 100, 100, 1, 6, kBoth},
    {"Text_Display.png", 100, 72, 4, 2, kAcross},
    {"device.png", 96, 56, 1, 0, 0},
    {"Logo_HA.png", 29, 21, 1, 0, 0},
    {"Bg_Overlay_FU.png", 450, 274, 1, 0, 0},
    {"top_bar.png", 65, 19, 1, 4, kAcross},
    {"bottom_bar.png", 67, 19, 1, 4, kAcross},
    {"tree_bg.png", 33, 32, 1, 4, kBoth},
    {"top_dotted.png", 27, 27, 1, 0, 0},
    {"button.png", 80, 60, 3, 6, kBoth},
    {"logo.png", 22, 17, 1, 0, 0},
    {"selection.png", 15, 15, 1, 3, kBoth},
    {"scrollbar_bg.png", 16, 55, 1, 6, kDown},
    {"scrollbar_bg_ho.png", 55, 16, 1, 6, kAcross},
    {"scrollbar_dec.png", 16, 11, 1, 0, 0},
    {"scrollbar_dec_ho.png", 11, 16, 1, 0, 0},
    {"scrollbar_inc.png", 16, 11, 1, 0, 0},
    {"scrollbar_inc_ho.png", 11, 16, 1, 0, 0},
    {"scrollbar_slider_gr_wide.png", 12, 29, 1, 5, kDown},
    {"scrollbar_slider_ho.png", 29, 12, 1, 5, kAcross},
};

inline void PrintTo(const PictureRow& row, std::ostream* out)
{
    *out << row.sheetName;
}

// The table's row for a picture name as the sheet spells it; null for any other name.
inline const PictureRow* findPicture(std::string_view sheetName)
{
    for (const PictureRow& row : kPictures)
        if (sheetName == row.sheetName)
            return &row;
    return nullptr;
}

}  // namespace HA::TEST
