#include "uia/platform/transfer/DropSourceImplWin32.h"

#include <cstring>

#include "uia/graphics/picture/Picture.h"
#include "uia/transfer/DragDrop.h"

namespace HA::UIA {

namespace DETAIL {

namespace {

constexpr OS::COLORREF kColourKey = OS::rgbColour(192, 192, 192);

// A 32-bit top-down section with the rows of the picture's area (width × height from 0, 0).
OS::HBITMAP sectionOf(const Picture& picture, int width, int height)
{
    OS::BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(OS::BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = OS::BI_RGB;
    void* bits = nullptr;
    OS::HBITMAP bitmap = OS::createDIBSection(nullptr, &info, OS::DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bitmap || !bits)
        return bitmap;
    const std::uint32_t* source = picture.getPixels();
    auto* destination = static_cast<std::uint32_t*>(bits);
    for (int y = 0; y < height; ++y)
        std::memcpy(destination + static_cast<std::size_t>(y) * width,
                    source + static_cast<std::size_t>(y) * picture.getWidth(), 4u * static_cast<std::size_t>(width));
    return bitmap;
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
        description.hbmpDragImage = sectionOf(picture, picture.getWidth(), picture.getHeight());
        description.crColorKey = OS::CLR_NONE;
    } else {
        // Without alpha only the first frame shows; the key colour is transparent.
        description.sizeDragImage = {picture.getFrameWidth(), picture.getFrameHeight()};
        description.hbmpDragImage = sectionOf(picture, picture.getFrameWidth(), picture.getFrameHeight());
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
