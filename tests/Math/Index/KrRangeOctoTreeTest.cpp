// The range octree: ranges against brute force, shape checks, and persistence through memory
// streams and XIni trees, where every truncated or altered input fails with a message.
#include "Core/KrMessage.h"
#include "Math/Index/KrRangeOctoTree.h"
#include "Streams/KrFixedMemStream.h"
#include "Streams/KrMemoryStream.h"
#include "Utils/KrCrc32.h"
#include "XIni/KrXIniReadTree.h"
#include "XIni/KrXIniSerialize.h"
#include "XIni/KrXIniTreeReader.h"
#include "XIni/KrXIniTreeWriter.h"
#include "XIni/KrXIniWriteTree.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <tuple>

using ::testing::AllOf;
using ::testing::HasSubstr;
using ::testing::StartsWith;
using ::testing::ThrowsMessage;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
const limits3d kCube(vec3d(0, 0, 0), vec3d(8, 8, 8));
using index_t = kr::TBaseOctoTree::index_t;

template <class Tree> std::string Saved(const Tree& tree) {
    TKrMemoryStream s;
    tree.SaveE(&s);
    return std::string(s.GetBuffer(), s.getSize());
}

template <class Tree> void LoadBytes(Tree& tree, const std::string& bytes) {
    TKrFixedMemStream s(bytes.data(), bytes.size());
    tree.LoadE(&s);
}

// A saved stream without its checksum, patched; Sealed appends the checksum the loader expects,
// so that patched streams reach the structure checks.
struct SPayload {
    std::string bytes;

    template <class V> SPayload Patched(std::size_t at, const V& value) const {
        SPayload p = *this;
        std::memcpy(&p.bytes[at], &value, sizeof value);
        return p;
    }
    std::string Sealed() const {
        std::string all = bytes;
        const std::uint32_t crc = KrCrc32(0, all.data(), all.size());
        return all.append(reinterpret_cast<const char*>(&crc), 4);
    }
};

template <class T> class KrRangeOctoTreeT : public ::testing::Test {
protected:
    using TTree = kr::TRangeOctoTreeI<T>;
    using TRange = typename TTree::range_t;
    struct SValue {
        vec3d p;
        T v;
    };

    // Values at points inside, on cell borders of every level and outside of kCube, over the
    // type's whole range.
    TTree Filled(unsigned levels, int count, std::vector<SValue>& values) {
        TTree tree;
        tree.Create(kCube, levels);
        std::mt19937_64 gen(levels);
        std::uniform_int_distribution<T> value(std::numeric_limits<T>::lowest(),
                                               std::numeric_limits<T>::max());
        auto grid = [&] { return static_cast<double>(gen() % 37) / 4 - 0.5; };
        for (int i = 0; i < count; ++i) {
            values.push_back({vec3d(grid(), grid(), grid()), value(gen)});
            EXPECT_TRUE(tree.AddValue(values.back().p, values.back().v));
        }
        return tree;
    }
    TTree Sample() {
        std::vector<SValue> values;
        return Filled(4, 40, values);
    }

    // Every random box against the union over the values whose cells the box touches.
    void CheckQueries(const TTree& tree, const std::vector<SValue>& values) {
        std::mt19937_64 gen(3);
        std::uniform_real_distribution<double> pos(-1, 9);
        for (int n = 0; n < 300; ++n) {
            vec3d a(pos(gen), pos(gen), pos(gen)), b(pos(gen), pos(gen), pos(gen));
            for (std::size_t k = 0; k < 3; ++k)
                if (a[k] > b[k]) std::swap(a[k], b[k]);
            index_t lo, hi, c;
            tree.GetLocalClamptedIndex(a, &lo);
            tree.GetLocalClamptedIndex(b, &hi);
            TRange expected = TTree::EmptyRange(), r;
            for (const SValue& s : values) {
                tree.GetLocalClamptedIndex(s.p, &c);
                if (c.x >= lo.x && c.y >= lo.y && c.z >= lo.z && c.x <= hi.x && c.y <= hi.y && c.z <= hi.z)
                    expected = {std::min(expected.min, s.v), std::max(expected.max, s.v)};
            }
            const bool meets = limits3d(a, b).intersects(kCube);
            ASSERT_EQ(tree.GetRange(limits3d(a, b), &r), meets) << "query " << n;
            ASSERT_TRUE(!meets || r == expected) << "query " << n;
        }
    }
};

using TValueTypes = ::testing::Types<int, long>;
TYPED_TEST_SUITE(KrRangeOctoTreeT, TValueTypes);

} // namespace

