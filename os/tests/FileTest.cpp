#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include "os/files/File.h"
#include "os/files/FileMapping.h"
#include "os/kernel/Kernel.h"
#include "os/kernel/Text.h"

using namespace HA::OS;

namespace {

class Files : public ::testing::Test {
protected:
    void SetUp() override
    {
        mPath = "/tmp/ha-os-file-" + std::to_string(::getpid());
        std::FILE* f = std::fopen(mPath.c_str(), "wb");
        std::fputs("0123456789", f);
        std::fclose(f);
    }
    void TearDown() override { std::remove(mPath.c_str()); }
    WString path() const { return utf8ToUtf16(mPath); }
    std::string mPath;
};

}  // namespace

TEST_F(Files, ShareModesOfTwoHandles)
{
    struct Case {
        DWORD firstAccess, firstShare, secondAccess, secondShare, error;
    };
    const Case cases[] = {
        {GENERIC_READ, FILE_SHARE_READ, GENERIC_READ, FILE_SHARE_READ, ERROR_SUCCESS},
        {GENERIC_READ, FILE_SHARE_READ, GENERIC_WRITE, FILE_SHARE_READ, ERROR_SHARING_VIOLATION},
        {GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, GENERIC_WRITE, FILE_SHARE_WRITE, ERROR_SHARING_VIOLATION},
        {GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
         ERROR_SUCCESS},
        {GENERIC_WRITE, FILE_SHARE_READ, GENERIC_READ, FILE_SHARE_READ, ERROR_SHARING_VIOLATION},
        {GENERIC_WRITE, 0, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, ERROR_SHARING_VIOLATION},
    };
    for (const Case& c : cases) {
        HANDLE first = createFile(path(), c.firstAccess, c.firstShare, OPEN_EXISTING);
        ASSERT_NE(first, INVALID_HANDLE_VALUE);
        HANDLE second = createFile(path(), c.secondAccess, c.secondShare, OPEN_EXISTING);
        EXPECT_EQ(second == INVALID_HANDLE_VALUE ? getLastError() : ERROR_SUCCESS, c.error);
        if (second != INVALID_HANDLE_VALUE)
            closeHandle(second);
        closeHandle(first);
    }
}

