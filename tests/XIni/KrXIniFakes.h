// Minimal reader and writer implementations over a TKrXIniTree, for testing the layers above
// the abstract slots.
#pragma once

#include "Core/KrMessage.h"
#include "XIni/KrXIniReader.h"
#include "XIni/KrXIniTree.h"
#include "XIni/KrXIniWriter.h"

#include <cstdlib>
#include <string>
#include <vector>

namespace krtest {

/// Reads a tree; E forms throw "@missing" or "@type". Values convert as strtol/strtoul/strtod do.
class TTreeReader : public TKrXIniReader {
public:
    using TKrXIniReader::Count;
    using TKrXIniReader::CountE;

    explicit TTreeReader(var_a<TKrXIniTree*> root) : m_stack{root} {}

    std::size_t Level() const { return m_stack.size() - 1; }

    std::size_t Count() override { return Cur()->Count(); }
    std::size_t CountE() override { return Count(); }
    std::size_t Count_x(const char* n, std::size_t len) override { return Cur()->Count(n, len); }
    std::size_t CountE_x(const char* n, std::size_t len) override { return Count_x(n, len); }
    std::size_t FindF_x(const char* n, std::size_t len, std::size_t start) override {
        return Cur()->FindItemIndexF(n, len, start);
    }
    std::size_t FindFE_x(const char* n, std::size_t len, std::size_t start) override {
        return Need(FindF_x(n, len, start));
    }
    TKrXIniItemType ItemType(std::size_t i) override {
        return Exists(i) ? Cur()->FindItem(i)->type : TE_KrXIniItemType::Invalid;
    }
    TKrXIniItemType ItemTypeE(std::size_t i) override { return ItemType(Need(i)); }
    std::string ItemName(std::size_t i) override { return Exists(i) ? Cur()->FindItem(i)->name : ""; }
    std::string ItemNameE(std::size_t i) override { return ItemName(Need(i)); }
    bool Exists(std::size_t i) override { return Cur()->FindItem(i) != nullptr; }
    bool ExistsE(std::size_t i) override { return Exists(Need(i)); }
    std::size_t EnterSection(std::size_t i) override {
        const TKrXIniTree::TItem* item = Cur()->FindItem(i);
        if (!item || item->type != TE_KrXIniItemType::Section || !item->child) return 0;
        m_stack.push_back(item->child);
        return Level();
    }
    std::size_t EnterSectionE(std::size_t i) override {
        const std::size_t level = EnterSection(Need(i));
        if (!level) throw TKrMessage("@type");
        return level;
    }
    bool ExitSection(std::size_t level) override {
        if (level < 1 || level > Level()) return false;
        m_stack.resize(level);
        return true;
    }
    std::size_t ExitSectionE(std::size_t level) override {
        if (!ExitSection(level)) throw TKrMessage("@level");
        return level - 1;
    }

    int Read_x_int32(std::size_t i, int def) override { return static_cast<int>(Int(i, def)); }
    int ReadE_x_int32(std::size_t i) override { return static_cast<int>(Int(Typed(i), 0)); }
    unsigned Read_x_uint32(std::size_t i, unsigned def) override {
        return static_cast<unsigned>(UInt(i, def));
    }
    unsigned ReadE_x_uint32(std::size_t i) override { return static_cast<unsigned>(UInt(Typed(i), 0)); }
    long Read_x_int64(std::size_t i, long def) override { return Int(i, def); }
    long ReadE_x_int64(std::size_t i) override { return Int(Typed(i), 0); }
    unsigned long Read_x_uint64(std::size_t i, unsigned long def) override { return UInt(i, def); }
    unsigned long ReadE_x_uint64(std::size_t i) override { return UInt(Typed(i), 0); }
    double Read_x_double(std::size_t i, double def) override {
        const std::string* v = Value(i, TE_KrXIniItemType::Double);
        return v ? std::strtod(v->c_str(), nullptr) : def;
    }
    double ReadE_x_double(std::size_t i) override {
        return Read_x_double(Typed(i, TE_KrXIniItemType::Double), 0);
    }
    std::string Read_x_string(std::size_t i, const std::string& def) override {
        const std::string* v = Value(i, TE_KrXIniItemType::String);
        return v ? *v : def;
    }
    std::string ReadE_x_string(std::size_t i) override {
        return Read_x_string(Typed(i, TE_KrXIniItemType::String), "");
    }
    std::string ReadLongString(std::size_t i, const std::string& def) override {
        const TKrXIniTree::TItem* item = Cur()->FindItem(i);
        if (!item || !item->child) return def;
        std::string s;
        for (std::size_t k = 0; k < item->child->Count(); ++k)
            s += item->child->FindItem(k)->value;
        return s;
    }
    std::string ReadLongStringE(std::size_t i) override { return ReadLongString(Need(i), ""); }
    std::string ReadBinary(std::size_t i, const std::string& def) override { return def + std::to_string(i); }
    std::string ReadBinaryE(std::size_t i) override { return ReadBinary(Need(i), ""); }
    std::string ReadXIni(std::size_t) override { return ""; }
    std::string ReadXIniE(std::size_t) override { throw TKrMessage("@unsupported"); }
    var_a<TKrXIniTree*> ReadXIniTree(std::size_t i, TXIniTreeMode mode) override {
        const TKrXIniTree::TItem* item = Cur()->FindItem(i);
        if (item && item->type == TE_KrXIniItemType::Section && item->child) return item->child->CreateCopy();
        return mode == EmptyIfAbsent ? new_a<TKrXIniTree>() : nullptr;
    }
    var_a<TKrXIniTree*> ReadXIniTreeE(std::size_t i) override {
        var_a<TKrXIniTree*> t = ReadXIniTree(Need(i), NullIfAbsent);
        if (!t) throw TKrMessage("@type");
        return t;
    }
    std::size_t ReadDouble2(std::size_t, double*, double*) override { return 0; }
    void ReadDouble2E(std::size_t, double*, double*) override { throw TKrMessage("@unsupported"); }
    std::size_t ReadDouble3(std::size_t, double*, double*, double*) override { return 0; }
    void ReadDouble3E(std::size_t, double*, double*, double*) override { throw TKrMessage("@unsupported"); }

