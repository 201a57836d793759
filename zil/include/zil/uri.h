// SPDX-License-Identifier: MIT
#pragma once

#include "zil/path.h"
#include "zil/string.h"

namespace zil {

// Where a resource is: a URI ("file:///home/x/a%20b", "smb://host/share/f") or a plain local
// path ("/home/x/a b"), which stands for the file URI of that path.
//
// Text counts as a URI when it starts with a scheme of two or more characters followed by
// ":/"; anything else is a plain path, taken literally ("%" included) and made absolute
// against the working folder. A file URI carries no host other than "localhost"; "?" and
// "#" in it are part of the path. Other schemes keep their text as given, except that the
// scheme is written in lower case.
class CURI {
public:
    // The empty URI, which also stands for "no parent".
    CURI() = default;
    // Throws CParseError (with "text") on a bad percent escape, a NUL, or a file URI with a
    // host or a relative path ("file://?").
    CURI(const String& text);
    CURI(const wchar_t* text) : CURI(String(text)) {}

    // A relative path is made absolute against the working folder; a NUL in it is a
    // CInvalidArgError.
    static CURI fromPath(const Path& path);

    bool isEmpty() const { return m_scheme.empty(); }
    bool isLocal() const { return m_scheme == L"file"; }
    // Lower case; "file" for plain paths, "" for the empty URI.
    const String& getScheme() const { return m_scheme; }
    // The path part, percent escapes decoded.
    const String& getPath() const { return m_path; }
    // Throws CInvalidArgError for other schemes.
    Path getLocalPath() const;

    // "file://" followed by the percent-encoded path for local URIs, the text for others.
    String toString() const { return m_prefix + m_rawPath + m_tail; }

    // One path component less, without query or fragment; the empty URI above the root.
    CURI getParent() const;
    // `name` appended to the path; it may hold several components ("a/b"), but not be
    // empty or start with "/" (CInvalidArgError). Query and fragment are dropped.
    CURI join(const String& name) const;
    // The last path component, decoded; "" at the root.
    String getName() const;
    // The path part normalised as Path::normalize() does it.
    CURI normalize() const;

    friend bool operator==(const CURI& a, const CURI& b) { return a.toString() == b.toString(); }
    friend bool operator!=(const CURI& a, const CURI& b) { return !(a == b); }
    friend bool operator<(const CURI& a, const CURI& b) { return a.toString() < b.toString(); }

private:
    static CURI makeLocal(const String& absolutePath);
    CURI withRawPath(const String& rawPath) const;

    String m_scheme;
    // Everything before the path: "file://", "smb://host"
    String m_prefix;
    // The path as it appears in the text, still encoded
    String m_rawPath;
    // "?query#fragment" of non-file URIs
    String m_tail;
    String m_path;
};

} // namespace zil
