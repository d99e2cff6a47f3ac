#pragma once
// The data object handed to the clipboard and to drags: the formats it carries, each with its
// global-memory block. It begins with no reference; the holder takes the first. User-interface
// thread only.

#include <utility>
#include <vector>

#include "os/shell/Ole.h"

namespace HA::UIA {

class ClipBoardFormat;

namespace DETAIL {

class DirectDataObject final : public OS::IDataObject {
public:
    // Encodes the format; when that fails the object carries nothing.
    explicit DirectDataObject(ClipBoardFormat& format);

    OS::HRESULT QueryInterface(const OS::GUID& iid, void** object) override;
    OS::ULONG AddRef() override;
    OS::ULONG Release() override;

    OS::HRESULT GetData(OS::FORMATETC* format, OS::STGMEDIUM* medium) override;
    OS::HRESULT GetDataHere(OS::FORMATETC* format, OS::STGMEDIUM* medium) override;
    OS::HRESULT QueryGetData(OS::FORMATETC* format) override;
    OS::HRESULT GetCanonicalFormatEtc(OS::FORMATETC* in, OS::FORMATETC* out) override;
    OS::HRESULT SetData(OS::FORMATETC* format, OS::STGMEDIUM* medium, OS::BOOL release) override;
    OS::HRESULT EnumFormatEtc(OS::DWORD direction, OS::IEnumFORMATETC** out) override;
    OS::HRESULT DAdvise(OS::FORMATETC* format, OS::DWORD flags, OS::IUnknown* sink, OS::DWORD* connection) override;
    OS::HRESULT DUnadvise(OS::DWORD connection) override;
    OS::HRESULT EnumDAdvise(OS::IUnknown** out) override;

    std::size_t entryCount() const { return mEntries.size(); }

private:
    struct Entry {
        OS::FORMATETC format;
        OS::STGMEDIUM medium;
    };
    ~DirectDataObject();
    OS::HRESULT find(const OS::FORMATETC* format, bool add, Entry** entry);

    std::vector<Entry> mEntries;
    OS::ULONG mRefs = 0;
};

}  // namespace DETAIL

// Owns one reference to a data object (ours or another program's).
class DataObjectHolder {
public:
    explicit DataObjectHolder(OS::IDataObject* object = nullptr);
    ~DataObjectHolder();
    DataObjectHolder(const DataObjectHolder&) = delete;
    DataObjectHolder& operator=(const DataObjectHolder&) = delete;

    OS::IDataObject* get() const { return mObject; }
    // Whether the object offers the format id as a global-memory block.
    bool hasFormat(unsigned formatId) const;
    // Reads the format from the object; false when the object lacks it or it does not decode.
    bool readFormat(ClipBoardFormat& format) const;

private:
    OS::IDataObject* mObject;
};

}  // namespace HA::UIA
