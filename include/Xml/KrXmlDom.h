// The XML DOM (tags, texts, comments, processing instructions), its reader and its writer.
#pragma once

#include "Core/KrExport.h"
#include "Core/KrVarA.h"
#include "Streams/KrStream.h"
#include "Xml/KrXmlParser.h"
#include "Xml/KrXmlSearchPath.h"

#include <cstddef>
#include <iosfwd>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class TKrProgressHandler;
class TKrXmlTextItem;
class TKrXmlTagItem;
class TKrXmlPiItem;
class TKrXmlCommentItem;
class TKrXmlDocument;
class TKrXmlCollXmlTree;

/// Text stored in a DOM: a read-only view of bytes owned by the document's storage, always
/// followed by a NUL byte (c_str). It reads like std::string_view, compares with std::string,
/// std::string_view and C strings, and converts implicitly to std::string (a copy) and
/// std::string_view. Only the DOM makes these; a copy is a view of the same bytes and is valid
/// as long as the document it came from.
class KRSTD_API TKrXmlString {
public:
    static constexpr std::size_t npos = std::string_view::npos;

    constexpr TKrXmlString() noexcept = default;

    const char* data() const noexcept { return m_view.data(); }
    const char* c_str() const noexcept { return m_view.data(); }
    std::size_t size() const noexcept { return m_view.size(); }
    std::size_t length() const noexcept { return m_view.size(); }
    bool empty() const noexcept { return m_view.empty(); }
    const char* begin() const noexcept { return m_view.data(); }
    const char* end() const noexcept { return m_view.data() + m_view.size(); }
    char operator[](std::size_t i) const noexcept { return m_view[i]; }
    char front() const noexcept { return m_view.front(); }
    char back() const noexcept { return m_view.back(); }

    std::string_view view() const noexcept { return m_view; }
    std::string str() const { return std::string(m_view); }
    operator std::string_view() const noexcept { return m_view; }
    operator std::string() const { return std::string(m_view); }

    /// As std::string: substr copies.
    std::string substr(std::size_t pos = 0, std::size_t n = npos) const {
        return std::string(m_view.substr(pos, n));
    }
    int compare(std::string_view s) const noexcept { return m_view.compare(s); }
    int compare(std::size_t pos, std::size_t n, std::string_view s) const {
        return m_view.compare(pos, n, s);
    }
    std::size_t find(std::string_view s, std::size_t pos = 0) const noexcept { return m_view.find(s, pos); }
    std::size_t find(char c, std::size_t pos = 0) const noexcept { return m_view.find(c, pos); }
    std::size_t rfind(std::string_view s, std::size_t pos = npos) const noexcept {
        return m_view.rfind(s, pos);
    }
    std::size_t rfind(char c, std::size_t pos = npos) const noexcept { return m_view.rfind(c, pos); }

    friend bool operator==(const TKrXmlString& a, const TKrXmlString& b) noexcept {
        return a.m_view == b.m_view;
    }
    friend bool operator==(const TKrXmlString& a, const char* b) noexcept { return a.m_view == b; }
    friend bool operator==(const char* a, const TKrXmlString& b) noexcept { return a == b.m_view; }
    friend bool operator==(const TKrXmlString& a, const std::string& b) noexcept { return a.m_view == b; }
    friend bool operator==(const std::string& a, const TKrXmlString& b) noexcept { return a == b.m_view; }
    friend bool operator==(const TKrXmlString& a, std::string_view b) noexcept { return a.m_view == b; }
    friend bool operator==(std::string_view a, const TKrXmlString& b) noexcept { return a == b.m_view; }
    friend bool operator!=(const TKrXmlString& a, const TKrXmlString& b) noexcept {
        return a.m_view != b.m_view;
    }
    friend bool operator!=(const TKrXmlString& a, const char* b) noexcept { return a.m_view != b; }
    friend bool operator!=(const char* a, const TKrXmlString& b) noexcept { return a != b.m_view; }
    friend bool operator!=(const TKrXmlString& a, const std::string& b) noexcept { return a.m_view != b; }
    friend bool operator!=(const std::string& a, const TKrXmlString& b) noexcept { return a != b.m_view; }
    friend bool operator!=(const TKrXmlString& a, std::string_view b) noexcept { return a.m_view != b; }
    friend bool operator!=(std::string_view a, const TKrXmlString& b) noexcept { return a != b.m_view; }
    friend bool operator<(const TKrXmlString& a, const TKrXmlString& b) noexcept {
        return a.m_view < b.m_view;
    }

