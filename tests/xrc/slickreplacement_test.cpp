// SPDX-License-Identifier: MIT
#include "xrc/xrctestutil.h"

#include <zilui/controls/wrappers.h>
#include <zilui/slick/controls.h>
#include <zilui/xrc/slickreplacement.h>

#include <wx/button.h>

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

} // namespace
} // namespace zilui::test
