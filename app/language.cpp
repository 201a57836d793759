// SPDX-License-Identifier: MIT
#include "zilui/app/language.h"

#include "zilui/app/appbase.h"
#include "zilui/app/datafolder.h"
#include "zilui/app/logging.h"
#include "zilui/app/strings.h"

#include <zil/translation.h>

#include <wx/choicdlg.h>
#include <wx/config.h>
#include <wx/log.h>
#include <wx/stdpaths.h>

#include <climits>
#include <clocale>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <set>

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

// ---------------------------------------------------------------------------------------------
// CAppBase: languages

namespace {

const wxString kStartupLocaleKey("startupLocaleID");

} // namespace

int CAppBase::getStartupLocaleID()
{
    wxConfigBase* config = wxConfigBase::Get(true);
    wxString name;
    if (!config || !config->Read(kStartupLocaleKey, &name) || name.empty())
        return 0;
    name.Replace("-", "_");
    const wxLanguageInfo* info = wxLocale::FindLanguageInfo(name);
    return info ? info->Language : 0;
}

void CAppBase::setStartupLocaleID(int languageID)
{
    const wxLanguageInfo* info = languageID != 0 ? wxLocale::GetLanguageInfo(languageID) : nullptr;
    wxConfigBase* config = wxConfigBase::Get(true);
    if (!config)
        return;
    config->Write(kStartupLocaleKey, info ? info->CanonicalName : wxString());
    config->Flush();
}

void CAppBase::addRequiredTranslationDomain(const zil::String& domain)
{
    m_requiredTranslationDomains.push_back(domain);
}

void CAppBase::addOptionalTranslationDomain(const zil::String& domain)
{
    m_optionalTranslationDomains.push_back(domain);
}

bool CAppBase::haveTranslation(const zil::String& languageCode, const zil::String& domain,
                               const std::vector<zil::String>* searchFolders)
{
    std::set<zil::String> folders;
    if (searchFolders) {
        for (const auto& folder : *searchFolders) {
            const zil::Path base = zil::Path(folder) / zil::Path(languageCode);
            folders.insert(base.str());
            folders.insert((base / zil::Path(L"LC_MESSAGES")).str());
        }
    }
    folders.insert(fromWX(wxStandardPaths::Get().GetLocalizedResourcesDir(toWX(languageCode),
                                                                          wxStandardPaths::ResourceCat_Messages)));
    const zil::Path fileName(domain + L".mo");
    for (const auto& folder : folders) {
        if (zil::fileExists(zil::Path(folder) / fileName))
            return true;
    }
    return false;
}

void CAppBase::getSupportedLanguages(std::vector<int>& languages)
{
    std::vector<zil::String> folders{m_langPath.str()};
    const zil::Path library = getLibraryDataPath();
    if (!library.isEmpty())
        folders.push_back((library / zil::Path(L"lang")).str());
    std::set<int> passing;
    std::set<zil::String> seen;
    for (int id = wxLANGUAGE_DEFAULT; id < wxLANGUAGE_USER_DEFINED; ++id) {
        const wxLanguageInfo* info = wxLocale::GetLanguageInfo(id);
        if (!info || id == wxLANGUAGE_DEFAULT || id == wxLANGUAGE_UNKNOWN)
            continue;
        const zil::String name = fromWX(info->CanonicalName);
        if (name.isEmpty() || !seen.insert(name).second)
            continue;
        // The language part may have three letters ("ast_ES"); a name without a region
        // ("ar") has nothing to fall back to.
        const size_t separator = name.find(L'_');
        const zil::String language = name.Left(separator);
        const zil::String region = separator == zil::String::npos ? zil::String() : name.Mid(separator + 1);
        const bool mainVariant = language.CmpNoCase(region) == 0 || name == L"ja_JP" || name == L"en_US";
        bool passes = true;
        for (const auto& domain : m_requiredTranslationDomains) {
            if (!haveTranslation(name, domain, &folders) &&
                !(mainVariant && haveTranslation(language, domain, &folders))) {
                passes = false;
                break;
            }
        }
        if (passes)
            passing.insert(info->Language);
    }
    // The texts' own language needs no catalogue.
    passing.insert(wxLANGUAGE_ENGLISH_US);
    languages.assign(passing.begin(), passing.end());
}