    friend std::string operator+(const TKrXmlString& a, const TKrXmlString& b) {
        return a.str().append(b.m_view);
    }
    friend std::string operator+(const TKrXmlString& a, const char* b) { return a.str().append(b); }
    friend std::string operator+(const char* a, const TKrXmlString& b) {
        return std::string(a).append(b.m_view);
    }
    friend std::string operator+(const TKrXmlString& a, const std::string& b) { return a.str().append(b); }
    friend std::string operator+(const std::string& a, const TKrXmlString& b) {
        return std::string(a).append(b.m_view);
    }
    friend std::string operator+(const TKrXmlString& a, char b) { return a.str().append(1, b); }
    friend std::string operator+(char a, const TKrXmlString& b) { return std::string(1, a).append(b.m_view); }

private:
    friend class TKrXmlDocument;
    /// `data` must have a NUL at data[size].
    constexpr TKrXmlString(const char* data, std::size_t size) noexcept : m_view(data, size) {}

    std::string_view m_view{"", 0};
};

/// Writes the bytes of `s`.
KRSTD_API std::ostream& operator<<(std::ostream& os, const TKrXmlString& s);

/// Kinds of DOM nodes, as returned by TKrXmlItem::Type.
struct TE_KrXmlItemType {
    enum TKrXmlItemType : int { xitText = 1, xitTag = 2, xitPi = 3, xitComment = 4 };
};

/// Base of every DOM node. Nodes below a root live in the root's storage (one block allocator
/// per document) and are reached through raw pointers that stay valid as long as the root;
/// only the root (a TKrXmlTagItem made by a constructor, or the var_a the reader returns)
/// owns anything. A DOM is used by one thread at a time.
class KRSTD_API TKrXmlItem {
public:
    virtual ~TKrXmlItem();
    virtual int Type() const = 0;
    /// The node as its concrete class, or null when it is of another kind.
    virtual const TKrXmlTextItem* AsText() const;
    virtual TKrXmlTextItem* AsText();
    virtual const TKrXmlTagItem* AsTag() const;
    virtual TKrXmlTagItem* AsTag();
    virtual const TKrXmlPiItem* AsPi() const;
    virtual TKrXmlPiItem* AsPi();
    virtual const TKrXmlCommentItem* AsComment() const;
    virtual TKrXmlCommentItem* AsComment();

protected:
    TKrXmlItem() = default;
    TKrXmlItem(const TKrXmlItem&) = default;
    TKrXmlItem& operator=(const TKrXmlItem&) = default;
};

/// Character data or a CDATA section, unescaped. Made by the reader and TKrXmlTagItem::AddText.
class KRSTD_API TKrXmlTextItem : public TKrXmlItem {
public:
    int Type() const override;
    const TKrXmlTextItem* AsText() const override;
    TKrXmlTextItem* AsText() override;
    TKrXmlString m_text;

private:
    friend class TKrXmlDocument;
    TKrXmlTextItem() = default;
};

/// A processing instruction: the text between "<?" and "?>".
class KRSTD_API TKrXmlPiItem : public TKrXmlItem {
public:
    int Type() const override;
    const TKrXmlPiItem* AsPi() const override;
    TKrXmlPiItem* AsPi() override;
    TKrXmlString m_text;

private:
    friend class TKrXmlDocument;
    TKrXmlPiItem() = default;
};

/// A comment: the text between "<!--" and "-->".
class KRSTD_API TKrXmlCommentItem : public TKrXmlItem {
public:
    int Type() const override;
    const TKrXmlCommentItem* AsComment() const override;
    TKrXmlCommentItem* AsComment() override;
    TKrXmlString m_text;

private:
    friend class TKrXmlDocument;
    TKrXmlCommentItem() = default;
};

