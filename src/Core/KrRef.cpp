// kr::TRef: atomic reference counting and the IID_BaseRef answer of QueryInterface.
#include "Core/KrRef.h"

namespace kr {

const boost::uuids::uuid IID_BaseRef = {
    {0x4e, 0x5f, 0xd5, 0x5c, 0xf9, 0x97, 0x63, 0x4d, 0xf8, 0x87, 0x73, 0x3f, 0xb2, 0x21, 0x51, 0x74}};

TBaseRef::~TBaseRef() = default;

std::uint32_t TRef::AddRef() {
    return static_cast<std::uint32_t>(m_count.fetch_add(1) + 1);
}

std::uint32_t TRef::Release() {
    std::int32_t before = m_count.fetch_sub(1);
    if (before == 1) delete this;
    return static_cast<std::uint32_t>(before);
}

TKrHResult TRef::QueryInterface(const boost::uuids::uuid& iid, void** out) {
    if (!out) return KR_E_POINTER;
    if (iid != IID_BaseRef) return KR_E_NOINTERFACE;
    *out = static_cast<TBaseRef*>(this);
    AddRef();
    return KR_S_OK;
}

} // namespace kr