TEST(KrBaseOctoTree, CreateRejectsBadShapesAndKeepsTheTree) {
    const struct {
        limits3d limits;
        unsigned levels;
        const char* reason;
    } cases[] = {
        {kCube, 0, "LevelsCount"},
        {kCube, 22, "LevelsCount"},
        {limits3d(), 3, "Limits"},
        {limits3d(vec3d(0, 0, 0), vec3d(1, 1, 0)), 3, "Limits"},
        {limits3d(vec3d(0, 2, 0), vec3d(1, 1, 1)), 3, "Limits"},
        {limits3d(vec3d(0, 0, kNaN), vec3d(1, 1, 1)), 3, "Limits"},
        {limits3d(vec3d(0, 0, 0), vec3d(1, kInf, 1)), 3, "Limits"},
        {limits3d(vec3d(-1e308, 0, 0), vec3d(1e308, 1, 1)), 3, "Limits"}, // the extent overflows
        {limits3d(vec3d(0, 0, 0), vec3d(1e-320, 1, 1)), 21, "Limits"},    // the scale overflows
    };
    kr::TRangeOctoTreeI<int> tree;
    tree.Create(kCube, 3);
    tree.AddValue(vec3d(1, 1, 1), 5);
    for (const auto& k : cases) {
        EXPECT_THAT(
            [&] { tree.Create(k.limits, k.levels); },
            ThrowsMessage<TKrMessage>(testing::StrEq(
                std::string("@kr::TBaseOctoTree::Create(const limits3d&, unsigned): Invalid argument ") +
                k.reason)));
        EXPECT_EQ(tree.GetNodesCount(), 17u);
    }
    tree.Create(kCube, 21);
    EXPECT_EQ(tree.GetCellsPerSide(), 1 << 20);
    tree.Destroy();
    EXPECT_FALSE(tree.AddValue(vec3d(1, 1, 1), 5));
    EXPECT_FALSE(tree.GetRange(kCube, nullptr));
}

TEST(KrBaseOctoTree, ClampedIndexOfPoints) {
    kr::TRangeOctoTreeI<int> tree;
    tree.Create(limits3d(vec3d(0, 0, 0), vec3d(8, 4, 2)), 4); // 8 cells per side
    const struct {
        vec3d p;
        bool ok;
        index_t cell;
    } cases[] = {
        {{1, 0.5, 0.25}, true, {1, 1, 1}},      {{7.999, 3.999, 1.999}, true, {7, 7, 7}},
        {{8, 4, 2}, true, {7, 7, 7}}, // the far border belongs to the last cell
        {{-kInf, 100, 1e300}, true, {0, 7, 7}}, {{kNaN, 0, 0}, false, {9, 9, 9}},
    };
    for (const auto& k : cases) {
        index_t cell(9, 9, 9);
        EXPECT_EQ(tree.GetLocalClamptedIndex(k.p, &cell), k.ok);
        EXPECT_EQ(cell, k.cell) << k.p.x << " " << k.p.y << " " << k.p.z;
    }
}

TYPED_TEST(KrRangeOctoTreeT, RangesMatchBruteForce) {
    for (const unsigned levels : {1u, 2u, 4u, 7u}) {
        std::vector<typename TestFixture::SValue> values;
        this->CheckQueries(this->Filled(levels, 500, values), values);
    }
    const auto tree = this->Sample();
    typename TestFixture::TRange r{1, 2};
    for (const limits3d& box :
         {limits3d(), limits3d(vec3d(9, 0, 0), vec3d(10, 8, 8)), limits3d(vec3d(0, 0, 0), vec3d(kNaN, 1, 1)),
          limits3d(vec3d(2, 2, 2), vec3d(1, 3, 3))})
        EXPECT_FALSE(tree.GetRange(box, &r));
    EXPECT_EQ(r, (typename TestFixture::TRange{1, 2}));
}

TYPED_TEST(KrRangeOctoTreeT, CellRangesTakeEffectAfterTheUpdate) {
    using TRange = typename TestFixture::TRange;
    typename TestFixture::TTree tree;
    tree.Create(kCube, 3); // 4 cells per side
    EXPECT_TRUE(tree.SetCellRange(index_t(0, 0, 0), {-5, 5}));
    EXPECT_TRUE(tree.SetCellRange(index_t(3, 3, 3), {7, 9}));
    EXPECT_FALSE(tree.SetCellRange(index_t(4, 0, 0), {1, 1}));
    EXPECT_TRUE(tree.GetNodeRange(0).empty()) << "stale until updated";
    EXPECT_EQ(tree.GetCellRange(index_t(3, 3, 3)), (TRange{7, 9}));
    tree.UpdateNodeRange(tree.GetFirstChild(0) + 7); // the parent of (3, 3, 3), then the root
    tree.UpdateNodeRange(0);
    EXPECT_EQ(tree.GetNodeRange(0), (TRange{7, 9}));
    tree.UpdateNodesRange();
    EXPECT_EQ(tree.GetNodeRange(0), (TRange{-5, 9}));
    EXPECT_TRUE(tree.SetCellRange(index_t(0, 0, 0), {3, 2})); // inverted: the empty range
    tree.UpdateNodesRange();
    EXPECT_EQ(tree.GetNodeRange(0), (TRange{7, 9}));
    EXPECT_THROW(tree.UpdateNodeRange(static_cast<std::uint32_t>(tree.GetNodesCount())), std::out_of_range);
}

