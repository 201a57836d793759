// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <string_view>

namespace zilui {

// The next word of `text` from `pos`: up to a tab, space or hyphen, with the hyphen; `pos` passes
// over the delimiter. False when `pos` is at the end. A view, so that a paragraph's words cost
// no copies.
inline bool nextWord(std::wstring_view text, size_t& pos, std::wstring_view& word)
{
    if (pos >= text.size())
        return false;
    size_t end = pos;
    while (end < text.size() && text[end] != L' ' && text[end] != L'\t' && text[end] != L'-')
        ++end;
    const size_t start = pos;
    pos = end;
    if (pos < text.size()) {
        if (text[pos] == L'-')
            ++end;
        ++pos;
    }
    word = text.substr(start, end - start);
    return true;
}

} // namespace zilui
