// SPDX-License-Identifier: MIT
// INI files as the skins and image parameters read them (every byte order mark and code
// unit the decoder meets), with every group and entry read back.
#include "fuzzsupport.h"

#include <zilui/app/streams.h>

#include <wx/fileconf.h>

ZILUI_FUZZ_TARGET(ini)
{
    const zil::Path file = zilui::fuzz::writeFile(L"file.ini", std::string(reinterpret_cast<const char*>(data), size));
    zil::readUTF8TextFile(file);
    const std::unique_ptr<wxFileConfig> config = zilui::readConfigFile(file, L"fuzz");
    wxString group, entry, value;
    long index = 0;
    for (bool more = config->GetFirstEntry(entry, index); more; more = config->GetNextEntry(entry, index))
        config->Read(entry, &value);
    for (bool more = config->GetFirstGroup(group, index); more; more = config->GetNextGroup(group, index))
        config->HasGroup(group);
}
