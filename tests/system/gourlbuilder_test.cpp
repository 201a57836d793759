// SPDX-License-Identifier: MIT
#include "zil/locale_util.h"
#include "zil/temp_folder.h"

#include <zilui/system/gourlbuilder.h>

#include <zil/error.h>
#include <zil/systeminfo.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

using namespace zilui;
using zil::test::CEnvOverride;

namespace {

// Fixed languages, so a whole link can be compared.
class CFixedLanguageBuilder : public CGoURLBuilder {
public:
    using CGoURLBuilder::CGoURLBuilder;
    zil::String appLocale = L"de_DE";
    zil::String systemLanguage = L"en_US";

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

zil::String systemPart()
{
    const zil::CSystemInfo::Version v = zil::CSystemInfo::getOSVersion();
    return L"&os=" + zil::CSystemInfo::getOSType() +
           zil::String(zil::CStringFormat(L"&osver=%1.%2.%3&bit=64&ossrv=0").arg(v.major).arg(v.minor).arg(v.build));
}

// The currency as the test decides: none (C) or the euro.
class CMonetaryLocale {
public:
    explicit CMonetaryLocale(const char* name)
        : m_path("LOCPATH", zil::test::compiledLocaleFolder("de_DE.UTF-8").c_str()), m_all("LC_ALL", nullptr),
          m_lang("LANG", nullptr), m_monetary("LC_MONETARY", name)
    {
    }

private:
    CEnvOverride m_path, m_all, m_lang, m_monetary;
};

} // namespace

TEST(GoURLBuilder, WholeLinkInItsFixedOrder)
{
    CMonetaryLocale currency("de_DE.UTF-8");
    CFixedLanguageBuilder builder(L"https://go.example.org/", L"https://secure.example.org/go", L"zil ui",
                                  L"2.1", L"pro", zil::CSoftwareReleaseStage::stageBeta);
    builder.addCustomParam(L"b", L"two");
    builder.addCustomParam(L"a b&c", L"x y&z=1");
    builder.addParamProvider(new CTargetEchoProvider());

    EXPECT_EQ(builder.getURL(L"help", {{L"q", L"ä/"}, {L"p", L""}}),
              L"https://go.example.org/help?pid=zil%20ui&ver=2.1&edt=pro&loc=de-de&rel=beta"
              L"&a b&c=x%20y%26z%3D1&b=two&tgt=help&zz=last&p=&q=%C3%A4%2F&sloc=en-us" +
                  systemPart() + L"&cur=EUR");
    EXPECT_TRUE(builder.getSecureURL(L"buy", {}).StartsWith(L"https://secure.example.org/go/buy?pid=zil%20ui&"));

    // Without languages and currency those parameters go; the system ones stay.
    CMonetaryLocale none("C");
    builder.appLocale = L"";
    builder.systemLanguage = L"";
    const zil::String bare = builder.getURL(L"t", {});
    EXPECT_NE(bare.find(L"&loc=&rel=beta"), zil::String::npos);
    EXPECT_EQ(bare.find(L"sloc"), zil::String::npos);
    EXPECT_TRUE(bare.EndsWith(L"&ossrv=0")) << bare.toUTF8();
}

TEST(GoURLBuilder, UnavailableCurrencyIsLeftOut)
{
    CMonetaryLocale missing("xx_NOWHERE.UTF-8");
    CFixedLanguageBuilder builder(L"https://go.example.org", L"https://go.example.org", L"p", L"1", L"e",
                                  zil::CSoftwareReleaseStage());
    EXPECT_TRUE(builder.getURL(L"t", {}).EndsWith(L"&ossrv=0"));
    EXPECT_TRUE(builder.getURL(L"t", {}).StartsWith(L"https://go.example.org/t?pid=p&ver=1&edt=e&loc=de-de&rel=final"));
}

TEST(GoURLBuilder, TargetURLsMustEndWithAQueryJoinAndABadOneChangesNothing)
{
    CMonetaryLocale none("C");
    CFixedLanguageBuilder builder(L"https://go.example.org/", L"https://s.example.org/", L"p", L"1", L"e",
                                  zil::CSoftwareReleaseStage::stageFinal);
    builder.setTargetURL(L"docs", L"https://docs.example.org/$TARGET$/index?lang=x&", false);
    for (const wchar_t* bad : {L"https://other.example.org/page", L"", L"https://other.example.org/?a=b&c"}) {
        SCOPED_TRACE(zil::String(bad).toUTF8());
        EXPECT_THROW(builder.setTargetURL(L"docs", bad, false), zil::CInvalidArgError);
        EXPECT_THROW(builder.setTargetURLs({{L"new", L"https://ok.example.org/?"}, {L"docs", bad}}, false),
                     zil::CInvalidArgError);
    }
    EXPECT_TRUE(builder.getURL(L"docs", {}).StartsWith(L"https://docs.example.org/docs/index?lang=x&pid=p&"));
    EXPECT_TRUE(builder.getURL(L"new", {}).StartsWith(L"https://go.example.org/new?pid=p&"));
    // Secure and normal targets are kept apart.
    EXPECT_TRUE(builder.getSecureURL(L"docs", {}).StartsWith(L"https://s.example.org/docs?pid=p&"));
}

// Parameters added while other threads build links never tear a link.
TEST(GoURLBuilder, SharedBetweenThreads)
{
    CMonetaryLocale none("C");
    zil::P<CFixedLanguageBuilder> builder(new CFixedLanguageBuilder(L"https://go.example.org", L"https://go.example.org",
                                                                    L"p", L"1", L"e", zil::CSoftwareReleaseStage()));
    std::atomic<int> torn{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 300; ++i) {
                if (t == 0) {
                    builder->addCustomParam(L"k" + zil::toString(int64_t(i)), L"v");
                    continue;
                }
                const zil::String url = builder->getURL(L"t", {});
                torn += url.EndsWith(L"&ossrv=0") && url.find(L"&rel=final") != zil::String::npos ? 0 : 1;
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(torn.load(), 0);
}
