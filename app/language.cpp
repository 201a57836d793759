// SPDX-License-Identifier: MIT
#include "zilui/app/language.h"

#include "zilui/app/strings.h"

#include <zil/translation.h>

#include <wx/intl.h>

#include <climits>
#include <cstdint>
#include <fstream>
#include <iterator>

namespace zilui {

const wchar_t* const kContextMarker = L"#||#";

namespace {

const wxString kMarker(kContextMarker);

wxString afterMarker(const wxString& text)
{
    const size_t pos = text.find(kMarker);
    return pos == wxString::npos ? text : text.substr(pos + kMarker.length());
}

class CWXTranslationService : public zil::CBase, public zil::ITranslationService {
public:
    zil::String translate(const zil::String& text) override { return zilui::translate(text); }
};

} // namespace

// ---------------------------------------------------------------------------------------------
// Context prefixes

const wxString& CTranslationsWithPrefixes::lookUp(const wxTranslations* translations, const wxString& text,
                                                  unsigned n, const wxString& domain)
{
    const wxString* found = translations ? translations->wxTranslations::GetTranslatedString(text, n, domain) : nullptr;
    const bool hasMarker = text.find(kMarker) != wxString::npos;
    if (!found && hasMarker && translations)
        found = translations->wxTranslations::GetTranslatedString(afterMarker(text), n, domain);
    if (!found)
        return wxTranslations::GetUntranslatedString(afterMarker(text));
    if (found->find(kMarker) != wxString::npos)
        return wxTranslations::GetUntranslatedString(afterMarker(*found));
    return *found;
}

const wxString* CTranslationsWithPrefixes::GetTranslatedString(const wxString& text, const wxString& domain,
                                                               const wxString& context) const
{
    return GetTranslatedString(text, UINT_MAX, domain, context);
}

const wxString* CTranslationsWithPrefixes::GetTranslatedString(const wxString& text, unsigned n,
                                                               const wxString& domain, const wxString&) const
{
    return &lookUp(this, text, n, domain);
}

zil::String translate(const zil::String& text, const zil::String& domain)
{
    return fromWX(CTranslationsWithPrefixes::lookUp(wxTranslations::Get(), toWX(text), UINT_MAX, toWX(domain)));
}

zil::String findCatalogueFault(const zil::Path& file)
{
    std::ifstream in(file.toAPIPath(), std::ios::binary);
    if (!in)
        return L"cannot open the file";
    const std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const size_t kHeaderSize = 28; // magic, revision, count, two table offsets, hash size and offset
    if (data.size() < kHeaderSize)
        return L"shorter than a catalogue header";
    const auto byteAt = [&](size_t pos) {
        return static_cast<uint32_t>(static_cast<unsigned char>(data[pos]));
    };
    const bool littleEndian =
        byteAt(0) == 0xde && byteAt(1) == 0x12 && byteAt(2) == 0x04 && byteAt(3) == 0x95;
    const bool bigEndian = byteAt(0) == 0x95 && byteAt(1) == 0x04 && byteAt(2) == 0x12 && byteAt(3) == 0xde;
    if (!littleEndian && !bigEndian)
        return L"not a compiled catalogue (wrong magic number)";
    const auto wordAt = [&](size_t pos) {
        return littleEndian
                   ? byteAt(pos) | byteAt(pos + 1) << 8 | byteAt(pos + 2) << 16 | byteAt(pos + 3) << 24
                   : byteAt(pos + 3) | byteAt(pos + 2) << 8 | byteAt(pos + 1) << 16 | byteAt(pos) << 24;
    };
    // 64-bit sums, so that no 32-bit field can wrap around the checks.
    const uint64_t size = data.size();
    const uint64_t count = wordAt(8);
    const uint64_t hashSize = wordAt(20);
    if (hashSize != 0 && wordAt(24) + hashSize * 4 > size)
        return L"its hash table lies outside the file";
    for (const size_t tableField : {size_t(12), size_t(16)}) {
        const uint64_t table = wordAt(tableField);
        if (table + count * 8 > size)
            return L"its string table lies outside the file";
        for (uint64_t i = 0; i < count; ++i) {
            const uint64_t length = wordAt(static_cast<size_t>(table + i * 8));
            const uint64_t offset = wordAt(static_cast<size_t>(table + i * 8 + 4));
            // Each text is followed by a NUL that readers rely on.
            if (offset + length >= size || data[static_cast<size_t>(offset + length)] != '\0')
                return L"a text lies outside the file";
        }
    }
    return zil::String();
}

void installTranslationService()
{
    zil::P<CWXTranslationService> service(new CWXTranslationService());
    zil::ITranslationService::setGlobal(service.get());
}

} // namespace zilui
