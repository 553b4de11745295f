// Shared by the gzip stream tests: the system gzip program on scratch files, our streams on strings.
#pragma once

#include "Streams/KrGZipReader.h"
#include "Streams/KrGZipWriter.h"
#include "Streams/KrStringStream.h"
#include "System/KrFsTestUtils.h"

#include <string>

namespace KrGZipTest {
using namespace KrFsTest;

/// What the system gzip makes of `data` stored as `dir`/`name`.
inline std::string SystemGzip(const TScratchDir& dir, const std::string& data,
                              const std::string& options = "-n", const std::string& name = "data") {
    dir.Write(name, data);
    return RunShell(dir.path, "gzip -c " + options + " '" + name + "'");
}

/// Everything the reader gives from its position, in reads of `chunk` bytes.
inline std::string ReadRest(TKrGZipReader& reader, std::size_t chunk = 4096) {
    std::string out, block(chunk, '\0');
    for (streamsize_t got; (got = reader.Read(&block[0], chunk)) > 0 && got != TKrStream::invalid_value;)
        out.append(block.data(), got);
    return out;
}

/// One member made by our writer.
inline std::string Compress(const std::string& data, const TKrGZipFileInfo& info = {}, int level = -1) {
    TKrStringStream target;
    TKrGZipWriter writer;
    writer.Open(&target, info, level);
    writer.Write(data.data(), data.size());
    return writer.Close() ? target.str() : std::string();
}

/// Numbered lines: compress well and show misplaced bytes at a glance.
inline std::string Lines(std::size_t count) {
    std::string s;
    for (std::size_t i = 0; i < count; ++i)
        s += "line " + std::to_string(i) + " of the gzip test data\n";
    return s;
}

} // namespace KrGZipTest
