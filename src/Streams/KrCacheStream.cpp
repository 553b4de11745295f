// TKrCacheStream: page table kept in most-recently-used order over a wrapped stream.
#include "Streams/KrCacheStream.h"
#include "Core/KrExceptions.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <new>
#include <string>
#include <thread>

namespace {
constexpr std::uint64_t kNoPage = ~std::uint64_t(0);
constexpr int kAllocRetries = 30;
constexpr auto kAllocRetryDelay = std::chrono::milliseconds(1000);

using TPage = TKrCacheStream::TKrCacheStreamPage;

// A page that claims bytes must have somewhere to keep them.
char* PageData(const TPage& page) {
    if (page.valid && !page.data) throw std::string("Logic error");
    return page.data;
}

std::uint64_t SaturatedAdd(std::uint64_t a, std::uint64_t b) {
    return a > kNoPage - b ? kNoPage : a + b;
}

// g++ 12 at -O3 sees the delete[] on newarray_a's failure path (which then throws) and warns
// that the array is used after it; nothing reaches the array on that path.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wuse-after-free"
#endif
var_a<TPage*> NewPageTable(std::uint64_t count) {
    return newarray_a(new TPage[count]);
}
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif
} // namespace

TKrCacheStream::TKrCacheStream(var_a<TKrStream*> source, const TCacheParams& params, bool releaseOnFlush)
    : m_source(std::move(source)), m_params(params), m_size(invalid_value64), m_position(invalid_value64),
      m_releaseOnFlush(releaseOnFlush), m_sourceValidEnd(invalid_value64) {
    KR_CHECK(params.pageSize > 0 && params.pageCount > 0);
    m_pages = NewPageTable(params.pageCount);
    if (m_source) {
        m_size = m_source->getSize64();
        m_position = m_source->getPosition64();
    }
    m_sourceValidEnd = m_size;
}

TKrCacheStream::TKrCacheStream(const TKrCacheStream& other)
    : TKrStream(), m_source(other.m_source), m_params(other.m_params), m_size(other.m_size),
      m_position(other.m_position), m_sizeChanged(other.m_sizeChanged),
      m_releaseOnFlush(other.m_releaseOnFlush), m_delayedDestroy(other.m_delayedDestroy),
      m_delayedDestroyEvent(other.m_delayedDestroyEvent), m_sourceValidEnd(other.m_sourceValidEnd) {
    setState(other.getState());
    setOptions(other.getOptions());
    SetInfoName(other.TKrStream::GetInfoName());
    m_pages = NewPageTable(m_params.pageCount);
    for (std::uint64_t i = 0; i < m_params.pageCount; ++i) {
        const TPage& from = other.m_pages[i];
        TPage& to = m_pages[i];
        if (!from.valid) continue;
        const char* bytes = PageData(from);
        AllocPage(to);
        std::memcpy(to.data, bytes, from.valid);
        to.pos = from.pos;
        to.valid = from.valid;
        to.dirty = from.dirty;
    }
}

TKrCacheStream::~TKrCacheStream() {
    try {
        if (m_source) {
            Flush();
            if (getOptions() & optCloseSource) m_source->Close();
        }
    } catch (...) {
        // Nothing can be reported from here; the data that did not reach the source is lost.
    }
    m_source.reset();
}

var_a<TKrCacheStream*> TKrCacheStream::VCreate(var_a<TKrStream*> source, const TCacheParams& params,
                                               bool releaseOnFlush) {
    return new_a<TKrCacheStream>(std::move(source), params, releaseOnFlush);
}

TKrCacheStream::operator bool() {
    return m_source && static_cast<bool>(*m_source);
}

std::string TKrCacheStream::GetInfoName() const {
    return m_source ? m_source->GetInfoName() : std::string();
}

void TKrCacheStream::SetDelayedDestroy(bool delayed, TDelayedDestroyEvent event) {
    m_delayedDestroy = delayed;
    m_delayedDestroyEvent = std::move(event);
}