    /// Records the call; throws only when `throwing` is set, to check the callers' fallback.
    void throw_error_value_message(std::size_t index, const std::string& message) override {
        lastErrorIndex = index;
        lastErrorMessage = message;
        if (throwing) throw TKrMessage("@value");
    }

    bool throwing = true;
    std::size_t lastErrorIndex = 0;
    std::string lastErrorMessage = "unset";

private:
    TKrXIniTree* Cur() const { return m_stack.back().get(); }
    std::size_t Need(std::size_t i) {
        if (!Cur()->FindItem(i)) throw TKrMessage("@missing");
        return i;
    }
    std::size_t Typed(std::size_t i, TKrXIniItemType t = TE_KrXIniItemType::Integer) {
        if (ItemType(Need(i)) != t) throw TKrMessage("@type");
        return i;
    }
    const std::string* Value(std::size_t i, TKrXIniItemType t) {
        const TKrXIniTree::TItem* item = Cur()->FindItem(i);
        return item && item->type == t ? &item->value : nullptr;
    }
    long Int(std::size_t i, long def) {
        const std::string* v = Value(i, TE_KrXIniItemType::Integer);
        return v ? std::strtol(v->c_str(), nullptr, 0) : def;
    }
    unsigned long UInt(std::size_t i, unsigned long def) {
        const std::string* v = Value(i, TE_KrXIniItemType::Integer);
        return v ? std::strtoul(v->c_str(), nullptr, 0) : def;
    }

    std::vector<var_a<TKrXIniTree*>> m_stack;
};

/// Records every slot call as "slot name=value"; fails every call while `failing` is set.
class TRecordingWriter : public TKrXIniWriter {
public:
    std::vector<std::string> calls;
    bool failing = false;
    bool throwing = true;

    bool WriteComment(const std::string& t) override { return Log("comment", "", t); }
    bool WriteS_x_int32(const std::string& n, const int& v) override { return Log("int32", n, v); }
    bool WriteS_x_uint32(const std::string& n, const unsigned& v) override { return Log("uint32", n, v); }
    bool WriteS_x_int64(const std::string& n, const long& v) override { return Log("int64", n, v); }
    bool WriteS_x_uint64(const std::string& n, const unsigned long& v) override {
        return Log("uint64", n, v);
    }
    bool WriteS_x_float(const std::string& n, const float& v) override { return Log("float", n, v); }
    bool WriteS_x_double(const std::string& n, const double& v) override { return Log("double", n, v); }
    bool WriteS_x_string(const std::string& n, const std::string& v) override { return Log("string", n, v); }
    bool WriteHexS_x_int32(const std::string& n, const int& v) override { return Log("hex32", n, v); }
    bool WriteHexS_x_uint32(const std::string& n, const unsigned& v) override { return Log("hexu32", n, v); }
    bool WriteHexS_x_int64(const std::string& n, const long& v) override { return Log("hex64", n, v); }
    bool WriteHexS_x_uint64(const std::string& n, const unsigned long& v) override {
        return Log("hexu64", n, v);
    }
    bool WriteLongStringS(const std::string& n, const std::string& v) override { return Log("long", n, v); }
    bool WriteBinaryS(const std::string& n, const std::string& v) override { return Log("binary", n, v); }
    bool WriteXIniS(const std::string& n, const std::string& v) override { return Log("xini", n, v); }
    bool WriteXIniS(const std::string& n, const TKrXIniTree* t) override {
        return Log("xinitree", n, t ? t->Count() : 0);
    }
    bool MergeXIni(const std::string& v) override { return Log("merge", "", v); }
    bool MergeXIni(const TKrXIniTree* t) override { return Log("mergetree", "", t ? t->Count() : 0); }
    std::size_t BeginSectionS(const std::string& n) override { return Log("begin", n, "") ? ++m_level : 0; }
    std::size_t BeginSectionCompactS(const std::string& n) override {
        return Log("begincompact", n, "") ? ++m_level : 0;
    }
    bool EndSection() override { return Log("end", "", ""); }
    void EndSectionE() override { EndSection(); }
    bool EndSection(std::size_t level) override { return Log("endlevel", "", level); }
    void EndSectionE(std::size_t level) override { EndSection(level); }
    void SetCompactMode(bool c) override { Log("compact", "", c); }
    bool WriteDouble2S(const std::string& n, double x, double) override { return Log("double2", n, x); }
    bool WriteDouble3S(const std::string& n, double x, double, double) override {
        return Log("double3", n, x);
    }
    bool Flush() override { return Log("flush", "", ""); }
    void FlushE() override { Flush(); }
    bool Close() override { return Log("close", "", ""); }
    void CloseE() override { Close(); }
    void throw_xwrite_error_i() override {
        calls.push_back("error");
        if (throwing) throw TKrMessage("@write");
    }

private:
    template <class V> bool Log(const char* slot, const std::string& name, const V& value) {
        std::string v;
        if constexpr (std::is_convertible_v<V, std::string>)
            v = value;
        else
            v = std::to_string(value);
        calls.push_back(std::string(slot) + " " + name + "=" + v);
        return !failing;
    }

    std::size_t m_level = 0;
};

} // namespace krtest