/// One attribute; the value is unescaped.
struct TKrXmlTagAttribute {
    TKrXmlString name;
    TKrXmlString value;
};

/// The attributes of a tag in document order (read-only; TKrXmlTagItem::AddAttribute and
/// SetAttribute change them). Lookups by name are linear.
class KRSTD_API TKrXmlTagAttributes {
public:
    static constexpr std::size_t npos = static_cast<std::size_t>(-1);
    using value_type = TKrXmlTagAttribute;
    using const_iterator = const TKrXmlTagAttribute*;
    using iterator = const_iterator;

    std::size_t size() const noexcept { return m_size; }
    bool empty() const noexcept { return m_size == 0; }
    const TKrXmlTagAttribute& operator[](std::size_t i) const noexcept { return m_data[i]; }
    const_iterator begin() const noexcept { return m_data; }
    const_iterator end() const noexcept { return m_data + m_size; }

    /// How many attributes carry `name`.
    std::size_t count(std::string_view name) const noexcept;
    /// Index of the first attribute named `name`, or npos.
    std::size_t find(std::string_view name) const noexcept;
    /// As find; throws "Err_Xml_AttributeNotFound_aname" (name) when absent.
    std::size_t find_e(std::string_view name) const;
    /// The value at `index`, or `def` when the index is out of range.
    std::string get_value(std::size_t index, const std::string& def) const;
    /// The value at `index`; an index out of range is an internal error.
    const TKrXmlString& get_value_e(std::size_t index) const;
    /// The value of the first attribute named `name`, or `def`.
    std::string get_value(std::string_view name, const std::string& def) const;
    /// The value of the first attribute named `name`; throws as find_e when absent.
    const TKrXmlString& get_value_e(std::string_view name) const;

private:
    friend class TKrXmlTagItem;
    friend class TKrXmlDocument;
    friend class TKrXmlCollXmlTree;

    TKrXmlTagAttribute* m_data = nullptr;
    std::size_t m_size = 0;
    std::size_t m_capacity = 0;
};

/// The children of a tag in document order, as node pointers owned by the document (read-only;
/// the Add... members of TKrXmlTagItem append). The searches look at child tags only and return
/// indexes into this list; predicates are tested with their step 0.
class KRSTD_API TKrXmlTagItems {
public:
    static constexpr std::size_t npos = static_cast<std::size_t>(-1);
    using value_type = TKrXmlItem*;
    using const_iterator = TKrXmlItem* const*;
    using iterator = const_iterator;

    std::size_t size() const noexcept { return m_size; }
    bool empty() const noexcept { return m_size == 0; }
    TKrXmlItem* operator[](std::size_t i) const noexcept { return m_data[i]; }
    const_iterator begin() const noexcept { return m_data; }
    const_iterator end() const noexcept { return m_data + m_size; }

    std::size_t count_tags() const;
    std::size_t count_tags(std::string_view name) const;
    std::size_t count_tags(const TKrXmlSearchPathPredicate& predicate) const;

    /// First child tag at or after `start` (by any name, by name, matching the predicate), or npos.
    std::size_t find_tag_f(std::size_t start) const;
    std::size_t find_tag_f(std::string_view name, std::size_t start) const;
    std::size_t find_tag_f(const TKrXmlSearchPathPredicate& predicate, std::size_t start) const;
    /// The same, throwing "Err_Xml_TagNotFoundFromPos_start" (start),
    /// "Err_Xml_TagNotFoundFromPos_name_start" (name, start) or
    /// "Err_Xml_TagNotFoundFromPos_qname_start" (predicate text, start) when nothing is found.
    std::size_t find_tag_fe(std::size_t start) const;
    std::size_t find_tag_fe(std::string_view name, std::size_t start) const;
    std::size_t find_tag_fe(const TKrXmlSearchPathPredicate& predicate, std::size_t start) const;

    /// The child at `index` as a tag, or null (also for an index out of range).
    TKrXmlTagItem* tag(std::size_t index) const;

