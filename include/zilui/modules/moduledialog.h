// SPDX-License-Identifier: MIT
#pragma once

#include <zilui/app/eventconnection.h>
#include <zilui/modules/uimodule.h>

#include <zil/object.h>
#include <zil/string.h>

#include <wx/dialog.h>

#include <exception>

class wxBoxSizer;
class wxButton;
class wxGridSizer;
class wxPanel;

namespace zilui {

class IButtonCreator;

// The modal dialog that runs one IUIModule: a page area on top and a bar with two buttons
// below, Back/Cancel on the left and Next/Finish on the right, or OK and Cancel when the
// module has exactly one page. Pages are created as children of getPageParent(), where they
// lie on top of each other and each gets the whole area.
class CUIModuleDialog : public wxDialog, public TEventConnectorMixin {
public:
    // The host as seen from the module and its pages. It outlives the dialog's modal loop only
    // as a husk: once the loop has ended every operation does nothing (waitForThread still
    // joins).
    class CModuleContext : public zil::CBase, public IUIModuleContext {
    public:
        explicit CModuleContext(CUIModuleDialog* dialog) : m_dialog(dialog) {}

        void nextPage() override;
        void prevPage() override;
        void reExaminePageInfo() override;
        // Shows a "please wait" pulse dialog over the module dialog until `thread` has ended.
        // Throws zil::CInvalidArgError for a null thread.
        void waitForThread(zil::CThread* thread, bool join) override;

        void detach() { m_dialog = nullptr; }

    private:
        CUIModuleDialog* m_dialog; // not owned; null once the modal loop has ended
    };

    // A size with a positive width is kept; otherwise the dialog fits its contents when shown.
    // Without `buttonCreator` the buttons are plain wxButtons.
    CUIModuleDialog(wxWindow* parent, const zil::String& title, const wxSize& size = wxDefaultSize,
                    IButtonCreator* buttonCreator = nullptr, const wxPoint& pos = wxDefaultPosition,
                    long style = wxDEFAULT_DIALOG_STYLE);
    ~CUIModuleDialog() override;
    CUIModuleDialog(const CUIModuleDialog&) = delete;
    CUIModuleDialog& operator=(const CUIModuleDialog&) = delete;

    void setModule(IUIModule* module) { m_module = module; }
    wxWindow* getPageParent() const;
    wxButton* getLeftButton() const { return m_leftButton; }
    wxButton* getRightButton() const { return m_rightButton; }

    // Resets, enters and runs the module; returns wxID_OK when it ran to its end and
    // wxID_CANCEL when cancelled. The module is left when the loop ends. Errors from the
    // module before the loop are rethrown here after the module was left; a missing module
    // or one without pages is a zil::CError. An error while a button or key is handled in
    // the loop goes to the application base's error display and the dialog stays on the
    // page; without a CAppBase it ends the dialog and is rethrown here.
    int ShowModal() override;
    bool doModal() { return ShowModal() == wxID_OK; }

    // The dialog's own background, which the button bar shows.
    void setButtonBarBackgroundColor(const wxColour& color);
    void setPageAreaBackgroundColor(const wxColour& color);
    void setPageAreaTextColor(const wxColour& color);

protected:
    void nextPage();
    void prevPage();
    void reExaminePageInfo() { updateNavigateButtons(); }
    // Labels, visibility and enabling of both buttons from the module's current page info.
    virtual void updateNavigateButtons();
    zil::String getDefaultNextLabel();
    zil::String getDefaultBackLabel();

    void onLeftButton(wxCommandEvent& event);
    void onRightButton(wxCommandEvent& event);
    // Escape or the close box: ends the dialog when the module agrees.
    void onCancel(wxCommandEvent& event);
    // A forward step; true when the module ran to its end.
    bool Validate() override;

private:
    bool isOkOnTheLeft() const { return m_singlePage && m_okOnTheLeft; }
    // Runs a step from a button. While the modal loop runs, an error ends it and is kept for
    // ShowModal to rethrow, since it cannot travel through the event loop.
    template <class Step>
    void runGuarded(Step&& step);
    // Escape and the close box of the wizard layout, which has no button wxWidgets would
    // click for them: both become the wxID_CANCEL command.
    void onCharHook(wxKeyEvent& event);
    // Whether the focused control does something with Enter itself (a button, a list, a text
    // that asks for it), so that the wizard layout leaves the key to it.
    bool focusTakesEnter(const wxWindow* focus) const;
    // Whether Enter in the wizard layout may take the forward step: only as a click on the
    // forward button could, and not while a step (and the message box it may show) runs.
    bool canEnterGoForward() const;
    void onClose(wxCloseEvent& event);
    void processCancelCommand();

    wxPanel* m_pageArea;
    wxPanel* m_pageParent;
    wxBoxSizer* m_buttonBarSizer;
    wxGridSizer* m_buttonGrid;
    wxButton* m_leftButton;
    wxButton* m_rightButton;
    bool m_sizeGiven = false;
    zil::P<IUIModule> m_module;
    bool m_singlePage = false;
    bool m_okOnTheLeft = true;
    bool m_backIsCancel = false;
    bool m_inStep = false; // a button's or key's step is running
    zil::P<CModuleContext> m_context; // set while ShowModal runs
    std::exception_ptr m_loopError;
};

} // namespace zilui
