#pragma once
// Clipboard formats: how a piece of data travels in a global memory block, to the clipboard
// and in drags. Each format class knows its platform format id, made once per process.
// User-interface thread only.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "gp/src/common/files/FilePath.h"
#include "os/shell/Ole.h"

namespace HA::UIA {

// The id of a named format: the platform's text and file-drop ids for the two names of ours
// that stand for them, a registered id for any other name (0 when refused).
unsigned getClipboardFormatId(const std::string& name);

class ClipBoardFormat {
public:
    explicit ClipBoardFormat(const unsigned* formatId) : mFormatId(formatId) {}
    virtual ~ClipBoardFormat();

    // Reads the data from a block; false when the block is unusable (the data is then empty).
    virtual bool decode(OS::HGLOBAL block) = 0;
    // A new block holding the data (the caller owns it); false when no block was granted.
    virtual bool encode(OS::HGLOBAL* block) = 0;
    virtual bool isFileList() const { return false; }

    unsigned getFormatId() const { return *mFormatId; }

private:
    const unsigned* mFormatId;
};

// Formats whose block is a plain run of bytes.
class RawDataClipBoardFormat : public ClipBoardFormat {
public:
    using ClipBoardFormat::ClipBoardFormat;
    bool decode(OS::HGLOBAL block) override;
    bool encode(OS::HGLOBAL* block) override;

    virtual bool decodeBytes(const std::uint8_t* bytes, std::size_t size) = 0;
    virtual void writeTo(std::uint8_t* destination) const = 0;
    virtual std::size_t dataSize() const = 0;
};

// UTF-16 text with one zero unit.
class TextClipBoardFormat : public RawDataClipBoardFormat {
public:
    TextClipBoardFormat();
    static constexpr const char* kName = "harnwick-acoustics.unicodetext";

    void setText(const std::string& utf8);
    void setText(std::u16string text) { mText = std::move(text); }
    const std::u16string& getText() const { return mText; }
    std::string getTextUtf8() const;

    bool decodeBytes(const std::uint8_t* bytes, std::size_t size) override;
    void writeTo(std::uint8_t* destination) const override;
    std::size_t dataSize() const override { return 2 * mText.size() + 2; }

private:
    std::u16string mText;
};

// A file list as the platform's DROPFILES block.
class FileListClipBoardFormat : public ClipBoardFormat {
public:
    FileListClipBoardFormat();
    static constexpr const char* kName = "harnwick-acoustics.filelist";
    static constexpr std::size_t kHeaderSize = 20;

    std::vector<GP::FilePath>& files() { return mFiles; }
    const std::vector<GP::FilePath>& files() const { return mFiles; }

    bool decode(OS::HGLOBAL block) override;
    bool encode(OS::HGLOBAL* block) override;
    bool isFileList() const override { return true; }

private:
    std::vector<GP::FilePath> mFiles;
};

// A reference to an object of this process: the object's address and the word of the process
// that made the drag. Both are pointer-sized, so the block is 2 × pointer size long.
class InternalClipBoardFormat : public RawDataClipBoardFormat {
public:
    InternalClipBoardFormat();
    // "harnwick-acoustics.application.internalclipboardformat." and a UUID made per process.
    static const std::string& formatName();
    // The source word of drags made by this process.
    static std::uintptr_t processSourceWord();

    std::uintptr_t object = 0;
    std::uintptr_t source = 0;

    bool decodeBytes(const std::uint8_t* bytes, std::size_t size) override;
    void writeTo(std::uint8_t* destination) const override;
    std::size_t dataSize() const override { return 2 * sizeof(std::uintptr_t); }
};

}  // namespace HA::UIA
