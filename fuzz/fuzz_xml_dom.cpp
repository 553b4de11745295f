// The DOM reader on any bytes. Reading in place (KrReadXmlEx) and reading a caller's buffer
// (which copies) agree; every stored text is terminated; what is accepted writes out, copies,
// reads back and writes out the same.
#include "Core/KrMessage.h"
#include "Streams/KrStringStream.h"
#include "Xml/KrXmlDom.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {
void CheckTerminated(const TKrXmlString& s) {
    if (s.c_str()[s.size()] != '\0') std::abort();
}

/// Every name, value and text of the tree is a terminated view.
void CheckTree(const TKrXmlTagItem* root) {
    std::vector<const TKrXmlTagItem*> todo{root};
    while (!todo.empty()) {
        const TKrXmlTagItem* t = todo.back();
        todo.pop_back();
        CheckTerminated(t->m_name);
        for (const TKrXmlTagAttribute& a : t->m_attributes) {
            CheckTerminated(a.name);
            CheckTerminated(a.value);
        }
        for (const TKrXmlItem* item : t->m_items) {
            if (const TKrXmlTagItem* c = item->AsTag())
                todo.push_back(c);
            else if (const TKrXmlTextItem* x = item->AsText())
                CheckTerminated(x->m_text);
            else if (const TKrXmlCommentItem* m = item->AsComment())
                CheckTerminated(m->m_text);
            else if (const TKrXmlPiItem* p = item->AsPi())
                CheckTerminated(p->m_text);
            else
                std::abort();
        }
    }
}

std::string Written(const TKrXmlTagItem* root) {
    TKrStringStream s;
    WriteXml(&s, root);
    return s.str();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    if (size < 1) return 0;
    const unsigned flags = bytes[0] & 0x1F;
    const std::string text(reinterpret_cast<const char*>(bytes) + 1, size - 1);

    // The same bytes through the copying collector, without the byte-order mark KrReadXmlEx skips.
    const std::size_t skip = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    TKrXmlCollXmlTree copying(flags, text.data());
    TKrXmlParserLow parser;
    const bool copiedOk =
        parser.ReadXml(text.data() + skip, text.size() - skip, nullptr, nullptr, &copying) &&
        copying.Finish(text.data() + text.size());

    TKrStringStream in(text);
    var_a<TKrXmlTagItem*> root;
    try {
        root = KrReadXmlEx(&in, flags, true, nullptr);
    } catch (const TKrMessage&) {
        if (copiedOk) std::abort();
        return 0;
    }
    if (!root || !copiedOk) std::abort();
    CheckTree(root.get());
    CheckTree(copying.Root().get());
    const std::string first = Written(root.get());
    if (Written(copying.Root().get()) != first) std::abort();

    const TKrXmlTagItem copy(*root);
    root.reset();
    CheckTree(&copy);
    if (Written(&copy) != first) std::abort();

    TKrStringStream back(first);
    using RF = TE_KrReadXmlFlags;
    var_a<TKrXmlTagItem*> again =
        KrReadXmlEx(&back, RF::rxKeepText | RF::rxKeepPi | RF::rxKeepComments, false, nullptr);
    if (!again) std::abort();
    if (Written(again.get()) != first) std::abort();
    return 0;
}
