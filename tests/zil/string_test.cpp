// SPDX-License-Identifier: MIT
#include "temp_folder.h"

#include <zil/string.h>

#include <clocale>

using zil::String;
using zil::test::thrown;

TEST(StringUTF8, RoundTripsAndRepairsBrokenSequences)
{
    const String text(L"Grüße \U0001F600 €");
    EXPECT_EQ(String::fromUTF8(text.toUTF8()), text);
    std::string strict = "left over";
    EXPECT_TRUE(zil::toUTF8Strict(text, strict));
    EXPECT_EQ(strict, text.toUTF8());
    // What toUTF8() replaces, the strict form refuses.
    for (const wchar_t bad : {wchar_t(0xD800), wchar_t(0xDFFF), wchar_t(0x110000)}) {
        EXPECT_FALSE(zil::toUTF8Strict(String(L"a") + bad, strict)) << int(bad);
        EXPECT_EQ((String(L"a") + bad).toUTF8(), "a\xEF\xBF\xBD");
    }

    const struct {
        const char* bytes;
        const wchar_t* expected;
    } broken[] = {
        {"a\xC3", L"a\uFFFD"},             // truncated two-byte sequence at the end
        {"\xC0\xAF", L"\uFFFD"},            // overlong "/" must not decode to "/"
        {"\xED\xA0\x80x", L"\uFFFDx"},      // encoded surrogate
        {"\xE2\x82x", L"\uFFFDx"},          // sequence cut short by an ASCII byte
        {"\xFF", L"\uFFFD"},
    };
    for (const auto& c : broken) {
        SCOPED_TRACE(c.bytes);
        EXPECT_EQ(String::fromUTF8(c.bytes), String(c.expected));
    }
}

TEST(StringOperations, EdgesOfSlicingTrimReplaceEscapeAndFormat)
{
    const String s(L"abcdef");
    EXPECT_EQ(s.Left(100), s);
    EXPECT_EQ(s.Mid(6), String());
    EXPECT_EQ(s.Mid(100, 2), String());
    EXPECT_EQ(s.Mid(4, 100), String(L"ef"));
    EXPECT_EQ(String(L" \t x y \n").Trim(), String(L"x y"));
    EXPECT_EQ(String(L"   ").Trim(), String());

    String r(L"aaa");
    EXPECT_EQ(r.Replace(L"a", L"aa"), 3u); // the inserted text is not rescanned
    EXPECT_EQ(r, String(L"aaaaaa"));
    String n(L"\n\n\n");
    EXPECT_EQ(n.Replace(L"\n\n", L"\n \n"), 1u);
    String e(L"abc");
    EXPECT_EQ(e.Replace(L"", L"x"), 0u);

    EXPECT_TRUE(String(L"x").StartsWith(L""));
    EXPECT_FALSE(String(L"ab").EndsWith(L"xab"));
    EXPECT_EQ(String(L"ÄBC").CmpNoCase(L"äbc"), 0);
    EXPECT_LT(String(L"ab").CmpNoCase(L"ABC"), 0);
    EXPECT_GT(String(L"b").CmpNoCase(L"A"), 0);

    EXPECT_EQ(zil::uriEscape(L"a b&c=d/ü~"), String(L"a%20b%26c%3Dd%2F%C3%BC~"));
    EXPECT_EQ(zil::uriEscape(L""), String());

    EXPECT_EQ(zil::CStringFormat(L"%2 of %1, 100%%").arg(3).arg(L"two").str(), String(L"two of 3, 100%"));
    EXPECT_EQ(zil::CStringFormat(L"%1 and %2").arg(L"x").str(), String(L"x and %2"));
    EXPECT_EQ(zil::CStringFormat(L"%1").arg(0.5, 2).str(), String(L"0.50"));
    EXPECT_EQ(zil::CStringFormat(L"%1%").arg(L"%2").arg(L"no").str(), String(L"%2%")); // no rescan
}

