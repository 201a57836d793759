// SPDX-License-Identifier: MIT
#include "slickpage.h"

#include <zilui/app/language.h>
#include <zilui/app/strings.h>
#include <zilui/slick/controls.h>
#include <zilui/slick/skin.h>

#include <zil/error.h>
#include <zil/log.h>

#include <wx/choice.h>
#include <wx/scrolwin.h>
#include <wx/sizer.h>
#include <wx/statbox.h>
#include <wx/stattext.h>

#include <memory>

namespace gallery {

namespace {

using zilui::toWX;

// The looks drawn by tools/makeskins into res/skins/<look>/.
const wchar_t* const kLooks[] = {L"glossy", L"flat"};

// Factors offered for the skins' pictures; 0 stands for the screen's own.
constexpr double kFactors[] = {0.0, 1.0, 1.5, 2.0};

// The skin resource of `look`/`file` in a new skin, its pictures at `factor`, so that the
// gallery shows what other factors look like on this screen.
template <class Intermediate>
zil::P<zilui::TSlickSkinBase<Intermediate>> loadSkin(const wchar_t* look, const wchar_t* file, double factor)
{
    zil::P<zilui::TSlickSkinBase<Intermediate>> skin(new zilui::TSlickSkinBase<Intermediate>());
    skin->loadResource(zil::Path(zil::String(L"skins/") + look + L"/" + file), factor == 0.0 ? -1.0 : factor);
    return skin;
}

// The controls of one look, so that a new factor can reskin them.
struct LookControls {
    const wchar_t* look = nullptr;
    std::vector<zilui::CSlickButton*> buttons;
    std::vector<zilui::CSlickCheckBox*> checkBoxes;
    std::vector<zilui::CSlickRadioButton*> radioButtons;

