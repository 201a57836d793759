// SPDX-License-Identifier: MIT
#pragma once

#include "zilui/app/appbase.h"

#include <exception>

namespace zilui {

// wxWidgets ends the process on anything thrown through its callbacks, so every handler's
// exception stops here and is reported to the person instead.
template <class Call> void CAppBase::runReportingExceptions(Call&& call) const
{
    try {
        call();
    } catch (const std::exception& e) {
        reportEventException(e);
    }
}

} // namespace zilui
