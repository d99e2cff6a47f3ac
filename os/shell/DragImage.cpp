#include "os/shell/Ole.h"

#include <cstdio>
#include <mutex>

#include "os/kernel/Kernel.h"
#include "os/shell/Com.h"
#include "os/shell/detail/OleObjects.h"

namespace HA::OS {

namespace {

using DETAIL::Counted;

constexpr HRESULT CO_E_NOTINITIALIZED = static_cast<HRESULT>(0x800401F0u);

// The calls made of the services, the services alive, the faults asked for.
struct ImageService {
    std::mutex mutex;
    std::vector<std::string> imageCalls;
    BitmapPixels lastImage;
    int imageServices = 0;
    int imageFaults = 0;
};

ImageService& state()
{
    static auto* s = new ImageService;
    return *s;
}

void record(std::string call)
{
    ImageService& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.imageCalls.push_back(std::move(call));
}

std::string pointText(const POINT* p) { return p ? std::to_string(p->x) + "," + std::to_string(p->y) : "null"; }

class TargetHelper final : public Counted<IDropTargetHelper, IID_IDropTargetHelper> {
public:
    TargetHelper() { ++state().imageServices; }
    ~TargetHelper() override { --state().imageServices; }
    HRESULT DragEnter(HWND, IDataObject*, POINT* point, DWORD effect) override
    {
        record("DragEnter " + pointText(point) + " " + std::to_string(effect));
        return S_OK;
    }
    HRESULT DragLeave() override
    {
        record("DragLeave");
        return S_OK;
    }
    HRESULT DragOver(POINT* point, DWORD effect) override
    {
        record("DragOver " + pointText(point) + " " + std::to_string(effect));
        return S_OK;
    }
    HRESULT Drop(IDataObject*, POINT* point, DWORD effect) override
    {
        record("Drop " + pointText(point) + " " + std::to_string(effect));
        return S_OK;
    }
    HRESULT Show(BOOL show) override
    {
        record(std::string("Show ") + (show ? "1" : "0"));
        return S_OK;
    }
};

class SourceHelper final : public Counted<IDragSourceHelper, IID_IDragSourceHelper> {
public:
    SourceHelper() { ++state().imageServices; }
    ~SourceHelper() override
    {
        if (mBitmap)
            deleteObject(mBitmap);
        --state().imageServices;
    }
    HRESULT InitializeFromBitmap(SHDRAGIMAGE* image, IDataObject*) override
    {
        if (!image)
            return E_INVALIDARG;
        char key[32];
        if (image->crColorKey == CLR_NONE)
            std::snprintf(key, sizeof key, "none");
        else
            std::snprintf(key, sizeof key, "0x%06X", static_cast<unsigned>(image->crColorKey));
        record("InitializeFromBitmap " + std::to_string(image->sizeDragImage.cx) + "x" +
               std::to_string(image->sizeDragImage.cy) + " offset " + pointText(&image->ptOffset) + " key " + key);
        // The service copies the picture as it is now, as the platform's does.
        BitmapPixels copy;
        readBitmapPixels(image->hbmpDragImage, copy);
        {
            std::lock_guard<std::mutex> lock(state().mutex);
            state().lastImage = std::move(copy);
        }
        if (state().imageFaults > 0 || !image->hbmpDragImage)
            return E_FAIL;
        if (mBitmap)
            deleteObject(mBitmap);
        mBitmap = image->hbmpDragImage;
        return S_OK;
    }
    HRESULT InitializeFromWindow(HWND, POINT*, IDataObject*) override { return E_NOTIMPL; }

private:
    HBITMAP mBitmap = nullptr;
};

}  // namespace

HRESULT coCreateInstance(const GUID& clsid, IUnknown*, DWORD, const GUID& iid, void** object)
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (comInitCount(currentThreadId()) == 0)
        return CO_E_NOTINITIALIZED;
    if (clsid != CLSID_DragDropHelper)
        return REGDB_E_CLASSNOTREG;
    if (iid == IID_IDropTargetHelper) {
        *object = static_cast<IDropTargetHelper*>(new TargetHelper);
        return S_OK;
    }
    if (iid == IID_IDragSourceHelper) {
        *object = static_cast<IDragSourceHelper*>(new SourceHelper);
        return S_OK;
    }
    return E_NOINTERFACE;
}

std::vector<std::string> dragImageCalls()
{
    std::lock_guard<std::mutex> lock(state().mutex);
    return state().imageCalls;
}

void clearDragImageCalls()
{
    std::lock_guard<std::mutex> lock(state().mutex);
    state().imageCalls.clear();
    state().lastImage = BitmapPixels{};
}

BitmapPixels lastDragImage()
{
    std::lock_guard<std::mutex> lock(state().mutex);
    return state().lastImage;
}

int dragImageServicesAlive() { return state().imageServices; }

DragImageFaultScope::DragImageFaultScope() { ++state().imageFaults; }
DragImageFaultScope::~DragImageFaultScope() { --state().imageFaults; }

}  // namespace HA::OS
