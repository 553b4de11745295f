// XML test helpers: a collector that records every piece the scanner reports, as text, and the
// parameters of an expected message.
#pragma once

#include "Core/KrMessage.h"
#include "Xml/KrXmlParser.h"

#include <functional>
#include <string>
#include <vector>

namespace KrXmlTest {

/// Records "Kind(whole|inner)" per piece; attributes as " name=value". Refuses after `limit`.
class TRecorder : public TKrXmlColl {
public:
    std::vector<std::string> log;
    std::size_t limit = static_cast<std::size_t>(-1);
    bool unknownAccepted = false;

    bool AddUnknown(const char* b, const char* e) override {
        return Note("Unknown(" + S(b, e) + ")") && unknownAccepted;
    }
    bool AddCharData(const char* b, const char* e) override { return Note("Text(" + S(b, e) + ")"); }
    bool AddCData(const char* b, const char* e, const char* ib, const char* ie) override {
        return Note("CData(" + S(b, e) + "|" + S(ib, ie) + ")");
    }
    bool AddComment(const char* b, const char* e, const char* ib, const char* ie) override {
        return Note("Comment(" + S(b, e) + "|" + S(ib, ie) + ")");
    }
    bool AddPI(const char* b, const char* e, const char* ib, const char* ie) override {
        return Note("PI(" + S(b, e) + "|" + S(ib, ie) + ")");
    }
    bool AddDoctype(const char* b, const char* e) override { return Note("Doctype(" + S(b, e) + ")"); }
    bool AddSTag(const char* b, const char* e, const char* nb, const char* ne,
                 const std::vector<TKrXmlAttrData>& attrs) override {
        return Note("STag(" + S(b, e) + "|" + S(nb, ne) + Attrs(attrs) + ")");
    }
    bool AddETag(const char* b, const char* e, const char* nb, const char* ne) override {
        return Note("ETag(" + S(b, e) + "|" + S(nb, ne) + ")");
    }
    bool AddEmptyElemTag(const char* b, const char* e, const char* nb, const char* ne,
                         const std::vector<TKrXmlAttrData>& attrs) override {
        return Note("Empty(" + S(b, e) + "|" + S(nb, ne) + Attrs(attrs) + ")");
    }

private:
    static std::string S(const char* b, const char* e) { return std::string(b, e); }
    static std::string Attrs(const std::vector<TKrXmlAttrData>& attrs) {
        std::string s;
        for (const auto& a : attrs)
            s += " " + S(a.nameBegin, a.nameEnd) + "=" + S(a.valueBegin, a.valueEnd);
        return s;
    }
    bool Note(std::string s) {
        log.push_back(std::move(s));
        return log.size() < limit;
    }
};

/// The parameters of a message joined by ", " (the message's own format is left alone).
inline std::string Params(const TKrMessage& m) {
    TKrMessage probe = m;
    probe.set_format("%*%");
    return probe.what();
}

/// The TKrMessage that `f` throws, or an empty one.
inline TKrMessage Caught(const std::function<void()>& f) {
    try {
        f();
    } catch (const TKrMessage& m) {
        return m;
    }
    return TKrMessage();
}

} // namespace KrXmlTest
