// krtool gzip, gunzip: whole files through the gzip streams, in memory.
#include "KrToolCommand.h"
#include "KrToolProgress.h"

#include "Core/KrMessage.h"
#include "Core/KrNumberScan.h"
#include "Streams/KrGZipReader.h"
#include "Streams/KrGZipWriter.h"
#include "Streams/KrFileStream.h"
#include "Streams/KrMemoryStream.h"

#include <cstring>
#include <vector>
#include <sys/stat.h>

namespace {

bool StartsWithGzip(TKrMemoryStream& data) {
    return data.getSize() >= 3 &&
           std::memcmp(data.GetBuffer(), KrGZipSignatureData(), KrGZipSignatureSize()) == 0 &&
           data.GetBuffer()[2] == 8;
}

int RunGzip(const std::vector<std::string>& args) {
    int level = -1;
    std::size_t threads = 1;
    TKrGZipFileInfo info;
    std::vector<std::string> files;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == "-l" && hasValue) {
            const std::string& text = args[++i];
            long v = 0;
            if (KrNumberScan::ScanLong(text.data(), text.data() + text.size(), 10, v) !=
                    text.data() + text.size() ||
                v < 0 || v > 9)
                return KrToolUsage("gzip");
            level = static_cast<int>(v);
        } else if (a == "--threads" && hasValue) {
            const std::string& text = args[++i];
            long v = 0;
            if (KrNumberScan::ScanLong(text.data(), text.data() + text.size(), 10, v) !=
                    text.data() + text.size() ||
                v < 0 || v > 256)
                return KrToolUsage("gzip");
            threads = static_cast<std::size_t>(v);
        } else if (a == "--name" && hasValue) {
            info.fileName = args[++i];
            info.present = true;
        } else if (a == "--comment" && hasValue) {
            info.comment = args[++i];
            info.present = true;
        } else {
            files.push_back(a);
        }
    }
    if (files.size() != 2) return KrToolUsage("gzip");
    TKrFileStream in;
    in.OpenE(files[0], krOpenRead);
    const double total = static_cast<double>(in.getSize64());
    // A header that names the file also carries its time, as the usual tools do.
    struct stat st {};
    if (info.present && ::stat(files[0].c_str(), &st) == 0 && st.st_mtime > 0 && st.st_mtime <= 0xFFFFFFFF)
        info.modificationTime = static_cast<std::uint32_t>(st.st_mtime);
    TKrToolProgress progress("gzip " + files[0]);
    TKrFileStream out;
    out.OpenE(files[1], krCreate);
    progress.RemoveOnFailure(files[1]);
    TKrGZipWriter writer;
    writer.SetThreads(threads);
    if (!writer.Open(&out, info, level)) throw TKrMessage("@cannot start compressing into %1%") << files[1];
    std::vector<char> block(1 << 20);
    double done = 0;
    for (streamsize_t got; (got = in.Read(block.data(), static_cast<streamsize_t>(block.size()))) > 0;) {
        if (got == TKrStream::invalid_value) throw TKrMessage("@reading %1% failed") << files[0];
        if (writer.Write(block.data(), got) != got) throw TKrMessage("@compressing %1% failed") << files[0];
        done += static_cast<double>(got);
        progress.Report(done, total);
    }
    if (!writer.Close()) throw TKrMessage("@compressing %1% failed") << files[0];
    out.CloseE();
    progress.Done();
    return 0;
}

/// Decompresses one layer of `data` into `out`; false when `data` has no gzip header after all.
bool Unpack(TKrMemoryStream& data, TKrMemoryStream& out, const std::string& name, TKrToolProgress* progress) {
    TKrGZipReader reader;
    data.setPosition(0);
    if (!reader.Open(&data)) return false;
    out.setSize(0);
    const streamsize_t guess = reader.getSize64();
    if (guess < (streamsize_t(1) << 32)) out.Reserve(guess);
    char block[1 << 16];
    const double total = static_cast<double>(data.getSize());
    for (streamsize_t got; (got = reader.Read(block, sizeof block)) > 0;) {
        out.WriteAllE(block, got);
        if (progress) progress->Report(0.9 * static_cast<double>(data.getPosition64()), total);
    }
    if (reader.getState() & TKrStream::stReadError)
        throw TKrMessage("@%1%: corrupt or truncated gzip data after %2% bytes")
            << name << reader.getPosition64();
    return true;
}

int RunGunzip(const std::vector<std::string>& args) {
    if (args.size() != 2) return KrToolUsage("gunzip");
    TKrMemoryStream data, out;
    data.LoadE(args[0]);
    TKrToolProgress progress("gunzip " + args[0]);
    int layers = 0;
    // Layers are peeled while the content still looks like gzip and opens as such. The outermost
    // layer is most of the work: the bar follows it to 90 %, then the saving.
    while (StartsWithGzip(data) && Unpack(data, out, args[0], layers == 0 ? &progress : nullptr)) {
        data.Swap(out);
        ++layers;
    }
    if (layers == 0) throw TKrMessage("@%1%: not in gzip format") << args[0];
    TKrFileStream file;
    file.OpenE(args[1], krCreate);
    progress.RemoveOnFailure(args[1]);
    const char* p = data.GetBuffer();
    const double total = static_cast<double>(data.getSize());
    for (streamsize_t left = data.getSize(); left > 0;) {
        const streamsize_t chunk = left < (1 << 20) ? left : (1 << 20);
        file.WriteAllE(p, chunk);
        p += chunk;
        left -= chunk;
        progress.Report(0.9 * total + 0.1 * (total - static_cast<double>(left)), total);
    }
    file.CloseE();
    progress.Done();
    return 0;
}

} // namespace

KRTOOL_COMMAND(gzip, "gzip", "[-l LEVEL] [--threads N] [--name N] [--comment C] IN OUT",
               "compress IN into the gzip file OUT (level 0-9; name and comment go into the header; "
               "--threads: 1 MiB blocks on N threads as consecutive members, 0 = all processors)",
               RunGzip);
KRTOOL_COMMAND(gunzip, "gunzip", "IN OUT",
               "decompress the gzip file IN into OUT, through every gzip layer it holds", RunGunzip);
