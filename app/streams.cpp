// SPDX-License-Identifier: MIT
#include "zilui/app/streams.h"

#include "zilui/app/strings.h"

#include <wx/arrstr.h>
#include <wx/convauto.h>
#include <wx/fileconf.h>
#include <wx/sstream.h>
#include <wx/log.h>
#include <wx/wfstream.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <set>
#include <vector>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zilui {

zil::CIOError::Code ioErrorCodeFromWX(wxStreamError error)
{
    switch (error) {
    case wxSTREAM_EOF:
        return zil::CIOError::codeEndOfStream;
    case wxSTREAM_WRITE_ERROR:
        return zil::CIOError::codeWriteError;
    case wxSTREAM_READ_ERROR:
        return zil::CIOError::codeReadError;
    default:
        return zil::CIOError::codeOther;
    }
}

namespace {

zil::String describeWXError(wxStreamError error)
{
    switch (error) {
    case wxSTREAM_EOF:
        return L"end of stream";
    case wxSTREAM_WRITE_ERROR:
        return L"write error";
    case wxSTREAM_READ_ERROR:
        return L"read error";
    default:
        return L"stream error " + zil::toString(int64_t(error));
    }
}

[[noreturn]] void throwWXError(wxStreamError error, const wchar_t* func, const zil::String& uri)
{
    zil::throwStreamError(ioErrorCodeFromWX(error), L"wxWidgets stream: " + describeWXError(error), func,
                          uri);
}

} // namespace

// ---------------------------------------------------------------------------------------
// CWXInStream

CWXInStream::CWXInStream(wxInputStream* stream, const zil::CURI& uri) : m_uri(uri), m_stream(stream)
{
    if (!m_stream)
        zil::throwStreamError(zil::CIOError::codeCannotOpen, L"No wxWidgets stream to read", L"CWXInStream",
                              getURI());
    if (!m_stream->IsOk()) {
        m_stream.reset();
        zil::throwStreamError(zil::CIOError::codeCannotOpen, L"The wxWidgets stream cannot be read",
                              L"CWXInStream", getURI());
    }
}

CWXInStream::~CWXInStream() = default;

int64_t CWXInStream::checkedReadCount(const wchar_t* func)
{
    const wxStreamError error = m_stream->GetLastError();
    if (error != wxSTREAM_NO_ERROR && error != wxSTREAM_EOF)
        throwWXError(error, func, getURI());
    return int64_t(m_stream->LastRead());
}

int64_t CWXInStream::rawReadLax(void* buffer, int64_t size)
{
    if (size < 1)
        return 0;
    wxLogNull noLog;
    m_stream->Read(buffer, size_t(size));
    return checkedReadCount(L"read");
}

int64_t CWXInStream::rawReadAvailable(void* buffer, int64_t size)
{
    if (size < 1)
        return 0;
    wxLogNull noLog;
    if (!m_stream->CanRead())
        return 0;
    m_stream->Read(buffer, size_t(size));
    return checkedReadCount(L"readAvailable");
}

void CWXInStream::rawSeek(int64_t position)
{
    wxLogNull noLog;
    m_pastEnd = 0;
    if (m_stream->SeekI(wxFileOffset(position), wxFromStart) != wxInvalidOffset)
        return;
    // wx memory streams refuse a position past their end, which files and our own streams
    // allow: stand at the end and count the rest, so reads there find the end as elsewhere.
    const wxFileOffset length = m_stream->GetLength();
    if (position > 0 && length != wxInvalidOffset && position > length &&
        m_stream->SeekI(length, wxFromStart) != wxInvalidOffset) {
        m_pastEnd = position - length;
        return;
    }
    zil::throwStreamError(zil::CIOError::codeSeekFailed, L"Cannot seek to " + zil::toString(position), L"seek",
                          getURI());
}

int64_t CWXInStream::rawGetPosition()
{
    const wxFileOffset position = m_stream->TellI();
    return position == wxInvalidOffset ? int64_t(position) : int64_t(position) + m_pastEnd;
}

