#pragma once
// Data transfer of the stand-in: global memory blocks, clipboard formats, the object
// interfaces of data objects, drop targets and drop sources, the one clipboard of the
// process, drop-target registration per window, the drag-image service and the drag loop.
//
// Nothing here has a display: without a script an outgoing drag ends at once without a
// drop. Tests drive drags with an IncomingDrag (another program drags data over one of our
// windows) and a DragScript (what the user does during one of our drags), and use a
// ClipboardScope for a clipboard that is empty at its start. User-interface thread only.

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "os/kernel/TaskMemory.h"
#include "os/shell/Com.h"
#include "os/windows/drawing/Drawing.h"
#include "os/windows/Window.h"

namespace HA::OS {

using ULONG = std::uint32_t;

// Result codes.
constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001u);
constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002u);
constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003u);
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
constexpr HRESULT OLE_E_ADVISENOTSUPPORTED = static_cast<HRESULT>(0x80040003u);
constexpr HRESULT DV_E_FORMATETC = static_cast<HRESULT>(0x80040064u);
constexpr HRESULT DV_E_DVTARGETDEVICE = static_cast<HRESULT>(0x80040065u);
constexpr HRESULT DV_E_LINDEX = static_cast<HRESULT>(0x80040068u);
constexpr HRESULT DV_E_TYMED = static_cast<HRESULT>(0x80040069u);
constexpr HRESULT DATA_S_SAMEFORMATETC = 0x00040130;
constexpr HRESULT CLIPBRD_E_BAD_DATA = static_cast<HRESULT>(0x800401D3u);
constexpr HRESULT DRAGDROP_E_NOTREGISTERED = static_cast<HRESULT>(0x80040100u);
constexpr HRESULT DRAGDROP_E_ALREADYREGISTERED = static_cast<HRESULT>(0x80040101u);
constexpr HRESULT DRAGDROP_E_INVALIDHWND = static_cast<HRESULT>(0x80040102u);
constexpr HRESULT DRAGDROP_S_DROP = 0x00040100;
constexpr HRESULT DRAGDROP_S_CANCEL = 0x00040101;
constexpr HRESULT DRAGDROP_S_USEDEFAULTCURSORS = 0x00040102;
constexpr HRESULT REGDB_E_CLASSNOTREG = static_cast<HRESULT>(0x80040154u);

// ---- Global memory ----------------------------------------------------------------------
using HGLOBAL = HANDLE;
constexpr UINT GMEM_FIXED = 0x0000;
constexpr UINT GMEM_MOVEABLE = 0x0002;
constexpr UINT GMEM_ZEROINIT = 0x0040;
constexpr UINT GHND = GMEM_MOVEABLE | GMEM_ZEROINIT;
constexpr UINT GPTR = GMEM_FIXED | GMEM_ZEROINIT;

// A block of `bytes` (zeroed with GMEM_ZEROINIT); null when refused (see GlobalMemoryFaultScope).
HGLOBAL globalAlloc(UINT flags, std::size_t bytes);
// The block's bytes (null for an unknown handle); every lock wants an unlock.
void* globalLock(HGLOBAL block);
bool globalUnlock(HGLOBAL block);
// The requested size; 0 for an unknown handle.
std::size_t globalSize(HGLOBAL block);
// Null on success, else the handle.
HGLOBAL globalFree(HGLOBAL block);
// Blocks alive in the process (tests watch for leaks and double frees).
std::size_t globalBlockCount();

// Refuses every globalAlloc of its life.
class GlobalMemoryFaultScope {
public:
    GlobalMemoryFaultScope();
    ~GlobalMemoryFaultScope();
    GlobalMemoryFaultScope(const GlobalMemoryFaultScope&) = delete;
    GlobalMemoryFaultScope& operator=(const GlobalMemoryFaultScope&) = delete;
};

// ---- Clipboard formats ------------------------------------------------------------------
using CLIPFORMAT = WORD;
constexpr CLIPFORMAT CF_UNICODETEXT = 13;
constexpr CLIPFORMAT CF_HDROP = 15;

// The id of a named format, the same for the same name (0xC000 and up); 0 for an empty name.
UINT registerClipboardFormat(const std::string& name);

// ---- Object interfaces ------------------------------------------------------------------
extern const GUID IID_IUnknown;
extern const GUID IID_IDataObject;
extern const GUID IID_IEnumFORMATETC;
extern const GUID IID_IDropTarget;
extern const GUID IID_IDropSource;
extern const GUID IID_IDropTargetHelper;
extern const GUID IID_IDragSourceHelper;
extern const GUID CLSID_DragDropHelper;

class IUnknown {
public:
    virtual HRESULT QueryInterface(const GUID& iid, void** object) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;

protected:
    ~IUnknown() = default;
};

constexpr DWORD DVASPECT_CONTENT = 1;
constexpr DWORD TYMED_NULL = 0;
constexpr DWORD TYMED_HGLOBAL = 1;
constexpr DWORD TYMED_ISTREAM = 4;
constexpr DWORD TYMED_ISTORAGE = 8;
constexpr DWORD DATADIR_GET = 1;
constexpr DWORD DATADIR_SET = 2;

