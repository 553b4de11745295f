// TKrXmlParserLow: the non-validating XML scanner that reports markup pieces to a TKrXmlColl.
#pragma once

#include "Core/KrExport.h"

#include <cstddef>
#include <cstdint>
#include <vector>

class TKrProgressHandler;

/// A place in a text as a person counts it: both numbers from 1.
struct TKrXmlTextPlace {
    std::size_t line = 0;
    std::size_t column = 0;
};

/// The place of byte `offset` of [text, text + length) (an offset past the end means the end).
/// Line breaks are LF, CR LF and a lone CR, as XML reads them; the column counts characters of
/// UTF-8 (bytes that do not continue a sequence), a TAB as one. O(offset): meant for reporting
/// an error, not for every token.
KRSTD_API TKrXmlTextPlace KrXmlTextPlace(const char* text, std::size_t length, std::size_t offset) noexcept;

/// One attribute as the scanner saw it: the name and the raw (still escaped) value between the
/// quotes, as ranges into the scanned buffer.
struct TKrXmlAttrData {
    const char* nameBegin;
    const char* nameEnd;
    const char* valueBegin;
    const char* valueEnd;
};

/// Receives the pieces of a document from TKrXmlParserLow. Every range points into the scanned
/// buffer and is valid only as long as that buffer; begin/end span the whole construct including
/// its delimiters. Returning false stops the scan. The base accepts everything except
/// AddUnknown, so a collector that only overrides what it needs still rejects broken markup.
class KRSTD_API TKrXmlColl {
public:
    virtual ~TKrXmlColl();
    /// Markup the scanner cannot classify (unquoted attribute value, "<!" of an unknown kind...).
    virtual bool AddUnknown(const char* begin, const char* end);
    /// Text between markup, raw and still escaped; never empty.
    virtual bool AddCharData(const char* begin, const char* end);
    /// "<![CDATA[" ... "]]>"; the inner range is the content. Unterminated: runs to the buffer end.
    virtual bool AddCData(const char* begin, const char* end, const char* innerBegin, const char* innerEnd);
    /// "<!--" ... "-->"; unterminated: runs to the buffer end.
    virtual bool AddComment(const char* begin, const char* end, const char* innerBegin, const char* innerEnd);
    /// "<?" ... "?>"; the inner range is the target and its data.
    virtual bool AddPI(const char* begin, const char* end, const char* innerBegin, const char* innerEnd);
    /// "<!DOCTYPE" ... ">", including any internal subset.
    virtual bool AddDoctype(const char* begin, const char* end);
    /// A start tag. `attrs` is reused by the scanner: copy what must outlive the call.
    virtual bool AddSTag(const char* begin, const char* end, const char* nameBegin, const char* nameEnd,
                         const std::vector<TKrXmlAttrData>& attrs);
    /// An end tag; whatever follows the name up to '>' is not examined.
    virtual bool AddETag(const char* begin, const char* end, const char* nameBegin, const char* nameEnd);
    /// An empty-element tag ("<a .../>").
    virtual bool AddEmptyElemTag(const char* begin, const char* end, const char* nameBegin,
                                 const char* nameEnd, const std::vector<TKrXmlAttrData>& attrs);
};

/// The scanner. It neither copies nor unescapes and does not check nesting: the collector
/// decides what is an error. It reads only inside [data, data + len), allocates nothing per
/// token (the attribute vector is kept by the object and reused), skips text with memchr and
/// classifies name bytes through a byte class table. One object per thread; objects are cheap.
class KRSTD_API TKrXmlParserLow {
public:
    /// Scans [data, data + len). True when the whole buffer was consumed with every callback
    /// returning true. *stop (and *rest, the bytes from *stop to the end) say where scanning
    /// ended: after the construct whose callback returned false, at the '<' of a processing
    /// instruction without "?>", or at the end. `stop` and `rest` may be null.
    bool ReadXml(const char* data, std::size_t len, const char** stop, std::size_t* rest, TKrXmlColl* coll);
    /// The same, setting the position of `progress` (may be null) every 64 KiB of input and
    /// stopping (false) when it reports a user break.
    bool ReadXml(const char* data, std::size_t len, const char** stop, std::size_t* rest, TKrXmlColl* coll,
                 TKrProgressHandler* progress);

    /// Bytes between two progress reports.
    static constexpr std::size_t ProgressStep = 65536;

private:
    template <bool WithProgress>
    bool Scan(const char* data, std::size_t len, const char** stop, std::size_t* rest, TKrXmlColl* coll,
              TKrProgressHandler* progress);

    std::vector<TKrXmlAttrData> m_attrs;
};
