// Reading a whole XIni document into a tree, and flattening string items into a map.
#include "XIni/KrXIniReadTree.h"

#include "Core/KrExceptions.h"
#include "Core/KrProgressHandler.h"
#include "XIni/KrXIniInternal.h"
#include "XIni/KrXIniLoad.h"
#include "XIni/KrXIniReader.h"
#include "XIni/KrXIniTree.h"
#include "XIni/KrXIniTreeBuilder.h"
#include "XIni/KrXIniValueText.h"
#include "Xml/KrXmlEscape.h"

#include <cstring>

using namespace KrXIniInternal;

namespace {

// Builds a tree from the body of a document (after the root's start tag) and stops at the
// root's end tag.
class TKrXmlCollIniTree : public TKrXmlColl {
public:
    explicit TKrXmlCollIniTree(TKrXIniTree* root) : m_build(root) {}

    bool AddSTag(const char* begin, const char*, const char* nameBegin, const char* nameEnd,
                 const std::vector<TKrXmlAttrData>& attrs) override {
        if (m_leaf) return Refuse(begin); // items other than sections hold no elements
        TKrXIniTagParts tag;
        if (!CheckItemTag(nameBegin, nameEnd, attrs, tag)) return Refuse(begin);
        if (tag.type == TE_KrXIniItemType::Section) {
            m_build.OpenSection(tag.nameBegin, tag.nameEnd);
            return true;
        }
        m_leaf = *nameBegin;
        if (tag.type == TE_KrXIniItemType::Binary) {
            m_binaryName = KrDecodeStringXml(tag.nameBegin, Length(tag.nameBegin, tag.nameEnd));
            m_binary.clear();
            return true;
        }
        m_build.Item(tag.type, tag.nameBegin, tag.nameEnd, tag.valueBegin, tag.valueEnd);
        return true;
    }
    bool AddEmptyElemTag(const char* begin, const char*, const char* nameBegin, const char* nameEnd,
                         const std::vector<TKrXmlAttrData>& attrs) override {
        if (m_leaf) return Refuse(begin);
        TKrXIniTagParts tag;
        if (!CheckItemTag(nameBegin, nameEnd, attrs, tag)) return Refuse(begin);
        if (tag.type == TE_KrXIniItemType::Section)
            m_build.EmptySection(tag.nameBegin, tag.nameEnd);
        else
            m_build.Item(tag.type, tag.nameBegin, tag.nameEnd, tag.valueBegin, tag.valueEnd);
        return true;
    }
    bool AddETag(const char* begin, const char*, const char* nameBegin, const char* nameEnd) override {
        if (m_leaf) {
            if (nameEnd - nameBegin != 1 || *nameBegin != m_leaf) return Refuse(begin);
            if (m_leaf == 'b')
                m_build.ItemText(TE_KrXIniItemType::Binary, m_binaryName.data(), m_binaryName.size(),
                                 m_binary.data(), m_binary.size());
            m_leaf = 0;
            return true;
        }
        if (m_build.Depth() == 0) {
            m_done = nameEnd - nameBegin == 5 && std::memcmp(nameBegin, "krini", 5) == 0;
            return m_done ? false : Refuse(begin);
        }
        if (nameEnd - nameBegin != 1 || *nameBegin != 'x') return Refuse(begin);
        m_build.CloseSection();
        return true;
    }
    bool AddCharData(const char* begin, const char* end) override {
        if (m_leaf == 'b') {
            const std::string text = KrDecodeStringXml(begin, std::size_t(end - begin));
            AppendBase64(text.data(), text.data() + text.size());
        }
        return true;
    }
    bool AddCData(const char*, const char*, const char* innerBegin, const char* innerEnd) override {
        if (m_leaf == 'b') AppendBase64(innerBegin, innerEnd);
        return true;
    }
    bool AddComment(const char*, const char*, const char*, const char*) override { return true; }
    bool AddPI(const char*, const char*, const char*, const char*) override { return true; }
    bool AddDoctype(const char* begin, const char*) override { return Refuse(begin); }
    bool AddUnknown(const char* begin, const char*) override { return Refuse(begin); }

    bool Done() const noexcept { return m_done; }
    /// Puts every item read so far into the tree.
    void Finish() { m_build.Finish(); }
    /// The start of the markup that broke the format; null when none did.
    const char* RefusedAt() const noexcept { return m_refusedAt; }

private:
    bool Refuse(const char* at) noexcept {
        m_refusedAt = at;
        return false;
    }

