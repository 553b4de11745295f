// kr::TRangeOctoTreeI: value ranges per node, range queries, checked stream and XIni persistence.
#include "Math/Index/KrRangeOctoTree.h"

#include "Core/KrMessage.h"
#include "Streams/KrStream.h"
#include "Utils/KrCrc32.h"
#include "XIni/KrXIniReader.h"
#include "XIni/KrXIniWriter.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <stdexcept>

namespace kr {

namespace {

constexpr char kMagic[8] = {'K', 'r', 'O', 'c', 'T', 'r', 'e', 'e'};
constexpr std::uint32_t kVersion = 1;
constexpr std::size_t kHeaderSize = 8 + 4 + 4 + 4 + 6 * 8 + 4;

const char* const kLoadE = "kr::TRangeOctoTreeI::LoadE(TKrStream*)";
const char* const kSaveE = "kr::TRangeOctoTreeI::SaveE(TKrStream*)";
const char* const kXIniLoadE = "kr::TRangeOctoTreeI::XIniLoadE(TKrXIniReader*, size_t)";
const char* const kXIniSaveE = "kr::TRangeOctoTreeI::XIniSaveE(TKrXIniWriter*)";

// XIni item names.
const std::string kValueSize = "value_size";
const std::string kLevels = "levels";
const std::string kNodes = "nodes";
const std::string kSplit = "split";
const std::string kRanges = "ranges";
const std::string kVersionName = "version";
const std::string kMin = "min";
const std::string kMax = "max";

TKrMessage Failure(const char* where, const char* reason) {
    return TKrMessage(std::string("@") + where + ": " + reason);
}

// The most nodes a tree of `levels` levels can have: 1 + 8 + ... + 8^(levels − 1).
std::uint64_t MaxNodes(unsigned levels) {
    std::uint64_t total = 0, level = 1;
    for (unsigned i = 0; i < levels && total <= 0xFFFFFFFFu; ++i, level *= 8)
        total += level;
    return total;
}

template <class V> void Put(std::string& out, V value) {
    char bytes[sizeof value];
    std::memcpy(bytes, &value, sizeof value);
    out.append(bytes, sizeof value);
}

template <class V> V Get(const char* at) {
    V value;
    std::memcpy(&value, at, sizeof value);
    return value;
}

} // namespace

template <class T> void TRangeOctoTreeI<T>::Create(const limits3d& limits, unsigned levels) {
    TBaseOctoTree::Create(limits, levels);
    m_ranges.assign(1, EmptyRange());
}

template <class T> void TRangeOctoTreeI<T>::Destroy() noexcept {
    TBaseOctoTree::Destroy();
    std::vector<range_t>().swap(m_ranges);
}

template <class T> std::uint32_t TRangeOctoTreeI<T>::SplitNode(std::uint32_t node) {
    // Ranges first: when splitting fails the surplus ranges are dropped again.
    const std::size_t count = GetNodesCount();
    m_ranges.resize(count + 8, EmptyRange());
    try {
        return Split(node);
    } catch (...) {
        m_ranges.resize(count);
        throw;
    }
}

template <class T> bool TRangeOctoTreeI<T>::AddValue(const vec3d& p, T value) {
    index_t cell;
    if (!GetLocalClamptedIndex(p, &cell)) return false;
    const unsigned levels = GetLevels();
    std::uint32_t node = 0;
    for (unsigned level = 0;; ++level) {
        range_t& r = m_ranges[node];
        if (r.empty()) {
            r = {value, value};
        } else {
            r.min = std::min(r.min, value);
            r.max = std::max(r.max, value);
        }
        if (level + 1 >= levels) break;
        std::uint32_t first = m_firstChild[node];
        if (!first) first = SplitNode(node);
        node = first + ChildSlot(cell, level, levels);
    }
    return true;
}

template <class T> bool TRangeOctoTreeI<T>::SetCellRange(const index_t& cell, const range_t& range) {
    const int n = GetCellsPerSide();
    if (!IsCreated() || cell.x < 0 || cell.y < 0 || cell.z < 0 || cell.x >= n || cell.y >= n || cell.z >= n)
        return false;
    const unsigned levels = GetLevels();
    std::uint32_t node = 0;
    for (unsigned level = 0; level + 1 < levels; ++level) {
        std::uint32_t first = m_firstChild[node];
        if (!first) first = SplitNode(node);
        node = first + ChildSlot(cell, level, levels);
    }
    m_ranges[node] = range.empty() ? EmptyRange() : range;
    return true;
}

template <class T>
typename TRangeOctoTreeI<T>::range_t TRangeOctoTreeI<T>::GetCellRange(const index_t& cell) const {
    const int n = GetCellsPerSide();
    if (!IsCreated() || cell.x < 0 || cell.y < 0 || cell.z < 0 || cell.x >= n || cell.y >= n || cell.z >= n)
        return EmptyRange();
    const unsigned levels = GetLevels();
    std::uint32_t node = 0;
    for (unsigned level = 0; level + 1 < levels; ++level) {
        const std::uint32_t first = m_firstChild[node];
        if (!first) return EmptyRange();
        node = first + ChildSlot(cell, level, levels);
    }
    return m_ranges[node];
}

template <class T>
const typename TRangeOctoTreeI<T>::range_t& TRangeOctoTreeI<T>::GetNodeRange(std::uint32_t node) const {
    if (node >= m_ranges.size()) throw std::out_of_range("kr::TRangeOctoTreeI: node number out of range");
    return m_ranges[node];
}

template <class T> void TRangeOctoTreeI<T>::UpdateNodeRange(std::uint32_t node) {
    if (node >= m_ranges.size()) throw std::out_of_range("kr::TRangeOctoTreeI: node number out of range");
    const std::uint32_t first = m_firstChild[node];
    if (!first) return;
    range_t r = EmptyRange();
    for (std::uint32_t k = first; k < first + 8; ++k) {
        const range_t& c = m_ranges[k];
        if (c.empty()) continue;
        r.min = std::min(r.min, c.min);
        r.max = std::max(r.max, c.max);
    }
    m_ranges[node] = r;
}

template <class T> void TRangeOctoTreeI<T>::UpdateNodesRange() {
    // Children always have higher numbers than their parent: going down the numbers updates
    // every child before its parent.
    for (std::size_t n = m_ranges.size(); n-- > 0;)
        UpdateNodeRange(static_cast<std::uint32_t>(n));
}

template <class T> bool TRangeOctoTreeI<T>::GetRange(const limits3d& box, range_t* range) const {
    if (!IsCreated() || box.is_empty()) return false;
    const limits3d& lim = GetLimits();
    for (std::size_t a = 0; a < 3; ++a) {
        // Written so that NaN fails.
        if (!(box.min[a] <= box.max[a] && box.max[a] >= lim.min[a] && box.min[a] <= lim.max[a])) return false;
    }
    index_t lo, hi;
    GetLocalClamptedIndex(box.min, &lo);
    GetLocalClamptedIndex(box.max, &hi);

    range_t r = EmptyRange();
    const unsigned levels = GetLevels();
    // Depth-first over the nodes whose cubes meet the cell range [lo, hi]; at most 21 levels.
    struct SVisit {
        std::uint32_t node;
        unsigned level;
        index_t origin;
    };
    SVisit stack[8 * kMaxLevels];
    std::size_t top = 0;
    stack[top++] = {0, 0, index_t(0, 0, 0)};
    while (top) {
        const SVisit v = stack[--top];
        const int size = 1 << (levels - 1 - v.level);
        const std::uint32_t first = m_firstChild[v.node];
        const bool inside = v.origin.x >= lo.x && v.origin.y >= lo.y && v.origin.z >= lo.z &&
                            v.origin.x + size - 1 <= hi.x && v.origin.y + size - 1 <= hi.y &&
                            v.origin.z + size - 1 <= hi.z;
        if (inside || !first) {
            const range_t& c = m_ranges[v.node];
            if (!c.empty()) {
                r.min = std::min(r.min, c.min);
                r.max = std::max(r.max, c.max);
            }
            continue;
        }
        const int half = size / 2;
        for (unsigned k = 0; k < 8; ++k) {
            const index_t o(v.origin.x + ((k & 1) ? half : 0), v.origin.y + ((k & 2) ? half : 0),
                            v.origin.z + ((k & 4) ? half : 0));
            if (o.x > hi.x || o.y > hi.y || o.z > hi.z || o.x + half - 1 < lo.x || o.y + half - 1 < lo.y ||
                o.z + half - 1 < lo.z)
                continue;
            stack[top++] = {first + k, v.level + 1, o};
        }
    }
    if (range) *range = r;
    return true;
}

template <class T> void TRangeOctoTreeI<T>::Flatten(std::string& split, std::string& ranges) const {
    const std::size_t count = GetNodesCount();
    std::vector<std::uint32_t> order;
    order.reserve(count);
    order.push_back(0);
    split.clear();
    split.reserve(count);
    for (std::size_t i = 0; i < order.size(); ++i) {
        const std::uint32_t first = m_firstChild[order[i]];
        split.push_back(first ? 1 : 0);
        if (first)
            for (std::uint32_t k = 0; k < 8; ++k)
                order.push_back(first + k);
    }
    ranges.clear();
    ranges.reserve(count * 2 * sizeof(T));
    for (const std::uint32_t n : order) {
        Put(ranges, m_ranges[n].min);
        Put(ranges, m_ranges[n].max);
    }
}

template <class T>
void TRangeOctoTreeI<T>::Replace(const limits3d& limits, unsigned levels, const std::string& split,
                                 const std::string& ranges, const char* where) {
    const std::string shape = CheckShape(limits, levels);
    if (!shape.empty()) throw Failure(where, shape.c_str());
    const std::size_t count = split.size();
    if (count == 0 || (count - 1) % 8 != 0 || count > MaxNodes(levels))
        throw TKrMessage(std::string("@") + where + ": invalid node count %1%") << count;
    if (ranges.size() != count * 2 * sizeof(T))
        throw TKrMessage(std::string("@") + where + ": %1% bytes of ranges where %2% are expected")
            << ranges.size() << count * 2 * sizeof(T);

    // Breadth-first: the k-th split node owns the k-th block of eight after the root.
    std::vector<std::uint32_t> firstChild(count, 0);
    std::vector<unsigned char> depth(count, 0);
    std::vector<range_t> values(count);
    std::size_t next = 1;
    for (std::size_t i = 0; i < count; ++i) {
        if (i >= next) throw TKrMessage(std::string("@") + where + ": node %1% has no parent") << i;
        const unsigned char flag = static_cast<unsigned char>(split[i]);
        if (flag > 1)
            throw TKrMessage(std::string("@") + where + ": invalid split flag %1% at node %2%")
                << unsigned(flag) << i;
        range_t& r = values[i];
        r.min = Get<T>(ranges.data() + i * 2 * sizeof(T));
        r.max = Get<T>(ranges.data() + (i * 2 + 1) * sizeof(T));
        if (r.empty() && r != EmptyRange())
            throw TKrMessage(std::string("@") + where + ": invalid range at node %1%") << i;
        if (flag) {
            if (depth[i] + 1u >= levels)
                throw TKrMessage(std::string("@") + where + ": node %1% of the finest level is split") << i;
            if (count - next < 8)
                throw TKrMessage(std::string("@") + where + ": node %1% has too few children") << i;
            firstChild[i] = static_cast<std::uint32_t>(next);
            for (std::size_t k = 0; k < 8; ++k)
                depth[next + k] = static_cast<unsigned char>(depth[i] + 1);
            next += 8;
        } else if (depth[i] + 1u < levels && !r.empty()) {
            throw TKrMessage(std::string("@") + where + ": node %1% holds values without children") << i;
        }
    }
    SetShape(limits, levels, std::move(firstChild));
    m_ranges.swap(values);
}

template <class T> void TRangeOctoTreeI<T>::SaveE(TKrStream* stream) const {
    if (!stream) throw Failure(kSaveE, "no stream");
    if (!IsCreated()) throw Failure(kSaveE, "the tree is not created");
    std::string split, ranges, head;
    Flatten(split, ranges);
    head.append(kMagic, sizeof kMagic);
    Put(head, kVersion);
    Put(head, static_cast<std::uint32_t>(sizeof(T)));
    Put(head, static_cast<std::uint32_t>(GetLevels()));
    for (const vec3d* corner : {&GetLimits().min, &GetLimits().max})
        for (std::size_t a = 0; a < 3; ++a)
            Put(head, (*corner)[a]);
    Put(head, static_cast<std::uint32_t>(split.size()));
    std::uint32_t crc = KrCrc32(0, head.data(), head.size());
    crc = KrCrc32(crc, split.data(), split.size());
    crc = KrCrc32(crc, ranges.data(), ranges.size());
    std::string tail;
    Put(tail, crc);
    for (const std::string* part : {&head, &split, &ranges, &tail})
        if (!stream->WriteAll(part->data(), part->size()))
            throw Failure(kSaveE, "the stream refused the data");
}

template <class T> void TRangeOctoTreeI<T>::LoadE(TKrStream* stream) {
    if (!stream) throw Failure(kLoadE, "no stream");
    std::uint32_t crc = 0;
    auto read = [&](char* to, std::size_t n) {
        if (!stream->ReadAll(to, n)) throw Failure(kLoadE, "the data ends early");
        crc = KrCrc32(crc, to, n);
    };
    // Grows `out` by what has actually arrived: a claimed size costs memory only once read.
    auto readBlock = [&](std::string& out, std::size_t n) {
        while (out.size() < n) {
            const std::size_t have = out.size();
            const std::size_t chunk = std::min(n - have, std::max<std::size_t>(have, 65536));
            out.resize(have + chunk);
            read(&out[have], chunk);
        }
    };

    char head[kHeaderSize];
    read(head, sizeof kMagic);
    if (std::memcmp(head, kMagic, sizeof kMagic) != 0)
        throw Failure(kLoadE, "wrong signature (no range octree)");
    read(head + sizeof kMagic, kHeaderSize - sizeof kMagic);
    const char* at = head + sizeof kMagic;
    const std::uint32_t version = Get<std::uint32_t>(at);
    const std::uint32_t valueSize = Get<std::uint32_t>(at + 4);
    const std::uint32_t levels = Get<std::uint32_t>(at + 8);
    if (version != kVersion)
        throw TKrMessage(std::string("@") + kLoadE + ": unsupported version %1%") << version;
    if (valueSize != sizeof(T))
        throw TKrMessage(std::string("@") + kLoadE + ": value size %1% where %2% is expected")
            << valueSize << static_cast<unsigned>(sizeof(T));
    limits3d limits(vec3d(Get<double>(at + 12), Get<double>(at + 20), Get<double>(at + 28)),
                    vec3d(Get<double>(at + 36), Get<double>(at + 44), Get<double>(at + 52)));
    const std::string shape = CheckShape(limits, levels);
    if (!shape.empty()) throw Failure(kLoadE, shape.c_str());
    const std::uint32_t count = Get<std::uint32_t>(at + 60);
    if (count == 0 || (count - 1) % 8 != 0 || count > MaxNodes(levels))
        throw TKrMessage(std::string("@") + kLoadE + ": invalid node count %1%") << count;

    std::string split, ranges;
    readBlock(split, count);
    readBlock(ranges, std::size_t(count) * 2 * sizeof(T));
    const std::uint32_t computed = crc;
    char tail[4];
    read(tail, sizeof tail);
    if (Get<std::uint32_t>(tail) != computed) throw Failure(kLoadE, "checksum mismatch");
    Replace(limits, levels, split, ranges, kLoadE);
}

template <class T> void TRangeOctoTreeI<T>::XIniSaveE(TKrXIniWriter* writer) const {
    if (!writer) throw Failure(kXIniSaveE, "no writer");
    if (!IsCreated()) throw Failure(kXIniSaveE, "the tree is not created");
    std::string split, ranges;
    Flatten(split, ranges);
    const limits3d& lim = GetLimits();
    writer->WriteSE(kVersionName, static_cast<int>(kVersion));
    writer->WriteSE(kValueSize, static_cast<int>(sizeof(T)));
    writer->WriteSE(kLevels, static_cast<int>(GetLevels()));
    writer->WriteDouble3SE(kMin, lim.min.x, lim.min.y, lim.min.z);
    writer->WriteDouble3SE(kMax, lim.max.x, lim.max.y, lim.max.z);
    writer->WriteSE(kNodes, static_cast<unsigned long>(split.size()));
    writer->WriteBinarySE(kSplit, split);
    writer->WriteBinarySE(kRanges, ranges);
}

template <class T> void TRangeOctoTreeI<T>::XIniLoadE(TKrXIniReader* reader, std::size_t index) {
    if (!reader) throw Failure(kXIniLoadE, "no reader");
    const std::size_t level = reader->EnterSectionE(index);
    try {
        const int version = reader->ReadE<int>(reader->FindFE(kVersionName, 0));
        if (version != static_cast<int>(kVersion))
            throw TKrMessage(std::string("@") + kXIniLoadE + ": unsupported version %1%") << version;
        const int valueSize = reader->ReadE<int>(reader->FindFE(kValueSize, 0));
        if (valueSize != static_cast<int>(sizeof(T)))
            throw TKrMessage(std::string("@") + kXIniLoadE + ": value size %1% where %2% is expected")
                << valueSize << static_cast<unsigned>(sizeof(T));
        const int levels = reader->ReadE<int>(reader->FindFE(kLevels, 0));
        limits3d limits{vec3d(), vec3d()};
        reader->ReadDouble3E(reader->FindFE(kMin, 0), &limits.min.x, &limits.min.y, &limits.min.z);
        reader->ReadDouble3E(reader->FindFE(kMax, 0), &limits.max.x, &limits.max.y, &limits.max.z);
        const unsigned long count = reader->ReadE<unsigned long>(reader->FindFE(kNodes, 0));
        const std::string split = reader->ReadBinaryE(reader->FindFE(kSplit, 0));
        if (split.size() != count)
            throw TKrMessage(std::string("@") + kXIniLoadE + ": %1% split flags for %2% nodes")
                << split.size() << count;
        const std::string ranges = reader->ReadBinaryE(reader->FindFE(kRanges, 0));
        Replace(limits, levels < 0 ? 0u : static_cast<unsigned>(levels), split, ranges, kXIniLoadE);
    } catch (...) {
        reader->ExitSection(level);
        throw;
    }
    reader->ExitSectionE(level);
}

template class TRangeOctoTreeI<int>;
template class TRangeOctoTreeI<long>;

} // namespace kr