bool CWXInStream::rawEOF()
{
    return m_stream->Eof();
}

int64_t CWXInStream::getLength()
{
    checkOpen(L"getLength");
    return int64_t(m_stream->GetLength());
}

bool CWXInStream::waitReadable(int)
{
    return true;
}

void CWXInStream::lockRange(int64_t, int64_t)
{
    zil::CIOError e(L"lockRange not supported", L"CWXInStream::lockRange",
                    zil::CIOError::codeLockNotSupported);
    e.setProp(L"action", L"CWXInStream::lockRange");
    if (!m_uri.isEmpty())
        e.setProp(zil::CIOError::paramURI(), getURI());
    throw e;
}

void CWXInStream::close()
{
    m_stream.reset();
}

// ---------------------------------------------------------------------------------------
// CWXFileInStream

namespace {

// Opened here rather than by wxFile so that the descriptor is close-on-exec, folders are
// refused before a read fails on them, and the error carries errno.
wxInputStream* openFileInStream(const zil::Path& absolute)
{
    const std::string apiPath = absolute.toAPIPath();
    int fd = ::open(apiPath.c_str(), O_RDONLY | O_CLOEXEC);
    int error = fd < 0 ? errno : 0;
    struct stat info;
    if (fd >= 0 && ::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode)) {
        ::close(fd);
        fd = -1;
        error = EISDIR;
    }
    if (fd < 0) {
        zil::CIOError e =
            zil::makeStreamError(zil::CIOError::codeCannotOpen, L"Cannot open '" + absolute.str() + L"'",
                                 L"open", zil::CURI::fromPath(absolute).toString(), error);
        e.setProp(L"path", absolute.str());
        throw e;
    }
    // The stream owns the descriptor from here on.
    return new wxFileInputStream(fd);
}

} // namespace

CWXFileInStream::CWXFileInStream(const zil::Path& file)
    : CWXInStream(openFileInStream(file.makeAbsolute()), zil::CURI::fromPath(file.makeAbsolute()))
{
}

CWXFileInStream::CWXFileInStream(const zil::String& file) : CWXFileInStream(zil::Path(file)) {}

// ---------------------------------------------------------------------------------------
// CWXOutStream

CWXOutStream::CWXOutStream(wxOutputStream* stream, bool ownsStream, const zil::String& name)
    : m_stream(stream), m_ownsStream(ownsStream), m_name(name)
{
    if (!m_stream)
        zil::throwStreamError(zil::CIOError::codeCannotOpen, L"No wxWidgets stream to write", L"CWXOutStream",
                              m_name);
    if (!m_stream->IsOk()) {
        releaseStream();
        zil::throwStreamError(zil::CIOError::codeCannotOpen, L"The wxWidgets stream cannot be written",
                              L"CWXOutStream", m_name);
    }
}

CWXOutStream::CWXOutStream(wxOutputStream& stream, const zil::String& name)
    : CWXOutStream(&stream, false, name)
{
}

CWXOutStream::~CWXOutStream()
{
    // A borrowed stream belongs to someone who may still use it; an owned one flushes as
    // it is deleted, with no way to report a failure (close() reports it).
    releaseStream();
}

void CWXOutStream::releaseStream()
{
    if (m_ownsStream) {
        wxLogNull noLog;
        delete m_stream;
    }
    m_stream = nullptr;
}

void CWXOutStream::checkOpen(const wchar_t* func)
{
    if (!m_stream)
        zil::throwStreamError(zil::CIOError::codeClosed, L"The stream is closed", func, m_name);
}

void CWXOutStream::checkStreamError(const wchar_t* func)
{
    const wxStreamError error = m_stream->GetLastError();
    if (error != wxSTREAM_NO_ERROR)
        throwWXError(error, func, m_name);
}

