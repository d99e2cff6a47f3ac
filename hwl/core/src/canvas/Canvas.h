#pragma once
// The surface widgets paint on. Widgets draw in logical units; the canvas multiplies every
// coordinate by the display scale (lroundf, each coordinate on its own, so a rectangle's
// width is the difference of its rounded corners) and draws into a 32-bit picture that the
// window copies to the screen. Colours are 0xAARRGGBB with straight alpha.
//
// Lines use the picture's pixel routines at scale 1 and anti-aliased strokes at any other
// scale. User-interface thread only.

#include <cstdint>
#include <memory>
#include <optional>

#include "gp/src/common/geometry/Geometry.h"
#include "uia/graphics/picture/Picture.h"

namespace HA::UIA {
class Font;
}

namespace HA::HWL {

class LazyPicture;

class Canvas {
public:
    virtual ~Canvas() = default;

    virtual void setHasAlpha(bool hasAlpha) = 0;
    // Clipping off; answers the whole buffer {0, 0, width, height}.
    virtual GP::Rect resetClip() = 0;
    // Limits drawing to rect (relative to the drawing origin, within the buffer).
    virtual void setClip(const GP::Rect& rect) = 0;
    virtual void resetOrigin() = 0;
    // Sets (does not add to) the drawing origin.
    virtual void moveOrigin(GP::Point point) = 0;
    // The drawing origin in logical units.
    virtual GP::Point getOrigin() const = 0;
    // The logical size; the buffer is reallocated and cleared to 0 when it changes.
    virtual void resize(int width, int height) = 0;
    // Every buffer pixel becomes colour, without blending.
    virtual void fill(std::uint32_t colour) = 0;
    virtual void setPixel(GP::Point point, std::uint32_t colour) = 0;
    virtual void drawLine(GP::Point from, GP::Point to, std::uint32_t colour) = 0;
    virtual void drawVerticalLine(GP::Point point, int length, std::uint32_t colour) = 0;
    virtual void drawHorizontalLine(GP::Point point, int length, std::uint32_t colour) = 0;
    virtual void drawAntialiasedLine(float x1, float y1, float x2, float y2, std::uint32_t colour) = 0;
    // The outline is one buffer pixel wide at every scale.
    virtual void drawFrameRect(const GP::Rect& rect, std::uint32_t colour) = 0;
    virtual void fillRect(const GP::Rect& rect, std::uint32_t colour) = 0;
    // Written without blending.
    virtual void fillRectRaw(const GP::Rect& rect, std::uint32_t colour) = 0;
    virtual void invertRect(const GP::Rect& rect) = 0;
    // The optional rectangle is in the source's buffer pixels: the part of the frame to draw.
    virtual void drawPicture(GP::Point point, const UIA::Picture& picture, std::uint32_t frame,
                             const std::optional<GP::Rect>& rect, bool blend) = 0;
    virtual void drawLazyPicture(GP::Point point, const LazyPicture& picture, std::uint32_t frame,
                                 const std::optional<GP::Rect>& rect, bool blend) = 0;
    // The optional rectangle of the nine-patch forms is a clip in buffer pixels.
    virtual void drawNinePatch(const GP::Rect& rect, const UIA::Picture& picture, std::uint32_t frame,
                               const std::optional<GP::Rect>& clip, bool blend) = 0;
    virtual void drawLazyNinePatch(const GP::Rect& rect, const LazyPicture& picture, std::uint32_t frame,
                                   const std::optional<GP::Rect>& clip, bool blend) = 0;
    // The picture's alpha as a mask for colour, drawn as a nine-patch.
    virtual void drawDyedPicture(const GP::Rect& rect, std::uint32_t colour, const UIA::Picture& picture,
                                 std::uint32_t frame, const std::optional<GP::Rect>& clip) = 0;
    virtual void drawLazyDyedPicture(const GP::Rect& rect, std::uint32_t colour, const LazyPicture& picture,
                                     std::uint32_t frame, const std::optional<GP::Rect>& clip) = 0;
    // Alignment flags as UIA::Font's; vertical text reads upward (a quarter turn to the left).
    virtual void drawText(const char* text, const GP::Rect& rect, const UIA::Font& font, std::uint32_t colour,
                          unsigned flags, bool vertical) = 0;
    // A new scale reallocates the buffer and clears it to 0.
    virtual void setScale(float scale) = 0;
    virtual float getScale() const = 0;
    virtual UIA::Picture& getBuffer() = 0;
    virtual std::uint32_t* getPixels() = 0;
};

class BackgroundDrawingCanvas : public Canvas {
public:
    // The canvas's picture, with the drawing forms the canvas uses.
    class BGDrawBuffer : public UIA::Picture {
    public:
        ~BGDrawBuffer() override;
        void drawPictureBlended(int x, int y, const UIA::Picture& picture, std::uint32_t frame,
                                const std::optional<GP::Rect>& rect);
        void drawPictureCopied(int x, int y, const UIA::Picture& picture, std::uint32_t frame,
                               const std::optional<GP::Rect>& rect);
        void drawNinePatchBlended(const GP::Rect& rect, const UIA::Picture& picture, std::uint32_t frame,
                                  const std::optional<GP::Rect>& clip);
        void drawNinePatchCopied(const GP::Rect& rect, const UIA::Picture& picture, std::uint32_t frame,
                                 const std::optional<GP::Rect>& clip);
    };

