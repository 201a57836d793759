// SPDX-License-Identifier: MIT
#include "app/apptestutil.h"
#include "support/guitest.h"
#include "zil/given_memory.h"

#include <zilui/system/elevation.h>

#include <gtest/gtest.h>

#include <wx/combobox.h>
#include <wx/msgdlg.h>
#include <wx/textctrl.h>
#include <wx/timer.h>

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
        {L"dave", {"dave", true, true}},
        {L"erin", {"", true, true}}};
    zil::String pkexec;
    std::vector<std::pair<zil::String, int64_t>> started;

    bool isProcessUserAdmin() override { return false; }
    zil::String getElevationServicePath() override { return pkexec; }
    zil::TArray<zil::String> getAdministratorAccounts() override { return {L"alice", L"bob", L"dave", L"erin"}; }
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
    std::vector<wxString> errorsShown; // each prompt's reason for the last failure, "" for none
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
        const wxWindow* error = event.dialog->FindWindowByName("error");
        errorsShown.push_back(error ? error->GetLabel() : wxString());
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
                            {"erin", ""},
                            {"-c", "x"},
                            {"alice", "right h\u00f6rse"}});
        zil::P<zil::CProcess> process = startElevated(zil::CExecCommand(L"true"));
        EXPECT_EQ(layer.fake->started,
                  (std::vector<std::pair<zil::String, int64_t>>{{L"alice", process->getID()}}));
        EXPECT_EQ(user.prompts, 7);
        EXPECT_EQ(wxJoin(user.offered, ','), "alice,bob,dave,erin");
        // The last log-on failure stays in the prompt until another replaces it; an account
        // that is no administrator logged on fine.
        EXPECT_EQ(user.errorsShown,
                  (std::vector<wxString>{"", "Authentication failure", "Authentication failure",
                                         "Authentication failure", "", "", "Unknown account '-c'"}));
        // The message box puts a space into empty lines.
        const wxString cannotUse =
            "Unable to use the account 'alice'.\n \nPlease ensure that the account is enabled "
            "and that it has a password assigned (accounts without passwords cannot be used "
            "for security reasons).";
        // A restricted account gets the hint about empty passwords only when its password
        // was empty; an empty password that is just wrong gets the system's message.
        wxString restricted = cannotUse;
        restricted.Replace("alice", "dave");
        wxString restrictedEmpty = cannotUse;
        restrictedEmpty.Replace("alice", "erin");
        const std::vector<std::pair<wxString, wxString>> expected{
            {"Error", "Authentication failure"},
            {"Error", "Authentication failure"},
            {"Not an administrator", "The selected user account is not an administrator account. Please "
                                     "specify an administrator account."},
            {"Cannot use account", restricted},
            {"Cannot use account",
             restrictedEmpty +
                 "\n \nAnother solution would be to install the system's elevation service (polkit's pkexec) "
                 "and then restart this program. If it is installed then you can also use accounts which "
                 "have no passwords."},
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

// pkexec without a polkit agent ends with 127 before anybody was asked: the library's own
// prompt must follow instead of a silent "cancelled".
TEST(Elevation, PkexecWithoutAnAgentFallsBackToThePrompt)
{
    CFakeLayerScope layer;
    CTempFolder folder;
    folder.writeFile(L"pkexec", "#!/bin/sh\necho 'Error executing command as another user: No authentication agent "
                                "found.' >&2\nexit 127\n");
    ::chmod(folder.api(L"pkexec").c_str(), 0755);
    layer.fake->pkexec = (folder / L"pkexec").str();
    CScriptedUser user(std::vector<Answer>{{"alice", "right h\u00f6rse"}});
    zil::P<zil::CProcess> process = startElevated(zil::CExecCommand(L"true"));
    EXPECT_EQ(user.prompts, 1);
    EXPECT_EQ(layer.fake->started, (std::vector<std::pair<zil::String, int64_t>>{{L"alice", process->getID()}}));
    EXPECT_TRUE(process->wait(kHangMs));
}

// While the desktop's prompt is open the program goes on: its timers run and it paints, but
// its windows take no input, as under a modal dialog. The stand-in pkexec goes on only once
// the program's timer has ticked three times.
TEST(Elevation, TheProgramRunsWhilePkexecAsksButItsWindowsTakeNoInput)
{
    CFakeLayerScope layer;
    CTempFolder folder;
    const std::string flag = folder.api(L"ticked");
    folder.writeFile(L"pkexec", "#!/bin/sh\ni=0\nwhile [ ! -e '" + flag +
                                    "' ]; do i=$((i+1)); [ $i -gt 2000 ] && exit 3; sleep 0.01; done\nexec \"$@\"\n");
    ::chmod(folder.api(L"pkexec").c_str(), 0755);
    layer.fake->pkexec = (folder / L"pkexec").str();

    int ticks = 0;
    bool frameTookInput = false;
    wxTimer timer;
    timer.Bind(wxEVT_TIMER, [&](wxTimerEvent&) {
        frameTookInput = frameTookInput || sharedFrame().IsEnabled();
        if (++ticks == 3)
            folder.writeFile(L"ticked", "");
    });
    timer.Start(10);
    zil::P<zil::CProcess> process = startElevated(zil::CExecCommand(L"sleep").addArgument(L"30"));
    timer.Stop();
    std::string name;
    std::getline(std::ifstream("/proc/" + std::to_string(process->getID()) + "/comm"), name);
    EXPECT_EQ(name, "sleep") << "pkexec gave up: the timer did not tick while it waited";
    EXPECT_GE(ticks, 3);
    EXPECT_FALSE(frameTookInput);
    EXPECT_TRUE(sharedFrame().IsEnabled());
    process->kill();
    EXPECT_TRUE(process->wait(kHangMs));
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

// ---------------------------------------------------------------------------------------
// The system's account layer with real accounts, groups, password checks, su and sudo:
// nss_wrapper and pam_wrapper give the accounts, uid_wrapper lets the run be alice (an
// administrator through the group sudo) instead of root. The parent runs this binary again
// with them for the DISABLED_WrappedElevation tests, which a plain run leaves out.

namespace {

const char* const kWrapperDir = "/usr/lib/x86_64-linux-gnu/";
const char* const kWrappedFolder = "ZILUI_TEST_WRAPPED_ELEVATION";

// pam_matrix's account stage wants the service in each line, so one file per service.
std::string bobsPassword()
{
    std::string password;
    while (password.size() < zil::CSystemAccountManager::getMaxPasswordLength())
        password += "long horse ";
    return password.substr(0, zil::CSystemAccountManager::getMaxPasswordLength());
}

} // namespace

TEST(Elevation, RealAccountsThroughSuAndSudoUnderWrappers)
{
    if (std::getenv(kWrappedFolder))
        GTEST_SKIP() << "the wrapped run itself";
#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
    GTEST_SKIP() << "the wrappers open libraries with RTLD_DEEPBIND, which the sanitizer runtimes refuse";
#endif
#endif
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root: su and sudo take the wrappers only when nothing is setuid for real";
    const std::string dir = kWrapperDir;
    for (const std::string& file : {dir + "libnss_wrapper.so", dir + "libpam_wrapper.so", dir + "libuid_wrapper.so",
                                    dir + "pam_wrapper/pam_matrix.so", std::string("/usr/bin/sudo")})
        ASSERT_EQ(::access(file.c_str(), R_OK), 0) << file << " missing: scripts/setup.sh installs it";

    CTempFolder folder;
    folder.writeFile(L"passwd", "root:x:0:0::/root:/bin/sh\nalice:x:1001:1001::/:/bin/sh\n"
                                "bob:x:1002:1002::/:/bin/sh\n");
    folder.writeFile(L"group", "root:x:0:\nsudo:x:27:alice,bob\nalice:x:1001:\nbob:x:1002:\n");
    ::mkdir(folder.api(L"pam.d").c_str(), 0755);
    for (const char* service : {"su", "sudo", "login", "other"}) {
        const std::string name = service;
        const std::string passdb = folder.api(zil::String::fromUTF8("passdb-" + name));
        folder.writeFile(zil::String::fromUTF8("passdb-" + name),
                         "alice:right horse:" + name + "\nroot:rooty:" + name + "\nbob:" + bobsPassword() + ":" +
                             name + "\n");
        const std::string matrix = dir + "pam_wrapper/pam_matrix.so passdb=" + passdb;
        folder.writeFile(zil::String::fromUTF8("pam.d/" + name), "auth required " + matrix +
                                                                     "\naccount required " + matrix +
                                                                     "\nsession required pam_permit.so\n");
    }
    zil::CExecCommand command(zil::CProcess::getOwnExecutablePath());
    command.addArgument(L"--gtest_filter=DISABLED_WrappedElevation.*").addArgument(L"--gtest_also_run_disabled_tests");
    command.setEnvironment({
        {zil::String::fromUTF8(kWrappedFolder), folder.path().str()},
        {L"LD_PRELOAD", zil::String::fromUTF8(dir + "libnss_wrapper.so:" + dir + "libpam_wrapper.so:" + dir +
                                              "libuid_wrapper.so")},
        {L"NSS_WRAPPER_PASSWD", (folder / L"passwd").str()},
        {L"NSS_WRAPPER_GROUP", (folder / L"group").str()},
        {L"PAM_WRAPPER", L"1"},
        {L"PAM_WRAPPER_SERVICE_DIR", (folder / L"pam.d").str()},
        {L"UID_WRAPPER", L"1"},
        {L"UID_WRAPPER_INITIAL_RUID", L"1001"},
        {L"UID_WRAPPER_INITIAL_EUID", L"1001"},
        {L"UID_WRAPPER_INITIAL_SUID", L"1001"},
        {L"UID_WRAPPER_INITIAL_RGID", L"1001"},
        {L"UID_WRAPPER_INITIAL_EGID", L"1001"},
        {L"UID_WRAPPER_INITIAL_SGID", L"1001"},
    });
    zil::P<zil::CProcess> run = zil::execAsync(command);
    ASSERT_TRUE(run->wait(120000));
    EXPECT_EQ(run->getExitCode(), 0) << "the wrapped run failed: see its output above";
}

// alice, who runs the program, is an administrator through the group sudo: after the
// refusals below the command runs through sudo as root. Each refusal is told in the
// system's words and shows in the next prompt: an empty password, and the longest one the
// field takes, whose beginning is bob's password; no password is left in the credential
// buffers.
TEST(DISABLED_WrappedElevation, AnAdministratorOfTheGroupSudoGetsUserIdZero)
{
    const char* folderText = std::getenv(kWrappedFolder);
    ASSERT_TRUE(folderText) << "runs only under the wrappers, started by RealAccountsThroughSuAndSudoUnderWrappers";
    ASSERT_EQ(::getuid(), 1001u);
    ASSERT_FALSE(zil::CSystemAccountManager::isProcessUserAdmin());
    // What su and sudo, setuid programs, start with: the caller's user id and root's
    // effective one. uid_wrapper does not know the setuid bit, and it took the variables it
    // started this process with out of the environment; children read these.
    for (const auto& [name, value] : {std::pair{"RUID", "1001"}, {"EUID", "0"}, {"SUID", "0"}, {"RGID", "1001"},
                                      {"EGID", "1001"}, {"SGID", "1001"}})
        ::setenv((std::string("UID_WRAPPER_INITIAL_") + name).c_str(), value, 1);

    struct CNoPkexec : CSystemAdminAccountLayer {
        zil::String getElevationServicePath() override { return zil::String(); }
    };
    zil::P<CNoPkexec> layer(new CNoPkexec());
    setAdminAccountLayer(layer.get());
    // The terminal conversations release their copies from their own threads, after the
    // processes have ended, later than this test can see: the memory outlives the test (this
    // run of the binary holds no other).
    CGivenMemory& memory = *new CGivenMemory();
    const zil::Path out = zil::Path(zil::String::fromUTF8(folderText)) / L"out";
    zil::P<zil::CProcess> process;
    {
        // As many characters as the field takes, of three bytes each after the first 511.
        std::string tooLong = bobsPassword();
        for (size_t i = tooLong.size(); i < 65535; ++i)
            tooLong += "\u20ac";
        CScriptedUser user({{"alice", ""}, {"bob", tooLong.c_str()}, {"alice", "right horse"}});
        zil::CExecCommand command(L"/bin/sh");
        command.addArgument(L"-c")
            .addArgument(L"{ id -u; id -ru; echo \"$SUDO_USER\"; } > \"$1\"")
            .addArgument(L"sh")
            .addArgument(out.str());
        process = startElevated(command);
        EXPECT_EQ(user.prompts, 3);
        EXPECT_EQ(wxJoin(user.offered, ','), "alice,bob,root");
        const std::vector<std::pair<wxString, wxString>> refusals(2, {"Error", "Authentication failure"});
        EXPECT_EQ(user.boxes, refusals);
        EXPECT_EQ(user.errorsShown, (std::vector<wxString>{"", "Authentication failure", "Authentication failure"}));
    }
    ASSERT_TRUE(process->wait(kHangMs));
    EXPECT_EQ(process->getExitCode(), 0);
    EXPECT_EQ(zil::test::readFile(out), "0\n0\nalice\n");
    // The conversation's copy is wiped by its own thread once sudo was answered.
    EXPECT_TRUE(runLoopUntil([&] { return !memory.holds("right horse"); }, kHangMs));
    EXPECT_FALSE(memory.holds("long horse"));

    // sudo refusing what su accepted (its own PAM service knows another password) asks again,
    // which nobody can answer: the start must end instead of waiting at sudo's prompt.
    const zil::Path sudoPassdb = zil::Path(zil::String::fromUTF8(folderText)) / L"passdb-sudo";
    std::ofstream(sudoPassdb.toAPIPath()) << "alice:other horse:sudo\n";
    {
        CScriptedUser user(std::vector<Answer>{{"alice", "right horse"}});
        zil::CExecCommand command(L"/bin/sh");
        command.addArgument(L"-c").addArgument(L"id -u > \"$1\"").addArgument(L"sh").addArgument((out.str() + L"2"));
        process = startElevated(command);
    }
    ASSERT_TRUE(process->wait(kHangMs)) << "sudo's second prompt was left waiting";
    EXPECT_NE(process->getExitCode(), 0);
    EXPECT_NE(::access((out.toAPIPath() + "2").c_str(), F_OK), 0) << "the command ran although sudo refused";
    EXPECT_TRUE(runLoopUntil([&] { return !memory.holds("right horse"); }, kHangMs));
    setAdminAccountLayer(nullptr);
}
