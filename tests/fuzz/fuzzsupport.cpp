// SPDX-License-Identifier: MIT
#include "fuzzsupport.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace zilui::fuzz {

namespace {

std::filesystem::path g_folder;

void removeFolder()
{
    std::error_code ignored;
    std::filesystem::remove_all(g_folder, ignored);
}

} // namespace

std::map<std::string, Target>& targets()
{
    static std::map<std::string, Target> all;
    return all;
}

const zil::Path& folder()
{
    static const zil::Path path = [] {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/zilui-fuzz-XXXXXX";
        if (!::mkdtemp(pattern.data()))
            std::abort();
        g_folder = pattern;
        std::atexit(removeFolder);
        return zil::Path(zil::String::fromUTF8(pattern));
    }();
    return path;
}

zil::Path writeFile(const zil::String& name, const std::string& bytes)
{
    const zil::Path path = folder() / name;
    std::FILE* file = std::fopen(path.str().toUTF8().c_str(), "wb");
    if (!file || std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size() || std::fclose(file) != 0)
        std::abort();
    return path;
}

zil::String text(const uint8_t* data, size_t size)
{
    return zil::String::fromUTF8(std::string_view(reinterpret_cast<const char*>(data), size));
}

std::string CPieces::next()
{
    const size_t end = m_rest.find("\n--\n");
    std::string piece = m_rest.substr(0, end);
    m_rest = end == std::string::npos ? std::string() : m_rest.substr(end + 4);
    return piece;
}

zil::String CPieces::nextText()
{
    const std::string piece = next();
    return text(reinterpret_cast<const uint8_t*>(piece.data()), piece.size());
}

} // namespace zilui::fuzz

