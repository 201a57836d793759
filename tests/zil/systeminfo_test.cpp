// SPDX-License-Identifier: MIT
#include "locale_util.h"
#include "temp_folder.h"

#include <zil/error.h>
#include <zil/systeminfo.h>

#include <gtest/gtest.h>

using namespace zil;
using zil::test::CEnvOverride;
using zil::test::thrown;

TEST(SystemInfo, VersionTakesTheFirstThreeNumbersOfAKernelRelease)
{
    const struct {
        const wchar_t* release;
        CSystemInfo::Version expected;
    } cases[] = {
        {L"6.1.0-18-amd64", {6, 1, 0}}, {L"5.15", {5, 15, 0}},   {L"4.19.27+", {4, 19, 27}},
        {L"10.2.3.4", {10, 2, 3}},      {L"abc", {0, 0, 0}},     {L"", {0, 0, 0}},
        {L"3.x.7", {3, 0, 0}},          {L"99999999999999.1", {999999999, 0, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(String(c.release).toUTF8());
        const CSystemInfo::Version version = CSystemInfo::parseVersion(c.release);
        EXPECT_EQ(version.major, c.expected.major);
        EXPECT_EQ(version.minor, c.expected.minor);
        EXPECT_EQ(version.build, c.expected.build);
    }
}

// The user's monetary locale decides, read from the environment at the call.
TEST(SystemInfo, CurrencyComesFromTheMonetaryLocale)
{
    const std::string locales = zil::test::compiledLocaleFolder("de_DE.UTF-8");
    ASSERT_FALSE(locales.empty()) << "localedef could not build de_DE.UTF-8";
    CEnvOverride path("LOCPATH", locales.c_str());
    CEnvOverride all("LC_ALL", nullptr);
    CEnvOverride lang("LANG", "C");

    {
        CEnvOverride monetary("LC_MONETARY", "de_DE.UTF-8");
        EXPECT_EQ(CSystemInfo::getUserDefaultCurrencyISO4217(), L"EUR");
    }
    {
        CEnvOverride monetary("LC_MONETARY", nullptr);
        EXPECT_EQ(CSystemInfo::getUserDefaultCurrencyISO4217(), L"");
        CEnvOverride overriding("LC_ALL", "de_DE.UTF-8");
        EXPECT_EQ(CSystemInfo::getUserDefaultCurrencyISO4217(), L"EUR");
    }
    CEnvOverride missing("LC_MONETARY", "xx_NOWHERE.UTF-8");
    EXPECT_EQ(thrown([] { CSystemInfo::getUserDefaultCurrencyISO4217(); }).getProp(L"locale"), L"xx_NOWHERE.UTF-8");
}

TEST(SoftwareReleaseStage, TextFormReadsBackAndParsingIsCaseBlind)
{
    for (int stage = CSoftwareReleaseStage::stageDevelopment; stage <= CSoftwareReleaseStage::stageFinal; ++stage) {
        const CSoftwareReleaseStage original{CSoftwareReleaseStage::Stage(stage)};
        SCOPED_TRACE(original.toString().toUTF8());
        EXPECT_EQ(CSoftwareReleaseStage::parse(original.toString()), original);
        EXPECT_EQ(CSoftwareReleaseStage::parse(original.toString().Upper()), original);
    }
    EXPECT_EQ(CSoftwareReleaseStage::parse(L"rc").toString(), L"rc");
    for (const wchar_t* bad : {L"", L"beta ", L"release", L"rc1"}) {
        SCOPED_TRACE(String(bad).toUTF8());
        EXPECT_EQ(thrown<CParseError>([&] { CSoftwareReleaseStage::parse(bad); }).getProp(L"text"), bad);
    }
}
