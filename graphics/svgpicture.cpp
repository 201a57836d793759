// SPDX-License-Identifier: MIT
#include "svgpicture.h"

#include <zilui/graphics/scalingimage.h>

#include <zil/error.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <fstream>

namespace zilui::svg {

namespace {

// `prefix` in lower case.
bool startsWithNoCase(std::string_view text, size_t at, std::string_view prefix)
{
    if (text.size() - std::min(at, text.size()) < prefix.size())
        return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(text[at + i])) != prefix[i])
            return false;
    return true;
}

// `needle` in lower case.
bool containsNoCase(std::string_view text, std::string_view needle)
{
    for (size_t i = 0; i + needle.size() <= text.size(); ++i)
        if (startsWithNoCase(text, i, needle))
            return true;
    return false;
}

std::string lower(std::string_view text)
{
    std::string result(text);
    std::transform(result.begin(), result.end(), result.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return result;
}

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

bool isNameChar(char c)
{
    return !isSpace(c) && c != '=' && c != '>' && c != '/' && c != '<' && c != '"' && c != '\'';
}

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && isSpace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isSpace(text.back()))
        text.remove_suffix(1);
    return text;
}

std::string quoted(std::string_view text)
{
    constexpr size_t kShown = 60;
    return "'" + std::string(text.substr(0, kShown)) + (text.size() > kShown ? "...'" : "'");
}

// Style text (a style attribute, a <style> element, any character data): a url() must point
// into the document, and no other style sheet may be imported.
std::string checkStyle(std::string_view text)
{
    if (containsNoCase(text, "@import"))
        return "imports a style sheet";
    for (size_t i = 0; i + 4 <= text.size(); ++i) {
        if (!startsWithNoCase(text, i, "url("))
            continue;
        std::string_view target = trimmed(text.substr(i + 4));
        if (!target.empty() && (target.front() == '"' || target.front() == '\''))
            target.remove_prefix(1);
        if (target.empty() || target.front() != '#')
            return "refers to " + quoted(text.substr(i));
    }
    return {};
}

// A declaration "<!...>" starting at `at`; its end (past ">", brackets of an internal subset
// skipped) goes to `end`.
std::string checkDeclaration(std::string_view text, size_t at, size_t& end)
{
    int depth = 0;
    char quote = 0;
    size_t i = at + 2;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (quote) {
            if (c == quote)
                quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '[') {
            ++depth;
        } else if (c == ']') {
            --depth;
        } else if (c == '<' && depth > 0 && startsWithNoCase(text, i, "<!entity")) {
            // Entities are declared inside the document type's brackets.
            size_t entityEnd = i;
            std::string why = checkDeclaration(text, i, entityEnd);
            if (!why.empty())
                return why;
            i = entityEnd - 1;
        } else if (c == '>' && depth <= 0) {
            break;
        }
    }
    end = std::min(i + 1, text.size());
    const std::string_view body = text.substr(at, end - at);
    if (startsWithNoCase(text, at, "<!entity")) {
        if (containsNoCase(body, "system") || containsNoCase(body, "public"))
            return "declares an external entity";
        // An entity is pasted where it is used: markup or a url() inside one would pass unseen.
        if (body.find('<', 2) != std::string_view::npos || body.find('&') != std::string_view::npos)
            return "declares an entity with markup";
        return checkStyle(body);
    }
    if (startsWithNoCase(text, at, "<!doctype")) {
        const size_t subset = body.find('[');
        const std::string_view head = body.substr(0, subset);
        if (containsNoCase(head, "system") && !containsNoCase(head, "public"))
            return "names an external document type";
        if (containsNoCase(head, "public") && !containsNoCase(head, "\"-//w3c//dtd svg"))
            return "names an external document type";
    }
    return {};
}

