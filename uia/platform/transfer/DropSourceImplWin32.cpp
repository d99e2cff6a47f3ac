#include "uia/platform/transfer/DropSourceImplWin32.h"

#include <cstring>

#include "uia/graphics/picture/Picture.h"
#include "uia/platform/window/PictureDC.h"
#include "uia/transfer/DragDrop.h"

namespace HA::UIA {

namespace DETAIL {

namespace {

constexpr OS::COLORREF kColourKey = OS::rgbColour(192, 192, 192);

// A 32-bit top-down section that carries the picture's alpha, with the masks that say so.
OS::HBITMAP alphaSectionOf(const Picture& picture)
{
    const int width = picture.getWidth(), height = picture.getHeight();
    OS::BITMAPV5HEADER header{};
    header.bV5Size = sizeof header;
    header.bV5Width = width;
    header.bV5Height = -height;
    header.bV5Planes = 1;
    header.bV5BitCount = 32;
    header.bV5Compression = OS::BI_BITFIELDS;
    header.bV5RedMask = 0x00FF0000u;
    header.bV5GreenMask = 0x0000FF00u;
    header.bV5BlueMask = 0x000000FFu;
    header.bV5AlphaMask = 0xFF000000u;
    void* bits = nullptr;
    OS::HBITMAP bitmap = OS::createDIBSection(nullptr, reinterpret_cast<const OS::BITMAPINFO*>(&header),
                                              OS::DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap && bits)
        std::memcpy(bits, picture.getPixels(), 4u * static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    return bitmap;
}

// The picture's first frame drawn into a bitmap in the screen's format.
OS::HBITMAP firstFrameBitmapOf(const Picture& picture)
{
    const int width = picture.getFrameWidth(), height = picture.getFrameHeight();
    PictureDC dc(width, height);
    if (!dc.getHdc())
        return nullptr;
    OS::BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(OS::BITMAPINFOHEADER);
    info.bmiHeader.biWidth = picture.getWidth();
    info.bmiHeader.biHeight = -picture.getHeight();
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = OS::BI_RGB;
    // The source origin is the lower-left corner: the top-left frame starts that many rows up.
    OS::setDIBitsToDevice(dc.getHdc(), 0, 0, static_cast<OS::DWORD>(width), static_cast<OS::DWORD>(height), 0,
                          picture.getHeight() - height, 0, static_cast<OS::UINT>(picture.getHeight()),
                          picture.getPixels(), &info, OS::DIB_RGB_COLORS);
    return dc.releaseBitmap();
}

}  // namespace

DropSourceImplWin32::DropSourceImplWin32(OS::IDataObject* data, const std::shared_ptr<DragImage>& image)
{
    OS::oleInitialize();
    if (!image || !image->picture || !image->picture->getPixels())
        return;
    void* helper = nullptr;
    if (OS::coCreateInstance(OS::CLSID_DragDropHelper, nullptr, OS::CLSCTX_INPROC_SERVER, OS::IID_IDragSourceHelper,
                             &helper) != OS::S_OK)
        return;
    mHelper = static_cast<OS::IDragSourceHelper*>(helper);
    const Picture& picture = *image->picture;
    OS::SHDRAGIMAGE description{};
    description.ptOffset = {image->hotSpotX, image->hotSpotY};
    if (picture.hasAlpha()) {
        description.sizeDragImage = {picture.getWidth(), picture.getHeight()};
        description.hbmpDragImage = alphaSectionOf(picture);
        description.crColorKey = OS::CLR_NONE;
    } else {
        // Without alpha only the first frame shows; the key colour is transparent.
        description.sizeDragImage = {picture.getFrameWidth(), picture.getFrameHeight()};
        description.hbmpDragImage = firstFrameBitmapOf(picture);
        description.crColorKey = kColourKey;
    }
    if (description.hbmpDragImage && mHelper->InitializeFromBitmap(&description, data) != OS::S_OK)
        OS::deleteObject(description.hbmpDragImage);
}

DropSourceImplWin32::~DropSourceImplWin32()
{
    if (mHelper)
        mHelper->Release();
    OS::oleUninitialize();
}

OS::HRESULT DropSourceImplWin32::QueryInterface(const OS::GUID& iid, void** object)
{
    if (!object)
        return OS::E_POINTER;
    if (iid == OS::IID_IUnknown || iid == OS::IID_IDropSource) {
        *object = static_cast<OS::IDropSource*>(this);
        return OS::S_OK;
    }
    *object = nullptr;
    return OS::E_NOINTERFACE;
}

OS::HRESULT DropSourceImplWin32::QueryContinueDrag(OS::BOOL escapePressed, OS::DWORD keyState)
{
    if (escapePressed) {
        mCancelled = true;
        return OS::DRAGDROP_S_CANCEL;
    }
    if (!(keyState & (OS::MK_LBUTTON | OS::MK_RBUTTON | OS::MK_MBUTTON)))
        return OS::DRAGDROP_S_DROP;
    return OS::S_OK;
}

OS::HRESULT DropSourceImplWin32::GiveFeedback(OS::DWORD) { return OS::DRAGDROP_S_USEDEFAULTCURSORS; }

}  // namespace DETAIL

int doDragDrop(OS::IDataObject* data, int allowed, const std::shared_ptr<DragImage>& image)
{
    auto source = std::make_unique<DETAIL::DropSourceImplWin32>(data, image);
    OS::DWORD effect = OS::DROPEFFECT_NONE;
    OS::doDragDrop(data, source.get(), static_cast<OS::DWORD>(allowed), &effect);
    if (source->cancelled())
        return kDragEffectCancelled;
    return effect == OS::DROPEFFECT_NONE ? kDragEffectNothing : static_cast<int>(effect);
}

}  // namespace HA::UIA
