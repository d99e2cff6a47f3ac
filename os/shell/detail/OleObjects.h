#pragma once
// Private to os/shell: what the stand-in's own objects (enumerators, foreign data objects,
// drag-image services) share.

#include "os/shell/Ole.h"

namespace HA::OS::DETAIL {

// Reference counting shared by the stand-in's own objects, each answering IUnknown and its
// one interface `iid`.
template <typename Base, const GUID& iid>
class Counted : public Base {
public:
    HRESULT QueryInterface(const GUID& asked, void** object) override
    {
        if (!object)
            return E_POINTER;
        if (asked == IID_IUnknown || asked == iid) {
            *object = static_cast<Base*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
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

}  // namespace HA::OS::DETAIL
