// SPDX-License-Identifier: MIT
// One main for every zilui test: wxWidgets is started once, with a shown frame that tests
// can put their windows into, and torn down after the last test.
#include "support/guitest.h"
#include "support/privatebus.h"

#include "app/apptestutil.h"

#include <zilui/app/appbase.h>

#include <zil/process.h>

#include <gtest/gtest.h>

#include <wx/app.h>
#include <wx/frame.h>
#include <wx/image.h>
#include <wx/init.h>

#include <glib.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

wxFrame* g_frame = nullptr;
// The log writer may run on any thread.
std::atomic<zilui::test::CToleratedToolkitWarnings*> g_tolerated{nullptr};

// The application object is a CAppBase, so that actions can be posted and handlers are
// guarded as in a client program; its start-up (paths, log, locale) is left to the tests
// that are about it, which run it in a child process.
class TestApplication : public zilui::CAppBase {
public:
    TestApplication() : CAppBase(errorReportingConsole) { SetAppName("zilui-tests"); }
    bool OnInit() override { return true; }
};

// A warning or critical from GTK, GDK, GObject or the accessibility bridge means a control was
// used against the toolkit's rules (a negative allocation, a size below the widget's minimum, an
// accessible object asked for what it does not have, ...): the test that caused it fails, with
// the message, and the message still reaches standard error. A log writer, not a
// default handler: GTK's own messages (its layout criticals) are structured, and pass a default
// handler by.
GLogWriterOutput failOnToolkitWarning(GLogLevelFlags level, const GLogField* fields, gsize count, gpointer data)
{
    std::string domain, message;
    for (gsize i = 0; i < count; ++i) {
        const auto* value = static_cast<const char*>(fields[i].value);
        std::string* field = std::strcmp(fields[i].key, "GLIB_DOMAIN") == 0 ? &domain
                             : std::strcmp(fields[i].key, "MESSAGE") == 0   ? &message
                                                                            : nullptr;
        if (field && value)
            field->assign(value, fields[i].length < 0 ? std::strlen(value) : size_t(fields[i].length));
    }
    static const char* const watched[] = {"Gtk", "Gdk", "GLib-GObject", "GdkPixbuf", "Pango", "Atk"};
    // The accessibility bridge logs without a domain; its messages name it.
    static const char* const accessibility[] = {"AT-SPI", "atk-bridge"};
    const bool severe = (level & (G_LOG_LEVEL_WARNING | G_LOG_LEVEL_CRITICAL | G_LOG_LEVEL_ERROR)) != 0;
    const bool ours = std::any_of(std::begin(watched), std::end(watched), [&](const char* d) { return domain == d; }) ||
                      (domain.empty() && std::any_of(std::begin(accessibility), std::end(accessibility),
                                                     [&](const char* p) { return message.rfind(p, 0) == 0; }));
    if (severe && ours && !(g_tolerated.load() && g_tolerated.load()->tolerates(message)))
        ADD_FAILURE() << (domain.empty() ? "the accessibility bridge" : domain) << " printed: " << message;
    return g_log_writer_default(level, fields, count, data);
}

// A wxWidgets assertion is a crash or a dialog for a user: the test that reaches one fails.
void failOnAssert(const wxString& file, int line, const wxString& func, const wxString& cond,
                  const wxString& msg)
{
    ADD_FAILURE() << "wxWidgets assertion " << cond << " (" << msg << ") in " << func << " at " << file << ":"
                  << line;
}

} // namespace

namespace zilui::test {

CToleratedToolkitWarnings::CToleratedToolkitWarnings(std::vector<std::string> messages)
    : m_messages(std::move(messages)), m_outer(g_tolerated)
{
    g_tolerated = this;
}

CToleratedToolkitWarnings::~CToleratedToolkitWarnings()
{
    g_tolerated = m_outer;
}

bool CToleratedToolkitWarnings::tolerates(const std::string& message) const
{
    return std::any_of(m_messages.begin(), m_messages.end(),
                       [&](const std::string& m) { return message.find(m) != std::string::npos; }) ||
           (m_outer && m_outer->tolerates(message));
}

wxFrame& sharedFrame()
{
    return *g_frame;
}

void processPendingEvents()
{
    if (wxTheApp) {
        wxTheApp->ProcessPendingEvents();
        wxTheApp->Yield(true);
    }
}

namespace {
constexpr char kChildTestVariable[] = "ZILUI_TEST_CHILD";
} // namespace

bool inChildProcess()
{
    const auto* info = testing::UnitTest::GetInstance()->current_test_info();
    const std::string name = std::string(info->test_suite_name()) + "." + info->name();
    const char* child = getenv(kChildTestVariable);
    if (child && name == child)
        return true;

    zil::test::CTempFolder folder;
    const zil::Path output = folder / zil::Path(L"output.txt");
    zil::CExecCommand command(L"/bin/sh");
    command
        .setArguments({L"-c", L"exec \"$0\" \"$1\" >\"$2\" 2>&1", zil::CProcess::getOwnExecutablePath(),
                       zil::String::fromUTF8("--gtest_filter=" + name), output.str()})
        // One shard of a sharded run would hold the child's test back: the child runs it whole.
        .setEnvironment({{zil::String::fromUTF8(kChildTestVariable), zil::String::fromUTF8(name)},
                         {L"GTEST_TOTAL_SHARDS", L"1"},
                         {L"GTEST_SHARD_INDEX", L"0"}});
    zil::P<zil::CProcess> process = zil::execAsync(command);
    const bool ended = process->wait(kChildHangMs);
    if (!ended)
        process->kill(SIGKILL);
    const std::string text = readFile(output);
    // A filter that matched nothing passes too; the summary line says the test ran.
    EXPECT_TRUE(ended && process->getExitCode() == 0 && text.find("[  PASSED  ] 1 test.") != std::string::npos)
        << (ended ? "the child failed" : "the child hangs") << ":\n"
        << text;
    return false;
}

} // namespace zilui::test

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    // Listing the tests (CTest does this to discover them) needs no display.
    if (testing::GTEST_FLAG(list_tests))
        return RUN_ALL_TESTS();
    // Before anything can connect to the machine's buses: GIO keeps its first session
    // connection for the life of the process.
    const std::string busError = zilui::test::usePrivateBuses();
    if (!busError.empty()) {
        std::fprintf(stderr, "zilui-tests: %s\n", busError.c_str());
        return 2;
    }
    // A GUI application object of our own, or wxEntryStart would make a console one and GTK
    // would never be initialised.
    g_log_set_writer_func(&failOnToolkitWarning, nullptr, nullptr);
    wxSetAssertHandler(&failOnAssert);
    wxApp::SetInstance(new TestApplication());
    if (!wxEntryStart(argc, argv)) {
        std::fprintf(stderr, "zilui-tests: cannot start wxWidgets (is there a display?)\n");
        return 2;
    }
    wxTheApp->CallOnInit();
    wxInitAllImageHandlers();
    g_frame = new wxFrame(nullptr, wxID_ANY, "zilui tests", wxDefaultPosition, wxSize(400, 300));
    g_frame->Show();

    const int result = RUN_ALL_TESTS();

    g_frame->Destroy();
    zilui::test::processPendingEvents();
    wxTheApp->OnExit();
    wxEntryCleanup();
    return result;
}
