// SPDX-License-Identifier: MIT
#include "sessionbus.h"

#include <wx/app.h>

namespace zilui::desktop {

zil::String errorText(const GError* error)
{
    return error ? zil::String::fromUTF8(error->message) : zil::String(L"unknown error");
}

std::string utf8(const zil::String& text)
{
    return text.toUTF8();
}

void callAfter(std::function<void()> work)
{
    if (wxTheApp)
        wxTheApp->CallAfter(std::move(work));
}

} // namespace zilui::desktop
