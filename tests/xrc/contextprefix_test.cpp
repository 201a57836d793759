// SPDX-License-Identifier: MIT
#include "app/apptestutil.h"
#include "xrc/xrctestutil.h"

#include <zilui/app/language.h>

#include <wx/intl.h>
#include <wx/stattext.h>

#include <cstdlib>
#include <memory>

namespace zilui::test {
namespace {

// Builds the catalogue of `code` from `po` ("-": the source language's) as the build does.
void buildCatalogue(const zil::test::CTempFolder& folder, const std::string& code, const std::string& po)
{
    const std::string root = folder.path().str().toUTF8(), target = root + "/lang/" + code + "/LC_MESSAGES";
    zil::ensureFolderExists(zil::Path(zil::String::fromUTF8(target)));
    const std::string ruled = root + "/ruled-" + code + ".po";
    ASSERT_EQ(std::system((ZILUI_POCONTEXT_PATH " " + root + "/domain.pot " + po + " " + ruled).c_str()), 0);
    ASSERT_EQ(std::system(("msgfmt -o " + target + "/zilui-prefixtest.mo " + ruled).c_str()), 0);
}

using ContextPrefix = CXrcFixture;

// wxWidgets' own lookup (XRC labels, wxGetTranslation, _()) knows nothing of contexts; the
// catalogues built with zilui-pocontext carry them, in the source language too. A locale that
// goes hands wxWidgets' translations back to the one active before it.
// In a child: wxWidgets' catalogue lookup prefixes cannot be taken back.
TEST_F(ContextPrefix, XrcLabelsAndWxLookupShowTheTextWithoutItsContext)
{
    if (!inChildProcess())
        return;
    folder.writeFile(zil::Path(L"domain.pot"), "msgid \"\"\nmsgstr \"\"\n\"Content-Type: text/plain; charset=UTF-8\\n\"\n\n"
                                               "msgid \"file#||#Open\"\nmsgstr \"\"\n\n"
                                               "msgid \"menu#||#Close\"\nmsgstr \"\"\n\n"
                                               "msgid \"tab#||#Save\"\nmsgstr \"\"\n");
    const zil::Path po = folder.writeFile(
        zil::Path(L"de.po"), "msgid \"\"\nmsgstr \"\"\n\"Content-Type: text/plain; charset=UTF-8\\n\"\n\n"
                             "msgid \"Open\"\nmsgstr \"Öffnen\"\n\n"
                             "msgid \"tab#||#Save\"\nmsgstr \"ctx#||#Sichern\"\n");
    ASSERT_NO_FATAL_FAILURE(buildCatalogue(folder, "de", po.str().toUTF8()));
    ASSERT_NO_FATAL_FAILURE(buildCatalogue(folder, "en", "-"));
    wxFileTranslationsLoader::AddCatalogLookupPathPrefix(toWX((folder / zil::Path(L"lang")).str()));
    const std::string xrc = panelXrc(R"(<object class="wxStaticText" name="open"><label>file#||#Open</label></object>
        <object class="wxCheckBox" name="close"><label>menu#||#Close</label></object>)");

    wxLogNull quiet; // the system may lack a German C locale
    wxLocale outer;
    outer.Init(wxLANGUAGE_ENGLISH_US, 0);
    const wxTranslations* before = wxTranslations::Get();
    ASSERT_NE(before, nullptr);
    // "Close" has no translation anywhere; "Save" has one with a context of its own.
    const struct { wxLanguage language; const char *open, *close, *save; } cases[] = {{wxLANGUAGE_GERMAN, "Öffnen", "Close", "Sichern"}, {wxLANGUAGE_ENGLISH_US, "Open", "Close", "Save"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.open);
        auto locale = std::make_unique<CLocaleWithPrefixes>();
        locale->Init(c.language, 0);
        ASSERT_TRUE(locale->AddCatalog("zilui-prefixtest"));
        load(xrc);
        ASSERT_TRUE(find<wxStaticText>("open") && find<wxWindow>("close"));
        EXPECT_EQ(find<wxStaticText>("open")->GetLabel().utf8_string() + find<wxWindow>("close")->GetLabel().utf8_string(),
                  std::string(c.open) + c.close);
        EXPECT_EQ(wxGetTranslation("tab#||#Save").utf8_string(), c.save);
        EXPECT_EQ(_("file#||#Open").utf8_string(), c.open);
        destroyPanel();
        panel = nullptr;
        locale.reset();
        EXPECT_EQ(wxTranslations::Get(), before);
    }
}

} // namespace
} // namespace zilui::test
