#include "uia/platform/window/PictureDC.h"

namespace HA::UIA {

PictureDC::PictureDC(int width, int height)
{
    if (width <= 0 || height <= 0)
        return;
    OS::HDC screen = OS::getDC(nullptr);
    OS::HDC hdc = OS::createCompatibleDC(screen);
    OS::HBITMAP bitmap = hdc ? OS::createCompatibleBitmap(screen, width, height) : nullptr;
    OS::releaseDC(nullptr, screen);
    if (!bitmap) {
        if (hdc)
            OS::deleteDC(hdc);
        return;
    }
    mBitmap = bitmap;
    mPrevious = OS::selectObject(hdc, bitmap);
    setHdc(hdc);
}

PictureDC::~PictureDC()
{
    if (!getHdc())
        return;
    if (mBitmap) {
        OS::selectObject(getHdc(), mPrevious);
        OS::deleteObject(mBitmap);
    }
    OS::deleteDC(getHdc());
}

OS::HBITMAP PictureDC::releaseBitmap()
{
    if (!mBitmap)
        return nullptr;
    OS::selectObject(getHdc(), mPrevious);
    OS::HBITMAP bitmap = mBitmap;
    mBitmap = nullptr;
    return bitmap;
}

}  // namespace HA::UIA
