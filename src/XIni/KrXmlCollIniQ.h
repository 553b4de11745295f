// TKrXmlCollIniQ: the collector that scans one section of a lazily read XIni document.
#pragma once

#include "XIni/KrXIniDocQ.h"
#include "Xml/KrXmlParser.h"

#include <cstddef>
#include <vector>

namespace KrXIniInternal {
struct TKrXIniTagParts;
}

/// Scans the content of one section S from where it stopped last. Items directly in S are
/// created (checked and unescaped in place in the document buffer, so the scanned text changes);
/// deeper content is only checked for nesting. The scan stops after the item that satisfies the
/// wanted index (and name), at S's end tag, or at the first thing that breaks the format; new
/// items and sections come from `pools`. No allocation per item beyond the pools.
class TKrXmlCollIniQ : public TKrXmlColl {
public:
    enum TResult { Running, Stopped, Ended, Failed };

    /// `depth`: how deep inside sub-sections of S the last scan stopped; `wanted`: stop once S
    /// holds more than this many items (npos: scan to the end), with `byName` only when the item
    /// that makes it so is named [name, name + len).
    TKrXmlCollIniQ(TKrXIniSectionQ* section, bool isRoot, std::size_t depth, std::size_t wanted,
                   const char* name, std::size_t len, bool byName, TKrXIniPoolsQ* pools)
        : m_s(section), m_isRoot(isRoot), m_depth(depth), m_wanted(wanted), m_name(name), m_len(len),
          m_byName(byName), m_pools(pools) {}

    /// Why the scan ended: Stopped and Ended are successes, Running means the text ran out.
    TResult Result() const noexcept { return m_result; }

    bool AddSTag(const char* begin, const char* end, const char* nameBegin, const char* nameEnd,
                 const std::vector<TKrXmlAttrData>& attrs) override;
    bool AddEmptyElemTag(const char* begin, const char* end, const char* nameBegin, const char* nameEnd,
                         const std::vector<TKrXmlAttrData>& attrs) override;
    bool AddETag(const char* begin, const char* end, const char* nameBegin, const char* nameEnd) override;
    bool AddCharData(const char* begin, const char* end) override;
    bool AddCData(const char* begin, const char* end, const char* innerBegin, const char* innerEnd) override;
    bool AddComment(const char*, const char*, const char*, const char*) override { return true; }
    bool AddPI(const char*, const char*, const char*, const char*) override { return true; }
    bool AddDoctype(const char*, const char*) override { return Fail(); }
    bool AddUnknown(const char*, const char*) override { return Fail(); }

private:
    bool Fail() {
        m_result = Failed;
        return false;
    }
    TKrXIniItemQ* NewItem(const KrXIniInternal::TKrXIniTagParts& tag);
    bool CheckStop(const TKrXIniItemQ* item, const char* end);

    TKrXIniSectionQ* m_s;
    bool m_isRoot;
    std::size_t m_depth;
    std::size_t m_wanted;
    const char* m_name;
    std::size_t m_len;
    bool m_byName;
    TKrXIniPoolsQ* m_pools;
    TResult m_result = Running;
    char m_leaf = 0;                // letter of the open element other than a section
    TKrXIniItemQ* m_open = nullptr; // an item of S whose content is being read
    char* m_binaryStart = nullptr;
    char* m_binary = nullptr;
};
