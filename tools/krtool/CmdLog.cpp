// krtool log tail: the last records of a log file, parsed as the log's own redirect parses them.
#include "KrToolCommand.h"

#include "Core/KrLogParser.h"
#include "Core/KrMessage.h"
#include "Core/KrNumberScan.h"
#include "Streams/KrFileStream.h"

#include <cstdio>
#include <deque>
#include <string>

namespace {

/// Keeps the last `keep` records, each as the bytes that make it up (continuation lines included).
class TTailParser final : public TKrLogParser {
public:
    explicit TTailParser(std::size_t keep) : m_keep(keep) {}
    const std::deque<std::string>& Records() const noexcept { return m_records; }

protected:
    void DoHeaderParsed(bool recordStart) override {
        if (!recordStart && !m_records.empty()) return;
        m_records.emplace_back();
        if (m_records.size() > m_keep) m_records.pop_front();
    }
    void RawWrite(const void* data, unsigned long n, bool) override {
        if (!m_records.empty()) m_records.back().append(static_cast<const char*>(data), n);
    }

private:
    std::size_t m_keep;
    std::deque<std::string> m_records;
};

int RunLog(const std::vector<std::string>& args) {
    std::size_t keep = 10;
    std::vector<std::string> files;
    for (std::size_t i = 1; i < args.size(); ++i) {
        if (args[i] == "-n" && i + 1 < args.size()) {
            const std::string& text = args[++i];
            long v = 0;
            if (KrNumberScan::ScanLong(text.data(), text.data() + text.size(), 10, v) !=
                    text.data() + text.size() ||
                v < 0)
                return KrToolUsage("log");
            keep = static_cast<std::size_t>(v);
        } else {
            files.push_back(args[i]);
        }
    }
    if (args.empty() || args[0] != "tail" || files.size() != 1) return KrToolUsage("log");
    TKrFileStream in;
    in.OpenE(files[0], krOpenRead);
    TTailParser parser(keep);
    char block[1 << 16];
    for (streamsize_t got; (got = in.Read(block, sizeof block)) > 0;) {
        if (got == TKrStream::invalid_value) throw TKrMessage("@reading %1% failed") << files[0];
        parser.Parse(block, static_cast<unsigned long>(got));
    }
    if (keep == 0) return 0;
    for (const std::string& record : parser.Records()) {
        std::fwrite(record.data(), 1, record.size(), stdout);
        if (record.empty() || record.back() != '\n')
            std::fputc('\n', stdout); // the file's last record cut short
    }
    return 0;
}

} // namespace

KRTOOL_COMMAND(log, "log", "tail [-n N] FILE",
               "print the last N (10) records of a log file, continuation lines included", RunLog);
