// SPDX-License-Identifier: MIT
#include "app/apptestutil.h"
#include "slick/slicktestutil.h"
#include "zil/temp_folder.h"
#include "../../slick/composedlayers.h"

#include <zilui/system/externalcommands.h>

#include <gtest/gtest.h>

#include <wx/uiaction.h>

#include <algorithm>
#include <memory>
#include <vector>

using namespace zilui;
using namespace zilui::test;

TEST(SlickControls, SpaceTogglesCheckBox)
{
    ZILUI_REQUIRE_SCREEN_INPUT();
    CInputFrame holder;
    auto* box = new CSlickCheckBox(holder.panel, wxID_ANY, "Check", wxPoint(10, 10), wxSize(100, 24));
    int events = 0;
    box->Bind(wxEVT_CHECKBOX, [&](wxCommandEvent&) { ++events; });
    moveMouseTo(box, wxPoint(50, 12));
    // Another test process on the display may take the keyboard focus for a moment.
    for (int attempt = 0; attempt < 3 && events == 0; ++attempt) {
        box->SetFocus();
        if (!runLoopUntil([&] { return box->getFocus() && box->getSharedHover(); }, 3000))
            continue;
        typeKey(' ');
        runLoopUntil([&] { return events > 0; }, 3000);
    }
    ASSERT_GT(events, 0);
    EXPECT_EQ(box->GetValue(), events % 2 == 1);
    EXPECT_EQ(box->getState(), box->GetValue() ? CSlickCheckBox::CheckedHover : CSlickCheckBox::UncheckedHover);
}

TEST(SlickControls, ClickOnRadioButtonClearsTheOthersOfItsGroup)
{
    ZILUI_REQUIRE_SCREEN_INPUT();
    const wxColour selected(0, 160, 0), unselected(160, 0, 0);
    zil::P<CSlickRadioButtonSkin> skin(new CSlickRadioButtonSkin());
    skin->setBorderType(CSlickRadioButtonSkin::BorderNone);
    for (int s = 0; s < CSlickRadioButtonSkin::StateCount; ++s)
        skin->getStateSkin(CSlickRadioButton::State(s)).setBackgroundColor(s % 2 ? selected : unselected);
    CInputFrame holder;
    CSlickRadioButton* radios[3];
    for (int i = 0; i < 3; ++i) {
        radios[i] = new CSlickRadioButton(holder.panel, wxID_ANY, "Radio", wxPoint(10, 10 + 30 * i),
                                          wxSize(100, 24), i == 0 ? wxRB_GROUP : 0);
        radios[i]->setSkin(skin.get());
    }
    radios[0]->SetValue(true);
    processPendingEvents();
    moveMouseTo(radios[2], wxPoint(50, 12));
    pointerClick();
    ASSERT_TRUE(runLoopUntil([&] { return radios[2]->GetValue(); }, 5000));
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(radios[i]->GetValue(), i == 2) << i;
        EXPECT_EQ(pixelAt(paintToImage(*radios[i]), 2, 2), i == 2 ? selected : unselected) << i;
    }
}

