// XIni test doubles: a writer recording its slot calls, for testing the layers above the virtual
// slots, and random trees for round trips.
#pragma once

#include "Core/KrMessage.h"
#include "Core/KrStringEncode.h"
#include "XIni/KrXIniTree.h"
#include "XIni/KrXIniTreeWriter.h"

#include <functional>
#include <random>
#include <string>
#include <vector>

namespace krtest {

/// A tree writer whose slots behind the E forms only record their calls, as "slot name=value", and
/// fail while `failing` is set. With `throwing` off its error hook returns instead of throwing.
class TRecordingWriter : public TKrXIniTreeWriter {
    using S = std::string;
    using U = std::size_t;
    using B = TKrXIniTreeWriter;

public:
    TRecordingWriter() : B(nullptr) {}
    std::vector<std::string> calls;
    bool failing = false;
    bool throwing = true;

    // clang-format off
    bool WriteComment(const S& t) override { return Log("comment", "", t); }
    bool WriteS_x_double(const S& n, const double& v) override { return Log("double", n, v); }
    bool WriteS_x_string(const S& n, const S& v) override { return Log("string", n, v); }
    bool WriteHexS_x_int64(const S& n, const long& v) override { return Log("hex64", n, v); }
    bool WriteLongStringS(const S& n, const S& v) override { return Log("long", n, v); }
    bool WriteBinaryS(const S& n, const S& v) override { return Log("binary", n, v); }
    bool WriteXIniS(const S& n, const S& v) override { return Log("xini", n, v); }
    bool WriteXIniS(const S& n, const TKrXIniTree* t) override { return Log("xinitree", n, t->Count()); }
    bool MergeXIni(const S& v) override { return Log("merge", "", v); }
    bool MergeXIni(const TKrXIniTree* t) override { return Log("mergetree", "", t->Count()); }
    U BeginSectionS(const S& n) override { return Log("begin", n, "") ? B::BeginSectionS(n) : 0; }
    U BeginSectionCompactS(const S& n) override { return Log("compact", n, "") ? B::BeginSectionS(n) : 0; }
    bool WriteDouble2S(const S& n, double x, double) override { return Log("double2", n, x); }
    bool WriteDouble3S(const S& n, double x, double, double) override { return Log("double3", n, x); }
    // clang-format on
    void throw_xwrite_error_i() override {
        calls.push_back("error");
        if (throwing) throw TKrMessage("@write");
    }

private:
    template <class V> bool Log(const char* slot, const S& name, const V& value) {
        if constexpr (std::is_convertible_v<V, std::string>)
            calls.push_back(std::string(slot) + " " + name + "=" + std::string(value));
        else
            calls.push_back(std::string(slot) + " " + name + "=" + std::to_string(value));
        return !failing;
    }
};

/// A random tree of `items` items: sections, integers, doubles, base64 binaries and strings, with
/// names and values made by `text(maxLength)`.
inline var_a<TKrXIniTree*> RandomTree(std::mt19937& gen, int items,
                                      const std::function<std::string(std::size_t)>& text) {
    using I = TE_KrXIniItemType;
    auto tree = new_a<TKrXIniTree>();
    std::vector<TKrXIniTree*> open{tree.get()};
    for (int i = 0; i < items; ++i) {
        TKrXIniTree* t = open[gen() % open.size()];
        const std::string name = text(6);
        switch (gen() % 6) {
        case 0:
            open.push_back(t->AddSection(name).get());
            break;
        case 1:
            t->AddItem(I::Integer, name, std::to_string(int(gen())));
            break;
        case 2:
            t->AddItem(I::Double, name, "-2.5000000000000000e-01");
            break;
        case 3:
            t->AddItem(I::Binary, name, KrEncodeStringBase64(text(200)));
            break;
        default:
            t->AddItem(I::String, name, text(40));
        }
    }
    return tree;
}

} // namespace krtest