// A comma locale is the classic way strtod-based parsing breaks (scripts/setup.sh generates it).
TEST(StringParse, WholeNumbersOnlyInAnyLocale)
{
    struct Restore {
        std::string previous = std::setlocale(LC_NUMERIC, nullptr);
        ~Restore() { std::setlocale(LC_NUMERIC, previous.c_str()); }
    } restore;
    ASSERT_TRUE(std::setlocale(LC_NUMERIC, "de_DE.UTF-8")) << "locale de_DE.UTF-8 is not generated";
    ASSERT_STREQ(std::localeconv()->decimal_point, ",");
    const struct {
        const wchar_t* text;
        double value;
    } good[] = {{L"-1.5", -1.5}, {L"0", 0.0}, {L"+2", 2.0}, {L"1.", 1.0}, {L".25", 0.25}, {L"1.75", 1.75}};
    for (const auto& c : good)
        EXPECT_DOUBLE_EQ(zil::parseSimpleDouble(c.text), c.value) << String(c.text).toUTF8();
    for (const wchar_t* bad : {L"12abc", L"", L"1e", L"1e5", L"1,5", L" 1", L"1 ", L".", L"-", L"1.2.3", L"nan", L"inf", L"٣"}) {
        SCOPED_TRACE(String(bad).toUTF8());
        const auto e = thrown<zil::CParseError>([&] { zil::parseSimpleDouble(bad); });
        EXPECT_TRUE(e.getMessage().Contains(String(L"'") + bad + L"'")) << e.what();
        EXPECT_EQ(e.getProp(L"text"), String(bad));
    }
    EXPECT_EQ(zil::toString(1.5, 2), String(L"1.50"));

    EXPECT_EQ(zil::parseInt64(L"-9223372036854775808"), INT64_MIN);
    EXPECT_EQ(zil::parseInt64(L"+42"), 42);
    for (const wchar_t* bad : {L"9223372036854775808", L"", L"-", L"+", L"4 2", L"0x10", L"1.0", L"+-1"})
        EXPECT_THROW(zil::parseInt64(bad), zil::CParseError) << String(bad).toUTF8();
}

TEST(HumanReadableFileSize, BytesThenTheLargestUnitThatKeepsOneOrMore)
{
    const int64_t K = 1024, M = K * K;
    const struct { int64_t size; int digits, unit; double base; const wchar_t* text; } cases[] = {
        {0, 1, -1, 1024, L"0 bytes"}, {1, 1, -1, 1024, L"1 byte"}, {1023, 1, -1, 1024, L"1023 bytes"},
        {1024, 1, -1, 1024, L"1.0 KiB"}, {M - 52, 1, -1, 1024, L"1023.9 KiB"},
        {M - 51, 1, -1, 1024, L"1.0 MiB"}, {M - 1, 0, -1, 1024, L"1 MiB"}, // not "1024.0 KiB"
        {5 * M * K + 300 * M, 2, -1, 1024, L"5.29 GiB"}, {INT64_MAX, 1, -1, 1024, L"8.0 EiB"},
        {999, 1, -1, 1000, L"999 bytes"}, {999950, 1, -1, 1000, L"1.0 MB"}, {1234567, 3, -1, 1000, L"1.235 MB"},
        {M, 1, 0, 1024, L"1048576 bytes"}, {1, 2, 1, 1024, L"0.00 KiB"}, {3 * M, 1, 1, 1024, L"3072.0 KiB"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(zil::getHumanReadableFileSize(c.size, c.digits, c.unit, c.base), String(c.text));
    const struct { int64_t size; int digits, unit; double base; const wchar_t* message; } bad[] = {
        {-1, 1, -1, 1024, L"negative file size -1"}, {1, -1, -1, 1024, L"not -1"}, {1, 10, -1, 1024, L"not 10"},
        {1, 1, 7, 1024, L"not 7"}, {1, 1, -2, 1024, L"not -2"}, {1, 1, -1, 1, L"1024 or 1000, not 1.000"},
    };
    for (const auto& c : bad) {
        const auto e = thrown<zil::CInvalidArgError>(
            [&] { zil::getHumanReadableFileSize(c.size, c.digits, c.unit, c.base); });
        EXPECT_TRUE(String(e.what()).Contains(c.message)) << e.what();
    }
}
