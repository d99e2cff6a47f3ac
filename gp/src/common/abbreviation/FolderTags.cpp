#include "gp/src/common/abbreviation/FolderTags.h"

namespace HA::GP::DETAIL {

void FolderTagTable::add(std::string folder)
{
    if (!folder.empty() && folder.back() == '\\')
        folder.pop_back();
    if (folder.empty())
        return;
    const std::size_t last = folder.rfind('\\');
    std::string tag = "[" + (last == std::string::npos ? folder : folder.substr(last + 1)) + "]";
    mTags.emplace(std::move(folder), std::move(tag));
}

std::string FolderTagTable::apply(const std::string& text) const
{
    for (const auto& [folder, tag] : mTags) {
        if (text.compare(0, folder.size(), folder) == 0)
            return tag + text.substr(folder.size());
    }
    return text;
}

}  // namespace HA::GP::DETAIL