TYPED_TEST(KrRangeOctoTreeT, StreamAndXIniRoundTrips) {
    using TTree = typename TestFixture::TTree;
    std::vector<typename TestFixture::SValue> values;
    const TTree tree = this->Filled(5, 300, values);
    const std::string bytes = Saved(tree);
    TTree fromStream;
    LoadBytes(fromStream, bytes);
    EXPECT_EQ(Saved(fromStream), bytes);
    this->CheckQueries(fromStream, values);

    // Through an XIni tree, and through XIni text made from it.
    TKrXIniTreeWriter w(nullptr);
    w.BeginSectionSE("octree");
    XIniSaveE(&w, tree);
    w.EndSectionE();
    TKrMemoryStream text;
    ASSERT_TRUE(WriteKrXIniTree(&text, w.GetRoot().get(), 0, true, nullptr));
    for (const var_a<TKrXIniTree*>& root : {w.GetRoot(), ReadKrXIniTree(&text, true, nullptr)}) {
        TKrXIniTreeReader r(root);
        TTree fromXIni;
        XIniLoadSE(&r, "octree", fromXIni);
        EXPECT_EQ(Saved(fromXIni), bytes);
    }
}

TYPED_TEST(KrRangeOctoTreeT, EveryTruncatedOrAlteredStreamFails) {
    using TTree = typename TestFixture::TTree;
    const std::string bytes = Saved(this->Sample());
    TTree tree;
    tree.Create(kCube, 2);
    const std::string before = Saved(tree);
    for (std::size_t n = 0; n < bytes.size(); ++n) {
        EXPECT_THROW(LoadBytes(tree, bytes.substr(0, n)), TKrMessage) << "prefix " << n;
        std::string altered = bytes;
        altered[n] ^= 0x20;
        EXPECT_THROW(LoadBytes(tree, altered), TKrMessage) << "byte " << n;
    }
    EXPECT_EQ(Saved(tree), before) << "a failed load changes nothing";

    const std::size_t count = (bytes.size() - 76) / (1 + 2 * sizeof(TypeParam));
    const SPayload good{bytes.substr(0, bytes.size() - 4)};
    const std::size_t ranges = 72 + count, pair = 2 * sizeof(TypeParam); // where the ranges begin
    const struct {
        std::string input;
        const char* reason;
    } cases[] = {
        {good.Patched(8, 2u).Sealed(), "unsupported version 2"},
        {good.Patched(16, 2u).Sealed(), "invalid node count"}, // more nodes than 2 levels hold
        {SPayload{good.Patched(68, 9u).bytes.substr(0, 72 + 9) + good.bytes.substr(ranges, 9 * pair)}
             .Sealed(),
         "has too few children"},
        {good.Patched(16, 21u).Patched(68, 0xFFFFFFF9u).Sealed(),
         "the data ends early"}, // no 4 GiB allocation
        {good.Patched(ranges - 1, '\1').Sealed(), "of the finest level is split"},
        {good.Patched(72 + 3, '\2').Sealed(), "invalid split flag 2 at node 3"},
        {good.Patched(72, '\0').Patched(ranges, TTree::EmptyRange()).Sealed(), "node 1 has no parent"},
        {good.Patched(ranges + 5 * pair, typename TTree::range_t{1, 0}).Sealed(), "invalid range at node 5"},
        {bytes.substr(0, bytes.size() - 1) + char(bytes.back() ^ 1), "checksum mismatch"},
    };
    for (const auto& k : cases)
        EXPECT_THAT([&] { LoadBytes(tree, k.input); },
                    ThrowsMessage<TKrMessage>(
                        AllOf(StartsWith("@kr::TRangeOctoTreeI::LoadE(TKrStream*): "), HasSubstr(k.reason))));
}

TYPED_TEST(KrRangeOctoTreeT, AlteredXIniFailsWithAMessage) {
    const auto tree = this->Sample();
    const long count = static_cast<long>(tree.GetNodesCount());
    for (const auto& [item, value, reason] :
         {std::make_tuple("value_size", 2L, std::string("value size 2 where")),
          std::make_tuple("nodes", count + 1,
                          std::to_string(count) + " split flags for " + std::to_string(count + 1))}) {
        TKrXIniTreeWriter w(nullptr);
        w.BeginSectionSE("octree");
        XIniSaveE(&w, tree);
        w.Write(w.FindFE(item, 0), value);
        w.EndSectionE();
        TKrXIniTreeReader r(w.GetRoot());
        typename TestFixture::TTree loaded;
        EXPECT_THAT([&] { XIniLoadSE(&r, "octree", loaded); },
                    ThrowsMessage<TKrMessage>(HasSubstr("XIniLoadE(TKrXIniReader*, size_t): " + reason)));
        EXPECT_FALSE(loaded.IsCreated());
    }
}
