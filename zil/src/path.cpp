// SPDX-License-Identifier: MIT
#include "zil/path.h"

#include "zil/error.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zil {

template <class Traits>
typename String::size_type TPathImpl<Traits>::getTrimmedLength() const
{
    const auto root = Traits::getRootLength(m_path);
    auto end = m_path.size();
    while (end > root && Traits::isSeparator(m_path[end - 1]))
        --end;
    return end;
}

template <class Traits>
TPathImpl<Traits> TPathImpl<Traits>::join(const TPathImpl& other) const
{
    if (other.isAbsolute() || m_path.empty())
        return other;
    if (other.m_path.empty())
        return *this;
    String joined = m_path;
    if (!Traits::isSeparator(joined.back()))
        joined += Traits::kSeparator;
    joined += other.m_path;
    return TPathImpl(std::move(joined));
}

template <class Traits>
TPathImpl<Traits> TPathImpl<Traits>::getParent() const
{
    const auto root = Traits::getRootLength(m_path);
    auto end = getTrimmedLength();
    if (end <= root)
        return TPathImpl(m_path.substr(0, root));
    while (end > root && !Traits::isSeparator(m_path[end - 1]))
        --end;
    // drop the separators between the parent and the name, "a//b" -> "a"
    while (end > root && Traits::isSeparator(m_path[end - 1]))
        --end;
    return TPathImpl(m_path.substr(0, end));
}

template <class Traits>
String TPathImpl<Traits>::getFileName() const
{
    const auto root = Traits::getRootLength(m_path);
    const auto end = getTrimmedLength();
    auto begin = end;
    while (begin > root && !Traits::isSeparator(m_path[begin - 1]))
        --begin;
    return m_path.substr(begin, end - begin);
}

namespace {

// Position of the dot that starts the extension in a file name, npos when there is none.
String::size_type findExtensionDot(const String& name)
{
    if (name == L"." || name == L"..")
        return String::npos;
    const auto dot = name.rfind(L'.');
    return dot == 0 ? String::npos : dot;
}

} // namespace

template <class Traits>
String TPathImpl<Traits>::getTitle() const
{
    const String name = getFileName();
    const auto dot = findExtensionDot(name);
    return dot == String::npos ? name : String(name.substr(0, dot));
}

template <class Traits>
String TPathImpl<Traits>::getExtension() const
{
    const String name = getFileName();
    const auto dot = findExtensionDot(name);
    return dot == String::npos ? String() : String(name.substr(dot + 1));
}

template <class Traits>
TPathImpl<Traits> TPathImpl<Traits>::makeAbsolute() const
{
    if (isAbsolute())
        return *this;
    return TPathImpl(getCurrentWorkDirectoryAsString()).join(*this);
}

template <class Traits>
TPathImpl<Traits> TPathImpl<Traits>::makeAbsolute(const TPathImpl& base) const
{
    if (isAbsolute())
        return *this;
    return base.makeAbsolute().join(*this);
}

template <class Traits>
TPathImpl<Traits> TPathImpl<Traits>::normalize() const
{
    if (m_path.empty())
        return *this;
    const auto root = Traits::getRootLength(m_path);
    TArray<String> parts;
    auto pos = root;
    while (pos < m_path.size()) {
        auto end = pos;
        while (end < m_path.size() && !Traits::isSeparator(m_path[end]))
            ++end;
        const String part = m_path.substr(pos, end - pos);
        if (part.empty() || part == L".") {
            // repeated separator or "."
        } else if (part == L"..") {
            if (!parts.empty() && parts.back() != L"..")
                parts.pop_back();
            else if (root == 0)
                parts.push_back(part); // a relative path may climb above its start
            // above the root of an absolute path there is nothing: stay at the root
        } else {
            parts.push_back(part);
        }
        pos = end + 1;
    }
    String out = m_path.substr(0, root);
    for (size_t i = 0; i < parts.size(); ++i) {
        if (i > 0)
            out += Traits::kSeparator;
        out += parts[i];
    }
    if (out.empty())
        out = L".";
    return TPathImpl(std::move(out));
}

template class TPathImpl<CNativePathTraits>;

