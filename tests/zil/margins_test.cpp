// SPDX-License-Identifier: MIT
#include "temp_folder.h"

#include <zil/error.h>
#include <zil/margins.h>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using zil::CMargins;
using zil::String;

TEST(MarginsText, OneTwoOrFourIntegersAndNothingElse)
{
    const struct {
        const wchar_t* text;
        CMargins margins;
        const wchar_t* canonical;
    } cases[] = {
        {L"  3\t", CMargins(3), L"3"},
        {L"2 4", CMargins(2, 4, 2, 4), L"2,4"},
        {L" 1 , 2\n3,\t4 ", CMargins(1, 2, 3, 4), L"1,2,3,4"},
        {L"-1,-2,+3,4", CMargins(-1, -2, 3, 4), L"-1,-2,3,4"},
        {L"5,5,5,5", CMargins(5), L"5"},
        {L"1,2,1,2", CMargins(1, 2, 1, 2), L"1,2"},
        {L"-2147483648,2147483647", CMargins(INT32_MIN, INT32_MAX, INT32_MIN, INT32_MAX),
         L"-2147483648,2147483647"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(String(c.text).toUTF8());
        const CMargins parsed = CMargins::parseString(c.text);
        EXPECT_EQ(parsed, c.margins);
        EXPECT_EQ(parsed.toString(), String(c.canonical));
    }
    for (const wchar_t* bad : {L"", L"  ", L"1,2,3", L"1,2,3,4,5", L"1,,2", L",1", L"1,", L"1.5", L"a",
                               L"1;2", L"2147483648", L"1 -", L"--1", L"0x10"}) {
        SCOPED_TRACE(String(bad).toUTF8());
        const auto e = zil::test::thrown<zil::CParseError>([&] { CMargins::parseString(bad); });
        EXPECT_TRUE(e.getMessage().Contains(String(L"'") + bad + L"'")) << e.what();
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
        {CMargins(3, -3, 0, 1), -1.5, CMargins(-5, 5, 0, -2)},
        {CMargins(INT32_MAX, INT32_MIN, 2, 0), 2.0, CMargins(INT32_MAX, INT32_MIN, 4, 0)},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.in.toScaled(c.factor), c.out) << c.in.toString().toUTF8() << " * " << c.factor;
    for (double bad : {std::nan(""), std::numeric_limits<double>::infinity()})
        EXPECT_THROW(CMargins(1).toScaled(bad), zil::CInvalidArgError);
}
