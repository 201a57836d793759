// SPDX-License-Identifier: MIT
#include "../../system/linux/dbusmenuexport.h"

#include <gtest/gtest.h>

namespace {

// A host shows '_' as the mnemonic underline and "__" as an underscore: a label passed through
// unchanged loses its underscores and underlines the wrong letter.
TEST(DbusMenuExportTest, MnemonicsAndUnderscoresInLabels)
{
    const struct {
        const char* wx;
        const char* dbus;
    } cases[] = {
        {"E&xit", "E_xit"},
        {"&Open", "_Open"},
        {"Salt && pepper", "Salt & pepper"},
        {"snake_case", "snake__case"},
        {"_&_", "_____"},
        {"&&&Both", "&_Both"},
        {"Trailing&", "Trailing_"},
        {"&&", "&"},
        {"\xc3\x84&rger", "\xc3\x84_rger"}, // UTF-8 before the mark
        {"", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.wx);
        EXPECT_EQ(zilui::desktop::menuLabel(c.wx), c.dbus);
    }
}

} // namespace