struct DVTARGETDEVICE {
    DWORD tdSize;
};

struct FORMATETC {
    CLIPFORMAT cfFormat;
    DVTARGETDEVICE* ptd;
    DWORD dwAspect;
    LONG lindex;
    DWORD tymed;
};

struct STGMEDIUM {
    DWORD tymed;
    union {
        HGLOBAL hGlobal;
        IUnknown* pstm;  // streams
        IUnknown* pstg;  // storages
    };
    IUnknown* pUnkForRelease;
};

// Target devices are task memory (os/kernel/TaskMemory.h).
// Releases the medium: through pUnkForRelease when set, else frees its block or releases its
// stream or storage; the medium becomes TYMED_NULL.
void releaseStgMedium(STGMEDIUM* medium);

class IEnumFORMATETC : public IUnknown {
public:
    virtual HRESULT Next(ULONG count, FORMATETC* out, ULONG* fetched) = 0;
    virtual HRESULT Skip(ULONG count) = 0;
    virtual HRESULT Reset() = 0;
    virtual HRESULT Clone(IEnumFORMATETC** out) = 0;
};

// The shell's standard enumerator over copies of the formats (target devices not copied).
HRESULT shCreateStdEnumFmtEtc(UINT count, const FORMATETC* formats, IEnumFORMATETC** out);

class IDataObject : public IUnknown {
public:
    virtual HRESULT GetData(FORMATETC* format, STGMEDIUM* medium) = 0;
    virtual HRESULT GetDataHere(FORMATETC* format, STGMEDIUM* medium) = 0;
    virtual HRESULT QueryGetData(FORMATETC* format) = 0;
    virtual HRESULT GetCanonicalFormatEtc(FORMATETC* in, FORMATETC* out) = 0;
    virtual HRESULT SetData(FORMATETC* format, STGMEDIUM* medium, BOOL release) = 0;
    virtual HRESULT EnumFormatEtc(DWORD direction, IEnumFORMATETC** out) = 0;
    virtual HRESULT DAdvise(FORMATETC* format, DWORD flags, IUnknown* sink, DWORD* connection) = 0;
    virtual HRESULT DUnadvise(DWORD connection) = 0;
    virtual HRESULT EnumDAdvise(IUnknown** out) = 0;
};

// Another program's data object (reference count 1): each format a global block of its bytes.
struct ForeignFormat {
    CLIPFORMAT format;
    std::vector<BYTE> bytes;
};
IDataObject* createForeignDataObject(std::vector<ForeignFormat> formats);
// The bytes of another program's text (UTF-16 with a zero unit) and file list (a DROPFILES
// block with wide or 8-bit names).
std::vector<BYTE> foreignTextBytes(const WString& text);
std::vector<BYTE> foreignFileListBytes(const std::vector<WString>& paths, bool wide = true);

// ---- Clipboard --------------------------------------------------------------------------
// The process's clipboard holds one data object (one reference); null empties it.
HRESULT oleSetClipboard(IDataObject* data);
// The held data object with a reference for the caller; CLIPBRD_E_BAD_DATA and null when empty.
HRESULT oleGetClipboard(IDataObject** data);

// A clipboard that is empty at the start and emptied at the end of the scope; it records
// every data object set, and can offer what another program copied.
class ClipboardScope {
public:
    ClipboardScope();
    ~ClipboardScope();
    ClipboardScope(const ClipboardScope&) = delete;
    ClipboardScope& operator=(const ClipboardScope&) = delete;

    // Calls of oleSetClipboard in this scope.
    int setCount() const;
    void offerText(const WString& text);
    void offerFileList(const std::vector<WString>& paths, bool wide = true);
};

// ---- Files dropped ----------------------------------------------------------------------
using HDROP = HGLOBAL;
// With index 0xFFFFFFFF: the number of names in the DROPFILES block (only whole names inside
// the block count); 0 for a broken block.
UINT dragQueryFileW(HDROP drop, UINT index, WChar* buffer, UINT size);

// ---- Drop targets and sources -----------------------------------------------------------
constexpr DWORD DROPEFFECT_NONE = 0;
constexpr DWORD DROPEFFECT_COPY = 1;
constexpr DWORD DROPEFFECT_MOVE = 2;
constexpr DWORD DROPEFFECT_LINK = 4;
constexpr DWORD DROPEFFECT_SCROLL = 0x80000000u;

// Key states of drags: the mouse key states (MK_LBUTTON ...) and Alt.
constexpr DWORD MK_ALT = 0x20;

struct POINTL {
    LONG x;
    LONG y;
};

class IDropTarget : public IUnknown {
public:
    virtual HRESULT DragEnter(IDataObject* data, DWORD keyState, POINTL point, DWORD* effect) = 0;
    virtual HRESULT DragOver(DWORD keyState, POINTL point, DWORD* effect) = 0;
    virtual HRESULT DragLeave() = 0;
    virtual HRESULT Drop(IDataObject* data, DWORD keyState, POINTL point, DWORD* effect) = 0;
};