    /// Follows every step down the tree: the first child matching step 0, then the first of its
    /// children matching step 1, and so on. Null when a step finds nothing or there are no steps.
    TKrXmlTagItem* get_tag_deep(const TKrXmlSearchPathPredicate& predicate) const;
    /// As get_tag_deep, throwing "Err_Xml_TagNotFoundFromPos_qname_start" (the steps up to the
    /// one that failed, 0) instead of returning null.
    TKrXmlTagItem& get_tag_deep_e(const TKrXmlSearchPathPredicate& predicate) const;

    /// The text children concatenated.
    std::string get_text() const;

private:
    friend class TKrXmlTagItem;
    friend class TKrXmlDocument;
    friend class TKrXmlCollXmlTree;

    TKrXmlItem** m_data = nullptr;
    std::size_t m_size = 0;
    std::size_t m_capacity = 0;
};

/// An element: name, attributes and children.
///
/// A tag made by one of its constructors is a root: it owns a block allocator from which its
/// name, attributes and every node below it are carved, and frees all of it at once in its
/// destructor (any depth is safe, no recursion). Tags reached through m_items belong to their
/// root and must not outlive it. Storage is only ever appended to: replacing or removing
/// something leaves the old bytes in place until the root dies.
class KRSTD_API TKrXmlTagItem : public TKrXmlItem {
public:
    TKrXmlTagItem() noexcept = default;
    explicit TKrXmlTagItem(std::string_view name);
    /// A deep copy with storage of its own.
    TKrXmlTagItem(const TKrXmlTagItem& other);
    /// Takes over the storage of a root (which is left empty); copies anything else.
    TKrXmlTagItem(TKrXmlTagItem&& other);
    /// Deep copies into this tag's storage (a root drops its old content entirely).
    TKrXmlTagItem& operator=(const TKrXmlTagItem& other);
    TKrXmlTagItem& operator=(TKrXmlTagItem&& other);
    ~TKrXmlTagItem() override;

    int Type() const override;
    const TKrXmlTagItem* AsTag() const override;
    TKrXmlTagItem* AsTag() override;

    /// Appends a child and returns it (valid as long as the root). Amortised O(1).
    TKrXmlTagItem& AddTag(std::string_view name);
    TKrXmlTextItem& AddText(std::string_view text);
    TKrXmlCommentItem& AddComment(std::string_view text);
    TKrXmlPiItem& AddPi(std::string_view text);
    /// Removes the child at `index` (with its subtree); an index out of range is an internal error.
    void RemoveItem(std::size_t index);
    /// Appends an attribute (even when one of that name exists).
    void AddAttribute(std::string_view name, std::string_view value);
    /// Sets the value of the first attribute named `name`, appending it when absent.
    void SetAttribute(std::string_view name, std::string_view value);
    /// Replaces the name.
    void SetName(std::string_view name);

    // Read these; change them through the members above. Assigning a field of one tag to
    // another would share bytes that only the first tag's root owns.
    TKrXmlString m_name;
    TKrXmlTagAttributes m_attributes;
    TKrXmlTagItems m_items;

private:
    friend class TKrXmlDocument;
    friend class TKrXmlCollXmlTree;

    explicit TKrXmlTagItem(TKrXmlDocument* doc) noexcept : m_doc(doc) {}
    TKrXmlDocument& Doc();
    bool OwnsDoc() const noexcept;
    /// Takes over the storage and content of `root`, which is left empty.
    void TakeDoc(TKrXmlTagItem& root) noexcept;
    /// For a root (or a tag without storage): drops its storage and takes over that of `root`
    /// (or becomes empty when `root` has none).
    void ReplaceRoot(TKrXmlTagItem& root) noexcept;
    void ClearRoot() noexcept;

    /// The storage this tag's content lives in; null until a root needs some.
    TKrXmlDocument* m_doc = nullptr;
};

