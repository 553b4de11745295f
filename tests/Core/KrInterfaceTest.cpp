// The two interface roots: kr::TRef with QueryInterface, and identity-record lookup.
#include "Core/KrInterface.h"
#include "Core/KrRef.h"

#include <boost/uuid/uuid.hpp>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <stdexcept>

namespace {

using namespace ::testing;

int g_refDeleted = 0;
struct TRefObject : kr::TRef {
    ~TRefObject() override { ++g_refDeleted; }
};

TEST(KrRef, QueryInterfaceAnswersOnlyBaseRef) {
    const unsigned char expected[16] = {0x4e, 0x5f, 0xd5, 0x5c, 0xf9, 0x97, 0x63, 0x4d,
                                        0xf8, 0x87, 0x73, 0x3f, 0xb2, 0x21, 0x51, 0x74};
    EXPECT_TRUE(std::equal(kr::IID_BaseRef.begin(), kr::IID_BaseRef.end(), expected));

    g_refDeleted = 0;
    auto* obj = new TRefObject;
    EXPECT_EQ(obj->AddRef(), 1u);

    void* out = reinterpret_cast<void*>(0x1234);
    boost::uuids::uuid other = kr::IID_BaseRef;
    other.data[15] ^= 1;
    EXPECT_EQ(obj->QueryInterface(other, &out), kr::KR_E_NOINTERFACE);
    EXPECT_EQ(out, reinterpret_cast<void*>(0x1234));
    EXPECT_EQ(obj->QueryInterface(kr::IID_BaseRef, nullptr), kr::KR_E_POINTER);
    EXPECT_EQ(obj->RefCount(), 1);

    EXPECT_EQ(obj->QueryInterface(kr::IID_BaseRef, &out), kr::KR_S_OK);
    EXPECT_EQ(out, static_cast<kr::TBaseRef*>(obj));
    EXPECT_EQ(obj->RefCount(), 2);

    EXPECT_EQ(obj->Release(), 2u);
    EXPECT_EQ(g_refDeleted, 0);
    obj->Release();
    EXPECT_EQ(g_refDeleted, 1);
}

// A two-level interface family, the way extension interfaces are declared.
class IKrTestExtension : public IKrInterface {
public:
    KR_INTERFACE_UID(IKrTestExtension);
    IKrInterface* GetInterface_Int(TKrUIDObject* id) override {
        return id == &IKrTestExtensionUIDObj ? this : IKrInterface::GetInterface_Int(id);
    }
    virtual int Answer() = 0;
};
TKrUIDObject IKrTestExtension::IKrTestExtensionUIDObj = {"IKrTestExtension"};

class IKrTestUnanswered : public IKrInterface {
public:
    KR_INTERFACE_UID(IKrTestUnanswered);
};
TKrUIDObject IKrTestUnanswered::IKrTestUnansweredUIDObj = {"IKrTestUnanswered"};

struct TOtherBase {
    virtual ~TOtherBase() = default;
    int pad = 0;
};
struct TExtended : TOtherBase, IKrTestExtension {
    int Answer() override { return 42; }
};

// Answers a record with an object that is not that interface: a programming error.
struct TLiar : IKrInterface {
    IKrInterface* GetInterface_Int(TKrUIDObject*) override { return this; }
};

TEST(KrInterface, GetInterfaceFindsTheRequestedSubObject) {
    TExtended obj;
    TKrInterfaceBase& base = obj;
    IKrTestExtension* ext = base.GetInterface<IKrTestExtension>();
    ASSERT_EQ(ext, static_cast<IKrTestExtension*>(&obj));
    EXPECT_EQ(ext->Answer(), 42);
    EXPECT_EQ(base.GetInterface<IKrInterface>(), static_cast<IKrInterface*>(&obj));
    EXPECT_EQ(base.GetInterface<IKrTestUnanswered>(), nullptr);
    // Identity is the record's address, not its name.
    TKrUIDObject impostor = {"IKrTestExtension"};
    EXPECT_EQ(obj.GetInterface_Int(&impostor), nullptr);
}

TEST(KrInterface, WrongAnswerThrowsInvalidCasting) {
    TLiar liar;
    EXPECT_THAT([&] { liar.GetInterface<IKrTestExtension>(); },
                ThrowsMessage<std::runtime_error>(AllOf(StartsWith("@Invalid casting in "),
                                                        HasSubstr("TLiar::IKrInterface::GetInterface<"),
                                                        HasSubstr("IKrTestExtension>()"))));
}

} // namespace
