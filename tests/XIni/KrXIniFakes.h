// Minimal reader and writer over a TKrXIniTree, for testing the layers above the virtual slots.
#pragma once

#include "Core/KrMessage.h"
#include "XIni/KrXIniReader.h"
#include "XIni/KrXIniTree.h"
#include "XIni/KrXIniWriter.h"

#include <cstdlib>
#include <string>
#include <vector>

namespace krtest {

/// Reads a tree. Plain forms return their default for a missing or mistyped item, E forms throw;
/// integers convert with strtol/strtoul. Slots the tests do not need throw "@unused".
class TTreeReader : public TKrXIniReader {
    using I = TE_KrXIniItemType;
    using U = std::size_t;
    using S = std::string;

public:
    using TKrXIniReader::Count;
    using TKrXIniReader::CountE;

    explicit TTreeReader(var_a<TKrXIniTree*> root) : m_stack{root} {}
    U Level() const { return m_stack.size() - 1; }

    bool throwing = true; // whether throw_error_value_message throws
    U lastErrorIndex = 0;
    S lastErrorMessage = "unset";

    // clang-format off
    U Count() override { return Cur()->Count(); }
    U Count_x(const char* n, U len) override { return Cur()->Count(n, len); }
    U CountE_x(const char* n, U len) override { return Count_x(n, len); }
    U FindF_x(const char* n, U len, U from) override { return Cur()->FindItemIndexF(n, len, from); }
    U FindFE_x(const char* n, U len, U from) override { return Need(FindF_x(n, len, from), I::Invalid); }
    U EnterSection(U i) override { return Get(i, I::Section) ? Push(Get(i, I::Section)->child) : 0; }
    U EnterSectionE(U i) override { return EnterSection(Need(i, I::Section)); }
    bool ExitSection(U lv) override { return lv >= 1 && lv <= Level() && (m_stack.resize(lv), true); }
    U ExitSectionE(U level) override { return ExitSection(level) ? level - 1 : Fail(); }
    int Read_x_int32(U i, int def) override { return static_cast<int>(Read_x_int64(i, def)); }
    int ReadE_x_int32(U i) override { return Read_x_int32(Need(i, I::Integer), 0); }
    unsigned Read_x_uint32(U i, unsigned d) override { return static_cast<unsigned>(Read_x_uint64(i, d)); }
    unsigned ReadE_x_uint32(U i) override { return Read_x_uint32(Need(i, I::Integer), 0); }
    long Read_x_int64(U i, long d) override { return Get(i, I::Integer) ? std::strtol(V(i), nullptr, 0) : d; }
    unsigned long Read_x_uint64(U i, unsigned long def) override {
        return Get(i, I::Integer) ? std::strtoul(V(i), nullptr, 0) : def;
    }
    double Read_x_double(U i, double d) override { return Get(i, I::Double) ? std::strtod(V(i), {}) : d; }
    double ReadE_x_double(U i) override { return Read_x_double(Need(i, I::Double), 0); }
    S Read_x_string(U i, const S& def) override { return Get(i, I::String) ? S(V(i)) : def; }
    S ReadE_x_string(U i) override { return Read_x_string(Need(i, I::String), ""); }
    S ReadLongString(U i, const S& def) override {
        const TKrXIniTree* t = Get(i, I::Section) ? Get(i, I::Section)->child.get() : nullptr;
        S s;
        for (U k = 0; t && k < t->Count(); ++k) s += t->FindItem(k)->value;
        return t ? s : def;
    }
    S ReadLongStringE(U i) override { return ReadLongString(Need(i, I::Section), ""); }
    var_a<TKrXIniTree*> ReadXIniTree(U i, TXIniTreeMode) override {
        return Get(i, I::Section) ? Get(i, I::Section)->child->CreateCopy() : nullptr;
    }
    var_a<TKrXIniTree*> ReadXIniTreeE(U i) override { return ReadXIniTree(Need(i, I::Section), {}); }
    void throw_error_value_message(U index, const S& message) override {
        lastErrorIndex = index;
        lastErrorMessage = message;
        if (throwing) throw TKrMessage("@value");
    }

