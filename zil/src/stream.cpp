// SPDX-License-Identifier: MIT
#include "zil/stream.h"

#include "zil/path.h"
#include "zil/uri.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zil {

CIOError makeStreamError(CIOError::Code code, const String& message, const String& func,
                         const String& uri, int sysError)
{
    CIOError e(sysError != 0 ? message + L": " + getSysErrorText(sysError) : message, func, code);
    if (!uri.isEmpty())
        e.setProp(CIOError::paramURI(), uri);
    if (!func.isEmpty())
        e.setProp(L"func", func);
    if (sysError != 0)
        e.setProp(L"lastSysError", toString(int64_t(sysError)));
    return e;
}

void throwStreamError(CIOError::Code code, const String& message, const String& func,
                      const String& uri, int sysError)
{
    throw makeStreamError(code, message, func, uri, sysError);
}

String fileURIFromPath(const String& path)
{
    return CURI::fromPath(Path(path)).toString();
}

// ---------------------------------------------------------------------------------------
// CLaggingEOFInStreamBase

namespace {

// After this many empty raw reads in a row read() also sleeps, so a source whose
// waitReadable() says yes too eagerly costs little CPU.
constexpr int kEmptyReadsBeforeSleep = 16;
constexpr int kEmptyReadWaitMs = 50;

} // namespace

void CLaggingEOFInStreamBase::checkOpen(const wchar_t* func)
{
    if (!isOpen())
        throwStreamError(CIOError::codeClosed, L"The stream is closed", func, getURI());
}

int64_t CLaggingEOFInStreamBase::checkedRawCount(int64_t count, int64_t size, const wchar_t* func)
{
    if (count < 0 || count > size)
        throwStreamError(CIOError::codeReadError,
                         CStringFormat(L"Reading %1 bytes returned %2").arg(size).arg(count), func,
                         getURI());
    return count;
}