std::uint64_t TKrCacheStream::NextPageStart(std::uint64_t pos) const noexcept {
    std::uint64_t next = kNoPage;
    for (std::uint64_t i = 0; i < m_params.pageCount; ++i) {
        const TPage& p = m_pages[i];
        if (p.valid && p.pos > pos && p.pos < next) next = p.pos;
    }
    return next;
}

void TKrCacheStream::AllocPage(TPage& page) {
    ReleasePage(page);
    for (int attempt = 0;; ++attempt) {
        try {
            page.buffer = newarray_a(new char[m_params.pageSize]);
            page.data = page.buffer.get();
            return;
        } catch (const std::bad_alloc&) {
            // Other pages or other parts of the process may give memory back soon; a cache
            // that fails at once would turn a passing shortage into a lost write.
            if (attempt >= kAllocRetries) throw;
            std::this_thread::sleep_for(kAllocRetryDelay);
        }
    }
}

void TKrCacheStream::ReleasePage(TPage& page) noexcept {
    page.buffer.reset();
    page.data = nullptr;
    page.valid = 0;
    page.dirty = false;
}

bool TKrCacheStream::WriteBack(TPage& page) {
    char* bytes = PageData(page);
    if (page.pos > m_sourceValidEnd) {
        // Writing past the stale tail would leave it inside the stream: cut it first, so that
        // the gap up to the page reads as zeros.
        const std::uint64_t sourceSize = m_source->getSize64();
        if (sourceSize == invalid_value64) return false;
        if (sourceSize > m_sourceValidEnd && !m_source->setSize64(m_sourceValidEnd)) return false;
    }
    if (!m_source->setPosition64(page.pos)) return false;
    if (m_source->Write(bytes, page.valid) != page.valid) return false;
    page.dirty = false;
    m_sourceValidEnd = std::max(m_sourceValidEnd, page.pos + page.valid);
    return true;
}

TPage* TKrCacheStream::FindPage(std::uint64_t pos, std::uint64_t len, bool forWrite) {
    const std::uint64_t count = m_params.pageCount;
    const std::uint64_t need = forWrite ? pos : pos + 1; // where the valid data must reach
    // Runs of small accesses hit the page used last; data never overlaps, so it is the answer.
    if (m_pages[0].valid && pos >= m_pages[0].pos && pos - m_pages[0].pos < m_pages[0].valid)
        return &m_pages[0];
    std::uint64_t chosen = kNoPage;

    // A page whose window holds pos: the one with data at pos, else the one starting last
    // (any page starting later than it would lie inside its window and must bound it).
    std::uint64_t latest = kNoPage;
    for (std::uint64_t i = 0; i < count; ++i) {
        const TPage& p = m_pages[i];
        if (!p.valid || pos < p.pos || pos - p.pos >= m_params.pageSize) continue;
        if (pos - p.pos < p.valid) {
            chosen = i;
            break;
        }
        if (latest == kNoPage || p.pos > m_pages[latest].pos) latest = i;
    }
    if (chosen == kNoPage && latest != kNoPage) {
        TPage& p = m_pages[latest];
        PageData(p);
        if (p.pos + p.valid < need && !ExpandPage(p, pos, len, forWrite)) return nullptr;
        chosen = latest;
    }

    if (chosen == kNoPage) {
        // Victim: a free entry, else the least recently used one that holds none of the
        // bytes this request is about to use, else simply the least recently used one.
        std::uint64_t victim = kNoPage;
        for (std::uint64_t i = count; i-- > 0 && victim == kNoPage;)
            if (!m_pages[i].valid) victim = i;
        for (std::uint64_t i = count; i-- > 0 && victim == kNoPage;) {
            const TPage& p = m_pages[i];
            if (p.pos > SaturatedAdd(pos, len) || p.pos + p.valid <= pos) victim = i;
        }
        if (victim == kNoPage) victim = count - 1;
        TPage& p = m_pages[victim];
        PageData(p);
        if (!p.data) AllocPage(p);
        if (p.dirty && p.valid && !WriteBack(p)) return nullptr;
        p.valid = 0;
        p.dirty = false;
        if (!LoadPage(p, pos, len, forWrite)) return nullptr;
        chosen = victim;
    }

    if (chosen != 0) std::rotate(&m_pages[0], &m_pages[chosen], &m_pages[chosen + 1]);
    return &m_pages[0];
}

