#include "gp/src/common/storage/FileContainerItemStorage.h"

namespace HA::GP {

FileContainerItemStorage::~FileContainerItemStorage()
{
    // The window goes first: it may read through the item's file.
    close();
}

void FileContainerItemStorage::setItem(std::unique_ptr<FileContainerItem> item, std::uint32_t value)
{
    mItem = std::move(item);
    mItemValue = value;
}

}  // namespace HA::GP