class IDropSource : public IUnknown {
public:
    virtual HRESULT QueryContinueDrag(BOOL escapePressed, DWORD keyState) = 0;
    virtual HRESULT GiveFeedback(DWORD effect) = 0;
};

// The window's drop target gets a reference; DRAGDROP_E_INVALIDHWND for a window that does
// not exist, DRAGDROP_E_ALREADYREGISTERED for the second registration.
HRESULT registerDragDrop(HWND hwnd, IDropTarget* target);
HRESULT revokeDragDrop(HWND hwnd);
// The registered target (no reference), or null.
IDropTarget* registeredDropTarget(HWND hwnd);

// The modal drag loop. Asks the source, moves over the registered targets and drops or
// cancels as the newest DragScript says; without a script it ends at once: DRAGDROP_S_CANCEL
// and DROPEFFECT_NONE. The targets get the effects `allowed`.
HRESULT doDragDrop(IDataObject* data, IDropSource* source, DWORD allowed, DWORD* effect);

// What the user does during our drags, one step after another; runs out into a release.
// Scripts nest: the newest one is used. Points are screen coordinates; `hwnd` null: over no
// window of ours.
class DragScript {
public:
    DragScript();
    ~DragScript();
    DragScript(const DragScript&) = delete;
    DragScript& operator=(const DragScript&) = delete;

    DragScript& moveTo(HWND hwnd, POINT screen, DWORD keyState = MK_LBUTTON);
    DragScript& pressEscape();
    // Releases the buttons over the last point (or another one).
    DragScript& release(DWORD keyState = 0);

    // Drags run under this script; and the effects the last one's source was told (feedback).
    int dragCount() const;
    std::vector<DWORD> feedback() const;

    struct State;

private:
    std::shared_ptr<State> mState;
};

// Another program drags a data object over one of our windows; it talks to the window's
// registered drop target. Every answer is the effect the target returned (DROPEFFECT_NONE
// and nothing called when the window has no target). Ends with a leave unless dropped.
class IncomingDrag {
public:
    IncomingDrag(HWND hwnd, IDataObject* data, DWORD allowed);
    ~IncomingDrag();
    IncomingDrag(const IncomingDrag&) = delete;
    IncomingDrag& operator=(const IncomingDrag&) = delete;

    DWORD enter(POINT screen, DWORD keyState = MK_LBUTTON);
    DWORD over(POINT screen, DWORD keyState = MK_LBUTTON);
    void leave();
    DWORD drop(POINT screen, DWORD keyState = 0);

private:
    HWND mHwnd;
    IDataObject* mData;
    DWORD mAllowed;
    bool mInside = false;
};

// ---- The drag-image service -------------------------------------------------------------
struct SHDRAGIMAGE {
    SIZE sizeDragImage;
    POINT ptOffset;
    HBITMAP hbmpDragImage;
    COLORREF crColorKey;
};
constexpr COLORREF CLR_NONE = 0xFFFFFFFFu;

class IDropTargetHelper : public IUnknown {
public:
    virtual HRESULT DragEnter(HWND hwnd, IDataObject* data, POINT* point, DWORD effect) = 0;
    virtual HRESULT DragLeave() = 0;
    virtual HRESULT DragOver(POINT* point, DWORD effect) = 0;
    virtual HRESULT Drop(IDataObject* data, POINT* point, DWORD effect) = 0;
    virtual HRESULT Show(BOOL show) = 0;
};

class IDragSourceHelper : public IUnknown {
public:
    // Takes the bitmap when it succeeds.
    virtual HRESULT InitializeFromBitmap(SHDRAGIMAGE* image, IDataObject* data) = 0;
    virtual HRESULT InitializeFromWindow(HWND hwnd, POINT* point, IDataObject* data) = 0;
};

constexpr DWORD CLSCTX_INPROC_SERVER = 0x1;
// Makes the drag-image service (CLSID_DragDropHelper) for either interface; REGDB_E_CLASSNOTREG
// for other classes, E_NOINTERFACE for other interfaces.
HRESULT coCreateInstance(const GUID& clsid, IUnknown* outer, DWORD context, const GUID& iid, void** object);

// Every call of the drag-image services, as text ("DragEnter 10,20 1", "Show 0",
// "InitializeFromBitmap 16x8 offset 2,3 key 0xC0C0C0", ...), and the services alive.
std::vector<std::string> dragImageCalls();
// Clears the calls and the last image.
void clearDragImageCalls();
// The bitmap of the last InitializeFromBitmap as it was handed over (empty without one).
BitmapPixels lastDragImage();
int dragImageServicesAlive();

// Makes every InitializeFromBitmap of its life fail.
class DragImageFaultScope {
public:
    DragImageFaultScope();
    ~DragImageFaultScope();
    DragImageFaultScope(const DragImageFaultScope&) = delete;
    DragImageFaultScope& operator=(const DragImageFaultScope&) = delete;
};

}  // namespace HA::OS
