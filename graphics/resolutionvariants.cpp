// SPDX-License-Identifier: MIT
#include "resolutionvariants.h"

#include <zil/error.h>
#include <zil/folderlisting.h>

#include <algorithm>
#include <cwctype>

namespace zilui::variants {

size_t titleLength(std::wstring_view name)
{
    const size_t dot = name.size() > 1 ? name.find(L'.', 1) : std::wstring_view::npos;
    return dot == std::wstring_view::npos ? name.size() : dot;
}

bool needToScale(double available, double requested)
{
    const double deviation = (available - requested) / requested;
    return deviation < -0.125 || deviation > 0.05;
}

int compare(double a, double b, double requested)
{
    if (a == b)
        return 0;
    if (a == requested)
        return 1;
    if (b == requested)
        return -1;
    const bool aAcceptable = !needToScale(a, requested);
    const bool bAcceptable = !needToScale(b, requested);
    if (aAcceptable != bAcceptable)
        return aAcceptable ? 1 : -1;
    const bool aAbove = a > requested;
    const bool bAbove = b > requested;
    if (aAbove && bAbove)
        return a < b ? 1 : -1;
    if (!aAbove && !bAbove)
        return a > b ? 1 : -1;
    // Opposite sides: without scaling the smaller one is closer to the intended look; with
    // scaling, shrinking a larger picture loses less than enlarging a smaller one.
    if (aAcceptable)
        return aAbove ? -1 : 1;
    return aAbove ? 1 : -1;
}

zil::String splitFactor(const zil::String& title, double& factor)
{
    const size_t at = title.rfind(L'@');
    if (at == zil::String::npos) {
        factor = 1.0;
        return title;
    }
    zil::String suffix = title.substr(at + 1);
    suffix.Replace(L"_", L".");
    factor = zil::parseSimpleDouble(suffix);
    // A picture for another factor is rescaled by the ratio of the two: a factor near 0 would
    // ask for a picture thousands of times its size, 0 for an infinite one.
    if (!(factor >= kMinFactor && factor <= kMaxFactor)) {
        zil::CParseError e(L"Resolution factor '" + zil::String(title.substr(at + 1)) + L"' of '" + title +
                               L"' is outside 0.25 to 8",
                           L"CResourceManager::extractResolutionFactorFromFileTitle");
        e.setProp(L"text", title);
        throw e;
    }
    return title.substr(0, at);
}

Variant pickBest(const zil::TArray<zil::String>& sortedNames, std::wstring_view title, std::wstring_view extension,
                 double requested, zil::TArray<const zil::String*>* badNames)
{
    Variant best;
    // Every name in the range starts with `title`; a candidate's title is `title` itself or
    // `title` + "@" + suffix.
    zil::forEachWithPrefix(sortedNames, title, [&](const zil::String& name) {
        const size_t length = titleLength(name);
        if (name.compare(length, zil::String::npos, extension) != 0 ||
            (length != title.size() && name[title.size()] != L'@'))
            return;
        double factor = 1.0;
        if (name.find(L'@') < length) {
            try {
                splitFactor(name.substr(0, length), factor);
            } catch (const std::exception&) {
                if (badNames)
                    badNames->push_back(&name);
                return;
            }
        }
        if (!best.name || compare(factor, best.factor, requested) == 1)
            best = Variant{&name, factor};
    });
    return best;
}

const zil::String* pickByTitle(const zil::TArray<zil::String>& sortedNames, std::wstring_view title,
                               std::wstring_view preferredExtension, const zil::String* current)
{
    const auto extensionOf = [](const zil::String& name) { return std::wstring_view(name).substr(titleLength(name)); };
    zil::forEachWithPrefix(sortedNames, title, [&](const zil::String& name) {
        if (titleLength(name) != title.size())
            return;
        if (!current || (extensionOf(name) == preferredExtension && extensionOf(*current) != preferredExtension))
            current = &name;
    });
    return current;
}

bool isVector(std::wstring_view name)
{
    constexpr std::wstring_view kExtension = L".svg";
    if (name.size() <= kExtension.size())
        return false;
    const std::wstring_view tail = name.substr(name.size() - kExtension.size());
    return std::equal(tail.begin(), tail.end(), kExtension.begin(),
                      [](wchar_t a, wchar_t b) { return std::towlower(wint_t(a)) == wint_t(b); });
}

const zil::String* pickKindByTitle(const zil::TArray<zil::String>& sortedNames, std::wstring_view title, bool vector)
{
    const zil::String* found = nullptr;
    zil::forEachWithPrefix(sortedNames, title, [&](const zil::String& name) {
        if (!found && titleLength(name) == title.size() && isVector(name) == vector)
            found = &name;
    });
    return found;
}

} // namespace zilui::variants
