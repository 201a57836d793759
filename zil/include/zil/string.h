// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <type_traits>

namespace zil {

// Wide-character text. It is a std::wstring with the operations the library uses on top,
// so it passes to anything that takes a std::wstring (wxString converts from it directly).
// Narrow texts are always read as UTF-8; ASCII is the subset every caller relies on.
class String : public std::wstring {
public:
    String() = default;
    String(const std::wstring& text) : std::wstring(text) {}
    String(std::wstring&& text) noexcept : std::wstring(std::move(text)) {}
    String(const wchar_t* text) : std::wstring(text ? text : L"") {}
    String(const wchar_t* text, size_type length) : std::wstring(text, length) {}
    String(size_type count, wchar_t ch) : std::wstring(count, ch) {}
    String(std::wstring_view text) : std::wstring(text) {}
    // UTF-8 (or ASCII) text; invalid sequences become U+FFFD.
    String(const char* utf8);
    String(const std::string& utf8);

    static String fromUTF8(std::string_view utf8);
    static String fromASCII(std::string_view ascii) { return fromUTF8(ascii); }
    std::string toUTF8() const;

    bool isEmpty() const { return empty(); }
    size_type length() const { return size(); }

    String& operator+=(const String& other)
    {
        append(other);
        return *this;
    }
    String& operator+=(const wchar_t* other)
    {
        append(other ? other : L"");
        return *this;
    }
    String& operator+=(wchar_t ch)
    {
        push_back(ch);
        return *this;
    }

    // Case-blind comparison (simple case folding, as towlower does for the C locale and
    // for Latin, Greek and Cyrillic letters): <0, 0 or >0.
    int CmpNoCase(const String& other) const;
    bool isSameNoCase(const String& other) const { return CmpNoCase(other) == 0; }

    // Copies; out-of-range counts are clamped, never thrown.
    String Left(size_type count) const;
    String Right(size_type count) const;
    String Mid(size_type first, size_type count = npos) const;
    String Lower() const;
    String Upper() const;
    // White space removed on both sides (TrimLeft/TrimRight for one side).
    String Trim() const;
    String TrimLeft() const;
    String TrimRight() const;

    bool StartsWith(const String& prefix) const;
    bool EndsWith(const String& suffix) const;
    bool Contains(const String& part) const;
    // Replaces every occurrence of `from` in place, left to right and without rescanning the
    // inserted text; returns how many were replaced. An empty `from` replaces nothing.
    size_type Replace(const String& from, const String& to);
};

String operator+(const String& a, const String& b);
String operator+(const String& a, const wchar_t* b);
String operator+(const wchar_t* a, const String& b);
String operator+(const String& a, wchar_t b);

const String& getEmptyString();

// `text` as UTF-8 in place of what `out` held, from a view without a copy; false where a code
// point is no Unicode scalar value (a surrogate, above U+10FFFF) that toUTF8() would replace.
bool toUTF8Strict(std::wstring_view text, std::string& out);

// Whole-text number parsing, independent of the C locale. Anything that is not entirely a
// number (leading or trailing spaces included) throws CParseError naming the text.
// parseInt64: optional sign and decimal digits, within the range of int64_t.
int64_t parseInt64(const String& text);
// parseSimpleDouble: optional sign, digits with an optional "." and fraction; no exponent,
// no "inf" or "nan". "1.", ".5" and "-0.25" are accepted.
double parseSimpleDouble(const String& text);

// Text forms that never depend on the C locale ("." as decimal point).
String toString(int64_t value);
String toString(double value, int precision = 6);

// A file size as a user reads it: "0 bytes", "1 byte", "1023 bytes", then "1.0 KiB" with
// `fractionDigits` digits after the "." in the largest unit that keeps the number at 1 or
// more (`unit` -1), or in the given unit (0 bytes, 1 kilo, ... 6 exa). `unitBase` 1024 gives
// binary units (KiB, MiB, ...), 1000 decimal ones (kB, MB, ...). A negative size, digits
// outside 0..9, an unknown unit or another base throw CInvalidArgError.
String getHumanReadableFileSize(int64_t size, int fractionDigits = 1, int unit = -1, double unitBase = 1024.0);

// Percent-encodes the UTF-8 bytes of `text`, leaving only A-Z a-z 0-9 - _ . ~ as they are,
// so the result can stand in any part of a URI.
String uriEscape(const String& text);

// Positional formatting: "%1" to "%9" are replaced by the arguments given with arg(), in
// order of the calls; "%%" is a single "%". Numbers are written locale-independently.
//   String s = CStringFormat(L"Scaled '%1' by %2").arg(name).arg(1.5);
// A placeholder without argument stays in the text as it is, so a wrong count is visible
// instead of crashing.
class CStringFormat {
public:
    explicit CStringFormat(String pattern) : m_pattern(std::move(pattern)) {}

    CStringFormat& arg(const String& value);
    CStringFormat& arg(const wchar_t* value) { return arg(String(value)); }
    CStringFormat& arg(const char* value) { return arg(String(value)); }
    template <class I, std::enable_if_t<std::is_integral_v<I> && !std::is_same_v<I, bool>, int> = 0>
    CStringFormat& arg(I value)
    {
        return arg(toString(static_cast<int64_t>(value)));
    }
    CStringFormat& arg(double value, int precision = 6) { return arg(toString(value, precision)); }

    String str() const;
    operator String() const { return str(); }

private:
    String m_pattern;
    String m_args[9];
    int m_argCount = 0;
};

} // namespace zil

template <>
struct std::hash<zil::String> {
    size_t operator()(const zil::String& s) const noexcept { return std::hash<std::wstring>()(s); }
};
