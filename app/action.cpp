// SPDX-License-Identifier: MIT
#include "zilui/app/action.h"

#include "zilui/app/appbase.h"

#include <zil/error.h>

#include <wx/dialog.h>
#include <wx/evtloop.h>
#include <wx/timer.h>

#include <wx/toplevel.h>
#include <wx/window.h>

#include <memory>

wxDEFINE_EVENT(wxuEVT_ACTION, zilui::CActionEvent);

namespace zilui {

void CAction::post()
{
    CAppBase* app = CAppBase::get();
    if (!app)
        throw zil::CError(L"Internal error: an action was posted while no application object is running.",
                          L"CAction::post");
    // QueueEvent takes ownership and is safe from any thread.
    app->QueueEvent(new CActionEvent(this));
}

CActionEvent::CActionEvent(CAction* action) : wxEvent(0, wxuEVT_ACTION), m_action(action) {}

CActionEvent::CActionEvent(const CActionEvent& other) : wxEvent(other), zil::CBase(other), m_action(other.m_action)
{
}

wxEvent* CActionEvent::Clone() const
{
    return new CActionEvent(*this);
}

void CActionEvent::performAction()
{
    if (m_action)
        m_action->performAction();
}

CLambdaAction::CLambdaAction(std::function<void()> function, bool clearAfterCall)
    : m_function(std::move(function)), m_clearAfterCall(clearAfterCall)
{
}

void CLambdaAction::performAction()
{
    if (!m_clearAfterCall) {
        if (m_function)
            m_function();
        return;
    }
    // Moved out first, so the captured state goes right after the call even when it throws,
    // and a second run finds nothing.
    const std::function<void()> function = std::move(m_function);
    m_function = nullptr;
    if (function)
        function();
}

CShowWindowAction::CShowWindowAction(wxWindow* window, bool show) : m_window(window), m_show(show) {}

void CShowWindowAction::performAction()
{
    if (m_window)
        m_window->Show(m_show);
}

CExitAppAction::CExitAppAction(bool force, int attempt) : m_force(force), m_attempt(attempt) {}

namespace {

// Waits of kModalWaitMs; a modal loop that was told to end returns at its next turn.
constexpr int kMaxModalWaits = 250;
constexpr int kModalWaitMs = 20;

// A modal dialog usually lives on the stack of the code that waits for it; closing its parent
// now would delete it under that code. So the dialogs end first, and the exit comes back once
// their loops have returned.
bool endModalDialogs()
{
    bool anyModal = false;
    for (wxWindow* window : wxTopLevelWindows) {
        // C++'s cast: wxDynamicCast casts to the target type before it checks.
        auto* dialog = dynamic_cast<wxDialog*>(window);
        if (dialog && dialog->IsModal()) {
            dialog->EndModal(wxID_CANCEL);
            anyModal = true;
        }
    }
    return anyModal;
}

// A loop of its own (a modal dialog's, ending) still runs above the main loop.
bool insideNestedLoop(CAppBase& app)
{
    const wxEventLoopBase* active = wxEventLoopBase::GetActive();
    const wxEventLoopBase* main = app.GetMainLoop();
    return active && main && active != main;
}

} // namespace

void CExitAppAction::performAction()
{
    CAppBase* app = CAppBase::get();
    if (!app)
        return;
    if (m_attempt < kMaxModalWaits && (endModalDialogs() || insideNestedLoop(*app))) {
        // Posted again at once, the action would keep the ending loop busy for ever; a timer
        // lets it return first.
        zil::P<CAction> again(new CExitAppAction(m_force, m_attempt + 1));
        auto* timer = new wxTimer();
        timer->Bind(wxEVT_TIMER, [timer, again](wxTimerEvent&) {
            again->post();
            // Not deleted inside its own handler; the call owns it, so that an exit that drops
            // the call unperformed still frees it.
            std::shared_ptr<wxTimer> owned(timer);
            wxTheApp->CallAfter([owned] {});
        });
        timer->StartOnce(kModalWaitMs);
        return;
    }
    app->scheduleExit(m_force);
}

void postAction(std::function<void()> function)
{
    zil::P<CAction> action(new CLambdaAction(std::move(function), true));
    action->post();
}

} // namespace zilui
