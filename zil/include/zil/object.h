// SPDX-License-Identifier: MIT
#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <mutex>
#include <utility>

namespace zil {

// A counted object. Interfaces derive virtually from IBase so that one count serves an
// object seen through several of them.
class IBase {
public:
    virtual void addRef() const = 0;
    virtual void release() const = 0;

protected:
    virtual ~IBase() = default;
};

// Intrusive, thread-safe reference count. A new object starts at 0: the first P<T> that
// takes it holds the first reference. Copies start at 0 too; the count belongs to an
// object, not to its value.
class CBase : public virtual IBase {
public:
    CBase() = default;
    CBase(const CBase&) : IBase() {}
    CBase& operator=(const CBase&) { return *this; }

    void addRef() const override { m_refCount.fetch_add(1, std::memory_order_relaxed); }
    void release() const override
    {
        if (m_refCount.fetch_sub(1, std::memory_order_acq_rel) == 1)
            const_cast<CBase*>(this)->deleteThis();
    }
    long getRefCount() const { return m_refCount.load(std::memory_order_relaxed); }

protected:
    ~CBase() override = default;
    // Called once, when the last reference goes; objects that are not created with `new`
    // or that must be freed elsewhere override it.
    virtual void deleteThis() { delete this; }

private:
    mutable std::atomic<long> m_refCount{0};
};

// Counted reference to an IBase object. Taking a raw pointer adds a reference.
template <class T>
class P {
public:
    P() noexcept = default;
    P(std::nullptr_t) noexcept {}
    P(T* object) noexcept : m_ptr(object)
    {
        if (m_ptr)
            m_ptr->addRef();
    }
    P(const P& other) noexcept : P(other.m_ptr) {}
    P(P&& other) noexcept : m_ptr(std::exchange(other.m_ptr, nullptr)) {}
    template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
    P(const P<U>& other) noexcept : P(other.get())
    {
    }
    template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
    P(P<U>&& other) noexcept : m_ptr(other.detach())
    {
    }
    ~P()
    {
        if (m_ptr)
            m_ptr->release();
    }

    P& operator=(const P& other) noexcept
    {
        P(other).swap(*this);
        return *this;
    }
    P& operator=(P&& other) noexcept
    {
        P(std::move(other)).swap(*this);
        return *this;
    }
    P& operator=(T* object) noexcept
    {
        P(object).swap(*this);
        return *this;
    }
    P& operator=(std::nullptr_t) noexcept
    {
        reset();
        return *this;
    }

    void reset() noexcept { P().swap(*this); }
    void swap(P& other) noexcept { std::swap(m_ptr, other.m_ptr); }
    // Gives up the reference without releasing it; the caller now owns one count.
    T* detach() noexcept { return std::exchange(m_ptr, nullptr); }

    T* get() const noexcept { return m_ptr; }
    T* operator->() const noexcept { return m_ptr; }
    T& operator*() const noexcept { return *m_ptr; }
    explicit operator bool() const noexcept { return m_ptr != nullptr; }
    bool isNull() const noexcept { return m_ptr == nullptr; }

    template <class U>
    P<U> dynamicCast() const
    {
        return P<U>(dynamic_cast<U*>(m_ptr));
    }

private:
    T* m_ptr = nullptr;
};

template <class T, class U>
bool operator==(const P<T>& a, const P<U>& b) noexcept
{
    return a.get() == b.get();
}
template <class T, class U>
bool operator!=(const P<T>& a, const P<U>& b) noexcept
{
    return a.get() != b.get();
}
template <class T>
bool operator==(const P<T>& a, std::nullptr_t) noexcept
{
    return !a;
}
template <class T>
bool operator!=(const P<T>& a, std::nullptr_t) noexcept
{
    return static_cast<bool>(a);
}
template <class T, class U>
bool operator<(const P<T>& a, const P<U>& b) noexcept
{
    return std::less<const void*>()(a.get(), b.get());
}

// One process-wide object, created on first use. Creation is serialised, so two threads that
// race for the first use get the same object. The object lives until dispose() or until the
// slot itself is destroyed at process end.
template <class T>
class CSafeGlobalSlot {
public:
    using CreateFunc = std::function<P<T>()>;

    CSafeGlobalSlot() = default;
    CSafeGlobalSlot(const CSafeGlobalSlot&) = delete;
    CSafeGlobalSlot& operator=(const CSafeGlobalSlot&) = delete;

    // The reference stays valid until dispose(); callers that keep the object past that copy it.
    const P<T>& use(const CreateFunc& create = [] { return P<T>(new T()); })
    {
        std::lock_guard<std::recursive_mutex> lock(m_mutex);
        if (!m_object)
            m_object = create();
        return m_object;
    }
    // The object if it exists, without creating it.
    P<T> peek() const
    {
        std::lock_guard<std::recursive_mutex> lock(m_mutex);
        return m_object;
    }
    void dispose()
    {
        P<T> old;
        {
            std::lock_guard<std::recursive_mutex> lock(m_mutex);
            old.swap(m_object);
        }
        // released outside the lock: the object's destructor may use other slots
    }

private:
    mutable std::recursive_mutex m_mutex;
    P<T> m_object;
};

} // namespace zil
