// SPDX-License-Identifier: MIT
// XRC input of the library's handlers: objects inside a panel created through them, and
// bitmap references looked up with a redirection.
#include "fuzzsupport.h"

#include <zilui/app/strings.h>
#include <zilui/xrc/xmlresourcehandler.h>

#include <wx/frame.h>
#include <wx/image.h>
#include <wx/panel.h>
#include <wx/xrc/xh_panel.h>
#include <wx/xrc/xmlres.h>

#include <filesystem>

ZILUI_FUZZ_TARGET(xrc)
{
    static wxFrame* frame = [] {
        std::filesystem::create_directory((zilui::fuzz::folder() / L"to").str().toUTF8());
        for (const wchar_t* name : {L"ok.png", L"to/ok.png"})
            wxImage(5, 5).SaveFile((zilui::fuzz::folder() / name).str().toUTF8(), wxBITMAP_TYPE_PNG);
        return new wxFrame(nullptr, wxID_ANY, "fuzz");
    }();
    zilui::fuzz::CPieces pieces(data, size);
    const std::string objects = pieces.next();
    const zil::String folder = zilui::fuzz::folder().str();
    zilui::CZilXMLResourceHandler::loadBitmapReference(zilui::toWX(pieces.nextText()),
                                                      "file://" + zilui::toWX(folder) + "/", zilui::fuzz::folder(),
                                                      zilui::fuzz::folder() / L"to");

    const zil::Path file = zilui::fuzz::writeFile(
        L"fuzz.xrc", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<resource xmlns=\"http://www.wxwidgets.org/wxxrc\" "
                     "version=\"2.5.3.0\"><object class=\"wxPanel\" name=\"panel\">" +
                         objects + "</object></resource>\n");
    // Only the library's handlers and the panel around them: the standard handlers are not
    // under test.
    wxXmlResource resources(wxXRC_USE_LOCALE);
    resources.AddHandler(new zilui::CZilXMLResourceHandler());
    resources.AddHandler(new zilui::CZilXMLResourceHandler_ListCtrl());
    resources.AddHandler(new zilui::CZilXMLResourceHandler_Sizer());
    resources.AddHandler(new wxPanelXmlHandler());
    if (!resources.Load(file.str().toUTF8()))
        return;
    if (wxPanel* panel = resources.LoadPanel(frame, "panel"))
        delete panel;
}
