// Stream test helpers: a stream over a std::string that logs what reaches it and fails its
// operations on demand.
#pragma once

#include "KrThrownText.h"
#include "Streams/KrStream.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace KrStreamTest {

using krtest::ThrownText;

/// File-like: positions past the end are accepted and a write there fills the gap with zeros.
/// Every Read and Write is logged as (position, requested count).
class TProbeStream : public TKrStream {
public:
    explicit TProbeStream(std::string bytes = {}) : data(std::move(bytes)) {}

    std::string data;
    streamsize_t pos = 0, writeLimit = ~streamsize_t(0); // a write takes at most writeLimit bytes
    std::vector<std::pair<streamsize_t, streamsize_t>> reads, writes;
    int sizeSets = 0, flushes = 0, closes = 0;
    bool failRead = false, failWrite = false, failSeek = false, failSetSize = false, failFlush = false,
         failClose = false, unusable = false;

    streamsize_t Read(void* buf, streamsize_t n) override {
        reads.emplace_back(pos, n);
        if (failRead) return AddState(stReadError), invalid_value;
        const streamsize_t k = pos < data.size() ? std::min<streamsize_t>(n, data.size() - pos) : 0;
        if (k) std::memcpy(buf, data.data() + pos, k);
        pos += k;
        return k;
    }
    streamsize_t Write(const void* buf, streamsize_t n) override {
        writes.emplace_back(pos, n);
        if (failWrite) return AddState(stWriteError), invalid_value;
        const streamsize_t k = std::min(n, writeLimit);
        if (data.size() < pos + k) data.resize(pos + k, '\0');
        if (k) std::memcpy(&data[pos], buf, k);
        return pos += k, k;
    }
    streamsize_t getSize() override { return data.size(); }
    bool setSize(streamsize_t n) override { return setSize64(n); }
    bool setSize64(streamsize_t n) override {
        return ++sizeSets, !failSetSize && (data.resize(n, '\0'), true);
    }
    streamsize_t getPosition() override { return pos; }
    bool setPosition(streamsize_t p) override { return setPosition64(p); }
    bool setPosition64(streamsize_t p) override { return !failSeek && (pos = p, true); }
    bool Flush() override { return ++flushes, !failFlush; }
    bool Close() override {
        if (failClose) AddState(stWriteError);
        return ++closes, !failClose;
    }
    explicit operator bool() override { return !unusable; }
};

} // namespace KrStreamTest
