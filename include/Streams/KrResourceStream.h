// TKrResourceStream: a read-only stream over a resource compiled into the program.
#pragma once

#include "Streams/KrStream.h"

#include <memory>

class QResource;

/// Opens the resource ":/" + name. Reads behave like a fixed read-only buffer; writes and
/// resizing fail with stWriteError.
class KRSTD_API TKrResourceStream : public TKrStream {
public:
    explicit TKrResourceStream(const std::string& name, const std::string& infoName = std::string());
    ~TKrResourceStream() override;

    /// The raw bytes (uncompressed); empty when the resource is missing.
    std::string getData() const;
    std::string getString() const { return getData(); }

    streamsize_t getPosition() override { return m_position; }
    streamsize_t Read(void* buf, streamsize_t n) override;
    streamsize_t Write(const void* buf, streamsize_t n) override;
    streamsize_t getSize() override;
    bool setSize(streamsize_t n) override;
    bool setPosition(streamsize_t p) override;
    explicit operator bool() override;

private:
    std::unique_ptr<QResource> m_resource;
    std::string m_data; // uncompressed copy when the resource is stored compressed
    const char* m_bytes = nullptr;
    streamsize_t m_size = 0;
    streamsize_t m_position = 0;
};
