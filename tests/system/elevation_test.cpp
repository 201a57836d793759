// SPDX-License-Identifier: MIT
#include "app/apptestutil.h"
#include "support/guitest.h"
#include "zil/temp_folder.h"

#include <zilui/app/eventconnection.h>
#include <zilui/app/strings.h>
#include <zilui/system/elevation.h>

#include <zil/accounts.h>
#include <zil/error.h>
#include <zil/process.h>

#include <gtest/gtest.h>

#include <wx/combobox.h>
#include <wx/msgdlg.h>
#include <wx/textctrl.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cerrno>
#include <deque>
#include <fstream>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

using namespace zilui;
using namespace zilui::test;
using zil::test::CTempFolder;

namespace {

constexpr int kHangMs = 20000; // only there to turn a hang into a failure

// Accounts that exist only for the test; the start runs the command as this process.
class CFakeAccounts : public zil::CBase, public IAdminAccountLayer {
public:
    struct Account {
        std::string password;
        bool admin = false;
        bool restricted = false;
    };
    std::map<zil::String, Account> accounts{
        {L"alice", {"right horse", true}},
        {L"bob", {"bob's", true}},
        {L"carol", {"carols", false}},
        {L"dave", {"dave", true, true}},
    };
    zil::String pkexec;
    std::vector<zil::String> startedAs;
    std::vector<int64_t> startedPids;

    bool isProcessUserAdmin() override { return false; }
    zil::String getElevationServicePath() override { return pkexec; }
    zil::TArray<zil::String> getAdministratorAccounts() override
    {
        zil::TArray<zil::String> names;
        for (const auto& [name, account] : accounts)
            if (account.admin)
                names.push_back(name);
        return names;
    }
    LogOnResult logOn(const zil::String& user, const zil::CCredentialBuffer& password) override
    {
        const auto found = accounts.find(user);
        if (found == accounts.end())
            throw zil::CInvalidArgError(L"Unknown account '" + user + L"'");
        LogOnResult result;
        if (found->second.password != std::string(password.data(), password.size())) {
            result.text = L"Authentication failure";
            return result;
        }
        result.status = found->second.restricted ? LogOnResult::statusRestricted : LogOnResult::statusOK;
        return result;
    }
    bool isAdministrator(const zil::String& user) override { return accounts.at(user).admin; }
    zil::P<zil::CProcess> startAs(const zil::CExecCommand& command, const zil::String& user,
                                  const zil::CCredentialBuffer&) override
    {
        zil::P<zil::CProcess> process = zil::execAsync(command);
        startedAs.push_back(user);
        startedPids.push_back(process->getID());
        return process;
    }
};

class CFakeLayerScope {
public:
    explicit CFakeLayerScope(CFakeAccounts* layer) { setAdminAccountLayer(layer); }
    ~CFakeLayerScope() { setAdminAccountLayer(nullptr); }
};

// What the user does with one credential prompt.
struct Answer {
    const char* user;
    const char* password;
    int button = wxID_OK;
};

struct ShownBox {
    std::string title;
    std::string message;
    long style;
};

// Answers credential prompts from a script and records every message box.
class CScriptedUser {
public:
    explicit CScriptedUser(std::vector<Answer> answers) : m_answers(answers.begin(), answers.end()) {}

    void handle(ShowModalEvent& event)
    {
        if (auto* box = dynamic_cast<wxMessageDialog*>(event.dialog)) {
            boxes.push_back({box->GetTitle().utf8_string(), box->GetMessage().utf8_string(), box->GetMessageDialogStyle()});
            event.result = wxID_OK;
            return;
        }
        auto* prompt = dynamic_cast<CCredentialDialog*>(event.dialog);
        ASSERT_TRUE(prompt) << "unexpected dialog";
        ++prompts;
        title = prompt->GetTitle().utf8_string();
        ASSERT_FALSE(m_answers.empty()) << "asked more often than the user answers";
        const Answer answer = m_answers.front();
        m_answers.pop_front();
        auto* user = dynamic_cast<wxComboBox*>(prompt->FindWindowByName("user"));
        auto* password = dynamic_cast<wxTextCtrl*>(prompt->FindWindowByName("password"));
        ASSERT_TRUE(user && password);
        const wxArrayString strings = user->GetStrings();
        offered = std::vector<wxString>(strings.begin(), strings.end());
        user->SetValue(wxString::FromUTF8(answer.user));
        password->SetValue(wxString::FromUTF8(answer.password));
        event.result = answer.button;
    }

