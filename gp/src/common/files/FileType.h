#pragma once
// The process-wide file-type registry: named file types with their extensions and
// four-character type codes, and groups of them for file dialogs and drag and drop. The
// registry exists between buildFileTypeRegistry and deleteFileTypeRegistry (called by the
// library's start-up and shut-down); the types and groups it hands out are valid in between.

#include <cstdint>
#include <string>
#include <vector>

namespace HA::GP {

namespace DETAIL {
class FileTypeRegistry;
}

class FileTypeGroup;

// A four-character type code, most significant byte first: fourCC("WAVE") == 0x57415645.
constexpr std::uint32_t fourCC(const char (&code)[5])
{
    return (std::uint32_t(std::uint8_t(code[0])) << 24) | (std::uint32_t(std::uint8_t(code[1])) << 16) |
           (std::uint32_t(std::uint8_t(code[2])) << 8) | std::uint32_t(std::uint8_t(code[3]));
}

class FileType {
public:
    FileType(const FileType&) = delete;
    FileType& operator=(const FileType&) = delete;

    const std::string& getSingularName() const { return mSingular; }
    const std::string& getPluralName() const { return mPlural; }
    // The group that holds just this type.
    const FileTypeGroup* getGroup() const { return mGroup; }
    // Without the dot; "*" for the types that stand for any file.
    const std::vector<std::string>& getExtensions() const { return mExtensions; }
    const std::vector<std::uint32_t>& getTypeCodes() const { return mTypeCodes; }

private:
    friend class DETAIL::FileTypeRegistry;
    FileType(std::string singular, std::string plural, std::vector<std::string> extensions,
             std::vector<std::uint32_t> typeCodes);

    std::string mSingular;
    std::string mPlural;
    const FileTypeGroup* mGroup = nullptr;
    std::vector<std::string> mExtensions;
    std::vector<std::uint32_t> mTypeCodes;
};

class FileTypeGroup {
public:
    FileTypeGroup(const FileTypeGroup&) = delete;
    FileTypeGroup& operator=(const FileTypeGroup&) = delete;

    const std::string& getSingularName() const { return mSingular; }
    const std::string& getPluralName() const { return mPlural; }
    const std::vector<const FileType*>& getTypes() const { return mTypes; }

private:
    friend class DETAIL::FileTypeRegistry;
    FileTypeGroup(std::string singular, std::string plural, std::vector<const FileType*> types);

    std::string mSingular;
    std::string mPlural;
    std::vector<const FileType*> mTypes;
};

// Indexes of the built-in types and groups.
enum class eFileType : int {
    Unknown = 0,
    Directory = 1,
    Volume = 2,
    Wav = 3,
    Aiff = 4,
    Sd2 = 5,
    Midi = 6,
    Executable = 7,
    DynamicLibrary = 8,
    Gif = 9,
    Bitmap = 10,
    Picture = 11,
    Jpeg = 12,
    Png = 13,
    TrueTypeFont = 14,
    Xml = 15,
};
constexpr int kBuiltInFileTypeCount = 16;

enum class eFileTypeGroup : int {
    Unknown = 0,
    Audio = 1,
    Sample = 2,
    Bitmap = 3,
    MidiSequence = 4,
};
constexpr int kFileTypeGroupCount = 5;

// Creates the built-in types and groups. Does nothing while the registry exists; after
// deleteFileTypeRegistry it builds them again. Any thread.
void buildFileTypeRegistry();
// Deletes every type and group; pointers handed out before become invalid. Any thread.
void deleteFileTypeRegistry();

// The built-in type or group by index; null for an index outside the table or while the
// registry does not exist.
const FileType* fileTypeAt(int index);
const FileType* fileTypeAt(eFileType index);
const FileTypeGroup* fileTypeGroupAt(int index);
const FileTypeGroup* fileTypeGroupAt(eFileTypeGroup index);

// The type, or "Unknown" when it is null.
const FileType* fileTypeOrUnknown(const FileType* type);
// The group, or group 0 when it is null.
const FileTypeGroup* fileTypeOrDefault(const FileTypeGroup* group);

// The type that lists the extension (without dot), compared without regard to case:
// "Unknown" when no type lists it, null when more than one does (or without a registry).
const FileType* fileTypeForExtension(const std::string& extension);

}  // namespace HA::GP
