// TKrXIniTree: storage, deep copy, searches, splicing, comparison and the debug dump.
#include "XIni/KrXIniTree.h"
#include "Streams/KrBufferedWriter.h"
#include "Streams/KrStream.h"
#include "Xml/KrXmlEscape.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace {

using TItem = TKrXIniTree::TItem;

bool NameEquals(const std::string& name, const char* s, std::size_t len) noexcept {
    return name.size() == len && (len == 0 || std::memcmp(name.data(), s, len) == 0);
}

// A null name pointer reads as the empty name whatever length comes with it.
std::size_t SafeLength(const char* s, std::size_t len) noexcept {
    return s ? len : 0;
}

// Raw XML attribute text as the tree stores it: entities and character references resolved.
std::string DecodeXmlText(const char* begin, const char* end) {
    if (!begin || !end || end <= begin) return std::string();
    return KrDecodeStringXml(begin, static_cast<std::size_t>(end - begin));
}

// The dump's stream operators over the buffered writer, so the stream sees few large writes.
// Failures are ignored: the dump is a debugging aid.
class TDumpBuffer {
public:
    explicit TDumpBuffer(TKrStream* stream) : m_out(stream, 64 * 1024) {}
    ~TDumpBuffer() { m_out.Flush(); }
    TDumpBuffer(const TDumpBuffer&) = delete;
    TDumpBuffer& operator=(const TDumpBuffer&) = delete;

    TDumpBuffer& operator<<(const std::string& s) {
        m_out.Write(s.data(), s.size());
        return *this;
    }
    TDumpBuffer& operator<<(const char* s) {
        m_out.Write(s, std::strlen(s));
        return *this;
    }
    TDumpBuffer& Blanks(std::size_t indent) {
        for (std::size_t i = 0; i < 2 * indent; ++i)
            m_out.Write(' ');
        return *this;
    }

private:
    TKrBufferedWriter m_out;
};

} // namespace

TKrXIniTree::TKrXIniTree(const TKrXIniTree& other) {
    CopyFrom(&other);
}

TKrXIniTree& TKrXIniTree::operator=(const TKrXIniTree& other) {
    if (this != &other) {
        TKrXIniTree copy(other);
        m_items.swap(copy.m_items);
    }
    return *this;
}

TKrXIniTree& TKrXIniTree::operator=(TKrXIniTree&& other) noexcept {
    if (this != &other) {
        TKrXIniTree old(std::move(*this));
        m_items = std::move(other.m_items);
        other.m_items.clear();
    }
    return *this;
}

TKrXIniTree::~TKrXIniTree() {
    // Children whose last owner we are get their own children taken away before they go, so each
    // nested destructor finds a flat tree. Shared children are merely released.
    try {
        std::vector<var_a<TKrXIniTree*>> pending;
        for (TItem& item : m_items)
            if (item.child) pending.push_back(std::move(item.child));
        while (!pending.empty()) {
            var_a<TKrXIniTree*> tree = std::move(pending.back());
            pending.pop_back();
            if (tree.use_count() == 1)
                for (TItem& item : tree->m_items)
                    if (item.child) pending.push_back(std::move(item.child));
        }
    } catch (...) {
        // Out of memory for the work list: whatever is left is released recursively.
    }
}

TKrXIniTree::TItem& TKrXIniTree::Append() {
    if (m_items.size() == m_items.capacity()) m_items.reserve(m_items.empty() ? 4 : m_items.size() * 2);
    return m_items.emplace_back();
}

