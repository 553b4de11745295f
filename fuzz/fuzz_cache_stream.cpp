// Any sequence of reads, writes, resizes and flushes through a cache stream must read back what a
// plain buffer holds, and leave exactly that buffer in the wrapped stream after the last flush.
#include "Streams/KrCacheStream.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {
/// A file-like stream over a string: writes past the end fill the gap with zeros.
class TBufferStream : public TKrStream {
public:
    std::string data;
    streamsize_t pos = 0;
    streamsize_t Read(void* buf, streamsize_t n) override {
        const streamsize_t k = pos < data.size() ? std::min<streamsize_t>(n, data.size() - pos) : 0;
        if (k) std::memcpy(buf, data.data() + pos, k);
        pos += k;
        return k;
    }
    streamsize_t Write(const void* buf, streamsize_t n) override {
        if (data.size() < pos + n) data.resize(pos + n, '\0');
        if (n) std::memcpy(&data[pos], buf, n);
        pos += n;
        return n;
    }
    streamsize_t getSize() override { return data.size(); }
    streamsize_t getSize64() override { return data.size(); }
    bool setSize(streamsize_t n) override {
        data.resize(n, '\0');
        return true;
    }
    bool setSize64(streamsize_t n) override { return setSize(n); }
    streamsize_t getPosition() override { return pos; }
    bool setPosition(streamsize_t p) override {
        pos = p;
        return true;
    }
    bool setPosition64(streamsize_t p) override { return setPosition(p); }
    explicit operator bool() override { return true; }
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) return 0;
    const std::uint64_t pageSize = data[0] % 64 + 1, pageCount = data[1] % 8 + 1;
    std::string model(data[2] * 2u, '\0');
    for (std::size_t i = 0; i < model.size(); ++i)
        model[i] = static_cast<char>(i * 37);
    auto source = new_a<TBufferStream>();
    source->data = model;
    auto cache = TKrCacheStream::VCreate(source, {pageSize, pageCount}, data[1] & 0x80);
    char buf[256];
    // Each operation takes three bytes: kind, position, length.
    for (std::size_t i = 3; i + 3 <= size; i += 3) {
        const unsigned kind = data[i] % 8;
        const std::uint64_t at = data[i + 1] * 2u, n = data[i + 2];
        if (kind < 3) {
            const std::uint64_t from = std::min<std::uint64_t>(at, model.size());
            cache->setPosition64(from);
            const streamsize_t got = cache->Read(buf, n);
            const std::string want = model.substr(from, n);
            if (got != want.size() || std::memcmp(buf, want.data(), got) != 0) std::abort();
        } else if (kind < 6) {
            for (std::uint64_t k = 0; k < n; ++k)
                buf[k] = static_cast<char>(data[i] + k);
            cache->setPosition64(at);
            if (cache->Write(buf, n) != n) std::abort();
            if (n && model.size() < at + n) model.resize(at + n, '\0');
            if (n) model.replace(at, n, buf, n);
        } else if (kind == 6) {
            if (!cache->setSize64(at)) std::abort();
            model.resize(at, '\0');
        } else if (!cache->Flush() || source->data != model) {
            std::abort();
        }
        if (cache->getSize64() != model.size()) std::abort();
    }
    cache.reset();
    if (source->data != model) std::abort();
    return 0;
}
