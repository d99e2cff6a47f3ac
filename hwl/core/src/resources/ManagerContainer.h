#pragma once
// The widget library's resource manager: owns the style sheets, decides once where resources
// come from (the resources linked into the executable, or the files of a "skin" folder), opens
// them by name and kind, and keeps the fonts and pictures it made until it is destroyed. One exists between
// HWL::init and HWL::shutdown. User-interface thread only.

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "hwl/core/src/style/LazyPicture.h"
#include "hwl/core/src/style/StyleResources.h"
#include "uia/graphics/picture/Picture.h"
#include "uia/graphics/picture/PictureProperties.h"
#include "uia/graphics/text/Font.h"
#include "uia/graphics/text/FontDesc.h"

namespace HA::GP {
class Stream;
}

namespace HA::HWL {

class StyleSheets;

class ManagerContainer : public IStyleResources {
public:
    // Where resources come from; decided at the first request.
    enum eResourceMode : int { ModeUndecided = 0, ModeLinked = 1, ModeSkin = 2 };

    // Makes the style sheets, with the built-in rules parsed.
    ManagerContainer();
    ~ManagerContainer() override;
    ManagerContainer(const ManagerContainer&) = delete;
    ManagerContainer& operator=(const ManagerContainer&) = delete;

    StyleSheets& getStyleSheets() { return *mStyleSheets; }
    // The font of every text whose rule names none; made once per process.
    const UIA::FontDesc& getDefaultFontDesc() const;

    // Opens the resource name of a kind. In skin mode: the file name ('/' separates folders)
    // in the kind's sub-folder of the skin folder. A name that is not UTF-8, holds a NUL, a
    // drive, a root or a ".." step, or that resolves (symbolic links followed) outside that
    // sub-folder is not found. In linked mode: the executable's resource of the kind's type,
    // by name without regard to case. Null when there is none (or for an unknown kind); then,
    // with report, the missing resource goes to the error listeners.
    std::shared_ptr<GP::Stream> getResourceStream(const std::string& name, int kind, bool report) override;
    // Opens a file by its full UTF-16 path for reading, as an absolute style-sheet import
    // does; the mode is decided first, as for getResourceStream. In skin mode only a file
    // that resolves inside the kind's sub-folder of the skin folder opens; otherwise any
    // readable file. Null when it does not open; nothing is reported.
    std::shared_ptr<GP::Stream> openFile(const std::u16string& path, int kind) override;

    // The font of a description, made on first use and kept; null while its font file cannot
    // be opened (it is tried again at the next call). A font that could not be read stays:
    // it measures every text 0 wide and draws nothing.
    const UIA::Font* getFont(const UIA::FontDesc& description) override;

    // A lazy picture of the file with the description; nothing is loaded until it is drawn.
    // The lazy picture refers to this manager and must not be drawn after it is gone.
    LazyPicture getPicture(const std::string& fileName, const UIA::PictureProperties& description) override;
    // The loader of those lazy pictures: the picture for scale ("@2x" file name for a scale
    // other than 1) from the picture cache, loaded into it when missing. Null when missing.
    std::shared_ptr<const UIA::Picture> loadCachedPicture(const std::string& fileName,
                                                          const UIA::PictureProperties& description, float scale);
    // Reads the file as a picture and applies the description, its nine-patch margins
    // multiplied by scale. Null when missing (reported only at scale 1) or unreadable.
    std::shared_ptr<UIA::Picture> loadPicture(const std::string& fileName, const UIA::PictureProperties& description,
                                              float scale);

    int getResourceMode() const { return mResourceMode; }
    // UTF-16 path of the skin folder; empty unless in skin mode.
    const std::u16string& getSkinFolder() const { return mSkinFolder; }

private:
    // The picture cache's key: file name (byte-wise), then frame layout, frame count, margin
    // switches and the top, bottom, left and right margins. The alpha flag is the loader's.
    struct tPictureKey {
        std::string fileName;
        int32_t frameLayout;
        uint32_t frameCount;
        int32_t marginFlags;
        int32_t top;
        int32_t bottom;
        int32_t left;
        int32_t right;

        tPictureKey(const std::string& name, const UIA::PictureProperties& description);
        bool operator<(const tPictureKey& other) const;
    };

    void decideResourceMode();
    std::shared_ptr<GP::Stream> openSkinFile(const std::string& name, int kind, bool report) const;
    std::shared_ptr<GP::Stream> openLinkedResource(const std::string& name, int kind, bool report) const;

    // First, so that it goes last: its rules hold lazy pictures of this manager.
    std::unique_ptr<StyleSheets> mStyleSheets;
    int mResourceMode = ModeUndecided;
    std::u16string mSkinFolder;
    std::map<UIA::FontDesc, std::unique_ptr<UIA::Font>> mFontCache;
    std::map<tPictureKey, std::shared_ptr<const UIA::Picture>> mPictureCache;
};

// The library's one resource manager, which the start-up makes and the shut-down drops
// (library/Init.h); null outside them.
ManagerContainer* getManager();
// The manager's style sheets; a fatal error without a manager.
StyleSheets& getStyleSheets();

// Whether resources may come from a "skin" folder; off at start. Read once per manager, at
// its first resource request.
void setSkinLookup(bool on);
bool isSkinLookupEnabled();

namespace DETAIL {
// The start-up and shut-down set the manager that getManager answers.
void setManager(ManagerContainer* manager);
// Replaces the executable's folder (UTF-8) in the skin-folder decision; an empty text goes
// back to the executable's own. For tests, which cannot move their executable.
void setExecutableFolderOverride(const std::string& folder);
}  // namespace DETAIL

}  // namespace HA::HWL
