#include "os/shell/Ole.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>

#include "os/kernel/Kernel.h"

namespace HA::OS {

const GUID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const GUID IID_IDataObject = {0x0000010E, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const GUID IID_IEnumFORMATETC = {0x00000103, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const GUID IID_IDropTarget = {0x00000122, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const GUID IID_IDropSource = {0x00000121, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const GUID CLSID_DragDropHelper = {0x4657278A, 0x411B, 0x11D2, {0x83, 0x9A, 0x00, 0xC0, 0x4F, 0xD9, 0x18, 0xD0}};
const GUID IID_IDropTargetHelper = {0x4657278B, 0x411B, 0x11D2, {0x83, 0x9A, 0x00, 0xC0, 0x4F, 0xD9, 0x18, 0xD0}};
const GUID IID_IDragSourceHelper = {0xDE5BF786, 0x477A, 0x11D2, {0x83, 0x9D, 0x00, 0xC0, 0x4F, 0xD9, 0x18, 0xD0}};

namespace {

constexpr HRESULT CO_E_NOTINITIALIZED = static_cast<HRESULT>(0x800401F0u);

struct OleState {
    std::mutex mutex;
    std::map<HGLOBAL, std::vector<BYTE>> blocks;
    std::uintptr_t nextBlock = 0x10000;
    int memoryFaults = 0;
    std::map<std::string, UINT> formats;
    UINT nextFormat = 0xC000;
    IDataObject* clipboard = nullptr;
    int clipboardSets = 0;
    std::map<HWND, IDropTarget*> targets;
    std::vector<DragScript::State*> scripts;
    std::vector<std::string> imageCalls;
    int imageServices = 0;
    int imageFaults = 0;
};

OleState& state()
{
    static auto* s = new OleState;
    return *s;
}

void record(std::string call)
{
    OleState& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.imageCalls.push_back(std::move(call));
}

// Reference counting shared by the stand-in's own objects.
template <typename Base>
class Counted : public Base {
public:
    ULONG AddRef() override { return ++mRefs; }
    ULONG Release() override
    {
        ULONG left = --mRefs;
        if (left == 0)
            delete this;
        return left;
    }

protected:
    virtual ~Counted() = default;
    ULONG mRefs = 1;
};

class StdEnumFormatEtc final : public Counted<IEnumFORMATETC> {
public:
    explicit StdEnumFormatEtc(std::vector<FORMATETC> formats) : mFormats(std::move(formats)) {}
    HRESULT QueryInterface(const GUID& iid, void** object) override
    {
        if (!object)
            return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IEnumFORMATETC) {
            *object = static_cast<IEnumFORMATETC*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    HRESULT Next(ULONG count, FORMATETC* out, ULONG* fetched) override
    {
        ULONG n = 0;
        while (n < count && mNext < mFormats.size())
            out[n++] = mFormats[mNext++];
        if (fetched)
            *fetched = n;
        return n == count ? S_OK : S_FALSE;
    }
    HRESULT Skip(ULONG count) override
    {
        mNext += count;
        if (mNext > mFormats.size()) {
            mNext = mFormats.size();
            return S_FALSE;
        }
        return S_OK;
    }
    HRESULT Reset() override
    {
        mNext = 0;
        return S_OK;
    }
    HRESULT Clone(IEnumFORMATETC** out) override
    {
        if (!out)
            return E_POINTER;
        auto* copy = new StdEnumFormatEtc(mFormats);
        copy->mNext = mNext;
        *out = copy;
        return S_OK;
    }

private:
    std::vector<FORMATETC> mFormats;
    std::size_t mNext = 0;
};

// What another program put on the clipboard or drags: every GetData hands out a fresh copy
// that the receiver owns.
class ForeignDataObject final : public Counted<IDataObject> {
public:
    explicit ForeignDataObject(std::vector<ForeignFormat> formats) : mFormats(std::move(formats)) {}
    HRESULT QueryInterface(const GUID& iid, void** object) override
    {
        if (!object)
            return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IDataObject) {
            *object = static_cast<IDataObject*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    HRESULT GetData(FORMATETC* format, STGMEDIUM* medium) override
    {
        if (!medium)
            return E_POINTER;
        const ForeignFormat* found = nullptr;
        HRESULT hr = find(format, &found);
        if (hr != S_OK)
            return hr;
        HGLOBAL block = globalAlloc(GMEM_MOVEABLE, found->bytes.size());
        if (!block)
            return E_OUTOFMEMORY;
        if (!found->bytes.empty()) {
            std::memcpy(globalLock(block), found->bytes.data(), found->bytes.size());
            globalUnlock(block);
        }
        medium->tymed = TYMED_HGLOBAL;
        medium->hGlobal = block;
        medium->pUnkForRelease = nullptr;
        return S_OK;
    }
    HRESULT GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    HRESULT QueryGetData(FORMATETC* format) override { return find(format, nullptr); }
    HRESULT GetCanonicalFormatEtc(FORMATETC*, FORMATETC*) override { return E_NOTIMPL; }
    HRESULT SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    HRESULT EnumFormatEtc(DWORD direction, IEnumFORMATETC** out) override
    {
        if (direction != DATADIR_GET)
            return E_NOTIMPL;
        std::vector<FORMATETC> list;
        for (const ForeignFormat& f : mFormats)
            list.push_back({f.format, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL});
        return shCreateStdEnumFmtEtc(static_cast<UINT>(list.size()), list.data(), out);
    }
    HRESULT DAdvise(FORMATETC*, DWORD, IUnknown*, DWORD*) override { return OLE_E_ADVISENOTSUPPORTED; }
    HRESULT DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
    HRESULT EnumDAdvise(IUnknown**) override { return OLE_E_ADVISENOTSUPPORTED; }

private:
    HRESULT find(const FORMATETC* format, const ForeignFormat** found) const
    {
        if (!format)
            return E_INVALIDARG;
        if (format->ptd)
            return DV_E_DVTARGETDEVICE;
        if (format->dwAspect != DVASPECT_CONTENT)
            return DV_E_FORMATETC;
        for (const ForeignFormat& f : mFormats) {
            if (f.format == format->cfFormat) {
                if (!(format->tymed & TYMED_HGLOBAL))
                    return DV_E_TYMED;
                if (found)
                    *found = &f;
                return S_OK;
            }
        }
        return DV_E_FORMATETC;
    }

    std::vector<ForeignFormat> mFormats;
};

std::string pointText(const POINT* p) { return p ? std::to_string(p->x) + "," + std::to_string(p->y) : "null"; }

class TargetHelper final : public Counted<IDropTargetHelper> {
public:
    TargetHelper() { ++state().imageServices; }
    ~TargetHelper() override { --state().imageServices; }
    HRESULT QueryInterface(const GUID& iid, void** object) override
    {
        if (!object)
            return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IDropTargetHelper) {
            *object = static_cast<IDropTargetHelper*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
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

class SourceHelper final : public Counted<IDragSourceHelper> {
public:
    SourceHelper() { ++state().imageServices; }
    ~SourceHelper() override
    {
        if (mBitmap)
            deleteObject(mBitmap);
        --state().imageServices;
    }
    HRESULT QueryInterface(const GUID& iid, void** object) override
    {
        if (!object)
            return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IDragSourceHelper) {
            *object = static_cast<IDragSourceHelper*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
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

// ---- Global memory ----------------------------------------------------------------------

HGLOBAL globalAlloc(UINT flags, std::size_t bytes)
{
    OleState& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    if (s.memoryFaults > 0)
        return nullptr;
    HGLOBAL handle = reinterpret_cast<HGLOBAL>(s.nextBlock);
    s.nextBlock += 16;
    // Always zeroed: the stand-in hands out no stale bytes even without GMEM_ZEROINIT.
    (void)flags;
    s.blocks[handle].assign(bytes, 0);
    return handle;
}

void* globalLock(HGLOBAL block)
{
    OleState& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    auto it = s.blocks.find(block);
    if (it == s.blocks.end())
        return nullptr;
    // A lock of an empty block still gives a pointer, as on the platform.
    static BYTE none = 0;
    return it->second.empty() ? &none : it->second.data();
}

bool globalUnlock(HGLOBAL block)
{
    OleState& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    return s.blocks.count(block) != 0;
}

std::size_t globalSize(HGLOBAL block)
{
    OleState& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    auto it = s.blocks.find(block);
    return it == s.blocks.end() ? 0 : it->second.size();
}

HGLOBAL globalFree(HGLOBAL block)
{
    OleState& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    return s.blocks.erase(block) ? nullptr : block;
}

std::size_t globalBlockCount()
{
    OleState& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    return s.blocks.size();
}

GlobalMemoryFaultScope::GlobalMemoryFaultScope() { ++state().memoryFaults; }
GlobalMemoryFaultScope::~GlobalMemoryFaultScope() { --state().memoryFaults; }

// ---- Formats ----------------------------------------------------------------------------

UINT registerClipboardFormat(const std::string& name)
{
    if (name.empty())
        return 0;
    OleState& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    auto it = s.formats.find(name);
    if (it != s.formats.end())
        return it->second;
    if (s.nextFormat > 0xFFFF)
        return 0;
    return s.formats[name] = s.nextFormat++;
}

// ---- Media ------------------------------------------------------------------------------

namespace {
std::atomic<int> gLiveTaskMemBlocks{0};
}  // namespace

void* coTaskMemAlloc(std::size_t bytes)
{
    void* block = std::malloc(bytes ? bytes : 1);
    if (block)
        ++gLiveTaskMemBlocks;
    return block;
}

void coTaskMemFree(void* block)
{
    if (block)
        --gLiveTaskMemBlocks;
    std::free(block);
}

int liveTaskMemBlockCount() { return gLiveTaskMemBlocks; }

void releaseStgMedium(STGMEDIUM* medium)
{
    if (!medium)
        return;
    if (medium->pUnkForRelease) {
        medium->pUnkForRelease->Release();
    } else if (medium->tymed == TYMED_HGLOBAL) {
        globalFree(medium->hGlobal);
    } else if ((medium->tymed == TYMED_ISTREAM || medium->tymed == TYMED_ISTORAGE) && medium->pstm) {
        medium->pstm->Release();
    }
    medium->tymed = TYMED_NULL;
    medium->hGlobal = nullptr;
    medium->pUnkForRelease = nullptr;
}

HRESULT shCreateStdEnumFmtEtc(UINT count, const FORMATETC* formats, IEnumFORMATETC** out)
{
    if (!out || (count && !formats))
        return E_INVALIDARG;
    std::vector<FORMATETC> list(formats, formats + count);
    for (FORMATETC& f : list)
        f.ptd = nullptr;
    *out = new StdEnumFormatEtc(std::move(list));
    return S_OK;
}

IDataObject* createForeignDataObject(std::vector<ForeignFormat> formats)
{
    return new ForeignDataObject(std::move(formats));
}

std::vector<BYTE> foreignTextBytes(const WString& text)
{
    std::vector<BYTE> bytes((text.size() + 1) * 2, 0);
    std::memcpy(bytes.data(), text.data(), text.size() * 2);
    return bytes;
}

std::vector<BYTE> foreignFileListBytes(const std::vector<WString>& paths, bool wide)
{
    std::vector<BYTE> bytes(20, 0);
    bytes[0] = 20;
    bytes[16] = wide ? 1 : 0;
    for (const WString& path : paths) {
        for (WChar c : path) {
            bytes.push_back(static_cast<BYTE>(c & 0xFF));
            if (wide)
                bytes.push_back(static_cast<BYTE>(c >> 8));
        }
        bytes.insert(bytes.end(), wide ? 2 : 1, 0);
    }
    bytes.insert(bytes.end(), wide ? 2 : 1, 0);
    return bytes;
}

// ---- Clipboard --------------------------------------------------------------------------

HRESULT oleSetClipboard(IDataObject* data)
{
    OleState& s = state();
    IDataObject* old = nullptr;
    if (data)
        data->AddRef();
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        old = s.clipboard;
        s.clipboard = data;
        ++s.clipboardSets;
    }
    if (old)
        old->Release();
    return S_OK;
}

HRESULT oleGetClipboard(IDataObject** data)
{
    if (!data)
        return E_POINTER;
    OleState& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    *data = s.clipboard;
    if (!s.clipboard)
        return CLIPBRD_E_BAD_DATA;
    s.clipboard->AddRef();
    return S_OK;
}

ClipboardScope::ClipboardScope()
{
    oleSetClipboard(nullptr);
    std::lock_guard<std::mutex> lock(state().mutex);
    state().clipboardSets = 0;
}

ClipboardScope::~ClipboardScope() { oleSetClipboard(nullptr); }

int ClipboardScope::setCount() const
{
    std::lock_guard<std::mutex> lock(state().mutex);
    return state().clipboardSets;
}

namespace {
void offer(IDataObject* data)
{
    IDataObject* old = nullptr;
    {
        std::lock_guard<std::mutex> lock(state().mutex);
        old = state().clipboard;
        state().clipboard = data;  // takes the creation reference
    }
    if (old)
        old->Release();
}
}  // namespace

void ClipboardScope::offerText(const WString& text)
{
    offer(createForeignDataObject({{CF_UNICODETEXT, foreignTextBytes(text)}}));
}

void ClipboardScope::offerFileList(const std::vector<WString>& paths, bool wide)
{
    offer(createForeignDataObject({{CF_HDROP, foreignFileListBytes(paths, wide)}}));
}

// ---- Files dropped ----------------------------------------------------------------------

UINT dragQueryFileW(HDROP drop, UINT index, WChar* buffer, UINT size)
{
    const std::size_t bytes = globalSize(drop);
    const BYTE* p = static_cast<const BYTE*>(globalLock(drop));
    if (!p || bytes < 20)
        return 0;
    DWORD offset = 0, wide = 0;
    std::memcpy(&offset, p, 4);
    std::memcpy(&wide, p + 16, 4);
    const std::size_t unit = wide ? 2 : 1;
    std::size_t at = offset;
    UINT count = 0;
    UINT result = 0;
    while (offset >= 20 && at + unit <= bytes) {
        WString name;
        bool whole = false;
        while (at + unit <= bytes) {
            WChar c = wide ? static_cast<WChar>(p[at] | p[at + 1] << 8) : static_cast<WChar>(p[at]);
            at += unit;
            if (c == 0) {
                whole = true;
                break;
            }
            name.push_back(c);
        }
        if (!whole || name.empty())
            break;
        if (count == index) {
            result = static_cast<UINT>(name.size());
            if (buffer && size > 0) {
                std::size_t n = std::min<std::size_t>(name.size(), size - 1);
                std::memcpy(buffer, name.data(), n * 2);
                buffer[n] = 0;
                result = static_cast<UINT>(n);
            }
        }
        ++count;
    }
    globalUnlock(drop);
    return index == 0xFFFFFFFFu ? count : result;
}

// ---- Drop targets -----------------------------------------------------------------------

HRESULT registerDragDrop(HWND hwnd, IDropTarget* target)
{
    if (!isWindow(hwnd))
        return DRAGDROP_E_INVALIDHWND;
    if (!target)
        return E_INVALIDARG;
    OleState& s = state();
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        if (s.targets.count(hwnd))
            return DRAGDROP_E_ALREADYREGISTERED;
        s.targets[hwnd] = target;
    }
    target->AddRef();
    return S_OK;
}

HRESULT revokeDragDrop(HWND hwnd)
{
    OleState& s = state();
    IDropTarget* target = nullptr;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        auto it = s.targets.find(hwnd);
        if (it == s.targets.end())
            return DRAGDROP_E_NOTREGISTERED;
        target = it->second;
        s.targets.erase(it);
    }
    target->Release();
    return S_OK;
}

IDropTarget* registeredDropTarget(HWND hwnd)
{
    OleState& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    auto it = s.targets.find(hwnd);
    return it == s.targets.end() ? nullptr : it->second;
}

// ---- Drags ------------------------------------------------------------------------------

struct DragScript::State {
    enum Kind { Move, Escape, Release };
    struct Step {
        Kind kind;
        HWND hwnd;
        POINT point;
        DWORD keys;
    };
    std::vector<Step> steps;
    int drags = 0;
    std::vector<DWORD> feedback;
};

DragScript::DragScript() : mState(std::make_shared<State>())
{
    std::lock_guard<std::mutex> lock(state().mutex);
    state().scripts.push_back(mState.get());
}

DragScript::~DragScript()
{
    std::lock_guard<std::mutex> lock(state().mutex);
    auto& list = state().scripts;
    for (auto it = list.begin(); it != list.end(); ++it) {
        if (*it == mState.get()) {
            list.erase(it);
            break;
        }
    }
}

DragScript& DragScript::moveTo(HWND hwnd, POINT screen, DWORD keyState)
{
    mState->steps.push_back({State::Move, hwnd, screen, keyState});
    return *this;
}

DragScript& DragScript::pressEscape()
{
    mState->steps.push_back({State::Escape, nullptr, {0, 0}, MK_LBUTTON});
    return *this;
}

DragScript& DragScript::release(DWORD keyState)
{
    mState->steps.push_back({State::Release, nullptr, {0, 0}, keyState});
    return *this;
}

int DragScript::dragCount() const { return mState->drags; }
std::vector<DWORD> DragScript::feedback() const { return mState->feedback; }

HRESULT doDragDrop(IDataObject* data, IDropSource* source, DWORD allowed, DWORD* effect)
{
    if (!data || !source || !effect)
        return E_INVALIDARG;
    *effect = DROPEFFECT_NONE;
    DragScript::State* script = nullptr;
    {
        std::lock_guard<std::mutex> lock(state().mutex);
        if (!state().scripts.empty())
            script = state().scripts.back();
    }
    if (!script)
        return DRAGDROP_S_CANCEL;
    ++script->drags;
    script->feedback.clear();

    using State = DragScript::State;
    IDropTarget* current = nullptr;
    POINTL point{0, 0};
    DWORD keys = MK_LBUTTON;
    DWORD accepted = DROPEFFECT_NONE;
    auto leaveCurrent = [&] {
        if (current) {
            current->DragLeave();
            current->Release();
            current = nullptr;
        }
    };
    // The steps, then one release; a source that wants to go on after that is cancelled.
    const std::size_t steps = script->steps.size();
    for (std::size_t i = 0; i <= steps; ++i) {
        State::Step step = i < steps ? script->steps[i] : State::Step{State::Release, nullptr, {0, 0}, 0};
        if (step.kind != State::Escape)
            keys = step.keys;
        HRESULT answer = source->QueryContinueDrag(step.kind == State::Escape, keys);
        if (answer == DRAGDROP_S_CANCEL)
            break;
        if (answer == DRAGDROP_S_DROP) {
            if (current) {
                DWORD e = allowed;
                IDropTarget* target = current;
                current = nullptr;
                if (target->Drop(data, keys, point, &e) == S_OK)
                    *effect = e & (allowed | DROPEFFECT_SCROLL) & ~DROPEFFECT_SCROLL;
                target->Release();
            }
            return DRAGDROP_S_DROP;
        }
        if (step.kind == State::Move) {
            point = {step.point.x, step.point.y};
            IDropTarget* target = step.hwnd ? registeredDropTarget(step.hwnd) : nullptr;
            DWORD e = allowed;
            if (target != current) {
                leaveCurrent();
                current = target;
                if (current) {
                    current->AddRef();
                    if (current->DragEnter(data, keys, point, &e) != S_OK)
                        e = DROPEFFECT_NONE;
                }
            } else if (current && current->DragOver(keys, point, &e) != S_OK) {
                e = DROPEFFECT_NONE;
            }
            accepted = current ? e : DROPEFFECT_NONE;
            script->feedback.push_back(accepted);
            source->GiveFeedback(accepted);
        }
    }
    leaveCurrent();
    return DRAGDROP_S_CANCEL;
}

IncomingDrag::IncomingDrag(HWND hwnd, IDataObject* data, DWORD allowed) : mHwnd(hwnd), mData(data), mAllowed(allowed)
{
    if (mData)
        mData->AddRef();
}

IncomingDrag::~IncomingDrag()
{
    if (mInside)
        leave();
    if (mData)
        mData->Release();
}

DWORD IncomingDrag::enter(POINT screen, DWORD keyState)
{
    IDropTarget* target = registeredDropTarget(mHwnd);
    if (!target)
        return DROPEFFECT_NONE;
    DWORD e = mAllowed;
    mInside = true;
    return target->DragEnter(mData, keyState, {screen.x, screen.y}, &e) == S_OK ? e : DROPEFFECT_NONE;
}

DWORD IncomingDrag::over(POINT screen, DWORD keyState)
{
    IDropTarget* target = registeredDropTarget(mHwnd);
    if (!target || !mInside)
        return DROPEFFECT_NONE;
    DWORD e = mAllowed;
    return target->DragOver(keyState, {screen.x, screen.y}, &e) == S_OK ? e : DROPEFFECT_NONE;
}

void IncomingDrag::leave()
{
    IDropTarget* target = registeredDropTarget(mHwnd);
    if (target && mInside)
        target->DragLeave();
    mInside = false;
}

DWORD IncomingDrag::drop(POINT screen, DWORD keyState)
{
    IDropTarget* target = registeredDropTarget(mHwnd);
    if (!target || !mInside)
        return DROPEFFECT_NONE;
    mInside = false;
    DWORD e = mAllowed;
    return target->Drop(mData, keyState, {screen.x, screen.y}, &e) == S_OK ? e : DROPEFFECT_NONE;
}

// ---- Drag-image service -----------------------------------------------------------------

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
}

int dragImageServicesAlive() { return state().imageServices; }

DragImageFaultScope::DragImageFaultScope() { ++state().imageFaults; }
DragImageFaultScope::~DragImageFaultScope() { --state().imageFaults; }

}  // namespace HA::OS
