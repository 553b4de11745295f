// kr::TBaseRef and kr::TRef: the COM-style reference-counted interface root.
#pragma once

#include "Core/KrExport.h"

#include <atomic>
#include <boost/uuid/uuid.hpp>
#include <cstdint>

namespace kr {

/// Result code of QueryInterface.
using TKrHResult = std::int32_t;
constexpr TKrHResult KR_S_OK = 0;
constexpr TKrHResult KR_E_NOINTERFACE = static_cast<TKrHResult>(0x80004002u);
constexpr TKrHResult KR_E_POINTER = static_cast<TKrHResult>(0x80004003u);

/// Identifier of TBaseRef: {4e5fd55c-f997-634d-f887-733fb2215174}.
extern KRSTD_API const boost::uuids::uuid IID_BaseRef;

/// Reference counting plus interface lookup by a 16-byte identifier.
class KRSTD_API TBaseRef {
public:
    virtual ~TBaseRef();
    virtual std::uint32_t AddRef() = 0;
    virtual std::uint32_t Release() = 0;
    virtual TKrHResult QueryInterface(const boost::uuids::uuid& iid, void** out) = 0;
};

/// The standard implementation: an atomic count; the last Release deletes the object, which
/// therefore must have been made with new. A copy starts with its own count of 0.
class KRSTD_API TRef : public TBaseRef {
public:
    TRef() noexcept = default;
    TRef(const TRef&) noexcept {}
    TRef& operator=(const TRef&) noexcept { return *this; }

    /// Returns the count after the increment.
    std::uint32_t AddRef() override;
    /// Returns the count before the decrement; the last release deletes the object.
    std::uint32_t Release() override;
    /// Answers IID_BaseRef only: stores this object and adds a count. Null `out` gives
    /// KR_E_POINTER, any other identifier KR_E_NOINTERFACE with `out` untouched.
    TKrHResult QueryInterface(const boost::uuids::uuid& iid, void** out) override;

    std::int32_t RefCount() const noexcept { return m_count.load(); }

private:
    std::atomic<std::int32_t> m_count{0};
};

} // namespace kr
