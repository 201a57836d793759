// SPDX-License-Identifier: MIT
#include <zil/systeminfo.h>

#include <gtest/gtest.h>

using namespace zil;

TEST(SystemInfo, VersionTakesTheFirstThreeNumbersOfAKernelRelease)
{
    const struct {
        const wchar_t* release;
        CSystemInfo::Version expected;
    } cases[] = {
        {L"6.1.0-18-amd64", {6, 1, 0}},
        {L"5.15", {5, 15, 0}},
        {L"4.19.27+", {4, 19, 27}},
        {L"10.2.3.4", {10, 2, 3}},
        {L"abc", {0, 0, 0}},
        {L"", {0, 0, 0}},
        {L"3.x.7", {3, 0, 0}},
        {L"99999999999.1", {999999999, 0, 0}},
    };
    for (const auto& c : cases)
        EXPECT_TRUE(CSystemInfo::parseVersion(c.release) == c.expected) << String(c.release).toUTF8();
}
