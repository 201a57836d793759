// SPDX-License-Identifier: MIT
#include "zil/uri.h"

#include "zil/error.h"

namespace zil {

namespace {

const wchar_t kSource[] = L"zil::CURI";

[[noreturn]] void throwParseError(const String& what, const String& text)
{
    CParseError e(what + L" in URI '" + text + L"'", kSource);
    e.setProp(L"text", text);
    throw e;
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// `raw` decoded; `text` is the whole URI, for the message.
String percentDecode(const String& raw, const String& text)
{
    const std::string bytes = raw.toUTF8();
    std::string out;
    out.reserve(bytes.size());
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\0')
            throwParseError(L"NUL character", text);
        if (bytes[i] != '%') {
            out.push_back(bytes[i]);
            continue;
        }
        const int high = i + 1 < bytes.size() ? hexValue(bytes[i + 1]) : -1;
        const int low = i + 2 < bytes.size() ? hexValue(bytes[i + 2]) : -1;
        if (high < 0 || low < 0)
            throwParseError(L"Bad percent escape '" + String::fromUTF8(std::string_view(bytes).substr(i, 3)) + L"'",
                            text);
        const char byte = static_cast<char>(high * 16 + low);
        // A NUL would silently cut the path short in every system call.
        if (byte == '\0')
            throwParseError(L"Escaped NUL character", text);
        out.push_back(byte);
        i += 2;
    }
    return String::fromUTF8(out);
}

// Each component escaped, the separators kept.
String encodePath(const String& path)
{
    String out;
    String::size_type pos = 0;
    for (;;) {
        const auto slash = path.find(L'/', pos);
        out += uriEscape(path.substr(pos, slash == String::npos ? String::npos : slash - pos));
        if (slash == String::npos)
            return out;
        out += L'/';
        pos = slash + 1;
    }
}

bool isSchemeChar(wchar_t c, bool first)
{
    const bool letter = (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z');
    if (first)
        return letter;
    return letter || (c >= L'0' && c <= L'9') || c == L'+' || c == L'-' || c == L'.';
}

// Length of the scheme when `text` reads as a URI, else 0.
String::size_type findScheme(const String& text)
{
    String::size_type i = 0;
    while (i < text.size() && isSchemeChar(text[i], i == 0))
        ++i;
    // one letter would be a drive letter elsewhere; ":/" keeps "a:b" a relative path
    if (i >= 2 && i + 1 < text.size() && text[i] == L':' && text[i + 1] == L'/')
        return i;
    return 0;
}

void checkName(const String& name, const CURI& uri)
{
    if (uri.isEmpty() || name.empty() || name[0] == L'/' || name.find(L'\0') != String::npos) {
        CInvalidArgError e(L"Cannot append '" + name + L"' to URI '" + uri.toString() + L"'", kSource);
        e.setProp(L"uri", uri.toString());
        throw e;
    }
}

} // namespace

CURI::CURI(const String& text)
{
    if (text.empty())
        return;
    if (text.find(L'\0') != String::npos)
        throwParseError(L"NUL character", text);
    const auto schemeLength = findScheme(text);
    if (schemeLength == 0) {
        *this = fromPath(text);
        return;
    }
    const String scheme = String(text.substr(0, schemeLength)).Lower();
    String::size_type pos = schemeLength + 1;
    String authority;
    bool hasAuthority = false;
    if (text.compare(pos, 2, L"//") == 0) {
        hasAuthority = true;
        pos += 2;
        const auto end = std::min(text.find_first_of(L"/?#", pos), text.size());
        authority = text.substr(pos, end - pos);
        pos = end;
    }
    if (scheme == L"file") {
        if (!authority.empty() && !authority.isSameNoCase(L"localhost"))
            throwParseError(L"Host '" + authority + L"' in a file URI", text);
        String path = percentDecode(text.substr(pos), text);
        if (path.empty())
            path = L"/";
        // "file://?x" has no path, and its text form would read "?x" as the host.
        if (path[0] != L'/')
            throwParseError(L"Relative path '" + path + L"' in a file URI", text);
        *this = makeLocal(path);
        return;
    }
    m_scheme = scheme;
    m_prefix = scheme + L":" + (hasAuthority ? L"//" + authority : String());
    const auto tail = std::min(text.find_first_of(L"?#", pos), text.size());
    m_rawPath = text.substr(pos, tail - pos);
    m_tail = text.substr(tail);
    m_path = percentDecode(m_rawPath, text);
}

CURI CURI::makeLocal(const String& absolutePath)
{
    CURI uri;
    uri.m_scheme = L"file";
    uri.m_prefix = L"file://";
    uri.m_path = absolutePath;
    uri.m_rawPath = encodePath(absolutePath);
    return uri;
}

CURI CURI::fromPath(const Path& path)
{
    if (path.isEmpty())
        return CURI();
    // Every system call would cut the path short at the NUL, and the text form would not parse.
    if (path.str().find(L'\0') != String::npos) {
        CInvalidArgError e(L"NUL character in path '" + path.str() + L"'", kSource);
        e.setProp(L"path", path.str());
        throw e;
    }
    return makeLocal(path.makeAbsolute().str());
}

CURI CURI::withRawPath(const String& rawPath) const
{
    CURI uri;
    uri.m_scheme = m_scheme;
    uri.m_prefix = m_prefix;
    uri.m_rawPath = rawPath;
    uri.m_path = percentDecode(rawPath, m_prefix + rawPath);
    return uri;
}

Path CURI::getLocalPath() const
{
    if (!isLocal()) {
        CInvalidArgError e(L"URI '" + toString() + L"' does not name a local file", kSource);
        e.setProp(L"uri", toString());
        throw e;
    }
    return Path(m_path);
}

CURI CURI::getParent() const
{
    if (isLocal()) {
        const Path path(m_path);
        return path.getFileName().empty() ? CURI() : makeLocal(path.getParent().str());
    }
    const Path raw(m_rawPath);
    if (isEmpty() || raw.getFileName().empty())
        return CURI();
    return withRawPath(raw.getParent().str());
}

CURI CURI::join(const String& name) const
{
    checkName(name, *this);
    if (isLocal()) {
        // What makeLocal() of the joined path gives, escaping only the new name: a folder
        // listing joins every entry.
        const bool separated = !m_path.empty() && m_path.back() == L'/';
        CURI uri;
        uri.m_scheme = m_scheme;
        uri.m_prefix = m_prefix;
        uri.m_path.reserve(m_path.size() + 1 + name.size());
        uri.m_path = m_path;
        if (!separated)
            uri.m_path += L'/';
        uri.m_path += name;
        const String rawName = encodePath(name);
        uri.m_rawPath.reserve(m_rawPath.size() + 1 + rawName.size());
        uri.m_rawPath = m_rawPath;
        if (!separated)
            uri.m_rawPath += L'/';
        uri.m_rawPath += rawName;
        return uri;
    }
    String raw = m_rawPath;
    if (raw.empty() || raw.back() != L'/')
        raw += L'/';
    return withRawPath(raw + encodePath(name));
}

String CURI::getName() const
{
    if (isLocal())
        return Path(m_path).getFileName();
    return percentDecode(Path(m_rawPath).getFileName(), toString());
}

CURI CURI::normalize() const
{
    if (isLocal())
        return makeLocal(Path(m_path).normalize().str());
    if (m_rawPath.empty())
        return *this;
    CURI uri = withRawPath(Path(m_rawPath).normalize().str());
    uri.m_tail = m_tail;
    return uri;
}

} // namespace zil
