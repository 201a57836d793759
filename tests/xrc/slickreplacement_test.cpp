// SPDX-License-Identifier: MIT
#include "app/apptestutil.h"
#include "xrc/xrctestutil.h"

#include <zilui/controls/wrappers.h>
#include <zilui/slick/controls.h>
#include <zilui/xrc/slickreplacement.h>

#include <wx/button.h>
#include <wx/checkbox.h>

#include <memory>

// An application's own button class, as XRC files name them in "subclass".
class CTestAppButton : public wxButton {
    wxDECLARE_DYNAMIC_CLASS(CTestAppButton);
};
wxIMPLEMENT_DYNAMIC_CLASS(CTestAppButton, wxButton);

namespace zilui::test {
namespace {

const std::string kPlainControls = panelXrc(R"(
    <object class="wxButton" name="button"><label>B</label><default>1</default></object>
    <object class="wxButton" subclass="wxButton" name="wxsub"/>
    <object class="wxButton" subclass="CTestAppButton" name="appsub"/>
    <object class="wxCheckBox" name="check"><checked>1</checked></object>
    <object class="wxRadioButton" name="first"><style>wxRB_GROUP</style></object>
    <object class="wxRadioButton" name="second"><value>1</value></object>)");

// The replacement handler ahead of the library's, as an application adds it.
struct SlickReplacement : CXrcFixture {
    SlickReplacement() { resources.InsertHandler(replacement); }

    zil::P<CSlickButtonSkin> buttonSkin{new CSlickButtonSkin()};
    CSlickInsteadOfNormalResourceHandler* replacement = new CSlickInsteadOfNormalResourceHandler(buttonSkin.get());
};

TEST_F(SlickReplacement, OnlyKindsWithASkinAndWxSubclassesAreReplaced)
{
    load(kPlainControls);
    ASSERT_NE(panel, nullptr);
    auto* button = find<CSlickButton>("button");
    ASSERT_TRUE(button);
    EXPECT_EQ(button->getSkin().get(), buttonSkin.get());
    EXPECT_TRUE(find<CSlickButton>("wxsub"));
    EXPECT_TRUE(find<CTestAppButton>("appsub") && !find<CSlickButton>("appsub"));
    // Without their skins, check boxes and radio buttons go to the library's handler.
    EXPECT_TRUE(find<CCheckBox>("check") && find<CCheckBox>("check")->GetValue());
    EXPECT_TRUE(find<CRadioButton>("second") && find<CRadioButton>("second")->GetValue());

    zil::P<CSlickCheckBoxSkin> checkSkin(new CSlickCheckBoxSkin());
    zil::P<CSlickRadioButtonSkin> radioSkin(new CSlickRadioButtonSkin());
    replacement->setCheckBoxSkin(checkSkin.get());
    replacement->setRadioButtonSkin(radioSkin.get());
    load(kPlainControls);
    ASSERT_TRUE(find<CSlickCheckBox>("check") && find<CSlickRadioButton>("second"));
    EXPECT_TRUE(find<CSlickCheckBox>("check")->getSkin() == checkSkin && find<CSlickCheckBox>("check")->GetValue());
    // "value" is not read
    EXPECT_TRUE(find<CSlickRadioButton>("second")->getSkin() == radioSkin && !find<CSlickRadioButton>("second")->GetValue());
}

// A caller's object handed to LoadObject that is not a skinned button is the caller's: the
// skinned button takes its place in the window, the object lives on, and XRC says why.
TEST_F(SlickReplacement, CallersObjectOfAnotherClassStaysAlive)
{
    struct COwnedBox : wxCheckBox {
        bool* gone;
        explicit COwnedBox(bool* flag) : gone(flag) {}
        ~COwnedBox() override { *gone = true; }
    };
    load(panelXrc(
        "",
        R"(<object class="wxButton" name="top"/><object class="wxButton" subclass="wxButton" name="topsub"/>)"));
    ASSERT_NE(panel, nullptr);
    for (const char* name : {"top", "topsub"}) {
        SCOPED_TRACE(name);
        bool gone = false;
        auto owned = std::make_unique<COwnedBox>(&gone);
        CRecordingLog log;
        EXPECT_TRUE(resources.LoadObject(owned.get(), panel, name, "wxButton"));
        EXPECT_FALSE(gone);
        EXPECT_TRUE(find<CSlickButton>(name));
        ASSERT_EQ(log.messages.size(), 1u);
        EXPECT_NE(log.messages[0].find("the instance supplied is a wxCheckBox, not a zilui::CSlickButton"),
                  wxString::npos)
            << log.messages[0];
        owned.reset();
        EXPECT_TRUE(gone);
    }
}

} // namespace
} // namespace zilui::test
