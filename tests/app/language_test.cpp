// SPDX-License-Identifier: MIT
#include "app/apptestutil.h"
#include "support/guitest.h"

#include <zilui/app/appbase.h>
#include <zilui/app/language.h>
#include <zilui/app/strings.h>

#include <zil/process.h>

#include <gtest/gtest.h>

#include <wx/fileconf.h>
#include <wx/intl.h>
#include <wx/log.h>
#include <wx/stdpaths.h>
#include <wx/translation.h>

#include <algorithm>
#include <climits>
#include <csignal>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

using namespace zilui;
using zil::test::CTempFolder;
using zilui::test::readFile;

namespace {

const char* const kDomain = "zilui-langtest";
const zil::Path kMO(zil::String(std::string(kDomain) + ".mo"));

void writeFile(const zil::Path& file, const std::string& content)
{
    zil::ensureFolderExists(file.getParent());
    std::ofstream(file.toAPIPath(), std::ios::binary) << content;
}

// Little-endian, as msgfmt writes them here.
void putWord(std::string& data, size_t pos, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        data[pos + i] = static_cast<char>(value >> (8 * i));
}

// Runs `command` and expects it to succeed.
void run(const zil::CExecCommand& command)
{
    zil::P<zil::CProcess> process = zil::execAsync(command);
    const bool ended = process->wait(zilui::test::kChildHangMs);
    if (!ended)
        process->kill(SIGKILL);
    EXPECT_TRUE(ended && process->getExitCode() == 0) << "the child process hangs or fails";
}

const char* const kGermanPO = "msgid \"\"\nmsgstr \"\"\n\"Content-Type: text/plain; charset=UTF-8\\n\"\n\n"
                               "msgid \"menu#||#Open\"\nmsgstr \"Öffnen (Menü)\"\n\n"
                               "msgid \"Open\"\nmsgstr \"Öffnen\"\n\n"
                               "msgid \"Save\"\nmsgstr \"ctx#||#Speichern\"\n";

// Compiles kGermanPO into `mo` with msgfmt.
void compileCatalogue(const zil::Path& mo, const wchar_t* endianness = L"--endianness=little")
{
    const zil::Path po = mo.getParent() / zil::Path(L"source.po");
    writeFile(po, kGermanPO);
    run(zil::CExecCommand(L"msgfmt").setArguments({endianness, L"-o", mo.str(), po.str()}));
    ASSERT_TRUE(zil::fileExists(mo));
}

// The German catalogue in `lang`, laid out as wxWidgets looks for catalogues; returns its path.
zil::Path installGermanCatalogue(const CTempFolder& lang)
{
    const zil::Path mo = lang / zil::Path(L"de/LC_MESSAGES") / kMO;
    compileCatalogue(mo);
    return mo;
}

CAppBase& app() { return *CAppBase::get(); }

// A temporary language folder in place of the application's, for the length of a test.
struct Language : ::testing::Test {
    Language() { app().setLangPath(lang.path()); }
    ~Language() override { app().setLangPath(savedLangPath); }

    CTempFolder lang;
    const zil::Path savedLangPath = app().getLangPath();
};

} // namespace

TEST_F(Language, StartupLocaleIDIsReadFromAndFlushedToTheConfig)
{
    CTempFolder folder;
    const wxString file = toWX((folder / zil::Path(L"config.ini")).str());
    auto* config = new wxFileConfig(wxString(), wxString(), file, wxString(), wxCONFIG_USE_LOCAL_FILE);
    struct Restore {
        wxConfigBase* previous;
        ~Restore() { delete wxConfigBase::Set(previous); }
    } restore{wxConfigBase::Set(config)};

    EXPECT_EQ(app().getStartupLocaleID(), 0); // no entry at all
    // wxWidgets 3.2 reads "de_DE" as wxLANGUAGE_GERMAN_GERMANY, not as wxLANGUAGE_GERMAN.
    const struct {
        const char* stored;
        int expected;
    } cases[] = {{"", 0}, {"xx_NOWHERE", 0}, {"de-DE", wxLANGUAGE_GERMAN_GERMANY}, {"de", wxLANGUAGE_GERMAN}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stored);
        config->Write("startupLocaleID", wxString(c.stored));
        EXPECT_EQ(app().getStartupLocaleID(), c.expected);
    }

    // Written by canonical name and flushed, so the next run of the program sees the choice.
    const auto reread = [&] {
        return wxFileConfig(wxString(), wxString(), file, wxString(), wxCONFIG_USE_LOCAL_FILE)
            .Read("startupLocaleID", wxString("unset"));
    };
    app().setStartupLocaleID(wxLANGUAGE_PORTUGUESE_BRAZILIAN);
    EXPECT_EQ(reread(), "pt_BR");
    app().setStartupLocaleID(0);
    EXPECT_EQ(reread(), "");
}

