// SPDX-License-Identifier: MIT
#pragma once

#include <zil/path.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <ftw.h>
#include <string>

namespace zil::test {

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
        if (!m_path.isEmpty())
            ::nftw(m_path.toAPIPath().c_str(), removeEntry, 16, FTW_DEPTH | FTW_PHYS);
    }
    CTempFolder(const CTempFolder&) = delete;
    CTempFolder& operator=(const CTempFolder&) = delete;

    const Path& path() const { return m_path; }
    Path operator/(const Path& name) const { return m_path / name; }

    // Writes `bytes` to the file `name` below the folder and returns its path.
    Path writeFile(const Path& name, const std::string& bytes) const
    {
        const Path path = m_path / name;
        std::ofstream(path.toAPIPath(), std::ios::binary) << bytes;
        return path;
    }

private:
    static int removeEntry(const char* path, const struct stat*, int, struct FTW*)
    {
        std::remove(path); // best effort: keep going so the rest is removed
        return 0;
    }

    Path m_path;
};

} // namespace zil::test
