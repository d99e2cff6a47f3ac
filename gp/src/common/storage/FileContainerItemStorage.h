#pragma once
// A window onto a container file that also owns the container's item object, which
// goes with the storage.

#include <cstdint>
#include <memory>

#include "gp/src/common/storage/RangeLimitingStorage.h"

namespace HA::GP {

// An item of a file container; the storage deletes it through this base.
class FileContainerItem {
public:
    virtual ~FileContainerItem() = default;
};

class FileContainerItemStorage : public RangeLimitingStorage {
public:
    FileContainerItemStorage() = default;
    ~FileContainerItemStorage() override;

    // Takes the item and its value; the storage is the item's only owner.
    void setItem(std::unique_ptr<FileContainerItem> item, std::uint32_t value);
    FileContainerItem* getItem() const { return mItem.get(); }
    std::uint32_t getItemValue() const { return mItemValue; }

private:
    std::unique_ptr<FileContainerItem> mItem;
    std::uint32_t mItemValue = 0;
};

}  // namespace HA::GP
