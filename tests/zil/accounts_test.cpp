// SPDX-License-Identifier: MIT
#include "given_memory.h"
#include "temp_folder.h"

#include <zil/accounts.h>
#include <zil/error.h>
#include <zil/process.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

using namespace zil;
using zil::test::CGivenMemory;
using zil::test::CTempFolder;
using zil::test::thrown;

namespace {

constexpr int kHangMs = 20000; // only there to turn a hang into a failure

} // namespace

// An error on the way in leaves nothing of the part that did fit.
TEST(CredentialBuffer, TooLongPasswordIsWipedAsItFails)
{
    CGivenMemory memory;
    CCredentialBuffer small(4);
    EXPECT_THROW(small.assignWide(L"abcd\u00e4", 5), CInvalidArgError);
    EXPECT_TRUE(small.isEmpty());
    EXPECT_FALSE(memory.holds("abcd"));
}

// Names reach su as an argument after "--", but a name that could be taken for an option or
// that is no account never gets that far, and neither does a command that cannot start.
TEST(SystemAccountManager, BadInputNeverReachesSu)
{
    CCredentialBuffer password;
    EXPECT_EQ(CSystemAccountManager::lookUpAccount(L"root"), L"root");
    for (const wchar_t* bad :
         {L"", L"-", L"-c", L"--help", L"root;id", L"$(id)", L"ro\not", L"root/..", L"nobody "}) {
        SCOPED_TRACE(String(bad).toUTF8());
        EXPECT_EQ(
            thrown<CInvalidArgError>([&] { CSystemAccountManager::lookUpAccount(bad); }).getProp(L"user"),
            bad);
        EXPECT_THROW(CSystemAccountManager::startAsUser(CExecCommand(L"true"), bad, password),
                     CInvalidArgError);
    }
    const CError e = thrown([&] {
        CSystemAccountManager::startAsUser(CExecCommand(L"/nonexistent/tool").addArgument(L"a b"), L"root",
                                           password);
    });
    EXPECT_EQ(e.getCode(), ENOENT);
    EXPECT_EQ(e.getProp(L"commandLine"), L"/nonexistent/tool 'a b'");
}

// su, sudo and pkexec are handed passwords or decide about rights: one planted in PATH must
// never be taken for the system's. A password longer than su or PAM read whole never gets
// to them.
TEST(SystemAccountManager, SystemToolsComeFromTheSystemFoldersAndLongPasswordsStayHere)
{
    CTempFolder folder;
    for (const wchar_t* name : {L"su", L"sudo", L"pkexec", L"true"}) {
        folder.writeFile(name, "#!/bin/sh\nexit 0\n");
        ::chmod(folder.api(name).c_str(), 0755);
    }
    const char* oldPath = std::getenv("PATH");
    const std::string savedPath = oldPath ? oldPath : "";
    ::setenv("PATH", (folder.path().toAPIPath() + ":" + savedPath).c_str(), 1);
    for (const wchar_t* name : {L"su", L"sudo", L"pkexec", L"true", L"no-such-tool"}) {
        SCOPED_TRACE(String(name).toUTF8());
        const String found = CSystemAccountManager::findSystemTool(name);
        EXPECT_FALSE(found.StartsWith(folder.path().str())) << found.toUTF8();
        EXPECT_TRUE(found.isEmpty() || found.StartsWith(L"/usr/bin/") || found.StartsWith(L"/bin/") ||
                    found.StartsWith(L"/usr/sbin/") || found.StartsWith(L"/sbin/"))
            << found.toUTF8();
    }
    EXPECT_EQ(CSystemAccountManager::findSystemTool(L"su"), L"/usr/bin/su");
    EXPECT_FALSE(CSystemAccountManager::findElevationService().StartsWith(folder.path().str()));
    for (const wchar_t* bad : {L"", L"../bin/su", L"/usr/bin/su"})
        EXPECT_EQ(CSystemAccountManager::findSystemTool(bad), L"") << String(bad).toUTF8();
    ::setenv("PATH", savedPath.c_str(), 1);

    const size_t most = CSystemAccountManager::getMaxPasswordLength();
    CCredentialBuffer password(most + 1);
    password.assign(std::string(most + 1, 'p').data(), most + 1);
    EXPECT_THROW(CSystemAccountManager::startAsUser(CExecCommand(L"true"), L"root", password), CInvalidArgError);
    EXPECT_THROW(CSystemAccountManager::startAsAdministrator(CExecCommand(L"true"), L"root", password),
                 CInvalidArgError);
    for (const auto& result : {CSystemAccountManager::checkLogOnThroughSu(L"root", password),
                               CSystemAccountManager::checkLogOn(L"login", L"root", password)}) {
        EXPECT_EQ(result.status, CSystemAccountManager::LogOnResult::statusFailed);
        EXPECT_EQ(result.text, L"Authentication failure");
    }
}