// Element `name` (its prefix dropped, lower case) with attributes in [from, to).
std::string checkElement(std::string_view text, std::string_view name, size_t from, size_t to)
{
    const size_t colon = name.rfind(':');
    const std::string local = lower(colon == std::string_view::npos ? name : name.substr(colon + 1));
    if (local == "script")
        return "contains a script";
    if (local == "image" || local == "feimage")
        return "contains an <image>";
    if (local == "include")
        return "includes another file";
    if (local == "foreignobject")
        return "contains foreign content";
    size_t i = from;
    while (i < to) {
        while (i < to && !isNameChar(text[i]))
            ++i;
        const size_t nameStart = i;
        while (i < to && isNameChar(text[i]))
            ++i;
        const std::string_view attribute = text.substr(nameStart, i - nameStart);
        while (i < to && isSpace(text[i]))
            ++i;
        std::string_view value;
        if (i < to && text[i] == '=') {
            ++i;
            while (i < to && isSpace(text[i]))
                ++i;
            if (i < to && (text[i] == '"' || text[i] == '\'')) {
                const char quote = text[i];
                const size_t close = text.find(quote, i + 1);
                const size_t valueEnd = close == std::string_view::npos || close > to ? to : close;
                value = text.substr(i + 1, valueEnd - i - 1);
                i = valueEnd + 1;
            } else {
                const size_t valueStart = i;
                while (i < to && !isSpace(text[i]) && text[i] != '>')
                    ++i;
                value = text.substr(valueStart, i - valueStart);
            }
        }
        if (attribute.empty())
            continue;
        const size_t attributeColon = attribute.rfind(':');
        const std::string attributeLocal =
            lower(attributeColon == std::string_view::npos ? attribute : attribute.substr(attributeColon + 1));
        if (attributeLocal.size() > 2 && attributeLocal.compare(0, 2, "on") == 0)
            return "has a script in " + std::string(attribute);
        if (attributeLocal == "href" || attributeLocal == "src") {
            const std::string_view target = trimmed(value);
            if (target.empty() || target.front() != '#')
                return "refers to " + quoted(target);
        }
        std::string why = checkStyle(value);
        if (!why.empty())
            return why;
    }
    return {};
}

} // namespace

std::string findRefusal(std::string_view text)
{
    size_t i = 0;
    while (i < text.size()) {
        const size_t open = text.find('<', i);
        // Character data between tags: only style text can refer to anything.
        std::string why = checkStyle(text.substr(i, (open == std::string_view::npos ? text.size() : open) - i));
        if (!why.empty() || open == std::string_view::npos)
            return why;
        if (text.compare(open, 4, "<!--") == 0) {
            const size_t close = text.find("-->", open + 4);
            i = close == std::string_view::npos ? text.size() : close + 3;
        } else if (text.compare(open, 9, "<![CDATA[") == 0) {
            const size_t close = text.find("]]>", open + 9);
            const size_t end = close == std::string_view::npos ? text.size() : close;
            why = checkStyle(text.substr(open + 9, end - open - 9));
            if (!why.empty())
                return why;
            i = std::min(text.size(), end + 3);
        } else if (text.compare(open, 2, "<!") == 0) {
            size_t end = open;
            why = checkDeclaration(text, open, end);
            if (!why.empty())
                return why;
            i = end;
        } else if (text.compare(open, 2, "<?") == 0) {
            const size_t close = text.find("?>", open + 2);
            const size_t end = close == std::string_view::npos ? text.size() : close;
            if (startsWithNoCase(text, open, "<?xml-stylesheet"))
                return "links a style sheet";
            i = std::min(text.size(), end + 2);
        } else {
            size_t nameEnd = open + 1;
            if (nameEnd < text.size() && text[nameEnd] == '/')
                ++nameEnd;
            const size_t nameStart = nameEnd;
            while (nameEnd < text.size() && isNameChar(text[nameEnd]))
                ++nameEnd;
            // The tag ends at the first ">" outside a quoted value.
            size_t end = nameEnd;
            char quote = 0;
            for (; end < text.size(); ++end) {
                if (quote) {
                    if (text[end] == quote)
                        quote = 0;
                } else if (text[end] == '"' || text[end] == '\'') {
                    quote = text[end];
                } else if (text[end] == '>') {
                    break;
                }
            }
            why = checkElement(text, text.substr(nameStart, nameEnd - nameStart), nameEnd, end);
            if (!why.empty())
                return why;
            i = std::min(text.size(), end + 1);
        }
    }
    return {};
}

int physicalLength(double intrinsic, double factor)
{
    // Products of short decimals carry a rounding error far below this.
    constexpr double kSlack = 1e-6;
    return int(std::ceil(intrinsic * factor - kSlack));
}

wxImage renderFile(const zil::Path& path, double factor)
{
    std::ifstream file(path.str().toUTF8(), std::ios::binary);
    const auto fail = [&](const zil::String& why) {
        zil::CError e(L"Cannot render vector picture '" + path.str() + L"': " + why, L"svg::renderFile");
        e.setProp(L"path", path.str());
        return e;
    };
    if (!file)
        throw fail(L"the file cannot be read");
    std::string text;
    text.resize(kMaxFileBytes + 1);
    file.read(text.data(), std::streamsize(text.size()));
    text.resize(size_t(file.gcount()));
    if (text.size() > kMaxFileBytes)
        throw fail(L"refused: larger than " + zil::toString(int64_t(kMaxFileBytes)) + L" bytes");
    const std::string why = findRefusal(text);
    if (!why.empty())
        throw fail(L"refused: it " + zil::String::fromUTF8(why));
    return render(text, factor, path.str());
}

} // namespace zilui::svg
