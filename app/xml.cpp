// SPDX-License-Identifier: MIT
#include "zilui/app/xml.h"

#include "zilui/app/strings.h"

#include <wx/log.h>
#include <wx/mstream.h>
#include <wx/strconv.h>
#include <wx/xml/xml.h>

#include <cstring>
#include <regex>
#include <string>

namespace zilui {

CXMLElementFromWX::CXMLElementFromWX(const wxXmlNode* node)
{
    *this = node;
}

CXMLElementFromWX& CXMLElementFromWX::operator=(const wxXmlNode* node)
{
    if (!node)
        throw zil::CInvalidArgError(L"No XML node to copy", L"CXMLElementFromWX");
    getProps().clear();
    clearChildren();
    setName(fromWX(node->GetName()));
    setContent(fromWX(node->GetNodeContent()));
    for (const wxXmlAttribute* attribute = node->GetAttributes(); attribute; attribute = attribute->GetNext())
        getProps().add(fromWX(attribute->GetName()), fromWX(attribute->GetValue()));
    for (const wxXmlNode* child = node->GetChildren(); child; child = child->GetNext())
        if (child->GetType() == wxXML_ELEMENT_NODE)
            addChild(zil::P<zil::CXMLElement>(new CXMLElementFromWX(child)));
    return *this;
}

namespace {

// The parser follows the encoding the XML declaration names, whatever wxWidgets is told; text
// that is UTF-8 already must not be decoded again (and would then be saved as UTF-8 under the
// old name). The declaration loses its encoding, so UTF-8 applies; bytes that are no UTF-8
// (a UTF-16 byte order mark, a NUL, which XML forbids anyway) are refused.
bool asUTF8(const char* data, size_t size, std::string& bytes)
{
    if (size == 0 || std::memchr(data, '\0', size) ||
        wxMBConvUTF8(wxMBConvUTF8::MAP_INVALID_UTF8_NOT).ToWChar(nullptr, 0, data, size) == wxCONV_FAILED)
        return false;
    bytes.assign(data, size);
    const size_t start = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    const size_t end = bytes.find("?>", start);
    if (bytes.compare(start, 5, "<?xml") != 0 || end == std::string::npos)
        return true;
    static const std::regex encoding(R"([ \t\r\n]+encoding[ \t\r\n]*=[ \t\r\n]*("[^"]*"|'[^']*'))");
    const std::string declaration = bytes.substr(start, end - start);
    bytes.replace(start, end - start, std::regex_replace(declaration, encoding, ""));
    return true;
}

// wxWidgets logs parse errors, which a GUI application would show in a message box on top
// of the error thrown here.
bool loadQuietly(wxXmlDocument& doc, const char* data, size_t size)
{
    std::string bytes;
    if (!asUTF8(data, size, bytes))
        return false;
    wxLogNull noLog;
    wxMemoryInputStream in(bytes.data(), bytes.size());
    return doc.Load(in, wxS("UTF-8"));
}

void loadOrThrow(wxXmlDocument& doc, const char* data, size_t size)
{
    if (!loadQuietly(doc, data, size))
        throw zil::CError(L"wxXMLDocument::Load failed", zil::String(), -1);
}

} // namespace

void loadXMLDocumentFromString(wxXmlDocument& doc, const zil::String& text)
{
    const std::string utf8 = text.toUTF8();
    loadOrThrow(doc, utf8.data(), utf8.size());
}

void loadXMLDocumentFromUTF8Data(wxXmlDocument& doc, const char* data, int size)
{
    if (size < 0 || (!data && size > 0))
        throw zil::CInvalidArgError(L"Bad XML data: " + zil::toString(int64_t(size)) +
                                        (data ? L" bytes" : L" bytes at null"),
                                    L"loadXMLDocumentFromUTF8Data");
    loadOrThrow(doc, data ? data : "", size_t(size));
}

void loadXMLDocumentFromBuggyWCharedUTF8String(wxXmlDocument& doc, const zil::String& text)
{
    std::string bytes(text.size(), '\0');
    for (size_t i = 0; i < text.size(); ++i)
        bytes[i] = char(static_cast<unsigned char>(text[i] & 0xFF));
    loadXMLDocumentFromString(doc, zil::String::fromUTF8(bytes));
}

zil::String saveXMLDocumentToString(const wxXmlDocument& doc)
{
    wxMemoryOutputStream out;
    bool saved;
    {
        wxLogNull noLog;
        saved = doc.IsOk() && doc.Save(out, 2);
    }
    if (!saved)
        throw zil::CError(L"wxXMLDocument::Save failed", zil::String(), -1);
    std::string bytes(size_t(out.GetSize()), '\0');
    if (!bytes.empty())
        out.CopyTo(&bytes[0], bytes.size());
    return zil::String::fromUTF8(bytes);
}

bool isValidXMLData(const zil::String& text)
{
    const std::string utf8 = text.toUTF8();
    if (utf8.empty())
        return false;
    wxXmlDocument doc;
    return loadQuietly(doc, utf8.data(), utf8.size());
}

wxXmlNode* findXMLChildElement(const wxXmlNode* node, const zil::String& name)
{
    if (!node)
        return nullptr;
    const wxString wxName = toWX(name);
    for (wxXmlNode* child = node->GetChildren(); child; child = child->GetNext())
        if (child->GetType() == wxXML_ELEMENT_NODE && child->GetName() == wxName)
            return child;
    return nullptr;
}

zil::String getXMLChildElementContent(const wxXmlNode* node, const zil::String& name,
                                      const zil::String& defaultValue)
{
    const wxXmlNode* child = findXMLChildElement(node, name);
    return child ? fromWX(child->GetNodeContent()) : defaultValue;
}

} // namespace zilui
