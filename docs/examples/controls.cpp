// SPDX-License-Identifier: MIT
// docs/controls.md and docs/skins.md: the snippets are the function bodies below, verbatim.
#include <zilui/slick/controls.h>
#include <zilui/slick/skin.h>

#include <zilui/slick/popupmenu.h>

#include <zil/log.h>

void createControls(wxWindow* parent)
{
#include <zilui/slick/controls.h>

auto skin = zilui::CSlickButtonSkinCache::get()->getOrLoadSkin(L"skins/glossy/button.ini");
auto* ok = new zilui::CSlickButton(parent, wxID_OK, "");   // stock label "&OK"
ok->setSkin(skin.get());

auto* link = new zilui::CLinkButton(parent, wxID_ANY, "Project page");
link->SetURL(L"https://example.org/");                     // opened on click
}

void groupControls(zilui::CSlickButton* first, zilui::CSlickButton* second)
{
zil::P<zilui::CSlickButton::CHoverGroup> group(new zilui::CSlickButton::CHoverGroup());
group->add(first);
group->add(second);   // a control leaves its group when it is destroyed
}

void loadSkin(zilui::CSlickButton* button)
{
#include <zilui/slick/skin.h>

// One shared skin per path; load failures other than a missing file throw.
zil::P<zilui::CSlickButtonSkin> skin =
    zilui::CSlickButtonSkinCache::get()->getOrLoadSkin(L"skins/glossy/button.ini");
if (!skin->getLoadSuccessful())
    zil::logWarning(L"No skin file; the button keeps the default look.");
button->setSkin(skin.get());
}

void openMenu(wxWindow* frame, wxWindow* opener, zilui::CSlickButtonSkin* skinPointer,
              void (*onOpen)(wxCommandEvent&))
{
zil::P<zilui::CSlickButtonSkin> skin(skinPointer);
auto* menu = new zilui::CSlickPopupMenu(frame, L"menu", zil::CMargins(8, 8, 8, 8), skin.get());
menu->addEntry(L"Open", 0)->Bind(wxEVT_BUTTON, onOpen);
menu->addSpacer(8);
menu->Fit();
menu->Move(opener->ClientToScreen(wxPoint(0, opener->GetSize().y)));
menu->show(zilui::CSlickPopupMenu::AnimTopToBottom);
menu->activateAutoHide(zilui::CSlickPopupMenu::AnimTopToBottom, {opener}, {});
}