    static std::size_t Length(const char* b, const char* e) { return b && e > b ? std::size_t(e - b) : 0; }
    void AppendBase64(const char* begin, const char* end) {
        const std::size_t at = m_binary.size();
        m_binary.resize(at + std::size_t(end - begin));
        char* last = KeepBase64(begin, end, &m_binary[at]);
        m_binary.resize(std::size_t(last - m_binary.data()));
    }

    TKrXIniTreeBuilder m_build;
    char m_leaf = 0; // the letter of an open item other than a section
    std::string m_binaryName;
    std::string m_binary;
    bool m_done = false;
    const char* m_refusedAt = nullptr;
};

} // namespace

var_a<TKrXIniTree*> ReadKrXIniTree(TKrStream* stream, bool throwOnError, TKrProgressHandler* progress) {
    return ReadKrXIniTree(stream, throwOnError, progress, nullptr);
}

var_a<TKrXIniTree*> ReadKrXIniTree(TKrStream* stream, bool throwOnError, TKrProgressHandler* progress,
                                   TKrXIniFormatPlace* failure) {
    if (failure) *failure = TKrXIniFormatPlace();
    const unsigned mode = throwOnError ? 2 : 1;
    // Loading takes the first half of the progress range, parsing the second.
    var_a<TKrProgressHandler*> loading, parsing;
    if (progress) {
        loading = progress->SubProgress(0.0, 0.5, 5, 5);
        parsing = progress->SubProgress(0.5, 1.0, 5, 5);
    }
    TKrXIniText text;
    // Names and values are copied into the tree's storage, so memory streams are read in place.
    const TKrMessage loadFailure = LoadXIniText(stream, loading.get(), text, true);
    if (!loadFailure.empty()) {
        ReportXIniError(loadFailure, mode);
        return var_a<TKrXIniTree*>();
    }
    var_a<TKrXIniTree*> tree = new_a<TKrXIniTree>();
    if (!text.body) return tree;
    const char* data = text.Data();
    TKrXmlCollIniTree coll(tree.get());
    TKrXmlParserLow parser;
    const char* stop = nullptr;
    parser.ReadXml(text.body, text.length - std::size_t(text.body - data), &stop, nullptr, &coll,
                   parsing.get());
    coll.Finish();
    if (progress) progress->CheckBreak(); // a user break stopped the scan
    if (coll.Done()) return tree;
    if (failure) {
        // Without a refused construct the scan stopped at an unterminated processing
        // instruction or ran out of text inside the root.
        const char* at = coll.RefusedAt() ? coll.RefusedAt() : stop;
        failure->offset = std::size_t(at - data);
        const TKrXmlTextPlace place = KrXmlTextPlace(data, text.length, failure->offset);
        failure->line = place.line;
        failure->column = place.column;
    }
    std::string where = FormatParseWhere(tree.get());
    if (!text.infoName.empty()) where = text.infoName + ":" + where;
    ReportXIniError(MsgFormatWhere(where), mode);
    return var_a<TKrXIniTree*>();
}

void ReadKrXIniToLinearStringList(TKrXIniReader* reader, std::map<std::string, std::string>* out,
                                  const std::string& prefix) {
    // An explicit stack of entered sections keeps deep documents off the call stack.
    struct TFrame {
        std::size_t level; // 0 for the section the walk started in
        std::size_t next;
        std::size_t count;
        std::string prefix;
    };
    std::vector<TFrame> frames{{0, 0, reader->CountE(), prefix}};
    while (!frames.empty()) {
        TFrame& frame = frames.back();
        if (frame.next == frame.count) {
            if (frame.level) reader->ExitSectionE(frame.level);
            frames.pop_back();
            continue;
        }
        const std::size_t i = frame.next++;
        switch (reader->ItemTypeE(i)) {
        case TE_KrXIniItemType::String:
            (*out)[frame.prefix + reader->ItemNameE(i)] = reader->ReadE_x_string(i);
            break;
        case TE_KrXIniItemType::Section: {
            std::string inner = frame.prefix + reader->ItemNameE(i) + ".";
            const std::size_t level = reader->EnterSectionE(i);
            frames.push_back({level, 0, reader->CountE(), std::move(inner)});
            break;
        }
        default:
            reader->throw_error_value(i);
        }
    }
}