// In a child: the application's domain list only grows.
TEST_F(Language, SupportedLanguagesFollowInstalledCatalogues)
{
    if (!zilui::test::inChildProcess())
        return;
    wxStandardPaths& paths = wxStandardPaths::Get();
    const wxString savedPrefix = paths.GetInstallPrefix();
    paths.SetInstallPrefix(toWX((lang / zil::Path(L"sys")).str())); // the system's catalogues below
    std::vector<int> ids;
    const auto contains = [&](int id) { return std::find(ids.begin(), ids.end(), id) != ids.end(); };

    // The domain list only grows, so the case without one comes first.
    app().getSupportedLanguages(ids);
    EXPECT_TRUE(contains(wxLANGUAGE_GERMAN_AUSTRIAN));
    app().addRequiredTranslationDomain(zil::String(kDomain));

    const struct {
        const wchar_t* folder; // where the case adds a catalogue, before it
        std::vector<int> offered;
        std::vector<int> notOffered;
    } cases[] = {
        {nullptr, {wxLANGUAGE_ENGLISH_US}, {wxLANGUAGE_GERMAN, wxLANGUAGE_FRENCH}},
        // de_DE is German's main variant, so it takes the catalogue of "de".
        {L"de/LC_MESSAGES",
         {wxLANGUAGE_GERMAN, wxLANGUAGE_GERMAN_GERMANY, wxLANGUAGE_ENGLISH_US},
         {wxLANGUAGE_GERMAN_AUSTRIAN, wxLANGUAGE_GERMAN_SWISS, wxLANGUAGE_FRENCH}},
        {L"de_AT/LC_MESSAGES", {wxLANGUAGE_GERMAN_AUSTRIAN}, {wxLANGUAGE_GERMAN_SWISS}},
        {L"pt_BR", {wxLANGUAGE_PORTUGUESE_BRAZILIAN}, {wxLANGUAGE_PORTUGUESE}}, // without LC_MESSAGES
        // The system's catalogue folder counts for its own language only.
        {L"sys/share/locale/fr/LC_MESSAGES", {wxLANGUAGE_FRENCH}, {wxLANGUAGE_ITALIAN}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.folder ? zil::String(c.folder).toUTF8() : "nothing");
        if (c.folder)
            writeFile(lang / zil::Path(c.folder) / kMO, "only its name matters here");
        app().getSupportedLanguages(ids);
        for (int id : c.offered)
            EXPECT_TRUE(contains(id)) << wxLocale::GetLanguageCanonicalName(id);
        for (int id : c.notOffered)
            EXPECT_FALSE(contains(id)) << wxLocale::GetLanguageCanonicalName(id);
    }
    paths.SetInstallPrefix(savedPrefix);
}

TEST_F(Language, LocalizedFileFallsBackToLanguageThenEnglish)
{
    const zil::Path rel(L"doc/readme.txt");

    // Neither en_US nor en exists yet: no endless retry through English.
    EXPECT_EQ(app().findLocalizedFileOrFolder(rel, L"en_US"), zil::Path());
    for (const wchar_t* code : {L"", L"en", L"pt", L"pt_BR"}) {
        SCOPED_TRACE(zil::String(code).toUTF8());
        if (*code)
            writeFile(lang / zil::Path(code) / rel, "text");
        EXPECT_EQ(app().findLocalizedFileOrFolder(rel, L"pt_BR"),
                  *code ? lang / zil::Path(code) / rel : zil::Path());
    }
    EXPECT_EQ(app().findLocalizedFileOrFolder(rel, L"fr"), lang / zil::Path(L"en") / rel);
}

