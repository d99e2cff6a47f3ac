#pragma once
// An off-screen device context: a bitmap in the screen's format selected into its own
// memory context, for pictures drawn through the platform (the drag image). User-interface
// thread only.

#include "uia/window/DeviceContext.h"

namespace HA::UIA {

class PictureDC : public DeviceContext {
public:
    // A width x height bitmap; without it (a failure or an empty size) the context has no hdc.
    PictureDC(int width, int height);
    // Deselects the bitmap (unless released), then deletes it and the memory context.
    ~PictureDC() override;

    OS::HBITMAP getBitmap() const { return mBitmap; }
    // Deselects the bitmap and hands it to the caller, who deletes it; the context then
    // keeps only itself (null when it has no bitmap).
    OS::HBITMAP releaseBitmap();

private:
    OS::HBITMAP mBitmap = nullptr;
    OS::HGDIOBJ mPrevious = nullptr;
};

}  // namespace HA::UIA
