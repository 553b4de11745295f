// TKrXIniTree: storage, deep copy, searches, splicing, comparison and the debug dump.
#include "XIni/KrXIniTree.h"
#include "Streams/KrBufferedWriter.h"
#include "Streams/KrStream.h"
#include "Xml/KrXmlEscape.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string_view>
#include <utility>
#include <vector>

namespace {

using TItem = TKrXIniTree::TItem;

bool NameEquals(const TKrXIniString& name, const char* s, std::size_t len) noexcept {
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

    TDumpBuffer& operator<<(std::string_view s) {
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

TKrXIniTree::TKrXIniTree(TKrXIniTree&& other) noexcept
    : m_items(std::exchange(other.m_items, nullptr)), m_count(std::exchange(other.m_count, 0)),
      m_capacity(std::exchange(other.m_capacity, 0)), m_store(std::move(other.m_store)) {}

TKrXIniTree& TKrXIniTree::operator=(const TKrXIniTree& other) {
    if (this != &other) {
        TKrXIniTree copy(other);
        *this = std::move(copy);
    }
    return *this;
}

TKrXIniTree& TKrXIniTree::operator=(TKrXIniTree&& other) noexcept {
    if (this != &other) {
        // The old content goes after the new is in place: `other` may live inside it.
        TKrXIniTree old(std::move(*this));
        m_items = std::exchange(other.m_items, nullptr);
        m_count = std::exchange(other.m_count, 0);
        m_capacity = std::exchange(other.m_capacity, 0);
        m_store = std::move(other.m_store);
    }
    return *this;
}

TKrXIniTree::~TKrXIniTree() {
    if (!m_count) { // the common end of trees taken apart by their parent's destructor
        Release();
        return;
    }
    // Trees whose last owner we are get taken apart here, their children gathered on a work
    // list, so each nested destructor finds a flat tree and every item is visited once.
    // Shared children are merely released.
    try {
        std::vector<var_a<TKrXIniTree*>> pending;
        TakeApart(pending);
        while (!pending.empty()) {
            var_a<TKrXIniTree*> tree = std::move(pending.back());
            pending.pop_back();
            // The next tree's count and first items are fetched while this one is taken apart.
            if (!pending.empty()) {
                const char* next = reinterpret_cast<const char*>(pending.back().item());
                for (int line = 0; line < 6; ++line)
                    __builtin_prefetch(next + 64 * line);
            }
            if (tree.use_count() == 1) tree->TakeApart(pending);
        }
    } catch (...) {
        // Out of memory for the work list: whatever is left is released recursively.
    }
    Release();
}

void TKrXIniTree::TakeApart(std::vector<var_a<TKrXIniTree*>>& pending) {
    if (pending.capacity() - pending.size() < m_count)
        pending.reserve(std::max(pending.capacity() * 2, pending.size() + m_count));
    const std::size_t first = pending.size();
    for (std::size_t i = 0; i < m_count; ++i) {
        TItem& item = m_items[i];
        if (item.child) pending.push_back(std::move(item.child)); // room was reserved above
        item.~TItem();
    }
    // The work list hands the children back in document order, the order a document's trees
    // lie in memory.
    std::reverse(pending.begin() + std::ptrdiff_t(first), pending.end());
    m_count = 0;
    Release();
}

void TKrXIniTree::Release() noexcept {
    for (std::size_t i = 0; i < m_count; ++i)
        m_items[i].~TItem();
    if (m_capacity) ::operator delete(static_cast<void*>(m_items));
    m_items = nullptr;
    m_count = 0;
    m_capacity = 0;
}

void TKrXIniTree::Reserve(std::size_t capacity) {
    if (capacity <= m_capacity || capacity <= m_count) return;
    if (capacity > std::size_t(-1) / sizeof(TItem)) throw std::bad_alloc();
    auto* items = static_cast<TItem*>(::operator new(capacity * sizeof(TItem)));
    if (m_count)
        std::memcpy(static_cast<void*>(items), static_cast<const void*>(m_items), m_count * sizeof(TItem));
    if (m_capacity) ::operator delete(static_cast<void*>(m_items));
    m_items = items;
    m_capacity = capacity;
}

TKrXIniTree::TItem& TKrXIniTree::Append() {
    if (m_count >= m_capacity) Reserve(m_count ? m_count * 2 : 4);
    return *::new (static_cast<void*>(m_items + m_count++)) TItem();
}

void TKrXIniTree::OwnTexts(std::size_t first, std::size_t last) {
    for (std::size_t i = first; i < last; ++i) {
        TItem& item = m_items[i];
        if (item.name.Borrowed()) item.name = TKrXIniString(item.name.data(), item.name.size());
        if (item.value.Borrowed()) item.value = TKrXIniString(item.value.data(), item.value.size());
    }
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
        dst->Reserve(src->m_count);
        for (std::size_t i = 0; i < src->m_count; ++i) {
            const TItem& item = src->m_items[i];
            if (item.type == TE_KrXIniItemType::Section) {
                var_a<TKrXIniTree*> child = dst->AddSection(item.name);
                if (item.child && item.child->m_count) work.emplace_back(item.child.get(), child.get());
            } else {
                TItem& copied = dst->Append(); // room was reserved above
                copied.type = item.type;
                copied.name = item.name;
                copied.value = item.value;
            }
        }
    }
    Splice(&copy);
}

bool TKrXIniTree::Clear() {
    if (!m_count) return false;
    TKrXIniTree old(std::move(*this)); // the items go once the tree is empty: a child may hold the caller
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
    for (std::size_t i = 0; i < m_count; ++i)
        n += NameEquals(m_items[i].name, name, len);
    return n;
}

std::size_t TKrXIniTree::FindItemIndexF(const std::string& name, std::size_t start) const noexcept {
    return FindItemIndexF(name.data(), name.size(), start);
}

std::size_t TKrXIniTree::FindItemIndexF(const char* name, std::size_t len, std::size_t start) const noexcept {
    len = SafeLength(name, len);
    for (std::size_t i = start; i < m_count; ++i)
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
    const std::size_t stop = std::min(start, m_count);
    for (std::size_t i = 0; i < stop; ++i)
        if (NameEquals(m_items[i].name, name, len)) return i;
    return npos;
}

var_a<TKrXIniTree*> TKrXIniTree::AddSection(const std::string& name) {
    var_a<TKrXIniTree*> child = new_a<TKrXIniTree>();
    // Growing moves the items, and `name` may be one of theirs: copy it first.
    TKrXIniString n(name);
    TItem& item = Append();
    item.type = TE_KrXIniItemType::Section;
    item.name.swap(n);
    item.child = child;
    return child;
}

var_a<TKrXIniTree*> TKrXIniTree::AddSectionRaw(const char* begin, const char* end) {
    return AddSection(DecodeXmlText(begin, end));
}

void TKrXIniTree::AddItem(TKrXIniItemType type, const std::string& name, const std::string& value) {
    // Growing moves the items, and the texts may be theirs: copy them first.
    TKrXIniString n(name), v(value);
    TItem& item = Append();
    item.type = type;
    item.name.swap(n);
    item.value.swap(v);
}

void TKrXIniTree::AddItemRaw(TKrXIniItemType type, const char* nameBegin, const char* nameEnd,
                             const char* valueBegin, const char* valueEnd) {
    TKrXIniString name(DecodeXmlText(nameBegin, nameEnd));
    TKrXIniString value(DecodeXmlText(valueBegin, valueEnd));
    TItem& item = Append();
    item.type = type;
    item.name.swap(name);
    item.value.swap(value);
}

void TKrXIniTree::Splice(TKrXIniTree* other) {
    if (!other) return;
    const std::size_t base = m_count;
    const std::size_t n = other->m_count;
    const std::size_t want = base + n;
    if (want > m_capacity) Reserve(std::max(want, m_capacity + m_capacity / 2));
    for (std::size_t i = base; i < want; ++i)
        ::new (static_cast<void*>(m_items + i)) TItem();
    m_count = want;
    // Indexes, not references: when other is this tree the array was just reallocated.
    for (std::size_t i = 0; i < n; ++i) {
        TItem& to = m_items[base + i];
        TItem& from = other->m_items[i];
        std::swap(to.type, from.type);
        to.name.swap(from.name);
        to.value.swap(from.value);
        to.child.swap(from.child);
    }
    // Texts borrowed from the other tree's storage come along with it when this tree has none
    // of its own; otherwise they are copied.
    if (other != this && other->m_store && other->m_store != m_store) {
        if (!m_store)
            m_store = other->m_store;
        else
            OwnTexts(base, want);
    }
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
        if (a->m_count != b->m_count) return false;
        for (std::size_t i = 0; i < a->m_count; ++i) {
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
    if (index >= m_count) return false;
    count = std::min(count, m_count - index);
    for (std::size_t i = index; i < index + count; ++i)
        m_items[i].~TItem();
    std::memmove(static_cast<void*>(m_items + index), static_cast<const void*>(m_items + index + count),
                 (m_count - index - count) * sizeof(TItem));
    m_count -= count;
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
        if (frame.next == frame.tree->m_count) {
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