    int prompts = 0;
    std::string title;
    std::vector<wxString> offered;
    std::vector<ShownBox> boxes;

private:
    std::deque<Answer> m_answers;
};

// Memory the test hands to credential buffers, to look into after they are gone.
struct CGivenMemory {
    std::vector<char> bytes = std::vector<char>(1 << 20, 'x');
    size_t used = 0;
    CGivenMemory()
    {
        zil::CCredentialBuffer::setAllocator(
            [this](size_t size) -> void* {
                if (used + size > bytes.size())
                    return nullptr;
                used += size;
                return bytes.data() + used - size;
            },
            [](void*, size_t) {});
    }
    ~CGivenMemory() { zil::CCredentialBuffer::setAllocator(nullptr, nullptr); }
    bool holds(const std::string& text) const
    {
        return std::search(bytes.begin(), bytes.end(), text.begin(), text.end()) != bytes.end();
    }
};

zil::CError thrownBy(const std::function<void()>& operation)
{
    try {
        operation();
    } catch (const zil::CError& e) {
        return e;
    }
    ADD_FAILURE() << "nothing thrown";
    return zil::CError(L"(nothing thrown)");
}

} // namespace

// Every way a user can get the prompt wrong asks again with the right message; only a
// working administrator account starts the command, and no password is left behind.
TEST(Elevation, PromptLoopAsksAgainUntilAnAdministratorLogsOn)
{
    zil::P<CFakeAccounts> accounts(new CFakeAccounts());
    CFakeLayerScope layer(accounts.get());
    CScriptedUser user({{"bob", "wrong"},
                        {"alice", ""},
                        {"carol", "carols"},
                        {"dave", "dave"},
                        {"-c", "x"},
                        {"alice", "right horse"}});
    CShowModalHook hook([&](ShowModalEvent& event) { user.handle(event); });
    CGivenMemory memory;

    zil::P<zil::CProcess> process =
        execAsyncAsAdminWithGUIPrompt(zil::CExecCommand(L"true"), &sharedFrame(), false, false);

    ASSERT_TRUE(process);
    EXPECT_EQ(accounts->startedAs, std::vector<zil::String>{L"alice"});
    EXPECT_EQ(accounts->startedPids, std::vector<int64_t>{process->getID()});
    EXPECT_EQ(user.prompts, 6);
    EXPECT_EQ(user.title, "Administrator Access");
    EXPECT_EQ(user.offered, (std::vector<wxString>{"alice", "bob", "dave"}));
    // The message box puts a space into empty lines.
    const std::string cannotUse = "Unable to use the account 'alice'.\n \nPlease ensure that the account is enabled and "
                                  "that it has a password assigned (accounts without passwords cannot be used for "
                                  "security reasons).";
    ASSERT_EQ(user.boxes.size(), 5u);
    EXPECT_EQ(user.boxes[0].title, "Error");
    EXPECT_EQ(user.boxes[0].message, "Authentication failure");
    EXPECT_EQ(user.boxes[1].title, "Cannot use account");
    EXPECT_EQ(user.boxes[1].message.substr(0, cannotUse.size()), cannotUse);
    EXPECT_NE(user.boxes[1].message.find(".\n \nAnother solution would be to install"), std::string::npos);
    EXPECT_EQ(user.boxes[2].title, "Not an administrator");
    EXPECT_EQ(user.boxes[2].message, "The selected user account is not an administrator account. Please specify an "
                                     "administrator account.");
    EXPECT_TRUE(user.boxes[2].style & wxICON_ERROR);
    // A restricted account with its right password gets the message without the hint.
    EXPECT_EQ(user.boxes[3].title, "Cannot use account");
    EXPECT_EQ(user.boxes[3].message.find("Another solution"), std::string::npos);
    EXPECT_EQ(user.boxes[4].message, "Unknown account '-c'");
    for (const char* secret : {"right horse", "wrong", "carols"})
        EXPECT_FALSE(memory.holds(secret)) << secret;
    EXPECT_GT(memory.used, 0u) << "the passwords went somewhere else than the credential buffers";
    EXPECT_TRUE(process->wait(kHangMs));
}

