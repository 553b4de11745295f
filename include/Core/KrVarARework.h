// var_a_shared_rework: the var_a interface built on std::shared_ptr, and conversions to the legacy form.
#pragma once

#include "Core/KrVarA.h"

#include <memory>

template <class P> class var_a_shared_rework;

/// Same calling interface as var_a_legacy<T*>, with a standard control block instead of the
/// intrusive record. A non-owning reference is a shared_ptr aliasing an empty control block.
template <class T> class var_a_shared_rework<T*> {
public:
    using element_type = T;

    var_a_shared_rework() noexcept = default;
    var_a_shared_rework(std::nullptr_t) noexcept {}
    explicit var_a_shared_rework(std::shared_ptr<T> p) noexcept : m_p(std::move(p)) {}
    template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
    var_a_shared_rework(const var_a_shared_rework<U*>& o) noexcept : m_p(o.m_p) {}
    template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
    var_a_shared_rework(var_a_shared_rework<U*>&& o) noexcept : m_p(std::move(o.m_p)) {}

    template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
    var_a_shared_rework& operator=(const var_a_shared_rework<U*>& o) noexcept {
        m_p = o.m_p;
        return *this;
    }
    template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
    var_a_shared_rework& operator=(var_a_shared_rework<U*>&& o) noexcept {
        m_p = std::move(o.m_p);
        return *this;
    }
    var_a_shared_rework& operator=(std::nullptr_t) noexcept {
        m_p.reset();
        return *this;
    }

    void reset() noexcept { m_p.reset(); }
    void swap(var_a_shared_rework& o) noexcept { m_p.swap(o.m_p); }

    T* get() const noexcept { return m_p.get(); }
    T* operator->() const noexcept { return m_p.get(); }
    std::add_lvalue_reference_t<T> operator*() const noexcept { return *m_p; }
    template <class I> decltype(auto) operator[](I i) const noexcept { return m_p.get()[i]; }
    explicit operator bool() const noexcept { return m_p != nullptr; }

    /// Owners of the control block; 0 for an empty or non-owning pointer.
    std::int64_t use_count() const noexcept { return m_p.use_count(); }
    const std::shared_ptr<T>& shared() const noexcept { return m_p; }

private:
    template <class> friend class var_a_shared_rework;

    std::shared_ptr<T> m_p;
};

template <class T, class U>
bool operator==(const var_a_shared_rework<T*>& a, const var_a_shared_rework<U*>& b) noexcept {
    return a.get() == b.get();
}
template <class T, class U>
bool operator!=(const var_a_shared_rework<T*>& a, const var_a_shared_rework<U*>& b) noexcept {
    return a.get() != b.get();
}
template <class T> bool operator==(const var_a_shared_rework<T*>& a, std::nullptr_t) noexcept {
    return !a;
}
template <class T> bool operator!=(const var_a_shared_rework<T*>& a, std::nullptr_t) noexcept {
    return static_cast<bool>(a);
}

/// Allocates the object and a standard control block separately, as shared_ptr(new T) does.
template <class T, class... A> var_a_shared_rework<T*> new_a_rework(A&&... args) {
    if constexpr (std::is_constructible_v<T, A&&...>)
        return var_a_shared_rework<T*>(std::shared_ptr<T>(new T(std::forward<A>(args)...)));
    else
        return var_a_shared_rework<T*>(std::shared_ptr<T>(new T{std::forward<A>(args)...}));
}
template <class T> var_a_shared_rework<T*> to_rework_var_a(const var_a_legacy<T*>& v);

/// The array lives in a legacy array record that the standard control block keeps alive.
template <class T> var_a_shared_rework<T*> newarray_a_rework(T* array) {
    return to_rework_var_a(newarray_a_legacy(array));
}
template <class T> var_a_shared_rework<T*> static_a_rework(T* object) noexcept {
    return var_a_shared_rework<T*>(std::shared_ptr<T>(std::shared_ptr<T>(), object));
}
template <class U, class T>
var_a_shared_rework<U> static_var_a_cast_rework(const var_a_shared_rework<T*>& v) noexcept {
    using E = std::remove_pointer_t<U>;
    return var_a_shared_rework<U>(std::static_pointer_cast<E>(v.shared()));
}
template <class U, class T>
var_a_shared_rework<U> dynamic_var_a_cast_rework(const var_a_shared_rework<T*>& v) noexcept {
    using E = std::remove_pointer_t<U>;
    U p = dynamic_cast<U>(v.get());
    return p ? var_a_shared_rework<U>(std::shared_ptr<E>(v.shared(), p)) : var_a_shared_rework<U>();
}

/// Record that keeps a shared_ptr alive on behalf of legacy holders.
struct TShared_var_a_item : var_a_item {
    std::shared_ptr<const void> m_hold;
    static void Destroy(var_a_item* item) noexcept { delete static_cast<TShared_var_a_item*>(item); }
};

/// Legacy view of a rework pointer: both forms then share ownership of the object.
/// Non-owning references stay non-owning.
template <class T> var_a_legacy<T*> to_legacy_var_a(const var_a_shared_rework<T*>& v) {
    if (!v) return {};
    if (v.use_count() == 0) return static_a_legacy(v.get());
    auto* item = new TShared_var_a_item;
    item->m_hold = v.shared();
    item->m_destroy = &TShared_var_a_item::Destroy;
    return var_a_legacy<T*>(item, v.get());
}

/// Rework view of a legacy pointer: the control block holds one legacy count.
template <class T> var_a_shared_rework<T*> to_rework_var_a(const var_a_legacy<T*>& v) {
    if (!v) return {};
    if (!v.item()) return static_a_rework(v.get());
    return var_a_shared_rework<T*>(std::shared_ptr<T>(v.get(), [keep = v](T*) mutable { keep.reset(); }));
}
