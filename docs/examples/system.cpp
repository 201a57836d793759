// SPDX-License-Identifier: MIT
// docs/system.md
#include <zilui/system/gourlbuilder.h>

zil::String helpLink()
{
    zil::P<zilui::CGoURLBuilder> links(new zilui::CGoURLBuilder(
        L"https://go.example.org/", L"https://secure.example.org/go/", L"myproduct", L"2.1", L"pro",
        zil::CSoftwareReleaseStage::stageFinal));
    // https://go.example.org/help?pid=myproduct&ver=2.1&edt=pro&loc=de-de&rel=final
    //     &topic=backup&sloc=de-de&os=linux&osver=6.1.0&bit=64&ossrv=0&cur=EUR
    return links->getURL(L"help", {{L"topic", L"backup"}});
}
