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

using ::testing::AllOf;
using ::testing::HasSubstr;
using ::testing::StartsWith;
using ::testing::ThrowsMessage;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
const limits3d kCube(vec3d(0, 0, 0), vec3d(8, 8, 8));

template <class Tree>
std::string Saved(const Tree& tree) {
    TKrMemoryStream s;
    tree.SaveE(&s);
    return std::string(s.GetBuffer(), s.getSize());
}

template <class Tree>
void LoadBytes(Tree& tree, const std::string& bytes) {
    TKrFixedMemStream s(bytes.data(), bytes.size());
    tree.LoadE(&s);
}

// A saved stream in its three parts; Join appends the checksum the loader expects.
struct SParts {
    std::string head, split, ranges;

    template <class V>
    SParts Patched(std::size_t at, V value) const {
        SParts p = *this;
        std::memcpy(&p.head[at], &value, sizeof value);
        return p;
    }
    SParts Flag(std::size_t node, char flag) const {
        SParts p = *this;
        p.split[node] = flag;
        return p;
    }
    template <class R>
    SParts Range(std::size_t node, const R& r) const {
        SParts p = *this;
        std::memcpy(&p.ranges[node * sizeof r], &r, sizeof r);
        return p;
    }
    SParts Cut(std::size_t nodes) const {
        return {head, split.substr(0, nodes), ranges.substr(0, nodes * ranges.size() / split.size())};
    }
    std::string Join() const {
        std::string all = head + split + ranges;
        const std::uint32_t crc = KrCrc32(0, all.data(), all.size());
        return all.append(reinterpret_cast<const char*>(&crc), 4);
    }
};

template <class T>
class KrRangeOctoTreeT : public ::testing::Test {
protected:
    using TTree = kr::TRangeOctoTreeI<T>;
    using TRange = typename TTree::range_t;

    struct SValue {
        vec3d p;
        T v;
    };

    // Points inside, on the borders and outside of kCube, values over the type's whole range.
    void Fill(TTree& tree, std::vector<SValue>& values, int count, std::uint64_t seed) {
        std::mt19937_64 gen(seed);
        std::uniform_int_distribution<int> grid(-2, 34);
        std::uniform_int_distribution<T> value(std::numeric_limits<T>::lowest(), std::numeric_limits<T>::max());
        for (int i = 0; i < count; ++i) {
            const SValue s{vec3d(grid(gen) / 4.0, grid(gen) / 4.0, grid(gen) / 4.0), value(gen)};
            ASSERT_TRUE(tree.AddValue(s.p, s.v));
            values.push_back(s);
        }
    }

    TRange Expected(const TTree& tree, const std::vector<SValue>& values, const limits3d& box) {
        typename TTree::index_t lo, hi, c;
        tree.GetLocalClamptedIndex(box.min, &lo);
        tree.GetLocalClamptedIndex(box.max, &hi);
        TRange r = TTree::EmptyRange();
        for (const SValue& s : values) {
            tree.GetLocalClamptedIndex(s.p, &c);
            if (c.x >= lo.x && c.y >= lo.y && c.z >= lo.z && c.x <= hi.x && c.y <= hi.y && c.z <= hi.z) {
                r.min = std::min(r.min, s.v);
                r.max = std::max(r.max, s.v);
            }
        }
        return r;
    }

    void CheckQueries(const TTree& tree, const std::vector<SValue>& values, std::uint64_t seed) {
        std::mt19937_64 gen(seed);
        std::uniform_real_distribution<double> pos(-1, 9);
        for (int n = 0; n < 300; ++n) {
            vec3d a(pos(gen), pos(gen), pos(gen)), b(pos(gen), pos(gen), pos(gen));
            for (std::size_t k = 0; k < 3; ++k)
                if (a[k] > b[k]) std::swap(a[k], b[k]);
            const limits3d box(a, b);
            TRange r;
            ASSERT_EQ(tree.GetRange(box, &r), box.intersects(kCube)) << "query " << n;
            if (box.intersects(kCube)) {
                ASSERT_EQ(r, Expected(tree, values, box)) << "query " << n;
            }
        }
    }