TEST(Elevation, CancelledPromptRaisesTheCancelledErrorAndStartsNothing)
{
    zil::P<CFakeAccounts> accounts(new CFakeAccounts());
    CFakeLayerScope layer(accounts.get());
    CScriptedUser user({{"bob", "wrong"}, {"alice", "right horse", wxID_CANCEL}});
    CShowModalHook hook([&](ShowModalEvent& event) { user.handle(event); });
    CGivenMemory memory;

    const zil::CError e = thrownBy([] {
        execAsyncAsAdminWithGUIPrompt(zil::CExecCommand(L"true").addArgument(L"a b"), nullptr, false, false);
    });
    EXPECT_EQ(e.getCode(), ECANCELED);
    EXPECT_EQ(e.getProp(L"commandLine"), L"true 'a b'");
    EXPECT_EQ(e.getProp(L"action"), L"execAsyncAsAdminWithGUIPrompt");
    EXPECT_TRUE(accounts->startedAs.empty());
    EXPECT_EQ(user.prompts, 2);
    EXPECT_FALSE(memory.holds("right horse"));
}

TEST(Elevation, MissingExecutableFailsWithoutAnyPrompt)
{
    zil::P<CFakeAccounts> accounts(new CFakeAccounts());
    CFakeLayerScope layer(accounts.get());
    int dialogs = 0;
    CShowModalHook hook([&](ShowModalEvent& event) { ++dialogs, event.result = wxID_CANCEL; });
    for (const wchar_t* pkexec : {L"", L"/usr/bin/env"}) {
        SCOPED_TRACE(zil::String(pkexec).toUTF8());
        accounts->pkexec = pkexec;
        const zil::CError e = thrownBy([] {
            execAsyncAsAdminWithGUIPrompt(zil::CExecCommand(L"no-such-tool-here").addArgument(L"x"), nullptr, false, false);
        });
        EXPECT_EQ(e.getCode(), ENOENT);
        EXPECT_EQ(e.getProp(L"commandLine"), L"no-such-tool-here x");
    }
    EXPECT_EQ(dialogs, 0);
}

// Tests run as root here; the real account layer then starts the command directly.
TEST(Elevation, AsRootTheCommandStartsDirectly)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root";
    int dialogs = 0;
    CShowModalHook hook([&](ShowModalEvent& event) { ++dialogs, event.result = wxID_CANCEL; });
    CTempFolder folder;
    zil::CExecCommand command(L"/bin/sh");
    command.addArgument(L"-c").addArgument(L"id -u > \"$1\"").addArgument(L"sh").addArgument((folder / L"out").str());
    zil::P<zil::CProcess> process = execAsyncAsAdminWithGUIPrompt(command, nullptr, true, false);
    ASSERT_TRUE(process->wait(kHangMs));
    EXPECT_EQ(zil::test::readFile(folder / L"out"), "0\n");
    EXPECT_EQ(dialogs, 0);
}