namespace {

bool statPath(const Path& path, struct stat& info)
{
    return !path.isEmpty() && ::stat(path.toAPIPath().c_str(), &info) == 0;
}

CProps pathProps(const Path& path)
{
    CProps props;
    props.set(L"path", path.str());
    return props;
}

[[noreturn]] void throwIOError(int code, const String& message, const String& source, const Path& path,
                               int error)
{
    CIOError e(message + L": " + getSysErrorText(error), source, code);
    e.setProp(L"path", path.str());
    e.setProp(L"lastSysError", toString(static_cast<int64_t>(error)));
    throw e;
}

} // namespace

bool fileExists(const Path& path)
{
    struct stat info;
    return statPath(path, info) && S_ISREG(info.st_mode);
}

bool folderExists(const Path& path)
{
    struct stat info;
    return statPath(path, info) && S_ISDIR(info.st_mode);
}

bool pathExists(const Path& path)
{
    struct stat info;
    return !path.isEmpty() && ::lstat(path.toAPIPath().c_str(), &info) == 0;
}

namespace {

void makeFolder(const Path& folder, int mode, const Path& requested)
{
    if (::mkdir(folder.toAPIPath().c_str(), static_cast<mode_t>(mode)) == 0)
        return;
    int error = getLastSysError();
    if (error == ENOENT) {
        const Path parent = folder.getParent();
        if (!parent.isEmpty() && parent != folder) {
            makeFolder(parent, mode, requested);
            if (::mkdir(folder.toAPIPath().c_str(), static_cast<mode_t>(mode)) == 0)
                return;
            error = getLastSysError();
        }
    }
    // Someone else may have made it meanwhile; anything else in the way is an error.
    if (error == EEXIST) {
        if (folderExists(folder))
            return;
        error = ENOTDIR;
    }
    throwSysError(L"mkdir", L"Cannot create folder '" + folder.str() + L"'", pathProps(requested), error);
}

class CFileCloser {
public:
    explicit CFileCloser(int fd) : m_fd(fd) {}
    ~CFileCloser() { ::close(m_fd); }
    CFileCloser(const CFileCloser&) = delete;
    CFileCloser& operator=(const CFileCloser&) = delete;

private:
    int m_fd;
};

} // namespace

void ensureFolderExists(const Path& folder, int mode)
{
    if (folder.isEmpty())
        throw CBadPathError(L"Cannot create a folder with an empty path", L"zil::ensureFolderExists");
    if (folderExists(folder))
        return;
    makeFolder(folder, mode, folder);
}

std::string readFileBytes(const Path& path)
{
    static const String source(L"zil::readFileBytes");
    const String what = L"Cannot read file '" + path.str() + L"'";
    if (path.isEmpty())
        throwIOError(CIOError::codeCannotOpen, what, source, path, ENOENT);
    // Non-blocking only for the open: a FIFO without a writer must not hang us there.
    const int fd = ::open(path.toAPIPath().c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        throwIOError(CIOError::codeCannotOpen, what, source, path, getLastSysError());
    CFileCloser closer(fd);
    struct stat info;
    if (::fstat(fd, &info) != 0)
        throwIOError(CIOError::codeCannotOpen, what, source, path, getLastSysError());
    if (S_ISDIR(info.st_mode))
        throwIOError(CIOError::codeCannotOpen, what, source, path, EISDIR);
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags == -1 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == -1)
        throwIOError(CIOError::codeCannotOpen, what, source, path, getLastSysError());

    std::string bytes;
    if (S_ISREG(info.st_mode) && info.st_size > 0)
        bytes.reserve(static_cast<size_t>(info.st_size));
    char buffer[65536];
    for (;;) {
        const ssize_t count = ::read(fd, buffer, sizeof buffer);
        if (count == 0)
            break;
        if (count < 0) {
            if (errno == EINTR)
                continue;
            throwIOError(CIOError::codeReadError, what, source, path, getLastSysError());
        }
        bytes.append(buffer, static_cast<size_t>(count));
    }
    return bytes;
}

String readUTF8TextFile(const Path& path)
{
    const std::string bytes = readFileBytes(path);
    std::string_view text(bytes);
    if (text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);
    return String::fromUTF8(text);
}

String getCurrentWorkDirectoryAsString()
{
    std::string buffer(256, '\0');
    for (;;) {
        if (::getcwd(&buffer[0], buffer.size()))
            return String::fromUTF8(buffer.c_str());
        if (errno != ERANGE)
            throwSysError(L"getcwd", L"Cannot read the current working folder");
        buffer.resize(buffer.size() * 2);
    }
}

