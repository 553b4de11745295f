// Loading an XIni document into memory (gzip layers undone, root found) and the tag rules of the format.
#pragma once

#include "Core/KrMessage.h"
#include "XIni/KrBigBuffer.h"
#include "XIni/KrXIniItemType.h"
#include "Xml/KrXmlParser.h"

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

class TKrProgressHandler;
class TKrStream;

namespace KrXIniInternal {

/// The loaded text of a document: a buffer of its own, or a view of the stream's memory.
struct TKrXIniText {
    TKrBigBuffer buffer; // length bytes and a NUL
    /// The text in the memory stream it came from (no buffer then, no NUL after it).
    const char* view = nullptr;
    std::size_t length = 0;
    /// The byte after the root's start tag; null for an empty root ("<krini/>").
    const char* body = nullptr;
    std::string infoName;

    const char* Data() const noexcept { return view ? view : buffer.get(); }
};

/// Reads the whole stream from position 0, undoes gzip layers and finds the `krini` root.
/// With `mayView`, uncompressed text in a memory, string or fixed memory stream is used in
/// place: for callers that are done with it before the stream can change.
/// Progress runs 0 to 0.5 over the read, then towards 0.95 per gzip layer, and ends at 1.
/// Returns an empty message on success, otherwise the load failure ("Err_Read_name_msg" around
/// the inner message when the stream has a name).
TKrMessage LoadXIniText(TKrStream* stream, TKrProgressHandler* progress, TKrXIniText& out,
                        bool mayView = false);

/// Logs (mode 1, error under "KrXIni") or throws (mode 2) `message`; mode 0 does nothing.
void ReportXIniError(const TKrMessage& message, unsigned mode);

/// What an item tag carries once checked against the format's rules.
struct TKrXIniTagParts {
    TKrXIniItemType type = TE_KrXIniItemType::Invalid;
    const char* nameBegin = nullptr; // null: no n attribute
    const char* nameEnd = nullptr;
    const char* valueBegin = nullptr; // null: no v attribute
    const char* valueEnd = nullptr;
};

/// Checks an item tag: a one-letter element b, d, i, s or x; attributes n (at most once) and
/// v (at most once, only on d, i and s, required there). False for anything else.
bool CheckItemTag(const char* nameBegin, const char* nameEnd, const std::vector<TKrXmlAttrData>& attrs,
                  TKrXIniTagParts& out) noexcept;

/// True for the one-letter element names that may appear inside sections.
inline bool IsItemElement(const char* nameBegin, const char* nameEnd) noexcept {
    return nameEnd - nameBegin == 1 && KrXIniItemTypeFromLetter(*nameBegin) != TE_KrXIniItemType::Invalid;
}

/// Appends the Base64 alphabet characters of [begin, end) at `out` and returns the new end;
/// `out` may lie at or before `begin` (in-place filtering).
char* KeepBase64(const char* begin, const char* end, char* out) noexcept;

} // namespace KrXIniInternal
