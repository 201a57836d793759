// SPDX-License-Identifier: MIT
#pragma once

#include "zil/string.h"

namespace zil {

// Facts about the running system, for logs and links that identify it.
class CSystemInfo {
public:
    struct Version {
        int major = 0;
        int minor = 0;
        int build = 0;
        bool operator==(const Version& other) const
        {
            return major == other.major && minor == other.minor && build == other.build;
        }
    };

    // The kernel's name from uname(2), lower-cased: "linux".
    static String getOSType();
    // The first three numbers of the kernel release ("6.1.0-18-amd64" gives 6.1.0); a
    // missing number is 0.
    static Version getOSVersion();
    // The distribution from os-release (/etc/os-release, else /usr/lib/os-release):
    // "<ID> <VERSION_ID>" ("debian 12"), the ID alone without a version, empty without the
    // file.
    static String getOSDistribution();
    // What this build was made for: this library is only built for 64-bit targets of its
    // platforms, so the answer is sizeof(void*) == 8.
    static bool is64BitSystem();
    // Linux has no server editions; always false.
    static bool isServerEdition() { return false; }
    // The ISO 4217 code of the currency of the user's monetary locale (LC_ALL, else
    // LC_MONETARY, else LANG, read from the environment at each call, whatever this
    // process's setlocale() says): "EUR" for de_DE.UTF-8. Empty when the locale names no
    // currency (the C locale). Throws CError when the named locale is not installed.
    static String getUserDefaultCurrencyISO4217();

    // Parses "<a>.<b>.<c>..." as getOSVersion does; for tests and other sources.
    static Version parseVersion(const String& release);
};

// The stage of a software release, as shown in links and logs. Its text form is one of
// "dev", "alpha", "beta", "rc" and "final"; parsing is case-blind.
class CSoftwareReleaseStage {
public:
    enum Stage { stageDevelopment, stageAlpha, stageBeta, stageReleaseCandidate, stageFinal };

    CSoftwareReleaseStage(Stage stage = stageFinal) : m_stage(stage) {}

    Stage getStage() const { return m_stage; }
    String toString() const;
    // Throws CParseError naming the text when it is none of the five.
    static CSoftwareReleaseStage parse(const String& text);

    bool operator==(const CSoftwareReleaseStage& other) const { return m_stage == other.m_stage; }
    bool operator!=(const CSoftwareReleaseStage& other) const { return !(*this == other); }

private:
    Stage m_stage;
};

} // namespace zil
