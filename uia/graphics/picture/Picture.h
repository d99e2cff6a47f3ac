#pragma once
// A 32-bit picture: one 0xAARRGGBB word per pixel (bytes blue, green, red, alpha), straight
// alpha, rows of exactly width pixels, top row first. The pixels live in one heap block behind
// a header area that the window blit fills in place.
//
// Drawing coordinates (x, y) address the pixel at (x + originX, y + originY). Every drawing
// operation stays inside the picture: against the clip rectangle while it is active, else
// against the picture's own bounds. All of it belongs to the user-interface thread.

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "gp/src/common/geometry/Geometry.h"
#include "uia/graphics/picture/PictureProperties.h"

namespace HA::UIA {

class Picture : public PictureProperties {
public:
    // Bytes in front of the pixels: room for a bitmap-information header.
    static constexpr int32_t kHeaderSize = 40;
    // Anti-aliased lines with a coordinate beyond this magnitude draw nothing.
    static constexpr float kMaxLineCoordinate = 16777216.0f;

    // What allocate() does with a block that is larger than needed.
    enum class eBlock { KeepLarger, Discard };
    enum class eInterpolation { Nearest, Linear };
    // Whether a loader decides the alpha flag from the pixels it read.
    enum class eAlphaDetection { Off, On };

    // Restricts drawing to a rectangle (within any clip already active) and restores the
    // picture's origin and clip when it ends.
    class ClipScope {
    public:
        ClipScope(Picture& picture, const GP::Rect& rect);
        ~ClipScope();
        ClipScope(const ClipScope&) = delete;
        ClipScope& operator=(const ClipScope&) = delete;

    private:
        Picture& mPicture;
        int32_t mOriginX;
        int32_t mOriginY;
        bool mClipActive;
        GP::Rect mClip;
    };

    Picture();
    ~Picture() override;
    Picture(const Picture&) = delete;
    Picture& operator=(const Picture&) = delete;

    // Makes room for width x height pixels (stores no size). A new block is taken when the
    // size needed differs and is larger, or with eBlock::Discard; its contents are undefined.
    // False for a negative size, a block beyond 2^31 - 1 bytes (nothing changes then) or when
    // the heap is exhausted (the picture is left without a block).
    virtual bool allocate(int32_t width, int32_t height, eBlock block);
    // allocate(), then the size; the origin becomes (0, 0) and the clip inactive
    // {0, 0, width, height}. False, with nothing else changed, when allocate() fails.
    bool setSize(int32_t width, int32_t height, eBlock block);

    int32_t getWidth() const { return mWidth; }
    int32_t getHeight() const { return mHeight; }
    int32_t getBlockSize() const { return mBlockSize; }
    int32_t getHeaderSize() const { return mHeaderSize; }
    // The block's first byte (the header area); null without a block.
    uint8_t* getHeaderArea() { return mBlock.get(); }
    // The first pixel of the top row; null without a block.
    uint32_t* getPixels() { return mPixels; }
    const uint32_t* getPixels() const { return mPixels; }

    // One animation frame; a remainder of the strip is never drawn.
    int32_t getFrameWidth() const;
    int32_t getFrameHeight() const;

    // Moves the origin; an active clip is moved along so that it stays over the same pixels.
    void setOrigin(int32_t x, int32_t y);
    int32_t getOriginX() const { return mOriginX; }
    int32_t getOriginY() const { return mOriginY; }
    // Activates the clip: rect limited to the picture and to the right of and below the origin.
    void setClipRect(const GP::Rect& rect);
    // Deactivates the clip; the clip rectangle becomes the whole picture {0, 0, width, height}.
    void clearClipRect();
    bool isClipActive() const { return mClipActive; }
    const GP::Rect& getClipRect() const { return mClip; }
    // Where drawing may write, in origin coordinates: the active clip, else the whole picture.
    GP::Rect getDrawingBounds() const;
    // Limits rect to getDrawingBounds(); false (rect unchanged) when nothing is left. A
    // rectangle with right < left or bottom < top comes back in its own orientation.
    bool clipToClipRect(GP::Rect& rect) const;

    bool isOpaque() const { return mOpaqueDestination; }
    // Drawing into an opaque destination does not keep its alpha meaningful.
    void setOpaqueDestination(bool opaque) { mOpaqueDestination = opaque; }