int64_t CLaggingEOFInStreamBase::read(void* buffer, int64_t size)
{
    if (size <= 0)
        return 0;
    checkOpen(L"read");
    for (int emptyReads = 0;; ++emptyReads) {
        const int64_t count = checkedRawCount(rawReadLax(buffer, size), size, L"read");
        if (count > 0) {
            m_eof = false;
            return count;
        }
        if (rawEOF()) {
            m_eof = true;
            return 0;
        }
        waitReadable(kEmptyReadWaitMs);
        if (emptyReads >= kEmptyReadsBeforeSleep)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

void CLaggingEOFInStreamBase::readExact(void* buffer, int64_t size)
{
    auto* bytes = static_cast<uint8_t*>(buffer);
    int64_t done = 0;
    while (done < size) {
        const int64_t count = read(bytes + done, size - done);
        if (count == 0)
            throwStreamError(CIOError::codeEndOfStream,
                             CStringFormat(L"The stream ended after %1 of %2 bytes").arg(done).arg(size),
                             L"readExact", getURI());
        done += count;
    }
}

int64_t CLaggingEOFInStreamBase::readAvailable(void* buffer, int64_t size)
{
    if (size <= 0)
        return 0;
    checkOpen(L"readAvailable");
    const int64_t count = checkedRawCount(rawReadAvailable(buffer, size), size, L"readAvailable");
    if (count > 0)
        m_eof = false;
    else if (rawEOF())
        m_eof = true;
    return count;
}

void CLaggingEOFInStreamBase::seek(int64_t position)
{
    checkOpen(L"seek");
    if (position < 0)
        throwStreamError(CIOError::codeSeekFailed,
                         L"Cannot seek to the negative position " + toString(position), L"seek",
                         getURI());
    rawSeek(position);
    m_eof = false;
}

int64_t CLaggingEOFInStreamBase::getPosition()
{
    checkOpen(L"getPosition");
    return rawGetPosition();
}

bool CLaggingEOFInStreamBase::isEOF()
{
    checkOpen(L"isEOF");
    return m_eof;
}

// ---------------------------------------------------------------------------------------
// CMemoryInStream

CMemoryInStream::CMemoryInStream(const CByteBuffer& data, const String& uri)
    : m_data(data), m_uri(uri)
{
}

CMemoryInStream::CMemoryInStream(const void* data, size_t size, const String& uri)
    : m_data(static_cast<const uint8_t*>(data), size), m_uri(uri)
{
}

int64_t CMemoryInStream::getLength()
{
    checkOpen(L"getLength");
    return int64_t(m_data.size());
}

bool CMemoryInStream::waitReadable(int)
{
    checkOpen(L"waitReadable");
    return true;
}

void CMemoryInStream::lockRange(int64_t offset, int64_t length)
{
    checkOpen(L"lockRange");
    if (offset < 0 || length < 0)
        throw CInvalidArgError(CStringFormat(L"Cannot lock %1 bytes at %2").arg(length).arg(offset),
                               L"CMemoryInStream::lockRange");
}

void CMemoryInStream::close()
{
    m_open = false;
    m_data = CByteBuffer();
}

int64_t CMemoryInStream::rawReadLax(void* buffer, int64_t size)
{
    const int64_t left = std::max<int64_t>(0, int64_t(m_data.size()) - m_position);
    const int64_t count = std::min(size, left);
    if (count > 0)
        std::memcpy(buffer, m_data.data() + m_position, size_t(count));
    m_position += count;
    return count;
}

int64_t CMemoryInStream::rawReadAvailable(void* buffer, int64_t size)
{
    return rawReadLax(buffer, size);
}

void CMemoryInStream::rawSeek(int64_t position)
{
    // Past the end is allowed, as for files; reads there find the end.
    m_position = position;
}

// ---------------------------------------------------------------------------------------
// File streams

namespace {

int openOrThrow(const String& path, int flags, const String& uri)
{
    int fd;
    do {
        fd = ::open(path.toUTF8().c_str(), flags | O_CLOEXEC, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        const int error = errno;
        CIOError e = makeStreamError(CIOError::codeCannotOpen, L"Cannot open '" + path + L"'",
                                     L"open", uri, error);
        e.setProp(L"path", path);
        throw e;
    }
    return fd;
}

// Waits for `events` on fd; timeoutMs -1 for ever. Returns the revents, 0 on timeout.
int pollFD(int fd, short events, int timeoutMs)
{
    pollfd entry{fd, events, 0};
    int result;
    do {
        result = ::poll(&entry, 1, timeoutMs);
    } while (result < 0 && errno == EINTR);
    return result > 0 ? entry.revents : 0;
}

int64_t lengthOf(int fd)
{
    struct stat info;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))
        return -1;
    return int64_t(info.st_size);
}

int64_t positionOf(int fd, int64_t counted)
{
    const off_t position = ::lseek(fd, 0, SEEK_CUR);
    return position >= 0 ? int64_t(position) : counted;
}

// Returns 0 or the errno of the failure.
int lockFD(int fd, short type, int64_t offset, int64_t length)
{
    struct flock lock;
    std::memset(&lock, 0, sizeof lock);
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = off_t(offset);
    lock.l_len = off_t(length);
#ifdef F_OFD_SETLK
    const int command = F_OFD_SETLK;
#else
    const int command = F_SETLK;
#endif
    int result;
    do {
        result = ::fcntl(fd, command, &lock);
    } while (result < 0 && errno == EINTR);
    return result == 0 ? 0 : errno;
}

String describeLockFailure(const String& path, int64_t offset, int64_t length, int error)
{
    const String range = length == 0
        ? CStringFormat(L"from %1 to the end").arg(offset).str()
        : CStringFormat(L"%1 bytes at %2").arg(length).arg(offset).str();
    if (error == EACCES || error == EAGAIN)
        return L"Cannot lock " + range + L" of '" + path + L"': locked elsewhere";
    return L"Cannot lock " + range + L" of '" + path + L"': not supported";
}

} // namespace

CFileInStream::CFileInStream(const String& path)
    : CFileInStream(openOrThrow(path, O_RDONLY, fileURIFromPath(path)), path, fileURIFromPath(path))
{
}

CFileInStream::CFileInStream(int fd, const String& path, const String& uri)
    : m_fd(fd), m_path(path), m_uri(uri)
{
    m_position = positionOf(m_fd, 0);
}

CFileInStream::~CFileInStream()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

P<CFileInStream> CFileInStream::adopt(int fd, const String& uri)
{
    if (fd < 0)
        throw CInvalidArgError(L"Cannot read from descriptor " + toString(int64_t(fd)),
                               L"CFileInStream::adopt");
    return P<CFileInStream>(new CFileInStream(fd, uri, uri));
}

int64_t CFileInStream::getLength()
{
    checkOpen(L"getLength");
    return lengthOf(m_fd);
}

bool CFileInStream::waitReadable(int timeoutMs)
{
    checkOpen(L"waitReadable");
    return pollFD(m_fd, POLLIN, timeoutMs) != 0;
}

void CFileInStream::lockRange(int64_t offset, int64_t length)
{
    checkOpen(L"lockRange");
    if (offset < 0 || length < 0)
        throw CInvalidArgError(CStringFormat(L"Cannot lock %1 bytes at %2").arg(length).arg(offset),
                               L"CFileInStream::lockRange");
    if (const int error = lockFD(m_fd, F_RDLCK, offset, length)) {
        CIOError e = makeStreamError(CIOError::codeLockNotSupported,
                                     describeLockFailure(m_path, offset, length, error), L"fcntl",
                                     m_uri, error);
        e.setProp(L"path", m_path);
        throw e;
    }
}

void CFileInStream::close()
{
    if (m_fd < 0)
        return;
    // A descriptor is released even when close() reports an error, and reading loses no data.
    ::close(m_fd);
    m_fd = -1;
}

int64_t CFileInStream::rawReadLax(void* buffer, int64_t size)
{
    const size_t wanted = size_t(std::min<int64_t>(size, SSIZE_MAX));
    ssize_t count;
    do {
        count = ::read(m_fd, buffer, wanted);
    } while (count < 0 && errno == EINTR);
    if (count < 0) {
        const int error = errno;
        if (error == EAGAIN || error == EWOULDBLOCK)
            return 0;
        CIOError e = makeStreamError(CIOError::codeReadError, L"Cannot read '" + m_path + L"'",
                                     L"read", m_uri, error);
        e.setProp(L"path", m_path);
        throw e;
    }
    m_rawEOF = count == 0;
    m_position += count;
    return count;
}

int64_t CFileInStream::rawReadAvailable(void* buffer, int64_t size)
{
    if ((pollFD(m_fd, POLLIN, 0) & (POLLIN | POLLHUP | POLLERR)) == 0)
        return 0;
    return rawReadLax(buffer, size);
}

void CFileInStream::rawSeek(int64_t position)
{
    if (::lseek(m_fd, off_t(position), SEEK_SET) < 0) {
        const int error = errno;
        CIOError e = makeStreamError(CIOError::codeSeekFailed,
                                     L"Cannot seek to " + toString(position) + L" in '" + m_path + L"'",
                                     L"lseek", m_uri, error);
        e.setProp(L"path", m_path);
        throw e;
    }
    m_position = position;
    m_rawEOF = false;
}

int64_t CFileInStream::rawGetPosition()
{
    return positionOf(m_fd, m_position);
}

CFileOutStream::CFileOutStream(const String& path, OpenMode mode)
    : m_path(path), m_uri(fileURIFromPath(path))
{
    int flags = O_WRONLY | O_CREAT;
    if (mode == openTruncate)
        flags |= O_TRUNC;
    else if (mode == openAppend)
        flags |= O_APPEND;
    m_fd = openOrThrow(path, flags, m_uri);
}

CFileOutStream::CFileOutStream(int fd, const String& path, const String& uri)
    : m_fd(fd), m_path(path), m_uri(uri)
{
}

CFileOutStream::~CFileOutStream()
{
    // A failure here has no one to go to; callers that must know call close() themselves.
    if (m_fd >= 0)
        ::close(m_fd);
}

P<CFileOutStream> CFileOutStream::adopt(int fd, const String& uri)
{
    if (fd < 0)
        throw CInvalidArgError(L"Cannot write to descriptor " + toString(int64_t(fd)),
                               L"CFileOutStream::adopt");
    return P<CFileOutStream>(new CFileOutStream(fd, uri, uri));
}

void CFileOutStream::checkOpen(const wchar_t* func)
{
    if (m_fd < 0) {
        CIOError e = makeStreamError(CIOError::codeClosed, L"'" + m_path + L"' is closed", func, m_uri);
        e.setProp(L"path", m_path);
        throw e;
    }
}

void CFileOutStream::fail(CIOError::Code code, const String& message, const wchar_t* func,
                          int sysError)
{
    CIOError e = makeStreamError(code, message, func, m_uri, sysError);
    e.setProp(L"path", m_path);
    throw e;
}

void CFileOutStream::write(const void* data, int64_t size, IWriteBarrier*)
{
    checkOpen(L"write");
    if (size < 0 || (size > 0 && !data))
        throw CInvalidArgError(CStringFormat(L"Cannot write %1 bytes from %2")
                                   .arg(size)
                                   .arg(data ? L"a buffer" : L"no buffer"),
                               L"CFileOutStream::write");
    const auto* bytes = static_cast<const uint8_t*>(data);
    int64_t done = 0;
    while (done < size) {
        const size_t chunk = size_t(std::min<int64_t>(size - done, SSIZE_MAX));
        const ssize_t count = ::write(m_fd, bytes + done, chunk);
        if (count < 0) {
            const int error = errno;
            if (error == EINTR)
                continue;
            if (error == EAGAIN || error == EWOULDBLOCK) {
                pollFD(m_fd, POLLOUT, -1);
                continue;
            }
            fail(CIOError::codeWriteError,
                 CStringFormat(L"Cannot write to '%1' (%2 of %3 bytes written)")
                     .arg(m_path)
                     .arg(done)
                     .arg(size),
                 L"write", error);
        }
        done += count;
        m_position += count;
    }
}

void CFileOutStream::writeKeepBuffer(const TConstBufferSlice<uint8_t>& slice, IWriteBarrier* barrier)
{
    write(slice.data(), int64_t(slice.size()), barrier);
}

void CFileOutStream::seek(int64_t position)
{
    checkOpen(L"seek");
    if (position < 0)
        fail(CIOError::codeSeekFailed,
             L"Cannot seek to the negative position " + toString(position) + L" in '" + m_path + L"'",
             L"seek", 0);
    if (::lseek(m_fd, off_t(position), SEEK_SET) < 0) {
        const int error = errno;
        fail(CIOError::codeSeekFailed,
             L"Cannot seek to " + toString(position) + L" in '" + m_path + L"'", L"lseek", error);
    }
    m_position = position;
}

int64_t CFileOutStream::getPosition()
{
    checkOpen(L"getPosition");
    return positionOf(m_fd, m_position);
}

int64_t CFileOutStream::getLength()
{
    checkOpen(L"getLength");
    return lengthOf(m_fd);
}

void CFileOutStream::setLength(int64_t length)
{
    checkOpen(L"setLength");
    if (length < 0)
        throw CInvalidArgError(L"Cannot set the length of '" + m_path + L"' to " + toString(length),
                               L"CFileOutStream::setLength");
    int result;
    do {
        result = ::ftruncate(m_fd, off_t(length));
    } while (result < 0 && errno == EINTR);
    if (result != 0) {
        const int error = errno;
        fail(error == EINVAL ? CIOError::codeSetLengthNotSupported : CIOError::codeWriteError,
             L"Cannot set the length of '" + m_path + L"' to " + toString(length), L"ftruncate", error);
    }
}

void CFileOutStream::lockRange(int64_t offset, int64_t length)
{
    checkOpen(L"lockRange");
    if (offset < 0 || length < 0)
        throw CInvalidArgError(CStringFormat(L"Cannot lock %1 bytes at %2").arg(length).arg(offset),
                               L"CFileOutStream::lockRange");
    if (const int error = lockFD(m_fd, F_WRLCK, offset, length))
        fail(CIOError::codeLockNotSupported, describeLockFailure(m_path, offset, length, error),
             L"fcntl", error);
}

void CFileOutStream::flush()
{
    checkOpen(L"flush");
}

void CFileOutStream::close()
{
    if (m_fd < 0)
        return;
    const int fd = m_fd;
    m_fd = -1;
    // Linux releases the descriptor even when close() fails, so it is never retried; EINTR
    // is no loss. Other errors (EIO, ENOSPC on network file systems) mean written data may
    // be lost.
    if (::close(fd) != 0 && errno != EINTR) {
        const int error = errno;
        fail(CIOError::codeWriteError, L"Cannot close '" + m_path + L"'", L"close", error);
    }
}

P<IWriteBarrier> CFileOutStream::createWriteBarrier()
{
    checkOpen(L"createWriteBarrier");
    return P<IWriteBarrier>(new CCompletedWriteBarrier());
}

} // namespace zil
