// krtool tar: create, list and extract tar archives and tarballs (.tar.gz).
#include "KrToolCommand.h"
#include "KrToolProgress.h"

#include "Core/KrMessage.h"
#include "Streams/KrFileStream.h"
#include "Streams/KrTarBall.h"
#include "Utils/KrDateTime.h"

#include <sys/stat.h>
#include <fcntl.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <vector>

namespace fs = std::filesystem;

namespace {

bool EndsWith(const std::string& s, const char* suffix) {
    const std::string x(suffix);
    return s.size() >= x.size() && s.compare(s.size() - x.size(), x.size(), x) == 0;
}

std::string Decimal(std::uint64_t v) {
    char buf[24];
    return std::string(buf, std::to_chars(buf, buf + sizeof buf, v).ptr);
}

/// gzip data is recognised by its first bytes, whatever the file is called.
bool IsGzipFile(const std::string& path) {
    TKrFileStream f(path, krOpenRead);
    unsigned char head[2] = {};
    return f.IsOpen() && f.Read(head, 2) == 2 && head[0] == 0x1f && head[1] == 0x8b;
}

// create ------------------------------------------------------------------------------------------

struct TCreate {
    TKrTarWriter* writer;
    TKrToolProgress* progress;
    double total; // bytes of all regular files
    double done;
};

/// The bytes of the regular files under `disk` (symbolic links not followed).
double TreeBytes(const fs::path& disk) {
    std::error_code ec;
    if (fs::is_symlink(disk, ec)) return 0;
    if (fs::is_regular_file(disk, ec)) return static_cast<double>(fs::file_size(disk, ec));
    double sum = 0;
    if (fs::is_directory(disk, ec))
        for (const fs::directory_entry& e : fs::directory_iterator(disk, ec))
            sum += TreeBytes(e.path());
    return sum;
}

void AddPath(TCreate& c, const fs::path& disk, const std::string& name) {
    struct stat st {};
    if (::lstat(disk.c_str(), &st) != 0) throw TKrMessage("@cannot read %1%") << disk.string();
    TTarFileRecord record;
    record.time = TKrDateTime::FromUnixTime64(st.st_mtime);
    if (S_ISDIR(st.st_mode)) {
        record.name = name.empty() || name.back() == '/' ? name : name + "/";
        if (!record.name.empty() && !c.writer->WriteFile(record, static_cast<const char*>(nullptr), nullptr))
            throw TKrMessage("@writing the entry %1% failed") << record.name;
        std::vector<fs::path> children;
        for (const fs::directory_entry& e : fs::directory_iterator(disk))
            children.push_back(e.path());
        std::sort(children.begin(), children.end()); // the same tree gives the same archive
        for (const fs::path& child : children)
            AddPath(c, child, record.name + child.filename().string());
    } else if (S_ISREG(st.st_mode)) {
        TKrFileStream data(disk.string(), krOpenRead);
        if (!data.IsOpen()) throw TKrMessage("@cannot open %1%") << disk.string();
        record.name = name;
        record.size = static_cast<std::uint64_t>(st.st_size);
        const double size = static_cast<double>(st.st_size);
        const double from = c.total > 0 ? c.done / c.total : 0.0;
        const double to = c.total > 0 ? (c.done + size) / c.total : 0.0;
        TKrCmdSubProgress entry(&c.progress->Root(), from, std::min(to, 1.0), 3, 4);
        entry.Handler()->SetMessage(name);
        entry.Handler()->Start();
        if (!c.writer->WriteFile(record, &data, entry.Handler()))
            throw TKrMessage("@writing the entry %1% failed") << name;
        entry.Handler()->Stop();
        c.done += size;
    } else {
        std::fprintf(stderr, "krtool tar: %s is neither a file nor a folder, left out\n", disk.c_str());
    }
}

int RunCreate(const std::vector<std::string>& args) {
    const std::string& out = args[1];
    TKrFileStream file;
    file.OpenE(out, krCreate);
    TKrToolProgress progress("tar create " + out);
    progress.RemoveOnFailure(out);
    std::unique_ptr<TKrTarWriter> writer;
    if (EndsWith(out, ".gz") || EndsWith(out, ".tgz"))
        writer.reset(new TKrTarBallWriter(&file, TKrTarWriter::TFormatOptions(), 6));
    else
        writer.reset(new TKrTarWriter(&file, TKrTarWriter::TFormatOptions(), 0));
    TCreate c{writer.get(), &progress, 0.0, 0.0};
    for (std::size_t i = 2; i < args.size(); ++i)
        c.total += TreeBytes(args[i]);
    for (std::size_t i = 2; i < args.size(); ++i) {
        // Names are stored relative, as the usual tools store them.
        std::string name = fs::path(args[i]).lexically_normal().generic_string();
        while (!name.empty() && name[0] == '/')
            name.erase(0, 1);
        if (name == ".") name.clear();
        AddPath(c, args[i], name);
    }
    if (!writer->Close()) throw TKrMessage("@writing %1% failed") << out;
    writer.reset();
    if (!file.Close()) return 1;
    progress.Done();
    return 0;
}

// list --------------------------------------------------------------------------------------------

void ListEntry(const TTarFileRecord& r, TKrStream*, void*) {
    const char kind = r.type == '5' ? 'd' : r.type == '2' ? 'l' : r.type == '1' ? 'h' : '-';
    std::string line(1, kind);
    const std::string size = Decimal(r.size);
    line += std::string(size.size() < 12 ? 13 - size.size() : 1, ' ') + size;
    line += " " + r.time.ToRFCString(0, TKrDateTime::UTC) + " " + r.name;
    if (!r.link_name.empty() && (r.type == '1' || r.type == '2')) line += " -> " + r.link_name;
    std::printf("%s\n", line.c_str());
}

/// Runs `callback` over every entry of the archive or tarball at `path`.
/// `archive` and `bytes`, when given, receive the open archive file and its size.
void ForEachEntry(const std::string& path, TKrTarReader::TCallback callback, void* user,
                  TKrFileStream** archive = nullptr, double* bytes = nullptr) {
    TKrFileStream file;
    file.OpenE(path, krOpenRead);
    if (archive) *archive = &file;
    if (bytes) *bytes = static_cast<double>(file.getSize64());
    if (IsGzipFile(path)) {
        TKrTarBallReader reader(&file, TKrTarReader::TFormatOptions());
        while (reader.ReadFile(callback, user)) {
        }
        if (reader.getState() & TKrStream::stReadError)
            throw TKrMessage("@%1%: corrupt or truncated gzip data") << path;
    } else {
        TKrTarReader reader(&file, TKrTarReader::TFormatOptions());
        while (reader.ReadFile(callback, user)) {
        }
    }
}

int RunList(const std::vector<std::string>& args) {
    ForEachEntry(args[1], ListEntry, nullptr);
    return 0;
}

// extract -----------------------------------------------------------------------------------------

struct TExtract {
    fs::path root;
    TKrFileStream* archive = nullptr; // its position tells how far the extraction is
    TKrToolProgress* progress = nullptr;
    double archiveBytes = 0;
    int refused = 0;
    std::vector<std::pair<fs::path, std::int64_t>> folderTimes; // set last: files change them
};

/// The folder steps of a relative archive name; empty with `why` set when it is not one.
std::vector<std::string> SafeSteps(const std::string& name, std::string& why) {
    std::vector<std::string> steps;
    if (name.empty() || name[0] == '/') {
        why = name.empty() ? "empty name" : "absolute name";
        return {};
    }
    std::size_t start = 0;
    for (std::size_t end; start <= name.size(); start = end + 1) {
        end = std::min(name.find('/', start), name.size());
        const std::string step = name.substr(start, end - start);
        if (step == "..") {
            why = "\"..\" would step out of the target folder";
            return {};
        }
        if (!step.empty() && step != ".") steps.push_back(step);
    }
    if (steps.empty()) why = "names the target folder itself";
    return steps;
}

/// True when `target`, relative to the folder of the link at `steps`, stays inside the root.
bool LinkStaysInside(const std::vector<std::string>& steps, const std::string& target) {
    if (target.empty() || target[0] == '/') return false;
    long depth = static_cast<long>(steps.size()) - 1;
    std::size_t start = 0;
    for (std::size_t end; start <= target.size(); start = end + 1) {
        end = std::min(target.find('/', start), target.size());
        const std::string step = target.substr(start, end - start);
        if (step == "..") {
            if (--depth < 0) return false;
        } else if (!step.empty() && step != ".") {
            ++depth;
        }
    }
    return true;
}

void Refuse(TExtract& x, const std::string& name, const std::string& why) {
    std::fprintf(stderr, "krtool tar: refusing \"%s\": %s; nothing written for it\n", name.c_str(),
                 why.c_str());
    ++x.refused;
}

void SetTime(const fs::path& p, std::int64_t unixTime, bool follow) {
    struct timespec times[2] = {{unixTime, 0}, {unixTime, 0}};
    (void)::utimensat(AT_FDCWD, p.c_str(), times, follow ? 0 : AT_SYMLINK_NOFOLLOW);
}

void ExtractEntry(const TTarFileRecord& r, TKrStream* data, void* user) {
    TExtract& x = *static_cast<TExtract*>(user);
    if (x.progress) x.progress->Report(static_cast<double>(x.archive->getPosition64()), x.archiveBytes);
    std::string why;
    const std::vector<std::string> steps = SafeSteps(r.name, why);
    if (steps.empty()) return Refuse(x, r.name, why);
    // Never write through a symbolic link already in place (made by an earlier entry or not).
    fs::path at = x.root;
    for (std::size_t i = 0; i + 1 < steps.size(); ++i) {
        at /= steps[i];
        if (fs::is_symlink(at)) return Refuse(x, r.name, "its folder " + at.string() + " is a symbolic link");
    }
    at /= steps.back();
    std::error_code ec;
    if (r.type == '5') {
        if (fs::is_symlink(at)) return Refuse(x, r.name, "a symbolic link is in its place");
        fs::create_directories(at, ec);
        if (ec) throw TKrMessage("@cannot create the folder %1%: %2%") << at.string() << ec.message();
        x.folderTimes.emplace_back(at, r.time.ToUnixTime64());
        return;
    }
    if (r.type == '2' && !LinkStaysInside(steps, r.link_name))
        return Refuse(x, r.name, "the link points outside the target folder (" + r.link_name + ")");
    std::vector<std::string> linkSteps;
    if (r.type == '1') {
        linkSteps = SafeSteps(r.link_name, why);
        if (linkSteps.empty()) return Refuse(x, r.name, "the hard link's target " + why);
    }
    if (r.type != '0' && r.type != '\0' && r.type != '7' && r.type != '1' && r.type != '2') {
        std::fprintf(stderr, "krtool tar: \"%s\" is a special entry (type '%c'), left out\n", r.name.c_str(),
                     r.type);
        return;
    }
    fs::create_directories(at.parent_path(), ec);
    if (fs::is_symlink(at) || (r.type != '0' && fs::exists(at))) fs::remove(at, ec);
    if (r.type == '2') {
        fs::create_symlink(r.link_name, at, ec);
    } else if (r.type == '1') {
        fs::path target = x.root;
        for (const std::string& s : linkSteps)
            target /= s;
        fs::create_hard_link(target, at, ec);
    } else {
        TKrFileStream out;
        out.OpenE(at.string(), krCreate);
        std::vector<char> block(1 << 20);
        for (std::uint64_t left = r.size; left > 0;) {
            const streamsize_t got = data->Read(block.data(), std::min<std::uint64_t>(left, block.size()));
            if (got == 0 || got == TKrStream::invalid_value)
                throw TKrMessage("@the data of %1% ends early") << r.name;
            out.WriteAllE(block.data(), got);
            left -= got;
            if (x.progress)
                x.progress->Report(static_cast<double>(x.archive->getPosition64()), x.archiveBytes);
        }
        out.CloseE();
    }
    if (ec) throw TKrMessage("@cannot create %1%: %2%") << at.string() << ec.message();
    SetTime(at, r.time.ToUnixTime64(), false);
}

int RunExtract(const std::vector<std::string>& args) {
    TExtract x;
    std::error_code ec;
    fs::create_directories(args[2], ec);
    x.root = fs::absolute(args[2]);
    TKrToolProgress progress("tar extract " + args[1]);
    x.progress = &progress;
    ForEachEntry(args[1], ExtractEntry, &x, &x.archive, &x.archiveBytes);
    for (auto it = x.folderTimes.rbegin(); it != x.folderTimes.rend(); ++it)
        SetTime(it->first, it->second, true);
    progress.Done();
    return x.refused ? 1 : 0;
}

int RunTar(const std::vector<std::string>& args) {
    if (args.size() >= 3 && args[0] == "create") return RunCreate(args);
    if (args.size() == 2 && args[0] == "list") return RunList(args);
    if (args.size() == 3 && args[0] == "extract") return RunExtract(args);
    return KrToolUsage("tar");
}

} // namespace

KRTOOL_COMMAND(tar, "tar", "create OUT.tar[.gz] PATH... | list ARCHIVE | extract ARCHIVE DIR",
               "write, list or unpack a tar archive (gzip-compressed when OUT ends in .gz); "
               "extraction refuses names and links that would leave DIR",
               RunTar);
