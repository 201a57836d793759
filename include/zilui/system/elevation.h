// SPDX-License-Identifier: MIT
#pragma once

#include <zilui/app/action.h>

#include <zil/accounts.h>
#include <zil/containers.h>
#include <zil/error.h>
#include <zil/mutex.h>
#include <zil/object.h>
#include <zil/process.h>
#include <zil/string.h>
#include <zil/thread.h>

#include <wx/dialog.h>

class wxComboBox;
class wxTextCtrl;
class wxWindow;

namespace zilui {

// What the elevated start needs to know about the system's accounts and to do with them.
// The system's own (CSystemAdminAccountLayer) is used unless another is installed, which
// tests do to drive the credential prompt without real accounts.
class IAdminAccountLayer : public virtual zil::IBase {
public:
    using LogOnResult = zil::CSystemAccountManager::LogOnResult;

    virtual bool isProcessUserAdmin() = 0;
    // The path of the elevation service (pkexec), empty when there is none.
    virtual zil::String getElevationServicePath() = 0;
    virtual zil::TArray<zil::String> getAdministratorAccounts() = 0;
    // May throw zil::CInvalidArgError for a name that is no account.
    virtual LogOnResult logOn(const zil::String& user, const zil::CCredentialBuffer& password) = 0;
    virtual bool isAdministrator(const zil::String& user) = 0;
    // Starts the command with administrator rights (user id 0 here) as administrator `user`,
    // authenticating with `password`.
    virtual zil::P<zil::CProcess> startAs(const zil::CExecCommand& command, const zil::String& user,
                                          const zil::CCredentialBuffer& password) = 0;
};

// The system's accounts: NSS for accounts and groups, PAM for passwords, su and sudo for the
// start with user id 0 (CSystemAccountManager::startAsAdministrator).
// The password check runs PAM in this process with `pamService` when one is given or when
// this process is root (service "login"); otherwise through su, the one way a desktop user
// can have another account's password checked.
class CSystemAdminAccountLayer : public zil::CBase, public IAdminAccountLayer {
public:
    explicit CSystemAdminAccountLayer(const zil::String& pamService = zil::String());

    bool isProcessUserAdmin() override;
    zil::String getElevationServicePath() override;
    zil::TArray<zil::String> getAdministratorAccounts() override;
    LogOnResult logOn(const zil::String& user, const zil::CCredentialBuffer& password) override;
    bool isAdministrator(const zil::String& user) override;
    zil::P<zil::CProcess> startAs(const zil::CExecCommand& command, const zil::String& user,
                                  const zil::CCredentialBuffer& password) override;

private:
    zil::String m_pamService;
};

// The layer in use; nullptr puts the system's back. Any thread.
zil::P<IAdminAccountLayer> getAdminAccountLayer();
void setAdminAccountLayer(IAdminAccountLayer* layer);

// The library's credential prompt: an administrator account to choose (or type) and its
// password, under the reason the last attempt failed when there is one. Its controls are
// named "user", "password" and "error".
class CCredentialDialog : public wxDialog {
public:
    CCredentialDialog(wxWindow* parent, const zil::String& title, const zil::String& message,
                      const zil::TArray<zil::String>& accounts, const zil::String& lastError = zil::String());

    zil::String getUserName() const;
    // Moves the password into `buffer` and wipes the field's text and the copies made on
    // the way. GTK's own entry buffer is freed without wiping; see docs/system.md.
    void takePassword(zil::CCredentialBuffer& buffer);

private:
    wxComboBox* m_user;
    wxTextCtrl* m_password;
};

// Starts `command` with administrator rights and returns the started process:
//   - this process is root: started directly;
//   - pkexec is installed: through pkexec, which shows the desktop's own prompt; the process
//     returned is the one running the command once pkexec has started it, and a dismissed
//     prompt raises the cancelled-prompt error (code ECANCELED). Meanwhile the program's
//     events are handled (it paints, its timers run) but its windows take no input. When
//     pkexec could not ask (exit status 127: no polkit agent, or refused) the library's
//     prompt follows;
//   - otherwise the library's credential prompt, asked again after a wrong password, an
//     account that cannot be used or one that is no administrator (the next prompt shows
//     why the last log-on failed), until the command starts with user id 0 or the prompt is
//     cancelled (the cancelled-prompt error).
// A command whose executable cannot be found raises the start error before anyone is asked.
// With `marshalToGuiThread`, a call from another thread runs on the GUI thread through
// CExecAsyncAsAdminWithGUIPromptAction and waits for it; without it the prompts would run on
// the calling thread, which only the GUI thread may do.
zil::P<zil::CProcess> execAsyncAsAdminWithGUIPrompt(const zil::CExecCommand& command, wxWindow* parent,
                                                    bool marshalToGuiThread, bool hidden);

// Carries an elevated start to the GUI thread and its outcome back. The GUI thread serves
// these actions one after another: one posted while a prompt of another is open waits until
// that one has ended, instead of opening a second prompt over it.
class CExecAsyncAsAdminWithGUIPromptAction : public CAction {
public:
    CExecAsyncAsAdminWithGUIPromptAction(const zil::CExecCommand& command, bool hidden, wxWindow* parent);

    void performAction() override;
    // timeoutMs -1 waits without limit. False on timeout.
    bool waitFinished(int timeoutMs);
    // The started process; a zil::CError raised on the GUI thread is raised again here.
    zil::P<zil::CProcess> getResult();

private:
    void run();
    void finish(zil::P<zil::CProcess> result, zil::P<zil::CError> error);

    zil::CExecCommand m_command;
    bool m_hidden;
    wxWindow* m_parent; // not owned
    zil::P<zil::CSignal> m_finished;
    zil::CMutex m_lock;
    zil::P<zil::CProcess> m_result;
    zil::P<zil::CError> m_error;
};

} // namespace zilui
