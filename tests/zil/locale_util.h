// SPDX-License-Identifier: MIT
// Locales compiled for a test run, since a fresh machine may have none but C installed.
#pragma once

#include "temp_folder.h"

#include <cstdlib>
#include <map>
#include <memory>
#include <string>

namespace zil::test {

// Compiles `name` ("de_DE.UTF-8") from the system's locale sources into a folder of its
// own, once per run, and returns the folder to set as LOCPATH; empty when localedef failed.
inline std::string compiledLocaleFolder(const std::string& name)
{
    static std::map<std::string, std::unique_ptr<CTempFolder>> folders;
    auto& folder = folders[name];
    if (!folder) {
        folder = std::make_unique<CTempFolder>();
        const size_t dot = name.find('.');
        const std::string command = "localedef -i " + name.substr(0, dot) + " -f " + name.substr(dot + 1) + " " +
                                    folder->api(String::fromUTF8(name)) + " >/dev/null 2>&1";
        if (std::system(command.c_str()) != 0)
            return std::string();
    }
    return folder->path().toAPIPath();
}

} // namespace zil::test