    void applySkins(double factor)
    {
        auto button = loadSkin<zilui::CSlickButtonIntermediate>(look, L"button.ini", factor);
        auto checkBox = loadSkin<zilui::CSlickCheckBoxIntermediate>(look, L"checkbox.ini", factor);
        auto radio = loadSkin<zilui::CSlickRadioButtonIntermediate>(look, L"radiobutton.ini", factor);
        for (auto* control : buttons)
            control->setSkin(button.get());
        for (auto* control : checkBoxes)
            control->setSkin(checkBox.get());
        for (auto* control : radioButtons)
            control->setSkin(radio.get());
    }
};

wxSizer* makeLookColumn(wxWindow* parent, LookControls& controls, const wxString& caption)
{
    auto* box = new wxStaticBoxSizer(wxVERTICAL, parent, caption);
    wxWindow* owner = box->GetStaticBox();
    const auto add = [&](wxWindow* window) { box->Add(window, 0, wxEXPAND | wxALL, 4); };

    auto* save = new zilui::CSlickButton(owner, wxID_ANY, toWX(ZILUI_TR("Save")));
    auto* close = new zilui::CSlickButton(owner, wxID_ANY, toWX(ZILUI_TR("Save && &Close")));
    auto* disabled = new zilui::CSlickButton(owner, wxID_ANY, toWX(ZILUI_TR("Disabled button")));
    disabled->Disable();
    controls.buttons = {save, close, disabled};
    for (auto* button : controls.buttons)
        add(button);

    auto* checked = new zilui::CSlickCheckBox(owner, wxID_ANY, toWX(ZILUI_TR("Checked")));
    checked->SetValue(true);
    auto* unchecked = new zilui::CSlickCheckBox(owner, wxID_ANY, toWX(ZILUI_TR("Unchecked")));
    auto* undetermined = new zilui::CSlickCheckBox(owner, wxID_ANY, toWX(ZILUI_TR("Undetermined (drawn unchecked)")),
                                                   wxDefaultPosition, wxDefaultSize, wxCHK_3STATE);
    undetermined->Set3StateValue(wxCHK_UNDETERMINED);
    auto* disabledBox = new zilui::CSlickCheckBox(owner, wxID_ANY, toWX(ZILUI_TR("Disabled check box")));
    disabledBox->SetValue(true);
    disabledBox->Disable();
    controls.checkBoxes = {checked, unchecked, undetermined, disabledBox};
    for (auto* box2 : controls.checkBoxes)
        add(box2);

    const zil::String radioLabels[] = {ZILUI_TR("Small"), ZILUI_TR("Medium"), ZILUI_TR("Large")};
    for (size_t i = 0; i < std::size(radioLabels); ++i) {
        auto* radio = new zilui::CSlickRadioButton(owner, wxID_ANY, toWX(radioLabels[i]), wxDefaultPosition,
                                                   wxDefaultSize, i == 0 ? wxRB_GROUP : 0);
        controls.radioButtons.push_back(radio);
        add(radio);
    }
    controls.radioButtons[1]->SetValue(true);
    return box;
}

wxString lookCaption(size_t look)
{
    return look == 0 ? toWX(ZILUI_TR("Glossy sample skin")) : toWX(ZILUI_TR("Flat sample skin"));
}

} // namespace

wxSizer* makeSkinSamples(wxWindow* parent)
{
    auto* sizer = new wxBoxSizer(wxVERTICAL);
    for (size_t i = 0; i < std::size(kLooks); ++i) {
        LookControls controls;
        controls.look = kLooks[i];
        auto* button = new zilui::CSlickButton(parent, wxID_ANY, lookCaption(i));
        auto* checkBox = new zilui::CSlickCheckBox(parent, wxID_ANY, toWX(ZILUI_TR("Checked")));
        checkBox->SetValue(true);
        auto* radio = new zilui::CSlickRadioButton(parent, wxID_ANY, toWX(ZILUI_TR("Medium")), wxDefaultPosition,
                                                   wxDefaultSize, wxRB_SINGLE);
        radio->SetValue(true);
        controls.buttons = {button};
        controls.checkBoxes = {checkBox};
        controls.radioButtons = {radio};
        try {
            controls.applySkins(kFactors[0]);
        } catch (const zil::CError& e) {
            zil::logError(e, ZILUI_TR("The sample skins could not be loaded."));
        }
        sizer->Add(button, 0, wxEXPAND | wxBOTTOM, 4);
        sizer->Add(checkBox, 0, wxBOTTOM, 4);
        sizer->Add(radio, 0, wxBOTTOM, 12);
    }
    return sizer;
}

wxWindow* makeSlickPage(wxWindow* parent)
{
    auto* page = new wxScrolledWindow(parent, wxID_ANY);
    page->SetScrollRate(0, 10);
    auto* sizer = new wxBoxSizer(wxVERTICAL);

    auto* intro = new wxStaticText(
        page, wxID_ANY,
        toWX(ZILUI_TR("Native buttons, check boxes and radio buttons painted entirely from skins. Keyboard, "
                      "radio groups and events stay those of the native controls.")));
    intro->Wrap(640);
    sizer->Add(intro, 0, wxALL, 8);

    auto* factorRow = new wxBoxSizer(wxHORIZONTAL);
    factorRow->Add(new wxStaticText(page, wxID_ANY, toWX(ZILUI_TR("Skin pictures at display scale:"))), 0,
                   wxALIGN_CENTER_VERTICAL | wxRIGHT, 6);
    auto* factorChoice = new wxChoice(page, wxID_ANY);
    for (double factor : kFactors)
        factorChoice->Append(factor == 0.0 ? toWX(ZILUI_TR("this screen's")) : wxString::Format("%g", factor));
    factorChoice->SetSelection(0);
    factorRow->Add(factorChoice, 0, wxALIGN_CENTER_VERTICAL);
    sizer->Add(factorRow, 0, wxLEFT | wxRIGHT | wxBOTTOM, 8);

    // Owned by the page's lifetime through the lambda below.
    auto looks = std::make_shared<std::vector<LookControls>>(std::size(kLooks));
    auto* columns = new wxBoxSizer(wxHORIZONTAL);
    for (size_t i = 0; i < std::size(kLooks); ++i) {
        (*looks)[i].look = kLooks[i];
        columns->Add(makeLookColumn(page, (*looks)[i], lookCaption(i)), 1, wxEXPAND | wxALL, 8);
    }
    sizer->Add(columns, 0, wxEXPAND);

    // A link button keeps its own link look; its click opens the URL besides the button event.
    auto* linkRow = new wxBoxSizer(wxHORIZONTAL);
    linkRow->Add(new wxStaticText(page, wxID_ANY, toWX(ZILUI_TR("Link button:"))), 0,
                 wxALIGN_CENTER_VERTICAL | wxRIGHT, 6);
    auto* link = new zilui::CLinkButton(page, wxID_ANY, toWX(ZILUI_TR("wxWidgets web site")));
    link->SetURL(L"https://www.wxwidgets.org/");
    linkRow->Add(link, 0, wxALIGN_CENTER_VERTICAL);
    sizer->Add(linkRow, 0, wxALL, 8);

    // Three buttons that hover together: pointing at one lights all of them.
    auto* hoverBox = new wxStaticBoxSizer(wxHORIZONTAL, page, toWX(ZILUI_TR("Hover group")));
    zil::P<zilui::CSlickButton::CHoverGroup> group(new zilui::CSlickButton::CHoverGroup());
    for (const zil::String& label : {ZILUI_TR("Point"), ZILUI_TR("at any"), ZILUI_TR("of us")}) {
        auto* button = new zilui::CSlickButton(hoverBox->GetStaticBox(), wxID_ANY, toWX(label));
        group->add(button);
        (*looks)[0].buttons.push_back(button);
        hoverBox->Add(button, 0, wxALL, 4);
    }
    sizer->Add(hoverBox, 0, wxALL, 8);

    const auto applyFactor = [looks, page](double factor) {
        try {
            for (LookControls& controls : *looks)
                controls.applySkins(factor);
        } catch (const zil::CError& e) {
            zil::logError(e, ZILUI_TR("The sample skins could not be loaded."));
        }
        page->Layout();
        page->FitInside();
    };
    applyFactor(kFactors[0]);
    factorChoice->Bind(wxEVT_CHOICE, [applyFactor](wxCommandEvent& event) {
        applyFactor(kFactors[event.GetSelection()]);
    });

    page->SetSizer(sizer);
    page->FitInside();
    return page;
}

} // namespace gallery