TEST(SystemAccountManager, StartAsAnotherAccountRunsTheCommandAsItWithoutAShellOrThePasswordInArgv)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root: su asks nobody else for no password";
    CTempFolder folder;
    const std::string out = folder.api(L"id");
    ::chmod(folder.path().toAPIPath().c_str(), 0777);
    CCredentialBuffer password;
    password.assign("s3cret-word", 11);

    // An argument with shell syntax stays one argument: no shell reads the command. The child
    // waits for `go` so that its /proc entry is read while it runs.
    const std::string go = folder.api(L"go");
    CExecCommand command(L"/bin/sh");
    command.addArgument(L"-c")
        .addArgument(L"id -u > \"$1\"; printf %s \"$2\" >> \"$1\"; until [ -e \"$3\" ]; do sleep 0.01; done")
        .addArgument(L"sh");
    command.addArgument(String::fromUTF8(out)).addArgument(L"; $(touch x) 'q'").addArgument(String::fromUTF8(go));
    P<CProcess> process = CSystemAccountManager::startAsUser(command, L"nobody", password);
    // Until the shell has written its first line, the process may still be between execs, when
    // its /proc entry reads empty (seen under ASan).
    for (int waited = 0; !zil::fileExists(Path(String::fromUTF8(out))) && waited < kHangMs; waited += 10)
        ::usleep(10000);
    const Path proc(L"/proc/" + toString(process->getID()));
    const std::string argv = zil::test::readFile(proc / L"cmdline");
    const std::string environment = zil::test::readFile(proc / L"environ");
    folder.writeFile(L"go", "");
    ASSERT_TRUE(process->wait(kHangMs));
    // What was read is the running child's: the argument passed on whole.
    EXPECT_NE(argv.find(std::string("\0; $(touch x) 'q'\0", 18)), std::string::npos) << argv;
    EXPECT_FALSE(environment.empty());
    EXPECT_EQ(process->getExitCode(), 0);
    EXPECT_EQ(zil::test::readFile(String::fromUTF8(out)), "65534\n; $(touch x) 'q'");
    EXPECT_EQ(argv.find("s3cret"), std::string::npos);
    EXPECT_EQ(environment.find("s3cret"), std::string::npos);
}

// ---------------------------------------------------------------------------------------
// Real accounts, groups and password checks through nss_wrapper and pam_wrapper, which
// take effect only when preloaded: the parent runs this binary again with them for the
// DISABLED_WrappedAccounts tests, which a plain run leaves out.

namespace {

const char* const kNssWrapper = "/usr/lib/x86_64-linux-gnu/libnss_wrapper.so";
const char* const kPamWrapper = "/usr/lib/x86_64-linux-gnu/libpam_wrapper.so";
const char* const kPamMatrix = "/usr/lib/x86_64-linux-gnu/pam_wrapper/pam_matrix.so";

const bool kWrapped = std::getenv("ZIL_TEST_WRAPPED") != nullptr;

} // namespace

