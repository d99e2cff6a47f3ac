#pragma once
// A stream that owns a file storage (and a container-item storage that nothing opens
// yet); it always reads and writes through the file storage.

#include <cstdint>

#include "gp/src/common/storage/FileContainerItemStorage.h"
#include "gp/src/common/storage/FileStorage.h"
#include "gp/src/common/storage/Stream.h"

namespace HA::GP {

template <class TBase>
class FileStreamBase : public TBase {
public:
    FileStreamBase() { TBase::setStorage(&mFile); }
    // The item storage (and its item) go first, then the file is closed.
    ~FileStreamBase() override = default;

    // See FileStorage::open.
    bool open(const OS::WString& path, std::int32_t mode, std::int32_t lockKind = FileStorage::LockNone)
    {
        return mFile.open(path, mode, lockKind);
    }
    void close() { mFile.close(); }

    FileStorage& getFileStorage() { return mFile; }

private:
    // Declared first, destroyed last.
    FileStorage mFile;
    FileContainerItemStorage mItem;
};

class FileStream : public FileStreamBase<Stream> {
};

}  // namespace HA::GP
