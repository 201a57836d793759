// SPDX-License-Identifier: MIT
#include "app/apptestutil.h"
#include "support/guitest.h"
#include "zil/given_memory.h"

#include <zilui/system/elevation.h>

#include <gtest/gtest.h>

#include <wx/combobox.h>
#include <wx/msgdlg.h>
#include <wx/textctrl.h>

#include <atomic>
#include <deque>
#include <fstream>
#include <map>
#include <mutex>
#include <thread>
#include <tuple>

using namespace zilui;
using namespace zilui::test;
using zil::test::CGivenMemory;
using zil::test::CTempFolder;
using zil::test::thrown;

namespace {

constexpr int kHangMs = 20000; // only there to turn a hang into a failure

// Accounts that exist only for the test; the start runs the command as this process.
class CFakeAccounts : public zil::CBase, public IAdminAccountLayer {
public:
    // Password, administrator, restricted.
    std::map<zil::String, std::tuple<std::string, bool, bool>> accounts{
        {L"alice", {"right h\u00f6rse", true, false}},
        {L"bob", {"bob's", true, false}},
        {L"carol", {"carols", false, false}},
        {L"dave", {"dave", true, true}}};
    zil::String pkexec;
    std::vector<std::pair<zil::String, int64_t>> started;

    bool isProcessUserAdmin() override { return false; }
    zil::String getElevationServicePath() override { return pkexec; }
    zil::TArray<zil::String> getAdministratorAccounts() override { return {L"alice", L"bob", L"dave"}; }
    bool isAdministrator(const zil::String& user) override { return std::get<1>(accounts.at(user)); }
    LogOnResult logOn(const zil::String& user, const zil::CCredentialBuffer& password) override
    {
        if (!accounts.count(user))
            throw zil::CInvalidArgError(L"Unknown account '" + user + L"'");
        const auto& [right, admin, restricted] = accounts[user];
        if (right != std::string(password.data(), password.size()))
            return {LogOnResult::statusFailed, L"Authentication failure"};
        return {restricted ? LogOnResult::statusRestricted : LogOnResult::statusOK, L""};
    }
    zil::P<zil::CProcess> startAs(const zil::CExecCommand& command, const zil::String& user,
                                  const zil::CCredentialBuffer&) override
    {
        zil::P<zil::CProcess> process = zil::execAsync(command);
        started.emplace_back(user, process->getID());
        return process;
    }
};

// Installs a fresh fake for one test and puts the system's layer back afterwards.
struct CFakeLayerScope {
    zil::P<CFakeAccounts> fake{new CFakeAccounts()};
    CFakeLayerScope() { setAdminAccountLayer(fake.get()); }
    ~CFakeLayerScope() { setAdminAccountLayer(nullptr); }
};

struct Answer {
    const char* user;
    const char* password;
    int button = wxID_OK;
};

// Answers credential prompts from a script, as a user would, and records every message box
// as title + text. With `typingMs`, events go on being dispatched meanwhile, as in a shown
// prompt's own loop.
class CScriptedUser {
public:
    explicit CScriptedUser(std::vector<Answer> answers, int typingMs = 0)
        : m_answers(answers.begin(), answers.end()), m_typingMs(typingMs),
          m_hook([this](ShowModalEvent& event) { handle(event); })
    {
    }
    int prompts = 0, open = 0, mostOpen = 0;
    wxArrayString offered;
    std::vector<std::pair<wxString, wxString>> boxes;

private:
    void handle(ShowModalEvent& event)
    {
        event.result = wxID_OK;
        if (auto* box = dynamic_cast<wxMessageDialog*>(event.dialog)) {
            boxes.emplace_back(box->GetTitle(), box->GetMessage());
            EXPECT_TRUE(box->GetMessageDialogStyle() & (wxICON_ERROR | wxICON_EXCLAMATION));
            return;
        }
        mostOpen = std::max(mostOpen, ++open);
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(m_typingMs);
        while (std::chrono::steady_clock::now() < until) {
            processPendingEvents();
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        --open;
        ASSERT_FALSE(m_answers.empty()) << "asked more often than the user answers";
        ASSERT_EQ(event.dialog->GetTitle(), "Administrator Access");
        ++prompts;
        auto* user = dynamic_cast<wxComboBox*>(event.dialog->FindWindowByName("user"));
        offered = user->GetStrings();
        user->SetValue(wxString::FromUTF8(m_answers.front().user));
        dynamic_cast<wxTextCtrl*>(event.dialog->FindWindowByName("password"))
            ->SetValue(wxString::FromUTF8(m_answers.front().password));
        event.result = m_answers.front().button;
        m_answers.pop_front();
    }

    std::deque<Answer> m_answers;
    int m_typingMs;
    CShowModalHook m_hook;
};

zil::P<zil::CProcess> startElevated(const zil::CExecCommand& command, bool marshal = false)
{
    return execAsyncAsAdminWithGUIPrompt(command, &sharedFrame(), marshal, false);
}

} // namespace

// Every way a user can get the prompt wrong asks again with the right message; only a
// working administrator account starts the command, and no password is left behind. A
// cancel ends the loop with the cancelled-prompt error.
TEST(Elevation, PromptLoopAsksAgainUntilAnAdministratorLogsOnOrTheUserCancels)
{
    CFakeLayerScope layer;
    CGivenMemory memory;
    {
        CScriptedUser user({{"bob", "wrong"},
                            {"alice", ""},
                            {"carol", "carols"},
                            {"dave", "dave"},
                            {"-c", "x"},
                            {"alice", "right h\u00f6rse"}});
        zil::P<zil::CProcess> process = startElevated(zil::CExecCommand(L"true"));
        EXPECT_EQ(layer.fake->started,
                  (std::vector<std::pair<zil::String, int64_t>>{{L"alice", process->getID()}}));
        EXPECT_EQ(user.prompts, 6);
        EXPECT_EQ(wxJoin(user.offered, ','), "alice,bob,dave");
        // The message box puts a space into empty lines.
        const wxString cannotUse =
            "Unable to use the account 'alice'.\n \nPlease ensure that the account is enabled "
            "and that it has a password assigned (accounts without passwords cannot be used "
            "for security reasons).";
        // A restricted account with its right password gets no hint about empty passwords.
        wxString restricted = cannotUse;
        restricted.Replace("alice", "dave");
        const std::vector<std::pair<wxString, wxString>> expected{
            {"Error", "Authentication failure"},
            {"Cannot use account",
             cannotUse +
                 "\n \nAnother solution would be to install the system's elevation service (polkit's pkexec) "
                 "and then restart this program. If it is installed then you can also use accounts which "
                 "have no passwords."},
            {"Not an administrator", "The selected user account is not an administrator account. Please "
                                     "specify an administrator account."},
            {"Cannot use account", restricted},
            {"Error", "Unknown account '-c'"}};
        EXPECT_EQ(user.boxes, expected);
        EXPECT_TRUE(process->wait(kHangMs));
    }
    {
        CScriptedUser user({{"bob", "wrong"}, {"alice", "right h\u00f6rse", wxID_CANCEL}});
        const zil::CError e = thrown([] { startElevated(zil::CExecCommand(L"true").addArgument(L"a b")); });
        EXPECT_EQ(e.getCode(), ECANCELED);
        EXPECT_EQ(e.getProp(L"commandLine"), L"true 'a b'");
        EXPECT_EQ(e.getProp(L"action"), L"execAsyncAsAdminWithGUIPrompt");
        EXPECT_EQ(layer.fake->started.size(), 1u);
        EXPECT_EQ(user.prompts, 2);
    }
    EXPECT_GT(memory.used, 0u) << "the passwords went somewhere else than the credential buffers";
    for (const char* secret : {"right h\u00f6rse", "wrong", "carols"})
        EXPECT_FALSE(memory.holds(secret)) << secret;
}

// As root (CI runs the tests as root) the system's account layer starts the command directly,
// without asking anyone.
TEST(Elevation, AsRootTheCommandStartsDirectly)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root: only root starts a command with administrator rights unasked";
    int dialogs = 0;
    CShowModalHook hook([&](ShowModalEvent& event) { ++dialogs, event.result = wxID_CANCEL; });
    CTempFolder folder;
    zil::CExecCommand command(L"/bin/sh");
    command.addArgument(L"-c").addArgument(L"id -u > \"$1\"").addArgument(L"sh");
    zil::P<zil::CProcess> process = startElevated(command.addArgument((folder / L"out").str()), true);
    ASSERT_TRUE(process->wait(kHangMs));
    EXPECT_EQ(zil::test::readFile(folder / L"out"), "0\n");
    EXPECT_EQ(dialogs, 0);
}

