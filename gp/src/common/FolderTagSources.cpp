#include "gp/src/common/FolderTags.h"

namespace HA::GP::DETAIL {

// FIXME: filled from the platform's folders.
const FolderTagTable& specialFolderTags()
{
    static const FolderTagTable table;
    return table;
}

const FolderTagTable& knownFolderTags()
{
    static const FolderTagTable table;
    return table;
}

}  // namespace HA::GP::DETAIL
