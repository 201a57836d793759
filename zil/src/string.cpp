// SPDX-License-Identifier: MIT
#include "zil/string.h"

#include "zil/error.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cwctype>
#include <locale.h>
#include <wctype.h>
#include <limits>
#include <system_error>

namespace zil {

namespace {

void appendUTF8(std::string& out, char32_t cp)
{
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

constexpr char32_t kReplacement = 0xFFFD;

bool isSpace(wchar_t c)
{
    return c == L' ' || c == L'\t' || c == L'\n' || c == L'\r' || c == L'\v' || c == L'\f' ||
           c == 0xA0 || c == 0x2007 || c == 0x202F || c == 0x3000 || c == 0xFEFF;
}

// Case mapping must not follow the process's C locale (which is "C" until an application
// sets it, and then anything): glibc's built-in C.UTF-8 has full Unicode tables.
locale_t unicodeCType()
{
    static const locale_t locale = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
    return locale;
}

wchar_t foldCase(wchar_t c)
{
    if (c < 0x80)
        return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c + 32) : c;
    if (const locale_t locale = unicodeCType())
        return static_cast<wchar_t>(towlower_l(static_cast<wint_t>(c), locale));
    return static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
}

wchar_t upperCase(wchar_t c)
{
    if (c < 0x80)
        return (c >= L'a' && c <= L'z') ? static_cast<wchar_t>(c - 32) : c;
    if (const locale_t locale = unicodeCType())
        return static_cast<wchar_t>(towupper_l(static_cast<wint_t>(c), locale));
    return static_cast<wchar_t>(std::towupper(static_cast<wint_t>(c)));
}

[[noreturn]] void throwParseError(const String& text, const wchar_t* what, const wchar_t* func)
{
    CParseError error(String(L"Cannot parse '") + text + L"' as " + what + L".", func);
    error.setProp(L"text", text);
    throw error;
}

} // namespace

String String::fromUTF8(std::string_view utf8)
{
    String out;
    out.reserve(utf8.size());
    const auto* s = reinterpret_cast<const unsigned char*>(utf8.data());
    const size_t n = utf8.size();
    size_t i = 0;
    while (i < n) {
        const unsigned char c = s[i];
        char32_t cp;
        size_t extra;
        char32_t minimum;
        if (c < 0x80) {
            out.push_back(static_cast<wchar_t>(c));
            ++i;
            continue;
        } else if ((c & 0xE0) == 0xC0) {
            cp = c & 0x1F;
            extra = 1;
            minimum = 0x80;
        } else if ((c & 0xF0) == 0xE0) {
            cp = c & 0x0F;
            extra = 2;
            minimum = 0x800;
        } else if ((c & 0xF8) == 0xF0) {
            cp = c & 0x07;
            extra = 3;
            minimum = 0x10000;
        } else {
            out.push_back(static_cast<wchar_t>(kReplacement));
            ++i;
            continue;
        }
        size_t k = 1;
        for (; k <= extra; ++k) {
            if (i + k >= n || (s[i + k] & 0xC0) != 0x80)
                break;
            cp = (cp << 6) | (s[i + k] & 0x3F);
        }
        if (k <= extra || cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            // A broken sequence costs one replacement character and resynchronises at the
            // next byte that could start a character.
            out.push_back(static_cast<wchar_t>(kReplacement));
            i += std::max<size_t>(1, k);
            continue;
        }
        out.push_back(static_cast<wchar_t>(cp));
        i += extra + 1;
    }
    return out;
}

String::String(const char* utf8) : String(fromUTF8(utf8 ? std::string_view(utf8) : std::string_view())) {}

String::String(const std::string& utf8) : String(fromUTF8(utf8)) {}

std::string String::toUTF8() const
{
    std::string out;
    out.reserve(size());
    for (wchar_t wc : *this) {
        char32_t cp = static_cast<char32_t>(wc);
        if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            cp = kReplacement;
        appendUTF8(out, cp);
    }
    return out;
}

bool toUTF8Strict(std::wstring_view text, std::string& out)
{
    out.clear();
    for (wchar_t wc : text) {
        const char32_t cp = static_cast<char32_t>(wc);
        if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        appendUTF8(out, cp);
    }
    return true;
}

int String::CmpNoCase(const String& other) const
{
    const size_t n = std::min(size(), other.size());
    for (size_t i = 0; i < n; ++i) {
        const wchar_t a = foldCase((*this)[i]);
        const wchar_t b = foldCase(other[i]);
        if (a != b)
            return a < b ? -1 : 1;
    }
    if (size() == other.size())
        return 0;
    return size() < other.size() ? -1 : 1;
}

String String::Left(size_type count) const
{
    return String(substr(0, std::min(count, size())));
}

String String::Right(size_type count) const
{
    count = std::min(count, size());
    return String(substr(size() - count));
}

String String::Mid(size_type first, size_type count) const
{
    if (first >= size())
        return String();
    return String(substr(first, count));
}

String String::Lower() const
{
    String out(*this);
    for (auto& c : out)
        c = foldCase(c);
    return out;
}

String String::Upper() const
{
    String out(*this);
    for (auto& c : out)
        c = upperCase(c);
    return out;
}

String String::TrimLeft() const
{
    size_type first = 0;
    while (first < size() && isSpace((*this)[first]))
        ++first;
    return String(substr(first));
}

String String::TrimRight() const
{
    size_type last = size();
    while (last > 0 && isSpace((*this)[last - 1]))
        --last;
    return String(substr(0, last));
}

String String::Trim() const
{
    return TrimRight().TrimLeft();
}

bool String::StartsWith(const String& prefix) const
{
    return size() >= prefix.size() && compare(0, prefix.size(), prefix) == 0;
}

bool String::EndsWith(const String& suffix) const
{
    return size() >= suffix.size() && compare(size() - suffix.size(), suffix.size(), suffix) == 0;
}

bool String::Contains(const String& part) const
{
    return find(part) != npos;
}

String::size_type String::Replace(const String& from, const String& to)
{
    if (from.empty())
        return 0;
    size_type count = 0;
    size_type pos = 0;
    while ((pos = find(from, pos)) != npos) {
        replace(pos, from.size(), to);
        pos += to.size();
        ++count;
    }
    return count;
}

String operator+(const String& a, const String& b)
{
    String out(a);
    out.append(b);
    return out;
}

String operator+(const String& a, const wchar_t* b)
{
    String out(a);
    out += b;
    return out;
}

String operator+(const wchar_t* a, const String& b)
{
    String out(a);
    out.append(b);
    return out;
}

String operator+(const String& a, wchar_t b)
{
    String out(a);
    out.push_back(b);
    return out;
}

const String& getEmptyString()
{
    static const String empty;
    return empty;
}

// Both parsers work on an ASCII copy: a character outside ASCII can never be part of a
// number, and std::from_chars ignores the C locale.
namespace {

bool toASCII(const String& text, std::string& out)
{
    out.clear();
    out.reserve(text.size());
    for (wchar_t c : text) {
        if (c <= 0 || c >= 0x80)
            return false;
        out.push_back(static_cast<char>(c));
    }
    return true;
}

} // namespace

int64_t parseInt64(const String& text)
{
    std::string s;
    if (!toASCII(text, s) || s.empty())
        throwParseError(text, L"an integer", L"zil::parseInt64");
    const char* first = s.data();
    const char* last = s.data() + s.size();
    if (*first == '+') {
        ++first;
        if (first != last && *first == '-')
            throwParseError(text, L"an integer", L"zil::parseInt64");
    }
    if (first == last || (*first == '-' && first + 1 == last))
        throwParseError(text, L"an integer", L"zil::parseInt64");
    int64_t value = 0;
    const auto result = std::from_chars(first, last, value);
    if (result.ec == std::errc::result_out_of_range) {
        CParseError error(String(L"Integer '") + text + L"' is out of range.", L"zil::parseInt64");
        error.setProp(L"text", text);
        throw error;
    }
    if (result.ec != std::errc() || result.ptr != last)
        throwParseError(text, L"an integer", L"zil::parseInt64");
    return value;
}

double parseSimpleDouble(const String& text)
{
    std::string s;
    if (!toASCII(text, s))
        throwParseError(text, L"a number", L"zil::parseSimpleDouble");
    size_t i = 0;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
        negative = s[i++] == '-';
    const size_t digitsStart = i;
    size_t digits = 0;
    bool point = false;
    for (; i < s.size(); ++i) {
        if (s[i] >= '0' && s[i] <= '9') {
            ++digits;
        } else if (s[i] == '.' && !point) {
            point = true;
        } else {
            break;
        }
    }
    if (digits == 0 || i != s.size())
        throwParseError(text, L"a number", L"zil::parseSimpleDouble");
    double value = 0;
    const auto result =
        std::from_chars(s.data() + digitsStart, s.data() + s.size(), value, std::chars_format::fixed);
    if (result.ec == std::errc::result_out_of_range) {
        CParseError error(String(L"Number '") + text + L"' is out of range.", L"zil::parseSimpleDouble");
        error.setProp(L"text", text);
        throw error;
    }
    if (result.ec != std::errc() || result.ptr != s.data() + s.size())
        throwParseError(text, L"a number", L"zil::parseSimpleDouble");
    return negative ? -value : value;
}

String toString(int64_t value)
{
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return String::fromUTF8(std::string_view(buffer, static_cast<size_t>(result.ptr - buffer)));
}

String toString(double value, int precision)
{
    if (std::isnan(value))
        return L"nan";
    if (std::isinf(value))
        return value < 0 ? L"-inf" : L"inf";
    char buffer[400];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, std::clamp(precision, 0, 17));
    if (result.ec != std::errc())
        return L"?";
    return String::fromUTF8(std::string_view(buffer, static_cast<size_t>(result.ptr - buffer)));
}

