// SPDX-License-Identifier: MIT
#pragma once

#include <zil/path.h>

namespace zilui {

// The folder with the library's own "res" and "lang" (its resources, sample skins and
// catalogues): <prefix>/share/zilui when installed, found from where the library file lies,
// so a moved or unpacked prefix works too; in a build tree, the build folder above lib/.
// Empty when there is none. The application base and the resource manager search it after
// the program's own folders.
zil::Path getLibraryDataPath();

} // namespace zilui
