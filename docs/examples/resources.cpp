// SPDX-License-Identifier: MIT
// docs/resources.md
#include <zilui/slick/skin.h>
#include <zilui/xrc/slickreplacement.h>

#include <wx/xrc/xmlres.h>

void skinPlainControls(zilui::CSlickButtonSkin* buttonSkin, zilui::CSlickCheckBoxSkin* checkBoxSkin)
{
auto* skinned = new zilui::CSlickInsteadOfNormalResourceHandler(buttonSkin, checkBoxSkin, nullptr);
wxXmlResource::Get()->InsertHandler(skinned);
}
