#pragma once
// A parsed file-system path: the full UTF-8 text with its drive, folder, name and extension,
// what it names (file, folder or volume) and its file type. Paths use the platform's form:
// backslash separators ('/' is accepted and turned into '\'), 'C:' drives and '\\server\share'
// network drives. A plain value; not shared between threads.

#include <cstdint>
#include <memory>
#include <string>

namespace HA::GP {

class FileType;

class FilePath {
public:
    enum class eKind : std::int32_t { None = 0, File = 1, Folder = 2, Volume = 3 };
    // Whether a folder text carries the path's drive in front.
    enum class eDrive { With, Without };
    // Whether an extension text already begins with its dot.
    enum class eDot { Missing, Included };

    FilePath();
    explicit FilePath(const std::string& utf8);
    explicit FilePath(const std::u16string& utf16);
    FilePath(const FilePath& other);
    FilePath& operator=(const FilePath& other);
    FilePath(FilePath&& other) noexcept;
    FilePath& operator=(FilePath&& other) noexcept;
    ~FilePath();

    // Empties every part, the type and the parent.
    void clear();
    // Replaces the whole path by the text, parsed anew. True.
    bool assign(const std::string& utf8);
    // Replaces the folder ('/' becomes '\', a trailing '\' is added); with eDrive::With the
    // path's drive goes in front of it. A path that names nothing or a volume becomes a folder.
    // True.
    bool setFolder(const std::string& folder, eDrive drive = eDrive::With);
    // Replaces the extension; eDot::Missing puts a dot in front of the text. True.
    bool setExtension(const std::string& extension, eDot dot = eDot::Missing);
    // Stores the type; true when it changed.
    bool setFileType(const FileType* type);
    // For a file with an extension: takes the registry's type for the extension unless that is
    // "Unknown" or ambiguous. True when the stored type changed.
    bool updateFileType();

    bool isEmpty() const { return mKind == eKind::None; }
    std::u16string toWide() const;
    // The folder, with the drive in front for eDrive::With.
    std::string getFolderPath(eDrive drive) const;

    const std::string& getFull() const { return mFull; }
    // 'C:' or '\\server\share'.
    const std::string& getDrive() const { return mDrive; }
    // Begins and ends with '\' (empty when the path has none).
    const std::string& getFolder() const { return mFolder; }
    const std::string& getName() const { return mName; }
    // With its leading dot.
    const std::string& getExtension() const { return mExtension; }
    // A suffix that began with '<' after the last backslash, cut off the full text.
    const std::string& getAnnotation() const { return mAnnotation; }
    // Not owned; null when the path has none.
    const FileType* getFileType() const { return mType; }
    eKind getKind() const { return mKind; }
    // A file path without a drive or without a folder.
    bool isRelative() const { return mRelative; }

    // The path this one belongs to, owned; copied deeply with the path, dropped by parsing.
    const FilePath* getParent() const { return mParent.get(); }
    void setParent(std::unique_ptr<FilePath> parent) { mParent = std::move(parent); }

private:
    bool parse();

    std::string mFull;
    std::string mDrive;
    std::string mFolder;
    std::string mName;
    std::string mExtension;
    std::string mAnnotation;
    const FileType* mType = nullptr;
    eKind mKind = eKind::None;
    std::unique_ptr<FilePath> mParent;
    bool mRelative = false;
};

// Path text conversions for the platform's file calls. Invalid input is skipped.
std::u16string toWidePath(const std::string& utf8);
std::string toNarrowPath(const std::u16string& utf16);

}  // namespace HA::GP
