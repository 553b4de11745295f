// var_a: the intrusive shared pointer in which the library passes and owns shared objects.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <new>
#include <type_traits>
#include <utility>

// glibc 2.32 and later keep a flag that stays true until the process starts its second thread.
#if defined(__has_include)
#if __has_include(<sys/single_threaded.h>)
#include <sys/single_threaded.h>
#define KRSTD_VAR_A_SINGLE_THREAD_HINT 1
#endif
#endif
#ifndef KRSTD_VAR_A_SINGLE_THREAD_HINT
#define KRSTD_VAR_A_SINGLE_THREAD_HINT 0
#endif

/// Control record of a var_a: the number of owners and the function that frees the record
/// together with what it holds. A new record starts at count 0; every owning var_a adds one.
struct var_a_item {
    std::atomic<std::int64_t> m_count{0};
    void (*m_destroy)(var_a_item*) = nullptr;

    /// While the process has a single thread nobody else can observe the count, so it is
    /// changed with a plain load and store (no locked instruction); once a second thread has
    /// been started every change is a fully ordered atomic read-modify-write. Starting a thread
    /// orders everything before it, so the two kinds never overlap on one count.
    void AddRef() noexcept {
        if (SingleThreaded())
            m_count.store(m_count.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
        else
            m_count.fetch_add(1);
    }
    /// Drops one count; the holder that takes it from 1 to 0 runs the destroy function.
    /// noexcept: a destroy function that throws terminates the process.
    void Release() noexcept {
        std::int64_t before;
        if (SingleThreaded()) {
            before = m_count.load(std::memory_order_relaxed);
            m_count.store(before - 1, std::memory_order_relaxed);
        } else {
            before = m_count.fetch_sub(1);
        }
        if (before == 1) m_destroy(this);
    }

private:
    static bool SingleThreaded() noexcept {
#if KRSTD_VAR_A_SINGLE_THREAD_HINT
        return __libc_single_threaded;
#else
        return false;
#endif
    }
};

/// A var_a_item immediately followed by the object it owns, made in one allocation by new_a.
template <class T> struct TEmbedded_var_a_item : var_a_item {
    alignas(T) unsigned char m_storage[sizeof(T)];

    T* Object() noexcept { return std::launder(reinterpret_cast<T*>(m_storage)); }
    static void Destroy(var_a_item* item) noexcept {
        auto* self = static_cast<TEmbedded_var_a_item*>(item);
        self->Object()->~T();
        delete self;
    }
};

/// A var_a_item that owns an array made with new[]; made by newarray_a.
template <class T> struct TArray_var_a_item : var_a_item {
    T* m_array = nullptr;

    static void NewArrayItemDestroyFunction(var_a_item* item) noexcept {
        auto* self = static_cast<TArray_var_a_item*>(item);
        delete[] self->m_array;
        delete self;
    }
};

template <class P> class var_a_legacy;

/// The intrusive shared pointer, written var_a_legacy<T*>: two words, the control record and the
/// object pointer. The object pointer may address a base sub-object of what the record owns.
/// A null record with a non-null pointer is a non-owning reference to an object that outlives
/// every holder (a static object); copying and dropping it never touches the object.
/// Counts are atomic, so holders may be copied and dropped on any thread; the object itself
/// gets no protection from the pointer.
template <class T> class var_a_legacy<T*> {
public:
    using element_type = T;

    constexpr var_a_legacy() noexcept = default;
    constexpr var_a_legacy(std::nullptr_t) noexcept {}
    /// Takes one count on `item` when it is non-null.
    var_a_legacy(var_a_item* item, T* ptr) noexcept : m_item(item), m_ptr(ptr) {
        if (m_item) m_item->AddRef();
    }
    var_a_legacy(const var_a_legacy& o) noexcept : var_a_legacy(o.m_item, o.m_ptr) {}
    var_a_legacy(var_a_legacy&& o) noexcept : m_item(o.m_item), m_ptr(o.m_ptr) {
        o.m_item = nullptr;
        o.m_ptr = nullptr;
    }
    /// Derived-to-base conversion: same record, pointer adjusted (also through virtual bases).
    template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
    var_a_legacy(const var_a_legacy<U*>& o) noexcept : var_a_legacy(o.m_item, o.m_ptr) {}
    template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
    var_a_legacy(var_a_legacy<U*>&& o) noexcept : m_item(o.m_item), m_ptr(o.m_ptr) {
        o.m_item = nullptr;
        o.m_ptr = nullptr;
    }
    ~var_a_legacy() {
        if (m_item) m_item->Release();
    }

    /// Assignments take the new count before the old one is released, so self-assignment and
    /// assignment from an object reachable only through *this are safe.
    var_a_legacy& operator=(const var_a_legacy& o) noexcept {
        var_a_legacy(o).swap(*this);
        return *this;
    }
    var_a_legacy& operator=(var_a_legacy&& o) noexcept {
        var_a_legacy(std::move(o)).swap(*this);
        return *this;
    }
    template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
    var_a_legacy& operator=(const var_a_legacy<U*>& o) noexcept {
        var_a_legacy(o).swap(*this);
        return *this;
    }
    template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
    var_a_legacy& operator=(var_a_legacy<U*>&& o) noexcept {
        var_a_legacy(std::move(o)).swap(*this);
        return *this;
    }
    var_a_legacy& operator=(std::nullptr_t) noexcept {
        reset();
        return *this;
    }

    void reset() noexcept { var_a_legacy().swap(*this); }
    void swap(var_a_legacy& o) noexcept {
        std::swap(m_item, o.m_item);
        std::swap(m_ptr, o.m_ptr);
    }

    T* get() const noexcept { return m_ptr; }
    T* operator->() const noexcept { return m_ptr; }
    std::add_lvalue_reference_t<T> operator*() const noexcept { return *m_ptr; }
    template <class I> decltype(auto) operator[](I i) const noexcept { return m_ptr[i]; }
    explicit operator bool() const noexcept { return m_ptr != nullptr; }

    /// The control record; null for an empty or non-owning pointer.
    var_a_item* item() const noexcept { return m_item; }
    /// Owners of the record; 0 for an empty or non-owning pointer.
    std::int64_t use_count() const noexcept { return m_item ? m_item->m_count.load() : 0; }

private:
    template <class> friend class var_a_legacy;

    var_a_item* m_item = nullptr;
    T* m_ptr = nullptr;
};

template <class T, class U> bool operator==(const var_a_legacy<T*>& a, const var_a_legacy<U*>& b) noexcept {
    return a.get() == b.get();
}
template <class T, class U> bool operator!=(const var_a_legacy<T*>& a, const var_a_legacy<U*>& b) noexcept {
    return a.get() != b.get();
}
template <class T, class U> bool operator<(const var_a_legacy<T*>& a, const var_a_legacy<U*>& b) noexcept {
    return std::less<const void*>()(a.get(), b.get());
}
template <class T> bool operator==(const var_a_legacy<T*>& a, std::nullptr_t) noexcept {
    return !a;
}
template <class T> bool operator!=(const var_a_legacy<T*>& a, std::nullptr_t) noexcept {
    return static_cast<bool>(a);
}

/// Makes an object of type T inside its control record (one allocation); the result holds count 1.
template <class T, class... A> var_a_legacy<T*> new_a_legacy(A&&... args) {
    auto* item = new TEmbedded_var_a_item<T>;
    try {
        if constexpr (std::is_constructible_v<T, A&&...>)
            ::new (static_cast<void*>(item->m_storage)) T(std::forward<A>(args)...);
        else
            ::new (static_cast<void*>(item->m_storage)) T{std::forward<A>(args)...};
    } catch (...) {
        delete item;
        throw;
    }
    item->m_destroy = &TEmbedded_var_a_item<T>::Destroy;
    return var_a_legacy<T*>(item, item->Object());
}

/// Takes ownership of an array made with new[]; the last owner runs delete[]. If the record cannot
/// be allocated the array is deleted before the failure propagates.
template <class T> var_a_legacy<T*> newarray_a_legacy(T* array) {
    auto* item = new (std::nothrow) TArray_var_a_item<T>;
    if (!item) {
        delete[] array;
        throw std::bad_alloc();
    }
    item->m_array = array;
    item->m_destroy = &TArray_var_a_item<T>::NewArrayItemDestroyFunction;
    return var_a_legacy<T*>(item, array);
}

/// A non-owning var_a to an object that outlives all its holders (null control record).
template <class T> var_a_legacy<T*> static_a_legacy(T* object) noexcept {
    return var_a_legacy<T*>(nullptr, object);
}

template <class U, class T> var_a_legacy<U> static_var_a_cast_legacy(const var_a_legacy<T*>& v) noexcept {
    return var_a_legacy<U>(v.item(), static_cast<U>(v.get()));
}
/// Empty when the object is not a U.
template <class U, class T> var_a_legacy<U> dynamic_var_a_cast_legacy(const var_a_legacy<T*>& v) noexcept {
    U p = dynamic_cast<U>(v.get());
    return p ? var_a_legacy<U>(v.item(), p) : var_a_legacy<U>();
}

// The form used by every exported signature of the library.
template <class P> using var_a = var_a_legacy<P>;

template <class T, class... A> var_a<T*> new_a(A&&... args) {
    return new_a_legacy<T>(std::forward<A>(args)...);
}
template <class T> var_a<T*> newarray_a(T* array) {
    return newarray_a_legacy(array);
}
template <class T> var_a<T*> static_a(T* object) noexcept {
    return static_a_legacy(object);
}
template <class U, class T> var_a<U> static_var_a_cast(const var_a<T*>& v) noexcept {
    return static_var_a_cast_legacy<U>(v);
}
template <class U, class T> var_a<U> dynamic_var_a_cast(const var_a<T*>& v) noexcept {
    return dynamic_var_a_cast_legacy<U>(v);
}

namespace std {
template <class T> struct hash<var_a_legacy<T*>> {
    size_t operator()(const var_a_legacy<T*>& v) const noexcept { return hash<const void*>()(v.get()); }
};
} // namespace std
