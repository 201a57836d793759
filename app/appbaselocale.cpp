// SPDX-License-Identifier: MIT
// CAppBase's locale: the startup language, the catalogues it loads and the language dialog.
#include "zilui/app/appbase.h"

#include "zilui/app/datafolder.h"
#include "zilui/app/language.h"
#include "zilui/app/logging.h"
#include "zilui/app/strings.h"

#include <wx/choicdlg.h>
#include <wx/config.h>
#include <wx/log.h>
#include <wx/stdpaths.h>

#include <clocale>
#include <set>

namespace zilui {

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