TEST(SystemAccountManager, RealAccountsUnderNssAndPamWrapper)
{
    if (kWrapped)
        GTEST_SKIP() << "the wrapped run itself";
#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
    GTEST_SKIP() << "pam_wrapper opens libpam with RTLD_DEEPBIND, which the sanitizer runtimes refuse";
#endif
#endif
    for (const char* library : {kNssWrapper, kPamWrapper, kPamMatrix})
        ASSERT_EQ(::access(library, R_OK), 0) << library << " missing: scripts/setup.sh installs it";

    CTempFolder folder;
    folder.writeFile(
        L"passwd", "alice:x:1001:1001::/:/bin/sh\nbob:x:1002:1002::/:/bin/sh\ncarol:x:1003:27::/:/bin/sh\n");
    folder.writeFile(L"group", "sudo:x:27:alice\nalice:x:1001:\nbob:x:1002:\nwheel:x:10:\n");
    const std::string passdb = folder.api(L"passdb");
    folder.writeFile(L"passdb", "alice:right horse:zilui-test\nbob:bob's:zilui-test\n");
    ::mkdir(folder.api(L"pam.d").c_str(), 0755);
    const std::string service = std::string("auth required ") + kPamMatrix + " passdb=" + passdb +
                                "\naccount required " + kPamMatrix + " passdb=" + passdb + "\n";
    folder.writeFile(L"pam.d/zilui-test", service);
    folder.writeFile(L"pam.d/other", service); // libpam reads it as the fallback

    CExecCommand command(CProcess::getOwnExecutablePath());
    command.addArgument(L"--gtest_filter=DISABLED_WrappedAccounts.*")
        .addArgument(L"--gtest_also_run_disabled_tests");
    command.setEnvironment({
        {L"ZIL_TEST_WRAPPED", L"1"},
        {L"LD_PRELOAD", String::fromUTF8(std::string(kNssWrapper) + ":" + kPamWrapper)},
        {L"NSS_WRAPPER_PASSWD", (folder / L"passwd").str()},
        {L"NSS_WRAPPER_GROUP", (folder / L"group").str()},
        {L"PAM_WRAPPER", L"1"},
        {L"PAM_WRAPPER_SERVICE_DIR", (folder / L"pam.d").str()},
    });
    P<CProcess> run = execAsync(command);
    ASSERT_TRUE(run->wait(60000));
    EXPECT_EQ(run->getExitCode(), 0) << "the wrapped run failed: see its output above";
}

// Groups decide who is an administrator; PAM decides whose password is right.
TEST(DISABLED_WrappedAccounts, GroupsAndPasswords)
{
    ASSERT_TRUE(kWrapped) << "runs only under the wrappers, started by RealAccountsUnderNssAndPamWrapper";
    EXPECT_TRUE(CSystemAccountManager::isUserAdmin(L"alice")); // supplementary group sudo
    EXPECT_TRUE(CSystemAccountManager::isUserAdmin(L"carol")); // primary group sudo
    EXPECT_FALSE(CSystemAccountManager::isUserAdmin(L"bob"));
    EXPECT_FALSE(CSystemAccountManager::isUserAdmin(L"nosuchuser"));
    EXPECT_EQ(CSystemAccountManager::getAdministratorAccounts(), (TArray<String>{L"alice", L"carol"}));

    using Result = CSystemAccountManager::LogOnResult;
    const struct {
        const char* user;
        const char* password;
        Result::Status expected;
    } cases[] = {
        {"alice", "right horse", Result::statusOK}, {"alice", "wrong", Result::statusFailed},
        {"alice", "", Result::statusFailed},        {"alice", "right horse ", Result::statusFailed},
        {"bob", "bob's", Result::statusOK},         {"nosuchuser", "x", Result::statusFailed},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.user) + "/" + c.password);
        CCredentialBuffer password;
        password.assign(c.password, std::strlen(c.password));
        const Result result =
            CSystemAccountManager::checkLogOn(L"zilui-test", String::fromUTF8(c.user), password);
        EXPECT_EQ(result.status, c.expected) << result.text.toUTF8();
    }
}
