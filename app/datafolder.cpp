// SPDX-License-Identifier: MIT
#include "zilui/app/datafolder.h"

#include <dlfcn.h>

// Where the library's data folder lies relative to the folder of the library file, as
// installed (set by the build from the install layout).
#ifndef ZILUI_LIBDIR_TO_DATA
#define ZILUI_LIBDIR_TO_DATA "../share/zilui"
#endif

namespace zilui {

namespace {

bool hasResOrLang(const zil::Path& folder)
{
    return zil::folderExists(folder / zil::Path(L"res")) || zil::folderExists(folder / zil::Path(L"lang"));
}

zil::Path findLibraryDataPath()
{
    // The library's own file, wherever the loader found it; the data folder is found from
    // there, so an unpacked or moved prefix works as well as the one built for.
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&findLibraryDataPath), &info) == 0 || !info.dli_fname)
        return zil::Path();
    const zil::Path libraryFolder = zil::Path(info.dli_fname).makeAbsolute().normalize().getParent();
    // Installed: <prefix>/<libdir>/libzilui.so and <prefix>/<datadir>/zilui. In a build
    // tree: <build>/lib/libzilui.so with res/ and lang/ in <build>.
    for (const char* relative : {ZILUI_LIBDIR_TO_DATA, ".."}) {
        const zil::Path candidate = (libraryFolder / zil::Path(relative)).normalize();
        if (hasResOrLang(candidate))
            return candidate;
    }
    return zil::Path();
}

} // namespace

zil::Path getLibraryDataPath()
{
    static const zil::Path path = findLibraryDataPath();
    return path;
}

} // namespace zilui
