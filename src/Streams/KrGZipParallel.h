// Gzip output compressed in independent blocks on worker threads, one gzip member per block.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

/// Cuts the data written to it into blocks of BlockSize bytes and deflates each on one of the
/// worker threads into a complete gzip member (header, deflate data, CRC-32 and size); the
/// members come out in order through the sink, on the caller's thread. Every gzip reader takes
/// consecutive members as one stream. Blocks do not share a dictionary, which costs a few
/// hundred bytes per block; with libdeflate the output is about as small as zlib's at the same
/// level and much faster to make.
///
/// Memory: two blocks in and out per thread (about 4 MiB per thread) held until destruction.
class TKrGZipParallel {
public:
    /// Uncompressed bytes per member.
    static constexpr std::size_t BlockSize = std::size_t(1) << 20;
    /// Receives the members in order; false stops the stream (every later call fails).
    using TSink = std::function<bool(const unsigned char*, std::size_t)>;

    /// Starts `threads` workers (at least 1) compressing at zlib's scale `level` (-1: 6).
    /// `firstHeader` is the header of the first member; the others get a bare 10-byte one.
    TKrGZipParallel(std::size_t threads, int level, std::string firstHeader, TSink sink);
    /// Stops the workers without writing what is still pending.
    ~TKrGZipParallel();
    TKrGZipParallel(const TKrGZipParallel&) = delete;
    TKrGZipParallel& operator=(const TKrGZipParallel&) = delete;

    /// Copies n bytes into blocks, handing each full block to a worker; waits for (and writes)
    /// the oldest member when every block is busy. False once anything has failed.
    bool Write(const unsigned char* data, std::size_t n);
    /// Compresses the last partial block (or an empty member when nothing was written at all)
    /// and writes every pending member. False when anything failed.
    bool Finish();

private:
    struct TBlock;
    bool Submit();
    bool WriteOldest();
    void Work();

    int m_level;
    std::string m_firstHeader;
    TSink m_sink;
    std::vector<std::unique_ptr<TBlock>> m_blocks; // a ring in submission order
    std::size_t m_filling = 0;                     // the block receiving Write data
    std::size_t m_oldest = 0;                      // the oldest submitted, unwritten block
    std::size_t m_pending = 0;                     // submitted and not yet written
    std::size_t m_members = 0;                     // submitted so far
    bool m_failed = false;

    std::mutex m_mutex;
    std::condition_variable m_work; // a block was queued, or stop
    std::condition_variable m_done; // a block was compressed
    std::deque<TBlock*> m_queue;
    bool m_stop = false;
    std::vector<std::thread> m_threads;
};
