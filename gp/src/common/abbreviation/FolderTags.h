#pragma once
// The text abbreviator's folder tags: well-known folders and the short tags that replace them
// at the start of a path, "[" + last component + "]".

#include <cstddef>
#include <map>
#include <string>

namespace HA::GP::DETAIL {

class FolderTagTable {
public:
    // Adds a folder (UTF-8, '\' separated); one trailing '\' is removed first. An empty folder
    // is left out: it would be a prefix of every text.
    void add(std::string folder);
    // The text with the first folder of the table that is a byte prefix of it, that is the
    // longest one, replaced by its tag; the text unchanged when none is.
    std::string apply(const std::string& text) const;
    std::size_t size() const { return mTags.size(); }

private:
    struct tLongestFirst {
        bool operator()(const std::string& a, const std::string& b) const
        {
            return a.size() != b.size() ? a.size() > b.size() : a < b;
        }
    };
    std::map<std::string, std::string, tLongestFirst> mTags;
};

// A table of the platform's special folders (program files, common program files, public
// documents, user profile, documents, music, pictures); a folder the platform cannot give is
// left out.
FolderTagTable makeSpecialFolderTags();
// A table of the known folders (common program files, the home folder, documents, music,
// pictures); a folder that cannot be given is left out.
FolderTagTable makeKnownFolderTags();

// The process-wide tables, made on first use and kept.
const FolderTagTable& specialFolderTags();
const FolderTagTable& knownFolderTags();

}  // namespace HA::GP::DETAIL