TEST_F(Files, OpenSeekAndLockErrors)
{
    EXPECT_EQ(createFile(utf8ToUtf16(mPath + ".missing"), GENERIC_READ, 0, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(getLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(createFile(utf8ToUtf16("/no/such/folder/x"), GENERIC_READ, 0, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(getLastError(), ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(createFile(path(), GENERIC_READ, 0, CREATE_NEW), INVALID_HANDLE_VALUE);
    EXPECT_EQ(getLastError(), ERROR_FILE_EXISTS);
    EXPECT_EQ(getFileAttributes(utf8ToUtf16("/tmp")), FILE_ATTRIBUTE_DIRECTORY);

    HANDLE a = createFile(path(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING);
    HANDLE b = createFile(path(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING);
    LONGLONG at = -1;
    EXPECT_FALSE(setFilePointerEx(a, -1, &at, FILE_BEGIN));
    EXPECT_EQ(getLastError(), ERROR_NEGATIVE_SEEK);
    EXPECT_TRUE(setFilePointerEx(a, -4, &at, FILE_END));
    EXPECT_EQ(at, 6);
    // Shared locks overlap; an exclusive one conflicts with either, on any handle.
    EXPECT_TRUE(lockFileEx(a, LOCKFILE_FAIL_IMMEDIATELY, 0, 4));
    EXPECT_TRUE(lockFileEx(b, LOCKFILE_FAIL_IMMEDIATELY, 2, 4));
    EXPECT_FALSE(lockFileEx(b, LOCKFILE_FAIL_IMMEDIATELY | LOCKFILE_EXCLUSIVE_LOCK, 3, 1));
    EXPECT_EQ(getLastError(), ERROR_LOCK_VIOLATION);
    EXPECT_FALSE(lockFileEx(a, LOCKFILE_FAIL_IMMEDIATELY | LOCKFILE_EXCLUSIVE_LOCK, 0, 1));
    EXPECT_TRUE(lockFileEx(a, LOCKFILE_FAIL_IMMEDIATELY | LOCKFILE_EXCLUSIVE_LOCK, 8, ~ULONGLONG(0)));
    // Another handle may not write a locked range, nor empty the file.
    char byte = 'x';
    DWORD done = 0;
    EXPECT_TRUE(setFilePointerEx(b, 9, nullptr, FILE_BEGIN));
    EXPECT_FALSE(writeFile(b, &byte, 1, &done));
    EXPECT_EQ(getLastError(), ERROR_LOCK_VIOLATION);
    EXPECT_EQ(createFile(path(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, CREATE_ALWAYS),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(getLastError(), ERROR_LOCK_VIOLATION);
    EXPECT_FALSE(unlockFileEx(b, 0, 4));
    EXPECT_EQ(getLastError(), ERROR_NOT_LOCKED);
    EXPECT_TRUE(unlockFileEx(a, 8, ~ULONGLONG(0)));
    EXPECT_TRUE(writeFile(b, &byte, 1, &done));
    closeHandle(a);
    closeHandle(b);
}

TEST_F(Files, MappingsKeepThePlatformsRules)
{
    HANDLE f = createFile(path(), GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    EXPECT_EQ(createFileMapping(f, PAGE_READWRITE, 0), nullptr);
    EXPECT_EQ(getLastError(), ERROR_ACCESS_DENIED);
    HANDLE m = createFileMapping(f, PAGE_READONLY, 0);
    ASSERT_NE(m, nullptr);
    closeHandle(f);  // the mapping keeps the file
    EXPECT_EQ(mapViewOfFile(m, FILE_MAP_READ, 4096, 0), nullptr);
    EXPECT_EQ(getLastError(), ERROR_MAPPED_ALIGNMENT);
    EXPECT_EQ(mapViewOfFile(m, FILE_MAP_WRITE, 0, 0), nullptr);
    void* view = mapViewOfFile(m, FILE_MAP_READ, 0, 0);
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(std::string(static_cast<const char*>(view), 10), "0123456789");
    EXPECT_TRUE(unmapViewOfFile(view));
    EXPECT_FALSE(unmapViewOfFile(view));
    closeHandle(m);
}

// What is not a file is refused before anything waits for it or changes it: a pipe
// without its other end would block the open for good.
TEST(FilesOnly, PipesSocketsAndDevicesAreRefusedAtOnce)
{
    char pattern[] = "/tmp/ha-os-special-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    const std::string root(pattern);
    ASSERT_EQ(::mkfifo((root + "/pipe").c_str(), 0600), 0);
    const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof(address.sun_path), "%s", (root + "/socket").c_str());
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    ASSERT_EQ(::symlink("pipe", (root + "/pipeLink").c_str()), 0);
    ASSERT_EQ(::symlink("/dev/zero", (root + "/zeroLink").c_str()), 0);

    struct Open {
        DWORD access;
        DWORD disposition;
    };
    const Open opens[] = {
        {GENERIC_READ, OPEN_EXISTING},
        {GENERIC_WRITE, OPEN_EXISTING},
        {GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING},
        {GENERIC_WRITE, CREATE_ALWAYS},
        {GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS},
        {GENERIC_WRITE, TRUNCATE_EXISTING},
    };
    for (const std::string& path : {root + "/pipe", root + "/socket", root + "/pipeLink", std::string("/dev/zero"),
                                    root + "/zeroLink"}) {
        EXPECT_EQ(getFileAttributes(utf8ToUtf16(path)), FILE_ATTRIBUTE_DEVICE) << path;
        for (const Open& o : opens) {
            setLastError(ERROR_SUCCESS);
            HANDLE h = createFile(utf8ToUtf16(path), o.access, FILE_SHARE_READ | FILE_SHARE_WRITE, o.disposition);
            EXPECT_EQ(h, INVALID_HANDLE_VALUE) << path << " " << o.access << " " << o.disposition;
            EXPECT_EQ(getLastError(), ERROR_ACCESS_DENIED) << path << " " << o.access << " " << o.disposition;
            if (h != INVALID_HANDLE_VALUE)
                closeHandle(h);
        }
    }
    struct stat st {};
    ASSERT_EQ(::lstat((root + "/pipe").c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode)) << "the pipe is left as it was";

    ::close(listener);
    for (const char* name : {"/pipe", "/socket", "/pipeLink", "/zeroLink"})
        std::remove((root + name).c_str());
    ::rmdir(root.c_str());
}

TEST(FinalPathName, ResolvesLinksAndSteps)
{
    char pattern[] = "/tmp/ha-os-final-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    // The temporary folder itself may lie behind a link.
    char* real = ::realpath(pattern, nullptr);
    ASSERT_NE(real, nullptr);
    const std::string root(real);
    std::free(real);
    ASSERT_EQ(::mkdir((root + "/in").c_str(), 0700), 0);
    std::FILE* f = std::fopen((root + "/in/a.txt").c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fclose(f);
    ASSERT_EQ(::symlink("in/a.txt", (root + "/link").c_str()), 0);
    ASSERT_EQ(::symlink("gone", (root + "/dangling").c_str()), 0);
    ASSERT_EQ(::symlink("in", (root + "/folderLink").c_str()), 0);

    struct Case {
        std::string path;  // below root
        std::string expected;
        DWORD error;
    };
    const Case cases[] = {
        {"/in/a.txt", root + "/in/a.txt", ERROR_SUCCESS},
        {"\\in\\a.txt", root + "/in/a.txt", ERROR_SUCCESS},
        {"/in/../in/./a.txt", root + "/in/a.txt", ERROR_SUCCESS},
        {"/link", root + "/in/a.txt", ERROR_SUCCESS},
        {"/folderLink/a.txt", root + "/in/a.txt", ERROR_SUCCESS},
        {"/folderLink/..", root, ERROR_SUCCESS},
        {"/in", root + "/in", ERROR_SUCCESS},
        {"/in/b.txt", "", ERROR_FILE_NOT_FOUND},
        {"/out/b.txt", "", ERROR_PATH_NOT_FOUND},
        {"/dangling", "", ERROR_FILE_NOT_FOUND},
        {"/in/a.txt/x", "", ERROR_PATH_NOT_FOUND},
    };
    for (const Case& c : cases) {
        setLastError(ERROR_SUCCESS);
        EXPECT_EQ(utf16ToUtf8(getFinalPathName(utf8ToUtf16(root + c.path))), c.expected) << c.path;
        if (c.expected.empty()) {
            EXPECT_EQ(getLastError(), c.error) << c.path;
        }
    }
    EXPECT_TRUE(getFinalPathName(WString()).empty());
    EXPECT_EQ(getLastError(), ERROR_PATH_NOT_FOUND);

    // A link to a name that is not UTF-8 cannot be named in UTF-16.
    ASSERT_EQ(::mkdir((root + "/\xFF").c_str(), 0700), 0);
    ASSERT_EQ(::symlink("\xFF", (root + "/odd").c_str()), 0);
    EXPECT_TRUE(getFinalPathName(utf8ToUtf16(root + "/odd")).empty());
    EXPECT_EQ(getLastError(), ERROR_INVALID_NAME);

    for (const char* name : {"/in/a.txt", "/link", "/dangling", "/folderLink", "/odd"})
        std::remove((root + name).c_str());
    for (const char* name : {"/in", "/\xFF", ""})
        ::rmdir((root + name).c_str());
}