CFileSystemIterator::CFileSystemIterator(const Path& folder) : m_folder(folder)
{
    const String what = L"Cannot list folder '" + folder.str() + L"'";
    static const String source(L"zil::CFileSystemIterator");
    if (folder.isEmpty())
        throwIOError(CIOError::codeCannotOpen, what, source, folder, ENOENT);
    DIR* dir = ::opendir(folder.toAPIPath().c_str());
    if (!dir)
        throwIOError(CIOError::codeCannotOpen, what, source, folder, getLastSysError());
    std::unique_ptr<DIR, int (*)(DIR*)> closer(dir, ::closedir);
    for (;;) {
        errno = 0;
        const dirent* entry = ::readdir(dir);
        if (!entry) {
            if (errno != 0)
                throwIOError(CIOError::codeReadError, what, source, folder, getLastSysError());
            break;
        }
        const std::string_view name(entry->d_name);
        if (name == "." || name == "..")
            continue;
        m_names.push_back(String::fromUTF8(name));
    }
    std::sort(m_names.begin(), m_names.end());
}

bool CFileSystemIterator::next()
{
    if (m_started && m_index < m_names.size())
        ++m_index;
    m_started = true;
    m_info = Info();
    return m_index < m_names.size();
}

const String& CFileSystemIterator::current() const
{
    if (!m_started || m_index >= m_names.size())
        throw CError(L"No current entry in the listing of '" + m_folder.str() + L"'",
                     L"zil::CFileSystemIterator");
    return m_names[m_index];
}

Path CFileSystemIterator::getPath() const
{
    return m_folder.join(current());
}

String CFileSystemIterator::getName() const
{
    return current();
}

const CFileSystemIterator::Info& CFileSystemIterator::getInfo() const
{
    if (!m_info.known) {
        const Path path = getPath();
        struct stat info;
        Info result;
        result.known = true;
        // A dangling link is still an entry; it is neither file nor folder and has no size.
        if (::stat(path.toAPIPath().c_str(), &info) == 0 || ::lstat(path.toAPIPath().c_str(), &info) == 0) {
            result.exists = true;
            result.folder = S_ISDIR(info.st_mode);
            result.file = S_ISREG(info.st_mode);
            result.size = result.file ? static_cast<int64_t>(info.st_size) : 0;
        }
        m_info = result;
    }
    return m_info;
}

bool CFileSystemIterator::isFolder() const
{
    return getInfo().folder;
}

bool CFileSystemIterator::isFile() const
{
    return getInfo().file;
}

int64_t CFileSystemIterator::getSize() const
{
    return getInfo().size;
}

bool CFileSystemIterator::needsNormalize() const
{
    return getPath().needsNormalize();
}

CSystemPaths::CSystemPaths(const String& appName) : m_appName(appName)
{
    if (appName.empty() || appName == L"." || appName == L".." || appName.find(L'/') != String::npos ||
        appName.find(L'\0') != String::npos) {
        CInvalidArgError e(L"Application name '" + appName + L"' cannot be a folder name",
                           L"zil::CSystemPaths");
        e.setProp(L"appName", appName);
        throw e;
    }
}

namespace {

String getHomeFolder()
{
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/')
        return String::fromUTF8(home);
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::string buffer(size > 0 ? static_cast<size_t>(size) : 16384, '\0');
    passwd entry;
    passwd* found = nullptr;
    int error;
    while ((error = ::getpwuid_r(::getuid(), &entry, &buffer[0], buffer.size(), &found)) == ERANGE)
        buffer.resize(buffer.size() * 2);
    if (!found || !entry.pw_dir || entry.pw_dir[0] != '/') {
        CError e(L"Cannot find the home folder: HOME is not set and the user has no entry", L"getpwuid_r",
                 error);
        e.setProp(L"func", L"getpwuid_r");
        e.setProp(L"lastSysError", toString(static_cast<int64_t>(error)));
        throw e;
    }
    return String::fromUTF8(entry.pw_dir);
}

} // namespace

Path CSystemPaths::getUserAppLogFolder(bool create) const
{
    Path base;
    const char* state = std::getenv("XDG_STATE_HOME");
    // The XDG rules say relative values are to be ignored.
    if (state && state[0] == '/')
        base = String::fromUTF8(state);
    else
        base = Path(getHomeFolder()) / L".local/state";
    const Path folder = base / m_appName;
    if (create)
        ensureFolderExists(folder, 0700);
    return folder;
}

} // namespace zil
