// SPDX-License-Identifier: MIT
#include "zil/error.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace zil {

void CProps::set(const String& key, const String& value)
{
    for (auto& entry : m_entries) {
        if (entry.first == key) {
            entry.second = value;
            return;
        }
    }
    m_entries.emplace_back(key, value);
}

bool CProps::has(const String& key) const
{
    for (const auto& entry : m_entries)
        if (entry.first == key)
            return true;
    return false;
}

String CProps::get(const String& key, const String& defaultValue) const
{
    for (const auto& entry : m_entries)
        if (entry.first == key)
            return entry.second;
    return defaultValue;
}

bool CProps::remove(const String& key)
{
    for (auto it = m_entries.begin(); it != m_entries.end(); ++it) {
        if (it->first == key) {
            m_entries.erase(it);
            return true;
        }
    }
    return false;
}

CError::CError(const String& message, const String& source, int code)
    : m_message(message), m_source(source), m_code(code)
{
}

CError::CError(const CError& other)
    : std::exception(other),
      CBase(other),
      m_message(other.m_message),
      m_source(other.m_source),
      m_code(other.m_code),
      m_props(other.m_props),
      m_cause(other.m_cause ? other.m_cause->clone() : nullptr)
{
}

CError& CError::operator=(const CError& other)
{
    if (this != &other) {
        m_message = other.m_message;
        m_source = other.m_source;
        m_code = other.m_code;
        m_props = other.m_props;
        m_cause.reset(other.m_cause ? other.m_cause->clone() : nullptr);
        m_what.clear();
    }
    return *this;
}

CError::~CError() = default;

CError& CError::setProp(const String& key, const String& value)
{
    m_props.set(key, value);
    return *this;
}

CError& CError::setCause(const CError& cause)
{
    m_cause.reset(cause.clone());
    return *this;
}

String CError::getFullText() const
{
    String text = m_message;
    if (!m_source.isEmpty() || m_code != 0) {
        text += L" [";
        text += getTypeName();
        if (!m_source.isEmpty())
            text += L" in " + m_source;
        if (m_code != 0)
            text += L", code " + toString(static_cast<int64_t>(m_code));
        text += L"]";
    }
    for (const auto& [key, value] : m_props)
        text += L"\n  " + key + L": " + value;
    if (m_cause)
        text += L"\nCaused by: " + m_cause->getFullText();
    return text;
}

const char* CError::what() const noexcept
{
    try {
        if (m_what.empty())
            m_what = m_message.toUTF8();
        return m_what.c_str();
    } catch (...) {
        return "zil::CError";
    }
}

const String& CIOError::paramURI()
{
    static const String name(L"uri");
    return name;
}

int getLastSysError()
{
    return errno;
}

void setLastSysError(int error)
{
    errno = error;
}

String getSysErrorText(int error)
{
    char buffer[256];
    // GNU strerror_r may return a static string instead of filling the buffer.
    const char* text = strerror_r(error, buffer, sizeof buffer);
    return String(text ? text : "unknown error");
}

void throwSysError(const String& func, const String& action, const CProps& props, int error)
{
    if (error == -1)
        error = getLastSysError();
    const String sysText = getSysErrorText(error);
    CError e(action.isEmpty() ? sysText : action + L": " + sysText, func, error);
    for (const auto& [key, value] : props)
        e.setProp(key, value);
    e.setProp(L"func", func);
    e.setProp(L"lastSysError", toString(static_cast<int64_t>(error)));
    throw e;
}

} // namespace zil

