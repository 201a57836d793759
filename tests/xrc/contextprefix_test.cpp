// SPDX-License-Identifier: MIT
#include "app/apptestutil.h"
#include "xrc/xrctestutil.h"

#include <zilui/app/language.h>

#include <zil/process.h>

#include <wx/intl.h>
#include <wx/stattext.h>

namespace zilui::test {
namespace {

const char* const kDomain = "zilui-prefixtest";

void run(zil::CExecCommand command)
{
    zil::P<zil::CProcess> process = zil::execAsync(command);
    const bool ended = process->wait(60000);
    if (!ended)
        process->kill(SIGKILL);
    ASSERT_TRUE(ended && process->getExitCode() == 0) << "the child process hangs or fails";
}

// Builds the catalogues of `language` ("-": the source language) as the build does.
void buildCatalogue(const zil::test::CTempFolder& folder, const char* language, const zil::Path& po)
{
    const zil::String code = zil::String::fromUTF8(*language == '-' ? "en" : language);
    const zil::Path target = folder / zil::Path(L"lang/" + code + L"/LC_MESSAGES");
    zil::ensureFolderExists(target);
    const zil::Path ruled = folder / zil::Path(L"ruled-" + code + L".po");
    ASSERT_NO_FATAL_FAILURE(run(zil::CExecCommand(zil::String::fromUTF8(ZILUI_POCONTEXT_PATH))
                                    .addArgument((folder / zil::Path(L"domain.pot")).str())
                                    .addArgument(*language == '-' ? zil::String(L"-") : po.str())
                                    .addArgument(ruled.str())));
    ASSERT_NO_FATAL_FAILURE(run(zil::CExecCommand(L"msgfmt")
                                    .addArgument(L"-o")
                                    .addArgument((target / zil::Path(zil::String::fromUTF8(kDomain) + L".mo")).str())
                                    .addArgument(ruled.str())));
}

using ContextPrefix = CXrcFixture;

// wxWidgets' own lookup (XRC labels, wxGetTranslation, _()) knows nothing of contexts; the
// catalogues built with zilui-pocontext carry them, in the source language too.
TEST_F(ContextPrefix, XrcLabelsAndWxLookupShowTheTextWithoutItsContext)
{
    folder.writeFile(zil::Path(L"domain.pot"), "msgid \"\"\nmsgstr \"\"\n\"Content-Type: text/plain; charset=UTF-8\\n\"\n\n"
                                               "msgid \"file#||#Open\"\nmsgstr \"\"\n\n"
                                               "msgid \"menu#||#Close\"\nmsgstr \"\"\n\n"
                                               "msgid \"tab#||#Save\"\nmsgstr \"\"\n");
    const zil::Path po = folder.writeFile(
        zil::Path(L"de.po"), "msgid \"\"\nmsgstr \"\"\n\"Content-Type: text/plain; charset=UTF-8\\n\"\n\n"
                             "msgid \"Open\"\nmsgstr \"Öffnen\"\n\n"
                             "msgid \"tab#||#Save\"\nmsgstr \"ctx#||#Sichern\"\n");
    ASSERT_NO_FATAL_FAILURE(buildCatalogue(folder, "de", po));
    ASSERT_NO_FATAL_FAILURE(buildCatalogue(folder, "-", po));
    wxFileTranslationsLoader::AddCatalogLookupPathPrefix(toWX((folder / zil::Path(L"lang")).str()));
    const std::string xrc = panelXrc(R"(<object class="wxStaticText" name="open"><label>file#||#Open</label></object>
        <object class="wxCheckBox" name="close"><label>menu#||#Close</label></object>)");

    wxLogNull quiet; // the system may lack a German C locale
    const struct {
        wxLanguage language;
        const char* open;
        const char* close; // no translation anywhere: the text after the context
        const char* save;  // a translation's own context goes too
    } cases[] = {{wxLANGUAGE_GERMAN, "Öffnen", "Close", "Sichern"}, {wxLANGUAGE_ENGLISH_US, "Open", "Close", "Save"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.open);
        CLocaleWithPrefixes locale;
        locale.Init(c.language, 0);
        ASSERT_TRUE(locale.AddCatalog(kDomain));
        load(xrc);
        ASSERT_TRUE(find<wxStaticText>("open") && find<wxWindow>("close"));
        EXPECT_EQ(find<wxStaticText>("open")->GetLabel().utf8_string(), c.open);
        EXPECT_EQ(find<wxWindow>("close")->GetLabel().utf8_string(), c.close);
        EXPECT_EQ(wxGetTranslation("tab#||#Save").utf8_string(), c.save);
        EXPECT_EQ(_("file#||#Open").utf8_string(), c.open);
        panel->Destroy();
        panel = nullptr;
    }
}

// A locale that goes hands wxWidgets' translations back to the one active before it.
TEST(ContextPrefixLocale, GoingAwayRestoresTheEarlierTranslations)
{
    wxLogNull quiet;
    wxLocale outer;
    outer.Init(wxLANGUAGE_ENGLISH_US, 0);
    wxTranslations* before = wxTranslations::Get();
    ASSERT_NE(before, nullptr);
    {
        CLocaleWithPrefixes inner;
        inner.Init(wxLANGUAGE_GERMAN, 0);
        EXPECT_EQ(wxTranslations::Get(), inner.getTranslations());
    }
    EXPECT_EQ(wxTranslations::Get(), before);
}

} // namespace
} // namespace zilui::test
