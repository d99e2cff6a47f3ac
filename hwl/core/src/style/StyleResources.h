#pragma once
// What the style language asks of the resource manager: the style sheets it opens by name
// (a sheet) or by path (an absolute import), and the pictures and fonts its rules name. The
// library's resource manager implements it (resources/ManagerContainer.h, with the full
// contracts). User-interface thread only.

#include <memory>
#include <string>

#include "hwl/core/src/style/LazyPicture.h"
#include "uia/graphics/picture/PictureProperties.h"
#include "uia/graphics/text/FontDesc.h"

namespace HA::GP {
class Stream;
}

namespace HA::UIA {
class Font;
}

namespace HA::HWL {

class IStyleResources {
public:
    // The kind argument of getResourceStream and openFile.
    enum eResourceKind : int { KindPicture = 0, KindStyleSheet = 1, KindFont = 2 };

    virtual ~IStyleResources() = default;

    // The resource of a kind by name; null when there is none (reported when asked).
    virtual std::shared_ptr<GP::Stream> getResourceStream(const std::string& name, int kind, bool report) = 0;
    // A file by its full UTF-16 path; null when it does not open.
    virtual std::shared_ptr<GP::Stream> openFile(const std::u16string& path, int kind) = 0;
    // The font of a description, kept by the resources; null while it cannot be made.
    virtual const UIA::Font* getFont(const UIA::FontDesc& description) = 0;
    // A lazy picture of the file with the description.
    virtual LazyPicture getPicture(const std::string& fileName, const UIA::PictureProperties& description) = 0;
};

}  // namespace HA::HWL
