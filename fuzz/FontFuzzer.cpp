// A font file from a skin folder, read from memory, measuring and drawing a short text.
// Input: pixel size, style flags, then the font file.
#include <string>

#include "fuzz/FuzzInput.h"
#include "gp/src/common/storage/MemoryStorage.h"
#include "gp/src/common/storage/Stream.h"
#include "uia/graphics/picture/Picture.h"
#include "uia/graphics/text/Font.h"
#include "uia/graphics/text/FreeTypeContext.h"

using namespace HA;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    UIA::FreeTypeContext engine;
    UIA::FontDesc description;
    description.name = "skin.ttf";
    description.size = 1 + data[0] % 48;
    description.flags = data[1] & (UIA::FontDesc::Underline | UIA::FontDesc::Hinting);
    description.engine = &engine;
    GP::MemoryStorage storage;
    storage.attachReadOnly(data + 2, uint32_t(size - 2));
    GP::Stream stream(&storage);
    UIA::Font font(stream, description);

    const std::string text = "Vireo 0.3.5 \xC3\x84\xC3\xA4\xE2\x82\xAC fi AV\nzweite Zeile";
    const int width = font.getTextWidth(text.c_str());
    if (width < 0 || font.getWidestLineWidth(text) < 0)
        FUZZ::fail("negative text width");
    if (font.getLineHeight() < 0)
        FUZZ::fail("negative line height");
    for (int mode : {UIA::Font::FitNearest, UIA::Font::FitWithin, UIA::Font::FitCrossing}) {
        const int prefix = font.getFittingPrefix(text.c_str(), width / 2 + 1, mode);
        if (prefix < 0 || size_t(prefix) > text.size())
            FUZZ::fail("fitting prefix outside the text");
    }
    font.getFittingLength(text.c_str(), UIA::Font::AlignRight, 40);
    font.getGlyphAdvance(U'\x1F600');

    UIA::Picture picture;
    picture.setSize(96, 40, UIA::Picture::eBlock::Discard);
    picture.fill(0xFFFFFFFFu);
    font.drawText(picture, GP::Rect{2, 2, 94, 38}, text.c_str(), 0xFF202020u, UIA::Font::AlignLeft, 1);
    font.drawText(picture, GP::Rect{-20, -10, 200, 60}, text.c_str(), 0x80FF0000u, 0, -3);
    font.setScale(2.0f);
    font.drawText(picture, GP::Rect{0, 0, 96, 40}, text.c_str(), 0xFF000000u, UIA::Font::AlignBottom, 0);
    return 0;
}
