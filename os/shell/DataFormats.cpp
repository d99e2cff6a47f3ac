#include "os/shell/Ole.h"

#include <cstring>
#include <map>
#include <mutex>

#include "os/shell/detail/OleObjects.h"

namespace HA::OS {

namespace {

using DETAIL::Counted;

// Registered format names and the next free number.
struct FormatTable {
    std::mutex mutex;
    std::map<std::string, UINT> formats;
    UINT nextFormat = 0xC000;
};

FormatTable& state()
{
    static auto* s = new FormatTable;
    return *s;
}

class StdEnumFormatEtc final : public Counted<IEnumFORMATETC, IID_IEnumFORMATETC> {
public:
    explicit StdEnumFormatEtc(std::vector<FORMATETC> formats) : mFormats(std::move(formats)) {}
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
class ForeignDataObject final : public Counted<IDataObject, IID_IDataObject> {
public:
    explicit ForeignDataObject(std::vector<ForeignFormat> formats) : mFormats(std::move(formats)) {}
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

}  // namespace

UINT registerClipboardFormat(const std::string& name)
{
    if (name.empty())
        return 0;
    FormatTable& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    auto it = s.formats.find(name);
    if (it != s.formats.end())
        return it->second;
    if (s.nextFormat > 0xFFFF)
        return 0;
    return s.formats[name] = s.nextFormat++;
}

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

}  // namespace HA::OS
