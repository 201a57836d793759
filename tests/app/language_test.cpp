// SPDX-License-Identifier: MIT
#include <zilui/app/appbase.h>
#include <zilui/app/language.h>
#include <zilui/app/strings.h>

#include <zil/process.h>

#include <gtest/gtest.h>

#include <wx/config.h>
#include <wx/fileconf.h>
#include <wx/intl.h>
#include <wx/log.h>
#include <wx/stdpaths.h>
#include <wx/translation.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

using namespace zilui;
namespace fs = std::filesystem;

namespace {

const char* const kDomain = "zilui-langtest";

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempFolder {
public:
    TempFolder()
    {
        std::string pattern = (fs::temp_directory_path() / "zilui-lang-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            throw std::runtime_error("mkdtemp failed");
        m_path = pattern;
    }
    ~TempFolder()
    {
        std::error_code ignored;
        fs::remove_all(m_path, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const fs::path& path() const { return m_path; }
    zil::Path zilPath() const { return zil::Path(zil::String(m_path.string())); }

private:
    fs::path m_path;
};

void writeFile(const fs::path& file, const std::string& content)
{
    fs::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary);
    out << content;
}

std::string readFile(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Little-endian words, as msgfmt writes them here.
uint32_t getWord(const std::string& data, size_t pos)
{
    uint32_t value = 0;
    for (int i = 3; i >= 0; --i)
        value = value << 8 | static_cast<unsigned char>(data[pos + i]);
    return value;
}

void putWord(std::string& data, size_t pos, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        data[pos + i] = static_cast<char>(value >> (8 * i));
}

const char* const kGermanPO = R"po(msgid ""
msgstr ""
"Content-Type: text/plain; charset=UTF-8\n"
"Plural-Forms: nplurals=2; plural=(n != 1);\n"

msgid "menu#||#Open"
msgstr "Öffnen (Menü)"

msgid "Open"
msgstr "Öffnen"

msgid "Save"
msgstr "ctx#||#Speichern"
)po";

// Compiles kGermanPO into `moFile` with msgfmt.
void compileCatalogue(const fs::path& moFile, const wchar_t* endianness = L"--endianness=little")
{
    fs::create_directories(moFile.parent_path());
    const fs::path po = moFile.parent_path() / "source.po";
    writeFile(po, kGermanPO);
    zil::CExecCommand command(L"msgfmt");
    command.addArgument(endianness)
        .addArgument(L"-o")
        .addArgument(zil::String(moFile.string()))
        .addArgument(zil::String(po.string()));
    zil::P<zil::CProcess> process = zil::execAsync(command);
    ASSERT_TRUE(process->wait(60000)) << "msgfmt hangs";
    ASSERT_EQ(process->getExitCode(), 0);
    fs::remove(po);
    ASSERT_TRUE(fs::exists(moFile));
}

// Collects what reaches the active log target while it lives.
class CollectingLog : public wxLog {
public:
    CollectingLog() : m_previous(wxLog::SetActiveTarget(this)) {}
    ~CollectingLog() override { wxLog::SetActiveTarget(m_previous); }
    CollectingLog(const CollectingLog&) = delete;
    CollectingLog& operator=(const CollectingLog&) = delete;

    struct Record {
        wxLogLevel level;
        wxString text;
    };
    std::vector<Record> records;

protected:
    void DoLogRecord(wxLogLevel level, const wxString& msg, const wxLogRecordInfo&) override
    {
        records.push_back({level, msg});
    }

private:
    wxLog* m_previous;
};

// Every test leaves wxWidgets without a translations object, as the test program starts.
class Language : public testing::Test {
protected:
    void TearDown() override { wxTranslations::Set(nullptr); }

    static CAppBase& app()
    {
        CAppBase* app = CAppBase::get();
        if (!app)
            throw std::runtime_error("the test application is not a CAppBase");
        return *app;
    }
};

// Points the application's language folder at a test folder while it lives.
class LangPathOverride {
public:
    explicit LangPathOverride(const zil::Path& path) : m_saved(CAppBase::get()->getLangPath())
    {
        CAppBase::get()->setLangPath(path);
    }
    ~LangPathOverride() { CAppBase::get()->setLangPath(m_saved); }
    LangPathOverride(const LangPathOverride&) = delete;
    LangPathOverride& operator=(const LangPathOverride&) = delete;

private:
    zil::Path m_saved;
};

bool contains(const std::vector<int>& ids, int id)
{
    return std::find(ids.begin(), ids.end(), id) != ids.end();
}

} // namespace

TEST_F(Language, StartupLocaleIDComesFromTheGlobalConfig)
{
    TempFolder folder;
    const wxString file = wxString::FromUTF8((folder.path() / "config.ini").string());
    auto* config = new wxFileConfig(wxString(), wxString(), file, wxString(), wxCONFIG_USE_LOCAL_FILE);
    wxConfigBase* previous = wxConfigBase::Set(config);
    struct Restore {
        wxConfigBase* previous;
        ~Restore() { delete wxConfigBase::Set(previous); }
    } restore{previous};

    // wxWidgets 3.2 names wxLANGUAGE_GERMAN "de" and has wxLANGUAGE_GERMAN_GERMANY for "de_DE".
    const struct {
        const char* stored;
        int expected;
    } cases[] = {
        {"", 0},
        {"xx_NOWHERE", 0},
        {"de-DE", wxLANGUAGE_GERMAN_GERMANY},
        {"de_DE", wxLANGUAGE_GERMAN_GERMANY},
        {"de", wxLANGUAGE_GERMAN},
        {"pt-BR", wxLANGUAGE_PORTUGUESE_BRAZILIAN},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stored);
        config->Write("startupLocaleID", wxString(c.stored));
        EXPECT_EQ(app().getStartupLocaleID(), c.expected);
    }
    config->DeleteEntry("startupLocaleID");
    EXPECT_EQ(app().getStartupLocaleID(), 0);

    const struct {
        int id;
        const char* stored;
    } writes[] = {
        {wxLANGUAGE_GERMAN, "de"},
        {wxLANGUAGE_GERMAN_GERMANY, "de_DE"},
        {wxLANGUAGE_PORTUGUESE_BRAZILIAN, "pt_BR"},
        {0, ""},
    };
    for (const auto& w : writes) {
        SCOPED_TRACE(w.stored);
        app().setStartupLocaleID(w.id);
        EXPECT_EQ(config->Read("startupLocaleID", wxString("unset")), w.stored);
        EXPECT_EQ(app().getStartupLocaleID(), w.id);
    }

    // Flushed, so another run of the program sees the choice.
    app().setStartupLocaleID(wxLANGUAGE_FRENCH_CANADIAN);
    wxFileConfig reread(wxString(), wxString(), file, wxString(), wxCONFIG_USE_LOCAL_FILE);
    EXPECT_EQ(reread.Read("startupLocaleID", wxString("unset")), "fr_CA");
}

TEST_F(Language, SupportedLanguagesFollowInstalledCatalogues)
{
    TempFolder lang;
    LangPathOverride override(lang.zilPath());

    // The application's domain list only grows, so the case without one comes first.
    std::vector<int> all;
    app().getSupportedLanguages(all);
    EXPECT_GT(all.size(), 100u);
    EXPECT_TRUE(std::is_sorted(all.begin(), all.end()));
    EXPECT_EQ(std::adjacent_find(all.begin(), all.end()), all.end());
    for (int id : {int(wxLANGUAGE_GERMAN), int(wxLANGUAGE_FRENCH), int(wxLANGUAGE_PORTUGUESE_BRAZILIAN),
                   int(wxLANGUAGE_ENGLISH_US), int(wxLANGUAGE_GERMAN_AUSTRIAN)})
        EXPECT_TRUE(contains(all, id)) << id;
    EXPECT_FALSE(contains(all, wxLANGUAGE_DEFAULT));
    EXPECT_FALSE(contains(all, wxLANGUAGE_UNKNOWN));

    app().addRequiredTranslationDomain(zil::String(kDomain));
    const std::string mo = std::string(kDomain) + ".mo";

    const struct {
        const char* step; // what the case adds to the language folder
        std::vector<const char*> files;
        std::vector<int> offered;
        std::vector<int> notOffered;
    } cases[] = {
        {"nothing", {}, {wxLANGUAGE_ENGLISH_US}, {wxLANGUAGE_GERMAN, wxLANGUAGE_FRENCH}},
        // Outside any language folder, a catalogue belongs to no language.
        {"loose catalogues",
         {"", "LC_MESSAGES"},
         {wxLANGUAGE_ENGLISH_US},
         {wxLANGUAGE_GERMAN, wxLANGUAGE_ARABIC, wxLANGUAGE_FRENCH}},
        // de_DE is German's main variant, so it takes the catalogue of "de".
        {"de",
         {"de/LC_MESSAGES"},
         {wxLANGUAGE_GERMAN, wxLANGUAGE_GERMAN_GERMANY, wxLANGUAGE_ENGLISH_US},
         {wxLANGUAGE_GERMAN_AUSTRIAN, wxLANGUAGE_GERMAN_SWISS, wxLANGUAGE_FRENCH}},
        {"de_AT",
         {"de_AT/LC_MESSAGES"},
         {wxLANGUAGE_GERMAN, wxLANGUAGE_GERMAN_AUSTRIAN},
         {wxLANGUAGE_GERMAN_SWISS, wxLANGUAGE_FRENCH}},
        // Straight in the language's folder, without LC_MESSAGES.
        {"pt_BR", {"pt_BR"}, {wxLANGUAGE_PORTUGUESE_BRAZILIAN}, {wxLANGUAGE_PORTUGUESE, wxLANGUAGE_FRENCH}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.step);
        for (const char* sub : c.files)
            writeFile(lang.path() / sub / mo, "only its name matters here");
        std::vector<int> ids;
        app().getSupportedLanguages(ids);
        EXPECT_TRUE(std::is_sorted(ids.begin(), ids.end()));
        EXPECT_EQ(std::adjacent_find(ids.begin(), ids.end()), ids.end());
        for (int id : c.offered)
            EXPECT_TRUE(contains(ids, id)) << wxLocale::GetLanguageCanonicalName(id);
        for (int id : c.notOffered)
            EXPECT_FALSE(contains(ids, id)) << wxLocale::GetLanguageCanonicalName(id);
    }

    // The system's catalogue folder counts for its own language only.
    TempFolder prefix;
    wxStandardPaths& paths = wxStandardPaths::Get();
    const wxString savedPrefix = paths.GetInstallPrefix();
    writeFile(prefix.path() / "share/locale/fr/LC_MESSAGES" / mo, "x");
    paths.SetInstallPrefix(wxString::FromUTF8(prefix.path().string()));
    std::vector<int> ids;
    app().getSupportedLanguages(ids);
    paths.SetInstallPrefix(savedPrefix);
    EXPECT_TRUE(contains(ids, wxLANGUAGE_FRENCH));
    EXPECT_FALSE(contains(ids, wxLANGUAGE_ITALIAN));
}

TEST_F(Language, LocalizedFileFallsBackToLanguageThenEnglish)
{
    TempFolder lang;
    LangPathOverride override(lang.zilPath());
    const fs::path root = lang.path();

    for (const bool asFolder : {true, false}) {
        SCOPED_TRACE(asFolder ? "folder" : "file");
        const std::string relative = asFolder ? "help" : "doc/readme.txt";
        auto create = [&](const std::string& code) {
            const fs::path target = root / code / relative;
            if (asFolder)
                fs::create_directories(target);
            else
                writeFile(target, "text");
        };
        const zil::Path rel{zil::String(relative)};
        const auto expected = [&](const char* code) {
            return code ? (lang.zilPath() / zil::Path(zil::String(code)) / rel) : zil::Path();
        };

        // en_US: neither it nor "en" exists yet, so no endless retry through English.
        EXPECT_EQ(app().findLocalizedFileOrFolder(rel, L"en_US"), zil::Path());

        const struct {
            const char* create;
            const char* expected;
        } steps[] = {{nullptr, nullptr}, {"en", "en"}, {"pt", "pt"}, {"pt_BR", "pt_BR"}};
        for (const auto& step : steps) {
            SCOPED_TRACE(step.create ? step.create : "nothing");
            if (step.create)
                create(step.create);
            EXPECT_EQ(app().findLocalizedFileOrFolder(rel, L"pt_BR"), expected(step.expected));
        }
        EXPECT_EQ(app().findLocalizedFileOrFolder(rel, L"en_US"), expected("en"));
        EXPECT_EQ(app().findLocalizedFileOrFolder(rel, L"fr"), expected("en"));
        fs::remove_all(root / "en");
        fs::remove_all(root / "pt");
        fs::remove_all(root / "pt_BR");
    }
}

TEST_F(Language, ContextPrefixesInLookUp)
{
    TempFolder lang;
    ASSERT_NO_FATAL_FAILURE(
        compileCatalogue(lang.path() / "de/LC_MESSAGES" / (std::string(kDomain) + ".mo")));
    wxFileTranslationsLoader::AddCatalogLookupPathPrefix(wxString::FromUTF8(lang.path().string()));
    auto* translations = new wxTranslations();
    wxTranslations::Set(translations);
    translations->SetLanguage("de");
    ASSERT_TRUE(translations->AddCatalog(kDomain));

    const struct {
        const char* text;
        const char* expected;
        const char* bare; // what a domain without a catalogue gives
    } cases[] = {
        {"menu#||#Open", "Öffnen (Menü)", "Open"}, // the whole entry wins
        {"file#||#Open", "Öffnen", "Open"},        // else the text after the context
        {"x#||#Close", "Close", "Close"},          // no entry: the context never shows
        {"Save", "Speichern", "Save"},             // a translation's own context is dropped too
        {"Close", "Close", "Close"},
        {"#||#Open", "Öffnen", "Open"},
        {"", "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const wxString text = wxString::FromUTF8(c.text);
        const wxString expected = wxString::FromUTF8(c.expected);
        EXPECT_EQ(CTranslationsWithPrefixes::lookUp(translations, text, UINT_MAX, kDomain), expected);
        EXPECT_EQ(CTranslationsWithPrefixes::lookUp(translations, text, UINT_MAX, wxString()), expected);
        EXPECT_EQ(translate(fromWX(text)), fromWX(expected));
        EXPECT_EQ(CTranslationsWithPrefixes::lookUp(translations, text, UINT_MAX, "no-such-domain"),
                  wxString::FromUTF8(c.bare));
    }

    wxTranslations::Set(nullptr);
    ASSERT_EQ(wxTranslations::Get(), nullptr);
    EXPECT_EQ(translate(L"menu#||#Open"), L"Open");
    EXPECT_EQ(translate(L"Open"), L"Open");
    EXPECT_EQ(fromWX(CTranslationsWithPrefixes::lookUp(nullptr, "a#||#b#||#c", UINT_MAX, wxString())),
              L"b#||#c");
}

TEST_F(Language, LocaleWithPrefixesOwnsTheGlobalTranslations)
{
    TempFolder lang;
    ASSERT_NO_FATAL_FAILURE(
        compileCatalogue(lang.path() / "de/LC_MESSAGES" / (std::string(kDomain) + ".mo")));
    wxFileTranslationsLoader::AddCatalogLookupPathPrefix(wxString::FromUTF8(lang.path().string()));
    CollectingLog log; // Init may complain that the system lacks a German C locale

    const wxTranslations* seen = nullptr;
    {
        CLocaleWithPrefixes locale;
        seen = locale.getTranslations();
        ASSERT_NE(seen, nullptr);
        EXPECT_EQ(wxTranslations::Get(), seen);
        locale.Init(wxLANGUAGE_GERMAN);
        EXPECT_EQ(wxTranslations::Get(), seen);
        EXPECT_TRUE(locale.AddCatalog(kDomain));
        EXPECT_EQ(translate(L"menu#||#Open"), L"Öffnen (Menü)");
        EXPECT_EQ(translate(L"file#||#Open"), L"Öffnen");
        EXPECT_EQ(translate(L"Save"), L"Speichern");
    }
    EXPECT_NE(wxTranslations::Get(), seen);
    EXPECT_EQ(translate(L"file#||#Open"), L"Open");
}

TEST_F(Language, CorruptCatalogueIsReportedAndLeavesTextsUntranslated)
{
    TempFolder lang;
    const std::string domain = std::string(kDomain) + "-corrupt";
    const fs::path file = lang.path() / "de/LC_MESSAGES" / (domain + ".mo");
    writeFile(file, std::string("garbage, not a catalogue \x00\x01\x02\xff", 29));
    wxFileTranslationsLoader::AddCatalogLookupPathPrefix(wxString::FromUTF8(lang.path().string()));
    auto* translations = new wxTranslations();
    wxTranslations::Set(translations);
    translations->SetLanguage("de");

    CollectingLog log;
    EXPECT_FALSE(translations->AddCatalog(domain));
    EXPECT_EQ(translate(L"file#||#Open", zil::String(domain)), L"Open");
    const bool warned =
        std::any_of(log.records.begin(), log.records.end(), [&](const CollectingLog::Record& r) {
            return r.level <= wxLOG_Warning && r.text.Contains(wxString::FromUTF8(file.string()));
        });
    EXPECT_TRUE(warned);
}

TEST_F(Language, DamagedCataloguesAreRecognised)
{
    TempFolder folder;
    const fs::path valid = folder.path() / "valid.mo";
    ASSERT_NO_FATAL_FAILURE(compileCatalogue(valid));
    const fs::path bigEndian = folder.path() / "big.mo";
    ASSERT_NO_FATAL_FAILURE(compileCatalogue(bigEndian, L"--endianness=big"));
    const std::string good = readFile(valid);
    ASSERT_GT(good.size(), 60u);

    const uint32_t origTable = getWord(good, 12);
    const struct {
        const char* name;
        std::function<std::string()> content; // null: use the file as compiled
        bool faulty;
    } cases[] = {
        {"valid", nullptr, false},
        {"big-endian", [&] { return readFile(bigEndian); }, false},
        {"empty", [] { return std::string(); }, true},
        {"no magic", [&] { return "garbage" + good.substr(7); }, true},
        {"header only", [&] { return good.substr(0, 28); }, true},
        {"truncated", [&] { return good.substr(0, good.size() - 3); }, true},
        {"huge count",
         [&] {
             std::string d = good;
             putWord(d, 8, 0xffffffffu);
             return d;
         },
         true},
        {"table beyond end",
         [&] {
             std::string d = good;
             putWord(d, 16, 0xfffffff0u);
             return d;
         },
         true},
        {"text offset wraps",
         [&] {
             std::string d = good;
             putWord(d, origTable + 4, 0xfffffffcu);
             return d;
         },
         true},
        {"text too long",
         [&] {
             std::string d = good;
             putWord(d, origTable, 0x7fffffffu);
             return d;
         },
         true},
        {"hash beyond end",
         [&] {
             std::string d = good;
             putWord(d, 20, 1000000u);
             return d;
         },
         true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::path file = valid;
        if (c.content) {
            file = folder.path() / (std::string(c.name) + ".mo");
            writeFile(file, c.content());
        }
        const zil::String fault = findCatalogueFault(zil::Path(zil::String(file.string())));
        EXPECT_EQ(!fault.isEmpty(), c.faulty) << fault.toUTF8();
    }
    EXPECT_FALSE(
        findCatalogueFault(zil::Path(zil::String((folder.path() / "missing.mo").string()))).isEmpty());
}

namespace {

// Runs the test application's locale scenario and gives its report.
std::string runLocaleScenario(const TempFolder& home, const zil::String& langFolder)
{
    const fs::path reportFile = home.path() / "report.txt";
    fs::remove(reportFile);
    zil::CExecCommand command{zil::String(ZILUI_TESTAPP_PATH)};
    command.setEnvironment({{L"ZILUI_TESTAPP_SCENARIO", L"locale"},
                            {L"ZILUI_TESTAPP_REPORT", zil::String(reportFile.string())},
                            {L"ZILUI_TESTAPP_ARG", langFolder},
                            {L"HOME", home.zilPath().str()}});
    zil::P<zil::CProcess> process = zil::execAsync(command);
    if (!process->wait(60000)) {
        process->kill(SIGKILL);
        ADD_FAILURE() << "the test application hangs";
        return std::string();
    }
    EXPECT_EQ(process->getExitCode(), 0);
    return readFile(reportFile);
}

} // namespace

TEST_F(Language, ApplicationLocaleGivesISOLanguageIDAndSurvivesDamagedCatalogues)
{
    // Without a locale there is nothing to name.
    EXPECT_EQ(app().getLocaleISOLangID(), L"");

    // The application's own locale is set up only in a whole application.
    TempFolder home;
    std::string report = runLocaleScenario(home, zil::String());
    EXPECT_NE(report.find("\nisoLangID=de-de\n"), std::string::npos) << report;

    TempFolder lang;
    const fs::path file = lang.path() / "de/LC_MESSAGES" / (std::string(kDomain) + ".mo");
    ASSERT_NO_FATAL_FAILURE(compileCatalogue(file));
    report = runLocaleScenario(home, lang.zilPath().str());
    EXPECT_NE(report.find("\nOpen=Öffnen\n"), std::string::npos) << report;

    // Right magic number, string table far outside the file: wxWidgets alone would crash.
    std::string damaged = readFile(file);
    putWord(damaged, 12, 0x7ffffff0u);
    writeFile(file, damaged);
    report = runLocaleScenario(home, lang.zilPath().str());
    EXPECT_NE(report.find("\nOpen=Open\n"), std::string::npos) << report;
}
