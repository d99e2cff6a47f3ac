#pragma once
// Draws one picture (the source) into another (the destination) through a combining rule:
// frame blits, tiled fills and nine-patch drawing. Destination coordinates are relative to the
// destination's origin and limited to its drawing bounds (active clip, else the picture);
// source coordinates are relative to the source's origin and limited to the source picture.
// A combiner is a short-lived object made on the stack for one drawing call.

#include <cstdint>
#include <optional>

#include "uia/graphics/picture/Picture.h"

namespace HA::UIA {

namespace PictureCombinerFunctors {

// Each rule is made once per rectangle and then combines rows of count pixels.

// Source over destination, weighted by both alphas; the destination keeps its alpha.
class BlendUsingAlpha {
public:
    BlendUsingAlpha(const Picture& destination, const Picture& source, const void* functorData);
    void operator()(uint32_t* destination, const uint32_t* source, int64_t count) const;
};

// Copies the source; with alpha, blends it by the source's alpha (straight "over", or a plain
// mix when either picture is flagged opaque).
class CopySource {
public:
    CopySource(const Picture& destination, const Picture& source, const void* functorData);
    void operator()(uint32_t* destination, const uint32_t* source, int64_t count) const;

private:
    enum class eMode { PlainCopy, OntoOpaque, Over };
    eMode mMode;
};

// Paints the dye colour (functorData points to one 0xAARRGGBB word) through the source's
// alpha as a mask; the destination keeps its alpha.
class DyeUsingAlphaMask {
public:
    DyeUsingAlphaMask(const Picture& destination, const Picture& source, const void* functorData);
    void operator()(uint32_t* destination, const uint32_t* source, int64_t count) const;

private:
    uint32_t mColour;
};

}  // namespace PictureCombinerFunctors

template <class Functor>
class PictureCombiner {
public:
    // Neither pointer is owned; functorData is read by DyeUsingAlphaMask only.
    PictureCombiner(Picture& destination, const void* functorData = nullptr);
    virtual ~PictureCombiner() = default;

    // Draws animation frame frameIndex (limited to the last frame), or sourceRect shifted to
    // that frame, with its top-left at (x, y).
    void blit(int x, int y, const Picture& source, uint32_t frameIndex,
              const std::optional<GP::Rect>& sourceRect = std::nullopt);
    // Draws the source pixels from (srcX, srcY) into the rectangle at (x, y).
    void combineRect(int x, int y, int width, int height, const Picture& source, int srcX, int srcY);
    // Fills the rectangle with the tile at (srcX, srcY) repeated from the rectangle's top-left.
    void drawTiled(int x, int y, int width, int height, const Picture& source, int srcX, int srcY,
                   int tileWidth, int tileHeight);
    // Stretches frame frameIndex over rect by its nine-patch margins, repeating edges and
    // centre; tiles whose pixels are all transparent (per the source's masks) are skipped.
    void drawNinePatch(const GP::Rect& rect, const Picture& source, uint32_t frameIndex,
                       const std::optional<GP::Rect>& clip = std::nullopt);

private:
    void combine(int64_t x, int64_t y, int64_t width, int64_t height, const Picture& source,
                 int64_t srcX, int64_t srcY);

    Picture* mDestination;
    const void* mFunctorData;
};

extern template class PictureCombiner<PictureCombinerFunctors::BlendUsingAlpha>;
extern template class PictureCombiner<PictureCombinerFunctors::CopySource>;
extern template class PictureCombiner<PictureCombinerFunctors::DyeUsingAlphaMask>;

}  // namespace HA::UIA