void TKrXIniTree::CopyFrom(const TKrXIniTree* other) {
    if (!other) return;
    // The copy is built apart and moved in at the end, so `other` never changes while it is read
    // even when it is this tree or one of its ancestors or descendants.
    TKrXIniTree copy;
    std::vector<std::pair<const TKrXIniTree*, TKrXIniTree*>> work{{other, &copy}};
    while (!work.empty()) {
        const auto [src, dst] = work.back();
        work.pop_back();
        dst->m_items.reserve(src->m_items.size());
        for (const TItem& item : src->m_items) {
            if (item.type == TE_KrXIniItemType::Section) {
                var_a<TKrXIniTree*> child = dst->AddSection(item.name);
                if (item.child && !item.child->m_items.empty())
                    work.emplace_back(item.child.get(), child.get());
            } else {
                TItem& copied = dst->m_items.emplace_back(); // room was reserved above
                copied.type = item.type;
                copied.name = item.name;
                copied.value = item.value;
            }
        }
    }
    if (m_items.empty()) {
        m_items.swap(copy.m_items);
        return;
    }
    m_items.reserve(m_items.size() + copy.m_items.size());
    for (TItem& item : copy.m_items)
        m_items.push_back(std::move(item));
}

bool TKrXIniTree::Clear() {
    if (m_items.empty()) return false;
    m_items.clear();
    return true;
}

var_a<TKrXIniTree*> TKrXIniTree::CreateCopy() const {
    return new_a<TKrXIniTree>(*this);
}

std::size_t TKrXIniTree::Count(const std::string& name) const noexcept {
    return Count(name.data(), name.size());
}

std::size_t TKrXIniTree::Count(const char* name, std::size_t len) const noexcept {
    len = SafeLength(name, len);
    std::size_t n = 0;
    for (const TItem& item : m_items)
        n += NameEquals(item.name, name, len);
    return n;
}

std::size_t TKrXIniTree::FindItemIndexF(const std::string& name, std::size_t start) const noexcept {
    return FindItemIndexF(name.data(), name.size(), start);
}

std::size_t TKrXIniTree::FindItemIndexF(const char* name, std::size_t len, std::size_t start) const noexcept {
    len = SafeLength(name, len);
    for (std::size_t i = start; i < m_items.size(); ++i)
        if (NameEquals(m_items[i].name, name, len)) return i;
    return npos;
}

std::size_t TKrXIniTree::FindItemIndexC(const std::string& name, std::size_t start) const noexcept {
    return FindItemIndexC(name.data(), name.size(), start);
}

std::size_t TKrXIniTree::FindItemIndexC(const char* name, std::size_t len, std::size_t start) const noexcept {
    const std::size_t found = FindItemIndexF(name, len, start);
    if (found != npos) return found;
    len = SafeLength(name, len);
    const std::size_t stop = std::min(start, m_items.size());
    for (std::size_t i = 0; i < stop; ++i)
        if (NameEquals(m_items[i].name, name, len)) return i;
    return npos;
}

var_a<TKrXIniTree*> TKrXIniTree::AddSection(const std::string& name) {
    var_a<TKrXIniTree*> child = new_a<TKrXIniTree>();
    if (m_items.size() == m_items.capacity()) {
        // Growing moves the items, and `name` may be one of theirs: take a copy first.
        std::string n(name);
        TItem& item = Append();
        item.name = std::move(n);
        item.type = TE_KrXIniItemType::Section;
        item.child = child;
        return child;
    }
    TItem& item = m_items.emplace_back();
    item.type = TE_KrXIniItemType::Section;
    item.name = name;
    item.child = child;
    return child;
}

var_a<TKrXIniTree*> TKrXIniTree::AddSectionRaw(const char* begin, const char* end) {
    return AddSection(DecodeXmlText(begin, end));
}

void TKrXIniTree::AddItem(TKrXIniItemType type, const std::string& name, const std::string& value) {
    if (m_items.size() == m_items.capacity()) {
        // Growing moves the items, and the texts may be theirs: take copies first.
        std::string n(name), v(value);
        TItem& item = Append();
        item.type = type;
        item.name = std::move(n);
        item.value = std::move(v);
        return;
    }
    TItem& item = m_items.emplace_back();
    item.type = type;
    item.name = name;
    item.value = value;
}

void TKrXIniTree::AddItemRaw(TKrXIniItemType type, const char* nameBegin, const char* nameEnd,
                             const char* valueBegin, const char* valueEnd) {
    std::string name = DecodeXmlText(nameBegin, nameEnd);
    std::string value = DecodeXmlText(valueBegin, valueEnd);
    TItem& item = Append();
    item.type = type;
    item.name = std::move(name);
    item.value = std::move(value);
}

