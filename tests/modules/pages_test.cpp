// SPDX-License-Identifier: MIT
#include "app/apptestutil.h"
#include "modules/modulefakes.h"

#include <zilui/modules/pages.h>

#include <gtest/gtest.h>

#include <wx/sizer.h>
#include <wx/sstream.h>
#include <wx/xml/xml.h>
#include <wx/xrc/xmlres.h>

namespace zilui::test {
namespace {

TEST(SinglePageUIModule, StepsOverSkippedAndRefusingPages)
{
    const struct {
        const char* name;
        bool skip, dataOk;
        std::vector<bool> forward;
        Journal journal;
    } cases[] = {
        {"skipped", true, true, {true, false}, {"skipped_updateData", "next end", "prev end"}},
        {"data refused", false, false, {true, true, false},
         {"onEnter", "next moved shown", "verify", "next stay shown", "onLeave", "prev end"}},
        // Back never runs the data check.
        {"there and back", false, true, {true, true, false, false},
         {"onEnter", "next moved shown", "verify", "onLeave", "next end", "onEnter", "prev moved shown", "onLeave",
          "prev end"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Journal journal;
        CRecordingPage* page = new CRecordingPage(journal, L"page");
        page->skip = c.skip;
        page->dataOk = c.dataOk;
        zil::P<CSinglePageUIModule> module(new CSinglePageUIModule(page));
        module->resetState();
        module->enter(nullptr, kFwd);
        for (bool forward : c.forward) {
            const IUIModule::NavigateResult result = forward ? module->nextPage() : module->prevPage();
            journal.push_back((forward ? "next " : "prev ") + resultName(result) + (page->IsShown() ? " shown" : ""));
        }
        EXPECT_EQ(journal, c.journal);
        EXPECT_EQ(module->hasAnyPages(), !c.skip);
        EXPECT_FALSE(page->isEntered());
        page->Destroy();
    }
}

TEST(SinglePageUIModule, PageHasOneOwnerAndOutlivesNone)
{
    Journal journal;
    CRecordingPage* page = new CRecordingPage(journal, L"owned");
    zil::P<CSinglePageUIModule> module(new CSinglePageUIModule(page));
    EXPECT_NO_THROW(page->setPageOwnerWeak(module.get()));
    EXPECT_EQ(thrown([&] { zil::P<CSinglePageUIModule> second(new CSinglePageUIModule(page)); }).getMessage(),
              L"Internal error: #setPageOwnerWeak called multiple times for page object.");
    // A module that goes away frees its page for the next one.
    module.reset();
    module = new CSinglePageUIModule(page);

    // The page is destroyed while shown: the module forgets it and goes on without a page.
    module->enter(nullptr, kFwd);
    ASSERT_EQ(module->nextPage(), IUIModule::NavigateMoved);
    page->Destroy();
    EXPECT_EQ(module->getPage(), nullptr);
    EXPECT_FALSE(module->hasAnyPages() || module->getPageName() != L"");
    EXPECT_NO_THROW(module->leave(IUIPage::NavNone));
    module->enter(nullptr, kFwd);
    EXPECT_EQ(module->nextPage(), IUIModule::NavigateEnd);
    EXPECT_EQ(module->prevPage(), IUIModule::NavigateEnd);
    EXPECT_EQ(journal, (Journal{"onEnter"}));
}

TEST(UIPage, FailingHooksLeaveThePageNotEntered)
{
    for (bool failOnEnter : {true, false}) {
        SCOPED_TRACE(failOnEnter ? "onEnter" : "onLeave");
        Journal journal;
        CGlobalLogCapture log;
        CRecordingPage* page = new CRecordingPage(journal, L"broken");
        page->throwOnEnter = failOnEnter;
        page->throwOnLeave = !failOnEnter;
        zil::P<CFakeContext> context(new CFakeContext());
        if (failOnEnter) {
            EXPECT_THROW(page->enter(context.get(), kFwd), zil::CError);
        } else {
            page->enter(context.get(), kFwd);
            EXPECT_THROW(page->leave(kFwd), zil::CError);
        }
        EXPECT_FALSE(page->isEntered() || page->IsShown());
        EXPECT_EQ(context->getRefCount(), 1); // the context is dropped
        EXPECT_EQ(log.text().find("Exception in UI page onEnter. Letting through.") != std::string::npos, failOnEnter);
        page->Destroy();
    }
}

TEST(UIPagePanel, LoadsResourcePanelOrNamesTheMissingOne)
{
    static const bool handlersReady = (wxXmlResource::Get()->InitAllHandlers(), true);
    ASSERT_TRUE(handlersReady);
    wxStringInputStream input(R"(<?xml version="1.0"?>
<resource xmlns="http://www.wxwidgets.org/wxxrc" version="2.5.3.0">
  <object class="wxPanel" name="zilui_pages_test_panel">
    <object class="wxStaticText" name="zilui_pages_test_label"><label>Hello</label></object>
  </object>
</resource>)");
    ASSERT_TRUE(wxXmlResource::Get()->LoadDocument(new wxXmlDocument(input), "zilui-pages-test.xrc"));

    wxPanel* parent = new wxPanel(&sharedFrame());
    parent->SetSizer(new wxBoxSizer(wxVERTICAL));
    parent->SetBackgroundColour(wxColour(12, 34, 56));
    CUIPagePanel* page = new CUIPagePanel(parent, L"first", L"zilui_pages_test_panel", true);
    EXPECT_TRUE(page->FindWindow("zilui_pages_test_label") && page->GetName() == "first" && !page->IsShown());
    EXPECT_EQ(page->GetBackgroundColour(), wxColour(12, 34, 56));
    EXPECT_NE(parent->GetSizer()->GetItem(page), nullptr);

    const auto e = thrown([&] { new CUIPagePanel(parent, L"second", L"zilui_pages_test_missing", false); });
    EXPECT_EQ(e.getMessage(), L"Error loading UI page panel 'zilui_pages_test_missing'.");
    EXPECT_EQ(e.getProp(L"res"), L"zilui_pages_test_missing");
    EXPECT_TRUE(parent->GetChildren().size() == 1 && parent->GetSizer()->GetItemCount() == 1); // nothing left
    parent->Destroy();
    wxXmlResource::Get()->Unload("zilui-pages-test.xrc");
}

} // namespace
} // namespace zilui::test