bool CAppBase::doLanguageDialog(wxWindow* parent)
{
    std::vector<int> ids;
    getSupportedLanguages(ids);
    const int current = getStartupLocaleID();
    wxArrayString choices;
    int selection = -1;
    for (size_t i = 0; i < ids.size(); ++i) {
        const wxLanguageInfo* info = wxLocale::GetLanguageInfo(ids[i]);
        choices.Add(info ? info->Description : wxString());
        if (ids[i] == current)
            selection = static_cast<int>(i);
    }
    wxSingleChoiceDialog dialog(parent, toWX(ZILUI_TR("Please select the language that you would like to use.")),
                                toWX(ZILUI_TR("Select language")), choices, nullptr, wxCHOICEDLG_STYLE);
    if (selection >= 0)
        dialog.SetSelection(selection);
    if (dialog.ShowModal() != wxID_OK)
        return false;
    const int chosen = dialog.GetSelection();
    if (chosen < 0 || chosen >= static_cast<int>(ids.size()))
        return false;
    changeLocale(parent, ids[static_cast<size_t>(chosen)]);
    return true;
}

void CAppBase::changeLocale(wxWindow* parent, int languageID)
{
    setStartupLocaleID(languageID);
    messageBox(ZILUI_TR("The new language setting will become active the next time the program is started."),
               ZILUI_TR("Language changed"), wxOK | wxICON_INFORMATION, parent, -1, -1);
}

zil::String CAppBase::getLocaleISOLangID()
{
    if (!m_locale)
        return zil::String();
    zil::String name = fromWX(m_locale->GetCanonicalName()).Lower();
    name.Replace(L"_", L"-");
    return name;
}

zil::Path CAppBase::findLocalizedFileOrFolder(const zil::Path& relative, zil::String languageCode)
{
    if (languageCode.isEmpty() && m_locale)
        languageCode = fromWX(m_locale->GetCanonicalName());
    if (languageCode.isEmpty())
        languageCode = L"en";
    zil::Path candidate = m_langPath / zil::Path(languageCode) / relative;
    if (zil::pathExists(candidate))
        return candidate;
    if (languageCode.size() > 2) {
        languageCode = languageCode.Left(2);
        candidate = m_langPath / zil::Path(languageCode) / relative;
        if (zil::pathExists(candidate))
            return candidate;
    }
    if (languageCode != L"en")
        return findLocalizedFileOrFolder(relative, L"en");
    return zil::Path();
}

wxLocale* CAppBase::createAndInitLocaleObject(int languageID)
{
    auto* locale = new CLocaleWithPrefixes();
    // Init fails when the system has no C locale for the language; the catalogues still
    // load, which is what the interface needs.
    locale->Init(languageID, wxLOCALE_LOAD_DEFAULT);
    return locale;
}

void CAppBase::initLocale(int languageID)
{
    if (languageID == -1)
        languageID = getStartupLocaleID();
    delete m_locale;
    m_locale = nullptr;
    m_locale = createAndInitLocaleObject(languageID);
    // The program's folder first, then the library's own catalogues (installed ones too).
    std::vector<zil::Path> langPaths{m_langPath.makeAbsolute().normalize()};
    const zil::Path library = getLibraryDataPath();
    if (!library.isEmpty() && (library / zil::Path(L"lang")) != langPaths.front())
        langPaths.push_back(library / zil::Path(L"lang"));
    for (const zil::Path& langPath : langPaths)
        wxFileTranslationsLoader::AddCatalogLookupPathPrefix(toWX(langPath.str()));
    // The files wxWidgets would read from our folders, checked first so that a damaged one
    // costs its translations only.
    const zil::String canonical = fromWX(m_locale->GetCanonicalName());
    const auto addCatalog = [&](const zil::String& domain) {
        for (const zil::Path& langPath : langPaths) {
            for (const zil::String& code : {canonical, canonical.Left(canonical.find(L'_'))}) {
                for (const zil::Path& folder :
                     {langPath / zil::Path(code) / zil::Path(L"LC_MESSAGES"), langPath / zil::Path(code)}) {
                    const zil::Path file = folder / zil::Path(domain + L".mo");
                    if (code.isEmpty() || !zil::fileExists(file))
                        continue;
                    const zil::String fault = findCatalogueFault(file);
                    if (!fault.isEmpty()) {
                        wxLogWarning("Cannot load translation catalogue '%s': %s", toWX(file.str()), toWX(fault));
                        return;
                    }
                }
            }
        }
        m_locale->AddCatalog(toWX(domain));
    };
    for (const auto& domain : m_requiredTranslationDomains)
        addCatalog(domain);
    for (const auto& domain : m_optionalTranslationDomains)
        addCatalog(domain);
    std::setlocale(LC_ALL, "");
    installTranslationService();
}

} // namespace zilui
