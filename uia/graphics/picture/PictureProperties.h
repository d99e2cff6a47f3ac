#pragma once
// The description of a picture without its pixels: alpha flag, animation strip and
// nine-patch margins. Setters store their value as given and call propertiesChanged().

#include <cstdint>

namespace HA::GP {
class Stream;
}

namespace HA::UIA {

class PictureProperties {
public:
    // Frame layouts: 1 stacks frames vertically; any other value puts them side by side.
    static constexpr int32_t kFramesStacked = 1;
    static constexpr int32_t kFramesSideBySide = 2;
    // Bits of the margin flags.
    static constexpr int32_t kVerticalMargins = 0x1;    // top and bottom
    static constexpr int32_t kHorizontalMargins = 0x2;  // left and right
    // The stream form.
    static constexpr uint32_t kStreamVersion = 1;
    static constexpr int64_t kStreamSize = 33;

    PictureProperties() = default;
    PictureProperties(const PictureProperties&) = default;
    PictureProperties& operator=(const PictureProperties&) = default;
    virtual ~PictureProperties();

    virtual void setHasAlpha(bool hasAlpha);
    virtual void setFramesSideBySide(bool sideBySide);
    virtual void setFrameLayout(int32_t layout);
    virtual void setFrameCount(uint32_t count);
    virtual void setVerticalMarginsEnabled(bool enabled);
    virtual void setHorizontalMarginsEnabled(bool enabled);
    virtual void setTopMargin(int32_t margin);
    virtual void setBottomMargin(int32_t margin);
    virtual void setLeftMargin(int32_t margin);
    virtual void setRightMargin(int32_t margin);
    // The 33-byte stream form: version 1 (ignored when read), the alpha flag as one byte, then
    // frame layout, frame count, margin flags and the top, bottom, left and right margins as
    // 32-bit words, in the stream's byte order. read() stores nothing and returns false when
    // the stream cannot deliver all of it; write() returns false when the bytes were refused.
    virtual bool read(GP::Stream& stream);
    virtual bool write(GP::Stream& stream) const;
    // Called at the end of every setter and of read(); nothing here needs it.
    virtual void propertiesChanged();

    bool hasAlpha() const { return mHasAlpha; }
    int32_t getFrameLayout() const { return mFrameLayout; }
    uint32_t getFrameCount() const { return mFrameCount; }
    int32_t getMarginFlags() const { return mMarginFlags; }
    int32_t getTopMargin() const { return mTopMargin; }
    int32_t getBottomMargin() const { return mBottomMargin; }
    int32_t getLeftMargin() const { return mLeftMargin; }
    int32_t getRightMargin() const { return mRightMargin; }

    // The margins as drawing uses them: 0 when their pair is disabled or when negative.
    int32_t usedTopMargin() const;
    int32_t usedBottomMargin() const;
    int32_t usedLeftMargin() const;
    int32_t usedRightMargin() const;

protected:
    template <class T>
    void store(T& field, T value)
    {
        field = value;
        propertiesChanged();
    }

    bool mHasAlpha = false;
    int32_t mFrameLayout = kFramesStacked;
    uint32_t mFrameCount = 0;
    int32_t mMarginFlags = 0;
    int32_t mTopMargin = 0;
    int32_t mBottomMargin = 0;
    int32_t mLeftMargin = 0;
    int32_t mRightMargin = 0;
};

}  // namespace HA::UIA
