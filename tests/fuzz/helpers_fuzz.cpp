// SPDX-License-Identifier: MIT
// Helper files of the external command manager: read and turned into the command they
// describe, with caller arguments for the placeholders. Nothing is started.
#include "fuzzsupport.h"

#include <zilui/system/externalcommands.h>

#include <zil/process.h>

namespace {

class CManager : public zilui::CExternalCommandManager {
public:
    using CExternalCommandManager::CExternalCommandManager;
    using CExternalCommandManager::finalizeExecCommandForHelper;
};

} // namespace

ZILUI_FUZZ_TARGET(helpers)
{
    static const zil::P<CManager> manager(new CManager(zilui::fuzz::folder()));
    const zil::Path file = zilui::fuzz::writeFile(L"helper.zilcall", std::string(reinterpret_cast<const char*>(data), size));
    zil::CExecCommand command(file.str());
    command.addArgument(L"/tmp/a b").addArgument(L"$1 $$ $9").addArgument(L"");
    manager->finalizeExecCommandForHelper(command);
    command.getCommandLine();
}