bool TKrCacheStream::LoadPage(TPage& page, std::uint64_t pos, std::uint64_t len, bool forWrite) {
    if (!m_source) return false;
    if (!forWrite && pos >= m_size) return false;

    // Start at pos unless a full page from there would run into the next loaded page; then
    // pull the start back so the page spans the gap, but not over the data before it.
    std::uint64_t start = pos;
    const std::uint64_t next = NextPageStart(pos);
    if (next != kNoPage && next - pos < m_params.pageSize) {
        std::uint64_t prevEnd = 0;
        for (std::uint64_t i = 0; i < m_params.pageCount; ++i) {
            const TPage& p = m_pages[i];
            if (&p != &page && p.valid && p.pos + p.valid <= pos)
                prevEnd = std::max(prevEnd, p.pos + p.valid);
        }
        start = next - prevEnd < m_params.pageSize ? prevEnd : next - m_params.pageSize;
    }
    page.pos = start;
    page.valid = 0;
    page.dirty = false;
    if (start >= m_size) {
        m_size = start;
        m_sizeChanged = true;
        return true;
    }
    return ExpandPage(page, pos, len, forWrite);
}

bool TKrCacheStream::ExpandPage(TPage& page, std::uint64_t pos, std::uint64_t len, bool forWrite) {
    if (!m_source) return false;
    if (!forWrite && pos >= m_size) return false;

    const std::uint64_t end =
        std::min({SaturatedAdd(page.pos, m_params.pageSize), m_size, NextPageStart(pos)});
    const std::uint64_t sourceSize = m_source->getSize64();
    if (sourceSize == invalid_value64) return false;
    const std::uint64_t readEnd = std::min({end, sourceSize, m_sourceValidEnd});
    const std::uint64_t need = forWrite ? pos : pos + 1;

    const bool overwritten = forWrite && SaturatedAdd(pos, len) >= readEnd && page.pos + page.valid >= pos;
    if (!overwritten && readEnd > page.pos + page.valid) {
        if (!m_source->setPosition64(page.pos + page.valid)) return false;
        if (!page.data) AllocPage(page);
        const std::uint64_t missing = readEnd - (page.pos + page.valid);
        const streamsize_t got = m_source->Read(page.data + page.valid, missing);
        if (got != invalid_value) page.valid += std::min<std::uint64_t>(got, missing);
        // The source holds more than it gave: keep what arrived rather than covering the
        // rest with zeros that a later write-back would store over real data.
        if (got == invalid_value || got < missing) return page.pos + page.valid >= need;
    }

    // What lies beyond the source (up to the logical size, or up to a write's start) is zeros.
    const std::uint64_t fillEnd = forWrite && end <= pos ? pos : end;
    if (fillEnd > page.pos + page.valid) {
        if (!page.data) AllocPage(page);
        std::memset(page.data + page.valid, 0, fillEnd - (page.pos + page.valid));
        page.valid = fillEnd - page.pos;
        page.dirty = true;
    }
    return true;
}

streamsize_t TKrCacheStream::Read(void* buf, streamsize_t n) {
    if ((getOptions() & optFailReadsAfterError) && (getState() & stReadError)) return invalid_value;
    if (!*this || m_position == invalid_value64) {
        AddState(stReadError);
        return invalid_value;
    }
    auto* out = static_cast<char*>(buf);
    streamsize_t done = 0;
    while (done < n) {
        TPage* page = FindPage(m_position, n - done, false);
        if (!page) break;
        const std::uint64_t offset = m_position - page->pos;
        const std::uint64_t k = std::min<std::uint64_t>(page->valid - offset, n - done);
        std::memcpy(out + done, PageData(*page) + offset, k);
        done += k;
        m_position += k;
    }
    if (done < n) AddState(m_position == m_size ? stEndOfData : stEndOfData | stReadError);
    return done;
}

