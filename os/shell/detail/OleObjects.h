#pragma once
// Private to os/shell: what the stand-in's own objects (enumerators, foreign data objects,
// drag-image services) share.

#include "os/shell/Ole.h"

namespace HA::OS::DETAIL {

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

}  // namespace HA::OS::DETAIL
