// SPDX-License-Identifier: MIT
#pragma once

#include <zil/object.h>

#include <wx/event.h>

#include <functional>

class wxWindow;

namespace zilui {

// A small command that any thread may post; it is performed on the GUI thread, in posting
// order with the other events of the main loop. The one way to hand work to the interface.
class CAction : public zil::CBase {
public:
    virtual void performAction() = 0;

    // Queues the action on the running application object. Callable from any thread; needs a
    // running CAppBase (throws zil::CError otherwise, so the work is never silently lost).
    void post();
};

class CActionEvent : public wxEvent, public zil::CBase {
public:
    explicit CActionEvent(CAction* action);
    CActionEvent(const CActionEvent& other);

    // Shares the action: wxWidgets clones queued events, and both copies must run the same
    // object.
    wxEvent* Clone() const override;
    void performAction();
    CAction* getAction() const { return m_action.get(); }

private:
    zil::P<CAction> m_action;
};

// Runs a function. With clearAfterCall, the function (and everything it captured) is
// destroyed on the GUI thread right after the call, and later calls do nothing.
class CLambdaAction : public CAction {
public:
    explicit CLambdaAction(std::function<void()> function, bool clearAfterCall = false);
    void performAction() override;

private:
    std::function<void()> m_function;
    bool m_clearAfterCall;
};

class CShowWindowAction : public CAction {
public:
    CShowWindowAction(wxWindow* window, bool show);
    void performAction() override;

private:
    wxWindow* m_window; // not owned
    bool m_show;
};

// Schedules the exit on the GUI thread. Modal dialogs that are open are ended first, and the
// exit is tried again once their loops have returned.
class CExitAppAction : public CAction {
public:
    explicit CExitAppAction(bool force, int attempt = 0);
    void performAction() override;

private:
    bool m_force;
    int m_attempt;
};

// Posts a function as a CLambdaAction that drops its state after running.
void postAction(std::function<void()> function);

} // namespace zilui

wxDECLARE_EVENT(wxuEVT_ACTION, zilui::CActionEvent);
