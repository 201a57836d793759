// SPDX-License-Identifier: MIT
#pragma once

#include "zil/containers.h"
#include "zil/string.h"

#include <cstdint>
#include <string>

namespace zil {

// What a file-system flavour decides for TPathImpl: separators, what makes a path absolute
// and the form the system calls want. Only the POSIX flavour exists; a Windows one would
// add drive letters and "\\?\" long paths here without callers noticing.
struct CNativePathTraits {
    static constexpr wchar_t kSeparator = L'/';

    static bool isSeparator(wchar_t c) { return c == L'/'; }
    // Length of the root prefix ("/"), 0 for a relative path.
    static String::size_type getRootLength(const String& path)
    {
        return !path.empty() && isSeparator(path[0]) ? 1 : 0;
    }
    // The text handed to system calls; POSIX has no long-path form to convert to.
    static String toAPIPath(const String& path) { return path; }
};

// A file-system path as text. Every operation is lexical: nothing here touches the disk,
// so symbolic links are not resolved (".." after a link may differ from what the kernel does).
template <class Traits>
class TPathImpl {
public:
    TPathImpl() = default;
    TPathImpl(const String& path) : m_path(path) {}
    TPathImpl(String&& path) noexcept : m_path(std::move(path)) {}
    TPathImpl(const wchar_t* path) : m_path(path) {}
    TPathImpl(const std::wstring& path) : m_path(path) {}
    // UTF-8, as paths come from the command line, std::filesystem or a config file.
    TPathImpl(const char* utf8) : m_path(utf8) {}
    TPathImpl(const std::string& utf8) : m_path(utf8) {}

    const String& str() const { return m_path; }
    const String& toString() const { return m_path; }
    // The text for system calls, UTF-8 encoded.
    std::string toAPIPath() const { return Traits::toAPIPath(m_path).toUTF8(); }

    bool isEmpty() const { return m_path.empty(); }
    bool isAbsolute() const { return Traits::getRootLength(m_path) > 0; }

    // `other` appended after a separator. An absolute `other` replaces this path, as in
    // std::filesystem; an empty side yields the other side.
    TPathImpl join(const TPathImpl& other) const;
    TPathImpl operator/(const TPathImpl& other) const { return join(other); }

    // The path without its last component, trailing separators ignored: "/a/b" -> "/a",
    // "/a" -> "/", "/" -> "/", "a/b/" -> "a", "a" -> "" (empty: the parent of a single
    // relative name is not known without the working folder). Lexical: the parent of
    // "a/.." is "a", so normalise first where that matters.
    TPathImpl getParent() const;
    // Last component, trailing separators ignored: "/a/b.txt/" -> "b.txt"; "" for the root.
    String getFileName() const;
    // The file name up to its last dot, where a leading dot does not count: "x.tar.gz" ->
    // "x.tar", ".bashrc" -> ".bashrc", "a." -> "a", "." and ".." stay as they are.
    String getTitle() const;
    // After the last dot of the file name, without the dot: "x.tar.gz" -> "gz"; "" for
    // ".bashrc", "a.b/c" and "a.".
    String getExtension() const;

    // Joined to the current working folder (or to `base`, itself made absolute first) when
    // relative; not normalised. Throws CError when the working folder cannot be read.
    TPathImpl makeAbsolute() const;
    TPathImpl makeAbsolute(const TPathImpl& base) const;

    // A copy with "." and ".." resolved, repeated separators collapsed and trailing ones
    // dropped (the root keeps its own): "a/./b/../c" -> "a/c", "/../a" -> "/a",
    // "../a/../../b" -> "../../b", "a/.." -> ".", "" -> "".
    TPathImpl normalize() const;
    bool needsNormalize() const { return normalize().m_path != m_path; }

    // Exact comparison of the text; normalise both sides to compare locations.
    friend bool operator==(const TPathImpl& a, const TPathImpl& b) { return a.m_path == b.m_path; }
    friend bool operator!=(const TPathImpl& a, const TPathImpl& b) { return a.m_path != b.m_path; }
    friend bool operator<(const TPathImpl& a, const TPathImpl& b) { return a.m_path < b.m_path; }

private:
    // Length of the text without trailing separators, never cutting into the root.
    String::size_type getTrimmedLength() const;

    String m_path;
};

extern template class TPathImpl<CNativePathTraits>;
using Path = TPathImpl<CNativePathTraits>;

// fileExists: a regular file or a symbolic link to one; folderExists likewise for folders;
// pathExists: anything at all, a dangling link included (creating a file there would fail).
bool fileExists(const Path& path);
bool folderExists(const Path& path);
bool pathExists(const Path& path);

// Creates the folder and any missing parents with `mode` (before the umask). Throws CError
// with "path" (the folder asked for), "func" = "mkdir" and "lastSysError" when one cannot be
// made, e.g. because a file is in the way; CBadPathError for an empty path.
void ensureFolderExists(const Path& folder, int mode = 0777);

// The whole file's bytes. Throws CIOError with codeCannotOpen, "path" and "lastSysError" when
// the file is missing, unreadable or a folder, and codeReadError when reading fails midway.
std::string readFileBytes(const Path& path);

// The whole file as UTF-8 text, a leading byte order mark removed; errors as readFileBytes.
String readUTF8TextFile(const Path& path);

// Throws CError ("func" = "getcwd") when the working folder is gone or unreadable.
String getCurrentWorkDirectoryAsString();

// The entries of one folder, without "." and "..", in order of name (code point order) so
// results do not depend on the file system. The names are read when constructed; file kind
// and size are looked up on demand and follow symbolic links.
//   for (CFileSystemIterator it(folder); it.next();) use(it.getPath());
class CFileSystemIterator {
public:
    // Throws CIOError with codeCannotOpen, "path" and "lastSysError" when the folder cannot
    // be read.
    explicit CFileSystemIterator(const Path& folder);

    // Moves to the next entry (the first on the first call); false after the last one.
    bool next();

    // The current entry; CError when next() has not returned true.
    Path getPath() const;
    String getName() const;
    // False for both when the entry vanished since the folder was read.
    bool isFolder() const;
    bool isFile() const;
    // Bytes of a file, 0 for folders and other kinds, -1 when the entry has vanished.
    int64_t getSize() const;
    // Whether getPath() would change under Path::normalize(), which spares callers that
    // need normalised paths the copy.
    bool needsNormalize() const;

private:
    struct Info {
        bool known = false;
        bool exists = false;
        bool folder = false;
        bool file = false;
        int64_t size = -1;
    };
    const String& current() const;
    const Info& getInfo() const;

    Path m_folder;
    TArray<String> m_names;
    size_t m_index = 0;
    bool m_started = false;
    mutable Info m_info;
};

// Per-user folders of an application, after the XDG base directory conventions.
class CSystemPaths {
public:
    // `appName` becomes a folder name: empty, ".", ".." or one with "/" throws
    // CInvalidArgError naming it.
    explicit CSystemPaths(const String& appName);

    const String& getAppName() const { return m_appName; }

    // $XDG_STATE_HOME/<app> when that variable holds an absolute path, otherwise
    // $HOME/.local/state/<app> (the password database when HOME is unset or relative).
    // `create` makes it, and missing parents, private to the user (0700).
    Path getUserAppLogFolder(bool create) const;

private:
    String m_appName;
};

} // namespace zil
