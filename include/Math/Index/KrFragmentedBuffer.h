// TKrFragmentedBuffer: a growable array addressed by number whose elements never move.
#pragma once

#include <cstddef>
#include <memory>
#include <stdexcept>
#include <vector>

/// Elements addressed by number, stored in fragments of a fixed power-of-two size; growing adds
/// one fragment, so an element never moves and references to it stay valid until clear()/Release().
/// Addressing is a shift and a mask. Elements of a new fragment are default-initialised (left
/// uninitialised for trivial types, so reserved memory is not touched before use).
///
/// Costs: operator[] O(1) (two loads); push_back amortised O(1), one allocation per fragment.
/// Not synchronised: concurrent reads are safe while nobody writes.
template <class T> class TKrFragmentedBuffer {
public:
    /// The fragment size used when none is given.
    static constexpr std::size_t kDefaultGrowBlock = 16384;
    /// Fragment sizes are capped here (2^24 elements).
    static constexpr std::size_t kMaxGrowBlock = std::size_t(1) << 24;

    /// `growBlock` elements per fragment, rounded up to a power of two; 0 means the default.
    explicit TKrFragmentedBuffer(std::size_t growBlock = kDefaultGrowBlock) { SetGrowBlock(growBlock); }
    TKrFragmentedBuffer(const TKrFragmentedBuffer&) = delete;
    TKrFragmentedBuffer& operator=(const TKrFragmentedBuffer&) = delete;
    TKrFragmentedBuffer(TKrFragmentedBuffer&&) noexcept = default;
    TKrFragmentedBuffer& operator=(TKrFragmentedBuffer&&) noexcept = default;

    /// Drops every element and fragment and sets the fragment size (see the constructor).
    void SetGrowBlock(std::size_t growBlock) {
        Release();
        if (growBlock == 0) growBlock = kDefaultGrowBlock;
        if (growBlock > kMaxGrowBlock) growBlock = kMaxGrowBlock;
        m_shift = 0;
        while ((std::size_t(1) << m_shift) < growBlock)
            ++m_shift;
        m_mask = (std::size_t(1) << m_shift) - 1;
    }
    /// Elements per fragment.
    std::size_t GrowBlock() const noexcept { return m_mask + 1; }

    std::size_t size() const noexcept { return m_size; }
    bool empty() const noexcept { return m_size == 0; }
    /// Elements that fit in the fragments allocated so far.
    std::size_t capacity() const noexcept { return m_fragments.size() << m_shift; }

    /// Allocates fragments until `n` elements fit. Throws std::bad_alloc.
    void reserve(std::size_t n) {
        while (capacity() < n)
            AddFragment();
    }
    /// Appends `value` and returns its number.
    std::size_t push_back(const T& value) {
        if (m_size == capacity()) AddFragment();
        (*this)[m_size] = value;
        return m_size++;
    }
    /// Appends a default-initialised element and returns its number.
    std::size_t Add() {
        if (m_size == capacity()) AddFragment();
        return m_size++;
    }

    /// Unchecked access; `i` must be below size().
    T& operator[](std::size_t i) noexcept { return m_fragments[i >> m_shift][i & m_mask]; }
    const T& operator[](std::size_t i) const noexcept { return m_fragments[i >> m_shift][i & m_mask]; }
    /// Checked access: throws std::out_of_range for `i` at or above size().
    T& at(std::size_t i) {
        if (i >= m_size) throw std::out_of_range("TKrFragmentedBuffer::at(): index out of range");
        return (*this)[i];
    }
    const T& at(std::size_t i) const {
        if (i >= m_size) throw std::out_of_range("TKrFragmentedBuffer::at(): index out of range");
        return (*this)[i];
    }

    /// Size 0; the fragments stay for reuse.
    void clear() noexcept { m_size = 0; }
    /// Size 0 and every fragment freed.
    void Release() noexcept {
        m_fragments.clear();
        m_fragments.shrink_to_fit();
        m_size = 0;
    }

private:
    void AddFragment() {
        // Plain new[]: trivial elements stay untouched until written.
        m_fragments.emplace_back(new T[m_mask + 1]);
    }

    std::vector<std::unique_ptr<T[]>> m_fragments;
    std::size_t m_size = 0;
    unsigned m_shift = 0;
    std::size_t m_mask = 0;
};
