// SPDX-License-Identifier: MIT
#include "zil/temp_folder.h"

#include <zilui/system/gourlbuilder.h>

#include <zil/error.h>
#include <zil/systeminfo.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <regex>
#include <string>

using namespace zilui;
using zil::test::CEnvOverride;

namespace {

// Fixed languages, so a whole link can be compared.
class CFixedLanguageBuilder : public CGoURLBuilder {
public:
    using CGoURLBuilder::CGoURLBuilder;
    zil::String appLocale = L"de_DE", systemLanguage = L"en_US";

protected:
    zil::String getApplicationLocaleName() override { return appLocale; }
    zil::String getSystemLanguageName() override { return systemLanguage; }
};

class CTargetEchoProvider : public zil::CBase, public CGoURLBuilder::IParamProvider {
public:
    void addParams(const zil::String& target, zil::TMap<zil::String, zil::String>& params) override
    {
        params[L"zz"] = L"last";
        params[L"tgt"] = target;
    }
};

// de_DE.UTF-8 compiled once into a folder of its own: a fresh machine may have only C.
std::string localeFolder()
{
    static zil::test::CTempFolder folder;
    static const bool built =
        std::system(
            ("localedef -i de_DE -f UTF-8 " + folder.api(L"de_DE.UTF-8") + " >/dev/null 2>&1").c_str()) == 0;
    EXPECT_TRUE(built) << "localedef could not build de_DE.UTF-8";
    return folder.path().toAPIPath();
}

// The currency as the test decides: none (C), the euro, or a locale that is not installed.
struct CMonetaryLocale {
    explicit CMonetaryLocale(const char* name) : monetary("LC_MONETARY", name) {}
    CEnvOverride path{"LOCPATH", localeFolder().c_str()};
    CEnvOverride all{"LC_ALL", nullptr}, lang{"LANG", nullptr}, monetary;
};

// The running kernel's "<major>.<minor>.<patch>", read where the builder does not look: the
// kernel's own text ("6.1.0-18-amd64") rather than uname(2).
zil::String kernelVersion()
{
    std::ifstream file("/proc/sys/kernel/osrelease");
    std::string release;
    std::getline(file, release);
    std::smatch match;
    EXPECT_TRUE(std::regex_search(release, match, std::regex("^[0-9]+\\.[0-9]+\\.[0-9]+"))) << release;
    return zil::String::fromUTF8(match.str());
}

zil::P<CFixedLanguageBuilder> makeBuilder(const wchar_t* url = L"https://go.example.org/")
{
    return new CFixedLanguageBuilder(url, L"https://secure.example.org/go", L"zil ui", L"2.1", L"pro",
                                     zil::CSoftwareReleaseStage::stageBeta);
}

} // namespace

TEST(GoURLBuilder, WholeLinkInItsFixedOrder)
{
    zil::P<CFixedLanguageBuilder> builder = makeBuilder();
    builder->addCustomParam(L"b", L"two");
    builder->addCustomParam(L"a b&c", L"x y&z=1");
    builder->addParamProvider(new CTargetEchoProvider());
    const zil::String system = L"&os=linux&osver=" + kernelVersion() + L"&bit=64&ossrv=0";
    {
        CMonetaryLocale euro("de_DE.UTF-8");
        EXPECT_EQ(builder->getURL(L"help", {{L"q", L"ä/"}, {L"p", L""}}),
                  L"https://go.example.org/help?pid=zil%20ui&ver=2.1&edt=pro&loc=de-de&rel=beta"
                  L"&a b&c=x%20y%26z%3D1&b=two&tgt=help&zz=last&p=&q=%C3%A4%2F&sloc=en-us" +
                      system + L"&cur=EUR");
        EXPECT_TRUE(
            builder->getSecureURL(L"buy", {}).StartsWith(L"https://secure.example.org/go/buy?pid=zil%20ui&"));
    }
    // Without languages and currency those parameters go; a missing locale is no error.
    builder->appLocale = builder->systemLanguage = L"";
    for (const char* monetary : {"C", "xx_NOWHERE.UTF-8"}) {
        SCOPED_TRACE(monetary);
        CMonetaryLocale none(monetary);
        const zil::String url = makeBuilder(L"https://go.example.org")->getURL(L"t", {});
        EXPECT_TRUE(url.StartsWith(
            L"https://go.example.org/t?pid=zil%20ui&ver=2.1&edt=pro&loc=de-de&rel=beta&sloc=en-us&os="));
        EXPECT_TRUE(url.EndsWith(L"&ossrv=0")) << url.toUTF8();
        EXPECT_NE(
            builder->getURL(L"t", {}).find(L"&loc=&rel=beta&a b&c=x%20y%26z%3D1&b=two&tgt=t&zz=last&os="),
            zil::String::npos);
    }
}

TEST(GoURLBuilder, TargetURLsMustEndWithAQueryJoinAndABadOneChangesNothing)
{
    CMonetaryLocale none("C");
    zil::P<CFixedLanguageBuilder> builder = makeBuilder();
    builder->setTargetURL(L"docs", L"https://docs.example.org/$TARGET$/index?lang=x&", false);
    for (const wchar_t* bad : {L"https://other.example.org/page", L"", L"https://other.example.org/?a=b&c"}) {
        SCOPED_TRACE(zil::String(bad).toUTF8());
        EXPECT_THROW(builder->setTargetURL(L"docs", bad, false), zil::CInvalidArgError);
        EXPECT_THROW(builder->setTargetURLs({{L"new", L"https://ok.example.org/?"}, {L"docs", bad}}, false),
                     zil::CInvalidArgError);
    }
    EXPECT_TRUE(
        builder->getURL(L"docs", {}).StartsWith(L"https://docs.example.org/docs/index?lang=x&pid=zil%20ui&"));
    EXPECT_TRUE(builder->getURL(L"new", {}).StartsWith(L"https://go.example.org/new?pid="));
    // Secure and normal targets are kept apart.
    EXPECT_TRUE(builder->getSecureURL(L"docs", {}).StartsWith(L"https://secure.example.org/go/docs?pid="));
}
