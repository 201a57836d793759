// SPDX-License-Identifier: MIT
// docs/modules.md
#include <zilui/app/eventconnection.h>
#include <zilui/modules/modulechain.h>
#include <zilui/modules/moduledialog.h>
#include <zilui/modules/pages.h>

#include <wx/button.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/timer.h>

// A page built in code; with a resource name instead of L"" its contents come from XRC.
class CNamePage : public zilui::CUIPagePanel {
public:
    explicit CNamePage(wxWindow* parent) : CUIPagePanel(parent, L"name", L"", true)
    {
        auto* sizer = new wxBoxSizer(wxVERTICAL);
        sizer->Add(new wxStaticText(this, wxID_ANY, "Your name:"), 0, wxALL, 8);
        m_name = new wxTextCtrl(this, wxID_ANY, "", wxDefaultPosition, wxDefaultSize, 0, wxDefaultValidator,
                                "userName");
        sizer->Add(m_name, 0, wxEXPAND | wxLEFT | wxRIGHT, 8);
        SetSizer(sizer);
    }

    // Next stays on the page until a name is given.
    bool verifyAndStoreData() override { return !m_name->GetValue().empty(); }

    zil::P<zilui::CUIPageInfo> getPageInfo() override
    {
        zil::P<zilui::CUIPageInfo> info(new zilui::CUIPageInfo());
        info->nextLabel = L"Create";
        return info;
    }

protected:
    void onEnter() override { m_name->SetFocus(); }

private:
    wxTextCtrl* m_name;
};

class CWelcomePage : public zilui::CUIPagePanel {
public:
    explicit CWelcomePage(wxWindow* parent) : CUIPagePanel(parent, L"welcome", L"", true)
    {
        new wxStaticText(this, wxID_ANY, "Welcome!", wxPoint(8, 8));
    }
};

bool runSetupWizard(wxWindow* parent)
{
    zilui::CUIModuleDialog dialog(parent, L"Set-up", wxSize(480, 320));
    zil::P<zilui::CUIModuleChain> chain(new zilui::CUIModuleChain());
    chain->addSinglePageSubModule(new CWelcomePage(dialog.getPageParent()));
    chain->addSinglePageSubModule(new CNamePage(dialog.getPageParent()));
    dialog.setModule(chain.get());
    // Through the modal hook, so that tests can answer or drive the dialog.
    return zilui::showModal(&dialog) == wxID_OK;
}

// In a test: every dialog shown through showModal() reaches the handler instead of the user.
void testCancelledWizard()
{
    zil::P<zilui::TEventSourceFunctionHandler<zilui::ShowModalEvent>> answer(
        new zilui::TEventSourceFunctionHandler<zilui::ShowModalEvent>([](zilui::ShowModalEvent& event) {
            event.result = wxID_CANCEL; // not shown: as if the user had cancelled at once
        }));
    zilui::g_ShowModalEvent.addHandler(answer.get());
    const bool finished = runSetupWizard(nullptr);
    zilui::g_ShowModalEvent.removeHandler(answer.get());
    wxASSERT(!finished);
}

void clickButton(wxButton* button)
{
    wxCommandEvent click(wxEVT_BUTTON, button->GetId());
    click.SetEventObject(button);
    button->GetEventHandler()->ProcessEvent(click);
}

// The handler may also run the real dialog and press its buttons, as a user would.
void driveWizard(zilui::ShowModalEvent& event)
{
    auto* wizard = dynamic_cast<zilui::CUIModuleDialog*>(event.dialog);
    if (!wizard) {
        event.result = wxID_CANCEL;
        return;
    }
    wxTimer pacer;
    pacer.Bind(wxEVT_TIMER, [wizard](wxTimerEvent&) {
        if (!wizard->IsModal())
            return;
        if (auto* name = dynamic_cast<wxTextCtrl*>(wizard->FindWindow("userName")))
            name->ChangeValue("Ada");
        clickButton(wizard->getRightButton()); // Next, then Create
    });
    pacer.Start(20);
    event.result = wizard->ShowModal();
}
