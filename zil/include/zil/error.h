// SPDX-License-Identifier: MIT
#pragma once

#include "zil/object.h"
#include "zil/string.h"

#include <exception>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace zil {

// String properties in insertion order; keys are unique and compared exactly.
class CProps {
public:
    using Entry = std::pair<String, String>;

    // Replaces the value of an existing key in place, so the order stays that of first insertion.
    void set(const String& key, const String& value);
    // Appends even when the key exists; for XML attributes, where the document decides.
    void add(const String& key, const String& value) { m_entries.emplace_back(key, value); }
    bool has(const String& key) const;
    String get(const String& key, const String& defaultValue = String()) const;
    bool remove(const String& key);
    void clear() { m_entries.clear(); }

    bool isEmpty() const { return m_entries.empty(); }
    size_t size() const { return m_entries.size(); }
    const std::vector<Entry>& entries() const { return m_entries; }
    auto begin() const { return m_entries.begin(); }
    auto end() const { return m_entries.end(); }

    bool operator==(const CProps& other) const { return m_entries == other.m_entries; }

private:
    std::vector<Entry> m_entries;
};

// Base of every error the library throws. The message is shown to users; the source names
// the operation that failed ("CXMLLog::open"), the properties say with what ("path",
// "func", "lastSysError").
class CError : public std::exception, public CBase {
public:
    explicit CError(const String& message, const String& source = String(), int code = 0);
    CError(const CError& other);
    CError& operator=(const CError& other);
    ~CError() override;

    const String& getMessage() const { return m_message; }
    const String& getSource() const { return m_source; }
    int getCode() const { return m_code; }
    const CProps& getProps() const { return m_props; }
    String getProp(const String& key) const { return m_props.get(key); }
    CError& setProp(const String& key, const String& value);
    // The error that led to this one, if any.
    const CError* getCause() const { return m_cause.get(); }
    CError& setCause(const CError& cause);

    // Message, then source, code, properties and causes: what a log entry wants.
    String getFullText() const;
    // UTF-8 of the message.
    const char* what() const noexcept override;

    // Copy and rethrow that keep the dynamic type, for handing an error to another thread.
    virtual CError* clone() const { return new CError(*this); }
    [[noreturn]] virtual void rethrow() const { throw *this; }

protected:
    virtual String getTypeName() const { return L"zil::CError"; }

private:
    String m_message;
    String m_source;
    int m_code = 0;
    CProps m_props;
    std::unique_ptr<CError> m_cause;
    mutable std::string m_what;
};

#define ZIL_ERROR_CLASS_BODY(Name, Base)                                                       \
public:                                                                                        \
    using Base::Base;                                                                          \
    CError* clone() const override { return new Name(*this); }                                 \
    [[noreturn]] void rethrow() const override { throw *this; }                                \
                                                                                               \
protected:                                                                                     \
    String getTypeName() const override { return L"zil::" #Name; }

class CInvalidArgError : public CError {
    ZIL_ERROR_CLASS_BODY(CInvalidArgError, CError)
};

class CBadPathError : public CError {
    ZIL_ERROR_CLASS_BODY(CBadPathError, CError)
};

class CParseError : public CError {
    ZIL_ERROR_CLASS_BODY(CParseError, CError)
};

class CLockFileError : public CError {
    ZIL_ERROR_CLASS_BODY(CLockFileError, CError)
};

class CIOError : public CError {
public:
    enum Code {
        codeOther = 0,
        codeCannotOpen = 1,
        codeReadError = 2,
        codeWriteError = 3,
        codeEndOfStream = 4,
        codeSeekFailed = 7,
        codeClosed = 10,
        codeSetLengthNotSupported = 13,
        codeLockNotSupported = 14,
    };
    ZIL_ERROR_CLASS_BODY(CIOError, CError)

public:
    // Name of the property that carries the URI of the stream an error came from.
    static const String& paramURI();
};

#undef ZIL_ERROR_CLASS_BODY

// errno of the calling thread.
int getLastSysError();
void setLastSysError(int error);
// The system's text for an error number ("No such file or directory").
String getSysErrorText(int error);

// Throws CError with the message "<action>: <system text>" (or the system text alone when
// `action` is empty), the source `func`, the error number as code and the properties
// "func" and "lastSysError" (the number as text). `error` -1 means getLastSysError().
[[noreturn]] void throwSysError(const String& func, const String& action = String(),
                                const CProps& props = CProps(), int error = -1);

// For destructors, which must not throw: reports the error to the log and standard error.
// `className` names the class whose clean-up failed ("zilui::CTaskBarIcon").
void onExceptionInDestructorIgnored(const std::exception& e, const String& className) noexcept;

} // namespace zil
