// SPDX-License-Identifier: MIT
// What every harness shares: a private folder for the files a parser reads, and the pieces
// of one input. fuzzmain.cpp starts wxWidgets for a fuzzer executable.
#pragma once

#include <zil/error.h>
#include <zil/path.h>
#include <zil/string.h>

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

namespace zilui::fuzz {

// A folder of its own under TMPDIR, removed at exit.
const zil::Path& folder();
// Replaces `name` in folder() with `bytes`; returns its absolute path.
zil::Path writeFile(const zil::String& name, const std::string& bytes);
// Bytes to text as a user's file would give them: UTF-8, invalid sequences replaced.
zil::String text(const uint8_t* data, size_t size);

// Splits an input into pieces at "\n--\n", so that one input can feed several parameters.
class CPieces {
public:
    CPieces(const uint8_t* data, size_t size) : m_rest(reinterpret_cast<const char*>(data), size) {}
    std::string next();
    zil::String nextText();

private:
    std::string m_rest;
};

using Target = void (*)(const uint8_t* data, size_t size);
// Harness name -> function. A fuzzer executable holds one; the ordinary test suite holds
// them all and replays corpus/<name>/ through each.
std::map<std::string, Target>& targets();
struct CRegistration {
    CRegistration(const char* name, Target target) { targets()[name] = target; }
};

} // namespace zilui::fuzz

// Defines the harness's function, which runs inside a try block that accepts zil::CError
// (the library's documented failure) and nothing else; a broken expectation aborts.
#define ZILUI_FUZZ_TARGET(name)                                                                    \
    static void fuzz_##name(const uint8_t* data, size_t size);                                     \
    static const zilui::fuzz::CRegistration fuzzRegistration_##name(#name, &fuzz_##name);          \
    static void fuzz_##name(const uint8_t* data, size_t size)
