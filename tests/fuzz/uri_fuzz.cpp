// SPDX-License-Identifier: MIT
// URIs and paths: what parses must give a text form that parses to the same URI, and the
// path operations must agree with each other.
#include "fuzzsupport.h"

#include <zil/uri.h>

#include <cstdlib>

ZILUI_FUZZ_TARGET(uri)
{
    zilui::fuzz::CPieces pieces(data, size);
    const zil::String text = pieces.nextText();
    const zil::String name = pieces.nextText();

    const zil::Path path(text);
    const zil::Path normal = path.normalize();
    if (normal.normalize() != normal || path.isAbsolute() != normal.isAbsolute())
        std::abort();
    path.getParent();
    path.getTitle();
    path.getExtension();
    (path / zil::Path(name)).normalize();
    try {
        zil::CURI::fromPath(path);
    } catch (const zil::CError&) {
    }

    const zil::CURI uri(text);
    try {
        if (zil::CURI(uri.toString()) != uri)
            std::abort();
    } catch (const zil::CError&) {
        std::abort();
    }
    uri.getParent();
    uri.getName();
    uri.normalize();
    if (uri.isLocal())
        uri.getLocalPath();
    uri.join(name);
}
