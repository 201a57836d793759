// SPDX-License-Identifier: MIT
#pragma once

#include <zil/path.h>
#include <zil/string.h>

#include <wx/intl.h>
#include <wx/translation.h>

namespace zilui {

// Translatable texts may start with a context and the marker "#||#" ("menu#||#Open"), so
// that one English word can have several translations. The lookup of such a text tries the
// whole text, then the part after the marker, and never shows the context to the user.
extern const wchar_t* const kContextMarker;

// wxWidgets' translations with the context rules above. wxTranslations has no virtual
// lookup, so the rules apply where the library looks texts up (translate(), and the zil
// translation service); wxGetTranslation() keeps wxWidgets' plain lookup, for which the
// catalogues themselves carry the rules.
class CTranslationsWithPrefixes : public wxTranslations {
public:
    const wxString* GetTranslatedString(const wxString& text, const wxString& domain = wxString(),
                                        const wxString& context = wxString()) const;
    const wxString* GetTranslatedString(const wxString& text, unsigned n, const wxString& domain = wxString(),
                                        const wxString& context = wxString()) const;

    // The context rules on any translations object.
    static const wxString& lookUp(const wxTranslations* translations, const wxString& text, unsigned n,
                                  const wxString& domain);
};

// A locale whose catalogues follow the context rules everywhere. wxTranslations' lookup is
// not virtual, so a translations object of our own could only serve the library's own calls;
// instead the locale keeps wxWidgets' own object, translate() applies the rules to it, and
// the catalogues carry the rules for wxGetTranslation(), _() and XRC texts (built by
// zilui-pocontext, see docs/resources.md). Going away, the locale hands wxWidgets'
// translations back to the locale that was active before, as wxWidgets' locales do.
class CLocaleWithPrefixes : public wxLocale {
public:
    // The global translations object, which Init() and AddCatalog() of the active locale load
    // their catalogues into.
    wxTranslations* getTranslations() const { return wxTranslations::Get(); }
};

// Translates a text of the library or the application for display, with the context rules.
// Without a locale the text comes back without its context.
zil::String translate(const zil::String& text, const zil::String& domain = zil::String());

// Why the compiled catalogue `file` cannot be read safely, or empty when it can. wxWidgets
// 3.2 follows a .mo file's table offsets unchecked, so a damaged file that still has the
// right magic number would crash it.
zil::String findCatalogueFault(const zil::Path& file);

// Makes translate() the base layer's translation service, so zil-side texts are translated too.
void installTranslationService();

} // namespace zilui

// Marks a text for extraction into the catalogue template and translates it.
#define ZILUI_TR(text) ::zilui::translate(::zil::String(text))