void CWXOutStream::write(const void* data, int64_t size, zil::IWriteBarrier*)
{
    checkOpen(L"write");
    if (size < 1)
        return;
    wxLogNull noLog;
    m_stream->Write(data, size_t(size));
    checkStreamError(L"write");
    const size_t written = m_stream->LastWrite();
    if (int64_t(written) < size)
        zil::throwStreamError(zil::CIOError::codeWriteError,
                              zil::CStringFormat(L"Wrote %1 of %2 bytes").arg(written).arg(size), L"write",
                              m_name);
}

void CWXOutStream::writeKeepBuffer(const zil::TConstBufferSlice<uint8_t>& slice, zil::IWriteBarrier* barrier)
{
    write(slice.data(), int64_t(slice.size()), barrier);
}

void CWXOutStream::seek(int64_t position)
{
    checkOpen(L"seek");
    wxLogNull noLog;
    if (m_stream->SeekO(wxFileOffset(position), wxFromStart) == wxInvalidOffset)
        zil::throwStreamError(zil::CIOError::codeSeekFailed, L"Cannot seek to " + zil::toString(position),
                              L"seek", m_name);
}

int64_t CWXOutStream::getPosition()
{
    checkOpen(L"getPosition");
    return int64_t(m_stream->TellO());
}

int64_t CWXOutStream::getLength()
{
    checkOpen(L"getLength");
    return int64_t(m_stream->GetLength());
}

void CWXOutStream::setLength(int64_t)
{
    checkOpen(L"setLength");
    zil::throwStreamError(zil::CIOError::codeSetLengthNotSupported, L"setLength not supported", L"setLength",
                          m_name);
}

void CWXOutStream::lockRange(int64_t, int64_t)
{
    checkOpen(L"lockRange");
    zil::throwStreamError(zil::CIOError::codeLockNotSupported, L"lockRange not supported", L"lockRange",
                          m_name);
}

void CWXOutStream::flush()
{
    checkOpen(L"flush");
    wxLogNull noLog;
    m_stream->Sync();
    checkStreamError(L"flush");
}

void CWXOutStream::close()
{
    if (!m_stream)
        return;
    bool closed;
    wxStreamError error;
    {
        wxLogNull noLog;
        m_stream->Sync();
        error = m_stream->GetLastError();
        closed = m_stream->Close();
    }
    releaseStream();
    if (error != wxSTREAM_NO_ERROR)
        throwWXError(error, L"close", m_name);
    if (!closed)
        zil::throwStreamError(zil::CIOError::codeWriteError, L"Closing the wxWidgets stream failed", L"close",
                              m_name);
}

zil::P<zil::IWriteBarrier> CWXOutStream::createWriteBarrier()
{
    checkOpen(L"createWriteBarrier");
    return zil::P<zil::IWriteBarrier>(new zil::CCompletedWriteBarrier());
}

// ---------------------------------------------------------------------------------------
// CWXFileOutStream

namespace {

wxOutputStream* openFileOutStream(const zil::Path& file, bool truncate)
{
    const std::string apiPath = file.toAPIPath();
    zil::setLastSysError(0);
    const int fd = ::open(apiPath.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | (truncate ? O_TRUNC : 0), 0666);
    if (fd < 0) {
        const int error = errno;
        zil::CIOError e = zil::makeStreamError(zil::CIOError::codeCannotOpen,
                                               L"Cannot open '" + file.str() + L"' for writing", L"open",
                                               zil::fileURIFromPath(file.str()), error);
        e.setProp(L"action", L"CWXFileOutStream::openFileOutStream");
        e.setProp(L"path", zil::String::fromUTF8(apiPath));
        throw e;
    }
    // The stream owns the descriptor from here on.
    return new wxFileOutputStream(fd);
}

} // namespace

CWXFileOutStream::CWXFileOutStream(const zil::Path& file, bool truncate)
    : CWXOutStream(openFileOutStream(file, truncate), true, zil::fileURIFromPath(file.str()))
{
}

CWXFileOutStream::CWXFileOutStream(const zil::String& file, bool truncate)
    : CWXFileOutStream(zil::Path(file), truncate)
{
}

// ---------------------------------------------------------------------------------------
// CInStreamToWXInputStreamAdapter