/// Flags of KrReadXmlEx.
struct TE_KrReadXmlFlags {
    enum : unsigned {
        /// Accept an '&' in text or attribute values that does not start a reference ("&name;",
        /// "&#digits;", "&#xhex;"); it is kept as it is. Without this flag it makes the
        /// document malformed. References to undeclared entities are kept unchanged either way.
        rxLenientReferences = 1,
        /// Character data and CDATA inside elements become text items.
        rxKeepText = 2,
        /// With rxKeepText: character data that is only white space (space, TAB, LF, CR) is
        /// dropped; CDATA is always kept.
        rxSkipBlankText = 4,
        /// Processing instructions inside elements become PI items.
        rxKeepPi = 8,
        /// Comments inside elements become comment items.
        rxKeepComments = 16,
        /// What KrReadXml uses.
        rxDefault = 6,
    };
};

/// The collector that builds a DOM. Start tags open elements, end tags must close the open
/// element of the same name, attribute values and texts are unescaped (and their '&' checked,
/// see rxLenientReferences). Outside the root only white space, comments, processing
/// instructions and one DOCTYPE before the root are allowed. After a refused callback, ErrorAt()
/// tells where and ErrorWhere() the element path. Nodes, attribute arrays and texts are carved
/// from one block allocator per document; each element's children are stored in one array of
/// the exact size when its end tag comes, so building costs no heap allocation per node.
class KRSTD_API TKrXmlCollXmlTree : public TKrXmlColl {
public:
    /// `flags`: TE_KrReadXmlFlags; `buffer`: the start of the scanned buffer (for positions).
    /// Texts, names and values are copied into the document.
    TKrXmlCollXmlTree(unsigned flags, const char* buffer);
    /// Reads in place: the document gets a buffer of `size` bytes (and a terminator) that the
    /// caller fills through Input() and then scans as a whole or from a later start. Names,
    /// values, comments and processing instructions stay where they are, unescaped and
    /// terminated in place; only character data is copied. The buffer lives as long as the
    /// document.
    TKrXmlCollXmlTree(unsigned flags, std::size_t size);
    ~TKrXmlCollXmlTree() override;
    TKrXmlCollXmlTree(const TKrXmlCollXmlTree&) = delete;
    TKrXmlCollXmlTree& operator=(const TKrXmlCollXmlTree&) = delete;

    bool AddUnknown(const char* begin, const char* end) override;
    bool AddCharData(const char* begin, const char* end) override;
    bool AddCData(const char* begin, const char* end, const char* innerBegin, const char* innerEnd) override;
    bool AddComment(const char* begin, const char* end, const char* innerBegin,
                    const char* innerEnd) override;
    bool AddPI(const char* begin, const char* end, const char* innerBegin, const char* innerEnd) override;
    bool AddDoctype(const char* begin, const char* end) override;
    bool AddSTag(const char* begin, const char* end, const char* nameBegin, const char* nameEnd,
                 const std::vector<TKrXmlAttrData>& attrs) override;
    bool AddETag(const char* begin, const char* end, const char* nameBegin, const char* nameEnd) override;
    bool AddEmptyElemTag(const char* begin, const char* end, const char* nameBegin, const char* nameEnd,
                         const std::vector<TKrXmlAttrData>& attrs) override;

    /// After the scan of [buffer, end): true when exactly one root was read and closed.
    /// Otherwise records the error at `end`.
    bool Finish(const char* end);
    /// The root element once it was opened (complete after a successful Finish); it owns the
    /// storage of the whole document.
    const var_a<TKrXmlTagItem*>& Root() const noexcept;
    /// The buffer to scan when reading in place, else null.
    char* Input() const noexcept;
    /// Records an error found outside the collector (for example by the scanner) at `at`;
    /// returns false.
    bool SetError(const char* at);
    /// Byte position of the construct that made the document malformed (npos: none recorded).
    std::size_t ErrorAt() const noexcept;
    /// The open elements at the error as "[index,<name>]..." followed by "[count+]".
    const std::string& ErrorWhere() const noexcept;

private:
    struct TState; // the builder's working state, private to the reader

