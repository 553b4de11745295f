// Ownership rules of var_a, checked on both forms through the same calling code.
#include "Core/KrVarA.h"
#include "Core/KrVarARework.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

namespace {

std::atomic<int> g_alive{0};
std::atomic<int> g_destroyed{0};

struct TBase {
    TBase() { ++g_alive; }
    TBase(const TBase&) = delete;
    virtual ~TBase() {
        --g_alive;
        ++g_destroyed;
    }
    int base_value = 7;
};
struct TOther {
    virtual ~TOther() = default;
    int other_value = 11;
};
// Multiple and virtual inheritance: the base pointers differ from the object's address.
struct TDerived : TOther, virtual TBase {
    explicit TDerived(int v) : value(v) {}
    int value;
};
struct TThrowing {
    TThrowing() { throw std::runtime_error("no"); }
};
struct TCounted {
    TCounted() { ++g_alive; }
    ~TCounted() { --g_alive; }
};

struct LegacyForm {
    template <class P> using ptr = var_a_legacy<P>;
    template <class T, class... A> static ptr<T*> make(A&&... a) {
        return new_a_legacy<T>(std::forward<A>(a)...);
    }
    template <class T> static ptr<T*> array(T* a) { return newarray_a_legacy(a); }
    template <class T> static ptr<T*> stat(T* a) { return static_a_legacy(a); }
    template <class U, class T> static ptr<U> dyn(const ptr<T*>& v) {
        return dynamic_var_a_cast_legacy<U>(v);
    }
};
struct ReworkForm {
    template <class P> using ptr = var_a_shared_rework<P>;
    template <class T, class... A> static ptr<T*> make(A&&... a) {
        return new_a_rework<T>(std::forward<A>(a)...);
    }
    template <class T> static ptr<T*> array(T* a) { return newarray_a_rework(a); }
    template <class T> static ptr<T*> stat(T* a) { return static_a_rework(a); }
    template <class U, class T> static ptr<U> dyn(const ptr<T*>& v) {
        return dynamic_var_a_cast_rework<U>(v);
    }
};

template <class Form> class VarA : public ::testing::Test {
protected:
    void SetUp() override {
        g_alive = 0;
        g_destroyed = 0;
    }
};
using Forms = ::testing::Types<LegacyForm, ReworkForm>;
TYPED_TEST_SUITE(VarA, Forms);

TYPED_TEST(VarA, CopiesShareOneObjectDestroyedOnceByTheLastHolder) {
    using F = TypeParam;
    {
        auto a = F::template make<TDerived>(5);
        EXPECT_EQ(a.use_count(), 1);
        auto b = a;
        typename F::template ptr<TDerived*> c;
        c = b;
        auto& alias = c;
        c = alias; // self-assignment keeps the count
        EXPECT_EQ(a.use_count(), 3);
        EXPECT_EQ(c->value, 5);
        auto moved = std::move(b);
        EXPECT_FALSE(b);
        EXPECT_EQ(a.use_count(), 3);
        a.reset();
        c = nullptr;
        EXPECT_EQ(g_alive, 1);
        EXPECT_EQ(moved.use_count(), 1);
    }
    EXPECT_EQ(g_alive, 0);
    EXPECT_EQ(g_destroyed, 1);
}

TYPED_TEST(VarA, DerivedToBaseAdjustsThePointerAndKeepsTheObjectAlive) {
    using F = TypeParam;
    typename F::template ptr<TBase*> base;
    typename F::template ptr<TOther*> other;
    {
        auto derived = F::template make<TDerived>(3);
        base = derived; // through the virtual base
        other = derived;
        EXPECT_EQ(base.get(), static_cast<TBase*>(derived.get()));
        EXPECT_NE(static_cast<void*>(base.get()), static_cast<void*>(other.get()));
    }
    EXPECT_EQ(base->base_value, 7);
    EXPECT_EQ(other->other_value, 11);
    base.reset();
    EXPECT_EQ(g_destroyed, 0);
    other.reset();
    EXPECT_EQ(g_destroyed, 1);

    auto d = F::template make<TDerived>(9);
    typename F::template ptr<TBase*> asBase = d;
    auto back = F::template dyn<TDerived*>(asBase);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->value, 9);
    EXPECT_EQ(back.use_count(), 3);
    EXPECT_FALSE((F::template dyn<TDerived*>(F::template make<TBase>())));
}