CInStreamToWXInputStreamAdapter::CInStreamToWXInputStreamAdapter(zil::P<zil::IInStream> source)
    : m_source(std::move(source))
{
    if (!m_source)
        m_lasterror = wxSTREAM_READ_ERROR;
}

CInStreamToWXInputStreamAdapter::~CInStreamToWXInputStreamAdapter() = default;

void CInStreamToWXInputStreamAdapter::keepError(const zil::CError& error) const
{
    m_sourceError.reset(error.clone());
}

wxFileOffset CInStreamToWXInputStreamAdapter::GetLength() const
{
    if (!m_source)
        return wxInvalidOffset;
    try {
        const int64_t length = m_source->getLength();
        return length < 0 ? wxInvalidOffset : wxFileOffset(length);
    } catch (const zil::CError& e) {
        keepError(e);
        return wxInvalidOffset;
    }
}

bool CInStreamToWXInputStreamAdapter::IsSeekable() const
{
    return GetLength() != wxInvalidOffset;
}

size_t CInStreamToWXInputStreamAdapter::OnSysRead(void* buffer, size_t size)
{
    if (!m_source || size == 0)
        return 0;
    try {
        const int64_t count = m_source->read(buffer, int64_t(std::min<size_t>(size, INT64_MAX)));
        if (count == 0)
            m_lasterror = wxSTREAM_EOF;
        return size_t(count);
    } catch (const zil::CError& e) {
        keepError(e);
        m_lasterror = wxSTREAM_READ_ERROR;
        return 0;
    }
}

wxFileOffset CInStreamToWXInputStreamAdapter::OnSysSeek(wxFileOffset offset, wxSeekMode mode)
{
    if (!m_source)
        return wxInvalidOffset;
    try {
        int64_t target = int64_t(offset);
        if (mode == wxFromCurrent)
            target += m_source->getPosition();
        else if (mode == wxFromEnd) {
            const int64_t length = m_source->getLength();
            if (length < 0)
                return wxInvalidOffset;
            target += length;
        }
        m_source->seek(target);
        return wxFileOffset(m_source->getPosition());
    } catch (const zil::CError& e) {
        keepError(e);
        return wxInvalidOffset;
    }
}

wxFileOffset CInStreamToWXInputStreamAdapter::OnSysTell() const
{
    if (!m_source)
        return wxInvalidOffset;
    try {
        return wxFileOffset(m_source->getPosition());
    } catch (const zil::CError& e) {
        keepError(e);
        return wxInvalidOffset;
    }
}

