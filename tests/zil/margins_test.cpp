// SPDX-License-Identifier: MIT
#include <zil/error.h>
#include <zil/margins.h>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using zil::CMargins;
using zil::String;

TEST(MarginsText, OneTwoOrFourIntegers)
{
    const struct {
        const wchar_t* text;
        CMargins margins;
        const wchar_t* canonical;
    } cases[] = {
        {L"3", CMargins(3), L"3"},
        {L"  3\t", CMargins(3), L"3"},
        {L"2,4", CMargins(2, 4, 2, 4), L"2,4"},
        {L"2 4", CMargins(2, 4, 2, 4), L"2,4"},
        {L"1,2,3,4", CMargins(1, 2, 3, 4), L"1,2,3,4"},
        {L" 1 , 2\n3,\t4 ", CMargins(1, 2, 3, 4), L"1,2,3,4"},
        {L"-1,-2,+3,4", CMargins(-1, -2, 3, 4), L"-1,-2,3,4"},
        {L"5,5,5,5", CMargins(5), L"5"},
        {L"1,2,1,2", CMargins(1, 2, 1, 2), L"1,2"},
        {L"0", CMargins(), L"0"},
        {L"-2147483648,2147483647", CMargins(INT32_MIN, INT32_MAX, INT32_MIN, INT32_MAX),
         L"-2147483648,2147483647"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(String(c.text).toUTF8());
        const CMargins parsed = CMargins::parseString(c.text);
        EXPECT_EQ(parsed, c.margins);
        EXPECT_EQ(parsed.toString(), String(c.canonical));
        EXPECT_EQ(CMargins::parseString(parsed.toString()), parsed);
    }
}

TEST(MarginsText, AnythingElseIsAParseErrorNamingTheText)
{
    for (const wchar_t* bad : {L"", L"  ", L"1,2,3", L"1,2,3,4,5", L"1,,2", L",1", L"1,", L"1, ,2", L"1.5",
                               L"a", L"1;2", L"2147483648", L"1 -", L"--1", L"0x10"}) {
        SCOPED_TRACE(String(bad).toUTF8());
        try {
            CMargins::parseString(bad);
            ADD_FAILURE() << "accepted";
        } catch (const zil::CParseError& e) {
            EXPECT_TRUE(e.getMessage().Contains(String(L"'") + bad + L"'")) << e.what();
            EXPECT_EQ(e.getProp(L"text"), String(bad));
        }
    }
}

TEST(MarginsScale, RoundsHalfAwayFromZeroAndClamps)
{
    const struct {
        CMargins in;
        double factor;
        CMargins out;
    } cases[] = {
        {CMargins(3, -3, 1, -1), 1.5, CMargins(5, -5, 2, -2)}, // 4.5 -> 5, -4.5 -> -5, 1.5 -> 2
        {CMargins(5, -5, 2, 0), 0.5, CMargins(3, -3, 1, 0)},
        {CMargins(7), 1.0, CMargins(7)},
        {CMargins(1, 2, 3, 4), 0.0, CMargins(0)},
        {CMargins(3, -3, 0, 1), -1.5, CMargins(-5, 5, 0, -2)},
        {CMargins(INT32_MAX, INT32_MIN, 2, 0), 2.0, CMargins(INT32_MAX, INT32_MIN, 4, 0)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.in.toString().toUTF8() + " * " + std::to_string(c.factor));
        EXPECT_EQ(c.in.toScaled(c.factor), c.out) << c.in.toScaled(c.factor).toString().toUTF8();
    }
    for (double bad : {std::nan(""), std::numeric_limits<double>::infinity()})
        EXPECT_THROW(CMargins(1).toScaled(bad), zil::CInvalidArgError);
}
