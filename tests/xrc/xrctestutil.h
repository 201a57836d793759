// SPDX-License-Identifier: MIT
// XRC tests: resource files written into a temporary folder and loaded into a resource
// object of the test's own, with the library's handlers ahead of the standard ones.
#pragma once

#include "support/guitest.h"
#include "zil/temp_folder.h"

#include <zilui/app/strings.h>
#include <zilui/xrc/xmlresourcehandler.h>

#include <gtest/gtest.h>

#include <wx/frame.h>
#include <wx/log.h>
#include <wx/panel.h>

#include <memory>
#include <string>

namespace zilui::test {

// `objects` inside <object class="wxPanel" name="panel">, `more` beside it, as a whole
// resource file.
inline std::string panelXrc(const std::string& objects, const std::string& more = std::string())
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<resource xmlns=\"http://www.wxwidgets.org/wxxrc\" "
           "version=\"2.5.3.0\"><object class=\"wxPanel\" name=\"panel\">" +
           objects + "</object>" + more + "</resource>\n";
}

struct CXrcFixture : testing::Test {
    // Handlers in the order CAppBase::initResourceHandlers adds them.
    CXrcFixture()
    {
        handler = new CZilXMLResourceHandler();
        resources.AddHandler(handler);
        resources.AddHandler(new CZilXMLResourceHandler_ListCtrl());
        resources.AddHandler(new CZilXMLResourceHandler_Sizer());
        resources.InitAllHandlers();
    }
    ~CXrcFixture() override
    {
        if (panel)
            panel->Destroy();
    }

    // Writes `xrc` as `name` and loads its panel into the shared frame.
    wxPanel* load(const std::string& xrc, const char* name = "test.xrc")
    {
        const zil::Path file = folder.writeFile(zil::Path(zil::String::fromUTF8(name)), xrc);
        EXPECT_TRUE(resources.Load(toWX(file.str())));
        if (panel)
            panel->Destroy();
        panel = resources.LoadPanel(&sharedFrame(), "panel");
        EXPECT_NE(panel, nullptr);
        return panel;
    }
    template <class T>
    T* find(const char* name)
    {
        return panel ? dynamic_cast<T*>(panel->FindWindow(name)) : nullptr;
    }

    zil::test::CTempFolder folder;
    wxXmlResource resources{wxXRC_USE_LOCALE};
    CZilXMLResourceHandler* handler;
    wxPanel* panel = nullptr;
};

// wxWidgets' log messages while it lives.
class CWxLogCapture : public wxLog {
public:
    CWxLogCapture() : m_previous(wxLog::SetActiveTarget(this)) {}
    ~CWxLogCapture() override { wxLog::SetActiveTarget(m_previous); }
    std::string text;

protected:
    void DoLogTextAtLevel(wxLogLevel, const wxString& message) override { text += message.utf8_string() + "\n"; }

private:
    wxLog* m_previous;
};

} // namespace zilui::test
