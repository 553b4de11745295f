// A stream over a std::string that logs what reaches it and fails its operations on demand.
#pragma once

#include "Streams/KrStream.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace KrStreamTest {

/// Behaves like a file: positions past the end are accepted and a write there fills the gap
/// with zeros. Every Read and Write is logged as (position, requested count).
class TProbeStream : public TKrStream {
public:
    explicit TProbeStream(std::string bytes = {}) : data(std::move(bytes)) {}

    std::string data;
    streamsize_t pos = 0;
    std::vector<std::pair<streamsize_t, streamsize_t>> reads, writes;
    int seeks = 0, sizeSets = 0, flushes = 0, closes = 0;
    // Failure switches.
    bool failRead = false, failWrite = false, failSeek = false, failSetSize = false;
    bool failFlush = false, failClose = false, unusable = false;
    streamsize_t writeLimit = ~streamsize_t(0); ///< a write takes at most this many bytes

    streamsize_t Read(void* buf, streamsize_t n) override {
        reads.emplace_back(pos, n);
        if (failRead) {
            AddState(stReadError);
            return invalid_value;
        }
        const streamsize_t k = pos < data.size() ? std::min<streamsize_t>(n, data.size() - pos) : 0;
        if (k) std::memcpy(buf, data.data() + pos, k);
        pos += k;
        if (k < n) AddState(stEndOfData);
        return k;
    }
    streamsize_t Write(const void* buf, streamsize_t n) override {
        writes.emplace_back(pos, n);
        if (failWrite) {
            AddState(stWriteError);
            return invalid_value;
        }
        const streamsize_t k = std::min(n, writeLimit);
        if (data.size() < pos + k) data.resize(pos + k, '\0');
        if (k) std::memcpy(&data[pos], buf, k);
        pos += k;
        return k;
    }
    streamsize_t getSize() override { return data.size(); }
    streamsize_t getSize64() override { return data.size(); }
    bool setSize(streamsize_t n) override { return setSize64(n); }
    bool setSize64(streamsize_t n) override {
        ++sizeSets;
        if (failSetSize) return false;
        data.resize(n, '\0');
        return true;
    }
    streamsize_t getPosition() override { return pos; }
    bool setPosition(streamsize_t p) override { return setPosition64(p); }
    bool setPosition64(streamsize_t p) override {
        ++seeks;
        if (failSeek) return false;
        pos = p;
        return true;
    }
    bool Flush() override {
        ++flushes;
        return !failFlush;
    }
    bool Close() override {
        ++closes;
        if (failClose) AddState(stWriteError);
        return !failClose;
    }
    explicit operator bool() override { return !unusable; }

    void ClearLogs() {
        reads.clear();
        writes.clear();
        seeks = sizeSets = flushes = closes = 0;
    }
};

} // namespace KrStreamTest
