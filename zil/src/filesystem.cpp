// SPDX-License-Identifier: MIT
#include "zil/filesystem.h"

#include "zil/error.h"
#include "zil/path.h"

#include <algorithm>
#include <cerrno>
#include <iterator>
#include <sys/stat.h>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <string_view>
#include <vector>

namespace zil {

namespace {

CSafeGlobalSlot<CLocalFileSystem> g_localFileSystem;

} // namespace

P<CLocalFileSystem> CLocalFileSystem::get()
{
    return g_localFileSystem.use();
}

namespace {

// `what` names the failed step and ends in the quote before the path.
CIOError localError(const wchar_t* what, const Path& path, const CURI& uri, int error)
{
    CIOError e(what + path.str() + L"': " + getSysErrorText(error), L"zil::CLocalFileSystem",
               CIOError::codeCannotOpen);
    e.setProp(L"path", path.str());
    e.setProp(CIOError::paramURI(), uri.toString());
    e.setProp(L"lastSysError", toString(static_cast<int64_t>(error)));
    return e;
}

} // namespace

void CLocalFileSystem::listFolder(const CURI& folder, TArray<EntryInfo>& out)
{
    const Path path = folder.getLocalPath();
    const auto fail = [&](int error) { return localError(L"Cannot list folder '", path, folder, error); };
    if (path.isEmpty())
        throw fail(ENOENT);
    DIR* dir = ::opendir(path.toAPIPath().c_str());
    if (!dir)
        throw fail(getLastSysError());
    std::unique_ptr<DIR, int (*)(DIR*)> closer(dir, ::closedir);
    const int dirFd = ::dirfd(dir);

    // The entry's kind comes from the listing; only files (for their size) and entries of
    // unknown kind or behind a link cost a stat, relative to the open folder.
    const size_t first = out.size();
    int readError = 0;
    for (;;) {
        errno = 0;
        const dirent* entry = ::readdir(dir);
        if (!entry) {
            readError = errno;
            break;
        }
        const std::string_view raw(entry->d_name);
        if (raw == "." || raw == "..")
            continue;
        EntryInfo info;
        info.name = String::fromUTF8(raw);
        // A name that is no UTF-8 cannot be given back as a URI: it stays `other`.
        const bool named = info.name.find(static_cast<wchar_t>(0xFFFD)) == String::npos || info.name.toUTF8() == raw;
        if (named) {
            unsigned char kind = entry->d_type;
            struct stat st;
            if (kind == DT_REG || kind == DT_LNK || kind == DT_UNKNOWN) {
                if (::fstatat(dirFd, entry->d_name, &st, 0) != 0)
                    kind = DT_UNKNOWN; // vanished, or a link that leads nowhere
                else
                    kind = S_ISDIR(st.st_mode) ? DT_DIR : S_ISREG(st.st_mode) ? DT_REG : DT_UNKNOWN;
            }
            if (kind == DT_DIR) {
                info.type = EntryType::folder;
            } else if (kind == DT_REG) {
                info.type = EntryType::file;
                info.size = static_cast<int64_t>(st.st_size);
            }
        }
        info.uri = folder.join(info.name);
        out.push_back(std::move(info));
    }

    // Folders first, then case-blind with the exact name breaking ties, so that "a" and "A"
    // keep a stable place; each name folded once.
    const size_t count = out.size() - first;
    std::vector<std::pair<String, size_t>> keys;
    keys.reserve(count);
    for (size_t i = 0; i < count; ++i)
        keys.emplace_back(out[first + i].name.Lower(), first + i);
    std::sort(keys.begin(), keys.end(), [&out](const auto& a, const auto& b) {
        const EntryInfo& x = out[a.second];
        const EntryInfo& y = out[b.second];
        if (x.isFolder() != y.isFolder())
            return x.isFolder();
        const int c = a.first.compare(b.first);
        return c != 0 ? c < 0 : x.name < y.name;
    });
    TArray<EntryInfo> sorted;
    sorted.reserve(count);
    for (const auto& key : keys)
        sorted.push_back(std::move(out[key.second]));
    std::move(sorted.begin(), sorted.end(), out.begin() + static_cast<std::ptrdiff_t>(first));

    // What was read stays in `out`.
    if (readError != 0)
        throw fail(readError);
}

IFileSystem::EntryInfo CLocalFileSystem::getEntryInfo(const CURI& uri)
{
    const Path path = uri.getLocalPath();
    struct stat st;
    if (::stat(path.toAPIPath().c_str(), &st) != 0) {
        throw localError(L"Cannot read '", path, uri, getLastSysError());
    }
    EntryInfo info;
    info.name = uri.getName();
    info.uri = uri;
    info.type = S_ISDIR(st.st_mode)   ? EntryType::folder
                : S_ISREG(st.st_mode) ? EntryType::file
                                      : EntryType::other;
    info.size = S_ISREG(st.st_mode) ? static_cast<int64_t>(st.st_size) : 0;
    return info;
}

bool CLocalFileSystem::isFolder(const CURI& uri)
{
    return folderExists(uri.getLocalPath());
}

} // namespace zil
