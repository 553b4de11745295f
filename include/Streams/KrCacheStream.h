// TKrCacheStream: a fixed set of in-memory pages over a slow or unbuffered stream.
#pragma once

#include "Core/KrVarA.h"
#include "Streams/KrStream.h"

#include <cstdint>
#include <functional>

/// Keeps up to `pageCount` pages of `pageSize` bytes of the wrapped stream in memory and serves
/// reads and writes from them, so small random accesses cost a memcpy instead of a system call.
/// Pages are reused least recently used first. Written data stays in the pages (dirty) and
/// reaches the wrapped stream only when its page is evicted, on Flush, Close or destruction;
/// only the valid range of a changed page is written back, in one Write. The logical size
/// (getSize64) may run ahead of the wrapped stream's size until the next Flush.
///
/// Reads from the wrapped stream fetch only the bytes a page lacks. Bytes between the end of
/// the wrapped stream and the logical size read as zeros. Page buffers are allocated on first
/// use; when memory runs out the allocation is retried every second, up to 30 times.
///
/// Failures are reported by results and state bits: a short read sets stEndOfData at the
/// logical size and stEndOfData | stReadError elsewhere; a write that cannot get its page sets
/// stWriteError and returns the bytes written so far. Not synchronised.
class KRSTD_API TKrCacheStream : public TKrStream {
public:
    /// Page size in bytes and number of pages; both must be non-zero.
    struct TCacheParams {
        std::uint64_t pageSize;
        std::uint64_t pageCount;
    };

    /// One entry of the page table. A page holds the bytes pos .. pos + valid of the stream;
    /// valid == 0 marks a free entry (which may still keep its buffer for reuse).
    struct TKrCacheStreamPage {
        var_a<char*> buffer; ///< pageSize bytes, empty until first needed
        char* data = nullptr;
        std::uint64_t pos = 0;
        std::uint64_t valid = 0;
        bool dirty = false;
    };

    /// Called by whoever finally destroys a stream that was marked for delayed destruction.
    using TDelayedDestroyEvent = std::function<void()>;

    /// Caches `source` (which may be empty: the stream is then unusable). Logical size and
    /// position start as the source's. With `releaseOnFlush` every Flush also frees the pages.
    /// Allocates the page table, not the pages. Throws the internal-error message for a zero
    /// page size or page count.
    TKrCacheStream(var_a<TKrStream*> source, const TCacheParams& params, bool releaseOnFlush);
    /// A second cache over the same wrapped stream with the same parameters, options, state,
    /// position and logical size, and its own copies of the pages (dirty ones stay dirty, so
    /// either cache writes the unflushed bytes back).
    TKrCacheStream(const TKrCacheStream& other);
    TKrCacheStream& operator=(const TKrCacheStream&) = delete;
    /// Flushes (errors ignored), closes the wrapped stream under optCloseSource; never throws.
    ~TKrCacheStream() override;

    static var_a<TKrCacheStream*> VCreate(var_a<TKrStream*> source, const TCacheParams& params,
                                          bool releaseOnFlush);

    /// Copies from the pages, loading what is missing. invalid_value under
    /// optFailReadsAfterError after a read error, and (with stReadError) when unusable or
    /// without a position.
    streamsize_t Read(void* buf, streamsize_t n) override;
    /// Copies into the pages (loading the parts of a page it does not cover) and raises the
    /// logical size when writing past it.
    streamsize_t Write(const void* buf, streamsize_t n) override;
    /// Writes back the dirty pages in table order (stopping at the first failure), resizes the
    /// wrapped stream to the logical size when that changed, and flushes the wrapped stream
    /// unless optNoFlushSource. False with stWriteError on any failure.
    bool Flush() override;
    /// Flushes, closes the wrapped stream under optCloseSource and lets it go. True when not
    /// usable; false when the flush or the wrapped stream's close failed.
    bool Close() override;
    /// The logical size: the wrapped stream's size plus whatever was written or set since.
    streamsize_t getSize() override { return m_size; }
    streamsize_t getSize64() override { return m_size; }
    /// Changes the logical size at once (cutting pages when shrinking); the wrapped stream is
    /// resized at the next Flush.
    bool setSize(streamsize_t n) override { return setSize64(n); }
    bool setSize64(streamsize_t n) override;
    streamsize_t getPosition() override { return m_position; }
    streamsize_t getPosition64() override { return m_position; }
    /// Any position is accepted; false with stSeekError only when unusable.
    bool setPosition(streamsize_t p) override { return setPosition64(p); }
    bool setPosition64(streamsize_t p) override;
    /// The wrapped stream exists and is usable.
    explicit operator bool() override;
    /// The wrapped stream's name; empty without one.
    std::string GetInfoName() const override;

    /// Marks the stream for delayed destruction and keeps `event` for whoever destroys it;
    /// the stream itself only stores both.
    void SetDelayedDestroy(bool delayed, TDelayedDestroyEvent event = {});
    bool GetDelayedDestroy() const noexcept { return m_delayedDestroy; }
    const TDelayedDestroyEvent& GetDelayedDestroyEvent() const noexcept { return m_delayedDestroyEvent; }

    const var_a<TKrStream*>& GetSource() const noexcept { return m_source; }
    const TCacheParams& GetParams() const noexcept { return m_params; }
    /// The page table, most recently used first (GetParams().pageCount entries).
    const TKrCacheStreamPage* GetPages() const noexcept { return m_pages.get(); }

private:
    TKrCacheStreamPage* FindPage(std::uint64_t pos, std::uint64_t len, bool forWrite);
    bool LoadPage(TKrCacheStreamPage& page, std::uint64_t pos, std::uint64_t len, bool forWrite);
    bool ExpandPage(TKrCacheStreamPage& page, std::uint64_t pos, std::uint64_t len, bool forWrite);
    void AllocPage(TKrCacheStreamPage& page);
    void ReleasePage(TKrCacheStreamPage& page) noexcept;
    bool WriteBack(TKrCacheStreamPage& page);
    /// Start of the first page with data beginning after `pos`; ~0 when there is none.
    std::uint64_t NextPageStart(std::uint64_t pos) const noexcept;

    var_a<TKrStream*> m_source;
    TCacheParams m_params;
    std::uint64_t m_size;
    std::uint64_t m_position;
    bool m_sizeChanged = false;
    bool m_releaseOnFlush;
    bool m_delayedDestroy = false;
    TDelayedDestroyEvent m_delayedDestroyEvent;
    var_a<TKrCacheStreamPage*> m_pages;
    /// How many leading bytes of the wrapped stream still belong to this stream. A shrink
    /// reaches the wrapped stream only at Flush; until then its tail is stale and must neither
    /// be read into pages nor survive under a later write past it.
    std::uint64_t m_sourceValidEnd;
};