namespace {

[[noreturn]] void throwConfigError(const zil::String& what, const zil::Path& file, size_t line,
                                   const zil::String& context)
{
    zil::CParseError error(what + L" in '" + file.str() + L"', line " + zil::toString(int64_t(line)) + L".",
                           context);
    error.setProp(L"path", file.str());
    error.setProp(L"line", zil::toString(int64_t(line)));
    throw error;
}

// Backslash escapes removed as wxFileConfig does with names.
wxString unescapeConfigName(const wxString& raw)
{
    wxString name;
    for (size_t i = 0; i < raw.length(); ++i) {
        if (raw[i] == L'\\' && ++i == raw.length())
            break;
        name += raw[i];
    }
    return name;
}

// The absolute path wxFileConfig gives a "[group]" line, "" for the root or for a line it
// skips (no closing bracket).
wxString configGroupPath(const wxString& line)
{
    size_t end = 1;
    while (end < line.length() && line[end] != L']' && line[end] != L'\0')
        end += line[end] == L'\\' && end + 1 < line.length() ? 2 : 1;
    if (end >= line.length() || line[end] != L']')
        return wxString();
    // ".." goes up; "." is dropped, but its text stays and begins the next part, so "a/./b" is
    // "/a/.b" and "a/b/./." is "/a" (wxSplitPath's rule, not a file path's).
    std::vector<wxString> parts;
    const wxString name = unescapeConfigName(line.substr(1, end - 1));
    wxString part;
    for (size_t i = 0; i <= name.length(); ++i) {
        if (i < name.length() && name[i] != L'/') {
            part += name[i];
        } else if (part == L"..") {
            if (!parts.empty())
                parts.pop_back();
            part.clear();
        } else if (!part.empty() && part != L".") {
            parts.push_back(part);
            part.clear();
        }
    }
    wxString path;
    for (const wxString& part : parts)
        path += L"/" + part;
    return path;
}

// The entry name wxFileConfig makes of a line that is not a group: up to the first "=" not
// escaped by a backslash, trailing spaces trimmed, escapes removed; its reading stops at NUL.
// Empty when the line has no "=".
wxString configEntryName(const wxString& line, bool& hasEquals)
{
    size_t end = 0;
    while (end < line.length() && line[end] != L'=' && line[end] != L'\0')
        end += line[end] == L'\\' && end + 1 < line.length() ? 2 : 1;
    hasEquals = end < line.length() && line[end] == L'=';
    wxString raw = line.substr(0, end);
    raw.Trim(true);
    return unescapeConfigName(raw);
}

// wxFileConfig asserts on what it cannot represent, so that is refused here first: code
// points no UTF-8 text can hold, entries whose name comes out empty ("=value", "\\="), and
// a group that has a section of its own twice ("[g]" and "[G]" are one group).
// Its lines end at "\n", "\r\n" and a lone "\r".
void checkConfigText(const wxString& text, const zil::Path& file, const zil::String& context)
{
    size_t lineNumber = 0;
    size_t start = 0;
    // wxFileConfig finds groups by name without regard to case.
    const auto noCase = [](const wxString& a, const wxString& b) { return a.CmpNoCase(b) < 0; };
    std::set<wxString, decltype(noCase)> groups(noCase);
    while (start <= text.length()) {
        size_t end = start;
        while (end < text.length() && text[end] != L'\n' && text[end] != L'\r')
            ++end;
        ++lineNumber;
        wxString line = text.substr(start, end - start);
        for (const wxUniChar c : line) {
            const wxUint32 code = c.GetValue();
            if (code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
                throwConfigError(fromWX(wxString::Format("Invalid character U+%04X", code)), file, lineNumber,
                                 context);
        }
        size_t first = 0;
        while (first < line.length() && wxIsspace(line[first]))
            ++first;
        line.erase(0, first);
        if (!line.empty() && line[0] == L'[') {
            const wxString group = configGroupPath(line);
            if (!group.empty() && !groups.insert(group).second)
                throwConfigError(L"Second section of group '" + fromWX(group.substr(1)) + L"'", file, lineNumber,
                                 context);
        }
        bool hasEquals = false;
        if (!line.empty() && line[0] != L'[' && line[0] != L';' && line[0] != L'#' &&
            configEntryName(line, hasEquals).empty() && hasEquals)
            throwConfigError(L"Entry without a name", file, lineNumber, context);
        start = end + (end + 1 < text.length() && text[end] == L'\r' && text[end + 1] == L'\n' ? 2 : 1);
    }
}

} // namespace

std::unique_ptr<wxFileConfig> readConfigFile(const zil::Path& file, const zil::String& context)
{
    const std::string bytes = zil::readFileBytes(file);
    wxString text;
    if (!bytes.empty()) {
        // A fresh converter per call: wxConvAuto settles on an encoding at its first use.
        size_t length = 0;
        const wxWCharBuffer wide = wxConvAuto().cMB2WC(bytes.data(), bytes.size(), &length);
        if (!wide.data()) {
            zil::CParseError error(L"Cannot decode the text of '" + file.str() + L"'.", context);
            error.setProp(L"path", file.str());
            throw error;
        }
        text.assign(wide.data(), length);
    }
    checkConfigText(text, file, context);
    wxStringInputStream stream(text);
    auto config = std::make_unique<wxFileConfig>(stream, wxConvUTF8);
    config->SetExpandEnvVars(false);
    return config;
}

} // namespace zilui
