// SPDX-License-Identifier: MIT
// XML from text and from UTF-8 bytes; what loads is saved and must load again.
#include "fuzzsupport.h"

#include <zilui/app/xml.h>

#include <wx/xml/xml.h>

#include <cstdlib>

namespace {

void roundTrip(wxXmlDocument& doc)
{
    if (!doc.GetRoot())
        return;
    zilui::CXMLElementFromWX element(doc.GetRoot());
    // What was loaded and saved must load again: a failure to do so is a finding.
    wxXmlDocument again;
    try {
        zilui::loadXMLDocumentFromString(again, zilui::saveXMLDocumentToString(doc));
    } catch (const zil::CError&) {
        std::abort();
    }
    zilui::getXMLChildElementContent(again.GetRoot(), L"a", L"none");
}

} // namespace

ZILUI_FUZZ_TARGET(xml)
{
    const zil::String text = zilui::fuzz::text(data, size);
    zilui::isValidXMLData(text);
    try {
        wxXmlDocument doc;
        zilui::loadXMLDocumentFromString(doc, text);
        roundTrip(doc);
    } catch (const zil::CError&) {
    }
    try {
        wxXmlDocument doc;
        zilui::loadXMLDocumentFromBuggyWCharedUTF8String(doc, text);
    } catch (const zil::CError&) {
    }
    wxXmlDocument doc;
    zilui::loadXMLDocumentFromUTF8Data(doc, reinterpret_cast<const char*>(data), int(size));
    roundTrip(doc);
}