streamsize_t TKrCacheStream::Write(const void* buf, streamsize_t n) {
    if ((getOptions() & optFailWritesAfterError) && (getState() & stWriteError)) return invalid_value;
    if (!*this || m_position == invalid_value64) {
        AddState(stWriteError);
        return invalid_value;
    }
    // Keep every end position below invalid_value64, which means "no position".
    const streamsize_t room = invalid_value64 - 1 - m_position;
    const bool clipped = n > room;
    if (clipped) n = room;
    const auto* in = static_cast<const char*>(buf);
    streamsize_t done = 0;
    while (done < n) {
        TPage* page = FindPage(m_position, n - done, true);
        if (!page) {
            AddState(stWriteError);
            break;
        }
        const std::uint64_t offset = m_position - page->pos;
        std::uint64_t chunk = std::min<std::uint64_t>(m_params.pageSize - offset, n - done);
        // Data never overlaps, so only a chunk reaching past this page's data can meet another.
        if (m_position + chunk > page->pos + page->valid) {
            const std::uint64_t next = NextPageStart(m_position);
            if (next < m_size && m_position + chunk > next) chunk = next - m_position;
        }
        char* data = page->data;
        KR_CHECK(data);
        std::memcpy(data + offset, in + done, chunk);
        page->dirty = true;
        done += chunk;
        m_position += chunk;
        if (m_position > m_size) {
            m_size = m_position;
            m_sizeChanged = true;
        }
        page->valid = std::max(page->valid, offset + chunk);
    }
    if (clipped) AddState(stWriteError);
    return done;
}

bool TKrCacheStream::setSize64(streamsize_t n) {
    if (!*this) {
        AddState(stWriteError);
        return false;
    }
    const bool shrinking = n < m_size;
    m_size = n;
    m_sizeChanged = true;
    if (shrinking) {
        m_sourceValidEnd = std::min(m_sourceValidEnd, n);
        for (std::uint64_t i = 0; i < m_params.pageCount; ++i) {
            TPage& p = m_pages[i];
            if (!p.valid) continue;
            if (p.pos >= n) {
                p.valid = 0;
                p.dirty = false;
            } else if (p.pos + p.valid > n) {
                p.valid = n - p.pos;
            }
        }
        std::stable_partition(&m_pages[0], &m_pages[0] + m_params.pageCount,
                              [](const TPage& p) { return p.valid != 0; });
    }
    return true;
}

bool TKrCacheStream::setPosition64(streamsize_t p) {
    if (!*this) {
        AddState(stSeekError);
        return false;
    }
    m_position = p;
    return true;
}

bool TKrCacheStream::Flush() {
    if (!*this) {
        AddState(stWriteError);
        return false;
    }
    bool ok = true;
    for (std::uint64_t i = 0; i < m_params.pageCount; ++i) {
        TPage& p = m_pages[i];
        if (ok && p.dirty && p.valid && !WriteBack(p)) ok = false;
        if (m_releaseOnFlush) ReleasePage(p);
    }
    if (ok && m_sizeChanged) {
        // A stale tail below the new size is cut off first; the regrowth then reads as zeros.
        const std::uint64_t sourceSize = m_source->getSize64();
        if (m_size > m_sourceValidEnd && sourceSize > m_sourceValidEnd && sourceSize != invalid_value64)
            ok = m_source->setSize64(m_sourceValidEnd);
        if (ok && m_source->setSize64(m_size)) {
            m_sizeChanged = false;
            m_sourceValidEnd = m_size;
        } else {
            ok = false;
        }
    }
    if (!(getOptions() & optNoFlushSource) && !m_source->Flush()) ok = false;
    if (!ok) AddState(stWriteError);
    return ok;
}

bool TKrCacheStream::Close() {
    if (!*this) return true;
    try {
        const bool flushed = Flush();
        bool closed = true;
        if (getOptions() & optCloseSource) {
            closed = m_source->Close();
            if (!closed) setState(getState() | m_source->getState() | stWriteError);
        }
        m_source.reset();
        return flushed && closed;
    } catch (...) {
        m_source.reset();
        return false;
    }
}
