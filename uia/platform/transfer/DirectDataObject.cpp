#include "uia/platform/transfer/DirectDataObject.h"

#include "uia/transfer/ClipBoardFormat.h"

namespace HA::UIA {

namespace DETAIL {

DirectDataObject::DirectDataObject(ClipBoardFormat& format)
{
    OS::oleInitialize();
    OS::HGLOBAL block = nullptr;
    if (format.encode(&block)) {
        Entry entry{};
        entry.format = {static_cast<OS::CLIPFORMAT>(format.getFormatId()), nullptr, OS::DVASPECT_CONTENT, -1,
                        OS::TYMED_HGLOBAL};
        entry.medium.tymed = OS::TYMED_HGLOBAL;
        entry.medium.hGlobal = block;
        entry.medium.pUnkForRelease = nullptr;
        mEntries.push_back(entry);
    }
}

DirectDataObject::~DirectDataObject()
{
    for (Entry& entry : mEntries) {
        OS::coTaskMemFree(entry.format.ptd);
        OS::releaseStgMedium(&entry.medium);
    }
    OS::oleUninitialize();
}

OS::HRESULT DirectDataObject::QueryInterface(const OS::GUID& iid, void** object)
{
    if (!object)
        return OS::E_POINTER;
    if (iid == OS::IID_IUnknown || iid == OS::IID_IDataObject) {
        *object = static_cast<OS::IDataObject*>(this);
        AddRef();
        return OS::S_OK;
    }
    *object = nullptr;
    return OS::E_NOINTERFACE;
}

OS::ULONG DirectDataObject::AddRef() { return ++mRefs; }

OS::ULONG DirectDataObject::Release()
{
    const OS::ULONG left = --mRefs;
    if (left == 0)
        delete this;
    return left;
}

OS::HRESULT DirectDataObject::find(const OS::FORMATETC* format, bool add, Entry** entry)
{
    *entry = nullptr;
    if (!format)
        return OS::E_INVALIDARG;
    if (format->ptd)
        return OS::DV_E_DVTARGETDEVICE;
    for (Entry& e : mEntries) {
        if (e.format.cfFormat == format->cfFormat && e.format.dwAspect == format->dwAspect &&
            e.format.lindex == format->lindex) {
            if (add || (e.medium.tymed & format->tymed)) {
                *entry = &e;
                return OS::S_OK;
            }
            return OS::DV_E_TYMED;
        }
    }
    if (!add)
        return OS::DV_E_FORMATETC;
    Entry e{};
    e.format = *format;
    e.medium.tymed = OS::TYMED_NULL;
    e.medium.hGlobal = nullptr;
    e.medium.pUnkForRelease = nullptr;
    mEntries.push_back(e);
    *entry = &mEntries.back();
    return OS::S_OK;
}

OS::HRESULT DirectDataObject::GetData(OS::FORMATETC* format, OS::STGMEDIUM* medium)
{
    if (!medium)
        return OS::E_POINTER;
    Entry* entry = nullptr;
    OS::HRESULT hr = find(format, false, &entry);
    if (hr != OS::S_OK)
        return OS::DV_E_FORMATETC;
    // The copy shares the block; whoever releases it releases us, never the block.
    *medium = entry->medium;
    if (entry->medium.tymed == OS::TYMED_ISTREAM || entry->medium.tymed == OS::TYMED_ISTORAGE) {
        if (medium->pstm)
            medium->pstm->AddRef();
        if (medium->pUnkForRelease)
            medium->pUnkForRelease->AddRef();
    } else if (medium->pUnkForRelease) {
        medium->pUnkForRelease->AddRef();
    } else {
        medium->pUnkForRelease = static_cast<OS::IDataObject*>(this);
        AddRef();
    }
    return OS::S_OK;
}

OS::HRESULT DirectDataObject::GetDataHere(OS::FORMATETC*, OS::STGMEDIUM*) { return OS::DV_E_FORMATETC; }

OS::HRESULT DirectDataObject::QueryGetData(OS::FORMATETC* format)
{
    Entry* entry = nullptr;
    return find(format, false, &entry);
}

OS::HRESULT DirectDataObject::GetCanonicalFormatEtc(OS::FORMATETC* in, OS::FORMATETC* out)
{
    if (!in || !out)
        return OS::DV_E_FORMATETC;
    *out = *in;
    out->ptd = nullptr;
    return in->lindex == -1 ? OS::DATA_S_SAMEFORMATETC : OS::DV_E_LINDEX;
}

OS::HRESULT DirectDataObject::SetData(OS::FORMATETC* format, OS::STGMEDIUM* medium, OS::BOOL release)
{
    if (!release)
        return OS::E_NOTIMPL;
    if (!medium)
        return OS::E_INVALIDARG;
    Entry* entry = nullptr;
    OS::HRESULT hr = find(format, true, &entry);
    if (hr != OS::S_OK)
        return hr;
    OS::releaseStgMedium(&entry->medium);
    entry->medium = *medium;
    // A medium that would release through us would keep us alive for ever.
    if (entry->medium.pUnkForRelease == static_cast<OS::IUnknown*>(static_cast<OS::IDataObject*>(this))) {
        entry->medium.pUnkForRelease = nullptr;
        Release();
    }
    return OS::S_OK;
}

OS::HRESULT DirectDataObject::EnumFormatEtc(OS::DWORD direction, OS::IEnumFORMATETC** out)
{
    if (direction != OS::DATADIR_GET || mEntries.empty())
        return OS::E_NOTIMPL;
    std::vector<OS::FORMATETC> formats;
    for (const Entry& e : mEntries)
        formats.push_back(e.format);
    return OS::shCreateStdEnumFmtEtc(static_cast<OS::UINT>(formats.size()), formats.data(), out);
}

OS::HRESULT DirectDataObject::DAdvise(OS::FORMATETC*, OS::DWORD, OS::IUnknown*, OS::DWORD*)
{
    return OS::OLE_E_ADVISENOTSUPPORTED;
}

OS::HRESULT DirectDataObject::DUnadvise(OS::DWORD) { return OS::OLE_E_ADVISENOTSUPPORTED; }

OS::HRESULT DirectDataObject::EnumDAdvise(OS::IUnknown**) { return OS::OLE_E_ADVISENOTSUPPORTED; }

}  // namespace DETAIL

DataObjectHolder::DataObjectHolder(OS::IDataObject* object) : mObject(object)
{
    if (mObject)
        mObject->AddRef();
}

DataObjectHolder::~DataObjectHolder()
{
    if (mObject)
        mObject->Release();
}

bool DataObjectHolder::hasFormat(unsigned formatId) const
{
    if (!mObject)
        return false;
    OS::FORMATETC f{static_cast<OS::CLIPFORMAT>(formatId), nullptr, OS::DVASPECT_CONTENT, -1, OS::TYMED_HGLOBAL};
    return mObject->QueryGetData(&f) == OS::S_OK;
}

bool DataObjectHolder::readFormat(ClipBoardFormat& format) const
{
    if (!mObject)
        return false;
    OS::FORMATETC f{static_cast<OS::CLIPFORMAT>(format.getFormatId()), nullptr, OS::DVASPECT_CONTENT, -1,
                    OS::TYMED_HGLOBAL};
    if (mObject->QueryGetData(&f) != OS::S_OK)
        return false;
    OS::STGMEDIUM medium{};
    if (mObject->GetData(&f, &medium) != OS::S_OK)
        return false;
    const bool ok = medium.tymed == OS::TYMED_HGLOBAL && format.decode(medium.hGlobal);
    // Through its release interface when it has one, else the block is ours to free.
    OS::releaseStgMedium(&medium);
    return ok;
}

}  // namespace HA::UIA