    U CountE() override { return Fail(); }
    TKrXIniItemType ItemType(U) override { Fail(); }
    TKrXIniItemType ItemTypeE(U) override { Fail(); }
    S ItemName(U) override { Fail(); }
    S ItemNameE(U) override { Fail(); }
    bool Exists(U) override { Fail(); }
    bool ExistsE(U) override { Fail(); }
    long ReadE_x_int64(U) override { Fail(); }
    unsigned long ReadE_x_uint64(U) override { Fail(); }
    S ReadBinary(U, const S&) override { Fail(); }
    S ReadBinaryE(U) override { Fail(); }
    S ReadXIni(U) override { Fail(); }
    S ReadXIniE(U) override { Fail(); }
    U ReadDouble2(U, double*, double*) override { Fail(); }
    void ReadDouble2E(U, double*, double*) override { Fail(); }
    U ReadDouble3(U, double*, double*, double*) override { Fail(); }
    void ReadDouble3E(U, double*, double*, double*) override { Fail(); }
    // clang-format on

private:
    [[noreturn]] static U Fail() { throw TKrMessage("@unused"); }
    TKrXIniTree* Cur() const { return m_stack.back().get(); }
    const char* V(U i) const { return Cur()->FindItem(i)->value.c_str(); }
    U Push(const var_a<TKrXIniTree*>& child) {
        if (!child) return 0;
        m_stack.push_back(child);
        return Level();
    }
    // The item when it has that type; a section only with a child.
    const TKrXIniTree::TItem* Get(U i, TKrXIniItemType type) const {
        const TKrXIniTree::TItem* item = Cur()->FindItem(i);
        return item && item->type == type && (type != I::Section || item->child) ? item : nullptr;
    }
    // i when it holds an item of that type (Invalid: of any type); throws otherwise.
    U Need(U i, TKrXIniItemType type) const {
        if (type == I::Invalid ? !Cur()->FindItem(i) : !Get(i, type)) throw TKrMessage("@missing");
        return i;
    }

    std::vector<var_a<TKrXIniTree*>> m_stack;
};

/// Records every slot call as "slot name=value"; every call fails while `failing` is set.
class TRecordingWriter : public TKrXIniWriter {
    using S = std::string;
    using U = std::size_t;

public:
    std::vector<std::string> calls;
    bool failing = false;
    bool throwing = true;

    // clang-format off
    bool WriteComment(const S& t) override { return Log("comment", "", t); }
    bool WriteS_x_int32(const S& n, const int& v) override { return Log("int32", n, v); }
    bool WriteS_x_uint32(const S& n, const unsigned& v) override { return Log("uint32", n, v); }
    bool WriteS_x_int64(const S& n, const long& v) override { return Log("int64", n, v); }
    bool WriteS_x_uint64(const S& n, const unsigned long& v) override { return Log("uint64", n, v); }
    bool WriteS_x_float(const S& n, const float& v) override { return Log("float", n, v); }
    bool WriteS_x_double(const S& n, const double& v) override { return Log("double", n, v); }
    bool WriteS_x_string(const S& n, const S& v) override { return Log("string", n, v); }
    bool WriteHexS_x_int32(const S& n, const int& v) override { return Log("hex32", n, v); }
    bool WriteHexS_x_uint32(const S& n, const unsigned& v) override { return Log("hexu32", n, v); }
    bool WriteHexS_x_int64(const S& n, const long& v) override { return Log("hex64", n, v); }
    bool WriteHexS_x_uint64(const S& n, const unsigned long& v) override { return Log("hexu64", n, v); }
    bool WriteLongStringS(const S& n, const S& v) override { return Log("long", n, v); }
    bool WriteBinaryS(const S& n, const S& v) override { return Log("binary", n, v); }
    bool WriteXIniS(const S& n, const S& v) override { return Log("xini", n, v); }
    bool WriteXIniS(const S& n, const TKrXIniTree* t) override { return Log("xinitree", n, t->Count()); }
    bool MergeXIni(const S& v) override { return Log("merge", "", v); }
    bool MergeXIni(const TKrXIniTree* t) override { return Log("mergetree", "", t->Count()); }
    U BeginSectionS(const S& n) override { return Log("begin", n, "") ? ++m_level : 0; }
    U BeginSectionCompactS(const S& n) override { return Log("compact", n, "") ? ++m_level : 0; }
    bool EndSection() override { return Log("end", "", ""); }
    void EndSectionE() override {}
    bool EndSection(U level) override { return Log("end", "", level); }
    void EndSectionE(U) override {}
    void SetCompactMode(bool) override {}
    bool WriteDouble2S(const S& n, double x, double) override { return Log("double2", n, x); }
    bool WriteDouble3S(const S& n, double x, double, double) override { return Log("double3", n, x); }
    bool Flush() override { return Log("flush", "", ""); }
    void FlushE() override {}
    bool Close() override { return Log("close", "", ""); }
    void CloseE() override {}
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

    std::size_t m_level = 0;
};

} // namespace krtest
