// SPDX-License-Identifier: MIT
#pragma once

#include <zil/object.h>
#include <zil/string.h>

class wxButton;
class wxWindow;

namespace zilui {

// Lets code that builds dialogs choose between native and skinned buttons without
// knowing which one it gets. The returned button is owned by its parent window.
class IButtonCreator : public virtual zil::IBase {
public:
    virtual wxButton* createButton(wxWindow* parent, int id, const zil::String& label) = 0;
};

} // namespace zilui
