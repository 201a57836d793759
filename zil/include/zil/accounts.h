// SPDX-License-Identifier: MIT
#pragma once

#include "zil/containers.h"
#include "zil/object.h"
#include "zil/string.h"

#include <cstddef>
#include <functional>

namespace zil {

class CExecCommand;
class CProcess;

// Memory for a password: pages of its own, kept out of core dumps (MADV_DONTDUMP) and locked
// in memory where the system allows, zero-filled with explicit_bzero before they are
// released, on every path out. Holds UTF-8 text up to the capacity given.
class CCredentialBuffer {
public:
    explicit CCredentialBuffer(size_t capacity = 4096);
    ~CCredentialBuffer();
    CCredentialBuffer(const CCredentialBuffer&) = delete;
    CCredentialBuffer& operator=(const CCredentialBuffer&) = delete;

    const char* data() const { return m_data; }
    size_t size() const { return m_size; }
    size_t capacity() const { return m_capacity; }
    bool isEmpty() const { return m_size == 0; }

    // Encodes straight into the buffer, so no other copy of the secret is made. Throws
    // CInvalidArgError when the text does not fit.
    void assignWide(const wchar_t* text, size_t length);
    void assign(const char* text, size_t length);
    void clear();

    // Where the memory comes from; by default anonymous mappings. A test gives memory of
    // its own to see what is left in it after release. nullptr functions restore the
    // default.
    using AllocateFunc = std::function<void*(size_t)>;
    using ReleaseFunc = std::function<void(void*, size_t)>;
    static void setAllocator(AllocateFunc allocate, ReleaseFunc release);

private:
    char* m_data = nullptr;
    size_t m_size = 0;
    size_t m_capacity = 0;
    size_t m_mapped = 0;
    ReleaseFunc m_release;
};

// Accounts and rights. "Administrators" are root (uid 0) and the members of the groups
// sudo, wheel and admin, as the group database (NSS) reports them.
class CSystemAccountManager {
public:
    // The outcome of a log-on check.
    struct LogOnResult {
        enum Status {
            statusOK,
            // Wrong name or password, or the check itself failed; `text` says which.
            statusFailed,
            // The password was right or was never asked, but the account cannot be used
            // (expired, locked, its password must be changed first).
            statusRestricted,
        };
        Status status = statusFailed;
        String text;
    };

    // Whether this process runs with an effective uid of 0.
    static bool isProcessUserAdmin();
    static const TArray<String>& getAdministratorGroups();
    // Whether `user` exists and is root or in one of the administrator groups, as its primary
    // group or a supplementary one.
    static bool isUserAdmin(const String& user);
    // The administrator accounts, sorted, for a prompt to offer.
    static TArray<String> getAdministratorAccounts();

    // A program of the system's own, from /usr/bin, /bin, /usr/sbin or /sbin in that order;
    // empty when none of them has it. PATH is not searched: a program found through it could
    // be anybody's, and su, sudo and pkexec are handed passwords or decide about rights.
    static String findSystemTool(const String& name);
    // The system's elevation service, polkit's pkexec, as findSystemTool() finds it; empty
    // without it.
    static String findElevationService();
    static bool isElevationServiceUsable() { return !findElevationService().isEmpty(); }

    // The longest password, in bytes, that the system's password prompts take whole (PAM's
    // conversation reads at most this much of a line). A longer one is refused before it
    // reaches su, sudo or PAM, since they would check only its beginning.
    static size_t getMaxPasswordLength();

    // Checks the password in this process through PAM (authenticate, then account
    // management) with the given service name. pam_unix checks another account's password
    // only for root; as another user use checkLogOnThroughSu().
    static LogOnResult checkLogOn(const String& service, const String& user,
                                  const CCredentialBuffer& password);

    // Runs su for `user` through a pseudo-terminal, answering its password prompt, with
    // /bin/true as the shell: su's exit status says whether PAM accepted the password. For
    // a caller that is not root; root is never asked, so it always passes.
    static LogOnResult checkLogOnThroughSu(const String& user, const CCredentialBuffer& password);

    // Starts the command as `user` through su (-s the command's executable, so no shell
    // reads it), answering su's password prompt on a pseudo-terminal that becomes the
    // child's standard input and error; its output after the prompt is copied to our
    // standard error. The process returned is su's, which ends with the command's status.
    // Throws the start error for a missing executable and CInvalidArgError for a user name
    // that is no account here.
    static P<CProcess> startAsUser(const CExecCommand& command, const String& user,
                                   const CCredentialBuffer& password);

    // Starts the command with user id 0 as administrator `user` authenticated with
    // `password`: root through su; another administrator through sudo (-u root, its cached
    // credentials ignored), which asks for and checks that account's password and its
    // sudoers rule. sudo runs as this process's user when `user` is that account, otherwise
    // through su as `user`, each prompt answered once on a pseudo-terminal as in
    // startAsUser(); a prompt asked again (a refused password) ends the start. The process
    // returned is su's or sudo's, which ends with the command's status (sudo's 1 when its
    // policy refuses). Throws what startAsUser() throws, CInvalidArgError for a password
    // longer than getMaxPasswordLength(), and a CError (code ENOENT) when sudo is not
    // installed.
    static P<CProcess> startAsAdministrator(const CExecCommand& command, const String& user,
                                            const CCredentialBuffer& password);

    // The account's name as the password database spells it. Throws CInvalidArgError
    // "Unknown account '<name>'" for names that are no account, and for names starting with
    // "-" or holding control characters before any lookup.
    static String lookUpAccount(const String& user);
};

} // namespace zil
