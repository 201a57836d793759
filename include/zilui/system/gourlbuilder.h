// SPDX-License-Identifier: MIT
#pragma once

#include <zil/containers.h>
#include <zil/mutex.h>
#include <zil/object.h>
#include <zil/string.h>
#include <zil/systeminfo.h>

#include <map>

namespace zilui {

// Builds "go" links: a base URL with a target name, then the product, version, edition,
// languages, release stage, system and currency as query parameters in a fixed order, then
// the custom ones. Values are percent-encoded, keys are written as they are. The endpoints
// are the client program's; none is built in. Any thread may use a builder.
class CGoURLBuilder : public zil::CBase {
public:
    // Adds parameters of its own to each link, after the builder's custom parameters.
    class IParamProvider : public virtual zil::IBase {
    public:
        virtual void addParams(const zil::String& target, zil::TMap<zil::String, zil::String>& params) = 0;
    };

    // Each base URL gets "/" unless it ends with one, then "$TARGET$?".
    CGoURLBuilder(const zil::String& url, const zil::String& secureURL, const zil::String& productId,
                  const zil::String& version, const zil::String& edition,
                  const zil::CSoftwareReleaseStage& releaseStage);

    // A full URL prefix for one target, used instead of the base URL; it must end with "&"
    // or "?" (zil::CInvalidArgError otherwise, and nothing changes). "$TARGET$" in it is
    // replaced too.
    void setTargetURL(const zil::String& target, const zil::String& url, bool secure);
    // All or nothing: one bad URL raises the error before any is set.
    void setTargetURLs(const zil::TMap<zil::String, zil::String>& urls, bool secure);
    void addCustomParam(const zil::String& key, const zil::String& value);
    void addParamProvider(IParamProvider* provider);

    zil::String getURL(const zil::String& target, const std::map<zil::String, zil::String>& params);
    zil::String getSecureURL(const zil::String& target, const std::map<zil::String, zil::String>& params);

protected:
    virtual zil::String getURLInternal(const zil::String& target,
                                       const std::map<zil::String, zil::String>& params, bool secure);
    zil::String getTargetURLInternal(const zil::String& target, bool secure);
    // wxWidgets' canonical names ("de_DE"), empty when unknown; the builder lower-cases them
    // and writes "-" for "_". The application's locale, and the system's language.
    virtual zil::String getApplicationLocaleName();
    virtual zil::String getSystemLanguageName();

private:
    zil::String m_urlTemplate;
    zil::String m_secureURLTemplate;
    zil::String m_productId;
    zil::String m_version;
    zil::String m_edition;
    zil::CSoftwareReleaseStage m_releaseStage;
    zil::TMap<zil::String, zil::String> m_customParams;
    zil::TArray<zil::P<IParamProvider>> m_paramProviders;
    zil::TMap<zil::String, zil::String> m_targetURLs;
    zil::TMap<zil::String, zil::String> m_secureTargetURLs;
    zil::CMutex m_lock;
};

} // namespace zilui
