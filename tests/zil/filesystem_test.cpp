// SPDX-License-Identifier: MIT
#include "temp_folder.h"

#include <zil/error.h>
#include <zil/filesystem.h>

#include <gtest/gtest.h>

#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

using zil::CLocalFileSystem;
using zil::CURI;
using zil::IFileSystem;
using zil::String;
using zil::test::CTempFolder;
using zil::test::thrown;

TEST(LocalFileSystem, ListsFoldersFirstInCaseBlindOrderAndFailsNamingTheEntry)
{
    CTempFolder tmp;
    for (const wchar_t* folder : {L"beta", L"Alpha"})
        zil::ensureFolderExists(tmp / folder);
    tmp.writeFile(L"b.txt", "123");
    tmp.writeFile(L"A.txt", "");
    tmp.writeFile(L"aa", "1");
    ASSERT_EQ(::symlink("beta", tmp.api(L"Zlink").c_str()), 0);
    ASSERT_EQ(::symlink("nowhere", tmp.api(L"dead").c_str()), 0);
    ASSERT_EQ(::symlink("b.txt", tmp.api(L"flink").c_str()), 0);
    ASSERT_EQ(::mkfifo(tmp.api(L"fifo").c_str(), 0600), 0);
    // Not UTF-8: no URI made of its decoded name leads back to it.
    std::ofstream(tmp.path().toAPIPath() + "/bad\xff", std::ios::binary) << "12";

    using Type = IFileSystem::EntryType;
    const auto fs = CLocalFileSystem::get();
    const CURI folder = CURI::fromPath(tmp.path());
    zil::TArray<IFileSystem::EntryInfo> entries;
    entries.push_back({L"kept", CURI(), Type::file, 0}); // listing appends
    fs->listFolder(folder, entries);
    // A FIFO, a link that leads nowhere or a name that cannot be given back is neither file nor
    // folder, and has no size; a link to a file has the file's.
    const struct {
        const wchar_t* name;
        Type type;
        int64_t size;
    } expected[] = {{L"kept", Type::file, 0},    {L"Alpha", Type::folder, 0}, {L"beta", Type::folder, 0},
                    {L"Zlink", Type::folder, 0}, {L"A.txt", Type::file, 0},   {L"aa", Type::file, 1},
                    {L"b.txt", Type::file, 3},   {L"bad\uFFFD", Type::other, 0}, {L"dead", Type::other, 0},
                    {L"fifo", Type::other, 0},   {L"flink", Type::file, 3}};
    ASSERT_EQ(entries.size(), std::size(expected));
    for (size_t i = 1; i < entries.size(); ++i) {
        SCOPED_TRACE(String(expected[i].name).toUTF8());
        EXPECT_EQ(entries[i].name, String(expected[i].name));
        EXPECT_EQ(entries[i].type, expected[i].type);
        EXPECT_EQ(entries[i].size, expected[i].size);
        EXPECT_EQ(entries[i].uri, folder.join(expected[i].name));
        if (entries[i].name == L"dead" || entries[i].name == L"bad\uFFFD") {
            EXPECT_THROW(fs->getEntryInfo(entries[i].uri), zil::CIOError);
            continue;
        }
        EXPECT_EQ(fs->getEntryInfo(entries[i].uri).type, entries[i].type);
        EXPECT_EQ(fs->getEntryInfo(entries[i].uri).size, entries[i].size);
        EXPECT_EQ(fs->isFolder(entries[i].uri), expected[i].type == Type::folder);
    }

    const CURI missing = CURI::fromPath(tmp / L"no such folder");
    for (const CURI& uri : {missing, folder.join(L"b.txt")}) {
        SCOPED_TRACE(uri.toString().toUTF8());
        const auto e = thrown<zil::CIOError>([&] { fs->listFolder(uri, entries); });
        EXPECT_EQ(e.getCode(), zil::CIOError::codeCannotOpen);
        EXPECT_EQ(e.getProp(L"path"), uri.getPath());
        EXPECT_EQ(e.getProp(zil::CIOError::paramURI()), uri.toString());
        EXPECT_FALSE(e.getProp(L"lastSysError").empty());
    }
    EXPECT_FALSE(fs->isFolder(missing));
    EXPECT_EQ(thrown<zil::CIOError>([&] { fs->getEntryInfo(missing); }).getProp(L"path"), missing.getPath());
    const CURI remote(L"smb://host/share");
    EXPECT_THROW(fs->listFolder(remote, entries), zil::CInvalidArgError);
    EXPECT_THROW(fs->getEntryInfo(remote), zil::CInvalidArgError);
}
