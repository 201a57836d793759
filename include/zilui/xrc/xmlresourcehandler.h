// SPDX-License-Identifier: MIT
#pragma once

#include <zil/path.h>

#include <wx/xrc/xh_listc.h>
#include <wx/xrc/xh_sizer.h>
#include <wx/xrc/xmlres.h>

#include <vector>

namespace zilui {

// Creates the library's controls from XRC under their "zil::" class names, and the library's
// wrappers (CCheckBox, CRadioButton, CTextCtrl, CSpinCtrl, CListBox) where a file names the
// plain wxWidgets class. The class and the subclass attribute both select a row, so
// <object class="wxCheckBox" subclass="zil::CSlickCheckBox"> gives a skinned check box that
// XRC editors still show as a check box.
//
// Bitmaps named by a resource are read through the resource manager, which picks the variant
// for the display scale; initTryRedirectBitmaps() lets one folder's bitmaps come from another
// (a branded set beside the stock one), falling back to the original file.
class CZilXMLResourceHandler : public wxXmlResourceHandler {
public:
    CZilXMLResourceHandler();

    // wxXmlResourceHandler
    wxObject* DoCreateResource() override;
    bool CanHandle(wxXmlNode* node) override;

    // A bitmap file under `from` is looked for at the same place under `to` first. Both are
    // kept normalised; two empty paths switch the redirection off.
    void initTryRedirectBitmaps(const zil::Path& from, const zil::Path& to);
    const zil::Path& getRedirectFrom() const { return m_redirectFrom; }
    const zil::Path& getRedirectTo() const { return m_redirectTo; }

    // Every class and subclass name the handler creates.
    static const wxArrayString& getClassNames();

    // The file lookup behind GetBitmap: `text` is relative to the folder URL of the XRC file
    // being read (wxFileSystem::GetPath()); a file under `redirectFrom` is tried under
    // `redirectTo` first. Logs and gives an empty bitmap when nothing loads.
    static wxBitmap loadBitmapReference(const wxString& text, const wxString& folderURL,
                                        const zil::Path& redirectFrom, const zil::Path& redirectTo);

protected:
    // Null bitmap without the parameter. Stock items and empty references take wxWidgets'
    // own lookup; a file reference (relative to the XRC file) goes through the resource
    // manager and the redirection. A missing file or a bad reference is logged and gives an
    // empty bitmap: the window is still created.
    wxBitmap GetBitmap(const wxString& param, const wxString& artClient = wxASCII_STR(wxART_OTHER),
                       wxSize size = wxDefaultSize);
    wxBitmap GetBitmap(const wxXmlNode* node, const wxString& artClient = wxASCII_STR(wxART_OTHER),
                       wxSize size = wxDefaultSize);

private:
    // A class name and the function that creates it; one table serves CanHandle,
    // getClassNames and DoCreateResource.
    struct ClassRule {
        const wchar_t* name;
        wxObject* (CZilXMLResourceHandler::*create)();
    };
    static const std::vector<ClassRule>& getClassRules();

    template <class T, class Base = T>
    Base* makeInstance();
    template <class Control>
    void applyHidden(Control* control);
    template <class Control>
    Control* createStandard(Control* control, const wxString& textParam, long defaultStyle = 0);
    wxObject* createLinkButton();
    wxObject* createSlickButton();
    wxObject* createImageAndTextPanel();
    // A control made from the common parameters and a label; one with a two-state value
    // (check box, toggle button) reads "checked".
    template <class T, class Base = T>
    wxObject* createLabelled();
    wxObject* createRadioButton();
    wxObject* createTextCtrl();
    wxObject* createSpinCtrl();
    wxObject* createListBox();
    wxObject* createStaticBitmap();
    wxObject* createFileSystemBrowser();
    template <class Panel>
    wxObject* createPanelWithChildren();
    wxObject* createTimeCtrl();
    wxObject* createNonOverlay();
    wxObject* createBitmapObject();

    zil::Path m_redirectFrom;
    zil::Path m_redirectTo;

    wxDECLARE_DYNAMIC_CLASS(CZilXMLResourceHandler);
};

// wxWidgets' list control handler that creates a CListCtrl for "wxListCtrl" and
// "zil::CListCtrl"; columns and items as wxWidgets reads them.
class CZilXMLResourceHandler_ListCtrl : public wxListCtrlXmlHandler {
public:
    wxObject* DoCreateResource() override;
    bool CanHandle(wxXmlNode* node) override;

private:
    long listStyle();

    wxDECLARE_DYNAMIC_CLASS(CZilXMLResourceHandler_ListCtrl);
};

// wxWidgets' sizer handler whose static box sizers get a CStaticBox.
class CZilXMLResourceHandler_Sizer : public wxSizerXmlHandler {
protected:
    wxSizer* DoCreateSizer(const wxString& name) override;

private:
    wxDECLARE_DYNAMIC_CLASS(CZilXMLResourceHandler_Sizer);
};

// True when the node's class or subclass attribute is `name`.
bool isXrcClass(const wxXmlNode* node, const wxString& name);

// wxWidgets 3.2 reads on past the end of an XRC text ending in a lone backslash until the
// process dies. A parameter of `node` ending so gets the backslash doubled, which reads as
// the backslash it shows, and a warning names the object, parameter and line. The library's
// handlers call it before they create an object.
void repairXrcTextEscapes(wxXmlNode* node);

} // namespace zilui