TYPED_TEST(VarA, StaticObjectIsNeverOwned) {
    using F = TypeParam;
    static TCounted staticObject;
    int before = g_alive;
    {
        auto s = F::stat(&staticObject);
        EXPECT_TRUE(s);
        EXPECT_EQ(s.use_count(), 0);
        for (int i = 0; i < 100; ++i) {
            auto copy = s;
            typename F::template ptr<TCounted*> assigned;
            assigned = copy;
        }
    }
    EXPECT_EQ(g_alive, before);
}

TYPED_TEST(VarA, ArraysAreDeletedWithDeleteArray) {
    using F = TypeParam;
    {
        auto arr = F::array(new TCounted[4]);
        EXPECT_EQ(g_alive, 4);
        auto copy = arr;
        arr.reset();
        EXPECT_EQ(g_alive, 4);
    }
    EXPECT_EQ(g_alive, 0);
    auto ints = F::array(new int[3]{1, 2, 3});
    EXPECT_EQ(ints[2], 3);
}

TYPED_TEST(VarA, ThrowingConstructorLeaksNothing) {
    using F = TypeParam;
    EXPECT_THROW(F::template make<TThrowing>(), std::runtime_error);
}

TYPED_TEST(VarA, ConcurrentCopiesFromSeveralThreadsCountExactly) {
    using F = TypeParam;
    auto shared = F::template make<TDerived>(1);
    {
        std::vector<std::thread> threads;
        for (int t = 0; t < 4; ++t)
            threads.emplace_back([shared] {
                std::vector<typename F::template ptr<TBase*>> held;
                for (int i = 0; i < 20000; ++i) {
                    held.push_back(shared);
                    if (held.size() > 16) held.clear();
                }
            });
        for (auto& th : threads)
            th.join();
    }
    EXPECT_EQ(shared.use_count(), 1);
    shared.reset();
    EXPECT_EQ(g_destroyed, 1);
}

TEST(VarALegacy, IsTwoWordsWithTheRecordFirst) {
    static_assert(sizeof(var_a<int*>) == 2 * sizeof(void*), "control record and object pointer");
    auto p = new_a<int>(42);
    auto* item = p.item();
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(*reinterpret_cast<var_a_item**>(&p), item);
    // The object lives right behind the record in the same block.
    EXPECT_EQ(static_cast<void*>(p.get()),
              static_cast<void*>(static_cast<TEmbedded_var_a_item<int>*>(item)->m_storage));
    // A record made by hand: construction from record and pointer takes one count.
    var_a<int*> again(item, p.get());
    EXPECT_EQ(item->m_count.load(), 2);
}

TEST(VarAConversion, LegacyAndReworkShareOwnership) {
    g_alive = 0;
    {
        var_a_shared_rework<TBase*> rework;
        {
            auto legacy = new_a<TBase>();
            rework = to_rework_var_a(legacy);
            EXPECT_EQ(legacy.use_count(), 2);
        }
        EXPECT_EQ(g_alive, 1);
        var_a<TBase*> back = to_legacy_var_a(rework);
        rework.reset();
        EXPECT_EQ(g_alive, 1);
        EXPECT_EQ(back->base_value, 7);
    }
    EXPECT_EQ(g_alive, 0);

    static TCounted object;
    auto s = to_legacy_var_a(static_a_rework(&object));
    EXPECT_EQ(s.item(), nullptr);
    EXPECT_EQ(s.get(), &object);
    EXPECT_EQ(to_rework_var_a(s).use_count(), 0);
}

} // namespace
