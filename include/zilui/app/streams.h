// SPDX-License-Identifier: MIT
#pragma once

#include <zil/path.h>
#include <zil/stream.h>
#include <zil/uri.h>

#include <wx/stream.h>

#include <cstdint>
#include <memory>

class wxFileConfig;

namespace zilui {

// The CIOError code for a wxWidgets stream state: EOF 4, write error 3, read error 2,
// anything else 0.
zil::CIOError::Code ioErrorCodeFromWX(wxStreamError error);

// A zil input stream over a wxInputStream it owns. wxWidgets only notices the end on the
// read that finds nothing, which CLaggingEOFInStreamBase turns into exact end reporting.
// wxWidgets' own log messages are suppressed while it works: failures are thrown instead.
class CWXInStream : public zil::CLaggingEOFInStreamBase {
public:
    // Takes ownership even when it throws (codeCannotOpen for a stream that is not OK).
    CWXInStream(wxInputStream* stream, const zil::CURI& uri);
    ~CWXInStream() override;

    int64_t getLength() override;
    // wxWidgets has no way to wait, and its reads block.
    bool waitReadable(int timeoutMs) override;
    // Always codeLockNotSupported.
    void lockRange(int64_t offset, int64_t length) override;
    void close() override;
    bool isOpen() override { return m_stream != nullptr; }
    zil::String getURI() override { return m_uri.toString(); }

    const zil::CURI& getURIValue() const { return m_uri; }
    // Null once closed; still owned by this object.
    wxInputStream* getWXStream() const { return m_stream.get(); }

protected:
    int64_t rawReadLax(void* buffer, int64_t size) override;
    int64_t rawReadAvailable(void* buffer, int64_t size) override;
    void rawSeek(int64_t position) override;
    int64_t rawGetPosition() override;
    bool rawEOF() override;

private:
    // Throws the mapped CIOError unless the last operation ended well or at the end.
    int64_t checkedReadCount(const wchar_t* func);

    zil::CURI m_uri;
    std::unique_ptr<wxInputStream> m_stream;
    int64_t m_pastEnd = 0; // how far a seek went past the end of a stream that stops there

};

// Reads a file through wxFileInputStream; the URI is that of the absolute path.
// A file that cannot be opened, or a folder, throws codeCannotOpen with "path" and
// "lastSysError".
class CWXFileInStream : public CWXInStream {
public:
    explicit CWXFileInStream(const zil::Path& file);
    explicit CWXFileInStream(const zil::String& file);
};

// A zil output stream over a wxOutputStream, owned or borrowed. Writes are synchronous, so
// every write barrier is complete at once.
class CWXOutStream : public zil::CBase, public zil::IOutStream {
public:
    // Takes ownership when `ownsStream`, even when it throws (codeCannotOpen for a stream
    // that is not OK). `name` is what getURI() reports.
    CWXOutStream(wxOutputStream* stream, bool ownsStream, const zil::String& name);
    // Borrows `stream`, which must outlive this object or its close().
    CWXOutStream(wxOutputStream& stream, const zil::String& name);
    ~CWXOutStream() override;

    // A short write is codeWriteError.
    void write(const void* data, int64_t size, zil::IWriteBarrier* barrier = nullptr) override;
    void writeKeepBuffer(const zil::TConstBufferSlice<uint8_t>& slice,
                         zil::IWriteBarrier* barrier = nullptr) override;
    void seek(int64_t position) override;
    int64_t getPosition() override;
    int64_t getLength() override;
    // Always codeSetLengthNotSupported.
    void setLength(int64_t length) override;
    // Always codeLockNotSupported.
    void lockRange(int64_t offset, int64_t length) override;
    void flush() override;
    // Deletes an owned stream; a borrowed one is only closed.
    void close() override;
    bool isOpen() override { return m_stream != nullptr; }
    zil::P<zil::IWriteBarrier> createWriteBarrier() override;
    zil::String getURI() override { return m_name; }

    // Null once closed.
    wxOutputStream* getWXStream() const { return m_stream; }

private:
    void checkOpen(const wchar_t* func);
    // Throws the mapped CIOError when the stream reports an error.
    void checkStreamError(const wchar_t* func);
    void releaseStream();

    wxOutputStream* m_stream = nullptr;
    bool m_ownsStream = false;
    zil::String m_name;
};

// Writes a file through wxFileOutputStream, created with permissions 0666 less the umask
// when missing and emptied when `truncate`; otherwise writing starts at 0 over the old
// contents. Failing to open throws codeCannotOpen with "action", "func", "path" and
// "lastSysError".
class CWXFileOutStream : public CWXOutStream {
public:
    CWXFileOutStream(const zil::Path& file, bool truncate);
    CWXFileOutStream(const zil::String& file, bool truncate);
};

// Lets wxWidgets (wxImage, wxXmlDocument...) read a zil stream. Errors of the source are
// not thrown through wxWidgets (which may run them through C code): a failed read sets
// wxSTREAM_READ_ERROR and keeps the error for getSourceError().
class CInStreamToWXInputStreamAdapter : public wxInputStream {
public:
    explicit CInStreamToWXInputStreamAdapter(zil::P<zil::IInStream> source);
    ~CInStreamToWXInputStreamAdapter() override;

    // wxInvalidOffset when the source cannot tell.
    wxFileOffset GetLength() const override;
    // Seekable when the source knows its length: files and memory, not pipes.
    bool IsSeekable() const override;

    const zil::P<zil::IInStream>& getSource() const { return m_source; }
    // The last error the source threw, null if none.
    const zil::CError* getSourceError() const { return m_sourceError.get(); }

protected:
    size_t OnSysRead(void* buffer, size_t size) override;
    wxFileOffset OnSysSeek(wxFileOffset offset, wxSeekMode mode) override;
    wxFileOffset OnSysTell() const override;

private:
    void keepError(const zil::CError& error) const;

    zil::P<zil::IInStream> m_source;
    mutable std::unique_ptr<zil::CError> m_sourceError;
};

// An INI file (skin resources, image parameters) read into a wxFileConfig: the text decoded
// with wxConvAuto (byte order marks, UTF-8, else the locale's encoding; wxFileConfig's own
// stream reading loses UTF-16 text in wxWidgets 3.2) and values taken literally, without
// expanding environment variables. Throws zil::CParseError naming the file and `context`
// when the bytes cannot be decoded, and zil::readFileBytes' errors.
std::unique_ptr<wxFileConfig> readConfigFile(const zil::Path& file, const zil::String& context);

} // namespace zilui
