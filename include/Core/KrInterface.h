// IKrInterface: optional extension interfaces found through static identity records.
#pragma once

#include "Core/KrExport.h"

#include <typeinfo>

/// The identity record of one interface. Identity is the record's address, never the name.
struct TKrUIDObject {
    const char* m_name;
};

class IKrInterface;

/// Virtual base of every interface in this scheme.
class KRSTD_API TKrInterfaceBase {
public:
    /// The requested interface inside this object, or null when the object does not answer `id`.
    virtual IKrInterface* GetInterface_Int(TKrUIDObject* id) = 0;

    /// The interface T of this object, or null. Throws std::runtime_error
    /// ("@Invalid casting in ...") when the object answers T's record with something that is not a T.
    template <class T> T* GetInterface();

protected:
    ~TKrInterfaceBase() = default;
};

/// Declares the identity record of an interface (inside its class body): `Name##UIDObj` and the
/// `TUIDObj` pointer that GetInterface<T> looks for. Define the record once in a source file.
#define KR_INTERFACE_UID(Name)                                                                               \
    static TKrUIDObject Name##UIDObj;                                                                        \
    static constexpr TKrUIDObject* TUIDObj = &Name##UIDObj

/// Root of the extension interfaces. A derived interface answers its own record and passes every
/// other record to its base; IKrInterface answers only IKrInterfaceUIDObj.
class KRSTD_API IKrInterface : public virtual TKrInterfaceBase {
public:
    KR_INTERFACE_UID(IKrInterface);

    IKrInterface* GetInterface_Int(TKrUIDObject* id) override;
    virtual ~IKrInterface();
};

[[noreturn]] KRSTD_API void KrThrowInvalidInterfaceCast(const std::type_info& object,
                                                        const std::type_info& target);

template <class T> T* TKrInterfaceBase::GetInterface() {
    IKrInterface* found = GetInterface_Int(T::TUIDObj);
    if (!found) return nullptr;
    T* result = dynamic_cast<T*>(found);
    if (!result) KrThrowInvalidInterfaceCast(typeid(*found), typeid(T));
    return result;
}