void TKrXIniTree::Splice(TKrXIniTree* other) {
    if (!other) return;
    const std::size_t base = m_items.size();
    const std::size_t n = other->m_items.size();
    const std::size_t want = base + n;
    if (want > m_items.capacity())
        m_items.reserve(std::max(want, m_items.capacity() + m_items.capacity() / 2));
    m_items.resize(want);
    // Indexes, not references: when other is this tree the vector was just resized.
    for (std::size_t i = 0; i < n; ++i)
        std::swap(m_items[base + i], other->m_items[i]);
}

bool TKrXIniTree::EqualHierarchy(const TKrXIniTree& other) const {
    return Equal(other, false);
}

bool TKrXIniTree::EqualContent(const TKrXIniTree& other) const {
    return Equal(other, true);
}

bool TKrXIniTree::Equal(const TKrXIniTree& other, bool values) const {
    std::vector<std::pair<const TKrXIniTree*, const TKrXIniTree*>> work{{this, &other}};
    while (!work.empty()) {
        const auto [a, b] = work.back();
        work.pop_back();
        if (a == b) continue;
        if (a->m_items.size() != b->m_items.size()) return false;
        for (std::size_t i = 0; i < a->m_items.size(); ++i) {
            const TItem& x = a->m_items[i];
            const TItem& y = b->m_items[i];
            if (x.type != y.type || x.name != y.name || (values && x.value != y.value)) return false;
            if (x.type != TE_KrXIniItemType::Section) continue;
            if (!x.child != !y.child) return false;
            if (x.child) work.emplace_back(x.child.get(), y.child.get());
        }
    }
    return true;
}

bool TKrXIniTree::Delete(std::size_t index) {
    return Delete(index, 1);
}

bool TKrXIniTree::Delete(std::size_t index, std::size_t count) {
    if (index >= m_items.size()) return false;
    count = std::min(count, m_items.size() - index);
    m_items.erase(m_items.begin() + index, m_items.begin() + index + count);
    return true;
}

void TKrXIniTree::DebugPrint(TKrStream* stream, std::size_t indent) const {
    if (!stream) return;
    TDumpBuffer out(stream);
    struct TFrame {
        const TKrXIniTree* tree;
        std::size_t next;
        std::size_t indent;
    };
    std::vector<TFrame> stack{{this, 0, indent}};
    while (!stack.empty()) {
        TFrame& frame = stack.back();
        if (frame.next == frame.tree->m_items.size()) {
            stack.pop_back();
            if (!stack.empty()) out.Blanks(stack.back().indent) << "</x>\n";
            continue;
        }
        const TItem& item = frame.tree->m_items[frame.next++];
        const std::size_t level = frame.indent;
        out.Blanks(level);
        switch (item.type) {
        case TE_KrXIniItemType::Invalid:
            out << "<Invalid/>\n";
            break;
        case TE_KrXIniItemType::Section:
            out << "<x n=\"" << item.name << "\">\n";
            if (item.child) {
                stack.push_back({item.child.get(), 0, level + 1}); // frame is dangling from here on
            } else {
                out.Blanks(level + 1) << "(null)\n";
                out.Blanks(level) << "</x>\n";
            }
            break;
        case TE_KrXIniItemType::Integer:
        case TE_KrXIniItemType::Double:
        case TE_KrXIniItemType::String:
            out << (item.type == TE_KrXIniItemType::Integer  ? "<i n=\""
                    : item.type == TE_KrXIniItemType::Double ? "<d n=\""
                                                             : "<s n=\"")
                << item.name << "\" v=\"" << item.value << "\"/>\n";
            break;
        case TE_KrXIniItemType::Binary:
            out << "<b n=\"" << item.name << "\">\n";
            out.Blanks(level + 1) << "<!-- base64 -->" << item.value << "<!-- end -->\n";
            out.Blanks(level) << "</b>\n";
            break;
        default:
            out << "<unknown(" << std::to_string(static_cast<int>(item.type)) << ") n=\"" << item.name
                << "\" v=\"" << item.value << "\"/>\n";
            break;
        }
    }
}