TEST(SlickControls, DisplayTextOfLabels)
{
    CTestPanel holder;
    const struct {
        wxString label;
        const wchar_t* button; // check boxes show the label as it is
    } cases[] = {{"Save && &Close", L"Save & Close"}, {"&&&&", L"&&"}, {"Trailing&", L"Trailing"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ((new CSlickButton(holder.panel, wxID_ANY, c.label))->getDisplayText(), c.button);
        EXPECT_EQ((new CSlickCheckBox(holder.panel, wxID_ANY, c.label))->getDisplayText(), fromWX(c.label));
    }
    // An empty label on a stock id shows the stock label.
    EXPECT_EQ((new CSlickButton(holder.panel, wxID_OK, ""))->GetLabel(), wxGetStockLabel(wxID_OK));
}

// Also: a real click sends wxEVT_BUTTON.
TEST(SlickControls, HoverGroupHoversTogetherAndClickSendsButtonEvent)
{
    ZILUI_REQUIRE_SCREEN_INPUT();
    const wxColour normal(200, 0, 0), hover(0, 200, 0);
    CInputFrame holder;
    zil::P<CSlickButton::CHoverGroup> group(new CSlickButton::CHoverGroup());
    CSlickButton* buttons[3];
    for (int i = 0; i < 3; ++i) {
        buttons[i] = new CSlickButton(holder.panel, wxID_ANY, "", wxPoint(10 + 90 * i, 10), wxSize(80, 30));
        buttons[i]->setSkin(buttonSkin(normal, hover).get());
        group->add(buttons[i]);
    }
    const auto allDrawn = [&](const wxColour& colour) {
        return std::all_of(std::begin(buttons), std::end(buttons),
                           [&](CSlickButton* b) { return pixelAt(paintToImage(*b), 2, 2) == colour; });
    };
    int clicks = 0;
    buttons[0]->Bind(wxEVT_BUTTON, [&](wxCommandEvent&) { ++clicks; });
    moveMouseTo(buttons[0], wxPoint(40, 15));
    EXPECT_TRUE(runLoopUntil([&] { return buttons[2]->getSharedHover(); }, 5000));
    EXPECT_TRUE(allDrawn(hover));
    EXPECT_FALSE(buttons[1]->getOwnHover());
    pointerClick();
    EXPECT_TRUE(runLoopUntil([&] { return clicks == 1; }, 5000));
    moveMouseTo(holder.panel, wxPoint(200, 200));
    EXPECT_TRUE(runLoopUntil([&] { return !buttons[2]->getSharedHover(); }, 5000));
    EXPECT_TRUE(allDrawn(normal));

    // A member that goes while hovered takes its hover with it.
    buttons[1]->setOwnHover(true);
    EXPECT_TRUE(buttons[0]->getSharedHover());
    delete buttons[1];
    EXPECT_FALSE(buttons[0]->getSharedHover());
    EXPECT_EQ(group->getControls().size(), 2u);
}

TEST(SlickControls, UndeterminedCheckBoxDrawsUnchecked)
{
    zil::P<CSlickCheckBoxSkin> skin(new CSlickCheckBoxSkin());
    for (int s = 0; s < CSlickCheckBoxSkin::StateCount; ++s)
        skin->getStateSkin(CSlickCheckBox::State(s)).setBackgroundColor(wxColour(10 * s, 0, 0));
    CTestPanel holder;
    auto* box = new CSlickCheckBox(holder.panel, wxID_ANY, "", wxPoint(0, 0), wxSize(40, 20), wxCHK_3STATE);
    box->setSkin(skin.get());
    for (const bool disabled : {false, true}) {
        box->Enable(!disabled);
        for (const wxCheckBoxState value : {wxCHK_UNDETERMINED, wxCHK_CHECKED}) {
            const auto expected = CSlickCheckBox::State((value == wxCHK_CHECKED) + 4 * disabled);
            SCOPED_TRACE(expected);
            box->Set3StateValue(value);
            EXPECT_EQ(box->getState(), expected);
            EXPECT_EQ(pixelAt(paintToImage(*box), 5, 5), wxColour(10 * expected, 0, 0));
        }
    }
}

namespace {

// Records the URLs handed to the web browser; the browser is never started.
class CRecordingDelegate : public zil::CBase, public virtual CExternalCommandManager::IDelegate {
public:
    bool openFileBrowser(const zil::String&, bool) override { return true; }
    bool openFileBrowserAtDiskList() override { return true; }
    bool openWebBrowser(const zil::String& url) override
    {
        urls.push_back(url);
        return true;
    }
    bool openPartitionManager() override { return true; }
    bool openCommandPrompt() override { return true; }
    zil::TArray<zil::String> urls;
};

} // namespace

TEST(SlickControls, LinkButtonOpensItsURLThroughTheCommandManager)
{
    const zil::P<CRecordingDelegate> delegate(new CRecordingDelegate());
    CExternalCommandManager::get()->addDelegate(delegate.get());
    struct CDropManager {
        ~CDropManager() { CExternalCommandManager::disposeGlobalInstance(); }
    } dropManager;
    // No xdg-open on PATH, so that nothing is started.
    zil::test::CTempFolder folder;
    zil::test::CEnvOverride path("PATH", folder.path().toAPIPath().c_str());
    CTestPanel holder;
    auto* link = new CLinkButton(holder.panel, wxID_ANY, "Example", wxPoint(0, 0), wxSize(80, 24));
    link->SetURL(L"https://example.org/a");
    // A release after dragging off the control is no click.
    for (const wxPoint& at : {wxPoint(100, 12), wxPoint(20, 12)}) {
        wxMouseEvent up(wxEVT_LEFT_UP);
        up.SetPosition(at);
        up.SetEventObject(link);
        link->ProcessWindowEvent(up);
    }
    EXPECT_EQ(delegate->urls.size(), 1u);

    // The scheme is compared in lower case; other URLs go to the default application, whose
    // error (no xdg-open) reaches the caller.
    CLinkButton::openURL(L"HTTP://EXAMPLE.ORG");
    EXPECT_THROW(CLinkButton::openURL(L"mailto:someone@example.org"), zil::CError);
    EXPECT_THROW(CLinkButton::openURL(L"httpx://x"), zil::CError);
    EXPECT_EQ(delegate->urls, zil::TArray<zil::String>({L"https://example.org/a", L"HTTP://EXAMPLE.ORG"}));
}

TEST(SlickControls, CreatorAndDynamicCreation)
{
    CTestPanel holder;
    zil::P<CSlickButtonSkin> skin(new CSlickButtonSkin());
    zil::P<IButtonCreator> withSkin(new CSlickButtonCreator(skin.get()));
    auto* a = dynamic_cast<CSlickButton*>(withSkin->createButton(holder.panel, wxID_ANY, L"A"));
    ASSERT_TRUE(a);
    EXPECT_EQ(a->getSkin().get(), skin.get());
    // Without a skin each button gets a default one of its own.
    zil::P<IButtonCreator> without(new CSlickButtonCreator());
    auto* b = dynamic_cast<CSlickButton*>(without->createButton(holder.panel, wxID_ANY, L"B"));
    auto* c = dynamic_cast<CSlickButton*>(without->createButton(holder.panel, wxID_ANY, L"C"));
    ASSERT_TRUE(b && c && b->getSkin());
    EXPECT_NE(b->getSkin().get(), c->getSkin().get());
    EXPECT_THROW(without->createButton(nullptr, wxID_ANY, L"D"), zil::CInvalidArgError);
    for (const char* name : {"zilui::CSlickButton", "zilui::CLinkButton", "zilui::CSlickCheckBox",
                             "zilui::CSlickRadioButton"}) {
        std::unique_ptr<wxObject> object(wxCreateDynamicObject(name));
        EXPECT_TRUE(dynamic_cast<wxControl*>(object.get())) << name;
    }
}

TEST(SlickControls, ButtonBitmapsPerState)
{
    CTestPanel holder;
    const wxBitmap normal(8, 8, 24), current(8, 8, 24), focused(8, 8, 24), disabled(8, 8, 24);
    auto* button = new CSlickButton(holder.panel, wxID_ANY, "B");
    button->SetBitmap(normal);
    button->setOwnHover(true);
    EXPECT_TRUE(isSameBitmap(button->getCurrentBitmap(), normal));
    // A focused bitmap stands in for the missing current one, but does not replace it.
    button->SetBitmapFocus(focused);
    EXPECT_TRUE(isSameBitmap(button->getCurrentBitmap(), focused));
    button->SetBitmapCurrent(current);
    EXPECT_TRUE(isSameBitmap(button->getCurrentBitmap(), current));
    button->SetBitmapDisabled(disabled);
    button->Disable();
    EXPECT_TRUE(isSameBitmap(button->getCurrentBitmap(), disabled));
}

// Background, underlay and border are composed once per skin, state and size: a hundred
// buttons share one bitmap per state, a change of the skin or size gets a new one, and the
// pixels stay those of the layers drawn one by one.
TEST(SlickControls, ButtonsOfOneSkinShareOneComposedBitmapPerState)
{
    CTestPanel holder;
    zil::P<CSlickButtonSkin> skin = buttonSkin(wxColour(10, 20, 200), wxNullColour, wxColour(90, 90, 90));
    skin->setBorderType(CSlickButtonSkin::BorderCss);
    skin->setBorderWidths(zil::CMargins(2, 1, 3, 1));
    skin->setBorderColor(wxColour(250, 0, 0));
    skin->getStateSkin(CSlickButton::Normal).setUnderlayImage(
        new CScalingImage(solidImage(4, 4, wxColour(0, 200, 0), 128)));
    const size_t instances = CComposedSkinLayers::getInstanceCount(), bitmaps = CComposedSkinLayers::getBitmapCount();
    std::vector<CSlickButton*> buttons;
    for (int i = 0; i < 100; ++i) {
        buttons.push_back(new CSlickButton(holder.panel, wxID_ANY, "", wxPoint(0, 0), wxSize(60, 20)));
        buttons.back()->setSkin(skin.get());
    }
    const auto paintAll = [&] {
        wxImage image;
        for (CSlickButton* button : buttons)
            image = paintToImage(*button);
        return image;
    };
    wxImage normal = paintAll();
    EXPECT_EQ(CComposedSkinLayers::getInstanceCount(), instances + 1);
    EXPECT_EQ(CComposedSkinLayers::getBitmapCount(), bitmaps + 1);
    EXPECT_EQ(pixelAt(normal, 0, 10), wxColour(250, 0, 0)) << "left border";
    EXPECT_EQ(pixelAt(normal, 58, 10), wxColour(250, 0, 0)) << "right border, 3 px about the last column";
    EXPECT_TRUE(isNear(pixelAt(normal, 30, 10), wxColour(5, 110, 100), 3)) << "half the underlay over the background";

    for (CSlickButton* button : buttons)
        button->Disable();
    EXPECT_EQ(pixelAt(paintAll(), 30, 10), wxColour(90, 90, 90));
    EXPECT_EQ(CComposedSkinLayers::getBitmapCount(), bitmaps + 2);

    skin->setBorderColor(wxColour(0, 0, 0));
    buttons[0]->SetSize(wxSize(50, 20));
    EXPECT_EQ(pixelAt(paintToImage(*buttons[0]), 0, 10), wxColour(0, 0, 0));
    EXPECT_EQ(pixelAt(paintToImage(*buttons[1]), 0, 10), wxColour(0, 0, 0));
    EXPECT_EQ(CComposedSkinLayers::getBitmapCount(), bitmaps + 4) << "the other buttons keep the old border's two";
}
