// SPDX-License-Identifier: MIT
#pragma once

#include "zil/object.h"
#include "zil/string.h"

namespace zil {

// Translates the texts the library shows to users. The application sets one service for the
// process; `ITranslationService::get(L"Cancel")` is the call every shown text goes through.
class ITranslationService : public virtual IBase {
public:
    virtual String translate(const String& text) = 0;

    // Null removes the service. Thread-safe; a service being replaced stays alive until the
    // calls already running on it have returned.
    static void setGlobal(ITranslationService* service);
    static P<ITranslationService> getGlobal();
    // The text translated by the global service, or unchanged when there is none.
    static String get(const String& text);
};

} // namespace zil