    /// Checks the references in [begin, end) and unescapes it: in place (terminated there) when
    /// reading in place, else into a copy. `deferNul`: the byte at `end` is still to be scanned,
    /// so its NUL is written by the next callback.
    bool Decode(const char* begin, const char* end, bool deferNul, TKrXmlString& out);
    /// [begin, end) as it is: terminated in place when reading in place, else copied.
    TKrXmlString Raw(const char* begin, const char* end);
    void PayNul() noexcept;
    TKrXmlTagItem* NewTag(const char* nameBegin, const char* nameEnd,
                          const std::vector<TKrXmlAttrData>& attrs);
    void Close(TKrXmlTagItem* tag, std::size_t first);

    std::unique_ptr<TState> m_s;
};

/// Reads a whole document from the stream's position to its end and returns its root element.
/// Malformed input throws (or gives null when `throwOnError` is false) "Err_Xml_Format_where_pos"
/// (element path, byte position), or "Err_Xml_Format" when there is no element at all; with a
/// named stream the "..._stream" forms with the stream's information name last. A short read
/// gives "Err_ReadStream". A leading UTF-8 byte-order mark is skipped. `progress` may be null;
/// a user break throws its cancellation. The document keeps the bytes read (names, values,
/// comments and processing instructions are used in place) and adds about 64 bytes per element,
/// 32 per attribute and 24 plus the text per text item, with no heap allocation per node.
KRSTD_API var_a<TKrXmlTagItem*> KrReadXmlEx(TKrStream* stream, unsigned flags, bool throwOnError,
                                            TKrProgressHandler* progress);
/// KrReadXmlEx with TE_KrReadXmlFlags::rxDefault (texts kept, blank texts dropped).
KRSTD_API var_a<TKrXmlTagItem*> KrReadXml(TKrStream* stream, bool throwOnError, TKrProgressHandler* progress);

/// Per-element settings for WriteXmlEx (bits of the map values).
struct TE_KrWriteXmlElementFlags {
    enum : unsigned {
        wxeInline = 1, ///< write the element's content on one line, without indentation
        wxeOmit = 2,   ///< leave the element (and its content) out
    };
};

/// Options of WriteXmlEx; the defaults give what WriteXml writes.
struct TWriteXmlOptions {
    enum TDeclaration : int {
        declNone = 0,
        declUpper = 1, ///< <?xml version="1.0" encoding="UTF-8"?>
        declLower = 2, ///< <?xml version="1.0" encoding="utf-8"?>
    };
    bool byteOrderMark = false;
    TDeclaration declaration = declUpper;
    /// Written once per nesting level before each child tag on its own line; empty writes the
    /// document without line breaks between tags. Elements with text children are written
    /// inline, so their text stays exactly as it is.
    std::string indent;
    /// Line ends written after the declaration and between indented tags.
    TEOLType eol = eolLF;
    /// Also turn every "\r\n", "\r" and "\n" inside texts, comments and processing
    /// instructions into `eol`; otherwise they are written as they are.
    bool normalizeEol = false;
    /// Childless elements as "<a/>" instead of "<a></a>".
    bool shortEmptyElements = false;
};

/// Writes the declaration "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n" and the element tree:
/// attribute values escaped (control bytes as character references), texts with '&', '<', '>'
/// escaped, comments and processing instructions as they are. Write failures throw. Output is
/// buffered in 64 KiB pieces.
KRSTD_API void WriteXml(TKrStream* stream, const TKrXmlTagItem* root);
/// The same with options; `elementFlags` maps elements of the tree to TE_KrWriteXmlElementFlags.
KRSTD_API void WriteXmlEx(TKrStream* stream, const TKrXmlTagItem* root, const TWriteXmlOptions& options,
                          const std::map<const TKrXmlTagItem*, unsigned>& elementFlags);

/// Appends "/name" for a tag with a name, otherwise "/*[index]", to a location text of a message.
KRSTD_API void AppendMsgXPathTag(std::string& path, std::size_t index, const TKrXmlTagItem* tag);
/// Appends "/text()[index]", or "#text" when index is npos.
KRSTD_API void AppendMsgXPathText(std::string& path, std::size_t index);
