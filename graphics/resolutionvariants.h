// SPDX-License-Identifier: MIT
#pragma once

// How a resource's resolution variants ("ok.png", "ok@2.png", "ok@1_5.png") are named and
// which one serves a requested factor: plain functions of names and numbers, with no file
// system and no wxWidgets, so that every choice can be checked as a table.

#include <zil/containers.h>
#include <zil/string.h>

#include <cstddef>
#include <string_view>

namespace zilui::variants {

constexpr double kMinFactor = 0.25;
constexpr double kMaxFactor = 8.0;

// Length of the title of a file name: up to the first "." that is not its first character.
size_t titleLength(std::wstring_view name);
// Whether a variant of factor `available` must be rescaled to serve `requested`: it is used
// as it is from 12.5 % smaller to 5 % larger.
bool needToScale(double available, double requested);
// 1 when `a` serves `requested` better than `b`, -1 when `b` does, 0 when equal.
int compare(double a, double b, double requested);
// "ok@1_5" -> "ok" and 1.5; a title without "@" is returned as it is with 1.0. Throws
// zil::CParseError for a factor that does not parse or lies outside kMinFactor..kMaxFactor.
zil::String splitFactor(const zil::String& title, double& factor);

struct Variant {
    // Into the names given; null when none matched.
    const zil::String* name = nullptr;
    double factor = -1.0;
};
// The best variant of `title` + `extension` among `sortedNames` (ordered by code point) for
// `requested`. A name whose factor suffix is bad is skipped and, when `badNames` is given,
// added to it.
Variant pickBest(const zil::TArray<zil::String>& sortedNames, std::wstring_view title, std::wstring_view extension,
                 double requested, zil::TArray<const zil::String*>* badNames = nullptr);
// The entry of `sortedNames` whose title is `title`, the one with `preferredExtension` if
// any (an empty preference takes the first); `current`, a match from a folder searched
// before, is kept unless this list has the preferred extension and it has not.
const zil::String* pickByTitle(const zil::TArray<zil::String>& sortedNames, std::wstring_view title,
                               std::wstring_view preferredExtension, const zil::String* current);
// Whether `name` is a vector picture (".svg", any case), which serves every factor exactly.
bool isVector(std::wstring_view name);
// The first entry of `sortedNames` whose title is `title` and that is a vector picture
// (`vector`) or is not; null when there is none.
const zil::String* pickKindByTitle(const zil::TArray<zil::String>& sortedNames, std::wstring_view title, bool vector);

} // namespace zilui::variants