    // A tree with values on several levels' borders, and its values.
    TTree Sample(std::vector<SValue>* values = nullptr) {
        TTree tree;
        tree.Create(kCube, 4);
        std::vector<SValue> own;
        Fill(tree, values ? *values : own, 40, 5);
        return tree;
    }
};

using TValueTypes = ::testing::Types<int, long>;
TYPED_TEST_SUITE(KrRangeOctoTreeT, TValueTypes);

} // namespace

TEST(KrBaseOctoTree, CreateRejectsBadShapesAndKeepsTheTree) {
    const std::string prefix = "@kr::TBaseOctoTree::Create(const limits3d&, unsigned): ";
    const struct {
        limits3d limits;
        unsigned levels;
        const char* reason;
    } cases[] = {
        {kCube, 0, "Invalid argument LevelsCount"},
        {kCube, 22, "Invalid argument LevelsCount"},
        {limits3d(), 3, "Invalid argument Limits"},
        {limits3d(vec3d(0, 0, 0), vec3d(1, 1, 0)), 3, "Invalid argument Limits"},
        {limits3d(vec3d(0, 2, 0), vec3d(1, 1, 1)), 3, "Invalid argument Limits"},
        {limits3d(vec3d(0, 0, kNaN), vec3d(1, 1, 1)), 3, "Invalid argument Limits"},
        {limits3d(vec3d(0, 0, 0), vec3d(1, kInf, 1)), 3, "Invalid argument Limits"},
        {limits3d(vec3d(-1e308, 0, 0), vec3d(1e308, 1, 1)), 3, "Invalid argument Limits"},
        {limits3d(vec3d(0, 0, 0), vec3d(1e-320, 1, 1)), 21, "Invalid argument Limits"}, // scale overflows
    };
    kr::TRangeOctoTreeI<int> tree;
    tree.Create(kCube, 3);
    tree.AddValue(vec3d(1, 1, 1), 5);
    for (const auto& k : cases) {
        EXPECT_THAT([&] { tree.Create(k.limits, k.levels); },
                    ThrowsMessage<TKrMessage>(testing::StrEq(prefix + k.reason)));
        EXPECT_EQ(tree.GetNodesCount(), 17u);
    }
    tree.Create(kCube, 21);
    EXPECT_EQ(tree.GetCellsPerSide(), 1 << 20);
    tree.Destroy();
    EXPECT_FALSE(tree.IsCreated());
    EXPECT_FALSE(tree.AddValue(vec3d(1, 1, 1), 5));
    EXPECT_FALSE(tree.GetRange(kCube, nullptr));
}

TEST(KrBaseOctoTree, ClampedIndexOfPoints) {
    kr::TRangeOctoTreeI<int> tree;
    tree.Create(limits3d(vec3d(0, 0, 0), vec3d(8, 4, 2)), 4); // 8 cells per side
    using index_t = kr::TBaseOctoTree::index_t;
    const struct {
        vec3d p;
        bool ok;
        index_t cell;
    } cases[] = {
        {{0, 0, 0}, true, {0, 0, 0}},
        {{1, 0.5, 0.25}, true, {1, 1, 1}},
        {{7.999, 3.999, 1.999}, true, {7, 7, 7}},
        {{8, 4, 2}, true, {7, 7, 7}}, // the far border belongs to the last cell
        {{-5, 100, 1e300}, true, {0, 7, 7}},
        {{-kInf, kInf, 0}, true, {0, 7, 0}},
        {{kNaN, 0, 0}, false, {9, 9, 9}},
    };
    for (const auto& k : cases) {
        index_t cell(9, 9, 9);
        EXPECT_EQ(tree.GetLocalClamptedIndex(k.p, &cell), k.ok) << k.p.x;
        EXPECT_EQ(cell, k.cell) << k.p.x << " " << k.p.y << " " << k.p.z;
    }
}

