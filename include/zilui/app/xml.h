// SPDX-License-Identifier: MIT
#pragma once

#include <zil/string.h>
#include <zil/xml.h>

class wxXmlDocument;
class wxXmlNode;

namespace zilui {

// A zil::CXMLElement tree copied from a wxXmlNode: name, content (GetNodeContent()),
// attributes and element children in document order; text, comment and other children
// are left out. The copy does not refer to the node afterwards.
class CXMLElementFromWX : public zil::CXMLElement {
public:
    // Throws zil::CInvalidArgError for null.
    explicit CXMLElementFromWX(const wxXmlNode* node);
    // Replaces everything this element held.
    CXMLElementFromWX& operator=(const wxXmlNode* node);
};

// The loaders throw zil::CError "wxXMLDocument::Load failed" (code -1) for text that is not
// XML; wxWidgets' own log message about it is suppressed.
void loadXMLDocumentFromString(wxXmlDocument& doc, const zil::String& text);
// Throws zil::CInvalidArgError for a negative size or null data.
void loadXMLDocumentFromUTF8Data(wxXmlDocument& doc, const char* data, int size);
// For text whose wide characters each carry one byte of UTF-8 (as left by code that widened
// UTF-8 bytes one by one): the low bytes are decoded as UTF-8 first.
void loadXMLDocumentFromBuggyWCharedUTF8String(wxXmlDocument& doc, const zil::String& text);
// UTF-8 serialisation indented by 2; zil::CError "wxXMLDocument::Save failed" (code -1)
// when wxWidgets cannot save, e.g. a document without root.
zil::String saveXMLDocumentToString(const wxXmlDocument& doc);
// Whether the text parses as an XML document; never throws or logs for bad XML.
bool isValidXMLData(const zil::String& text);

// The first element child named exactly `name`; null when there is none or `node` is null.
wxXmlNode* findXMLChildElement(const wxXmlNode* node, const zil::String& name);
// The content of findXMLChildElement(node, name), `defaultValue` when there is none.
zil::String getXMLChildElementContent(const wxXmlNode* node, const zil::String& name,
                                      const zil::String& defaultValue = zil::String());

} // namespace zilui
