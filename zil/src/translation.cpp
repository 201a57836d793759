// SPDX-License-Identifier: MIT
#include "zil/translation.h"

#include <mutex>

namespace zil {

namespace {

struct CGlobalService {
    std::mutex mutex;
    P<ITranslationService> service;
};

// Never destroyed: texts are translated by threads and destructors that run at process end.
CGlobalService& globalService()
{
    static auto* global = new CGlobalService;
    return *global;
}

} // namespace

void ITranslationService::setGlobal(ITranslationService* service)
{
    P<ITranslationService> fresh(service);
    CGlobalService& global = globalService();
    {
        std::lock_guard<std::mutex> lock(global.mutex);
        global.service.swap(fresh);
    }
    // the old service is released here, outside the lock: its destructor may translate
}

P<ITranslationService> ITranslationService::getGlobal()
{
    CGlobalService& global = globalService();
    std::lock_guard<std::mutex> lock(global.mutex);
    return global.service;
}

String ITranslationService::get(const String& text)
{
    const P<ITranslationService> service = getGlobal();
    return service ? service->translate(text) : text;
}

} // namespace zil
