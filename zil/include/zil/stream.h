// SPDX-License-Identifier: MIT
#pragma once

#include "zil/error.h"
#include "zil/object.h"
#include "zil/string.h"

#include <cstddef>
#include <cstdint>
#include <type_traits>
#include <vector>

namespace zil {

// Owning, resizable, contiguous storage for trivially copyable elements.
template <class T>
class TBuffer {
    static_assert(std::is_trivially_copyable_v<T>, "TBuffer holds plain data only");

public:
    TBuffer() = default;
    explicit TBuffer(size_t size) : m_items(size) {}
    TBuffer(const T* data, size_t count) { append(data, count); }

    T* data() { return m_items.data(); }
    const T* data() const { return m_items.data(); }
    size_t size() const { return m_items.size(); }
    bool isEmpty() const { return m_items.empty(); }
    // New elements are zero.
    void resize(size_t size) { m_items.resize(size); }
    void clear() { m_items.clear(); }
    void append(const T* data, size_t count)
    {
        if (count > 0)
            m_items.insert(m_items.end(), data, data + count);
    }

    T& operator[](size_t index) { return m_items[index]; }
    const T& operator[](size_t index) const { return m_items[index]; }
    bool operator==(const TBuffer& other) const { return m_items == other.m_items; }
    bool operator!=(const TBuffer& other) const { return m_items != other.m_items; }

private:
    std::vector<T> m_items;
};

using CByteBuffer = TBuffer<uint8_t>;

// A view of elements someone else owns; it must not outlive them.
template <class T>
class TConstBufferSlice {
public:
    TConstBufferSlice() = default;
    TConstBufferSlice(const T* data, size_t size) : m_data(data), m_size(size)
    {
        if (!data && size > 0)
            throw CInvalidArgError(L"Buffer slice of " + toString(int64_t(size)) +
                                       L" elements without data",
                                   L"TConstBufferSlice");
    }
    TConstBufferSlice(const TBuffer<T>& buffer) : m_data(buffer.data()), m_size(buffer.size()) {}

    const T* data() const { return m_data; }
    size_t size() const { return m_size; }
    bool isEmpty() const { return m_size == 0; }

