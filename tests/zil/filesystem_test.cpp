// SPDX-License-Identifier: MIT
#include "temp_folder.h"

#include <zil/error.h>
#include <zil/filesystem.h>

#include <gtest/gtest.h>

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

    const auto fs = CLocalFileSystem::get();
    const CURI folder = CURI::fromPath(tmp.path());
    zil::TArray<IFileSystem::EntryInfo> entries;
    entries.push_back({L"kept", CURI(), false, 0}); // listing appends
    fs->listFolder(folder, entries);
    const struct {
        const wchar_t* name;
        bool folder;
        int64_t size;
    } expected[] = {{L"kept", false, 0},  {L"Alpha", true, 0}, {L"beta", true, 0},  {L"Zlink", true, 0},
                    {L"A.txt", false, 0}, {L"aa", false, 1},   {L"b.txt", false, 3}};
    ASSERT_EQ(entries.size(), std::size(expected));
    for (size_t i = 1; i < entries.size(); ++i) {
        SCOPED_TRACE(String(expected[i].name).toUTF8());
        EXPECT_EQ(entries[i].name, String(expected[i].name));
        EXPECT_EQ(entries[i].isFolder, expected[i].folder);
        EXPECT_EQ(entries[i].size, expected[i].size);
        EXPECT_EQ(entries[i].uri, folder.join(expected[i].name));
        EXPECT_EQ(fs->getEntryInfo(entries[i].uri).size, entries[i].size);
        EXPECT_EQ(fs->isFolder(entries[i].uri), expected[i].folder);
    }

    const CURI missing = CURI::fromPath(tmp / L"no such folder");
    for (const CURI& uri : {missing, folder.join(L"b.txt")}) {
        SCOPED_TRACE(uri.toString().toUTF8());
        const auto e = thrown<zil::CIOError>([&] { fs->listFolder(uri, entries); });
        EXPECT_EQ(e.getCode(), zil::CIOError::codeCannotOpen);
        EXPECT_EQ(e.getProp(L"path"), uri.getPath());
        EXPECT_EQ(e.getProp(zil::CIOError::paramURI()), uri.toString());
    }
    EXPECT_FALSE(fs->isFolder(missing));
    EXPECT_EQ(thrown<zil::CIOError>([&] { fs->getEntryInfo(missing); }).getProp(L"path"), missing.getPath());
    const CURI remote(L"smb://host/share");
    EXPECT_THROW(fs->listFolder(remote, entries), zil::CInvalidArgError);
    EXPECT_THROW(fs->getEntryInfo(remote), zil::CInvalidArgError);
}
