// SPDX-License-Identifier: MIT
// Go links: base and target URLs and parameters as a client program or a provider may
// hand them in; the link must keep every value percent-encoded.
#include "fuzzsupport.h"

#include <zilui/system/gourlbuilder.h>

#include <cstdlib>

ZILUI_FUZZ_TARGET(golink)
{
    zilui::fuzz::CPieces pieces(data, size);
    const zil::String base = pieces.nextText();
    const zil::String target = pieces.nextText();
    const zil::String targetURL = pieces.nextText();
    const zil::String key = pieces.nextText();
    const zil::String value = pieces.nextText();
    zilui::CGoURLBuilder builder(base, base + L"s", L"prod", L"1.0", L"pro", zil::CSoftwareReleaseStage());
    builder.addCustomParam(key, value);
    try {
        builder.setTargetURL(target, targetURL, size % 2 == 0);
    } catch (const zil::CInvalidArgError&) {
    }
    const zil::String url = builder.getURL(target, {{key, value}, {L"v", value}});
    builder.getSecureURL(target, {});
    // What the caller gave as a value is never left raw in the link.
    const zil::String raw = L"&v=" + value;
    for (wchar_t c : {L' ', L'&', L'#', L'\n'})
        if (value.find(c) != zil::String::npos && url.find(raw) != zil::String::npos &&
            (base + targetURL + key).find(raw) == zil::String::npos)
            std::abort();
}
