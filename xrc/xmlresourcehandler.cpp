// SPDX-License-Identifier: MIT
#include "zilui/xrc/xmlresourcehandler.h"

#include "buttonstates.h"

#include "zilui/app/strings.h"
#include "zilui/controls/timectrl.h"
#include "zilui/controls/wrappers.h"
#include "zilui/graphics/panels.h"
#include "zilui/graphics/resourcemanager.h"
#include "zilui/slick/controls.h"
#include "zilui/slick/overlays.h"
#include "zilui/system/filesystembrowser.h"

#include <zil/error.h>
#include <zil/log.h>

#include <wx/filesys.h>
#include <wx/xml/xml.h>
#include <wx/log.h>
#include <wx/sizer.h>
#include <wx/statbmp.h>
#include <wx/tglbtn.h>

#include <mutex>
#include <type_traits>

wxIMPLEMENT_DYNAMIC_CLASS(zilui::CZilXMLResourceHandler, wxXmlResourceHandler);
wxIMPLEMENT_DYNAMIC_CLASS(zilui::CZilXMLResourceHandler_ListCtrl, wxListCtrlXmlHandler);
wxIMPLEMENT_DYNAMIC_CLASS(zilui::CZilXMLResourceHandler_Sizer, wxSizerXmlHandler);

