// SPDX-License-Identifier: MIT
#include "temp_folder.h"

#include <zil/error.h>
#include <zil/path.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <future>
#include <cstdlib>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

using zil::Path;
using zil::String;
using zil::test::CTempFolder;

namespace {

// Sets or unsets an environment variable for the scope of a test.
class CEnvOverride {
public:
    CEnvOverride(const char* name, const char* value) : m_name(name)
    {
        if (const char* old = std::getenv(name))
            m_old = old;
        if (value)
            ::setenv(name, value, 1);
        else
            ::unsetenv(name);
    }
    ~CEnvOverride()
    {
        if (m_old)
            ::setenv(m_name.c_str(), m_old->c_str(), 1);
        else
            ::unsetenv(m_name.c_str());
    }

private:
    std::string m_name;
    std::optional<std::string> m_old;
};

} // namespace

TEST(PathNormalize, ResolvesDotsSeparatorsAndClimbing)
{
    const struct {
        const wchar_t* in;
        const wchar_t* out;
    } cases[] = {
        {L"a/./b/../c", L"a/c"},
        {L"/../a", L"/a"},
        {L"/a/../../..", L"/"},
        {L"../a/../../b", L"../../b"},
        {L"", L""},
        {L"a/..", L"."},
        {L".", L"."},
        {L"./", L"."},
        {L"./a", L"a"},
        {L"//a///b//", L"/a/b"},
        {L"/", L"/"},
        {L"///", L"/"},
        {L"a/b/", L"a/b"},
        {L"..", L".."},
        {L"../..", L"../.."},
        {L"a/../..", L".."},
        {L"/a/b/../../c/.", L"/c"},
        {L"a/...", L"a/..."},
        {L".a/..b", L".a/..b"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(String(c.in).toUTF8());
        const Path normal = Path(c.in).normalize();
        EXPECT_EQ(normal, Path(c.out));
        EXPECT_EQ(Path(c.in).needsNormalize(), String(c.in) != String(c.out));
        EXPECT_FALSE(normal.needsNormalize()) << "normalising twice changed " << normal.str().toUTF8();
    }
}

TEST(PathParts, ParentFileNameTitleAndExtension)
{
    const struct {
        const wchar_t* path;
        const wchar_t* parent;
        const wchar_t* fileName;
        const wchar_t* title;
        const wchar_t* extension;
    } cases[] = {
        {L"/a/b", L"/a", L"b", L"b", L""},
        {L"/a", L"/", L"a", L"a", L""},
        {L"/", L"/", L"", L"", L""},
        {L"a", L"", L"a", L"a", L""},
        {L"", L"", L"", L"", L""},
        {L"a/b/", L"a", L"b", L"b", L""},
        {L"a//b", L"a", L"b", L"b", L""},
        {L"/x.tar.gz", L"/", L"x.tar.gz", L"x.tar", L"gz"},
        {L"/home/u/.bashrc", L"/home/u", L".bashrc", L".bashrc", L""},
        {L"a.b/c", L"a.b", L"c", L"c", L""},
        {L".config/x.json", L".config", L"x.json", L"x", L"json"},
        {L"a.", L"", L"a.", L"a", L""},
        {L"..", L"", L"..", L"..", L""},
        {L"../.", L"..", L".", L".", L""},
        {L"/.a.b", L"/", L".a.b", L".a", L"b"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(String(c.path).toUTF8());
        const Path path(c.path);
        EXPECT_EQ(path.getParent(), Path(c.parent));
        EXPECT_EQ(path.getFileName(), String(c.fileName));
        EXPECT_EQ(path.getTitle(), String(c.title));
        EXPECT_EQ(path.getExtension(), String(c.extension));
    }
}

TEST(PathJoin, AbsoluteRightSideReplacesAndEmptySidesVanish)
{
    const struct {
        const wchar_t* left;
        const wchar_t* right;
        const wchar_t* joined;
    } cases[] = {
        {L"/a", L"b", L"/a/b"},
        {L"/a/", L"b", L"/a/b"},
        {L"/", L"b", L"/b"},
        {L"a", L"/etc/x", L"/etc/x"},
        {L"/a", L"", L"/a"},
        {L"", L"b", L"b"},
        {L"a", L"../b", L"a/../b"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(String(c.left).toUTF8() + " / " + String(c.right).toUTF8());
        EXPECT_EQ(Path(c.left).join(c.right), Path(c.joined));
        EXPECT_EQ(Path(c.left) / c.right, Path(c.joined));
    }
}

TEST(PathMakeAbsolute, AgainstWorkingFolderAndRelativeBase)
{
    const Path cwd(zil::getCurrentWorkDirectoryAsString());
    ASSERT_TRUE(cwd.isAbsolute());
    EXPECT_EQ(Path(L"x/y").makeAbsolute(), cwd / L"x/y");
    EXPECT_EQ(Path(L"/x").makeAbsolute(), Path(L"/x"));
    EXPECT_EQ(Path(L"x").makeAbsolute(L"/base"), Path(L"/base/x"));
    // a relative base is itself taken from the working folder
    EXPECT_EQ(Path(L"x").makeAbsolute(L"b"), cwd / L"b/x");
    EXPECT_EQ(Path(L"/x").makeAbsolute(L"/base"), Path(L"/x"));
}

TEST(PathExistence, FilesFoldersAndDanglingLinks)
{
    CTempFolder tmp;
    const Path file = tmp.writeFile(L"f", "x");
    const Path link = tmp / L"link";
    const Path dangling = tmp / L"dangling";
    ASSERT_EQ(::symlink(file.toAPIPath().c_str(), link.toAPIPath().c_str()), 0);
    ASSERT_EQ(::symlink((tmp / L"gone").toAPIPath().c_str(), dangling.toAPIPath().c_str()), 0);

    EXPECT_TRUE(zil::fileExists(file));
    EXPECT_TRUE(zil::fileExists(link));
    EXPECT_FALSE(zil::fileExists(tmp.path()));
    EXPECT_TRUE(zil::folderExists(tmp.path()));
    EXPECT_FALSE(zil::folderExists(file));
    EXPECT_FALSE(zil::fileExists(dangling));
    EXPECT_TRUE(zil::pathExists(dangling));
    EXPECT_FALSE(zil::pathExists(tmp / L"gone"));
    EXPECT_FALSE(zil::pathExists(Path()));
}

TEST(EnsureFolderExists, CreatesParentsAndReportsAFileInTheWay)
{
    CTempFolder tmp;
    const Path deep = tmp / L"a/b//c/";
    zil::ensureFolderExists(deep, 0750);
    EXPECT_TRUE(zil::folderExists(tmp / L"a/b/c"));
    struct stat info;
    ASSERT_EQ(::stat((tmp / L"a/b").toAPIPath().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777 & ~0750, 0u) << "parents get the mode too";
    zil::ensureFolderExists(deep); // exists already: nothing to do

    const Path file = tmp.writeFile(L"file", "data");
    for (const Path& wanted : {file, file / L"sub", file / L"sub/deeper"}) {
        SCOPED_TRACE(wanted.str().toUTF8());
        try {
            zil::ensureFolderExists(wanted);
            ADD_FAILURE() << "no error";
        } catch (const zil::CError& e) {
            EXPECT_EQ(e.getProp(L"path"), wanted.str());
            EXPECT_EQ(e.getProp(L"func"), String(L"mkdir"));
            EXPECT_EQ(e.getProp(L"lastSysError"), zil::toString(int64_t(ENOTDIR)));
            EXPECT_TRUE(e.getMessage().Contains(file.str())) << e.what();
        }
    }
    EXPECT_TRUE(zil::fileExists(file)) << "the file in the way must be left alone";
    EXPECT_THROW(zil::ensureFolderExists(Path()), zil::CBadPathError);
}

TEST(ReadUTF8TextFile, StripsBOMAndRejectsMissingFilesAndFolders)
{
    CTempFolder tmp;
    const struct {
        std::string bytes;
        String text;
    } cases[] = {
        {"\xEF\xBB\xBFh\xC3\xA9llo\n", L"h\u00E9llo\n"},
        {"plain", L"plain"},
        {"\xEF\xBB\xBF", L""},
        {"", L""},
        {"\xEF\xBB", L"\uFFFD"}, // a cut BOM is broken text, not a BOM
        {"a\xEF\xBB\xBF", L"a\uFEFF"}, // only a leading one is removed
        {std::string("a\0b", 3), String(L"a\0b", 3)},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(n);
        const Path file = tmp.writeFile(L"f" + zil::toString(int64_t(n++)), c.bytes);
        EXPECT_EQ(zil::readUTF8TextFile(file), c.text);
    }
    // A FIFO without a writer reads as empty rather than blocking in open().
    const Path fifo = tmp / L"fifo";
    ASSERT_EQ(::mkfifo(fifo.toAPIPath().c_str(), 0600), 0);
    auto fromFifo = std::async(std::launch::async, [&fifo] { return zil::readUTF8TextFile(fifo); });
    if (fromFifo.wait_for(std::chrono::seconds(30)) != std::future_status::ready) {
        ADD_FAILURE() << "reading a FIFO hangs";
        ::close(::open(fifo.toAPIPath().c_str(), O_WRONLY)); // let the reader go
    }
    EXPECT_EQ(fromFifo.get(), String());

    const std::string big(200000, 'x');
    EXPECT_EQ(zil::readUTF8TextFile(tmp.writeFile(L"big", big)).size(), big.size());

    const struct {
        Path path;
        int error;
    } bad[] = {{tmp / L"missing", ENOENT}, {tmp.path(), EISDIR}, {tmp / L"big/x", ENOTDIR}};
    for (const auto& c : bad) {
        SCOPED_TRACE(c.path.str().toUTF8());
        try {
            zil::readUTF8TextFile(c.path);
            ADD_FAILURE() << "no error";
        } catch (const zil::CIOError& e) {
            EXPECT_EQ(e.getCode(), zil::CIOError::codeCannotOpen);
            EXPECT_EQ(e.getProp(L"path"), c.path.str());
            EXPECT_EQ(e.getProp(L"lastSysError"), zil::toString(int64_t(c.error)));
            EXPECT_TRUE(e.getMessage().Contains(c.path.str())) << e.what();
        }
    }
}

TEST(FileSystemIterator, SortedEntriesKindsAndSizes)
{
    CTempFolder tmp;
    tmp.writeFile(L"b.txt", "12345");
    tmp.writeFile(L"B", "");
    tmp.writeFile(L"\u00E9t\u00E9", "xy");
    zil::ensureFolderExists(tmp / L"a-folder");
    tmp.writeFile(L".hidden", "h");
    ASSERT_EQ(::symlink("nowhere", (tmp / L"c-dangling").toAPIPath().c_str()), 0);

    const struct {
        const wchar_t* name;
        bool folder;
        bool file;
        int64_t size;
    } expected[] = {
        {L".hidden", false, true, 1},
        {L"B", false, true, 0},
        {L"a-folder", true, false, 0},
        {L"b.txt", false, true, 5},
        {L"c-dangling", false, false, 0},
        {L"\u00E9t\u00E9", false, true, 2},
    };
    zil::CFileSystemIterator it(tmp.path());
    EXPECT_THROW(it.getName(), zil::CError) << "no entry before next()";
    for (const auto& e : expected) {
        SCOPED_TRACE(String(e.name).toUTF8());
        ASSERT_TRUE(it.next());
        EXPECT_EQ(it.getName(), String(e.name));
        EXPECT_EQ(it.getPath(), tmp / e.name);
        EXPECT_EQ(it.isFolder(), e.folder);
        EXPECT_EQ(it.isFile(), e.file);
        EXPECT_EQ(it.getSize(), e.size);
        EXPECT_FALSE(it.needsNormalize());
    }
    EXPECT_FALSE(it.next());
    EXPECT_FALSE(it.next()) << "stays at the end";
    EXPECT_THROW(it.getPath(), zil::CError);

    zil::CFileSystemIterator dotted(tmp / L"a-folder/../.");
    zil::CFileSystemIterator trailing(tmp.path().str() + L"/");
    ASSERT_TRUE(dotted.next());
    ASSERT_TRUE(trailing.next());
    EXPECT_TRUE(dotted.needsNormalize());
    EXPECT_FALSE(trailing.needsNormalize()) << trailing.getPath().str().toUTF8();
}

TEST(FileSystemIterator, UnreadableFoldersThrowWithPath)
{
    CTempFolder tmp;
    const Path file = tmp.writeFile(L"file", "");
    for (const Path& folder : {tmp / L"missing", file, Path()}) {
        SCOPED_TRACE(folder.str().toUTF8());
        try {
            zil::CFileSystemIterator it(folder);
            ADD_FAILURE() << "no error";
        } catch (const zil::CIOError& e) {
            EXPECT_EQ(e.getCode(), zil::CIOError::codeCannotOpen);
            EXPECT_EQ(e.getProp(L"path"), folder.str());
            EXPECT_FALSE(e.getProp(L"lastSysError").isEmpty());
        }
    }
}

TEST(SystemPaths, UserAppLogFolderFollowsXDGAndHome)
{
    CTempFolder tmp;
    const Path state = tmp / L"state";
    const Path home = tmp / L"home";
    {
        CEnvOverride xdg("XDG_STATE_HOME", state.toAPIPath().c_str());
        EXPECT_EQ(zil::CSystemPaths(L"app").getUserAppLogFolder(false), state / L"app");
        EXPECT_FALSE(zil::pathExists(state)) << "create=false must not create anything";
        const Path made = zil::CSystemPaths(L"my app").getUserAppLogFolder(true);
        EXPECT_EQ(made, state / L"my app");
        struct stat info;
        ASSERT_EQ(::stat(made.toAPIPath().c_str(), &info), 0);
        EXPECT_TRUE(S_ISDIR(info.st_mode));
        EXPECT_EQ(info.st_mode & 0077, 0u) << "log folder must be private";
    }
    CEnvOverride homeVar("HOME", home.toAPIPath().c_str());
    for (const char* xdg : {static_cast<const char*>(nullptr), "", "relative/state"}) {
        SCOPED_TRACE(xdg ? xdg : "(unset)");
        CEnvOverride override("XDG_STATE_HOME", xdg);
        EXPECT_EQ(zil::CSystemPaths(L"app").getUserAppLogFolder(false), home / L".local/state/app");
    }
    {
        CEnvOverride noXdg("XDG_STATE_HOME", nullptr);
        CEnvOverride noHome("HOME", nullptr);
        const Path fallback = zil::CSystemPaths(L"app").getUserAppLogFolder(false);
        EXPECT_TRUE(fallback.isAbsolute()) << fallback.str().toUTF8();
        EXPECT_EQ(fallback.getFileName(), String(L"app"));
    }
}

TEST(SystemPaths, AppNamesThatAreNotFolderNamesAreRejected)
{
    for (const wchar_t* name : {L"", L".", L"..", L"a/b", L"/abs", L"app/"}) {
        SCOPED_TRACE(String(name).toUTF8());
        try {
            zil::CSystemPaths paths(name);
            ADD_FAILURE() << "accepted";
        } catch (const zil::CInvalidArgError& e) {
            EXPECT_TRUE(e.getMessage().Contains(String(L"'") + name + L"'")) << e.what();
        }
    }
    EXPECT_NO_THROW(zil::CSystemPaths(L"..app"));
}
