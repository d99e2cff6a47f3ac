#pragma once
// The device context a window paints through: the platform's paint handle with its paint
// information while the window paints, and the scales that turn the logical size of a
// picture into device pixels. User-interface thread only.

#include <memory>

#include "os/windows/drawing/Drawing.h"

namespace HA::UIA {

class Picture;

class DeviceContext {
public:
    DeviceContext();
    virtual ~DeviceContext();
    DeviceContext(const DeviceContext&) = delete;
    DeviceContext& operator=(const DeviceContext&) = delete;

    OS::HDC getHdc() const { return mHdc; }
    // Also updates the cell that holders of getHdcCell() read.
    void setHdc(OS::HDC hdc);
    // Mirrors getHdc() for the whole life of this context.
    const OS::HDC* getHdcCell() const { return mHdcCell.get(); }

    int getOriginX() const { return mOriginX; }
    int getOriginY() const { return mOriginY; }
    void setOrigin(int x, int y);

    // The paint information while painting, else null; not owned.
    const OS::PAINTSTRUCT* getPaint() const { return mPaint; }
    void setPaint(const OS::PAINTSTRUCT* paint) { mPaint = paint; }

    float getScaleFactor() const { return mScaleFactor; }
    void setScaleFactor(float scale) { mScaleFactor = scale; }
    float getMonitorScale() const { return mMonitorScale; }
    void setMonitorScale(float scale) { mMonitorScale = scale; }

    // Copies the picture to the window during its paint event: the paint rectangle one to
    // one when the picture is the window's device size, else stretched with halftone from
    // the picture scaled by scaleFactor / monitorScale. Fills the picture's header area.
    // Nothing without paint information or without pixels.
    void blit(Picture& picture);

private:
    OS::HDC mHdc = nullptr;
    int mOriginX = 0;
    int mOriginY = 0;
    std::unique_ptr<OS::HDC> mHdcCell;
    const OS::PAINTSTRUCT* mPaint = nullptr;
    float mScaleFactor = 1.0f;
    float mMonitorScale = 1.0f;
};

}  // namespace HA::UIA
