// SPDX-License-Identifier: MIT
#pragma once

#include <zilui/app/action.h>

#include <zil/mutex.h>
#include <zil/object.h>
#include <zil/string.h>

#include <wx/dialog.h>
#include <wx/timer.h>

#include <memory>

class wxButton;
class wxGauge;
class wxStaticText;
class wxWindowDisabler;

namespace zil {
class CSignal;
class CThread;
} // namespace zil

namespace zilui {

// A message line, a progress bar and an abort button that a long operation keeps up to date.
// Workers only store the new values under a lock; the widgets change on the GUI thread,
// directly when the caller is the GUI thread and through a posted action otherwise.
// The layout is the application's dialog resource "ProgressDialog" with the children
// "messageText" (static text), "progress" (gauge) and "abortButton" (button).
class CProgressDialog : public wxDialog {
public:
    // Throws zil::CError when the resource is not loaded.
    explicit CProgressDialog(wxWindow* parent);
    ~CProgressDialog() override;
    CProgressDialog(const CProgressDialog&) = delete;
    CProgressDialog& operator=(const CProgressDialog&) = delete;

    // Any thread. The set* operations only store; update() shows what is stored.
    void setMessage(const zil::String& message);
    // Fraction 0 to 1; 0 or less means indeterminate (the bar pulses).
    void setProgress(double fraction);
    void updateMessage(const zil::String& message);
    void updateProgress(double fraction);
    // On the GUI thread applies the stored values at once; elsewhere posts one action per call.
    void update();
    bool updateAndCheckAbort();
    bool wasAborted();
    void resetAborted();
    // Posts the end of the modal loop (with wxID_OK).
    void scheduleStop();

    // GUI thread.
    // Pulses the bar three times a second while shown modally or after start().
    void setAutoPulseEnabled(bool enabled) { m_autoPulse = enabled; }
    void setAbortButtonHidden(bool hidden);
    // Shows the dialog non-modally with every other window disabled until it is destroyed.
    void start();
    int ShowModal() override;

    // Show an indeterminate dialog, with the other windows disabled, until `thread` has ended
    // or `signal` is set. GUI thread only; null arguments throw zil::CInvalidArgError.
    static void showPulseProgressDialogUntilThreadEnds(wxWindow* parent, const zil::String& title,
                                                       const zil::String& message, zil::CThread* thread);
    static void showPulseProgressDialogUntilSignal(wxWindow* parent, const zil::String& title,
                                                   const zil::String& message, zil::CSignal* signal);

protected:
    // GUI thread.
    void performUpdate(const zil::String& message, double fraction);
    void onAbort(wxCommandEvent& event);
    void onTimer(wxTimerEvent& event);
    void initPulse(const zil::String& title, const zil::String& message);

private:
    // What posted actions reach the dialog through: cleared when the dialog goes, so an action
    // still queued then does nothing. Read and cleared on the GUI thread only.
    class CTarget : public zil::CBase {
    public:
        explicit CTarget(CProgressDialog* dialog) : dialog(dialog) {}
        CProgressDialog* dialog;
    };

    class CUpdateAction : public CAction {
    public:
        CUpdateAction(CTarget* target, const zil::String& message, double fraction)
            : m_target(target), m_message(message), m_fraction(fraction)
        {
        }
        void performAction() override;

    private:
        zil::P<CTarget> m_target;
        zil::String m_message;
        double m_fraction;
    };

    class CStopAction : public CAction {
    public:
        explicit CStopAction(CTarget* target) : m_target(target) {}
        void performAction() override;

    private:
        zil::P<CTarget> m_target;
    };

    // Loops update, events and pause until ended() holds.
    template <class Ended, class Pause>
    static void showPulseProgressDialog(wxWindow* parent, const zil::String& title,
                                        const zil::String& message, Ended&& ended, Pause&& pause);
    // Re-enables the other windows and stops the pulse before the dialog is destroyed, which
    // for a top-level window only happens at idle time.
    void finishPulse();

    wxStaticText* m_messageText = nullptr;
    wxGauge* m_progress = nullptr;
    wxButton* m_abortButton = nullptr;
    zil::CMutex m_mutex; // guards m_pendingProgress, m_pendingMessage and m_aborted
    double m_pendingProgress = 0.0;
    zil::String m_pendingMessage;
    bool m_aborted = false;
    bool m_autoPulse = false;
    // The bar was last pulsed: the next fraction must be set even when the value is the same,
    // or the bar would stay indeterminate.
    bool m_pulsing = false;
    wxTimer m_timer;
    std::unique_ptr<wxWindowDisabler> m_windowDisabler;
    zil::P<CTarget> m_target;

    wxDECLARE_CLASS(CProgressDialog);
    wxDECLARE_EVENT_TABLE();
};

} // namespace zilui
