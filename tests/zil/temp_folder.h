// SPDX-License-Identifier: MIT
#pragma once

#include <zil/error.h>
#include <zil/path.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <ftw.h>
#include <optional>
#include <sstream>
#include <string>
#include <thread>

namespace zil::test {

// The whole content of a file; empty when it cannot be read.
inline std::string readFile(const Path& path)
{
    std::stringstream content;
    content << std::ifstream(path.toAPIPath(), std::ios::binary).rdbuf();
    return content.str();
}

// How often `piece` stands in `text`, not overlapping: a message in a log, a line in an output.
inline int countOf(const std::string& text, const std::string& piece)
{
    int count = 0;
    for (auto at = text.find(piece); at != std::string::npos; at = text.find(piece, at + piece.size()))
        ++count;
    return count;
}

// A fresh folder under $TMPDIR (or /tmp), removed with its contents when the test ends.
class CTempFolder {
public:
    CTempFolder()
    {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/zil-test-XXXXXX";
        if (::mkdtemp(&pattern[0]))
            m_path = String::fromUTF8(pattern);
        else
            ADD_FAILURE() << "mkdtemp failed for " << pattern;
    }
    ~CTempFolder()
    {
        auto remove = [](const char* path, const struct stat*, int, struct FTW*) {
            return std::remove(path), 0; // best effort: keep going so the rest is removed
        };
        if (!m_path.isEmpty())
            ::nftw(m_path.toAPIPath().c_str(), remove, 16, FTW_DEPTH | FTW_PHYS);
    }
    CTempFolder(const CTempFolder&) = delete;
    CTempFolder& operator=(const CTempFolder&) = delete;

    const Path& path() const { return m_path; }
    Path operator/(const Path& name) const { return m_path / name; }
    std::string api(const Path& name) const { return (m_path / name).toAPIPath(); }

    // Writes `bytes` to the file `name` below the folder and returns its path.
    Path writeFile(const Path& name, const std::string& bytes) const
    {
        std::ofstream(api(name), std::ios::binary) << bytes;
        return m_path / name;
    }
    std::string read(const Path& name) const { return readFile(m_path / name); }

private:
    Path m_path;
};

// Whether `done()` came true. The 30 s bound only turns a lost change notice into a failure
// instead of a hang; nothing is timed.
template <class Condition> bool waitUntil(Condition&& done)
{
    for (int i = 0; i < 3000; ++i, std::this_thread::sleep_for(std::chrono::milliseconds(10)))
        if (done())
            return true;
    return done();
}

// A thread that writes "extra0.png" to "extra<count - 1>.png" into `folder`, for lookups to race
// with.
inline std::thread startWritingFiles(const CTempFolder& folder, int count)
{
    return std::thread([&folder, count] {
        for (int i = 0; i < count; ++i)
            folder.writeFile(String(L"extra") + String::fromUTF8(std::to_string(i)) + L".png", "x");
    });
}

// Sets (or with nullptr unsets) an environment variable until the end of the scope.
class CEnvOverride {
public:
    CEnvOverride(const char* name, const char* value) : m_name(name)
    {
        if (const char* old = std::getenv(name))
            m_old = old;
        value ? ::setenv(name, value, 1) : ::unsetenv(name);
    }
    ~CEnvOverride() { m_old ? ::setenv(m_name, m_old->c_str(), 1) : ::unsetenv(m_name); }

private:
    const char* m_name;
    std::optional<std::string> m_old;
};

// The E that `operation` throws; a test failure when it throws nothing.
template <class E = CError, class F>
E thrown(F&& operation)
{
    try {
        operation();
    } catch (const E& e) {
        return e;
    }
    ADD_FAILURE() << "nothing thrown";
    return E(L"(nothing thrown)");
}

} // namespace zil::test
