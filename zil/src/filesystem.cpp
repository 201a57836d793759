// SPDX-License-Identifier: MIT
#include "zil/filesystem.h"

#include "zil/error.h"
#include "zil/path.h"

#include <algorithm>
#include <cerrno>
#include <iterator>
#include <sys/stat.h>

namespace zil {

namespace {

CSafeGlobalSlot<CLocalFileSystem> g_localFileSystem;

[[noreturn]] void rethrowWithURI(const CError& cause, const String& message, const Path& path, const CURI& uri)
{
    CIOError e(message, L"zil::CLocalFileSystem", CIOError::codeCannotOpen);
    e.setProp(L"path", path.str());
    e.setProp(CIOError::paramURI(), uri.toString());
    const String sysError = cause.getProp(L"lastSysError");
    if (!sysError.empty())
        e.setProp(L"lastSysError", sysError);
    e.setCause(cause);
    throw e;
}

} // namespace

P<CLocalFileSystem> CLocalFileSystem::get()
{
    return g_localFileSystem.use();
}

void CLocalFileSystem::listFolder(const CURI& folder, TArray<EntryInfo>& out)
{
    const Path path = folder.getLocalPath();
    TArray<EntryInfo> folders;
    TArray<EntryInfo> others;
    try {
        for (CFileSystemIterator it(path); it.next();) {
            EntryInfo info;
            info.name = it.getName();
            info.uri = folder.join(info.name);
            info.type = it.isFolder() ? EntryType::folder : it.isFile() ? EntryType::file : EntryType::other;
            info.size = std::max<int64_t>(it.getSize(), 0);
            (info.isFolder() ? folders : others).push_back(std::move(info));
        }
    } catch (const CError& e) {
        rethrowWithURI(e, L"Cannot list folder '" + path.str() + L"': " + e.getMessage(), path, folder);
    }
    // exact order breaks ties so that "a" and "A" keep a stable place
    const auto byName = [](const EntryInfo& a, const EntryInfo& b) {
        const int c = a.name.CmpNoCase(b.name);
        return c != 0 ? c < 0 : a.name < b.name;
    };
    std::sort(folders.begin(), folders.end(), byName);
    std::sort(others.begin(), others.end(), byName);
    out.reserve(out.size() + folders.size() + others.size());
    std::move(folders.begin(), folders.end(), std::back_inserter(out));
    std::move(others.begin(), others.end(), std::back_inserter(out));
}

IFileSystem::EntryInfo CLocalFileSystem::getEntryInfo(const CURI& uri)
{
    const Path path = uri.getLocalPath();
    struct stat st;
    if (::stat(path.toAPIPath().c_str(), &st) != 0) {
        const int error = getLastSysError();
        CIOError e(L"Cannot read '" + path.str() + L"': " + getSysErrorText(error), L"zil::CLocalFileSystem",
                   CIOError::codeCannotOpen);
        e.setProp(L"path", path.str());
        e.setProp(CIOError::paramURI(), uri.toString());
        e.setProp(L"lastSysError", toString(static_cast<int64_t>(error)));
        throw e;
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
