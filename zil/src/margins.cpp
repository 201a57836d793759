// SPDX-License-Identifier: MIT
#include "zil/margins.h"

#include "zil/containers.h"
#include "zil/error.h"

#include <cmath>
#include <limits>

namespace zil {

namespace {

[[noreturn]] void throwBadMargins(const String& text, const String& why)
{
    CParseError e(L"Bad margins '" + text + L"': " + why + L"; expected 1, 2 or 4 integers", L"zil::CMargins");
    e.setProp(L"text", text);
    throw e;
}

bool isAsciiSpace(wchar_t c)
{
    return c == L' ' || c == L'\t' || c == L'\n' || c == L'\r' || c == L'\f' || c == L'\v';
}

int32_t toInt32(const String& token, const String& text)
{
    int64_t value = 0;
    try {
        value = parseInt64(token);
    } catch (const CError&) {
        throwBadMargins(text, L"'" + token + L"' is not an integer");
    }
    if (value < std::numeric_limits<int32_t>::min() || value > std::numeric_limits<int32_t>::max())
        throwBadMargins(text, L"'" + token + L"' is out of range");
    return static_cast<int32_t>(value);
}

int32_t scale(int32_t value, double factor)
{
    return saturateToInt32(std::round(static_cast<double>(value) * factor));
}

} // namespace

CMargins CMargins::parseString(const String& text)
{
    TArray<int32_t> values;
    String::size_type pos = 0;
    while (pos < text.size() && isAsciiSpace(text[pos]))
        ++pos;
    while (pos < text.size()) {
        const auto begin = pos;
        while (pos < text.size() && !isAsciiSpace(text[pos]) && text[pos] != L',')
            ++pos;
        if (pos == begin)
            throwBadMargins(text, L"a number is missing");
        values.push_back(toInt32(text.substr(begin, pos - begin), text));
        // one separator: white space around at most one comma
        while (pos < text.size() && isAsciiSpace(text[pos]))
            ++pos;
        if (pos < text.size() && text[pos] == L',') {
            ++pos;
            while (pos < text.size() && isAsciiSpace(text[pos]))
                ++pos;
            if (pos == text.size())
                throwBadMargins(text, L"a number is missing after the last comma");
        }
    }
    switch (values.size()) {
    case 1:
        return CMargins(values[0]);
    case 2:
        return CMargins(values[0], values[1], values[0], values[1]);
    case 4:
        return CMargins(values[0], values[1], values[2], values[3]);
    default:
        throwBadMargins(text, zil::toString(static_cast<int64_t>(values.size())) + L" numbers");
    }
}

String CMargins::toString() const
{
    const auto str = [](int32_t v) { return zil::toString(static_cast<int64_t>(v)); };
    if (left == right && top == bottom) {
        if (left == top)
            return str(left);
        return str(left) + L"," + str(top);
    }
    return str(left) + L"," + str(top) + L"," + str(right) + L"," + str(bottom);
}

CMargins CMargins::toScaled(double factor) const
{
    if (!std::isfinite(factor)) {
        CInvalidArgError e(L"Cannot scale margins by " + zil::toString(factor), L"zil::CMargins::toScaled");
        e.setProp(L"factor", zil::toString(factor));
        throw e;
    }
    return CMargins(scale(left, factor), scale(top, factor), scale(right, factor), scale(bottom, factor));
}

} // namespace zil