TYPED_TEST(KrRangeOctoTreeT, RangesMatchBruteForce) {
    for (const unsigned levels : {1u, 2u, 4u, 7u}) {
        typename TestFixture::TTree tree;
        tree.Create(kCube, levels);
        std::vector<typename TestFixture::SValue> values;
        this->Fill(tree, values, 500, levels);
        this->CheckQueries(tree, values, levels + 100);
    }
    typename TestFixture::TTree tree = this->Sample();
    typename TestFixture::TRange r{1, 2};
    for (const limits3d& box : {limits3d(), limits3d(vec3d(9, 0, 0), vec3d(10, 8, 8)),
                                limits3d(vec3d(0, 0, 0), vec3d(kNaN, 1, 1)),
                                limits3d(vec3d(2, 2, 2), vec3d(1, 3, 3))})
        EXPECT_FALSE(tree.GetRange(box, &r));
    EXPECT_EQ(r, (typename TestFixture::TRange{1, 2}));
}

TYPED_TEST(KrRangeOctoTreeT, CellRangesTakeEffectAfterTheUpdate) {
    using TTree = typename TestFixture::TTree;
    TTree tree;
    tree.Create(kCube, 3); // 4 cells per side
    const typename TTree::index_t a(0, 0, 0), b(3, 3, 3);
    EXPECT_TRUE(tree.SetCellRange(a, {-5, 5}));
    EXPECT_TRUE(tree.SetCellRange(b, {7, 9}));
    EXPECT_FALSE(tree.SetCellRange(typename TTree::index_t(4, 0, 0), {1, 1}));
    typename TTree::range_t r;
    ASSERT_TRUE(tree.GetRange(kCube, &r));
    EXPECT_TRUE(r.empty()) << "the root is stale until updated";
    EXPECT_EQ(tree.GetCellRange(b), (typename TTree::range_t{7, 9}));

    // Updating b's parent and then the root by hand, as UpdateNodesRange would.
    const std::uint32_t bParent = tree.GetFirstChild(0) + 7;
    tree.UpdateNodeRange(bParent);
    tree.UpdateNodeRange(0);
    EXPECT_EQ(tree.GetNodeRange(0), (typename TTree::range_t{7, 9}));
    tree.UpdateNodesRange();
    EXPECT_EQ(tree.GetNodeRange(0), (typename TTree::range_t{-5, 9}));
    EXPECT_TRUE(tree.SetCellRange(a, {3, 2})); // an inverted range is the empty one
    tree.UpdateNodesRange();
    EXPECT_EQ(tree.GetNodeRange(0), (typename TTree::range_t{7, 9}));
    EXPECT_THROW(tree.UpdateNodeRange(static_cast<std::uint32_t>(tree.GetNodesCount())), std::out_of_range);
}

