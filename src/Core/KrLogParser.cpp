// Incremental log-record parser and the redirecting and counting streams built on it.
#include "Core/KrLogParser.h"

#include <cstring>

TKrLogParser::~TKrLogParser() = default;

void TKrLogParser::Parse(const void* data, unsigned long n) {
    const char* p = static_cast<const char*>(data);
    const char* end = p + n;
    while (p < end) {
        switch (m_state) {
        case 0: // between records: skip line feeds
            while (p < end && *p == '\n')
                ++p;
            if (p == end) return;
            m_fill = 0;
            m_state = 1;
            break;
        case 1:
        case 2:
        case 3: {
            const char c = *p;
            if (c == '\n' || m_fill >= sizeof m_header - 1) { // the byte is left for state 4
                Malformed();
                break;
            }
            m_header[m_fill++] = c;
            ++p;
            if (c == '\t') {
                if (++m_state == 4) HeaderComplete();
            }
            break;
        }
        default: { // 4: text up to and including the line feed
            const char* lf =
                static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
            const char* stop = lf ? lf + 1 : end;
            RawWrite(p, static_cast<unsigned long>(stop - p), false);
            p = stop;
            if (lf) m_state = 0;
            break;
        }
        }
    }
}

void TKrLogParser::HeaderComplete() {
    // The three fields end at the three tabs collected so far.
    const char* tab1 = static_cast<const char*>(std::memchr(m_header, '\t', m_fill));
    const char* tab2 = static_cast<const char*>(std::memchr(tab1 + 1, '\t', m_fill - (tab1 + 1 - m_header)));
    const char* tab3 = m_header + m_fill - 1;
    m_timeField = m_header;
    m_timeLength = static_cast<unsigned>(tab1 - m_header);
    m_typeField = tab1 + 1;
    m_typeLength = static_cast<unsigned>(tab2 - m_typeField);
    m_sourceField = tab2 + 1;
    m_sourceLength = static_cast<unsigned>(tab3 - m_sourceField);

    if (m_timeLength == 0 && m_typeLength == 0 && m_sourceLength == 0) { // continuation line
        DoHeaderParsed(false);
        RawWrite(m_header, m_fill, true);
        return;
    }
    const char* t = m_typeField;
    const char* tend = t + m_typeLength;
    if (m_typeLength >= 2 && (t[0] == 'E' || t[0] == 'I' || t[0] == 'W') && t[1] >= '0' && t[1] <= '5') {
        m_type = t[0];
        m_level = t[1] - '0';
        m_extra = 0;
        if (t + 2 < tend && t[2] == ',') {
            const char* d = t + 3;
            bool negative = d < tend && *d == '-';
            if (negative) ++d;
            long long value = 0;
            for (; d < tend && *d >= '0' && *d <= '9' && value < (1LL << 40); ++d)
                value = value * 10 + (*d - '0');
            m_extra = static_cast<int>(negative ? -value : value);
        }
        DoHeaderParsed(true);
        RawWrite(m_header, m_fill, true);
        return;
    }
    Malformed();
}

void TKrLogParser::Malformed() {
    m_type = 'E';
    m_level = 0;
    m_extra = 0;
    DoHeaderParsed(true);
    RawWrite("~", 1, false);
    RawWrite(m_header, m_fill, false);
    m_state = 4;
}

void TKrLogRedirect::AddStream(TKrStream* target, const TFilter& filter, bool textOnly) {
    if (target) m_targets.push_back({target, filter, textOnly, false});
}

streamsize_t TKrLogRedirect::Read(void*, streamsize_t) {
    return 0;
}
bool TKrLogRedirect::setSize(streamsize_t) {
    return false;
}
bool TKrLogRedirect::setPosition(streamsize_t) {
    return false;
}

streamsize_t TKrLogRedirect::Write(const void* buf, streamsize_t n) {
    Parse(buf, n);
    m_bytes += n;
    return n;
}

bool TKrLogRedirect::Flush() {
    bool ok = true;
    for (TTarget& t : m_targets)
        ok = t.stream->Flush() && ok;
    return ok;
}

void TKrLogRedirect::DoHeaderParsed(bool recordStart) {
    if (!recordStart) return; // continuation lines keep the decision of their record
    const char type = HeaderType();
    for (TTarget& t : m_targets) {
        const bool own = HeaderExtra() == t.filter.channel;
        int threshold;
        switch (type) {
        case 'E':
            threshold = own ? t.filter.maxE : t.filter.otherE;
            break;
        case 'W':
            threshold = own ? t.filter.maxW : t.filter.otherW;
            break;
        case 'I':
            threshold = own ? t.filter.maxI : t.filter.otherI;
            break;
        default:
            t.pass = false;
            continue;
        }
        t.pass = HeaderLevel() <= threshold;
    }
}

void TKrLogRedirect::RawWrite(const void* data, unsigned long n, bool isHeader) {
    for (TTarget& t : m_targets)
        if (t.pass && !(isHeader && t.textOnly)) t.stream->Write(data, n);
}

void TKrLogCounter::DoHeaderParsed(bool recordStart) {
    ++m_headers;
    if (recordStart) ++m_records;
}

streamsize_t TKrLogCounter::Write(const void* buf, streamsize_t n) {
    Parse(buf, n);
    return m_inner ? m_inner->Write(buf, n) : n;
}

streamsize_t TKrLogCounter::getPosition() {
    return m_inner ? m_inner->getPosition() : 0;
}
bool TKrLogCounter::Close() {
    return m_inner ? m_inner->Close() : true;
}
streamsize_t TKrLogCounter::Read(void* buf, streamsize_t n) {
    return m_inner ? m_inner->Read(buf, n) : 0;
}
streamsize_t TKrLogCounter::getSize() {
    return m_inner ? m_inner->getSize() : 0;
}
bool TKrLogCounter::setSize(streamsize_t n) {
    return m_inner ? m_inner->setSize(n) : true;
}
bool TKrLogCounter::setPosition(streamsize_t p) {
    return m_inner ? m_inner->setPosition(p) : true;
}
bool TKrLogCounter::Flush() {
    return m_inner ? m_inner->Flush() : true;
}
TKrLogCounter::operator bool() {
    return m_inner ? static_cast<bool>(*m_inner) : true;
}