// Whoever runs the tests, a missing executable is reported before anyone is asked.
TEST(Elevation, MissingExecutableAndTheElevationServiceWithoutAnyPrompt)
{
    int dialogs = 0;
    CShowModalHook hook([&](ShowModalEvent& event) { ++dialogs, event.result = wxID_CANCEL; });
    CFakeLayerScope layer;
    for (const wchar_t* pkexec : {L"", L"/usr/bin/env"}) {
        SCOPED_TRACE(zil::String(pkexec).toUTF8());
        layer.fake->pkexec = pkexec;
        const zil::CError e =
            thrown([] { startElevated(zil::CExecCommand(L"no-such-tool-here").addArgument(L"x")); });
        EXPECT_EQ(e.getCode(), ENOENT);
        EXPECT_EQ(e.getProp(L"commandLine"), L"no-such-tool-here x");
    }

    // pkexec replaces itself with the command after the desktop's prompt; the process returned
    // must be the command's, and a dismissed prompt is not a missing pkexec.
    CTempFolder folder;
    // Named pkexec, as the real one is; env runs its arguments as pkexec does after consent.
    ASSERT_EQ(::symlink("/usr/bin/env", folder.api(L"pkexec").c_str()), 0);
    ::mkdir(folder.api(L"dismissed").c_str(), 0755);
    folder.writeFile(L"dismissed/pkexec", "#!/bin/sh\nsleep 0.2\nexit 126\n");
    ::chmod(folder.api(L"dismissed/pkexec").c_str(), 0755);

    layer.fake->pkexec = (folder / L"pkexec").str();
    zil::P<zil::CProcess> process = startElevated(zil::CExecCommand(L"sleep").addArgument(L"30"));
    std::string name;
    std::getline(std::ifstream("/proc/" + std::to_string(process->getID()) + "/comm"), name);
    EXPECT_EQ(name, "sleep");
    process->kill();
    EXPECT_TRUE(process->wait(kHangMs));

    layer.fake->pkexec = (folder / L"dismissed/pkexec").str();
    const zil::CError dismissed = thrown([] { startElevated(zil::CExecCommand(L"true")); });
    EXPECT_EQ(dismissed.getCode(), ECANCELED);
    EXPECT_EQ(dismissed.getProp(L"exitCode"), L"126");
    EXPECT_EQ(dismissed.getProp(L"func"), L"pkexec");

    layer.fake->pkexec = (folder / L"gone/pkexec").str();
    const zil::CError missing = thrown([] { startElevated(zil::CExecCommand(L"true")); });
    EXPECT_EQ(missing.getCode(), ENOENT);
    EXPECT_TRUE(missing.getMessage().Contains(L"gone/pkexec"));
    EXPECT_EQ(dialogs, 0);
    EXPECT_TRUE(layer.fake->started.empty());
}

