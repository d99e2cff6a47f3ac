#include "hwl/core/src/style/StyleParser2.h"

#include <cstdio>
#include <cstring>
#include <memory>

#include "gp/src/common/files/FilePath.h"
#include "gp/src/common/storage/FileStream.h"
#include "gp/src/common/storage/IStorage.h"
#include "gp/src/common/storage/Stream.h"
#include "hwl/core/src/errors/ErrorListeners.h"
#include "hwl/core/src/style/StyleGrammar.h"
#include "hwl/core/src/style/StyleSheet.h"

namespace HA::HWL {

namespace {

// Sheets are a few kilobytes; anything this large is not one.
constexpr std::int64_t kMaximumSheetSize = 16 * 1024 * 1024;

std::string lineMessage(int line, const char* text)
{
    char prefix[64];
    std::snprintf(prefix, sizeof prefix, "PARSER ERROR at line %d: ", line);
    return prefix + std::string(text);
}

// What the platform calls absolute: a root name (a drive "C:" or a network name "\\host") and a
// root directory after it. "/x", "\x", "C:x" and "\\host" lack one of them: they go to the
// resource manager like any other name.
bool isAbsolutePath(const std::string& path)
{
    auto separator = [&path](std::size_t i) { return i < path.size() && (path[i] == '\\' || path[i] == '/'); };
    const bool letter = path.size() >= 2 && ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
    if (letter && path[1] == ':')
        return separator(2);
    if (!separator(0) || !separator(1))
        return false;
    std::size_t end = 2;
    while (end < path.size() && !separator(end))
        ++end;
    return end > 2 && separator(end);
}

std::u16string folderOf(const std::u16string& path)
{
    const auto slash = path.find_last_of(u"/\\");
    return slash == std::u16string::npos ? std::u16string() : path.substr(0, slash + 1);
}

std::string lastComponent(const std::u16string& path)
{
    const auto slash = path.find_last_of(u"/\\");
    return GP::toNarrowPath(slash == std::u16string::npos ? path : path.substr(slash + 1));
}

}  // namespace

StyleParser2::StyleParser2(StyleSheet* owner) : mOwner(owner) {}

void StyleParser2::processString(StyleSheet& sheet, const char* text)
{
    StyleParser2 parser(&sheet);
    const std::string copy = text ? text : "";
    if (StyleGrammar::parse(parser, kStringSourceName, copy.data(), copy.data() + copy.size()))
        sheet.applyParseResult(parser.mRules);
    sheet.clearMatchCache();
}

bool StyleParser2::processStream(GP::Stream* stream, const std::string& sourceName)
{
    if (!stream || !stream->getStorage())
        return false;
    GP::IStorage& storage = *stream->getStorage();
    storage.seek(0, GP::IStorage::SeekEnd);
    const std::int64_t size = storage.tell();
    if (size < 0 || size > kMaximumSheetSize) {
        reportError(0, "Style sheet too large");
        return false;
    }
    storage.seek(0, GP::IStorage::SeekBegin);
    std::string bytes(static_cast<std::size_t>(size), '\0');
    if (size > 0)
        bytes.resize(storage.read(bytes.data(), static_cast<std::uint32_t>(size)));

    mEncoding = EncodingNone;
    if (bytes.size() > 3) {
        const auto* b = reinterpret_cast<const unsigned char*>(bytes.data());
        if (b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF)
            mEncoding = Utf8;
        else if (b[0] == 0xFE && b[1] == 0xFF)
            mEncoding = Utf16BE;
        else if (b[0] == 0xFF && b[1] == 0xFE)
            mEncoding = (b[2] == 0 && b[3] == 0) ? Utf32LE : Utf16LE;
        else if (b[0] == 0 && b[1] == 0 && b[2] == 0xFE && b[3] == 0xFF)
            mEncoding = Utf32BE;
    }
    return processBuffer(bytes, sourceName);
}

bool StyleParser2::processBuffer(const std::string& bytes, const std::string& sourceName)
{
    if (mEncoding > Utf8) {
        reportError(0, "Unsupported buffer encoding");
        return false;
    }
    const std::size_t skip = mEncoding == Utf8 && bytes.size() >= 3 ? 3 : 0;
    return StyleGrammar::parse(*this, sourceName, bytes.data() + skip, bytes.data() + bytes.size());
}

bool StyleParser2::processFile(const std::u16string& path)
{
    // Through the owner's resource manager, which keeps a skin's sheets inside the skin.
    std::shared_ptr<GP::Stream> stream;
    if (IStyleResources* manager = mOwner ? mOwner->getOwner() : nullptr) {
        stream = manager->openFile(path, IStyleResources::KindStyleSheet);
    } else {
        auto file = std::make_shared<GP::FileStream>();
        file->open(path, GP::IStorage::ModeRead);
        if (file->getStorage()->isGoodOrAtEnd())
            stream = file;
    }
    if (!stream)
        return false;
    mCurrentFile = path;
    return processStream(stream.get(), lastComponent(path));
}

void StyleParser2::defineConstant(int line, const tConstant& constant)
{
    if (mConstants.count(constant.name)) {
        reportError(line, lineMessage(line, "constant already defined"));
        return;
    }
    mConstants.emplace(constant.name, constant.value);
}

StyleParser2::tPropertyValue StyleParser2::lookupConstant(const std::string& name, int line)
{
    auto found = mConstants.find(name);
    if (found != mConstants.end())
        return found->second;
    reportError(line, lineMessage(line, "use of undefined constant ") + name);
    return tPropertyValue{0, Property::Number};
}

void StyleParser2::importStyleSheet(int line, const std::string& pathText)
{
    const std::u16string savedFile = mCurrentFile;
    const int savedEncoding = mEncoding;
    mCurrentFile = GP::toWidePath(pathText);

    std::string key = pathText;
    for (char& c : key) {
        if (c == '\\')
            c = '/';
    }
    if (mImportedNames.count(key)) {
        recordError(GP::toNarrowPath(savedFile), line,
                    lineMessage(line, "recursive import of stylesheet ") + pathText);
    } else {
        mImportedNames.insert(key);
        bool read = false;
        if (isAbsolutePath(pathText)) {
            read = processFile(mCurrentFile);
        } else if (mOwner) {
            std::shared_ptr<GP::Stream> stream = mOwner->openStyleSheet(pathText);
            read = stream && processStream(stream.get(), pathText);
        } else {
            mCurrentFile = folderOf(savedFile) + mCurrentFile;
            read = processFile(mCurrentFile);
        }
        if (!read) {
            recordError(GP::toNarrowPath(savedFile), line,
                        lineMessage(line, "Failed to import stylesheet ") + GP::toNarrowPath(mCurrentFile));
            mImportedNames.erase(key);
        }
    }
    mCurrentFile = savedFile;
    mEncoding = savedEncoding;
}

void StyleParser2::addRule(const tRule& rule)
{
    mRules.push_back(rule);
}

void StyleParser2::reportError(int line, const std::string& text)
{
    recordError(GP::toNarrowPath(mCurrentFile), line, text);
}

void StyleParser2::recordError(const std::string& fileName, int line, const std::string& text)
{
    mErrors[fileName].emplace(line, text);
    notifyErrorListeners("Stylesheet error: " + fileName + ":" + std::to_string(line) + " - " + text);
}

}  // namespace HA::HWL
