// SPDX-License-Identifier: MIT
#include "zil/systeminfo.h"

#include "zil/error.h"

#include <cctype>
#include <clocale>
#include <fstream>
#include <string>

#include <langinfo.h>
#include <locale.h>
#include <sys/utsname.h>

namespace zil {

namespace {

const wchar_t* const kStageTexts[] = {L"dev", L"alpha", L"beta", L"rc", L"final"};

// The value of `key` in an os-release file, without the quotes the format allows.
std::string readOSReleaseValue(const std::string& text, const std::string& key)
{
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        const std::string line = text.substr(start, end - start);
        start = end + 1;
        if (line.compare(0, key.size() + 1, key + "=") != 0)
            continue;
        std::string value = line.substr(key.size() + 1);
        if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0])
            value = value.substr(1, value.size() - 2);
        return value;
    }
    return std::string();
}

} // namespace

String CSystemInfo::getOSType()
{
    struct utsname names;
    if (::uname(&names) != 0)
        throwSysError(L"uname", L"Cannot read the system's name");
    return String::fromUTF8(names.sysname).Lower();
}

CSystemInfo::Version CSystemInfo::parseVersion(const String& release)
{
    Version version;
    int* const parts[] = {&version.major, &version.minor, &version.build};
    size_t pos = 0;
    for (int* part : parts) {
        if (pos >= release.size() || !std::iswdigit(release[pos]))
            break;
        long value = 0;
        while (pos < release.size() && std::iswdigit(release[pos]) && value < 100000000)
            value = value * 10 + (release[pos++] - L'0');
        *part = int(value);
        if (pos >= release.size() || release[pos] != L'.')
            break;
        ++pos;
    }
    return version;
}

CSystemInfo::Version CSystemInfo::getOSVersion()
{
    struct utsname names;
    if (::uname(&names) != 0)
        throwSysError(L"uname", L"Cannot read the system's version");
    return parseVersion(String::fromUTF8(names.release));
}

String CSystemInfo::getOSDistribution()
{
    for (const char* path : {"/etc/os-release", "/usr/lib/os-release"}) {
        std::ifstream file(path);
        if (!file)
            continue;
        const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        std::string result = readOSReleaseValue(text, "ID");
        const std::string version = readOSReleaseValue(text, "VERSION_ID");
        if (!result.empty() && !version.empty())
            result += " " + version;
        return String::fromUTF8(result);
    }
    return String();
}

bool CSystemInfo::is64BitSystem()
{
    return sizeof(void*) == 8;
}

String CSystemInfo::getUserDefaultCurrencyISO4217()
{
    // newlocale("") reads the environment now, so the answer follows the user's settings
    // and not whatever setlocale() this process made earlier.
    locale_t locale = ::newlocale(LC_MONETARY_MASK, "", locale_t(0));
    if (locale == locale_t(0)) {
        const char* name = ::getenv("LC_ALL");
        if (!name || !*name)
            name = ::getenv("LC_MONETARY");
        if (!name || !*name)
            name = ::getenv("LANG");
        CProps props;
        props.set(L"locale", String::fromUTF8(name ? name : ""));
        throwSysError(L"newlocale", L"Cannot load the monetary locale", props);
    }
    // int_curr_symbol is the code plus a separator character ("EUR "), empty in C.
    std::string symbol = ::nl_langinfo_l(INT_CURR_SYMBOL, locale);
    ::freelocale(locale);
    while (!symbol.empty() && !std::isalpha(static_cast<unsigned char>(symbol.back())))
        symbol.pop_back();
    return String::fromUTF8(symbol);
}

String CSoftwareReleaseStage::toString() const
{
    return kStageTexts[m_stage];
}

CSoftwareReleaseStage CSoftwareReleaseStage::parse(const String& text)
{
    for (int stage = stageDevelopment; stage <= stageFinal; ++stage) {
        if (text.isSameNoCase(kStageTexts[stage]))
            return CSoftwareReleaseStage(Stage(stage));
    }
    CParseError e(L"'" + text + L"' is no release stage (dev, alpha, beta, rc or final)",
                  L"CSoftwareReleaseStage::parse");
    e.setProp(L"text", text);
    throw e;
}

} // namespace zil
