// SPDX-License-Identifier: MIT
#include "temp_folder.h"

#include <zil/error.h>
#include <zil/path.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <future>
#include <sys/stat.h>
#include <unistd.h>

using zil::Path;
using zil::String;
using zil::test::CEnvOverride;
using zil::test::CTempFolder;
using zil::test::thrown;

TEST(PathNormalize, ResolvesDotsSeparatorsAndClimbing)
{
    const struct {
        const wchar_t *in, *out;
    } cases[] = {
        {L"a/./b/../c", L"a/c"}, {L"/../a", L"/a"}, {L"/a/../../..", L"/"}, {L"../a/../../b", L"../../b"},
        {L"", L""}, {L"a/..", L"."}, {L"./a", L"a"}, {L"//a///b//", L"/a/b"}, {L"///", L"/"},
        {L"a/b/", L"a/b"}, {L"..", L".."}, {L"a/../..", L".."}, {L"a/...", L"a/..."}, {L".a/..b", L".a/..b"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(String(c.in).toUTF8());
        const Path normal = Path(c.in).normalize();
        EXPECT_EQ(normal, Path(c.out));
        EXPECT_EQ(Path(c.in).needsNormalize(), String(c.in) != String(c.out));
        EXPECT_FALSE(normal.needsNormalize());
    }
}

TEST(PathComponents, ParentFileNameTitleAndExtension)
{
    const struct {
        const wchar_t *path, *parent, *fileName, *title, *extension;
    } cases[] = {
        {L"/a", L"/", L"a", L"a", L""},         {L"/", L"/", L"", L"", L""},
        {L"a", L"", L"a", L"a", L""},           {L"a/b/", L"a", L"b", L"b", L""},
        {L"a//b", L"a", L"b", L"b", L""},       {L"/x.tar.gz", L"/", L"x.tar.gz", L"x.tar", L"gz"},
        {L"a.b/c", L"a.b", L"c", L"c", L""},    {L"/home/u/.bashrc", L"/home/u", L".bashrc", L".bashrc", L""},
        {L"a.", L"", L"a.", L"a", L""},         {L"..", L"", L"..", L"..", L""},
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

TEST(PathJoin, AbsoluteRightSideReplacesEmptySidesVanishNarrowTextIsUTF8)
{
    const struct {
        const wchar_t *left, *right, *joined;
    } cases[] = {{L"/a/", L"b", L"/a/b"}, {L"/", L"b", L"/b"}, {L"a", L"/etc/x", L"/etc/x"},
                 {L"/a", L"", L"/a"},     {L"", L"b", L"b"},   {L"a", L"../b", L"a/../b"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(String(c.left).toUTF8() + " / " + String(c.right).toUTF8());
        EXPECT_EQ(Path(c.left) / c.right, Path(c.joined));
    }
    const Path cwd(zil::getCurrentWorkDirectoryAsString());
    EXPECT_EQ(Path(L"x").makeAbsolute(), cwd / L"x");
    EXPECT_EQ(Path(L"x").makeAbsolute(L"b"), cwd / L"b/x") << "a relative base starts at the working folder";
    EXPECT_EQ(Path(L"/x").makeAbsolute(L"/base"), Path(L"/x"));
    // Narrow text is UTF-8 (command lines, std::filesystem, config files), not Latin-1.
    EXPECT_EQ(Path("/tmp/gr\xc3\xbc\xc3\x9f/\xe2\x82\xac").str(), String(L"/tmp/gr\u00fc\u00df/\u20ac"));
    EXPECT_EQ(Path(std::string("caf\xc3\xa9")) / "x", Path(L"caf\u00e9/x"));
}

TEST(EnsureFolderExists, CreatesParentsAndReportsAFileInTheWay)
{
    CTempFolder tmp;
    zil::ensureFolderExists(tmp / L"a/b//c/", 0750);
    zil::ensureFolderExists(tmp / L"a/b/c"); // exists already: nothing to do
    struct stat info;
    ASSERT_EQ(::stat(tmp.api(L"a/b").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777 & ~0750, 0u) << "parents get the mode too";

    const Path file = tmp.writeFile(L"file", "data");
    for (const Path& wanted : {file, file / L"sub/deeper"}) {
        SCOPED_TRACE(wanted.str().toUTF8());
        const zil::CError e = thrown([&] { zil::ensureFolderExists(wanted); });
        EXPECT_EQ(e.getProp(L"path"), wanted.str());
        EXPECT_EQ(e.getProp(L"lastSysError"), zil::toString(int64_t(ENOTDIR)));
        EXPECT_TRUE(e.getMessage().Contains(file.str())) << e.what();
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
        {"\xEF\xBB\xBF", L""},
        {"\xEF\xBB", L"\uFFFD"},       // a cut BOM is broken text, not a BOM
        {"a\xEF\xBB\xBF", L"a\uFEFF"}, // only a leading one is removed
        {std::string("a\0b", 3), String(L"a\0b", 3)},
        {std::string(200000, 'x'), String(200000, L'x')},
    };
    for (const auto& c : cases)
        EXPECT_EQ(zil::readUTF8TextFile(tmp.writeFile(L"f", c.bytes)), c.text) << c.bytes.substr(0, 9);

    // A FIFO without a writer reads as empty rather than blocking in open().
    ASSERT_EQ(::mkfifo(tmp.api(L"fifo").c_str(), 0600), 0);
    auto fromFifo = std::async(std::launch::async, [&] { return zil::readUTF8TextFile(tmp / L"fifo"); });
    if (fromFifo.wait_for(std::chrono::seconds(30)) != std::future_status::ready) {
        ADD_FAILURE() << "reading a FIFO hangs";
        ::close(::open(tmp.api(L"fifo").c_str(), O_WRONLY)); // let the reader go
    }
    EXPECT_EQ(fromFifo.get(), String());

    for (const auto& [path, error] : {std::pair{tmp / L"missing", ENOENT}, {tmp.path(), EISDIR}}) {
        SCOPED_TRACE(path.str().toUTF8());
        const zil::CIOError e = thrown<zil::CIOError>([&, p = path] { zil::readUTF8TextFile(p); });
        EXPECT_EQ(e.getCode(), zil::CIOError::codeCannotOpen);
        EXPECT_EQ(e.getProp(L"path"), path.str());
        EXPECT_EQ(e.getProp(L"lastSysError"), zil::toString(int64_t(error)));
    }
}

// The iterator and fileExists/folderExists/pathExists agree on each kind, dangling links included.
TEST(FileSystemIterator, SortedEntriesKindsAndSizes)
{
    CTempFolder tmp;
    tmp.writeFile(L"b.txt", "12345");
    tmp.writeFile(L"B", "");
    tmp.writeFile(L".hidden", "h");
    tmp.writeFile(L"\u00E9t\u00E9", "xy");
    zil::ensureFolderExists(tmp / L"a-folder");
    ASSERT_EQ(::symlink("nowhere", tmp.api(L"c-dangling").c_str()), 0);
    const struct {
        const wchar_t* name;
        bool folder, file;
        int64_t size;
    } expected[] = {{L".hidden", false, true, 1},     {L"B", false, true, 0},
                    {L"a-folder", true, false, 0},    {L"b.txt", false, true, 5},
                    {L"c-dangling", false, false, 0}, {L"\u00E9t\u00E9", false, true, 2}};
    zil::CFileSystemIterator it(tmp.path().str() + L"/");
    for (const auto& e : expected) {
        SCOPED_TRACE(String(e.name).toUTF8());
        ASSERT_TRUE(it.next());
        EXPECT_EQ(it.getPath(), tmp / e.name);
        EXPECT_EQ(it.isFolder(), e.folder);
        EXPECT_EQ(it.isFile(), e.file);
        EXPECT_EQ(it.getSize(), e.size);
        EXPECT_EQ(zil::fileExists(it.getPath()), e.file);
        EXPECT_EQ(zil::folderExists(it.getPath()), e.folder);
        EXPECT_TRUE(zil::pathExists(it.getPath()));
    }
    EXPECT_FALSE(it.next());
    EXPECT_FALSE(it.next()) << "stays at the end";
    EXPECT_THROW(it.getPath(), zil::CError);

    for (const Path& folder : {tmp / L"missing", tmp / L"b.txt", Path()}) {
        SCOPED_TRACE(folder.str().toUTF8());
        const zil::CIOError e = thrown<zil::CIOError>([&] { zil::CFileSystemIterator bad(folder); });
        EXPECT_EQ(e.getCode(), zil::CIOError::codeCannotOpen);
        EXPECT_EQ(e.getProp(L"path"), folder.str());
        EXPECT_FALSE(zil::folderExists(folder));
    }
    EXPECT_FALSE(zil::pathExists(tmp / L"missing"));
}

TEST(SystemPaths, UserAppLogFolderFollowsXDGAndHome)
{
    CTempFolder tmp;
    const Path state = tmp / L"state", home = tmp / L"home";
    {
        CEnvOverride xdg("XDG_STATE_HOME", state.toAPIPath().c_str());
        EXPECT_EQ(zil::CSystemPaths(L"app").getUserAppLogFolder(false), state / L"app");
        EXPECT_FALSE(zil::pathExists(state)) << "create=false must not create anything";
        const Path made = zil::CSystemPaths(L"my app").getUserAppLogFolder(true);
        EXPECT_EQ(made, state / L"my app");
        struct stat info;
        ASSERT_EQ(::stat(made.toAPIPath().c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0077, 0u) << "log folder must be private";
    }
    CEnvOverride homeVar("HOME", home.toAPIPath().c_str());
    for (const char* xdg : {static_cast<const char*>(nullptr), "", "relative/state"}) {
        SCOPED_TRACE(xdg ? xdg : "(unset)");
        CEnvOverride override("XDG_STATE_HOME", xdg);
        EXPECT_EQ(zil::CSystemPaths(L"app").getUserAppLogFolder(false), home / L".local/state/app");
    }
    CEnvOverride noXdg("XDG_STATE_HOME", nullptr), noHome("HOME", nullptr);
    EXPECT_TRUE(zil::CSystemPaths(L"app").getUserAppLogFolder(false).isAbsolute());

    for (const wchar_t* name : {L"", L".", L"..", L"a/b", L"app/"}) {
        SCOPED_TRACE(String(name).toUTF8());
        const auto e = thrown<zil::CInvalidArgError>([&] { zil::CSystemPaths paths(name); });
        EXPECT_TRUE(e.getMessage().Contains(String(L"'") + name + L"'")) << e.what();
    }
    EXPECT_NO_THROW(zil::CSystemPaths(L"..app"));
}
