#include "hwl/core/src/resources/ManagerContainer.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <iterator>
#include <limits>
#include <stdexcept>
#include <tuple>
#include <utility>

#include <boost/filesystem.hpp>
#include <fmt/format.h>

#include "gp/src/common/files/FilePath.h"
#include "gp/src/common/process/FatalError.h"
#include "gp/src/common/process/Trace.h"
#include "gp/src/common/storage/FileStream.h"
#include "gp/src/common/storage/ModuleResources.h"
#include "gp/src/common/storage/ResourceStream.h"
#include "gp/src/common/text/Utf8.h"
#include "hwl/core/src/cascade/StyleSheets.h"
#include "hwl/core/src/errors/ErrorListeners.h"
#include "hwl/core/src/style/StyleConversions.h"
#include "os/files/File.h"

namespace HA::HWL {

namespace {

namespace fs = boost::filesystem;

struct tKindPlace {
    const char16_t* subFolder;
    const char* resourceType;
};

const tKindPlace kKindPlaces[] = {
    {u"pictures", "PICTURE"},
    {u"stylesheets", "STYLESHEET"},
    {u"fonts", "TTFd"},
};

const tKindPlace* placeOf(int kind)
{
    if (kind < 0 || kind >= static_cast<int>(std::size(kKindPlaces)))
        return nullptr;
    return &kKindPlaces[kind];
}

std::string& executableFolderOverride()
{
    static std::string folder;
    return folder;
}

fs::path executableFolder()
{
    if (!executableFolderOverride().empty())
        return fs::path(executableFolderOverride());
    return fs::path(GP::toNarrowPath(GP::getModuleFileName())).parent_path();
}

// Only a folder is a skin: a stray file of that name must not turn every resource off.
bool isSkinFolder(const fs::path& candidate)
{
    boost::system::error_code error;
    return fs::is_directory(candidate, error) && !error;
}

// A skin-folder name is taken relative to its sub-folder: no absolute path, no drive, no ".."
// step and no NUL (which would cut the name short where the file system reads it). Checked on
// the UTF-16 name that is joined to the folder; the name must have been UTF-8, or bytes the
// conversion dropped could have made any of these.
bool isPlainRelativeName(const std::u16string& name)
{
    if (name.find(u'\0') != std::u16string::npos)
        return false;
    if (!name.empty() && (name[0] == u'/' || name[0] == u'\\'))
        return false;
    if (name.size() >= 2 && name[1] == u':')
        return false;
    std::u16string::size_type start = 0;
    while (start <= name.size()) {
        std::u16string::size_type end = name.find_first_of(u"/\\", start);
        if (end == std::u16string::npos)
            end = name.size();
        if (name.compare(start, end - start, u"..") == 0)
            return false;
        start = end + 1;
    }
    return true;
}

// The name as a message shows it: a byte that is not UTF-8 becomes U+FFFD, so that the
// message never names a file the look-up did not try.
std::string shownName(const std::string& name)
{
    std::string shown;
    for (std::size_t pos = 0; pos < name.size();) {
        const std::size_t start = pos;
        try {
            GP::decodeCodePoint(name, pos);
            shown.append(name, start, pos - start);
        } catch (const std::out_of_range&) {
            shown += "\xEF\xBF\xBD";
            pos = start + 1;
        }
    }
    return shown;
}

bool isSeparator(char16_t c) { return c == u'/' || c == u'\\'; }

std::shared_ptr<GP::Stream> openForReading(const std::u16string& path)
{
    auto stream = std::make_shared<GP::FileStream>();
    stream->open(path, GP::IStorage::ModeRead);
    if (!stream->getStorage()->isGoodOrAtEnd())
        return nullptr;
    return stream;
}

// The file at path, opened only when it resolves (links and steps followed) to a file inside
// folder. The resolved path is the one opened, so what was checked is what is read.
std::shared_ptr<GP::Stream> openInsideFolder(const std::u16string& folder, const std::u16string& path)
{
    const OS::WString root = OS::getFinalPathName(folder);
    const OS::WString target = OS::getFinalPathName(path);
    if (root.empty() || target.size() <= root.size() || target.compare(0, root.size(), root) != 0)
        return nullptr;
    if (!isSeparator(root.back()) && !isSeparator(target[root.size()]))
        return nullptr;
    return openForReading(target);
}

int32_t scaledMargin(int32_t margin, float scale)
{
    const float scaled = static_cast<float>(margin) * scale;
    // lroundf has no defined result beyond the range of long; a sheet's margin can be huge.
    if (!(scaled > -2147483648.0f))
        return std::numeric_limits<int32_t>::min();
    if (!(scaled < 2147483648.0f))
        return std::numeric_limits<int32_t>::max();
    return static_cast<int32_t>(std::lroundf(scaled));
}

}  // namespace

namespace {

ManagerContainer* gManager = nullptr;
bool gSkinLookup = false;

}  // namespace

ManagerContainer* getManager() { return gManager; }

StyleSheets& getStyleSheets()
{
    HA_GP_VERIFY(gManager != nullptr, "HWL::getStyleSheets without HWL::init");
    return gManager->getStyleSheets();
}

void setSkinLookup(bool on) { gSkinLookup = on; }

bool isSkinLookupEnabled() { return gSkinLookup; }

namespace DETAIL {

void setManager(ManagerContainer* manager) { gManager = manager; }

}  // namespace DETAIL

ManagerContainer::tPictureKey::tPictureKey(const std::string& name, const UIA::PictureProperties& description)
    : fileName(name),
      frameLayout(description.getFrameLayout()),
      frameCount(description.getFrameCount()),
      marginFlags(description.getMarginFlags()),
      top(description.getTopMargin()),
      bottom(description.getBottomMargin()),
      left(description.getLeftMargin()),
      right(description.getRightMargin())
{
}

bool ManagerContainer::tPictureKey::operator<(const tPictureKey& other) const
{
    // std::string compares its bytes as unsigned characters.
    return std::tie(fileName, frameLayout, frameCount, marginFlags, top, bottom, left, right) <
           std::tie(other.fileName, other.frameLayout, other.frameCount, other.marginFlags, other.top, other.bottom,
                    other.left, other.right);
}

ManagerContainer::ManagerContainer() : mStyleSheets(std::make_unique<StyleSheets>(this)) {}

ManagerContainer::~ManagerContainer() = default;

const UIA::FontDesc& ManagerContainer::getDefaultFontDesc() const { return HWL::getDefaultFontDesc(); }

void ManagerContainer::decideResourceMode()
{
    mResourceMode = ModeLinked;
    if (!isSkinLookupEnabled())
        return;
    fs::path candidate = executableFolder() / "skin";
    if (!isSkinFolder(candidate)) {
        boost::system::error_code error;
        const fs::path current = fs::current_path(error);
        if (error)
            return;
        candidate = current / "skin";
        if (!isSkinFolder(candidate))
            return;
    }
    mResourceMode = ModeSkin;
    mSkinFolder = GP::toWidePath(candidate.string());
}

std::shared_ptr<GP::Stream> ManagerContainer::getResourceStream(const std::string& name, int kind, bool report)
{
    if (mResourceMode == ModeUndecided)
        decideResourceMode();
    switch (mResourceMode) {
    case ModeSkin:
        return openSkinFile(name, kind, report);
    case ModeLinked:
        return openLinkedResource(name, kind, report);
    default:
        GP::trace("", "HWL::ManagerContainer::getResourceStream - can't determin proper resource path");
        return nullptr;
    }
}

std::shared_ptr<GP::Stream> ManagerContainer::openSkinFile(const std::string& name, int kind, bool report) const
{
    const tKindPlace* place = placeOf(kind);
    if (place == nullptr)
        return nullptr;
    std::string relative = name;
    std::replace(relative.begin(), relative.end(), '/', '\\');
    const std::u16string subFolder = mSkinFolder + u'\\' + place->subFolder;
    const bool utf8 = GP::toValidUtf8(relative) == relative;
    const std::u16string wideName = GP::toWidePath(relative);

    if (utf8 && isPlainRelativeName(wideName)) {
        if (std::shared_ptr<GP::Stream> stream = openInsideFolder(subFolder, subFolder + u'\\' + wideName))
            return stream;
    }
    if (report)
        notifyErrorListeners(fmt::format("HWL::ManagerContainer::getResourceStream - can't find resource: {0}",
                                         GP::toNarrowPath(subFolder) + '\\' + shownName(relative)));
    return nullptr;
}

std::shared_ptr<GP::Stream> ManagerContainer::openFile(const std::u16string& path, int kind)
{
    // Undecided, a skin's import could otherwise read any file before the skin is found.
    if (mResourceMode == ModeUndecided)
        decideResourceMode();
    if (mResourceMode == ModeSkin) {
        const tKindPlace* place = placeOf(kind);
        if (place == nullptr)
            return nullptr;
        return openInsideFolder(mSkinFolder + u'\\' + place->subFolder, path);
    }
    return openForReading(path);
}

std::shared_ptr<GP::Stream> ManagerContainer::openLinkedResource(const std::string& name, int kind, bool report) const
{
    const tKindPlace* place = placeOf(kind);
    if (place == nullptr)
        return nullptr;
    // A NUL would cut the name short and find another resource.
    if (name.find('\0') == std::string::npos) {
        auto stream = std::make_shared<GP::ResourceStream>();
        if (stream->open(GP::getModuleHandle(), name.c_str(), place->resourceType))
            return stream;
    }
    if (report)
        notifyErrorListeners(fmt::format("HWL::ManagerContainer::getResourceStream - can't load linked resource {}", name));
    return nullptr;
}

const UIA::Font* ManagerContainer::getFont(const UIA::FontDesc& description)
{
    std::unique_ptr<UIA::Font>& entry = mFontCache[description];
    if (!entry) {
        if (description.resourceId != 0 || (description.flags & UIA::FontDesc::Family) != 0) {
            // Nothing is looked up by family: such a font comes from the resource id alone.
            entry = std::make_unique<UIA::Font>(description);
        } else if (std::shared_ptr<GP::Stream> stream = getResourceStream(description.name, KindFont, true)) {
            entry = std::make_unique<UIA::Font>(*stream, description);
        }
    }
    return entry.get();
}

LazyPicture ManagerContainer::getPicture(const std::string& fileName, const UIA::PictureProperties& description)
{
    // A plain copy of the description: the caller's may be a picture or go away.
    UIA::PictureProperties copy(description);
    return LazyPicture([this, fileName, copy](float scale) { return loadCachedPicture(fileName, copy, scale); });
}

std::shared_ptr<const UIA::Picture> ManagerContainer::loadCachedPicture(const std::string& fileName,
                                                                        const UIA::PictureProperties& description,
                                                                        float scale)
{
    tPictureKey key(UIA::makeScaledPictureName(fileName, scale), description);
    auto found = mPictureCache.find(key);
    if (found != mPictureCache.end())
        return found->second;
    std::shared_ptr<const UIA::Picture> picture = loadPicture(key.fileName, description, scale);
    if (picture)
        mPictureCache.emplace(std::move(key), picture);
    return picture;
}

std::shared_ptr<UIA::Picture> ManagerContainer::loadPicture(const std::string& fileName,
                                                            const UIA::PictureProperties& description, float scale)
{
    // A missing "@2x" file is expected: the scale-1 picture is scaled instead.
    const bool report = scale == 1.0f;
    std::shared_ptr<GP::Stream> stream = getResourceStream(fileName, KindPicture, report);
    if (!stream)
        return nullptr;
    auto picture = std::make_shared<UIA::Picture>();
    if (!picture->load(*stream, 0, UIA::Picture::eAlphaDetection::On))
        return nullptr;
    picture->setFrameLayout(description.getFrameLayout());
    picture->setFrameCount(description.getFrameCount());
    picture->setTopMargin(scaledMargin(description.getTopMargin(), scale));
    picture->setBottomMargin(scaledMargin(description.getBottomMargin(), scale));
    picture->setLeftMargin(scaledMargin(description.getLeftMargin(), scale));
    picture->setRightMargin(scaledMargin(description.getRightMargin(), scale));
    picture->setVerticalMarginsEnabled((description.getMarginFlags() & UIA::PictureProperties::kVerticalMargins) != 0);
    picture->setHorizontalMarginsEnabled((description.getMarginFlags() & UIA::PictureProperties::kHorizontalMargins) !=
                                         0);
    picture->computeHiddenTiles();
    return picture;
}

namespace DETAIL {

void setExecutableFolderOverride(const std::string& folder) { executableFolderOverride() = folder; }

}  // namespace DETAIL

}  // namespace HA::HWL
