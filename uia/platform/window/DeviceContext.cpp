#include "uia/window/DeviceContext.h"

#include <cmath>
#include <cstring>

#include "uia/graphics/picture/Picture.h"

namespace HA::UIA {

DeviceContext::DeviceContext() : mHdcCell(std::make_unique<OS::HDC>(nullptr)) {}

DeviceContext::~DeviceContext() = default;

void DeviceContext::setHdc(OS::HDC hdc)
{
    mHdc = hdc;
    *mHdcCell = hdc;
}

void DeviceContext::setOrigin(int x, int y)
{
    mOriginX = x;
    mOriginY = y;
}

void DeviceContext::blit(Picture& picture)
{
    if (!mPaint || !picture.getHeaderArea())
        return;
    const int width = picture.getWidth(), height = picture.getHeight();
    const float s = mScaleFactor, m = mMonitorScale;
    const long logicalWidth = std::lroundf(static_cast<float>(width) / s);
    const long logicalHeight = std::lroundf(static_cast<float>(height) / s);
    const long deviceWidth = std::lroundf(static_cast<float>(logicalWidth) * m);
    const long deviceHeight = std::lroundf(static_cast<float>(logicalHeight) * m);

    OS::RECT paint = mPaint->rcPaint;
    if (paint.right == 0 || paint.bottom == 0) {
        paint.right = static_cast<OS::LONG>(deviceWidth);
        paint.bottom = static_cast<OS::LONG>(deviceHeight);
    }

    // The header travels in front of the pixels, so the copy needs no second buffer.
    OS::BITMAPINFOHEADER header{};
    header.biSize = sizeof(OS::BITMAPINFOHEADER);
    header.biWidth = width;
    header.biHeight = -height;
    header.biPlanes = 1;
    header.biBitCount = 32;
    header.biCompression = OS::BI_RGB;
    header.biSizeImage = static_cast<OS::DWORD>(4u * static_cast<unsigned>(width) * static_cast<unsigned>(height));
    header.biXPelsPerMeter = 1000;
    header.biYPelsPerMeter = 1000;
    static_assert(sizeof header == Picture::kHeaderSize, "the picture's header area holds the header");
    std::memcpy(picture.getHeaderArea(), &header, sizeof header);
    const auto* info = reinterpret_cast<const OS::BITMAPINFO*>(picture.getHeaderArea());

    const int paintWidth = paint.right - paint.left, paintHeight = paint.bottom - paint.top;
    if (deviceWidth == width && deviceHeight == height) {
        // The source origin of a DIB is its lower-left corner, also for top-down rows.
        OS::setDIBitsToDevice(mHdc, paint.left, paint.top, static_cast<OS::DWORD>(std::max(0, paintWidth)),
                              static_cast<OS::DWORD>(std::max(0, paintHeight)), paint.left, height - paint.bottom, 0,
                              static_cast<OS::UINT>(height), picture.getPixels(), info, OS::DIB_RGB_COLORS);
        return;
    }
    const float o = s / m;
    OS::setStretchBltMode(mHdc, OS::HALFTONE);
    OS::stretchDIBits(mHdc, paint.left, paint.top, paintWidth, paintHeight,
                      static_cast<int>(std::lroundf(static_cast<float>(paint.left) * o)),
                      height - static_cast<int>(std::lroundf(static_cast<float>(paint.bottom) * o)),
                      static_cast<int>(std::lroundf(static_cast<float>(paintWidth) * o)),
                      static_cast<int>(std::lroundf(static_cast<float>(paintHeight) * o)), picture.getPixels(), info,
                      OS::DIB_RGB_COLORS, OS::SRCCOPY);
}

}  // namespace HA::UIA
