// SPDX-License-Identifier: MIT
// Time control text: pasted text (undone unless it is a time), then keys typed at
// insertion points. The control must always show a valid "HH:MM".
#include "fuzzsupport.h"

#include <zilui/app/strings.h>
#include <zilui/controls/timectrl.h>

#include <wx/frame.h>

#include <cstdlib>

namespace {

class CTyping : public zilui::CTimeTextCtrl {
public:
    using CTimeTextCtrl::CTimeTextCtrl;
    using CTimeTextCtrl::handleKeyPress;
};

void checkShown(const CTyping& ctrl)
{
    const wxString text = ctrl.GetValue();
    const int value = ctrl.getTimeValue();
    if (text.length() != 5 || text[2] != ':' || value < 0 || value >= 24 * 60)
        std::abort();
}

} // namespace

ZILUI_FUZZ_TARGET(timectrl)
{
    static CTyping* ctrl = new CTyping(new wxFrame(nullptr, wxID_ANY, "fuzz"), 0, wxID_ANY);
    zilui::fuzz::CPieces pieces(data, size);
    ctrl->SetValue(zilui::toWX(pieces.nextText()));
    checkShown(*ctrl);
    // Pairs of bytes: insertion point, key.
    const std::string keys = pieces.next();
    for (size_t i = 0; i + 1 < keys.size(); i += 2) {
        ctrl->SetInsertionPoint(long(uint8_t(keys[i]) % 7));
        ctrl->handleKeyPress(uint8_t(keys[i + 1]) < 0x80 ? keys[i + 1] : WXK_UP + keys[i + 1] % 8, keys[i] < 0);
        checkShown(*ctrl);
    }
    ctrl->setTimeValue(int(size) * 997 - 40000);
    checkShown(*ctrl);
}