namespace zilui {

namespace {

const wxString kArtClient = wxS("wxART_OTHER_C");
const wxString kZilPrefix = wxS("zil::");

// XRC files name the library's classes "zil::X" while wxWidgets knows them as "zilui::X";
// without this, wxWidgets reports every such subclass as unknown before our handler runs.
class CZilSubclassFactory : public wxXmlSubclassFactory {
public:
    wxObject* Create(const wxString& className) override
    {
        wxString rest;
        if (!className.StartsWith(kZilPrefix, &rest))
            return nullptr;
        const wxClassInfo* info = wxClassInfo::FindClass(wxS("zilui::") + rest);
        return info ? info->CreateObject() : nullptr;
    }
};

} // namespace

bool isXrcClass(const wxXmlNode* node, const wxString& name)
{
    return node && (node->GetAttribute(wxS("class")) == name || node->GetAttribute(wxS("subclass")) == name);
}

// ---------------------------------------------------------------------------------------------
// CZilXMLResourceHandler

CZilXMLResourceHandler::CZilXMLResourceHandler()
{
    static std::once_flag factoryOnce;
    std::call_once(factoryOnce, [] { wxXmlResource::AddSubclassFactory(new CZilSubclassFactory()); });

    for (const XrcStyle& style : kCheckAndRadioStyles)
        AddStyle(style.name, style.value);
    XRC_ADD_STYLE(wxTE_NO_VSCROLL);
    XRC_ADD_STYLE(wxTE_PROCESS_ENTER);
    XRC_ADD_STYLE(wxTE_PROCESS_TAB);
    XRC_ADD_STYLE(wxTE_MULTILINE);
    XRC_ADD_STYLE(wxTE_PASSWORD);
    XRC_ADD_STYLE(wxTE_READONLY);
    XRC_ADD_STYLE(wxHSCROLL);
    XRC_ADD_STYLE(wxTE_RICH);
    XRC_ADD_STYLE(wxTE_RICH2);
    XRC_ADD_STYLE(wxTE_AUTO_URL);
    XRC_ADD_STYLE(wxTE_NOHIDESEL);
    XRC_ADD_STYLE(wxTE_LEFT);
    XRC_ADD_STYLE(wxTE_CENTRE);
    XRC_ADD_STYLE(wxTE_RIGHT);
    XRC_ADD_STYLE(wxTE_DONTWRAP);
    XRC_ADD_STYLE(wxTE_CHARWRAP);
    XRC_ADD_STYLE(wxTE_WORDWRAP);
    // Gone from wxWidgets 3 (scrolling is always automatic); still accepted in old files.
    AddStyle(wxS("wxTE_AUTO_SCROLL"), 0);
    XRC_ADD_STYLE(wxSP_HORIZONTAL);
    XRC_ADD_STYLE(wxSP_VERTICAL);
    XRC_ADD_STYLE(wxSP_ARROW_KEYS);
    XRC_ADD_STYLE(wxSP_WRAP);
    XRC_ADD_STYLE(wxALIGN_LEFT);
    XRC_ADD_STYLE(wxALIGN_CENTER);
    XRC_ADD_STYLE(wxALIGN_RIGHT);
    XRC_ADD_STYLE(wxLB_SINGLE);
    XRC_ADD_STYLE(wxLB_MULTIPLE);
    XRC_ADD_STYLE(wxLB_EXTENDED);
    XRC_ADD_STYLE(wxLB_HSCROLL);
    XRC_ADD_STYLE(wxLB_ALWAYS_SB);
    XRC_ADD_STYLE(wxLB_NEEDED_SB);
    XRC_ADD_STYLE(wxLB_SORT);
    AddWindowStyles();
}

// Tried in this order: the library's own classes come before the plain wxWidgets names they
// may stand in for, so that a subclass wins over its class.
const std::vector<CZilXMLResourceHandler::ClassRule>& CZilXMLResourceHandler::getClassRules()
{
    using H = CZilXMLResourceHandler;
    static const std::vector<ClassRule> rules = {
        {L"zil::CLinkButton", &H::createLinkButton},
        {L"zil::CSlickButton", &H::createSlickButton},
        {L"zil::CImageAndTextPanel", &H::createImageAndTextPanel},
        {L"zil::CSlickCheckBox", &H::createLabelled<CSlickCheckBox>},
        {L"zil::CSlickRadioButton", &H::createLabelled<CSlickRadioButton>},
        {L"zil::CRadioButton", &H::createRadioButton},
        {L"zil::CCheckBox", &H::createLabelled<CCheckBox, wxCheckBox>},
        {L"zil::CTextCtrl", &H::createTextCtrl},
        {L"zil::CSpinCtrl", &H::createSpinCtrl},
        {L"zil::CListBox", &H::createListBox},
        {L"zil::CGradientPanel", &H::createPanelWithChildren<CGradientPanel>},
        {L"zil::CScalingImagePanel", &H::createPanelWithChildren<CScalingImagePanel>},
        {L"zil::CSlickNonOverlay", &H::createNonOverlay},
        {L"zil::CFileSystemBrowserControl", &H::createFileSystemBrowser},
        {L"zil::CTimeCtrl", &H::createTimeCtrl},
        {L"zilui::CTimeCtrl", &H::createTimeCtrl},
        {L"wxRadioButton", &H::createRadioButton},
        {L"wxCheckBox", &H::createLabelled<CCheckBox, wxCheckBox>},
        {L"wxTextCtrl", &H::createTextCtrl},
        {L"wxSpinCtrl", &H::createSpinCtrl},
        {L"wxListBox", &H::createListBox},
        {L"wxStaticBitmap", &H::createStaticBitmap},
        {L"wxBitmap", &H::createBitmapObject},
    };
    return rules;
}

const wxArrayString& CZilXMLResourceHandler::getClassNames()
{
    static const wxArrayString names = [] {
        wxArrayString result;
        for (const ClassRule& rule : getClassRules())
            result.Add(rule.name);
        return result;
    }();
    return names;
}

bool CZilXMLResourceHandler::CanHandle(wxXmlNode* node)
{
    for (const ClassRule& rule : getClassRules())
        if (isXrcClass(node, rule.name))
            return true;
    return false;
}

wxObject* CZilXMLResourceHandler::DoCreateResource()
{
    repairXrcTextEscapes(m_node);
    for (const ClassRule& rule : getClassRules())
        if (isXrcClass(m_node, rule.name))
            return (this->*rule.create)();
    ReportError(wxS("Internal error: no creation rule for this class"));
    return nullptr;
}

// The instance XRC supplies (a subclass, or the object passed to LoadDialog and the like)
// when it is of the right kind; otherwise a new T.
template <class T, class Base>
Base* CZilXMLResourceHandler::makeInstance()
{
    if (m_instance) {
        if (auto* instance = dynamic_cast<Base*>(m_instance))
            return instance;
        ReportError(wxString::Format(wxS("the instance supplied is a %s, not a %s; creating a new one"),
                                     m_instance->GetClassInfo()->GetClassName(), m_class));
    }
    return new T();
}

template <class Control>
void CZilXMLResourceHandler::applyHidden(Control* control)
{
    if (GetBool(wxS("hidden")))
        control->Hide();
}

// Most controls take the same creation parameters; only the text's parameter and the default
// style differ.
template <class Control>
Control* CZilXMLResourceHandler::createStandard(Control* control, const wxString& textParam, long defaultStyle)
{
    applyHidden(control);
    control->Create(m_parentAsWindow, GetID(), GetText(textParam), GetPosition(), GetSize(),
                    GetStyle(wxS("style"), defaultStyle), wxDefaultValidator, GetName());
    return control;
}

wxObject* CZilXMLResourceHandler::createLinkButton()
{
    auto* button = createStandard(makeInstance<CLinkButton>(), wxS("label"), wxBU_AUTODRAW);
    if (GetBool(wxS("default")))
        button->SetDefault();
    if (HasParam(wxS("url")))
        button->SetURL(fromWX(GetText(wxS("url"), false)));
    SetupWindow(button);
    return button;
}

wxObject* CZilXMLResourceHandler::createSlickButton()
{
    auto* button = createStandard(makeInstance<CSlickButton>(), wxS("label"), wxBU_AUTODRAW);
    if (GetBool(wxS("default")))
        button->SetDefault();
    SetupWindow(button);
    applyButtonStateBitmaps(*button, [this](const wchar_t* param) {
        return HasParam(param) ? GetBitmap(param, kArtClient) : wxBitmap();
    });
    return button;
}

wxObject* CZilXMLResourceHandler::createImageAndTextPanel()
{
    auto* panel = makeInstance<CImageAndTextPanel>();
    applyHidden(panel);
    panel->wxPanel::Create(m_parentAsWindow, GetID(), GetPosition(), GetSize(),
                           GetStyle(wxS("style"), wxTAB_TRAVERSAL | wxNO_BORDER), GetName());
    if (m_parentAsWindow)
        panel->SetBackgroundColour(m_parentAsWindow->GetBackgroundColour());
    if (HasParam(wxS("label")))
        panel->SetLabel(GetText(wxS("label")));
    if (HasParam(wxS("bitmap")))
        panel->setBitmap(GetBitmap(wxS("bitmap"), kArtClient));
    SetupWindow(panel);
    return panel;
}

template <class T, class Base>
wxObject* CZilXMLResourceHandler::createLabelled()
{
    Base* control = createStandard(makeInstance<T, Base>(), wxS("label"));
    // A radio button's value is its group's business (createRadioButton).
    if constexpr (std::is_base_of_v<wxCheckBox, Base> || std::is_base_of_v<wxToggleButtonBase, Base>)
        control->SetValue(GetBool(wxS("checked")));
    SetupWindow(control);
    return control;
}

wxObject* CZilXMLResourceHandler::createRadioButton()
{
    wxRadioButton* button = makeInstance<CRadioButton, wxRadioButton>();
    // Create is not virtual, and the wrapper's also keeps the value the native group chose.
    if (auto* wrapper = dynamic_cast<CRadioButton*>(button))
        createStandard(wrapper, wxS("label"));
    else
        createStandard(button, wxS("label"));
    // Without "value" the native group decides; GTK cannot clear a selected radio button.
    if (HasParam(wxS("value")))
        button->SetValue(GetBool(wxS("value")));
    SetupWindow(button);
    return button;
}

wxObject* CZilXMLResourceHandler::createTextCtrl()
{
    wxTextCtrl* text = createStandard(makeInstance<CTextCtrl, wxTextCtrl>(), wxS("value"));
    SetupWindow(text);
    return text;
}

wxObject* CZilXMLResourceHandler::createSpinCtrl()
{
    wxSpinCtrl* spin = makeInstance<CSpinCtrl, wxSpinCtrl>();
    applyHidden(spin);
    spin->Create(m_parentAsWindow, GetID(), GetText(wxS("value")), GetPosition(), GetSize(),
                 GetStyle(wxS("style"), wxSP_ARROW_KEYS | wxALIGN_RIGHT), GetLong(wxS("min"), 0),
                 GetLong(wxS("max"), 100), GetLong(wxS("value"), 0), GetName());
    const long base = GetLong(wxS("base"), 10);
    if (base != 10)
        spin->SetBase(base);
    SetupWindow(spin);
    return spin;
}

wxObject* CZilXMLResourceHandler::createListBox()
{
    wxArrayString items;
    const wxXmlNode* content = GetParamNode(wxS("content"));
    for (const wxXmlNode* child = (content ? content : m_node)->GetChildren(); child; child = child->GetNext())
        if (child->GetType() == wxXML_ELEMENT_NODE && child->GetName() == wxS("item"))
            items.Add(GetNodeText(child, wxXRC_TEXT_NO_ESCAPE));
    wxListBox* list = makeInstance<CListBox, wxListBox>();
    applyHidden(list);
    list->Create(m_parentAsWindow, GetID(), GetPosition(), GetSize(), items, GetStyle(wxS("style"), 0),
                 wxDefaultValidator, GetName());
    const long selection = GetLong(wxS("selection"), -1);
    if (selection != -1)
        list->SetSelection(selection);
    SetupWindow(list);
    return list;
}

wxObject* CZilXMLResourceHandler::createStaticBitmap()
{
    wxBitmap bitmap;
    if (const wxXmlNode* node = GetParamNode(wxS("bitmap"))) {
        const wxString text = node->GetNodeContent().Strip(wxString::both);
        if (!node->GetAttribute(wxS("stock_id")).empty()) {
            bitmap = wxXmlResourceHandler::GetBitmap(node, kArtClient, GetSize());
        } else if (!text.empty()) {
            const wxXmlNode* named = m_resource ? m_resource->GetResourceNode(text) : nullptr;
            bitmap = GetBitmap(named ? named : node, kArtClient);
        }
    }
    auto* control = makeInstance<wxStaticBitmap>();
    applyHidden(control);
    control->Create(m_parentAsWindow, GetID(), bitmap, GetPosition(), GetSize(), GetStyle(wxS("style"), 0),
                    GetName());
    SetupWindow(control);
    return control;
}

template <class Panel>
wxObject* CZilXMLResourceHandler::createPanelWithChildren()
{
    auto* panel = makeInstance<Panel>();
    applyHidden(panel);
    panel->wxPanel::Create(m_parentAsWindow, GetID(), GetPosition(), GetSize(),
                           GetStyle(wxS("style"), wxTAB_TRAVERSAL | wxNO_BORDER), GetName());
    SetupWindow(panel);
    CreateChildren(panel);
    return panel;
}

wxObject* CZilXMLResourceHandler::createNonOverlay()
{
    auto* panel = makeInstance<CSlickNonOverlay>();
    applyHidden(panel);
    panel->Create(m_parentAsWindow, GetID(), wxEmptyString, GetPosition(), GetSize(), GetName());
    SetupWindow(panel);
    CreateChildren(panel);
    return panel;
}

wxObject* CZilXMLResourceHandler::createFileSystemBrowser()
{
    auto* browser = makeInstance<CFileSystemBrowserControl>();
    applyHidden(browser);
    // Its buttons are made in Create, so the creator comes first.
    browser->setButtonCreator(new CSlickButtonCreator());
    browser->Create(m_parentAsWindow, GetID(), GetPosition(), GetSize(),
                    GetStyle(wxS("style"), wxTAB_TRAVERSAL | wxNO_BORDER), GetName());
    SetupWindow(browser);
    return browser;
}

wxObject* CZilXMLResourceHandler::createTimeCtrl()
{
    auto* control = makeInstance<CTimeCtrl>();
    applyHidden(control);
    control->Create(m_parentAsWindow, GetID(), static_cast<int>(GetLong(wxS("value"), 0)), GetPosition(),
                    GetSize());
    control->SetName(GetName());
    SetupWindow(control);
    return control;
}

wxObject* CZilXMLResourceHandler::createBitmapObject()
{
    return new wxBitmap(GetBitmap(m_node, kArtClient));
}

// ---------------------------------------------------------------------------------------------
// Bitmaps

void CZilXMLResourceHandler::initTryRedirectBitmaps(const zil::Path& from, const zil::Path& to)
{
    m_redirectFrom = from.normalize();
    m_redirectTo = to.normalize();
}

wxBitmap CZilXMLResourceHandler::GetBitmap(const wxString& param, const wxString& artClient, wxSize size)
{
    const wxXmlNode* node = GetParamNode(param);
    return node ? GetBitmap(node, artClient, size) : wxNullBitmap;
}

namespace {

// `path` relative to `folder`, or empty when it lies outside. Both are normalised.
zil::Path relativeInside(const zil::Path& path, const zil::Path& folder)
{
    if (path.isAbsolute() != folder.isAbsolute())
        throw zil::CError(L"Cannot make paths relative to each other because they do not have the same root.",
                          L"CZilXMLResourceHandler::GetBitmap");
    const zil::String& p = path.str();
    const zil::String& f = folder.str();
    const bool root = f == L"/";
    if (p.size() <= f.size() || p.compare(0, f.size(), f) != 0 || (!root && p[f.size()] != L'/'))
        return zil::Path();
    return zil::Path(p.substr(f.size() + (root ? 0 : 1)));
}

} // namespace

wxBitmap CZilXMLResourceHandler::GetBitmap(const wxXmlNode* node, const wxString& artClient, wxSize size)
{
    if (!node)
        return wxNullBitmap;
    const wxString text = node->GetNodeContent().Strip(wxString::both);
    if (!node->GetAttribute(wxS("stock_id")).empty() || text.empty())
        return wxXmlResourceHandler::GetBitmap(node, artClient, size);
    return loadBitmapReference(text, GetCurFileSystem().GetPath(), m_redirectFrom, m_redirectTo);
}

wxBitmap CZilXMLResourceHandler::loadBitmapReference(const wxString& text, const wxString& folderURL,
                                                     const zil::Path& redirectFrom, const zil::Path& redirectTo)
{
    try {
        const wxString url = folderURL + text;
        // Only files have a place that a redirection or the resource manager could look at.
        const wxString scheme = url.BeforeFirst(':');
        if (url.Contains(wxS(":")) && scheme != wxS("file") && !scheme.Contains(wxS("/")))
            throw zil::CBadPathError(L"Bitmap reference does not name a local file: " + fromWX(url),
                                     L"CZilXMLResourceHandler::GetBitmap");
        const zil::Path path =
            zil::Path(fromWX(wxFileSystem::URLToFileName(url).GetFullPath())).makeAbsolute().normalize();
        // The resource manager reports a missing file through wxWidgets' log as well; ours
        // below says which reference it was.
        wxLogNull quiet;
        wxImage image;
        if (!redirectFrom.isEmpty() && !redirectTo.isEmpty()) {
            const zil::Path relative = relativeInside(path, redirectFrom);
            if (!relative.isEmpty())
                image = CResourceManager::get()->loadAndScaleImage(redirectTo.join(relative), -1.0);
        }
        if (!image.IsOk())
            image = CResourceManager::get()->loadAndScaleImage(path, -1.0);
        if (image.IsOk())
            return wxBitmap(image, -1, 1.0);
        zil::logError(L"Image referenced in resources not found: " + path.str());
    } catch (const zil::CError& e) {
        zil::logError(e, L"Exception trying to load bitmap referenced in resources (" + fromWX(text) +
                             L"). Ignoring.");
    }
    return wxBitmap();
}

// ---------------------------------------------------------------------------------------------
// CZilXMLResourceHandler_ListCtrl

bool CZilXMLResourceHandler_ListCtrl::CanHandle(wxXmlNode* node)
{
    return wxListCtrlXmlHandler::CanHandle(node) || isXrcClass(node, wxS("zil::CListCtrl"));
}

// wxListCtrl asserts unless exactly one view mode is set. None means the icon view, wx's own
// default; of several, the richest one is kept and the file's author told where.
long CZilXMLResourceHandler_ListCtrl::listStyle()
{
    const long style = GetStyle(wxS("style"), wxLC_ICON);
    const long mode = style & wxLC_MASK_TYPE;
    if (mode == wxLC_ICON || mode == wxLC_SMALL_ICON || mode == wxLC_LIST || mode == wxLC_REPORT)
        return style;
    long chosen = wxLC_ICON;
    for (long candidate : {wxLC_REPORT, wxLC_LIST, wxLC_SMALL_ICON}) {
        if (mode & candidate) {
            chosen = candidate;
            break;
        }
    }
    if (mode != 0) {
        zil::logWarning(L"XRC list control '" + fromWX(GetName()) + L"' (line " +
                        zil::String(std::to_wstring(m_node->GetLineNumber())) +
                        L") has more than one view mode in its style; using " +
                        (chosen == wxLC_REPORT ? L"wxLC_REPORT" : chosen == wxLC_LIST ? L"wxLC_LIST" : L"wxLC_SMALL_ICON") +
                        L".");
    }
    return (style & ~wxLC_MASK_TYPE) | chosen;
}

wxObject* CZilXMLResourceHandler_ListCtrl::DoCreateResource()
{
    repairXrcTextEscapes(m_node);
    if (!isXrcClass(m_node, wxS("wxListCtrl")) && !isXrcClass(m_node, wxS("zil::CListCtrl")))
        return wxListCtrlXmlHandler::DoCreateResource();
    wxListCtrl* list = nullptr;
    if (m_instance)
        list = dynamic_cast<wxListCtrl*>(m_instance);
    if (!list)
        list = new CListCtrl();
    if (GetBool(wxS("hidden")))
        list->Hide();
    list->Create(m_parentAsWindow, GetID(), GetPosition(), GetSize(), listStyle(), wxDefaultValidator, GetName());
    if (wxImageList* images = GetImageList(wxS("imagelist")))
        list->AssignImageList(images, wxIMAGE_LIST_NORMAL);
    if (wxImageList* images = GetImageList(wxS("imagelist-small")))
        list->AssignImageList(images, wxIMAGE_LIST_SMALL);
    CreateChildrenPrivately(list);
    SetupWindow(list);
    return list;
}

// ---------------------------------------------------------------------------------------------
// CZilXMLResourceHandler_Sizer

wxSizer* CZilXMLResourceHandler_Sizer::DoCreateSizer(const wxString& name)
{
    repairXrcTextEscapes(m_node);
    if (name != wxS("wxStaticBoxSizer"))
        return wxSizerXmlHandler::DoCreateSizer(name);
    auto* box = new CStaticBox(m_parentAsWindow, GetID(), GetText(wxS("label")), wxDefaultPosition, wxDefaultSize, 0,
                               GetName());
    return new wxStaticBoxSizer(box, GetStyle(wxS("orient"), wxHORIZONTAL));
}

// ---------------------------------------------------------------------------------------------

void repairXrcTextEscapes(wxXmlNode* node)
{
    if (!node)
        return;
    for (wxXmlNode* param = node->GetChildren(); param; param = param->GetNext()) {
        if (param->GetType() != wxXML_ELEMENT_NODE || param->GetName() == wxS("object") ||
            param->GetName() == wxS("object_ref"))
            continue;
        for (wxXmlNode* text = param->GetChildren(); text; text = text->GetNext()) {
            if (text->GetType() != wxXML_TEXT_NODE && text->GetType() != wxXML_CDATA_SECTION_NODE)
                continue;
            const wxString content = text->GetContent();
            size_t backslashes = 0;
            for (auto c = content.rbegin(); c != content.rend() && *c == wxS('\\'); ++c)
                ++backslashes;
            if (backslashes % 2 == 0)
                continue;
            zil::logWarning(L"XRC text '" + fromWX(param->GetName()) + L"' of object '" +
                            fromWX(node->GetAttribute(wxS("name"))) + L"' (line " +
                            zil::toString(int64_t(param->GetLineNumber())) +
                            L") ends in a lone backslash; it is read as a backslash.");
            text->SetContent(content + wxS('\\'));
        }
    }
}

} // namespace zilui
