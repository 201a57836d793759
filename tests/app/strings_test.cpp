// SPDX-License-Identifier: MIT
#include <zilui/app/strings.h>

#include <gtest/gtest.h>

// Converting through c_str() would cut at the first NUL and mangle characters beyond the
// basic plane on platforms with narrow wchar_t.
TEST(WXStringConversion, KeepsEmbeddedNulAndAstralCharacters)
{
    const zil::String samples[] = {
        zil::String(L"plain"),
        zil::String(L"a\0b", 3),
        zil::String(L"\U0001F600 Grüße"),
        zil::String(),
    };
    for (const auto& s : samples) {
        SCOPED_TRACE(s.toUTF8());
        const wxString wx = zilui::toWX(s);
        EXPECT_EQ(wx.length(), s.size());
        EXPECT_EQ(zilui::fromWX(wx), s);
    }
}