    // `count` elements from `offset`; throws CInvalidArgError when they are not all inside.
    TConstBufferSlice slice(size_t offset, size_t count) const
    {
        if (offset > m_size || count > m_size - offset) {
            CInvalidArgError e(CStringFormat(L"Slice %1+%2 is outside a buffer of %3 elements")
                                   .arg(offset)
                                   .arg(count)
                                   .arg(m_size),
                               L"TConstBufferSlice::slice");
            throw e;
        }
        return TConstBufferSlice(m_data + offset, count);
    }

private:
    const T* m_data = nullptr;
    size_t m_size = 0;
};

// Builds (and throws) the CIOError of a stream: the message, `func` as source and property,
// the stream's URI in the property CIOError::paramURI() when it has one, and for a system
// error (`sysError` != 0) its text after the message and the property "lastSysError".
CIOError makeStreamError(CIOError::Code code, const String& message, const String& func,
                         const String& uri, int sysError = 0);
[[noreturn]] void throwStreamError(CIOError::Code code, const String& message, const String& func,
                                   const String& uri, int sysError = 0);

// Handed out by a writer so that a caller can wait until the data written with it reached
// its destination (for a file: the system has it; for a socket: it was sent).
class IWriteBarrier : public virtual IBase {
public:
    virtual void waitUntilWritten() = 0;
};

// The barrier of a writer that has finished by the time write() returns.
class CCompletedWriteBarrier : public CBase, public IWriteBarrier {
public:
    void waitUntilWritten() override {}
};

// A readable stream of bytes. Sizes and positions are bytes; operations on a closed stream
// throw CIOError codeClosed (close() and isOpen() excepted). A stream serves one thread at a
// time.
class IInStream : public virtual IBase {
public:
    // Blocks until at least one byte was read, or returns 0 at the end of the stream.
    virtual int64_t read(void* buffer, int64_t size) = 0;
    // Reads exactly `size` bytes; an earlier end throws CIOError codeEndOfStream.
    virtual void readExact(void* buffer, int64_t size) = 0;
    // Reads what is there without blocking; 0 when nothing is.
    virtual int64_t readAvailable(void* buffer, int64_t size) = 0;
    virtual void seek(int64_t position) = 0;
    virtual int64_t getPosition() = 0;
    // -1 when the stream cannot know (a pipe).
    virtual int64_t getLength() = 0;
    // True once a read has met the end.
    virtual bool isEOF() = 0;
    // True when a read would not block; timeoutMs -1 waits for ever.
    virtual bool waitReadable(int timeoutMs) = 0;
    // Locks `length` bytes from `offset` against writers elsewhere until the stream closes;
    // length 0 means up to any end the data may grow to.
    virtual void lockRange(int64_t offset, int64_t length) = 0;
    // Idempotent.
    virtual void close() = 0;
    virtual bool isOpen() = 0;
    // Where the bytes come from, for messages; may be empty.
    virtual String getURI() = 0;
};

// A writable stream of bytes; same conventions as IInStream.
class IOutStream : public virtual IBase {
public:
    // Writes everything. `barrier`, made by createWriteBarrier(), lets the caller wait for
    // this data and all before it to reach the destination; without one, the stream is done
    // with `data` when write() returns.
    virtual void write(const void* data, int64_t size, IWriteBarrier* barrier = nullptr) = 0;
    // Like write(), but the stream may keep using the slice's memory instead of copying it:
    // with a barrier, the caller keeps the memory valid and unchanged until
    // barrier->waitUntilWritten() has returned; without one, until this call returns.
    virtual void writeKeepBuffer(const TConstBufferSlice<uint8_t>& slice,
                                 IWriteBarrier* barrier = nullptr) = 0;
    virtual void seek(int64_t position) = 0;
    virtual int64_t getPosition() = 0;
    virtual int64_t getLength() = 0;
    // Truncates or extends (with zeros); codeSetLengthNotSupported where that is impossible.
    virtual void setLength(int64_t length) = 0;
    // Locks `length` bytes from `offset` against readers and writers elsewhere until the
    // stream closes; length 0 means up to any end the data may grow to.
    virtual void lockRange(int64_t offset, int64_t length) = 0;
    // Hands what the stream buffers to its destination.
    virtual void flush() = 0;
    // Flushes, then closes; idempotent. A failure to flush throws after the stream closed.
    virtual void close() = 0;
    virtual bool isOpen() = 0;
    virtual P<IWriteBarrier> createWriteBarrier() = 0;
    virtual String getURI() = 0;
};

// The read operations of IInStream over a few raw operations of a derived class, for
// sources whose end-of-stream flag lags behind: the flag is only set by the read that
// finds nothing more (as with wxInputStream::Eof()), so it may still be false when the
// last byte has been read, and may already be true on a read that still returned bytes.
//
// Contract of the raw operations (called only while isOpen(); sizes always > 0):
// - rawReadLax(buffer, size): reads up to `size` bytes; may return 0 when nothing is there
//   right now, which is the end only if rawEOF() is true afterwards. Negative is a failure.
// - rawReadAvailable(buffer, size): reads up to `size` bytes without blocking.
// - rawSeek(position), rawGetPosition(): absolute byte positions.
// - rawEOF(): the raw end flag, allowed to lag as described.
//
// What the public operations promise:
// - read() returns bytes whenever there are any: it retries rawReadLax while that returns
//   0 and rawEOF() is false (waiting with waitReadable() in between), and reports the end
//   (returns 0, isEOF() turns true) only after a raw read returned 0 with rawEOF() true.
//   Every byte is delivered, and a reader looping until 0 sees the end once.
// - read(), readExact() and readAvailable() with a size of 0 or less return 0 without
//   calling the raw operations.
// - seek() clears the end.
class CLaggingEOFInStreamBase : public CBase, public IInStream {
public:
    int64_t read(void* buffer, int64_t size) override;
    void readExact(void* buffer, int64_t size) override;
    int64_t readAvailable(void* buffer, int64_t size) override;
    void seek(int64_t position) override;
    int64_t getPosition() override;
    bool isEOF() override;

protected:
    virtual int64_t rawReadLax(void* buffer, int64_t size) = 0;
    virtual int64_t rawReadAvailable(void* buffer, int64_t size) = 0;
    virtual void rawSeek(int64_t position) = 0;
    virtual int64_t rawGetPosition() = 0;
    virtual bool rawEOF() = 0;

    // Throws CIOError codeClosed naming `func` unless the stream is open.
    void checkOpen(const wchar_t* func);

private:
    int64_t checkedRawCount(int64_t count, int64_t size, const wchar_t* func);

    bool m_eof = false;
};

// Reads a private copy of some bytes. Locking does nothing: no one else sees the copy.
class CMemoryInStream : public CLaggingEOFInStreamBase {
public:
    explicit CMemoryInStream(const CByteBuffer& data, const String& uri = String());
    CMemoryInStream(const void* data, size_t size, const String& uri = String());

