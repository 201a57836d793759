// SPDX-License-Identifier: MIT
#include "zilui/app/progressdialog.h"

#include "zilui/app/appbase.h"
#include "zilui/app/strings.h"

#include <zil/error.h>
#include <zil/thread.h>

#include <wx/button.h>
#include <wx/gauge.h>
#include <wx/stattext.h>
#include <wx/thread.h>
#include <wx/utils.h>
#include <wx/xrc/xmlres.h>

#include <memory>

namespace {

constexpr int kTimerId = 1234;
constexpr int kPulseIntervalMs = 333;
constexpr int kPulseWaitMs = 100;
constexpr int kPulseMinWidth = 300;
constexpr int kPulseMinHeight = 300;

template <class T>
T* findChild(wxWindow* parent, const char* name)
{
    return dynamic_cast<T*>(parent->FindWindow(name));
}

} // namespace

wxIMPLEMENT_CLASS(zilui::CProgressDialog, wxDialog);

wxBEGIN_EVENT_TABLE(zilui::CProgressDialog, wxDialog)
    EVT_BUTTON(wxID_ABORT, zilui::CProgressDialog::onAbort)
    EVT_TIMER(kTimerId, zilui::CProgressDialog::onTimer)
wxEND_EVENT_TABLE()

namespace zilui {

CProgressDialog::CProgressDialog(wxWindow* parent) : m_timer(this, kTimerId), m_target(new CTarget(this))
{
    if (!wxXmlResource::Get()->LoadDialog(this, parent, "ProgressDialog"))
        throw zil::CError(L"Cannot load resource 'ProgressDialog'", L"res", 1);
    m_messageText = findChild<wxStaticText>(this, "messageText");
    m_progress = findChild<wxGauge>(this, "progress");
    m_abortButton = findChild<wxButton>(this, "abortButton");
    if (!m_messageText || !m_progress || !m_abortButton) {
        // Half a dialog would crash at the first update; say which part the resource lacks.
        const wchar_t* missing = !m_messageText ? L"messageText" : !m_progress ? L"progress" : L"abortButton";
        zil::CError error(L"Resource 'ProgressDialog' lacks the control '" + zil::String(missing) + L"'",
                          L"res", 1);
        error.setProp(L"res", L"ProgressDialog");
        // The base destructor takes the loaded windows down with it.
        throw error;
    }
    m_abortButton->SetId(wxID_ABORT);
}

CProgressDialog::~CProgressDialog()
{
    m_target->dialog = nullptr;
    m_timer.Stop();
}

void CProgressDialog::setMessage(const zil::String& message)
{
    zil::CMutexLock lock(m_mutex);
    m_pendingMessage = message;
}

void CProgressDialog::setProgress(double fraction)
{
    zil::CMutexLock lock(m_mutex);
    m_pendingProgress = fraction;
}

void CProgressDialog::updateMessage(const zil::String& message)
{
    setMessage(message);
    update();
}

void CProgressDialog::updateProgress(double fraction)
{
    setProgress(fraction);
    update();
}

void CProgressDialog::update()
{
    if (wxThread::IsMain()) {
        zil::String message;
        double fraction;
        {
            zil::CMutexLock lock(m_mutex);
            message = m_pendingMessage;
            fraction = m_pendingProgress;
        }
        performUpdate(message, fraction);
        wxYieldIfNeeded();
        return;
    }
    // Posting under the lock keeps the actions of several workers in the order of their values.
    zil::CMutexLock lock(m_mutex);
    zil::P<CAction>(new CUpdateAction(m_target.get(), m_pendingMessage, m_pendingProgress))->post();
}

bool CProgressDialog::updateAndCheckAbort()
{
    update();
    return wasAborted();
}

bool CProgressDialog::wasAborted()
{
    zil::CMutexLock lock(m_mutex);
    return m_aborted;
}

void CProgressDialog::resetAborted()
{
    zil::CMutexLock lock(m_mutex);
    m_aborted = false;
}

void CProgressDialog::scheduleStop()
{
    zil::P<CAction>(new CStopAction(m_target.get()))->post();
}

void CProgressDialog::setAbortButtonHidden(bool hidden)
{
    m_abortButton->Show(!hidden);
    Layout();
}

void CProgressDialog::start()
{
    resetAborted();
    // The old disabler goes first: the new one would pass over the windows it disabled, and
    // they would come back enabled when it went.
    m_windowDisabler.reset();
    m_windowDisabler.reset(new wxWindowDisabler(this));
    update();
    if (m_autoPulse)
        m_timer.Start(kPulseIntervalMs, wxTIMER_CONTINUOUS);
    Show();
    wxYieldIfNeeded();
}

int CProgressDialog::ShowModal()
{
    if (m_autoPulse)
        m_timer.Start(kPulseIntervalMs, wxTIMER_CONTINUOUS);
    const int result = wxDialog::ShowModal();
    m_timer.Stop();
    return result;
}

void CProgressDialog::performUpdate(const zil::String& message, double fraction)
{
    // Compared as displayed text, so a message with '&' is neither re-set every time nor
    // shown with a mnemonic underline.
    const wxString text = toWX(message);
    if (m_messageText->GetLabelText() != text)
        m_messageText->SetLabelText(text);
    if (fraction > 0) {
        const int range = m_progress->GetRange();
        int value = static_cast<int>(range * fraction + 0.5);
        if (value > range)
            value = range;
        if (m_pulsing || value != m_progress->GetValue())
            m_progress->SetValue(value);
        m_pulsing = false;
    } else {
        m_progress->Pulse();
        m_pulsing = true;
    }
}

void CProgressDialog::onAbort(wxCommandEvent&)
{
    {
        zil::CMutexLock lock(m_mutex);
        m_aborted = true;
    }
    if (IsModal())
        EndModal(wxID_ABORT);
}

void CProgressDialog::onTimer(wxTimerEvent&)
{
    m_progress->Pulse();
    m_pulsing = true;
}

void CProgressDialog::initPulse(const zil::String& title, const zil::String& message)
{
    SetTitle(toWX(title));
    setMessage(message);
    m_autoPulse = true;
    // Nobody could read the abort flag of a pulse dialog, so a button for it would do nothing.
    m_abortButton->Hide();
    SetSizeHints(-1, -1, -1, -1, -1, -1);
    Fit();
    SetMinSize(wxSize(0, kPulseMinHeight));
    const wxSize size = GetSize();
    if (size.x < kPulseMinWidth)
        SetSize(kPulseMinWidth, size.y);
    CentreOnParent(wxBOTH);
}

void CProgressDialog::finishPulse()
{
    m_timer.Stop();
    Hide();
    m_windowDisabler.reset();
}

template <class Ended, class Pause>
void CProgressDialog::showPulseProgressDialog(wxWindow* parent, const zil::String& title,
                                              const zil::String& message, Ended&& ended, Pause&& pause)
{
    if (!wxThread::IsMain())
        throw zil::CError(L"The pulse progress dialog can only be shown from the GUI thread",
                          L"CProgressDialog::showPulseProgressDialog");
    // Destroyed on every way out, errors from the loop included.
    const auto finish = [](CProgressDialog* d) {
        d->finishPulse();
        d->Destroy();
    };
    std::unique_ptr<CProgressDialog, decltype(finish)> dialog(new CProgressDialog(parent), finish);
    dialog->initPulse(title, message);
    // start() disables every other window until finishPulse().
    dialog->start();
    while (!ended()) {
        dialog->update();
        CAppBase::doEventLoopUntilEmpty();
        pause();
    }
    dialog->update();
}

void CProgressDialog::showPulseProgressDialogUntilThreadEnds(wxWindow* parent, const zil::String& title,
                                                             const zil::String& message, zil::CThread* thread)
{
    if (!thread)
        throw zil::CInvalidArgError(L"No thread given to wait for",
                                    L"CProgressDialog::showPulseProgressDialogUntilThreadEnds");
    showPulseProgressDialog(
        parent, title, message, [thread] { return !thread->isAlive(); },
        [] { zil::CThread::sleep(kPulseWaitMs); });
}

void CProgressDialog::showPulseProgressDialogUntilSignal(wxWindow* parent, const zil::String& title,
                                                         const zil::String& message, zil::CSignal* signal)
{
    if (!signal)
        throw zil::CInvalidArgError(L"No signal given to wait for",
                                    L"CProgressDialog::showPulseProgressDialogUntilSignal");
    showPulseProgressDialog(
        parent, title, message, [signal] { return signal->wait(kPulseWaitMs); }, [] {});
}

void CProgressDialog::CUpdateAction::performAction()
{
    if (m_target->dialog)
        m_target->dialog->performUpdate(m_message, m_fraction);
}

void CProgressDialog::CStopAction::performAction()
{
    CProgressDialog* dialog = m_target->dialog;
    if (dialog && dialog->IsModal())
        dialog->EndModal(wxID_OK);
}

} // namespace zilui
