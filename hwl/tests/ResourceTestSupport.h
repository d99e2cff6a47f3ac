#pragma once
// Scratch folders, skin files and a recording error listener for the resource manager tests.
// Every test that decides a resource mode runs in a fresh temporary working directory with a
// stand-in executable folder, so that no "skin" entry is ever made beside the test.

#include <gtest/gtest.h>

#include <boost/filesystem.hpp>

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "gp/src/common/storage/Stream.h"
#include "hwl/core/src/errors/ErrorListeners.h"
#include "hwl/core/src/library/Init.h"
#include "hwl/core/src/resources/ManagerContainer.h"

namespace HA::HWL::TEST {

namespace fs = boost::filesystem;

// A temporary folder holding "work" (the working directory while the object lives) and
// "bin" (the executable's folder as the skin decision sees it); removed at the end.
class ScratchFolders {
public:
    ScratchFolders()
        : mRoot(fs::temp_directory_path() / fs::unique_path("hwl-resources-%%%%-%%%%-%%%%-%%%%")),
          mPrevious(fs::current_path())
    {
        fs::create_directories(work());
        fs::create_directories(bin());
        fs::current_path(work());
        DETAIL::setExecutableFolderOverride(bin().string());
    }
    ~ScratchFolders()
    {
        DETAIL::setExecutableFolderOverride("");
        boost::system::error_code error;
        fs::current_path(mPrevious, error);
        fs::remove_all(mRoot, error);
    }
    ScratchFolders(const ScratchFolders&) = delete;
    ScratchFolders& operator=(const ScratchFolders&) = delete;

    fs::path work() const { return mRoot / "work"; }
    fs::path bin() const { return mRoot / "bin"; }

private:
    fs::path mRoot;
    fs::path mPrevious;
};

// Writes bytes to path, making its folders.
template <class Bytes>
void writeFile(const fs::path& path, const Bytes& bytes)
{
    fs::create_directories(path.parent_path());
    std::ofstream out(path.string(), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(out.good()) << path;
}

// The rest of a stream's bytes as text.
inline std::string readAll(GP::Stream& stream)
{
    std::string text;
    char buffer[256];
    while (std::uint32_t n = stream.getStorage()->read(buffer, sizeof buffer))
        text.append(buffer, n);
    return text;
}

// Records every text sent to the error listeners while it lives.
class ErrorRecorder {
public:
    ErrorRecorder()
    {
        errorListeners().push_back([this](const std::string& text) { texts.push_back(text); });
        mIndex = errorListeners().size() - 1;
    }
    ~ErrorRecorder() { errorListeners().erase(errorListeners().begin() + static_cast<std::ptrdiff_t>(mIndex)); }
    ErrorRecorder(const ErrorRecorder&) = delete;
    ErrorRecorder& operator=(const ErrorRecorder&) = delete;

    std::vector<std::string> texts;

private:
    std::size_t mIndex = 0;
};

// Sets the skin look-up option and restores it at the end.
class SkinLookupScope {
public:
    explicit SkinLookupScope(bool on) : mPrevious(isSkinLookupEnabled()) { setSkinLookup(on); }
    ~SkinLookupScope() { setSkinLookup(mPrevious); }
    SkinLookupScope(const SkinLookupScope&) = delete;
    SkinLookupScope& operator=(const SkinLookupScope&) = delete;

private:
    bool mPrevious;
};

inline const std::string kMissingFile = "HWL::ManagerContainer::getResourceStream - can't find resource: ";
inline const std::string kMissingLinked = "HWL::ManagerContainer::getResourceStream - can't load linked resource ";

}  // namespace HA::HWL::TEST
