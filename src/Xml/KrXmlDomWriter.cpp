// The XML DOM writer: WriteXml and WriteXmlEx.
#include "Xml/KrXmlDom.h"

#include "Core/KrExceptions.h"
#include "Streams/KrBufferedWriter.h"
#include "Xml/KrXmlEscape.h"
#include "Xml/KrXmlEscapeInternal.h"

#include <cstring>
#include <string>
#include <vector>

namespace {
using WF = TE_KrWriteXmlElementFlags;

class TXmlWriter {
public:
    TXmlWriter(TKrStream* stream, const TWriteXmlOptions& options,
               const std::map<const TKrXmlTagItem*, unsigned>& flags)
        : m_out(stream, kBlock, TKrBufferedWriter::ThrowFailure), m_options(options), m_flags(flags),
          m_eol(options.eol == eolCRLF ? "\r\n"
                : options.eol == eolCR ? "\r"
                                       : "\n") {}

    void Document(const TKrXmlTagItem* root) {
        if (m_options.byteOrderMark) Put("\xEF\xBB\xBF");
        if (m_options.declaration == TWriteXmlOptions::declUpper)
            Put("<?xml version=\"1.0\" encoding=\"UTF-8\"?>");
        else if (m_options.declaration == TWriteXmlOptions::declLower)
            Put("<?xml version=\"1.0\" encoding=\"utf-8\"?>");
        if (m_options.declaration != TWriteXmlOptions::declNone) Put(m_eol);
        if (root && !(Flags(root) & WF::wxeOmit)) Tree(root);
        if (!m_options.indent.empty()) Put(m_eol);
        m_out.Flush();
    }

private:
    static constexpr std::size_t kBlock = 65536;

    struct TFrame {
        const TKrXmlTagItem* tag;
        std::size_t next; // next child to write
        bool inlined;     // content on one line
    };

    unsigned Flags(const TKrXmlTagItem* tag) const {
        if (m_flags.empty()) return 0;
        auto it = m_flags.find(tag);
        return it == m_flags.end() ? 0 : it->second;
    }

    bool Writes(const TKrXmlItem* item) const {
        const TKrXmlTagItem* t = item->AsTag();
        return !t || !(Flags(t) & WF::wxeOmit);
    }

    void Put(std::string_view s) { m_out.Write(s.data(), s.size()); }
    void Put(const char* s) { m_out.Write(s, std::strlen(s)); }
    /// Escapes straight into the buffer.
    void PutEncoded(std::string_view s, TKrEncodeStringXmlMode mode) {
        KrWriteStringXml(m_out, s.data(), s.size(), mode);
    }
    /// Escaped text whose line ends follow the options.
    void PutEscaped(std::string_view s, TKrEncodeStringXmlMode mode) {
        if (m_options.normalizeEol) return PutLines(KrEncodeStringXml(s.data(), s.size(), mode));
        PutEncoded(s, mode);
    }
    /// Text whose line ends follow the options.
    void PutLines(std::string_view s) {
        if (!m_options.normalizeEol) return Put(s);
        for (std::size_t i = 0; i < s.size(); ++i) {
            if (s[i] == '\r' || s[i] == '\n') {
                if (s[i] == '\r' && i + 1 < s.size() && s[i + 1] == '\n') ++i;
                Put(m_eol);
            } else {
                m_out.Write(s[i]);
            }
        }
    }
    void NewLine(std::size_t depth) {
        Put(m_eol);
        for (std::size_t i = 0; i < depth; ++i)
            Put(m_options.indent);
    }

    void EndTag(const TKrXmlTagItem* t) {
        Put("</");
        Put(t->m_name);
        Put(">");
    }

    void StartTag(const TKrXmlTagItem* t, bool hasContent) {
        Put("<");
        Put(t->m_name);
        for (const TKrXmlTagAttribute& a : t->m_attributes) {
            Put(" ");
            Put(a.name);
            Put("=\"");
            // Control bytes become references, so values need no line-end handling.
            PutEncoded(a.value, TE_KrEncodeStringXmlMode::xmlEncDefault);
            Put("\"");
        }
        Put(hasContent || !m_options.shortEmptyElements ? ">" : "/>");
    }

    /// Writes the tree with an explicit stack, so any depth is safe.
    void Tree(const TKrXmlTagItem* root) {
        std::vector<TFrame> stack;
        auto open = [&](const TKrXmlTagItem* t, bool parentInline) {
            bool content = false, text = false;
            for (const TKrXmlItem* item : t->m_items) {
                content = content || Writes(item);
                text = text || item->AsText();
            }
            StartTag(t, content);
            if (!content) {
                if (!m_options.shortEmptyElements) EndTag(t);
                return;
            }
            const bool inlined =
                parentInline || text || m_options.indent.empty() || (Flags(t) & WF::wxeInline);
            stack.push_back({t, 0, inlined});
        };
        open(root, false);
        while (!stack.empty()) {
            TFrame& f = stack.back();
            if (f.next == f.tag->m_items.size()) {
                const bool inlined = f.inlined;
                const TKrXmlTagItem* t = f.tag;
                stack.pop_back();
                if (!inlined) NewLine(stack.size());
                EndTag(t);
                continue;
            }
            const TKrXmlItem* item = f.tag->m_items[f.next++];
            if (!Writes(item)) continue;
            const bool inlined = f.inlined;
            if (!inlined) NewLine(stack.size());
            if (const TKrXmlTagItem* t = item->AsTag()) {
                open(t, inlined);
            } else if (const TKrXmlTextItem* x = item->AsText()) {
                PutEscaped(x->m_text, TE_KrEncodeStringXmlMode::xmlEncText);
            } else if (const TKrXmlCommentItem* c = item->AsComment()) {
                Put("<!--");
                PutLines(c->m_text);
                Put("-->");
            } else if (const TKrXmlPiItem* p = item->AsPi()) {
                Put("<?");
                PutLines(p->m_text);
                Put("?>");
            }
        }
    }

    TKrBufferedWriter m_out;
    const TWriteXmlOptions& m_options;
    const std::map<const TKrXmlTagItem*, unsigned>& m_flags;
    const std::string m_eol;
};
} // namespace

void WriteXml(TKrStream* stream, const TKrXmlTagItem* root) {
    WriteXmlEx(stream, root, TWriteXmlOptions(), {});
}

void WriteXmlEx(TKrStream* stream, const TKrXmlTagItem* root, const TWriteXmlOptions& options,
                const std::map<const TKrXmlTagItem*, unsigned>& elementFlags) {
    KR_CHECK(stream != nullptr);
    TXmlWriter(stream, options, elementFlags).Document(root);
}
