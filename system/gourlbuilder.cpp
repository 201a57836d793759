// SPDX-License-Identifier: MIT
#include <zilui/system/gourlbuilder.h>

#include <zilui/app/appbase.h>
#include <zilui/app/strings.h>

#include <zil/error.h>
#include <zil/log.h>

#include <wx/intl.h>

namespace zilui {

namespace {

zil::String makeTemplate(zil::String url)
{
    if (!url.EndsWith(L"/"))
        url += L"/";
    return url + L"$TARGET$?";
}

void checkTargetURL(const zil::String& url)
{
    if (!url.EndsWith(L"&") && !url.EndsWith(L"?")) {
        zil::CInvalidArgError e(L"URL must end with either & or ?", L"CGoURLBuilder::setTargetURL");
        e.setProp(L"url", url);
        throw e;
    }
}

// "de_DE" becomes "de-de".
zil::String toLinkLocale(zil::String name)
{
    name.Replace(L"_", L"-");
    return name.Lower();
}

void appendParam(zil::String& url, const zil::String& key, const zil::String& value)
{
    url += L"&" + key + L"=" + zil::uriEscape(value);
}

} // namespace

CGoURLBuilder::CGoURLBuilder(const zil::String& url, const zil::String& secureURL,
                             const zil::String& productId, const zil::String& version,
                             const zil::String& edition, const zil::CSoftwareReleaseStage& releaseStage)
    : m_urlTemplate(makeTemplate(url)), m_secureURLTemplate(makeTemplate(secureURL)), m_productId(productId),
      m_version(version), m_edition(edition), m_releaseStage(releaseStage)
{
}

void CGoURLBuilder::setTargetURL(const zil::String& target, const zil::String& url, bool secure)
{
    checkTargetURL(url);
    zil::CMutexLock lock(m_lock);
    (secure ? m_secureTargetURLs : m_targetURLs)[target] = url;
}

void CGoURLBuilder::setTargetURLs(const zil::TMap<zil::String, zil::String>& urls, bool secure)
{
    for (const auto& entry : urls)
        checkTargetURL(entry.second);
    zil::CMutexLock lock(m_lock);
    for (const auto& [target, url] : urls)
        (secure ? m_secureTargetURLs : m_targetURLs)[target] = url;
}

void CGoURLBuilder::addCustomParam(const zil::String& key, const zil::String& value)
{
    zil::CMutexLock lock(m_lock);
    m_customParams[key] = value;
}

void CGoURLBuilder::addParamProvider(IParamProvider* provider)
{
    zil::CMutexLock lock(m_lock);
    m_paramProviders.push_back(zil::P<IParamProvider>(provider));
}

zil::String CGoURLBuilder::getURL(const zil::String& target, const std::map<zil::String, zil::String>& params)
{
    return getURLInternal(target, params, false);
}

zil::String CGoURLBuilder::getSecureURL(const zil::String& target,
                                        const std::map<zil::String, zil::String>& params)
{
    return getURLInternal(target, params, true);
}

zil::String CGoURLBuilder::getTargetURLInternal(const zil::String& target, bool secure)
{
    zil::CMutexLock lock(m_lock);
    const auto& targets = secure ? m_secureTargetURLs : m_targetURLs;
    const auto found = targets.find(target);
    zil::String url = found != targets.end() ? found->second : (secure ? m_secureURLTemplate : m_urlTemplate);
    url.Replace(L"$TARGET$", target);
    return url;
}

zil::String CGoURLBuilder::getApplicationLocaleName()
{
    CAppBase* app = CAppBase::get();
    if (!app)
        return zil::String();
    try {
        return fromWX(app->getLocale().GetCanonicalName());
    } catch (const zil::CError&) {
        return zil::String(); // the application has no locale yet
    }
}

zil::String CGoURLBuilder::getSystemLanguageName()
{
    const int language = wxLocale::GetSystemLanguage();
    if (language == wxLANGUAGE_UNKNOWN || language == wxLANGUAGE_DEFAULT)
        return zil::String();
    return fromWX(wxLocale::GetLanguageCanonicalName(language));
}

zil::String CGoURLBuilder::getURLInternal(const zil::String& target,
                                          const std::map<zil::String, zil::String>& params, bool secure)
{
    zil::CMutexLock lock(m_lock);
    // The base ends with "?" or "&", so the first parameter follows directly.
    zil::String url = getTargetURLInternal(target, secure) + L"pid=" + zil::uriEscape(m_productId);
    appendParam(url, L"ver", m_version);
    appendParam(url, L"edt", m_edition);
    appendParam(url, L"loc", toLinkLocale(getApplicationLocaleName()));
    appendParam(url, L"rel", m_releaseStage.toString());
    for (const auto& [key, value] : m_customParams)
        appendParam(url, key, value);
    for (const zil::P<IParamProvider>& provider : m_paramProviders) {
        zil::TMap<zil::String, zil::String> added;
        provider->addParams(target, added);
        for (const auto& [key, value] : added)
            appendParam(url, key, value);
    }
    for (const auto& [key, value] : params)
        appendParam(url, key, value);
    const zil::String systemLanguage = toLinkLocale(getSystemLanguageName());
    if (!systemLanguage.isEmpty())
        appendParam(url, L"sloc", systemLanguage);
    appendParam(url, L"os", zil::CSystemInfo::getOSType());
    const zil::CSystemInfo::Version version = zil::CSystemInfo::getOSVersion();
    appendParam(url, L"osver",
                zil::CStringFormat(L"%1.%2.%3").arg(version.major).arg(version.minor).arg(version.build));
    appendParam(url, L"bit", zil::CSystemInfo::is64BitSystem() ? L"64" : L"32");
    appendParam(url, L"ossrv", zil::CSystemInfo::isServerEdition() ? L"1" : L"0");
    try {
        const zil::String currency = zil::CSystemInfo::getUserDefaultCurrencyISO4217();
        if (!currency.isEmpty())
            appendParam(url, L"cur", currency);
    } catch (const zil::CError& e) {
        zil::logError(e, L"Error obtaining user's default currency for go URL. Ignoring.");
    }
    return url;
}

} // namespace zilui