    // Stores colour into every pixel (origin and clip ignored).
    void fill(uint32_t colour);
    // Stores value into the rectangle offset by the origin, without blending; the clip is
    // ignored, the picture's bounds are not.
    void fillRectRaw(const GP::Rect& rect, uint32_t value);
    void flipVertically();

    // One mask per frame of the nine-patch tiles whose pixels are all fully transparent
    // (0x1 top-left ... 0x100 bottom-right); empty without alpha, margins or pixels.
    void computeHiddenTiles();
    const std::vector<uint32_t>& getHiddenTiles() const { return mHiddenTiles; }

    // A copy scaled by scale (each side lroundf of side x scale), with the alpha flag, frame
    // layout and count, margin flags and scaled margins of this one; origin, clip, opaque flag
    // and masks are not copied. Null for a scale that is not finite and positive, a size that
    // cannot be held, or a refusal of the resampler; a side that rounds to 0 gives a copy
    // without pixels.
    std::unique_ptr<Picture> createScaled(float scale, eInterpolation interpolation) const;

    // Fills the picture from a PNG, JPEG or Targa file at the stream's position, trying the
    // three in that order (the storage is moved back before each further attempt). False when
    // none accepts the bytes; a failed attempt may leave the picture resized, so callers drop
    // it then. extra is passed on and read by no loader.
    bool load(GP::Stream& stream, int extra, eAlphaDetection detection);
    // 8-bit BGRA from any PNG colour type; with detection on, the alpha flag is set for
    // palette and alpha types when some pixel is not opaque, else it is cleared.
    bool loadPNG(GP::Stream& stream, int extra, eAlphaDetection detection);
    // Gray, RGB, YCbCr, CMYK and YCCK files; RGB and CMYK through their embedded colour
    // profile into sRGB. Opaque: with detection on, the alpha flag is cleared.
    bool loadJPEG(GP::Stream& stream, int extra, eAlphaDetection detection);
    // Image types 2 and 10 at 16, 24 and 32 bits (run-length packets only at 32). False,
    // with the pixels zeroed, when the file ends early.
    bool loadTGA(GP::Stream& stream, int extra, eAlphaDetection detection);

    // Pixel writes (colours 0xAARRGGBB, straight alpha).
    void blendPixel(int x, int y, uint32_t colour);
    // blendPixel() only inside getDrawingBounds().
    void blendPixelClipped(int x, int y, uint32_t colour);
    // One-pixel line; the end point is not drawn. The bounds only leave pixels out: inside
    // them it draws what the same line draws on a picture without bounds.
    void drawLine(int x0, int y0, int x1, int y1, uint32_t colour);
    void drawAntialiasedLine(float x0, float y0, float x1, float y1, uint32_t colour);
    void drawHorizontalLine(int x, int y, int length, uint32_t colour);
    void drawVerticalLine(int x, int y, int length, uint32_t colour);
    void drawFrameRect(int x, int y, int width, int height, uint32_t colour);
    void fillRect(int x, int y, int width, int height, uint32_t colour);
    // Inverts red, green and blue; alpha stays.
    void invertRect(int x, int y, int width, int height);

private:
    struct FreeBlock {
        void operator()(uint8_t* block) const { std::free(block); }
    };

    // The picture's bounds in origin coordinates.
    GP::Rect getPictureBounds() const;
    uint32_t* pixelAt(int64_t x, int64_t y) { return mPixels + (y + mOriginY) * mWidth + (x + mOriginX); }
    // Runs of the pixel write rule; count pixels step words apart.
    void writeRun(uint32_t* first, int64_t count, int64_t step, uint32_t colour);

    std::unique_ptr<uint8_t, FreeBlock> mBlock;
    uint32_t* mPixels = nullptr;
    int32_t mWidth = 0;
    int32_t mHeight = 0;
    int32_t mBlockSize = 0;
    int32_t mHeaderSize = kHeaderSize;
    bool mOpaqueDestination = false;
    bool mClipActive = false;
    GP::Rect mClip;
    int32_t mOriginX = 0;
    int32_t mOriginY = 0;
    std::vector<uint32_t> mHiddenTiles;
};

// The file name of a picture for a display scale: unchanged at exactly 1, else "@2x" before
// the extension, whatever the scale.
std::string makeScaledPictureName(const std::string& name, float scale);

}  // namespace HA::UIA