    // The buffer has no pixels until the first resize.
    BackgroundDrawingCanvas();
    ~BackgroundDrawingCanvas() override;
    BackgroundDrawingCanvas(const BackgroundDrawingCanvas&) = delete;
    BackgroundDrawingCanvas& operator=(const BackgroundDrawingCanvas&) = delete;

    void setHasAlpha(bool hasAlpha) override;
    GP::Rect resetClip() override;
    void setClip(const GP::Rect& rect) override;
    void resetOrigin() override;
    void moveOrigin(GP::Point point) override;
    GP::Point getOrigin() const override;
    void resize(int width, int height) override;
    void fill(std::uint32_t colour) override;
    void setPixel(GP::Point point, std::uint32_t colour) override;
    void drawLine(GP::Point from, GP::Point to, std::uint32_t colour) override;
    void drawVerticalLine(GP::Point point, int length, std::uint32_t colour) override;
    void drawHorizontalLine(GP::Point point, int length, std::uint32_t colour) override;
    void drawAntialiasedLine(float x1, float y1, float x2, float y2, std::uint32_t colour) override;
    void drawFrameRect(const GP::Rect& rect, std::uint32_t colour) override;
    void fillRect(const GP::Rect& rect, std::uint32_t colour) override;
    void fillRectRaw(const GP::Rect& rect, std::uint32_t colour) override;
    void invertRect(const GP::Rect& rect) override;
    void drawPicture(GP::Point point, const UIA::Picture& picture, std::uint32_t frame,
                     const std::optional<GP::Rect>& rect, bool blend) override;
    void drawLazyPicture(GP::Point point, const LazyPicture& picture, std::uint32_t frame,
                         const std::optional<GP::Rect>& rect, bool blend) override;
    void drawNinePatch(const GP::Rect& rect, const UIA::Picture& picture, std::uint32_t frame,
                       const std::optional<GP::Rect>& clip, bool blend) override;
    void drawLazyNinePatch(const GP::Rect& rect, const LazyPicture& picture, std::uint32_t frame,
                           const std::optional<GP::Rect>& clip, bool blend) override;
    void drawDyedPicture(const GP::Rect& rect, std::uint32_t colour, const UIA::Picture& picture,
                         std::uint32_t frame, const std::optional<GP::Rect>& clip) override;
    void drawLazyDyedPicture(const GP::Rect& rect, std::uint32_t colour, const LazyPicture& picture,
                             std::uint32_t frame, const std::optional<GP::Rect>& clip) override;
    void drawText(const char* text, const GP::Rect& rect, const UIA::Font& font, std::uint32_t colour,
                  unsigned flags, bool vertical) override;
    void setScale(float scale) override;
    float getScale() const override { return mScale; }
    BGDrawBuffer& getBuffer() override { return *mBuffer; }
    std::uint32_t* getPixels() override { return mBuffer->getPixels(); }

    // An anti-aliased stroke of the canvas scale's width between whole buffer pixels (relative
    // to the drawing origin); round joins, butt caps; kept to the drawing bounds.
    void drawStrokedLine(int x1, int y1, int x2, int y2, std::uint32_t colour);

    // The alignment flags of a text turned a quarter to the left.
    static unsigned turnAlignment(unsigned flags);

private:
    int scaled(float value) const;
    GP::Point scaled(GP::Point point) const;
    GP::Rect scaled(const GP::Rect& rect) const;
    void reallocate();
    void drawVerticalText(const char* text, const GP::Rect& rect, const UIA::Font& font, std::uint32_t colour,
                          unsigned flags);

    std::unique_ptr<BGDrawBuffer> mBuffer;
    GP::Point mBaseOrigin;
    GP::Point mOffset;
    bool mOwnsBuffer = true;
    int mLogicalWidth = 0;
    int mLogicalHeight = 0;
    std::unique_ptr<UIA::Picture> mScratch;
    float mScale = 1.0f;
};

// Whether canvases are made with an opaque buffer; off at start. Process-wide.
void setOpaqueCanvasBuffer(bool on);
bool isOpaqueCanvasBuffer();

}  // namespace HA::HWL