String uriEscape(const String& text)
{
    static const char hex[] = "0123456789ABCDEF";
    const std::string utf8 = text.toUTF8();
    String out;
    out.reserve(utf8.size());
    for (unsigned char c : utf8) {
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
            c == '_' || c == '.' || c == '~') {
            out.push_back(static_cast<wchar_t>(c));
        } else {
            out.push_back(L'%');
            out.push_back(static_cast<wchar_t>(hex[c >> 4]));
            out.push_back(static_cast<wchar_t>(hex[c & 0xF]));
        }
    }
    return out;
}

CStringFormat& CStringFormat::arg(const String& value)
{
    if (m_argCount < 9)
        m_args[m_argCount] = value;
    ++m_argCount;
    return *this;
}

String CStringFormat::str() const
{
    String out;
    out.reserve(m_pattern.size());
    for (size_t i = 0; i < m_pattern.size(); ++i) {
        const wchar_t c = m_pattern[i];
        if (c == L'%' && i + 1 < m_pattern.size()) {
            const wchar_t next = m_pattern[i + 1];
            if (next == L'%') {
                out.push_back(L'%');
                ++i;
                continue;
            }
            if (next >= L'1' && next <= L'9') {
                const int index = next - L'1';
                if (index < std::min(m_argCount, 9)) {
                    out.append(m_args[index]);
                    ++i;
                    continue;
                }
            }
        }
        out.push_back(c);
    }
    return out;
}

} // namespace zil
