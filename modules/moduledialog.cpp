// SPDX-License-Identifier: MIT
#include "zilui/modules/moduledialog.h"

#include "zilui/app/appbase.h"
#include "zilui/app/language.h"
#include "zilui/app/progressdialog.h"
#include "zilui/app/strings.h"
#include "zilui/controls/stacksizer.h"
#include "zilui/slick/buttoncreator.h"

#include <zil/error.h>
#include <zil/log.h>
#include <zil/thread.h>

#include <wx/button.h>
#include <wx/ctrlsub.h>
#include <wx/listctrl.h>
#include <wx/panel.h>
#include <wx/sizer.h>
#include <wx/textctrl.h>
#include <wx/treectrl.h>

#include <cmath>
#include <utility>

namespace zilui {

namespace {

constexpr double kBorder = 15.0; // pixels at scale factor 1

[[noreturn]] void raiseInternalError(const zil::String& message)
{
    zil::logError(message);
    throw zil::CError(message, L"CUIModuleDialog::ShowModal");
}

} // namespace

// ---------------------------------------------------------------------------------------------
// CModuleContext

void CUIModuleDialog::CModuleContext::nextPage()
{
    if (m_dialog)
        m_dialog->nextPage();
}

void CUIModuleDialog::CModuleContext::prevPage()
{
    if (m_dialog)
        m_dialog->prevPage();
}

void CUIModuleDialog::CModuleContext::reExaminePageInfo()
{
    if (m_dialog)
        m_dialog->reExaminePageInfo();
}

void CUIModuleDialog::CModuleContext::waitForThread(zil::CThread* thread, bool join)
{
    if (!thread)
        throw zil::CInvalidArgError(L"No thread given to wait for",
                                    L"CUIModuleDialog::CModuleContext::waitForThread");
    if (m_dialog) {
        const zil::String text = ZILUI_TR("Please wait...");
        CProgressDialog::showPulseProgressDialogUntilThreadEnds(m_dialog, text, text, thread);
    }
    if (join)
        thread->join();
}

// ---------------------------------------------------------------------------------------------
// CUIModuleDialog

CUIModuleDialog::CUIModuleDialog(wxWindow* parent, const zil::String& title, const wxSize& size,
                                 IButtonCreator* buttonCreator, const wxPoint& pos, long style)
{
    Create(parent, wxID_ANY, toWX(title), pos, wxDefaultSize, style, wxDialogNameStr);
    SetSizeHints(wxDefaultSize);

    auto* mainSizer = new wxBoxSizer(wxVERTICAL);
    SetSizer(mainSizer);
    const int border = static_cast<int>(std::ceil(GetContentScaleFactor() * kBorder));

    m_pageArea = new wxPanel(this, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxTAB_TRAVERSAL | wxNO_BORDER);
    m_pageArea->SetSizer(new wxBoxSizer(wxVERTICAL));
    mainSizer->Add(m_pageArea, 1, wxEXPAND, 0);

    m_buttonBarSizer = new wxBoxSizer(wxVERTICAL);
    mainSizer->Add(m_buttonBarSizer, 0, wxEXPAND | wxTOP | wxBOTTOM, border);
    m_buttonGrid = new wxGridSizer(1, 2, 0, border);
    m_buttonBarSizer->Add(m_buttonGrid, 0, wxALIGN_RIGHT | wxLEFT | wxRIGHT, border);

    if (buttonCreator) {
        m_leftButton = buttonCreator->createButton(this, wxID_ANY, zil::String());
        m_rightButton = buttonCreator->createButton(this, wxID_ANY, zil::String());
        if (!m_leftButton || !m_rightButton)
            throw zil::CError(L"The button creator returned no button", L"CUIModuleDialog");
    } else {
        m_leftButton = new wxButton(this, wxID_ANY, wxEmptyString);
        m_rightButton = new wxButton(this, wxID_ANY, wxEmptyString);
    }
    m_buttonGrid->Add(m_leftButton, 0, wxEXPAND, 0);
    m_buttonGrid->Add(m_rightButton, 0, wxEXPAND, 0);

    m_pageParent =
        new wxPanel(m_pageArea, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxTAB_TRAVERSAL | wxNO_BORDER);
    m_pageArea->GetSizer()->Add(m_pageParent, 1, wxEXPAND | wxALL, border);
    m_pageParent->SetSizer(new CStackSizer());

    if (size.x > 0) {
        SetSize(size);
        m_sizeGiven = true;
    }

    connectEventFrom(m_leftButton, this, &CUIModuleDialog::onLeftButton, wxEVT_BUTTON);
    connectEventFrom(m_rightButton, this, &CUIModuleDialog::onRightButton, wxEVT_BUTTON);
    connectEventFrom(this, this, &CUIModuleDialog::onCancel, wxEVT_BUTTON, wxID_CANCEL);
    connectEventFrom(this, this, &CUIModuleDialog::onCharHook, wxEVT_CHAR_HOOK);
    connectEventFrom(this, this, &CUIModuleDialog::onClose, wxEVT_CLOSE_WINDOW);
}

CUIModuleDialog::~CUIModuleDialog()
{
    // Handlers must not reach a half-destroyed dialog.
    disconnectAll();
}

wxWindow* CUIModuleDialog::getPageParent() const
{
    return m_pageParent;
}

int CUIModuleDialog::ShowModal()
{
    if (!m_module)
        raiseInternalError(
            L"Internal error: CUIModuleDialog::ShowModal called without module having been set.");
    // Kept so that setModule() from inside the loop cannot free the module being run.
    const zil::P<IUIModule> module = m_module;
    m_context = new CModuleContext(this);
    m_loopError = nullptr;
    // On every way out: the context becomes a husk and the module is left.
    const auto leaveModule = [this, &module] {
        m_context->detach();
        m_context = nullptr;
        try {
            module->leave(IUIPage::NavNone);
        } catch (...) {
            zil::logCurrentException(L"Error in IUIModule::leave. Ignoring.");
        }
    };
    int result = wxID_CANCEL;
    try {
        module->resetState();
        module->enter(m_context.get(), IUIPage::NavNone);
        m_singlePage = module->hasExactlyOnePage();
        if (m_singlePage) {
            wxButton* ok = m_okOnTheLeft ? m_leftButton : m_rightButton;
            wxButton* cancel = m_okOnTheLeft ? m_rightButton : m_leftButton;
            SetAffirmativeId(ok->GetId());
            ok->SetDefault();
            SetEscapeId(cancel->GetId());
        } else {
            // A previous single-page run must not leave its keys behind: its default button
            // is now Back or Cancel, which Enter would press. Enter goes forward instead
            // (onCharHook), and the forward button shows it.
            SetAffirmativeId(wxID_OK);
            SetEscapeId(wxID_ANY);
            m_rightButton->SetDefault();
        }
        const IUIModule::NavigateResult r = module->nextPage();
        if (r != IUIModule::NavigateMoved)
            raiseInternalError(
                L"Internal error: module set in CUIModuleDialog has no pages (navigate result: " +
                zil::toString(int64_t(r)) + L").");
        m_pageArea->Layout();
        updateNavigateButtons();
        Layout();
        if (!m_sizeGiven) {
            SetSizeHints(-1, -1, -1, -1, -1, -1);
            Fit();
            Layout();
        }
        CentreOnParent(wxBOTH);
        result = wxDialog::ShowModal();
        if (m_loopError)
            std::rethrow_exception(std::exchange(m_loopError, nullptr));
    } catch (...) {
        zil::logCurrentException(L"Exception in CUIModuleDialog::ShowModal. Letting through.");
        leaveModule();
        throw;
    }
    leaveModule();
    return result;
}

void CUIModuleDialog::setButtonBarBackgroundColor(const wxColour& color)
{
    SetBackgroundColour(color);
    Refresh();
}

void CUIModuleDialog::setPageAreaBackgroundColor(const wxColour& color)
{
    m_pageArea->SetBackgroundColour(color);
    m_pageParent->SetBackgroundColour(color);
    m_pageArea->Refresh();
}

void CUIModuleDialog::setPageAreaTextColor(const wxColour& color)
{
    m_pageArea->SetForegroundColour(color);
    m_pageParent->SetForegroundColour(color);
    m_pageArea->Refresh();
}

void CUIModuleDialog::nextPage()
{
    if (!m_module)
        return;
    const IUIModule::NavigateResult r = m_module->nextPage();
    updateNavigateButtons();
    if (r == IUIModule::NavigateEnd)
        EndDialog(wxID_OK);
}

void CUIModuleDialog::prevPage()
{
    if (!m_module)
        return;
    if (m_backIsCancel) {
        if (m_module->confirmAbort())
            EndDialog(wxID_CANCEL);
        return;
    }
    const IUIModule::NavigateResult r = m_module->prevPage();
    updateNavigateButtons();
    if (r == IUIModule::NavigateEnd) {
        zil::logError(
            L"Internal error: IUIModule::prevPage has unexpectedly returned NavigateEnd. Closing dialog "
            L"without asking for user's confirmation.");
        EndDialog(wxID_CANCEL);
    }
}

void CUIModuleDialog::updateNavigateButtons()
{
    zil::P<CUIPageInfo> info;
    if (m_module) {
        info = m_module->getPageInfo();
        m_backIsCancel = !m_module->hasPrevPage();
    } else {
        m_backIsCancel = true;
    }
    if (!info)
        info = new CUIPageInfo();
    wxButton* forward = isOkOnTheLeft() ? m_leftButton : m_rightButton;
    wxButton* backward = isOkOnTheLeft() ? m_rightButton : m_leftButton;
    forward->SetLabel(toWX(info->nextLabel.empty() ? getDefaultNextLabel() : info->nextLabel));
    backward->SetLabel(toWX(info->backLabel.empty() ? getDefaultBackLabel() : info->backLabel));
    m_buttonBarSizer->Layout();
    forward->Show(info->showNext);
    backward->Show(info->showBack);
    forward->Enable(info->enableNext);
    backward->Enable(info->enableBack);
}

zil::String CUIModuleDialog::getDefaultNextLabel()
{
    if (!m_singlePage && m_module)
        return m_module->hasNextPage() ? ZILUI_TR("Next") : ZILUI_TR("Finish");
    return ZILUI_TR("OK");
}

zil::String CUIModuleDialog::getDefaultBackLabel()
{
    if (!m_singlePage && m_module && m_module->hasPrevPage())
        return ZILUI_TR("Back");
    return ZILUI_TR("Cancel");
}

template <class Step>
void CUIModuleDialog::runGuarded(Step&& step)
{
    // The loop is already ending because of an error; later clicks must not touch the module.
    if (m_loopError)
        return;
    // Set while the step runs, so that a key pressed in a message box it shows cannot start
    // another one.
    struct CStepFlag {
        bool& flag;
        bool previous = std::exchange(flag, true);
        ~CStepFlag() { flag = previous; }
    } inStep{m_inStep};
    // An application base shows the error as for any other handler and the dialog stays
    // where the module now is; without one the error cannot travel through the event loop,
    // so it ends the loop and ShowModal rethrows it.
    if (!IsModal() || CAppBase::get()) {
        try {
            step();
        } catch (...) {
            if (m_module && IsModal())
                updateNavigateButtons();
            throw;
        }
        return;
    }
    try {
        step();
    } catch (...) {
        m_loopError = std::current_exception();
        EndModal(wxID_CANCEL);
    }
}

void CUIModuleDialog::onLeftButton(wxCommandEvent&)
{
    runGuarded([this] {
        if (isOkOnTheLeft())
            nextPage();
        else
            prevPage();
    });
}

void CUIModuleDialog::onRightButton(wxCommandEvent&)
{
    runGuarded([this] {
        if (isOkOnTheLeft())
            prevPage();
        else
            nextPage();
    });
}

void CUIModuleDialog::onCancel(wxCommandEvent&)
{
    runGuarded([this] {
        if (!m_module || m_module->confirmAbort())
            EndDialog(wxID_CANCEL);
    });
}

bool CUIModuleDialog::Validate()
{
    if (!m_module)
        return true;
    const IUIModule::NavigateResult r = m_module->nextPage();
    updateNavigateButtons();
    return r == IUIModule::NavigateEnd;
}

void CUIModuleDialog::processCancelCommand()
{
    wxCommandEvent cancel(wxEVT_BUTTON, wxID_CANCEL);
    cancel.SetEventObject(this);
    ProcessWindowEvent(cancel);
}

void CUIModuleDialog::onCharHook(wxKeyEvent& event)
{
    if (m_singlePage) {
        event.Skip();
        return;
    }
    if (IsEscapeKey(event)) {
        processCancelCommand();
        return;
    }
    const int key = event.GetKeyCode();
    // The hook starts at the window the key was typed in and climbs to the dialog.
    const wxWindow* focus = wxDynamicCast(event.GetEventObject(), wxWindow);
    if ((key != WXK_RETURN && key != WXK_NUMPAD_ENTER) || event.HasAnyModifiers() ||
        focusTakesEnter(focus ? focus : FindFocus())) {
        event.Skip();
        return;
    }
    // Enter is the dialog's from here on. Not skipped even when it cannot go forward: GTK
    // would hand it to the default button, which it clicks even when hidden.
    if (canEnterGoForward()) {
        runGuarded([this] {
            if (Validate() && TransferDataFromWindow())
                EndDialog(GetAffirmativeId());
        });
    }
}

bool CUIModuleDialog::focusTakesEnter(const wxWindow* focus) const
{
    if (!focus || focus == this)
        return false;
    // C++'s cast: wxAnyButton has no class information of its own, so wxDynamicCast would
    // take every control for one.
    if (dynamic_cast<const wxAnyButton*>(focus))
        return true;
    if (const auto* text = dynamic_cast<const wxTextCtrl*>(focus))
        return text->IsMultiLine() || text->HasFlag(wxTE_PROCESS_ENTER);
    // List boxes, choices and combo boxes pick or open with Enter, and a window that asks for
    // every key gets this one too.
    if (dynamic_cast<const wxItemContainer*>(focus) || focus->HasFlag(wxWANTS_CHARS))
        return true;
    // List and tree controls activate their rows with it; the key arrives at their inner
    // window.
    for (const wxWindow* window = focus; window && window != this; window = window->GetParent()) {
        if (dynamic_cast<const wxListCtrl*>(window) || dynamic_cast<const wxTreeCtrlBase*>(window))
            return true;
    }
    return false;
}

bool CUIModuleDialog::canEnterGoForward() const
{
    const wxButton* forward = m_rightButton; // the wizard layout's forward button
    return !m_inStep && IsEnabled() && forward->IsShown() && forward->IsEnabled();
}

void CUIModuleDialog::onClose(wxCloseEvent& event)
{
    if (m_singlePage || !IsModal()) {
        event.Skip();
        return;
    }
    processCancelCommand();
    if (IsModal() && !m_loopError) {
        if (event.CanVeto())
            event.Veto();
        else
            EndModal(wxID_CANCEL);
    }
}

} // namespace zilui
