#include "gp/src/common/files/FileType.h"

#include <array>
#include <memory>
#include <mutex>

#include "gp/src/common/text/Utf8.h"

namespace HA::GP {

namespace DETAIL {

class FileTypeRegistry {
public:
    static FileTypeRegistry& instance()
    {
        // Never destroyed: types may be looked up from other static objects' destructors.
        static auto* registry = new FileTypeRegistry;
        return *registry;
    }

    void build()
    {
        std::lock_guard<std::mutex> lock(mMutex);
        if (mBuilt)
            return;
        struct BuiltIn {
            const char* singular;
            const char* plural;
            std::vector<std::string> extensions;
            std::vector<std::uint32_t> codes;
        };
        const BuiltIn builtIns[kBuiltInFileTypeCount] = {
            {"Unknown", "All Files", {"*"}, {fourCC("????")}},
            {"Directory", "Directories", {"*"}, {fourCC("????")}},
            {"Volume", "Volumes", {"*"}, {fourCC("????")}},
            {"WAV File", "WAV Files", {"wav"}, {fourCC("WAVE"), fourCC("WAV "), fourCC(".WAV")}},
            {"AIFF File", "AIFF Files", {"aif", "aiff"}, {fourCC("AIFF")}},
            {"SD2 File", "SD2 Files", {"sd2"}, {fourCC("Sd2f")}},
            {"MIDI File", "MIDI Files", {"mid"}, {fourCC("Midi")}},
            {"Executable File", "Executable Files", {"exe", "com"}, {fourCC("APPL")}},
            {"Dynamic Link Library", "Dynamic Link Libraries", {"dll"}, {fourCC("BNDL"), fourCC("aPcs")}},
            {"GIF File", "GIF Files", {"gif"}, {fourCC("GIF ")}},
            {"Bitmap File", "Bitmap Files", {"bmp"}, {fourCC("BMPf")}},
            {"Picture File", "Picture Files", {"pic"}, {fourCC("PICT")}},
            {"JPEG File", "JPEG Files", {"jpeg", "jpg", "jpe", "jfif", "jif"}, {fourCC("JPEG")}},
            {"PNG File", "PNG Files", {"png"}, {fourCC("PNGf")}},
            {"True Type Font", "True Type Fonts", {"ttf"}, {fourCC("tfil")}},
            {"XML File", "XML Files", {"xml"}, {fourCC("????")}},
        };
        for (int i = 0; i < kBuiltInFileTypeCount; ++i)
            mBuiltInTypes[i] = createType(builtIns[i].singular, builtIns[i].plural, builtIns[i].extensions,
                                          builtIns[i].codes);

        auto builtIn = [this](eFileType t) { return mBuiltInTypes[static_cast<int>(t)]; };
        mGroupIndex[0] = builtIn(eFileType::Unknown)->getGroup();
        mGroupIndex[1] = createGroup("Audio File", "Audio Files", {builtIn(eFileType::Wav), builtIn(eFileType::Aiff)});
        mGroupIndex[2] = createGroup("Sample File", "Sample Files", {});
        mGroupIndex[3] = createGroup("Bitmap File", "Bitmap Files", {});
        mGroupIndex[4] = createGroup("Midi Sequence", "Midi Sequences", {builtIn(eFileType::Midi)});
        mBuilt = true;
    }

    void clear()
    {
        std::lock_guard<std::mutex> lock(mMutex);
        mTypes.clear();
        mGroups.clear();
        mBuiltInTypes.fill(nullptr);
        mGroupIndex.fill(nullptr);
        // A later start-up builds the registry again.
        mBuilt = false;
    }

    const FileType* typeAt(int index)
    {
        std::lock_guard<std::mutex> lock(mMutex);
        if (index < 0 || index >= kBuiltInFileTypeCount)
            return nullptr;
        return mBuiltInTypes[static_cast<size_t>(index)];
    }

    const FileTypeGroup* groupAt(int index)
    {
        std::lock_guard<std::mutex> lock(mMutex);
        if (index < 0 || index >= kFileTypeGroupCount)
            return nullptr;
        return mGroupIndex[static_cast<size_t>(index)];
    }

