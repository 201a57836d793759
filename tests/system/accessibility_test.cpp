// SPDX-License-Identifier: MIT
// What a screen reader reads from the skinned controls, through the accessibility bus as a
// separate program (tests/a11y/atspiread.c): this process answers from its main loop.
#include "app/apptestutil.h"
#include "modules/modulefakes.h"
#include "support/guitest.h"

#include <zilui/controls/timectrl.h>
#include <zilui/modules/moduledialog.h>
#include <zilui/slick/controls.h>
#include <zilui/system/filesystembrowser.h>

#include "zil/temp_folder.h"

#include <gtest/gtest.h>

#include <wx/frame.h>
#include <wx/listctrl.h>
#include <wx/panel.h>
#include <wx/sizer.h>
#include <wx/timer.h>

#include <glib.h>

#include <sstream>
#include <vector>

#include <unistd.h>

namespace zilui::test {
namespace {

struct Read {
    std::string role, name, states;
    bool has(const std::string& state) const { return (" " + states + " ").find(" " + state + " ") != std::string::npos; }
};

// Runs the reader while this process keeps answering; nullopt-like empty with `error` set on failure.
std::vector<Read> readWindow(const wxString& title, std::string& error)
{
    const std::string pid = std::to_string(getpid()), name = title.utf8_string();
    char* argv[] = {const_cast<char*>(ZILUI_ATSPIREAD_PATH), const_cast<char*>(pid.c_str()),
                    const_cast<char*>(name.c_str()), nullptr};
    GPid child = 0;
    gint out = -1, err = -1;
    GError* spawnError = nullptr;
    if (!g_spawn_async_with_pipes(nullptr, argv, nullptr, G_SPAWN_DO_NOT_REAP_CHILD, nullptr, nullptr, &child,
                                  nullptr, &out, &err, &spawnError)) {
        error = spawnError->message;
        g_clear_error(&spawnError);
        return {};
    }
    // GTK's entry and spin button accessibles answer no state set and count children of no
    // widget once their widget is gone, and the bridge keeps them: when a reader first looks at
    // this program, the bridge lists what it keeps, and ATK, GTK and GObject complain about
    // those that earlier tests left behind.
    const CToleratedToolkitWarnings staleAccessibles(
        {"atk_state_set_contains_state: assertion 'ATK_IS_STATE_SET (set)' failed",
         "gtk_container_forall: assertion 'GTK_IS_CONTAINER (container)' failed",
         "g_object_unref: assertion 'G_IS_OBJECT (object)' failed"});
    struct State {
        bool done = false;
        int status = 0;
    } state;
    g_child_watch_add(child, [](GPid, gint status, gpointer data) {
        static_cast<State*>(data)->done = true;
        static_cast<State*>(data)->status = status;
    }, &state);
    // The reader's output is small (one window); the pipe holds it until the reader ends.
    runLoopUntil([&] { return state.done; });
    std::string text, problem;
    char buffer[4096];
    for (ssize_t n; (n = ::read(out, buffer, sizeof buffer)) > 0;)
        text.append(buffer, size_t(n));
    for (ssize_t n; (n = ::read(err, buffer, sizeof buffer)) > 0;)
        problem.append(buffer, size_t(n));
    ::close(out);
    ::close(err);
    g_spawn_close_pid(child);
    if (!state.done || !g_spawn_check_wait_status(state.status, nullptr)) {
        error = state.done ? problem : "the reader did not end";
        return {};
    }
    std::vector<Read> result;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        std::string depth;
        Read read;
        std::getline(fields, depth, '\t');
        std::getline(fields, read.role, '\t');
        std::getline(fields, read.name, '\t');
        std::getline(fields, read.states);
        result.push_back(read);
    }
    return result;
}

const Read* findRead(const std::vector<Read>& tree, const std::string& role, const std::string& name)
{
    for (const Read& r : tree)
        if (r.role == role && r.name == name)
            return &r;
    return nullptr;
}

// The module dialog as a program runs it, with skinned buttons, on its first page of three,
// read while its modal loop runs.
std::vector<Read> readWizard(bool nextEnabled, std::string& error)
{
    Journal journal;
    zil::P<CFakeModule> module(new CFakeModule(journal, "", 3));
    module->shapeInfo = [nextEnabled](CUIPageInfo& info, int) { info.enableNext = nextEnabled; };
    zil::P<CSlickButtonCreator> buttons(new CSlickButtonCreator());
    const wxString title = wxString::Format("zilui wizard %d", int(getpid()));
    CUIModuleDialog dialog(&sharedFrame(), zil::String::fromUTF8(title.utf8_string()), wxDefaultSize, buttons.get());
    dialog.setModule(module.get());
    std::vector<Read> tree;
    wxTimer reader;
    reader.Bind(wxEVT_TIMER, [&](wxTimerEvent&) {
        runLoopUntil([&] { return dialog.IsShownOnScreen(); }, 5000);
        tree = readWindow(title, error);
        dialog.EndModal(wxID_CANCEL);
    });
    reader.StartOnce(10);
    dialog.ShowModal();
    return tree;
}

std::string dump(const std::vector<Read>& tree)
{
    std::string text;
    for (const Read& r : tree)
        text += r.role + " '" + r.name + "' " + r.states + "\n";
    return text;
}

TEST(Accessibility, ScreenReaderReadsSkinnedControls)
{
    // The run's own accessibility bus is bare: a reader needs the registry, which only the
    // at-spi bus launcher of the test script's accessibility stage brings.
    if (g_getenv("NO_AT_BRIDGE") || !g_getenv("ZILUI_TEST_AT_SPI_BUS_ADDRESS"))
        GTEST_SKIP() << "the accessibility bridge is off or has no registry (NO_AT_BRIDGE, or no "
                        "ZILUI_TEST_AT_SPI_BUS_ADDRESS from scripts/test.sh's Wayland stage)";
    const wxString title = wxString::Format("zilui accessibility %d", int(getpid()));
    auto* frame = new wxFrame(nullptr, wxID_ANY, title, wxDefaultPosition, wxSize(500, 500));
    auto* panel = new wxPanel(frame);
    auto* sizer = new wxBoxSizer(wxVERTICAL);
    auto* save = new CSlickButton(panel, wxID_ANY, "Save && &Close");
    auto* checked = new CSlickCheckBox(panel, wxID_ANY, "Checked");
    auto* mixed = new CSlickCheckBox(panel, wxID_ANY, "Mixed", wxDefaultPosition, wxDefaultSize, wxCHK_3STATE);
    auto* radio = new CSlickRadioButton(panel, wxID_ANY, "Radio", wxDefaultPosition, wxDefaultSize, wxRB_GROUP);
    auto* link = new CLinkButton(panel, wxID_ANY, "A &link");
    auto* next = new CSlickButton(panel, wxID_ANY, "&Next");
    auto* time = new CTimeCtrl(panel, wxID_ANY, 754);
    for (wxWindow* w : std::initializer_list<wxWindow*>{save, checked, mixed, radio, link, next, time})
        sizer->Add(w);
    // The file browser's list is drawn by wxWidgets: its table, rows and cells are the library's.
    zil::test::CTempFolder disk;
    disk.writeFile(L"b.txt", std::string(3000, 'x'));
    disk.writeFile(L"c.txt", "");
    auto* browser = new CFileSystemBrowserControl(panel, nullptr);
    sizer->Add(browser, 1, wxEXPAND);
    browser->init(zil::CLocalFileSystem::get().get(), disk.path().str(), disk.path().str());
    ASSERT_TRUE(runLoopUntil([&] { return browser->getRowItems().size() == 2; }, 10000));
    browser->getList()->Select(0);
    panel->SetSizer(sizer);
    checked->SetValue(true);
    mixed->Set3StateValue(wxCHK_UNDETERMINED);
    radio->SetValue(true);
    next->Disable();
    frame->Show();
    runLoopUntil([&] { return frame->IsShownOnScreen(); }, 5000);

    std::string error;
    const std::vector<Read> tree = readWindow(title, error);
    frame->Destroy();
    processPendingEvents();
    ASSERT_FALSE(tree.empty()) << error;
    const std::vector<Read> nextDisabled = readWizard(false, error);
    ASSERT_FALSE(nextDisabled.empty()) << error;
    const std::vector<Read> nextEnabled = readWizard(true, error);
    ASSERT_FALSE(nextEnabled.empty()) << error;
    const struct {
        const std::vector<Read>& window;
        const char* role;
        const char* name;
        std::vector<const char*> states, absent;
    } cases[] = {
        {tree, "push button", "Save & Close", {"enabled", "sensitive", "focusable"}, {"checked"}},
        {tree, "check box", "Checked", {"checked", "enabled"}, {"indeterminate"}},
        {tree, "check box", "Mixed", {"indeterminate"}, {}}, // GTK keeps it active too; readers say "partially checked"
        {tree, "radio button", "Radio", {"checked"}, {}},
        {tree, "link", "A link", {"enabled"}, {}},
        {tree, "push button", "Next", {}, {"enabled", "sensitive"}},
        {tree, "table", "", {"manages-descendants", "multiselectable"}, {}},
        {tree, "table row", "b.txt", {"selectable", "selected", "showing"}, {"defunct"}},
        {tree, "table row", "c.txt", {"selectable"}, {"selected"}},
        {tree, "table cell", "2.9 KiB", {"showing"}, {}},
        {tree, "push button", "Back", {}, {"enabled"}}, // nowhere to go back to yet
        {tree, "push button", "Forward", {}, {}},
        {tree, "push button", "Up", {}, {}},
        {tree, "push button", "Refresh", {"enabled"}, {}},
        // The wizard's own skinned buttons follow the module's page info.
        {nextDisabled, "push button", "Next", {"focusable"}, {"enabled", "sensitive"}},
        {nextDisabled, "push button", "Cancel", {"enabled", "sensitive"}, {}},
        {nextEnabled, "push button", "Next", {"enabled", "sensitive"}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Read* read = findRead(c.window, c.role, c.name);
        ASSERT_NE(read, nullptr) << "no " << c.role << " named '" << c.name << "' in\n" << dump(c.window);
        for (const char* s : c.states)
            EXPECT_TRUE(read->has(s)) << s << " in " << read->states;
        for (const char* s : c.absent)
            EXPECT_FALSE(read->has(s)) << s << " in " << read->states;
    }
    // The time control is read as its text and its spin button.
    bool timeText = false, spin = false;
    for (const Read& r : tree) {
        timeText |= r.role == "text" && r.states.find("editable") != std::string::npos;
        spin |= r.role == "spin button";
    }
    EXPECT_TRUE(timeText && spin);
}

} // namespace
} // namespace zilui::test
