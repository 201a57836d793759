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
#include <wx/panel.h>

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
        resources.AddHandler(handler);
        resources.AddHandler(new CZilXMLResourceHandler_ListCtrl());
        resources.AddHandler(new CZilXMLResourceHandler_Sizer());
        resources.InitAllHandlers();
    }
    ~CXrcFixture() override { destroyPanel(); }
    void destroyPanel() { if (panel) panel->Destroy(); }

    // Writes `xrc` as `name` and loads its panel into the shared frame.
    wxPanel* load(const std::string& xrc, const char* name = "test.xrc")
    {
        const zil::Path file = folder.writeFile(zil::Path(zil::String::fromUTF8(name)), xrc);
        EXPECT_TRUE(resources.Load(toWX(file.str())));
        destroyPanel();
        return panel = resources.LoadPanel(&sharedFrame(), "panel");
    }
    template <class T>
    T* find(const char* name) { return panel ? dynamic_cast<T*>(panel->FindWindow(name)) : nullptr; }

    zil::test::CTempFolder folder;
    wxXmlResource resources{wxXRC_USE_LOCALE};
    CZilXMLResourceHandler* handler = new CZilXMLResourceHandler();
    wxPanel* panel = nullptr;
};

} // namespace zilui::test