TYPED_TEST(KrRangeOctoTreeT, StreamAndXIniRoundTrips) {
    using TTree = typename TestFixture::TTree;
    std::vector<typename TestFixture::SValue> values;
    const TTree tree = this->Sample(&values);
    const std::string bytes = Saved(tree);

    TTree fromStream;
    LoadBytes(fromStream, bytes);
    EXPECT_EQ(Saved(fromStream), bytes);
    this->CheckQueries(fromStream, values, 1);

    // Through an XIni tree, and through XIni text made from it.
    TKrXIniTreeWriter w(nullptr);
    w.BeginSectionSE("octree");
    XIniSaveE(&w, tree);
    w.EndSectionE();
    TKrMemoryStream text;
    ASSERT_TRUE(WriteKrXIniTree(&text, w.GetRoot().get(), 0, true, nullptr));
    text.setPosition(0);
    var_a<TKrXIniTree*> parsed = ReadKrXIniTree(&text, true, nullptr);
    for (const var_a<TKrXIniTree*>& root : {w.GetRoot(), parsed}) {
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

    // Streams rebuilt with a matching checksum, so that the structure checks speak.
    const std::size_t count = (bytes.size() - 76) / (1 + 2 * sizeof(TypeParam));
    const SParts good{bytes.substr(0, 72), bytes.substr(72, count), bytes.substr(72 + count, count * 2 * sizeof(TypeParam))};
    const std::uint32_t otherSize = sizeof(TypeParam) == 4 ? 8 : 4;
    const struct {
        std::string input;
        const char* reason;
    } cases[] = {
        {good.Patched(8, 2u).Join(), "unsupported version 2"},
        {good.Patched(12, otherSize).Join(), "value size"},
        {good.Patched(16, 2u).Join(), "invalid node count"}, // more nodes than 2 levels hold
        {good.Patched(16, 0u).Join(), "Invalid argument LevelsCount"},
        {good.Patched(20, kNaN).Join(), "Invalid argument Limits"},
        {good.Patched(68, 10u).Join(), "invalid node count 10"},
        {good.Patched(68, 9u).Cut(9).Join(), "has too few children"},
        {good.Patched(16, 21u).Patched(68, 0xFFFFFFF9u).Join(), "the data ends early"}, // no 4 GiB allocation
        {good.Flag(count - 1, 1).Join(), "of the finest level is split"},
        {good.Flag(3, 2).Join(), "invalid split flag 2 at node 3"},
        {good.Flag(0, 0).Join(), "node 0 holds values without children"},
        {good.Flag(0, 0).Range(0, TTree::EmptyRange()).Join(), "node 1 has no parent"},
        {good.Range(5, typename TTree::range_t{1, 0}).Join(), "invalid range at node 5"},
        {bytes.substr(0, 8) + std::string(bytes.size(), '\0'), "unsupported version 0"},
        {"KrOcTre", "the data ends early"},
        {"KrOcTrex", "wrong signature"},
    };
    for (const auto& k : cases)
        EXPECT_THAT([&] { LoadBytes(tree, k.input); },
                    ThrowsMessage<TKrMessage>(
                        AllOf(StartsWith("@kr::TRangeOctoTreeI::LoadE(TKrStream*): "), HasSubstr(k.reason))));
}

TYPED_TEST(KrRangeOctoTreeT, AlteredXIniFailsWithAMessage) {
    using TTree = typename TestFixture::TTree;
    const TTree tree = this->Sample();
    const long count = static_cast<long>(tree.GetNodesCount());
    const struct {
        const char* item;
        long value;
        std::string reason;
    } cases[] = {
        {"levels", 0, "Invalid argument LevelsCount"},
        {"levels", -3, "Invalid argument LevelsCount"},
        {"levels", 2, "invalid node count"},
        {"value_size", 2, "value size 2 where"},
        {"nodes", count + 1, std::to_string(count) + " split flags for " + std::to_string(count + 1) + " nodes"},
        {"version", 7, "unsupported version 7"},
    };
    for (const auto& k : cases) {
        TKrXIniTreeWriter w(nullptr);
        w.BeginSectionSE("octree");
        XIniSaveE(&w, tree);
        w.Write(w.FindFE(k.item, 0), k.value);
        w.EndSectionE();
        TKrXIniTreeReader r(w.GetRoot());
        TTree loaded;
        EXPECT_THAT([&] { XIniLoadSE(&r, "octree", loaded); },
                    ThrowsMessage<TKrMessage>(HasSubstr(std::string("XIniLoadE(TKrXIniReader*, size_t): ") + k.reason)))
            << k.item;
        EXPECT_FALSE(loaded.IsCreated());
    }
    TKrXIniTreeWriter w(nullptr);
    w.BeginSectionSE("octree");
    w.WriteSE("version", 1);
    w.EndSectionE();
    TKrXIniTreeReader r(w.GetRoot());
    TTree loaded;
    EXPECT_THROW(XIniLoadSE(&r, "octree", loaded), TKrMessage); // items missing
}
