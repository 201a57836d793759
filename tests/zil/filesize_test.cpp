// SPDX-License-Identifier: MIT
#include "temp_folder.h"

#include <zil/error.h>
#include <zil/string.h>

#include <gtest/gtest.h>

using zil::String;

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
        const auto e = zil::test::thrown<zil::CInvalidArgError>(
            [&] { zil::getHumanReadableFileSize(c.size, c.digits, c.unit, c.base); });
        EXPECT_TRUE(String(e.what()).Contains(c.message)) << e.what();
    }
}
