#include "gp/src/common/files/FilePath.h"

#include <algorithm>

#include "gp/src/common/files/FileType.h"
#include "gp/src/common/text/Utf8.h"

namespace HA::GP {

namespace {

// The platform's splitter writes each part into a buffer of this many units.
constexpr size_t kMaxPartUnits = 10000;

bool isSeparator(char16_t c) { return c == u'\\' || c == u'/'; }

// A part as the splitter stores it: cut to its buffer, never between the halves of a
// surrogate pair.
std::u16string cutPart(std::u16string_view part)
{
    if (part.size() <= kMaxPartUnits)
        return std::u16string(part);
    size_t length = kMaxPartUnits;
    if (part[length - 1] >= 0xD800 && part[length - 1] <= 0xDBFF)
        --length;
    return std::u16string(part.substr(0, length));
}

struct Parts {
    std::u16string drive;
    std::u16string folder;
    std::u16string name;
    std::u16string extension;
};

// Folder, name and extension of a path without its drive: the folder runs to the last
// separator, the extension from the last dot after it.
void splitAfterDrive(std::u16string_view rest, Parts& parts)
{
    size_t nameStart = 0;
    for (size_t i = rest.size(); i > 0; --i) {
        if (isSeparator(rest[i - 1])) {
            nameStart = i;
            break;
        }
    }
    parts.folder = cutPart(rest.substr(0, nameStart));
    std::u16string_view file = rest.substr(nameStart);
    size_t dot = file.rfind(u'.');
    if (dot == std::u16string_view::npos)
        dot = file.size();
    parts.name = cutPart(file.substr(0, dot));
    parts.extension = cutPart(file.substr(dot));
}

Parts splitPath(std::u16string_view path)
{
    Parts parts;
    if (path.size() >= 2 && isSeparator(path[0]) && isSeparator(path[1])) {
        // Network path: the drive is '\\server\share'.
        size_t afterServer = path.size();
        for (size_t i = 2; i < path.size(); ++i) {
            if (isSeparator(path[i])) {
                afterServer = i;
                break;
            }
        }
        size_t afterShare = path.size();
        for (size_t i = afterServer + 1; i < path.size(); ++i) {
            if (isSeparator(path[i])) {
                afterShare = i;
                break;
            }
        }
        parts.drive = cutPart(path.substr(0, afterShare));
        if (afterShare < path.size())
            splitAfterDrive(path.substr(afterShare), parts);
        return parts;
    }
    size_t driveLength = (path.size() >= 2 && path[1] == u':') ? 2 : 0;
    parts.drive = std::u16string(path.substr(0, driveLength));
    splitAfterDrive(path.substr(driveLength), parts);
    return parts;
}

bool isVolumeText(const std::string& text)
{
    if (text.size() != 2 || text[1] != ':')
        return false;
    char c = text[0];
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

}  // namespace

FilePath::FilePath() = default;

FilePath::FilePath(const std::string& utf8) : mFull(utf8) { parse(); }

FilePath::FilePath(const std::u16string& utf16) : mFull(toNarrowPath(utf16)) { parse(); }

FilePath::FilePath(const FilePath& other)
    : mFull(other.mFull),
      mDrive(other.mDrive),
      mFolder(other.mFolder),
      mName(other.mName),
      mExtension(other.mExtension),
      mAnnotation(other.mAnnotation),
      mType(other.mType),
      mKind(other.mKind),
      mParent(other.mParent ? std::make_unique<FilePath>(*other.mParent) : nullptr),
      mRelative(other.mRelative)
{
}

FilePath& FilePath::operator=(const FilePath& other)
{
    if (this != &other) {
        FilePath copy(other);
        *this = std::move(copy);
    }
    return *this;
}

FilePath::FilePath(FilePath&& other) noexcept = default;
FilePath& FilePath::operator=(FilePath&& other) noexcept = default;
FilePath::~FilePath() = default;

void FilePath::clear()
{
    mFull.clear();
    mDrive.clear();
    mFolder.clear();
    mName.clear();
    mExtension.clear();
    mAnnotation.clear();
    mType = nullptr;
    mKind = eKind::None;
    mParent.reset();
    mRelative = false;
}

bool FilePath::assign(const std::string& utf8)
{
    // A new path: nothing of the old one (type, annotation) may stick to it.
    clear();
    mFull = utf8;
    return parse();
}

bool FilePath::setFolder(const std::string& folder, eDrive drive)
{
    if (mKind == eKind::None || mKind == eKind::Volume)
        mKind = eKind::Folder;
    std::string text = folder;
    std::replace(text.begin(), text.end(), '/', '\\');
    if (text.empty() || text.back() != '\\')
        text += '\\';
    mFull = (drive == eDrive::With ? mDrive : std::string()) + text + mName + mExtension;
    return parse();
}

bool FilePath::setExtension(const std::string& extension, eDot dot)
{
    mFull = mDrive + mFolder + mName + (dot == eDot::Missing ? "." : "") + extension;
    return parse();
}

bool FilePath::setFileType(const FileType* type)
{
    if (type == mType)
        return false;
    mType = type;
    return true;
}

bool FilePath::updateFileType()
{
    if (mKind != eKind::File || mExtension.empty())
        return false;
    const FileType* found = fileTypeForExtension(mExtension.substr(1));
    if (found == nullptr || found == fileTypeAt(eFileType::Unknown))
        return false;
    return setFileType(found);
}

std::u16string FilePath::toWide() const { return toWidePath(mFull); }

std::string FilePath::getFolderPath(eDrive drive) const
{
    return drive == eDrive::With ? mDrive + mFolder : mFolder;
}

bool FilePath::parse()
{
    mParent.reset();
    if (mFull.empty()) {
        mKind = eKind::None;
        mDrive.clear();
        mFolder.clear();
        mName.clear();
        mExtension.clear();
        mAnnotation.clear();
        mRelative = false;
        return true;
    }
    if (isVolumeText(mFull)) {
        mKind = eKind::Volume;
        mDrive = mFull;
        mFolder.clear();
        mName.clear();
        mExtension.clear();
        mAnnotation.clear();
        mRelative = false;
        mType = fileTypeAt(eFileType::Volume);
        return true;
    }

    size_t lastBackslash = mFull.rfind('\\');
    size_t annotation = mFull.find('<', lastBackslash == std::string::npos ? 0 : lastBackslash + 1);
    if (annotation != std::string::npos) {
        mAnnotation = mFull.substr(annotation);
        mFull.resize(annotation);
    }

    if (mKind != eKind::Volume) {
        std::replace(mFull.begin(), mFull.end(), '/', '\\');
        if (mKind == eKind::Folder && (mFull.empty() || mFull.back() != '\\'))
            mFull += '\\';
    }

    Parts parts = splitPath(toWidePath(mFull));
    mDrive = toNarrowPath(parts.drive);
    mFolder = toNarrowPath(parts.folder);
    mName = toNarrowPath(parts.name);
    mExtension = toNarrowPath(parts.extension);
    mRelative = false;

    // A name that begins with a dot ('.profile') is a name, not an extension.
    if (mName.empty() && !mExtension.empty()) {
        mName.swap(mExtension);
        size_t dot = mName.rfind('.');
        if (dot != std::string::npos && dot > 0) {
            mExtension = mName.substr(dot);
            mName.resize(dot);
        }
    }

    if (mKind == eKind::None) {
        if (!mName.empty())
            mKind = eKind::File;
        else if (!mFolder.empty())
            mKind = eKind::Folder;
        else if (!mDrive.empty())
            mKind = eKind::Volume;
    }

    switch (mKind) {
    case eKind::File:
        mRelative = mDrive.empty() || mFolder.empty();
        break;
    case eKind::Folder:
        mAnnotation.clear();
        mType = fileTypeAt(eFileType::Directory);
        break;
    case eKind::Volume:
        mAnnotation.clear();
        mType = fileTypeAt(eFileType::Volume);
        break;
    case eKind::None:
        mAnnotation.clear();
        break;
    }
    return true;
}

std::u16string toWidePath(const std::string& utf8) { return toUtf16(utf8); }

std::string toNarrowPath(const std::u16string& utf16) { return toUtf8(utf16); }

}  // namespace HA::GP
