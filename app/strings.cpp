// SPDX-License-Identifier: MIT
#include "zilui/app/strings.h"

namespace zilui {

wxString toWX(const zil::String& text)
{
    return wxString(text.data(), text.size());
}

zil::String fromWX(const wxString& text)
{
    return zil::String(text.ToStdWstring());
}

const char* getVersionString()
{
    return "0.1.0";
}

} // namespace zilui
