// SPDX-License-Identifier: MIT
#include "zil/accounts.h"

#include "zil/error.h"
#include "zil/process.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <pwd.h>
#include <security/pam_appl.h>
#include <sys/mman.h>
#include <termios.h>
#include <unistd.h>

namespace zil {

// ---------------------------------------------------------------------------------------
// CCredentialBuffer

namespace {

struct CAllocatorHooks {
    std::mutex mutex;
    CCredentialBuffer::AllocateFunc allocate;
    CCredentialBuffer::ReleaseFunc release;
};

CAllocatorHooks& allocatorHooks()
{
    static CAllocatorHooks hooks;
    return hooks;
}

size_t roundToPages(size_t size)
{
    const long page = ::sysconf(_SC_PAGESIZE);
    const size_t pageSize = page > 0 ? size_t(page) : 4096;
    return (size + pageSize - 1) / pageSize * pageSize;
}

} // namespace

CCredentialBuffer::CCredentialBuffer(size_t capacity) : m_capacity(capacity)
{
    AllocateFunc allocate;
    {
        CAllocatorHooks& hooks = allocatorHooks();
        std::lock_guard<std::mutex> lock(hooks.mutex);
        allocate = hooks.allocate;
        m_release = hooks.release;
    }
    if (allocate) {
        m_data = static_cast<char*>(allocate(capacity + 1));
        if (!m_data)
            throw CError(L"Cannot allocate memory for credentials", L"CCredentialBuffer");
        m_data[0] = 0;
        return;
    }
    m_release = nullptr;
    m_mapped = roundToPages(capacity + 1);
    void* pages = ::mmap(nullptr, m_mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (pages == MAP_FAILED)
        throwSysError(L"mmap", L"Cannot allocate memory for credentials");
    // Both are best effort: a failure leaves the secret dumpable or swappable, not exposed.
    ::madvise(pages, m_mapped, MADV_DONTDUMP);
    ::mlock(pages, m_mapped);
    m_data = static_cast<char*>(pages);
}

CCredentialBuffer::~CCredentialBuffer()
{
    if (m_mapped) {
        ::explicit_bzero(m_data, m_mapped);
        ::munlock(m_data, m_mapped);
        ::munmap(m_data, m_mapped);
    } else if (m_data) {
        ::explicit_bzero(m_data, m_capacity + 1);
        if (m_release)
            m_release(m_data, m_capacity + 1);
    }
}

void CCredentialBuffer::setAllocator(AllocateFunc allocate, ReleaseFunc release)
{
    CAllocatorHooks& hooks = allocatorHooks();
    std::lock_guard<std::mutex> lock(hooks.mutex);
    hooks.allocate = allocate && release ? std::move(allocate) : nullptr;
    hooks.release = hooks.allocate ? std::move(release) : nullptr;
}

void CCredentialBuffer::clear()
{
    ::explicit_bzero(m_data, m_capacity + 1);
    m_size = 0;
}

void CCredentialBuffer::assign(const char* text, size_t length)
{
    clear();
    if (length > m_capacity)
        throw CInvalidArgError(L"The password is too long", L"CCredentialBuffer::assign");
    std::memcpy(m_data, text, length);
    m_size = length;
    m_data[length] = 0;
}

void CCredentialBuffer::assignWide(const wchar_t* text, size_t length)
{
    clear();
    size_t out = 0;
    for (size_t i = 0; i < length; ++i) {
        char32_t c = char32_t(text[i]);
        if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
            c = 0xFFFD;
        unsigned char bytes[4];
        size_t count;
        if (c < 0x80) {
            bytes[0] = (unsigned char)c;
            count = 1;
        } else if (c < 0x800) {
            bytes[0] = (unsigned char)(0xC0 | (c >> 6));
            bytes[1] = (unsigned char)(0x80 | (c & 0x3F));
            count = 2;
        } else if (c < 0x10000) {
            bytes[0] = (unsigned char)(0xE0 | (c >> 12));
            bytes[1] = (unsigned char)(0x80 | ((c >> 6) & 0x3F));
            bytes[2] = (unsigned char)(0x80 | (c & 0x3F));
            count = 3;
        } else {
            bytes[0] = (unsigned char)(0xF0 | (c >> 18));
            bytes[1] = (unsigned char)(0x80 | ((c >> 12) & 0x3F));
            bytes[2] = (unsigned char)(0x80 | ((c >> 6) & 0x3F));
            bytes[3] = (unsigned char)(0x80 | (c & 0x3F));
            count = 4;
        }
        if (out + count > m_capacity) {
            ::explicit_bzero(bytes, sizeof bytes);
            clear();
            throw CInvalidArgError(L"The password is too long", L"CCredentialBuffer::assignWide");
        }
        std::memcpy(m_data + out, bytes, count);
        ::explicit_bzero(bytes, sizeof bytes);
        out += count;
    }
    m_size = out;
    m_data[out] = 0;
}

// ---------------------------------------------------------------------------------------
// Accounts and groups

namespace {

// getpwnam_r/getgrnam_r with a buffer that grows until the entry fits.
template <class Entry, class Lookup> bool lookUp(Lookup lookup, Entry& entry, std::vector<char>& buffer)
{
    buffer.resize(4096);
    for (;;) {
        Entry* result = nullptr;
        const int error = lookup(&entry, buffer.data(), buffer.size(), &result);
        if (error == ERANGE && buffer.size() < (1u << 24)) {
            buffer.resize(buffer.size() * 2);
            continue;
        }
        return error == 0 && result != nullptr;
    }
}

bool findUser(const std::string& name, struct passwd& entry, std::vector<char>& buffer)
{
    return lookUp([&](struct passwd* e, char* b, size_t n,
                      struct passwd** r) { return ::getpwnam_r(name.c_str(), e, b, n, r); },
                  entry, buffer);
}

bool findGroupID(const std::string& name, gid_t& id)
{
    struct group entry;
    std::vector<char> buffer;
    if (!lookUp([&](struct group* e, char* b, size_t n,
                    struct group** r) { return ::getgrnam_r(name.c_str(), e, b, n, r); },
                entry, buffer))
        return false;
    id = entry.gr_gid;
    return true;
}

TArray<gid_t> getAdministratorGroupIDs()
{
    TArray<gid_t> ids;
    for (const String& name : CSystemAccountManager::getAdministratorGroups()) {
        gid_t id;
        if (findGroupID(name.toUTF8(), id))
            ids.push_back(id);
    }
    return ids;
}

} // namespace

bool CSystemAccountManager::isProcessUserAdmin()
{
    return ::geteuid() == 0;
}

const TArray<String>& CSystemAccountManager::getAdministratorGroups()
{
    static const TArray<String> groups{L"sudo", L"wheel", L"admin"};
    return groups;
}

String CSystemAccountManager::lookUpAccount(const String& user)
{
    bool plain = !user.isEmpty() && user[0] != L'-';
    for (wchar_t c : user)
        plain = plain && c >= 0x20 && c != 0x7F && c != L':' && c != L'/';
    struct passwd entry;
    std::vector<char> buffer;
    if (!plain || !findUser(user.toUTF8(), entry, buffer)) {
        CInvalidArgError e(L"Unknown account '" + user + L"'", L"CSystemAccountManager::lookUpAccount");
        e.setProp(L"user", user);
        throw e;
    }
    return String::fromUTF8(entry.pw_name);
}

bool CSystemAccountManager::isUserAdmin(const String& user)
{
    struct passwd entry;
    std::vector<char> buffer;
    if (user.isEmpty() || !findUser(user.toUTF8(), entry, buffer))
        return false;
    if (entry.pw_uid == 0)
        return true;
    std::vector<gid_t> groups(64);
    for (;;) {
        int count = int(groups.size());
        if (::getgrouplist(entry.pw_name, entry.pw_gid, groups.data(), &count) >= 0) {
            groups.resize(size_t(count));
            break;
        }
        groups.resize(size_t(std::max(count, int(groups.size()) * 2)));
    }
    const TArray<gid_t> adminIDs = getAdministratorGroupIDs();
    return std::any_of(groups.begin(), groups.end(), [&](gid_t id) {
        return std::find(adminIDs.begin(), adminIDs.end(), id) != adminIDs.end();
    });
}

TArray<String> CSystemAccountManager::getAdministratorAccounts()
{
    std::set<String> names;
    const TArray<gid_t> adminIDs = getAdministratorGroupIDs();
    for (const String& groupName : getAdministratorGroups()) {
        struct group entry;
        std::vector<char> buffer;
        const std::string name = groupName.toUTF8();
        if (!lookUp([&](struct group* e, char* b, size_t n,
                        struct group** r) { return ::getgrnam_r(name.c_str(), e, b, n, r); },
                    entry, buffer))
            continue;
        for (char** member = entry.gr_mem; member && *member; ++member)
            names.insert(String::fromUTF8(*member));
    }
    // Members by primary group and uid 0 appear only in the password database. The
    // enumeration is not thread-safe; nothing else in the library enumerates it.
    ::setpwent();
    while (struct passwd* entry = ::getpwent()) {
        if (entry->pw_uid == 0 ||
            std::find(adminIDs.begin(), adminIDs.end(), entry->pw_gid) != adminIDs.end())
            names.insert(String::fromUTF8(entry->pw_name));
    }
    ::endpwent();
    return TArray<String>(names.begin(), names.end());
}

String CSystemAccountManager::findSystemTool(const String& name)
{
    if (name.isEmpty() || name.find(L'/') != String::npos)
        return String();
    for (const wchar_t* folder : {L"/usr/bin/", L"/bin/", L"/usr/sbin/", L"/sbin/"}) {
        const String path = folder + name;
        if (::access(path.toUTF8().c_str(), X_OK) == 0)
            return path;
    }
    return String();
}

String CSystemAccountManager::findElevationService()
{
    return findSystemTool(L"pkexec");
}

size_t CSystemAccountManager::getMaxPasswordLength()
{
    return PAM_MAX_RESP_SIZE - 1;
}

// ---------------------------------------------------------------------------------------
// Log-on check through PAM

namespace {

int answerPasswordPrompts(int count, const struct pam_message** messages, struct pam_response** responses,
                          void* data)
{
    const auto* password = static_cast<const CCredentialBuffer*>(data);
    auto* replies = static_cast<struct pam_response*>(::calloc(size_t(count), sizeof(struct pam_response)));
    if (!replies)
        return PAM_BUF_ERR;
    for (int i = 0; i < count; ++i) {
        if (messages[i]->msg_style != PAM_PROMPT_ECHO_OFF)
            continue; // informational texts and questions we cannot answer get no reply
        // libpam wipes and frees the replies.
        replies[i].resp = ::strndup(password->data(), password->size());
        if (!replies[i].resp) {
            for (int j = 0; j < i; ++j) {
                if (replies[j].resp)
                    ::explicit_bzero(replies[j].resp, std::strlen(replies[j].resp));
                ::free(replies[j].resp);
            }
            ::free(replies);
            return PAM_BUF_ERR;
        }
    }
    *responses = replies;
    return PAM_SUCCESS;
}

CSystemAccountManager::LogOnResult logOnResult(pam_handle_t* handle, int code, bool accountStage)
{
    CSystemAccountManager::LogOnResult result;
    result.text = String::fromUTF8(::pam_strerror(handle, code));
    if (code == PAM_SUCCESS)
        result.status = CSystemAccountManager::LogOnResult::statusOK;
    else if (accountStage || code == PAM_ACCT_EXPIRED || code == PAM_NEW_AUTHTOK_REQD)
        result.status = CSystemAccountManager::LogOnResult::statusRestricted;
    else
        result.status = CSystemAccountManager::LogOnResult::statusFailed;
    return result;
}

} // namespace

CSystemAccountManager::LogOnResult CSystemAccountManager::checkLogOn(const String& service,
                                                                     const String& user,
                                                                     const CCredentialBuffer& password)
{
    if (password.size() > getMaxPasswordLength()) {
        LogOnResult result;
        result.text = String::fromUTF8(::pam_strerror(nullptr, PAM_AUTH_ERR));
        return result;
    }
    const struct pam_conv conversation = {answerPasswordPrompts, const_cast<CCredentialBuffer*>(&password)};
    pam_handle_t* handle = nullptr;
    const std::string utf8User = user.toUTF8();
    int code = ::pam_start(service.toUTF8().c_str(), utf8User.c_str(), &conversation, &handle);
    if (code != PAM_SUCCESS) {
        CProps props;
        props.set(L"service", service);
        props.set(L"user", user);
        CError e(L"Cannot check the password: " + String::fromUTF8(::pam_strerror(handle, code)),
                 L"pam_start", code);
        e.setProp(L"func", L"pam_start");
        e.setProp(L"service", service);
        e.setProp(L"user", user);
        if (handle)
            ::pam_end(handle, code);
        throw e;
    }
    code = ::pam_authenticate(handle, PAM_DISALLOW_NULL_AUTHTOK);
    LogOnResult result = logOnResult(handle, code, false);
    if (code == PAM_SUCCESS) {
        code = ::pam_acct_mgmt(handle, PAM_DISALLOW_NULL_AUTHTOK);
        result = logOnResult(handle, code, true);
    }
    ::pam_end(handle, code);
    return result;
}

// ---------------------------------------------------------------------------------------
// Through su on a pseudo-terminal

namespace {

String findTool(const wchar_t* name, const wchar_t* purpose)
{
    const String path = CSystemAccountManager::findSystemTool(name);
    if (path.isEmpty()) {
        CError e(String(purpose) + L": " + name + L" is not installed", L"CSystemAccountManager", ENOENT);
        e.setProp(L"func", name);
        throw e;
    }
    return path;
}

// What sudo is told to print as its password prompt, so that the prompt can be told from
// whatever else is written to the terminal.
const char kSudoPrompt[] = "[zilui-sudo-password]";

void refuseLongPassword(const CCredentialBuffer& password, const wchar_t* source)
{
    if (password.size() > CSystemAccountManager::getMaxPasswordLength())
        throw CInvalidArgError(L"The password is longer than the system accepts", source);
}

struct CFD {
    int fd = -1;
    explicit CFD(int f = -1) : fd(f) {}
    ~CFD()
    {
        if (fd >= 0)
            ::close(fd);
    }
    int release()
    {
        const int f = fd;
        fd = -1;
        return f;
    }
};

// Answers the password prompts of su and sudo and drains the terminal until every end of it
// is closed. su's prompt is known by the echo going off, sudo's by the prompt text it was
// given. Owns the master side and a copy of the password, which is wiped once the last
// prompt was answered or the run ends.
class CSuConversation {
public:
    CSuConversation(int master, const CCredentialBuffer& password, int suPrompts, int sudoPrompts)
        : m_master(master), m_password(password.size()), m_suLeft(suPrompts), m_sudoLeft(sudoPrompts),
          m_echoPhases(suPrompts + sudoPrompts)
    {
        m_password.assign(password.data(), password.size());
    }
    ~CSuConversation() { hangUp(); }

    // Runs until su and everything holding the terminal is gone or `process` ended and the
    // terminal went quiet. Sets `askedAgain` when a prompt came that was not expected (a
    // refused password asked again, an expired one asking for a new one): the process is
    // then ended, since nobody can answer, and the terminal hung up.
    void run(CProcess& process)
    {
        bool echoWasOff = false;
        int echoPhases = 0, sudoPending = 0;
        const std::string marker(kSudoPrompt);
        for (;;) {
            struct pollfd watch = {m_master, POLLIN, 0};
            const int ready = ::poll(&watch, 1, 20);
            if (ready > 0) {
                char chunk[1024];
                const ssize_t got = ::read(m_master, chunk, sizeof chunk);
                if (got == 0 || (got < 0 && errno != EINTR && errno != EAGAIN))
                    break;
                if (got > 0) {
                    // The prompt may come in pieces: look at the end of the last chunk too.
                    m_seen.append(chunk, size_t(got));
                    for (size_t at; (at = m_seen.find(marker)) != std::string::npos;) {
                        m_seen.erase(0, at + marker.size());
                        if (m_sudoLeft > 0) {
                            --m_sudoLeft;
                            ++sudoPending; // answered once the echo is off, never echoed back
                        } else {
                            askAgain(process);
                        }
                    }
                    if (askedAgain)
                        break;
                    if (m_seen.size() >= marker.size())
                        m_seen.erase(0, m_seen.size() - marker.size() + 1);
                    if (m_answered > 0 && m_forward)
                        forward(chunk, size_t(got), marker);
                }
            }
            struct termios mode;
            if (::tcgetattr(m_master, &mode) == 0) {
                const bool echoOff = (mode.c_lflag & ECHO) == 0;
                if (echoOff && !echoWasOff) {
                    ++echoPhases;
                    if (m_suLeft > 0) {
                        --m_suLeft;
                        sendPassword();
                    } else if (echoPhases > m_echoPhases) {
                        askAgain(process);
                        break;
                    }
                }
                echoWasOff = echoOff;
                for (; echoOff && sudoPending > 0; --sudoPending)
                    sendPassword();
            }
            if (!process.isRunning() && ready <= 0)
                break;
        }
        m_password.clear();
    }

    bool askedAgain = false;
    bool m_forward = true;

private:
    void sendPassword()
    {
        ++m_answered;
        const char newline = '\n';
        (void)!::write(m_master, m_password.data(), m_password.size());
        (void)!::write(m_master, &newline, 1);
        if (m_suLeft == 0 && m_sudoLeft == 0)
            m_password.clear();
    }
    void askAgain(CProcess& process)
    {
        if (askedAgain)
            return;
        askedAgain = true;
        m_password.clear();
        try {
            process.kill(SIGTERM);
        } catch (const CError&) {
            // it has ended already; the hang-up below ends what is left
        }
        // The prompter may catch or hold off the signal (sudo does around its password read)
        // and then wait at its prompt for good: with the terminal gone, its read fails.
        hangUp();
    }
    void hangUp()
    {
        if (m_master >= 0)
            ::close(m_master);
        m_master = -1;
    }
    // The command's output after the prompts goes to our standard error, without the prompt.
    static void forward(const char* chunk, size_t size, const std::string& marker)
    {
        std::string text(chunk, size);
        for (size_t at; (at = text.find(marker)) != std::string::npos;)
            text.erase(at, marker.size());
        (void)!::write(2, text.data(), text.size());
    }

    int m_master;
    CCredentialBuffer m_password;
    int m_suLeft, m_sudoLeft;
    int m_echoPhases; // how often the echo may go off: once per expected prompt
    int m_answered = 0;
    std::string m_seen;
};

struct CSuStart {
    P<CProcess> process;
    std::unique_ptr<CSuConversation> conversation;
};

// Opens a pseudo-terminal and starts `program` on it (standard input and error).
CSuStart startOnTerminal(const CExecCommand& program, const CExecCommand& command, const String& account,
                         const CCredentialBuffer& password, int suPrompts, int sudoPrompts)
{
    CFD master(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC));
    char slaveName[128];
    if (master.fd < 0 || ::grantpt(master.fd) != 0 || ::unlockpt(master.fd) != 0 ||
        ::ptsname_r(master.fd, slaveName, sizeof slaveName) != 0)
        throwSysError(L"posix_openpt", L"Cannot open a pseudo-terminal");
    CFD slave(::open(slaveName, O_RDWR | O_NOCTTY | O_CLOEXEC));
    if (slave.fd < 0)
        throwSysError(L"open", L"Cannot open a pseudo-terminal");

    CExecCommand started(program);
    started.setWorkingFolder(command.getWorkingFolder());
    started.setEnvironment(command.getEnvironment());
    started.setHidden(command.isHidden());
    CSuStart start;
    try {
        start.process = execAsyncRedirected(started, slave.fd, slave.fd);
    } catch (CError& e) {
        e.setProp(L"commandLine", command.getCommandLine());
        e.setProp(L"userName", account);
        throw;
    }
    start.conversation = std::make_unique<CSuConversation>(master.release(), password, suPrompts, sudoPrompts);
    return start;
}

// su for `account` running `executable` with `arguments`. "--" ends su's options, so neither
// the account nor the arguments can be read as one; -s runs the executable itself with the
// arguments, no shell involved.
CExecCommand suCommand(const String& account, const String& executable, const TArray<String>& arguments)
{
    CExecCommand su(findTool(L"su", L"Cannot start a program as another user"));
    su.addArgument(L"-s").addArgument(executable).addArgument(L"--").addArgument(account);
    for (const String& argument : arguments)
        su.addArgument(argument);
    return su;
}

CSuStart startSu(const CExecCommand& command, const String& user, const CCredentialBuffer& password)
{
    const String account = CSystemAccountManager::lookUpAccount(user);
    const String executable = findExecutable(command);
    return startOnTerminal(suCommand(account, executable, command.getArguments()), command, account, password,
                           1, 0);
}

P<CProcess> runConversation(CSuStart start)
{
    // The thread owns the terminal and the password's copy; the process outlives it.
    std::thread([conversation = std::shared_ptr<CSuConversation>(std::move(start.conversation)),
                 process = start.process]() mutable { conversation->run(*process); })
        .detach();
    return start.process;
}

String processUserName()
{
    struct passwd entry;
    std::vector<char> buffer;
    const uid_t uid = ::getuid();
    if (!lookUp([&](struct passwd* e, char* b, size_t n,
                    struct passwd** r) { return ::getpwuid_r(uid, e, b, n, r); },
                entry, buffer))
        return String();
    return String::fromUTF8(entry.pw_name);
}

} // namespace

CSystemAccountManager::LogOnResult
CSystemAccountManager::checkLogOnThroughSu(const String& user, const CCredentialBuffer& password)
{
    LogOnResult result;
    if (password.size() > getMaxPasswordLength()) {
        result.text = String::fromUTF8(::pam_strerror(nullptr, PAM_AUTH_ERR));
        return result;
    }
    CSuStart start = startSu(CExecCommand(L"/bin/true"), user, password);
    start.conversation->m_forward = false;
    start.conversation->run(*start.process);
    start.process->wait();
    if (start.conversation->askedAgain) {
        result.status = LogOnResult::statusRestricted;
        result.text = String::fromUTF8(::pam_strerror(nullptr, PAM_NEW_AUTHTOK_REQD));
    } else if (start.process->getExitCode() == 0) {
        result.status = LogOnResult::statusOK;
    } else {
        result.status = LogOnResult::statusFailed;
        result.text = String::fromUTF8(::pam_strerror(nullptr, PAM_AUTH_ERR));
    }
    return result;
}

P<CProcess> CSystemAccountManager::startAsUser(const CExecCommand& command, const String& user,
                                               const CCredentialBuffer& password)
{
    refuseLongPassword(password, L"CSystemAccountManager::startAsUser");
    return runConversation(startSu(command, user, password));
}

P<CProcess> CSystemAccountManager::startAsAdministrator(const CExecCommand& command, const String& user,
                                                        const CCredentialBuffer& password)
{
    refuseLongPassword(password, L"CSystemAccountManager::startAsAdministrator");
    const String account = lookUpAccount(user);
    struct passwd entry;
    std::vector<char> buffer;
    if (findUser(account.toUTF8(), entry, buffer) && entry.pw_uid == 0)
        return runConversation(startSu(command, account, password));

    const String executable = findExecutable(command);
    // -k: the password is asked and checked every time, and nothing is left cached for
    // later calls; -S: it comes from the terminal we answer on; "--" ends sudo's options.
    const String sudo = findTool(L"sudo", L"Cannot start a program with administrator rights");
    TArray<String> arguments{L"-S", L"-k", L"-p", String::fromUTF8(kSudoPrompt), L"-u", L"root", L"--",
                             executable};
    for (const String& argument : command.getArguments())
        arguments.push_back(argument);
    if (account == processUserName()) {
        CExecCommand direct(sudo);
        for (const String& argument : arguments)
            direct.addArgument(argument);
        CSuStart start = startOnTerminal(direct, command, account, password, 0, 1);
        return runConversation(std::move(start));
    }
    // sudo asks for the password of the user who runs it: become that account first.
    CSuStart start = startOnTerminal(suCommand(account, sudo, arguments), command, account, password, 1, 1);
    return runConversation(std::move(start));
}

} // namespace zil