    int64_t getLength() override;
    bool waitReadable(int timeoutMs) override;
    void lockRange(int64_t offset, int64_t length) override;
    void close() override;
    bool isOpen() override { return m_open; }
    String getURI() override { return m_uri; }

protected:
    int64_t rawReadLax(void* buffer, int64_t size) override;
    int64_t rawReadAvailable(void* buffer, int64_t size) override;
    void rawSeek(int64_t position) override;
    int64_t rawGetPosition() override { return m_position; }
    bool rawEOF() override { return m_position >= int64_t(m_data.size()); }

private:
    CByteBuffer m_data;
    int64_t m_position = 0;
    String m_uri;
    bool m_open = true;
};

// File streams over a POSIX descriptor, opened with O_CLOEXEC and unbuffered: a write has
// reached the system when it returns, so flush() has nothing to do and every write barrier
// is already complete.
//
// Errors are CIOError with the properties "path", "func" (the system call) and
// "lastSysError": codeCannotOpen, codeReadError, codeWriteError, codeSeekFailed, codeClosed,
// codeSetLengthNotSupported. lockRange() takes an advisory record lock (open file
// description locks, so another stream on the same file conflicts even in this process);
// a range locked elsewhere, or a descriptor that cannot be locked, throws
// codeLockNotSupported without waiting. Locks go with close().
//
// The URI of a file stream is "file://" and the percent-encoded absolute path; a stream
// made with adopt() has the URI it was given, and its path is that URI. The destructor
// closes a stream left open but cannot report a failure: writers that must know call
// close().
class CFileInStream : public CLaggingEOFInStreamBase {
public:
    explicit CFileInStream(const String& path);
    ~CFileInStream() override;
    // Takes ownership of an open descriptor (a pipe end, a socket).
    static P<CFileInStream> adopt(int fd, const String& uri = String());

    int64_t getLength() override;
    bool waitReadable(int timeoutMs) override;
    void lockRange(int64_t offset, int64_t length) override;
    void close() override;
    bool isOpen() override { return m_fd >= 0; }
    String getURI() override { return m_uri; }

protected:
    int64_t rawReadLax(void* buffer, int64_t size) override;
    int64_t rawReadAvailable(void* buffer, int64_t size) override;
    void rawSeek(int64_t position) override;
    int64_t rawGetPosition() override;
    bool rawEOF() override { return m_rawEOF; }

private:
    CFileInStream(int fd, const String& path, const String& uri);

    int m_fd = -1;
    String m_path;
    String m_uri;
    // Bytes read since the last seek, for descriptors that cannot tell their position.
    int64_t m_position = 0;
    bool m_rawEOF = false;
};

class CFileOutStream : public CBase, public IOutStream {
public:
    enum OpenMode {
        // Created if missing, emptied if not.
        openTruncate,
        // Created if missing; every write goes to the current end.
        openAppend,
        // Created if missing; contents kept, writing starts at 0.
        openUpdate,
    };

    // New files get the permissions 0666 less the umask.
    explicit CFileOutStream(const String& path, OpenMode mode = openTruncate);
    ~CFileOutStream() override;
    // Takes ownership of an open descriptor; a non-blocking one is waited for, not failed.
    static P<CFileOutStream> adopt(int fd, const String& uri = String());

    void write(const void* data, int64_t size, IWriteBarrier* barrier = nullptr) override;
    void writeKeepBuffer(const TConstBufferSlice<uint8_t>& slice,
                         IWriteBarrier* barrier = nullptr) override;
    void seek(int64_t position) override;
    int64_t getPosition() override;
    int64_t getLength() override;
    void setLength(int64_t length) override;
    void lockRange(int64_t offset, int64_t length) override;
    void flush() override;
    void close() override;
    bool isOpen() override { return m_fd >= 0; }
    P<IWriteBarrier> createWriteBarrier() override;
    String getURI() override { return m_uri; }

private:
    CFileOutStream(int fd, const String& path, const String& uri);
    void checkOpen(const wchar_t* func);
    [[noreturn]] void fail(CIOError::Code code, const String& message, const wchar_t* func,
                           int sysError);

    int m_fd = -1;
    String m_path;
    String m_uri;
    // Bytes written since the last seek, for descriptors that cannot tell their position.
    int64_t m_position = 0;
};

// "file://" and the path with every segment percent-encoded.
String fileURIFromPath(const String& path);

} // namespace zil