// pkexec replaces itself with the command after the desktop's prompt; the process returned
// must be the command's, and a dismissed prompt is not a missing pkexec.
TEST(Elevation, ThroughTheElevationService)
{
    zil::P<CFakeAccounts> accounts(new CFakeAccounts());
    CFakeLayerScope layer(accounts.get());
    int dialogs = 0;
    CShowModalHook hook([&](ShowModalEvent& event) { ++dialogs, event.result = wxID_CANCEL; });
    CTempFolder folder;
    // Named pkexec, as the real one is; env runs its arguments like pkexec after consent.
    ASSERT_EQ(::symlink("/usr/bin/env", folder.api(L"pkexec").c_str()), 0);
    ::mkdir(folder.api(L"dismissed").c_str(), 0755);
    folder.writeFile(L"dismissed/pkexec", "#!/bin/sh\nsleep 0.2\nexit 126\n");
    ::chmod(folder.api(L"dismissed/pkexec").c_str(), 0755);

    accounts->pkexec = (folder / L"pkexec").str();
    zil::P<zil::CProcess> process =
        execAsyncAsAdminWithGUIPrompt(zil::CExecCommand(L"sleep").addArgument(L"30"), nullptr, false, false);
    std::ifstream comm("/proc/" + std::to_string(process->getID()) + "/comm");
    std::string name;
    std::getline(comm, name);
    EXPECT_EQ(name, "sleep");
    process->kill();
    EXPECT_TRUE(process->wait(kHangMs));

    accounts->pkexec = (folder / L"dismissed/pkexec").str();
    const zil::CError dismissed =
        thrownBy([] { execAsyncAsAdminWithGUIPrompt(zil::CExecCommand(L"true"), nullptr, false, false); });
    EXPECT_EQ(dismissed.getCode(), ECANCELED);
    EXPECT_EQ(dismissed.getProp(L"exitCode"), L"126");
    EXPECT_EQ(dismissed.getProp(L"func"), L"pkexec");

    accounts->pkexec = (folder / L"gone/pkexec").str();
    const zil::CError missing =
        thrownBy([] { execAsyncAsAdminWithGUIPrompt(zil::CExecCommand(L"true"), nullptr, false, false); });
    EXPECT_EQ(missing.getCode(), ENOENT);
    EXPECT_NE(missing.getMessage().find(L"gone/pkexec"), zil::String::npos);
    EXPECT_EQ(dialogs, 0);
    EXPECT_TRUE(accounts->startedAs.empty());
}

// Eight workers ask at once. The GUI thread serves them one prompt at a time even while a
// prompt runs its own event loop, and each worker gets its own outcome: a process, or the
// error raised on the GUI thread.
TEST(Elevation, WorkersAreServedOneAfterAnotherThroughTheAction)
{
    zil::P<CFakeAccounts> accounts(new CFakeAccounts());
    CFakeLayerScope layer(accounts.get());
    constexpr int kWorkers = 8;
    int open = 0, mostOpen = 0, prompts = 0;
    CShowModalHook hook([&](ShowModalEvent& event) {
        auto* prompt = dynamic_cast<CCredentialDialog*>(event.dialog);
        ASSERT_TRUE(prompt);
        mostOpen = std::max(mostOpen, ++open);
        // As a shown prompt's own loop would: queued events go on while the user types.
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(40);
        while (std::chrono::steady_clock::now() < until) {
            processPendingEvents();
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        dynamic_cast<wxComboBox*>(prompt->FindWindowByName("user"))->SetValue("alice");
        dynamic_cast<wxTextCtrl*>(prompt->FindWindowByName("password"))->SetValue("right horse");
        event.result = prompts++ % 2 == 0 ? wxID_OK : wxID_CANCEL;
        --open;
    });

    std::mutex mutex;
    std::vector<int64_t> pids;
    std::vector<int> errorCodes;
    std::atomic<int> done{0};
    std::vector<std::thread> workers;
    for (int i = 0; i < kWorkers; ++i) {
        workers.emplace_back([&] {
            try {
                zil::P<zil::CProcess> process =
                    execAsyncAsAdminWithGUIPrompt(zil::CExecCommand(L"true"), nullptr, true, false);
                std::lock_guard<std::mutex> lock(mutex);
                pids.push_back(process->getID());
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
    EXPECT_EQ(mostOpen, 1);
    EXPECT_EQ(prompts, kWorkers);
    EXPECT_EQ(errorCodes, std::vector<int>(kWorkers / 2, ECANCELED));
    std::sort(pids.begin(), pids.end());
    std::sort(accounts->startedPids.begin(), accounts->startedPids.end());
    EXPECT_EQ(pids, accounts->startedPids);
    EXPECT_EQ(pids.size(), size_t(kWorkers / 2));
}
