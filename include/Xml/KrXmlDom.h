// The XML DOM (tags, texts, comments, processing instructions), its reader and its writer.
#pragma once

#include "Core/KrExport.h"
#include "Core/KrVarA.h"
#include "Streams/KrStream.h"
#include "Xml/KrXmlParser.h"
#include "Xml/KrXmlSearchPath.h"

#include <cstddef>
#include <map>
#include <string>
#include <vector>

class TKrProgressHandler;
class TKrXmlTextItem;
class TKrXmlTagItem;
class TKrXmlPiItem;
class TKrXmlCommentItem;

/// Kinds of DOM nodes, as returned by TKrXmlItem::Type.
struct TE_KrXmlItemType {
    enum TKrXmlItemType : int { xitText = 1, xitTag = 2, xitPi = 3, xitComment = 4 };
};

/// Base of every DOM node; nodes are held by var_a and used by one thread at a time.
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
};

/// Character data or a CDATA section, unescaped.
class KRSTD_API TKrXmlTextItem : public TKrXmlItem {
public:
    TKrXmlTextItem() = default;
    explicit TKrXmlTextItem(std::string text) : m_text(std::move(text)) {}
    int Type() const override;
    const TKrXmlTextItem* AsText() const override;
    TKrXmlTextItem* AsText() override;
    std::string m_text;
};

/// A processing instruction: the text between "<?" and "?>".
class KRSTD_API TKrXmlPiItem : public TKrXmlItem {
public:
    TKrXmlPiItem() = default;
    explicit TKrXmlPiItem(std::string text) : m_text(std::move(text)) {}
    int Type() const override;
    const TKrXmlPiItem* AsPi() const override;
    TKrXmlPiItem* AsPi() override;
    std::string m_text;
};

/// A comment: the text between "<!--" and "-->".
class KRSTD_API TKrXmlCommentItem : public TKrXmlItem {
public:
    TKrXmlCommentItem() = default;
    explicit TKrXmlCommentItem(std::string text) : m_text(std::move(text)) {}
    int Type() const override;
    const TKrXmlCommentItem* AsComment() const override;
    TKrXmlCommentItem* AsComment() override;
    std::string m_text;
};

/// One attribute; the value is unescaped.
struct TKrXmlTagAttribute {
    std::string name;
    std::string value;
};

/// The attributes of a tag in document order. Lookups by name are linear.
class KRSTD_API TKrXmlTagAttributes : public std::vector<TKrXmlTagAttribute> {
public:
    static constexpr std::size_t npos = static_cast<std::size_t>(-1);
    /// How many attributes carry `name`.
    std::size_t count(const std::string& name) const;
    /// Index of the first attribute named `name`, or npos.
    std::size_t find(const std::string& name) const;
    /// As find; throws "Err_Xml_AttributeNotFound_aname" (name) when absent.
    std::size_t find_e(const std::string& name) const;
    /// The value at `index`, or `def` when the index is out of range.
    std::string get_value(std::size_t index, const std::string& def) const;
    /// The value at `index`; an index out of range is an internal error.
    const std::string& get_value_e(std::size_t index) const;
    /// The value of the first attribute named `name`, or `def`.
    std::string get_value(const std::string& name, const std::string& def) const;
    /// The value of the first attribute named `name`; throws as find_e when absent.
    const std::string& get_value_e(const std::string& name) const;
};

/// The children of a tag in document order. The searches look at child tags only and return
/// indexes into this list; predicates are tested with their step 0.
class KRSTD_API TKrXmlTagItems : public std::vector<var_a<TKrXmlItem*>> {
public:
    static constexpr std::size_t npos = static_cast<std::size_t>(-1);

    std::size_t count_tags() const;
    std::size_t count_tags(const std::string& name) const;
    std::size_t count_tags(const TKrXmlSearchPathPredicate& predicate) const;

    /// First child tag at or after `start` (by any name, by name, matching the predicate), or npos.
    std::size_t find_tag_f(std::size_t start) const;
    std::size_t find_tag_f(const std::string& name, std::size_t start) const;
    std::size_t find_tag_f(const TKrXmlSearchPathPredicate& predicate, std::size_t start) const;
    /// The same, throwing "Err_Xml_TagNotFoundFromPos_start" (start),
    /// "Err_Xml_TagNotFoundFromPos_name_start" (name, start) or
    /// "Err_Xml_TagNotFoundFromPos_qname_start" (predicate text, start) when nothing is found.
    std::size_t find_tag_fe(std::size_t start) const;
    std::size_t find_tag_fe(const std::string& name, std::size_t start) const;
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
};

/// An element: name, attributes and children.
class KRSTD_API TKrXmlTagItem : public TKrXmlItem {
public:
    TKrXmlTagItem() = default;
    explicit TKrXmlTagItem(std::string name) : m_name(std::move(name)) {}
    /// Frees the subtree without recursion, so any depth is safe.
    ~TKrXmlTagItem() override;
    int Type() const override;
    const TKrXmlTagItem* AsTag() const override;
    TKrXmlTagItem* AsTag() override;

    /// Appends a child tag / text and returns it.
    TKrXmlTagItem& AddTag(const std::string& name);
    TKrXmlTextItem& AddText(const std::string& text);

    std::string m_name;
    TKrXmlTagAttributes m_attributes;
    TKrXmlTagItems m_items;
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
/// see rxLenientReferences). Outside the root only
/// white space, comments, processing instructions and one DOCTYPE before the root are allowed.
/// After a refused callback, ErrorAt() tells where and ErrorWhere() the element path.
class KRSTD_API TKrXmlCollXmlTree : public TKrXmlColl {
public:
    /// `flags`: TE_KrReadXmlFlags; `buffer`: the start of the scanned buffer (for positions).
    TKrXmlCollXmlTree(unsigned flags, const char* buffer);

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
    /// The root element once it was opened (complete after a successful Finish).
    const var_a<TKrXmlTagItem*>& Root() const noexcept { return m_root; }
    /// Records an error found outside the collector (for example by the scanner) at `at`;
    /// returns false.
    bool SetError(const char* at);
    /// Byte position of the construct that made the document malformed (npos: none recorded).
    std::size_t ErrorAt() const noexcept { return m_errorAt; }
    /// The open elements at the error as "[index,<name>]..." followed by "[count+]".
    const std::string& ErrorWhere() const noexcept { return m_errorWhere; }

private:
    bool CheckAttributes(const std::vector<TKrXmlAttrData>& attrs);
    TKrXmlTagItem* Open(const char* nameBegin, const char* nameEnd, const std::vector<TKrXmlAttrData>& attrs);
    void AddChild(var_a<TKrXmlItem*> item);

    unsigned m_flags;
    const char* m_buffer;
    var_a<TKrXmlTagItem*> m_root;
    std::vector<TKrXmlTagItem*> m_open;
    bool m_rootClosed = false;
    bool m_doctypeSeen = false;
    std::size_t m_errorAt = static_cast<std::size_t>(-1);
    std::string m_errorWhere;
};

/// Reads a whole document from the stream's position to its end and returns its root element.
/// Malformed input throws (or gives null when `throwOnError` is false) "Err_Xml_Format_where_pos"
/// (element path, byte position), or "Err_Xml_Format" when there is no element at all; with a
/// named stream the "..._stream" forms with the stream's information name last. A short read
/// gives "Err_ReadStream". A leading UTF-8 byte-order mark is skipped. `progress` may be null;
/// a user break throws its cancellation. Costs one buffer of the stream's size plus the DOM.
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
