// SPDX-License-Identifier: MIT
#include <zilui/system/elevation.h>

#include <zilui/app/appbase.h>
#include <zilui/app/eventconnection.h>
#include <zilui/app/language.h>
#include <zilui/app/logging.h>
#include <zilui/app/strings.h>

#include <zil/log.h>
#include <zil/path.h>

#include <wx/combobox.h>
#include <wx/evtloop.h>
#include <wx/msgdlg.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/timer.h>
#include <wx/utils.h>

#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <deque>
#include <fstream>
#include <functional>
#include <string>
#include <thread>

namespace zilui {

namespace {

// What the password field takes, in characters; the buffer holds that many of any kind.
constexpr size_t kMaxPasswordChars = 65535;
constexpr size_t kMaxPasswordBytes = kMaxPasswordChars * 4;
// pkexec's exit statuses for a dismissed prompt and for a refusal or no agent to ask.
constexpr int kPkexecDismissed = 126;
constexpr int kPkexecNotAuthorized = 127;
// How often the start through pkexec looks whether pkexec has become the command.
constexpr int kPkexecPollMs = 20;

const wchar_t* const kAction = L"execAsyncAsAdminWithGUIPrompt";

zil::CMutex& layerMutex()
{
    static zil::CMutex mutex;
    return mutex;
}

zil::P<IAdminAccountLayer>& layerSlot()
{
    static zil::P<IAdminAccountLayer> layer;
    return layer;
}

[[noreturn]] void throwCancelled(const zil::String& func, const zil::String& commandLine,
                                 const zil::CProps& extra = zil::CProps())
{
    zil::CProps props = extra;
    props.set(L"action", kAction);
    props.set(L"commandLine", commandLine);
    zil::throwSysError(func, ZILUI_TR("Administrator access"), props, ECANCELED);
}

// The name the kernel shows for a process (at most 15 bytes of its executable's file name).
std::string readProcessName(int64_t pid)
{
    std::ifstream file("/proc/" + std::to_string(pid) + "/comm");
    std::string name;
    std::getline(file, name);
    return name;
}

// Waits until `done` holds. On the GUI thread the program's events go on being handled
// meanwhile (timers, painting, what other threads post) while its windows take no input, as
// under a modal dialog; elsewhere it simply polls.
void waitWhileModal(const std::function<bool()>& done)
{
    if (!wxTheApp || !wxIsMainThread()) {
        while (!done())
            std::this_thread::sleep_for(std::chrono::milliseconds(kPkexecPollMs));
        return;
    }
    if (done())
        return;
    wxWindowDisabler disabler;
    wxGUIEventLoop loop;
    wxTimer check;
    check.Bind(wxEVT_TIMER, [&](wxTimerEvent&) {
        if (done() && loop.IsRunning())
            loop.Exit();
    });
    check.Start(kPkexecPollMs);
    loop.Run();
}

// pkexec asks through the desktop's polkit agent, then replaces itself with the command,
// so its process becomes the command's. Waits for that (the kernel's name for the process
// changes) or for pkexec to end. Null when pkexec had nobody to ask (or was refused): the
// library's own prompt is then the way left.
zil::P<zil::CProcess> startThroughPkexec(const zil::String& pkexec, const zil::String& executable,
                                         const zil::CExecCommand& command)
{
    // The executable is absolute, so pkexec cannot mistake it for one of its options.
    zil::CExecCommand elevated(pkexec);
    elevated.addArgument(executable);
    for (const zil::String& argument : command.getArguments())
        elevated.addArgument(argument);
    elevated.setWorkingFolder(command.getWorkingFolder());
    elevated.setEnvironment(command.getEnvironment());
    elevated.setHidden(command.isHidden());

    zil::P<zil::CProcess> process = zil::execAsync(elevated);
    const std::string pkexecName = zil::Path(pkexec).getFileName().toUTF8().substr(0, 15);
    bool ended = false;
    waitWhileModal([&] {
        if (process->wait(0))
            return ended = true;
        const std::string name = readProcessName(process->getID());
        return !name.empty() && name != pkexecName;
    });
    if (!ended)
        return process;
    const int status = process->getExitCode();
    if (status == kPkexecNotAuthorized) {
        zil::logWarning(L"pkexec could not obtain authorization (exit status 127, no polkit agent?). Asking "
                        L"with the library's prompt instead.");
        return nullptr;
    }
    if (status == kPkexecDismissed) {
        zil::CProps props;
        props.set(L"exitCode", zil::toString(int64_t(status)));
        throwCancelled(L"pkexec", command.getCommandLine(), props);
    }
    return process; // the command ran and has ended already
}

struct CPromptTexts {
    zil::String title = ZILUI_TR("Administrator Access");
    zil::String message =
        ZILUI_TR("Administrator privileges are required to continue.") + L"\n\n" +
        ZILUI_TR("Please select an administrator account for your computer and enter its password.") + L" " +
        ZILUI_TR("If the account does not have a password then simply leave that field empty.");
};

zil::String cannotUseAccountText(const zil::String& user, bool emptyPassword)
{
    zil::String text =
        ZILUI_TR("Unable to use the account '$ACCOUNT$'.\n\nPlease ensure that the account is enabled "
                 "and that it has a password assigned (accounts without passwords cannot be used for "
                 "security reasons).");
    text.Replace(L"$ACCOUNT$", user);
    if (emptyPassword)
        text += L"\n\n" +
                ZILUI_TR("Another solution would be to install the system's elevation service (polkit's "
                         "pkexec) and then restart this program. If it is installed then you can also use "
                         "accounts which have no passwords.");
    return text;
}

zil::P<zil::CProcess> runPromptLoop(IAdminAccountLayer& layer, const zil::CExecCommand& command,
                                    wxWindow* parent)
{
    const CPromptTexts texts;
    const zil::String commandLine = command.getCommandLine();
    // Shown in the next prompt, as the system's prompt shows why the last attempt failed.
    zil::String lastLogOnError;
    for (;;) {
        // Wiped by its destructor however this attempt ends.
        zil::CCredentialBuffer password(kMaxPasswordBytes);
        zil::String user;
        {
            CCredentialDialog dialog(parent, texts.title, texts.message, layer.getAdministratorAccounts(),
                                     lastLogOnError);
            const int answer = showModal(&dialog);
            // Taken before the answer counts, so the field never outlives this block unwiped.
            dialog.takePassword(password);
            if (answer != wxID_OK)
                throwCancelled(L"CCredentialDialog", commandLine);
            user = dialog.getUserName();
        }

        IAdminAccountLayer::LogOnResult logOn;
        try {
            logOn = layer.logOn(user, password);
        } catch (const zil::CInvalidArgError& e) {
            logOn.status = IAdminAccountLayer::LogOnResult::statusFailed;
            logOn.text = e.getMessage();
        }
        if (logOn.status != IAdminAccountLayer::LogOnResult::statusOK) {
            lastLogOnError = logOn.text;
            // The account's own restriction has its text; every other refusal, an empty
            // password's too, is told in the system's words.
            if (logOn.status == IAdminAccountLayer::LogOnResult::statusRestricted)
                messageBox(cannotUseAccountText(user, password.isEmpty()), ZILUI_TR("Cannot use account"),
                           wxOK | wxCENTRE | wxICON_EXCLAMATION, parent);
            else
                messageBox(logOn.text, ZILUI_TR("Error"), wxOK | wxCENTRE | wxICON_EXCLAMATION, parent);
            continue;
        }
        if (!layer.isAdministrator(user)) {
            messageBox(
                ZILUI_TR("The selected user account is not an administrator account. Please specify an "
                         "administrator account."),
                ZILUI_TR("Not an administrator"), wxOK | wxCENTRE | wxICON_ERROR, parent);
            continue;
        }
        try {
            return layer.startAs(command, user, password);
        } catch (zil::CError& e) {
            e.setProp(L"action", kAction);
            e.setProp(L"commandLine", commandLine);
            e.setProp(L"userName", user);
            throw;
        }
    }
}

// Actions waiting while another one's prompt is open. GUI thread only.
struct CPromptQueue {
    bool busy = false;
    std::deque<zil::P<CExecAsyncAsAdminWithGUIPromptAction>> waiting;
};

CPromptQueue& promptQueue()
{
    static CPromptQueue queue;
    return queue;
}

} // namespace

// ---------------------------------------------------------------------------------------
// The account layers

CSystemAdminAccountLayer::CSystemAdminAccountLayer(const zil::String& pamService) : m_pamService(pamService)
{
}

bool CSystemAdminAccountLayer::isProcessUserAdmin()
{
    return zil::CSystemAccountManager::isProcessUserAdmin();
}

zil::String CSystemAdminAccountLayer::getElevationServicePath()
{
    return zil::CSystemAccountManager::findElevationService();
}

zil::TArray<zil::String> CSystemAdminAccountLayer::getAdministratorAccounts()
{
    return zil::CSystemAccountManager::getAdministratorAccounts();
}

IAdminAccountLayer::LogOnResult CSystemAdminAccountLayer::logOn(const zil::String& user,
                                                                const zil::CCredentialBuffer& password)
{
    const zil::String account = zil::CSystemAccountManager::lookUpAccount(user);
    if (!m_pamService.isEmpty())
        return zil::CSystemAccountManager::checkLogOn(m_pamService, account, password);
    if (::geteuid() == 0)
        return zil::CSystemAccountManager::checkLogOn(L"login", account, password);
    return zil::CSystemAccountManager::checkLogOnThroughSu(account, password);
}

bool CSystemAdminAccountLayer::isAdministrator(const zil::String& user)
{
    return zil::CSystemAccountManager::isUserAdmin(user);
}

zil::P<zil::CProcess> CSystemAdminAccountLayer::startAs(const zil::CExecCommand& command,
                                                        const zil::String& user,
                                                        const zil::CCredentialBuffer& password)
{
    return zil::CSystemAccountManager::startAsAdministrator(command, user, password);
}

zil::P<IAdminAccountLayer> getAdminAccountLayer()
{
    zil::CMutexLock lock(layerMutex());
    if (!layerSlot())
        layerSlot() = new CSystemAdminAccountLayer();
    return layerSlot();
}

void setAdminAccountLayer(IAdminAccountLayer* layer)
{
    zil::CMutexLock lock(layerMutex());
    layerSlot() = layer;
}

// ---------------------------------------------------------------------------------------
// CCredentialDialog

CCredentialDialog::CCredentialDialog(wxWindow* parent, const zil::String& title, const zil::String& message,
                                     const zil::TArray<zil::String>& accounts, const zil::String& lastError)
    : wxDialog(parent, wxID_ANY, toWX(title))
{
    auto* sizer = new wxBoxSizer(wxVERTICAL);
    auto* text = new wxStaticText(this, wxID_ANY, toWX(message));
    text->Wrap(FromDIP(420));
    sizer->Add(text, wxSizerFlags().Border(wxALL, FromDIP(12)));
    if (!lastError.isEmpty()) {
        auto* error = new wxStaticText(this, wxID_ANY, toWX(lastError), wxDefaultPosition, wxDefaultSize, 0,
                                       "error");
        error->SetForegroundColour(*wxRED);
        error->Wrap(FromDIP(420));
        sizer->Add(error, wxSizerFlags().Border(wxLEFT | wxRIGHT | wxBOTTOM, FromDIP(12)));
    }

    auto* grid = new wxFlexGridSizer(2, FromDIP(6), FromDIP(8));
    grid->AddGrowableCol(1);
    wxArrayString choices;
    for (const zil::String& account : accounts)
        choices.Add(toWX(account));
    grid->Add(new wxStaticText(this, wxID_ANY, toWX(ZILUI_TR("User name:"))),
              wxSizerFlags().CentreVertical());
    m_user = new wxComboBox(this, wxID_ANY, choices.empty() ? wxString() : choices[0], wxDefaultPosition,
                            wxDefaultSize, choices, 0, wxDefaultValidator, "user");
    grid->Add(m_user, wxSizerFlags().Expand());
    grid->Add(new wxStaticText(this, wxID_ANY, toWX(ZILUI_TR("Password:"))), wxSizerFlags().CentreVertical());
    m_password = new wxTextCtrl(this, wxID_ANY, wxString(), wxDefaultPosition, wxDefaultSize, wxTE_PASSWORD,
                                wxDefaultValidator, "password");
    m_password->SetMaxLength(kMaxPasswordChars);
    grid->Add(m_password, wxSizerFlags().Expand());
    sizer->Add(grid, wxSizerFlags().Expand().Border(wxLEFT | wxRIGHT, FromDIP(12)));

    sizer->Add(CreateSeparatedButtonSizer(wxOK | wxCANCEL),
               wxSizerFlags().Expand().Border(wxALL, FromDIP(12)));
    SetSizerAndFit(sizer);
    (choices.empty() ? static_cast<wxWindow*>(m_user) : m_password)->SetFocus();
}

zil::String CCredentialDialog::getUserName() const
{
    return fromWX(m_user->GetValue());
}

void CCredentialDialog::takePassword(zil::CCredentialBuffer& buffer)
{
    wxString text = m_password->GetValue();
    const wchar_t* chars = text.wc_str();
    const size_t length = text.length();
    try {
        buffer.assignWide(chars, length);
    } catch (...) {
        ::explicit_bzero(const_cast<wchar_t*>(chars), length * sizeof(wchar_t));
        m_password->ChangeValue(wxString());
        throw;
    }
    ::explicit_bzero(const_cast<wchar_t*>(chars), length * sizeof(wchar_t));
    m_password->ChangeValue(wxString());
}

// ---------------------------------------------------------------------------------------
// The elevated start

zil::P<zil::CProcess> execAsyncAsAdminWithGUIPrompt(const zil::CExecCommand& command, wxWindow* parent,
                                                    bool marshalToGuiThread, bool hidden)
{
    zil::CExecCommand toRun(command);
    toRun.setHidden(hidden);
    zil::P<IAdminAccountLayer> layer = getAdminAccountLayer();
    if (layer->isProcessUserAdmin())
        return zil::execAsync(toRun);

    if (marshalToGuiThread) {
        CAppBase* app = CAppBase::get();
        if (!app)
            throw zil::CError(
                L"Internal error. execAsyncAsAdminWithGUIPrompt called, but app has not yet been "
                L"initialized.",
                kAction);
        if (zil::CThread::getCurrentID() != app->getMainThreadID()) {
            zil::P<CExecAsyncAsAdminWithGUIPromptAction> action(
                new CExecAsyncAsAdminWithGUIPromptAction(command, hidden, parent));
            action->post();
            action->waitFinished(-1);
            return action->getResult();
        }
    }

    // A command that cannot start fails before anyone is asked for a password.
    const zil::String executable = zil::findExecutable(toRun);
    const zil::String pkexec = layer->getElevationServicePath();
    if (!pkexec.isEmpty()) {
        if (zil::P<zil::CProcess> process = startThroughPkexec(pkexec, executable, toRun))
            return process;
    }
    return runPromptLoop(*layer, toRun, parent);
}

CExecAsyncAsAdminWithGUIPromptAction::CExecAsyncAsAdminWithGUIPromptAction(const zil::CExecCommand& command,
                                                                           bool hidden, wxWindow* parent)
    : m_command(command), m_hidden(hidden), m_parent(parent), m_finished(new zil::CSignal())
{
}

void CExecAsyncAsAdminWithGUIPromptAction::performAction()
{
    CPromptQueue& queue = promptQueue();
    if (queue.busy) {
        queue.waiting.push_back(zil::P<CExecAsyncAsAdminWithGUIPromptAction>(this));
        return;
    }
    queue.busy = true;
    struct CNext {
        CPromptQueue& queue;
        ~CNext()
        {
            queue.busy = false;
            if (queue.waiting.empty())
                return;
            zil::P<CExecAsyncAsAdminWithGUIPromptAction> next = queue.waiting.front();
            queue.waiting.pop_front();
            try {
                next->post();
            } catch (const zil::CError& e) {
                zil::logError(e, L"Cannot hand on a waiting elevated start. Ignoring.");
            }
        }
    } next{queue};
    run();
}

void CExecAsyncAsAdminWithGUIPromptAction::run()
{
    zil::P<zil::CProcess> result;
    zil::P<zil::CError> error;
    try {
        result = execAsyncAsAdminWithGUIPrompt(m_command, m_parent, false, m_hidden);
    } catch (const zil::CError& e) {
        error = e.clone();
    } catch (const std::exception& e) {
        // Not ours to swallow: the application's handler reports it. The worker still gets
        // an answer instead of waiting for ever.
        finish(nullptr, new zil::CError(L"Internal error: " + zil::String::fromUTF8(e.what()), kAction));
        throw;
    }
    finish(result, error);
}

void CExecAsyncAsAdminWithGUIPromptAction::finish(zil::P<zil::CProcess> result, zil::P<zil::CError> error)
{
    zil::CMutexLock lock(m_lock);
    m_result = result;
    m_error = error;
    m_finished->set();
}

bool CExecAsyncAsAdminWithGUIPromptAction::waitFinished(int timeoutMs)
{
    return m_finished->wait(timeoutMs);
}

zil::P<zil::CProcess> CExecAsyncAsAdminWithGUIPromptAction::getResult()
{
    zil::CMutexLock lock(m_lock);
    if (m_error)
        m_error->rethrow();
    return m_result;
}

} // namespace zilui