    const FileType* typeForExtension(const std::string& extension)
    {
        const std::u16string wanted = upperCase(extension);
        std::lock_guard<std::mutex> lock(mMutex);
        if (!mBuilt)
            return nullptr;
        const FileType* found = nullptr;
        for (const auto& type : mTypes) {
            for (const std::string& listed : type->getExtensions()) {
                if (upperCase(listed) != wanted)
                    continue;
                if (found != nullptr)
                    return nullptr;  // two types claim it: no answer
                found = type.get();
                break;
            }
        }
        return found != nullptr ? found : mBuiltInTypes[static_cast<int>(eFileType::Unknown)];
    }

private:
    // Upper case code point by code point; code points above 0xFFFF stay as they are, and so
    // do the surrogate units that carry them.
    static std::u16string upperCase(const std::string& text)
    {
        std::u16string wide = toUtf16(text);
        for (char16_t& c : wide)
            c = static_cast<char16_t>(upperCodePoint(c));
        return wide;
    }

    // Called with the mutex held, while building.
    const FileType* createType(const char* singular, const char* plural, std::vector<std::string> extensions,
                               std::vector<std::uint32_t> codes)
    {
        std::unique_ptr<FileType> type(new FileType(singular, plural, std::move(extensions), std::move(codes)));
        type->mGroup = createGroup(singular, plural, {type.get()});
        mTypes.push_back(std::move(type));
        return mTypes.back().get();
    }

    const FileTypeGroup* createGroup(const char* singular, const char* plural, std::vector<const FileType*> types)
    {
        mGroups.push_back(std::unique_ptr<FileTypeGroup>(new FileTypeGroup(singular, plural, std::move(types))));
        return mGroups.back().get();
    }

    std::mutex mMutex;
    bool mBuilt = false;
    std::vector<std::unique_ptr<FileType>> mTypes;
    std::vector<std::unique_ptr<FileTypeGroup>> mGroups;
    std::array<const FileType*, kBuiltInFileTypeCount> mBuiltInTypes{};
    std::array<const FileTypeGroup*, kFileTypeGroupCount> mGroupIndex{};
};

}  // namespace DETAIL

FileType::FileType(std::string singular, std::string plural, std::vector<std::string> extensions,
                   std::vector<std::uint32_t> typeCodes)
    : mSingular(std::move(singular)),
      mPlural(std::move(plural)),
      mExtensions(std::move(extensions)),
      mTypeCodes(std::move(typeCodes))
{
}

FileTypeGroup::FileTypeGroup(std::string singular, std::string plural, std::vector<const FileType*> types)
    : mSingular(std::move(singular)), mPlural(std::move(plural)), mTypes(std::move(types))
{
}

void buildFileTypeRegistry() { DETAIL::FileTypeRegistry::instance().build(); }

void deleteFileTypeRegistry() { DETAIL::FileTypeRegistry::instance().clear(); }

const FileType* fileTypeAt(int index) { return DETAIL::FileTypeRegistry::instance().typeAt(index); }

const FileType* fileTypeAt(eFileType index) { return fileTypeAt(static_cast<int>(index)); }

const FileTypeGroup* fileTypeGroupAt(int index) { return DETAIL::FileTypeRegistry::instance().groupAt(index); }

const FileTypeGroup* fileTypeGroupAt(eFileTypeGroup index) { return fileTypeGroupAt(static_cast<int>(index)); }

const FileType* fileTypeOrUnknown(const FileType* type)
{
    return type != nullptr ? type : fileTypeAt(eFileType::Unknown);
}

const FileTypeGroup* fileTypeOrDefault(const FileTypeGroup* group)
{
    return group != nullptr ? group : fileTypeGroupAt(eFileTypeGroup::Unknown);
}

const FileType* fileTypeForExtension(const std::string& extension)
{
    return DETAIL::FileTypeRegistry::instance().typeForExtension(extension);
}

}  // namespace HA::GP