// The locale installs its translations, which look texts up with the context rules.
// In a child: wxWidgets' catalogue lookup prefixes cannot be taken back.
TEST_F(Language, LocaleWithPrefixesAppliesTheContextRules)
{
    if (!zilui::test::inChildProcess())
        return;
    ASSERT_NO_FATAL_FAILURE(installGermanCatalogue(lang));
    wxFileTranslationsLoader::AddCatalogLookupPathPrefix(toWX(lang.path().str()));
    wxLogNull quiet; // Init may complain that the system lacks a German C locale
    const wxTranslations* seen = nullptr;
    {
        CLocaleWithPrefixes locale;
        locale.Init(wxLANGUAGE_GERMAN);
        seen = locale.getTranslations();
        ASSERT_NE(seen, nullptr);
        ASSERT_TRUE(locale.AddCatalog(kDomain));

        const struct {
            const char* text;
            const char* expected;
            const char* bare; // without a catalogue for the domain, or without translations
        } cases[] = {
            {"menu#||#Open", "Öffnen (Menü)", "Open"}, // the whole entry wins
            {"file#||#Open", "Öffnen", "Open"},        // else the text after the context
            {"x#||#Close", "Close", "Close"},          // no entry: the context never shows
            {"Save", "Speichern", "Save"},             // a translation's own context is dropped too
            {"#||#Open", "Öffnen", "Open"},
            {"", "", ""}, // not the catalogue's header entry
        };
        for (const auto& c : cases) {
            SCOPED_TRACE(c.text);
            const wxString text = wxString::FromUTF8(c.text), expected = wxString::FromUTF8(c.expected),
                           bare = wxString::FromUTF8(c.bare);
            EXPECT_EQ(CTranslationsWithPrefixes::lookUp(seen, text, UINT_MAX, kDomain), expected);
            EXPECT_EQ(translate(fromWX(text)), fromWX(expected));
            EXPECT_EQ(CTranslationsWithPrefixes::lookUp(seen, text, UINT_MAX, "no-such-domain"), bare);
            EXPECT_EQ(CTranslationsWithPrefixes::lookUp(nullptr, text, UINT_MAX, wxString()), bare);
        }
    }
    // A dangling global object would crash here, or translate with freed catalogues.
    EXPECT_NE(wxTranslations::Get(), seen);
    EXPECT_EQ(translate(L"file#||#Open"), L"Open");
}

TEST_F(Language, DamagedCataloguesAreRecognised)
{
    CTempFolder folder;
    const zil::Path valid = folder / zil::Path(L"valid.mo");
    const zil::Path bigEndian = folder / zil::Path(L"big.mo");
    ASSERT_NO_FATAL_FAILURE(compileCatalogue(valid));
    ASSERT_NO_FATAL_FAILURE(compileCatalogue(bigEndian, L"--endianness=big"));
    const std::string good = readFile(valid);
    ASSERT_GT(good.size(), 60u);
    const auto patched = [&](size_t pos, uint32_t value) {
        std::string data = good;
        putWord(data, pos, value);
        return data;
    };
    const size_t table = static_cast<unsigned char>(good[12]); // the offset is below 256

    const struct {
        const char* name;
        std::string content;
        bool faulty;
    } cases[] = {
        {"valid", good, false},
        {"big-endian", readFile(bigEndian), false},
        {"empty", "", true},
        {"no magic", "garbage" + good.substr(7), true},
        {"header only", good.substr(0, 28), true},
        {"truncated", good.substr(0, good.size() - 3), true},
        {"huge count", patched(8, 0xffffffffu), true},
        {"table beyond end", patched(16, 0xfffffff0u), true},
        {"text offset wraps", patched(table + 4, 0xfffffffcu), true},
        {"text too long", patched(table, 0x7fffffffu), true},
        {"hash beyond end", patched(20, 1000000u), true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const zil::String fault = findCatalogueFault(folder.writeFile(zil::String(c.name), c.content));
        EXPECT_EQ(!fault.isEmpty(), c.faulty) << fault.toUTF8();
    }
    EXPECT_FALSE(findCatalogueFault(folder / zil::Path(L"missing.mo")).isEmpty());
}

TEST_F(Language, ApplicationLocaleGivesISOLanguageIDAndSurvivesDamagedCatalogues)
{
    EXPECT_EQ(app().getLocaleISOLangID(), L""); // no locale in the test program

    // The application's own locale is set up only in a whole application.
    CTempFolder home;
    const zil::Path mo = installGermanCatalogue(lang);
    const zil::Path reportFile = home / zil::Path(L"report.txt");
    const auto runScenario = [&] {
        zil::CExecCommand command{zil::String(ZILUI_TESTAPP_PATH)};
        command.setEnvironment({{L"ZILUI_TESTAPP_SCENARIO", L"locale"},
                                {L"ZILUI_TESTAPP_REPORT", reportFile.str()},
                                {L"ZILUI_TESTAPP_ARG", lang.path().str()},
                                {L"HOME", home.path().str()}});
        run(command);
        return readFile(reportFile);
    };
    std::string report = runScenario();
    EXPECT_NE(report.find("\nisoLangID=de-de\n"), std::string::npos) << report;
    EXPECT_NE(report.find("\nOpen=Öffnen\n"), std::string::npos) << report;

    // Right magic number, string table far outside the file: wxWidgets alone would crash.
    std::string damaged = readFile(mo);
    putWord(damaged, 12, 0x7ffffff0u);
    writeFile(mo, damaged);
    report = runScenario();
    EXPECT_NE(report.find("\nOpen=Open\n"), std::string::npos) << report;
}
