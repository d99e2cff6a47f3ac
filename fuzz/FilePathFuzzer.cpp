// Path texts as dialogs, drops and the command line hand them over: parsed, changed and
// copied. Valid UTF-8 in gives valid UTF-8 in every part.
// Input: a folder text (length byte first), an extension text (length byte first), the path.
#include <memory>
#include <stdexcept>
#include <string>

#include "fuzz/FuzzInput.h"
#include "gp/src/common/files/FilePath.h"
#include "gp/src/common/text/Utf8.h"

using namespace HA;

namespace {

bool isValid(const std::string& text)
{
    try {
        GP::countCodePoints(text);
        return true;
    } catch (const std::out_of_range&) {
        return false;
    }
}

void checkParts(const GP::FilePath& path, bool validIn)
{
    const std::string parts[] = {path.getFull(),      path.getDrive(),     path.getFolder(),
                                 path.getName(),      path.getExtension(), path.getAnnotation(),
                                 path.getFolderPath(GP::FilePath::eDrive::With),
                                 path.getFolderPath(GP::FilePath::eDrive::Without)};
    for (const std::string& part : parts)
        if (validIn && !isValid(part))
            FUZZ::fail("invalid UTF-8 in a part of a valid path");
    path.toWide();
    if (path.isEmpty() != (path.getKind() == GP::FilePath::eKind::None))
        FUZZ::fail("empty and kind disagree");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FUZZ::FuzzInput input(data, size);
    const std::string folder = input.shortText();
    const std::string extension = input.shortText();
    const std::string text = input.rest();
    const bool valid = isValid(folder) && isValid(extension) && isValid(text);

    GP::FilePath path(text);
    checkParts(path, valid);
    GP::FilePath wide(GP::toUtf16(text));
    checkParts(wide, true);

    GP::FilePath copy(path);
    copy.setParent(std::make_unique<GP::FilePath>(folder));
    GP::FilePath second = copy;
    if (second.getParent() == nullptr || second.getFull() != path.getFull())
        FUZZ::fail("copy lost a part");
    second.setExtension(extension, (size & 1) ? GP::FilePath::eDot::Included : GP::FilePath::eDot::Missing);
    checkParts(second, valid);
    second.updateFileType();
    second.setFolder(folder, (size & 2) ? GP::FilePath::eDrive::With : GP::FilePath::eDrive::Without);
    checkParts(second, valid);
    GP::FilePath moved(std::move(second));
    moved.assign(moved.getFull());
    checkParts(moved, valid);
    moved.clear();
    if (!moved.isEmpty())
        FUZZ::fail("cleared path not empty");
    return 0;
}