// Eight workers ask at once. The GUI thread serves them one prompt at a time even while a
// prompt runs its own event loop, and each worker gets its own outcome: a process, or the
// error raised on the GUI thread.
TEST(Elevation, WorkersAreServedOneAfterAnotherThroughTheAction)
{
    CFakeLayerScope layer;
    constexpr int kWorkers = 8;
    std::vector<Answer> answers;
    for (int i = 0; i < kWorkers; ++i)
        answers.push_back({"alice", "right h\u00f6rse", i % 2 == 0 ? wxID_OK : wxID_CANCEL});
    CScriptedUser user(answers, 40);

    std::mutex mutex;
    std::vector<int64_t> pids;
    std::vector<int> errorCodes;
    std::atomic<int> done{0};
    std::vector<std::thread> workers;
    for (int i = 0; i < kWorkers; ++i) {
        workers.emplace_back([&] {
            try {
                const int64_t pid = startElevated(zil::CExecCommand(L"true"), true)->getID();
                std::lock_guard<std::mutex> lock(mutex);
                pids.push_back(pid);
            } catch (const zil::CError& e) {
                std::lock_guard<std::mutex> lock(mutex);
                errorCodes.push_back(e.getCode());
            }
            ++done;
        });
    }
    const bool allDone = runLoopUntil([&] { return done == kWorkers; }, 60000);
    for (std::thread& worker : workers)
        allDone ? worker.join() : worker.detach();
    ASSERT_TRUE(allDone);
    EXPECT_EQ(user.mostOpen, 1);
    EXPECT_EQ(user.prompts, kWorkers);
    EXPECT_EQ(errorCodes, std::vector<int>(kWorkers / 2, ECANCELED));
    ASSERT_EQ(pids.size(), size_t(kWorkers / 2));
    ASSERT_EQ(layer.fake->started.size(), pids.size());
    for (const auto& [user, pid] : layer.fake->started)
        EXPECT_EQ(std::count(pids.begin(), pids.end(), pid), 1) << "the worker got another's process";
}
