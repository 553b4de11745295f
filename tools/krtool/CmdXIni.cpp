// krtool xini: dump, get, convert and validate XIni settings files (plain or gzip-compressed).
#include "KrToolCommand.h"
#include "KrToolProgress.h"

#include "Core/KrMessage.h"
#include "Core/KrMessageParameters.h"
#include "Core/KrNumberScan.h"
#include "Core/KrStringEncode.h"
#include "Streams/KrFileStream.h"
#include "Streams/KrStringStream.h"
#include "System/KrPath.h"
#include "XIni/KrXIniReadTree.h"
#include "XIni/KrXIniStreamReader.h"
#include "XIni/KrXIniStreamWriter.h"
#include "XIni/KrXIniTree.h"

#include <charconv>
#include <cstdio>
#include <string>

namespace {

// Text for stdout, collected in one block that goes out whenever it fills up, so memory stays
// bounded however long the output grows.
class TStdoutWriter {
public:
    TStdoutWriter() { m_block.reserve(kBlock + 4096); }
    TStdoutWriter(const TStdoutWriter&) = delete;
    TStdoutWriter& operator=(const TStdoutWriter&) = delete;
    ~TStdoutWriter() { Flush(); }

    void Append(const char* text, std::size_t length) { m_block.append(text, length); }
    void Append(const std::string& text) { m_block += text; }
    void Append(std::size_t count, char c) { m_block.append(count, c); }
    void EndLine() {
        m_block += '\n';
        if (m_block.size() >= kBlock) Flush();
    }
    void Flush() noexcept {
        if (!m_block.empty()) std::fwrite(m_block.data(), 1, m_block.size(), stdout);
        m_block.clear();
    }
    /// Flushes and throws when anything written so far did not reach stdout.
    void FinishE() {
        Flush();
        if (std::fflush(stdout) != 0 || std::ferror(stdout))
            throw TKrMessage("@could not write to the standard output");
    }

private:
    static constexpr std::size_t kBlock = 64 << 10;
    std::string m_block;
};

// Deeper items keep the indentation of this level and show their own level as a number, so that
// the output grows with the items, not with the items times their depth.
constexpr std::size_t kIndentLevels = 32;

// Prints a tree, one line per item as it goes: "x name", "i name = 3", "b name: 12 bytes",
// indented by two blanks per enclosing section; beyond kIndentLevels enclosing sections a line
// has the indentation of that level and starts with its level, "[40] x name". An explicit stack
// keeps any depth off the call stack.
void Dump(const TKrXIniTree& tree, TStdoutWriter& out) {
    struct TFrame {
        const TKrXIniTree* tree;
        std::size_t next;
    };
    std::vector<TFrame> frames{{&tree, 0}};
    while (!frames.empty()) {
        TFrame& f = frames.back();
        if (f.next == f.tree->Count()) {
            frames.pop_back();
            continue;
        }
        const TKrXIniTree::TItem* item = f.tree->FindItem(f.next++);
        const std::size_t level = frames.size() - 1;
        if (level <= kIndentLevels) {
            out.Append(2 * level, ' ');
        } else {
            out.Append(2 * kIndentLevels, ' ');
            out.Append("[" + std::to_string(level) + "] ");
        }
        const char letter = KrXIniItemLetter(item->type);
        out.Append(&letter, 1);
        if (!item->name.empty()) {
            out.Append(1, ' ');
            out.Append(item->name);
        }
        if (item->type == TE_KrXIniItemType::Section) {
            out.EndLine();
            if (item->child) frames.push_back({item->child.get(), 0});
        } else if (item->type == TE_KrXIniItemType::Binary) {
            out.Append(": " + std::to_string(KrDecodeStringBase64(item->value).size()) + " bytes");
            out.EndLine();
        } else {
            out.Append(" = ", 3);
            out.Append(item->value);
            out.EndLine();
        }
    }
}

var_a<TKrXIniTree*> ReadFile(const std::string& file, TKrXIniFormatPlace* failure = nullptr) {
    var_a<TKrFileStream*> in = TKrFileStream::VCreateE(TKrPath(file), krOpenRead);
    return ReadKrXIniTree(in.get(), true, nullptr, failure);
}

// The text of a message, or its parameters when no text is known for it.
std::string Describe(const TKrMessage& m) {
    std::string text = m.std_str();
    if (!text.empty() || !m.body()) return text;
    for (auto* p : m.body()->m_parameters)
        text += (text.empty() ? "" : " ") + p->GetString("");
    return text;
}

int Dump(const std::vector<std::string>& args) {
    if (args.size() != 2) return KrToolUsage("xini");
    const var_a<TKrXIniTree*> tree = ReadFile(args[1]);
    TStdoutWriter out;
    Dump(*tree, out);
    out.FinishE();
    return 0;
}

// The index of the item a path step names: "Name" is the first item so named, "Name[k]" the
// k-th of them (from 0).
std::size_t FindStep(TKrXIniReader& r, const std::string& step) {
    std::string name = step;
    std::size_t k = 0;
    const std::size_t open = step.find('[');
    if (open != std::string::npos && step.back() == ']') {
        const char* close = step.data() + step.size() - 1;
        if (KrNumberScan::ScanULong(step.data() + open + 1, close, 10, k) != close)
            throw TKrMessage("@bad index in path step \"%1%\"") << step;
        name = step.substr(0, open);
    }
    std::size_t pos = 0, found = 0;
    for (std::size_t n = 0; n <= k; ++n)
        found = r.FindFPE(name, &pos);
    return found;
}

// Items addressed by path steps separated by '/': every step but the last enters a section.
int Get(const std::vector<std::string>& args) {
    if (args.size() != 3) return KrToolUsage("xini");
    var_a<TKrXIniReader*> r = GetXIniReader(TKrPath(args[1]));
    std::string path = args[2];
    std::size_t slash;
    while ((slash = path.find('/')) != std::string::npos) {
        r->EnterSectionE(FindStep(*r, path.substr(0, slash)));
        path.erase(0, slash + 1);
    }
    const std::size_t i = FindStep(*r, path);
    switch (r->ItemTypeE(i)) {
    case TE_KrXIniItemType::Section: {
        const var_a<TKrXIniTree*> tree = r->ReadXIniTreeE(i);
        TStdoutWriter out;
        Dump(*tree, out);
        out.FinishE();
        break;
    }
    case TE_KrXIniItemType::Binary:
        std::printf("%s\n", KrEncodeStringBase64(r->ReadBinaryE(i)).c_str());
        break;
    case TE_KrXIniItemType::String:
        std::printf("%s\n", r->ReadE<std::string>(i).c_str());
        break;
    case TE_KrXIniItemType::Double:
        char text[32]; // "%.17g" without the locale's decimal comma
        std::printf(
            "%.*s\n",
            int(std::to_chars(text, text + sizeof text, r->ReadE<double>(i), std::chars_format::general, 17)
                    .ptr -
                text),
            text);
        break;
    default:
        std::printf("%ld\n", r->ReadE<long>(i));
    }
    return 0;
}

int Convert(const std::vector<std::string>& args) {
    bool compact = false, parallel = false;
    int level = -1, layers = 0;
    std::vector<std::string> files;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--compact") {
            compact = true;
        } else if (a == "--parallel") {
            parallel = true;
        } else if ((a == "--gzip" || a == "--layers") && i + 1 < args.size()) {
            const std::string& text = args[++i];
            long v = 0;
            if (KrNumberScan::ScanLong(text.data(), text.data() + text.size(), 10, v) !=
                    text.data() + text.size() ||
                v < 0 || v > (a == "--gzip" ? 9 : 15))
                return KrToolUsage("xini");
            (a == "--gzip" ? level : layers) = int(v);
        } else {
            files.push_back(a);
        }
    }
    if (files.size() != 2 || ((layers || parallel) && level < 0)) return KrToolUsage("xini");
    TKrToolProgress progress("xini convert " + files[0]);
    var_a<TKrXIniTree*> tree;
    {
        TKrCmdSubProgress reading(&progress.Root(), 0.0, 0.8, 3, 4);
        reading.Handler()->SetMessage("reading");
        reading.Handler()->Start();
        var_a<TKrFileStream*> in = TKrFileStream::VCreateE(TKrPath(files[0]), krOpenRead);
        tree = ReadKrXIniTree(in.get(), true, reading.Handler());
        reading.Handler()->Stop();
    }
    // The compression word: low byte 1, level + 1 in bits 8..11, extra layers in bits 12..15.
    // Bit 16 compresses on the worker threads.
    const int compression = level < 0 ? 0
                                      : TKrXIniStreamWriter::CompressionWord(level, layers) |
                                            (parallel ? TKrXIniStreamWriter::CompressParallel : 0);
    var_a<TKrStream*> out = TKrFileStream::VCreateE(TKrPath(files[1]), krCreate);
    progress.RemoveOnFailure(files[1]);
    {
        TKrCmdSubProgress writing(&progress.Root(), 0.8, 1.0, 3, 4);
        writing.Handler()->SetMessage("writing");
        writing.Handler()->StartIndefinite();
        TKrXIniStreamWriter w(out, compression, TKrXIniStreamWriter::Full);
        if (compact) w.SetCompactMode(true);
        w.MergeXIniE(tree.get());
        w.CloseE();
        writing.Handler()->Stop();
    }
    progress.Root().CheckBreak();
    progress.Done();
    return 0;
}

int Validate(const std::vector<std::string>& args) {
    if (args.size() != 2) return KrToolUsage("xini");
    TKrXIniFormatPlace place;
    try {
        const var_a<TKrXIniTree*> tree = ReadFile(args[1], &place);
        std::printf("%s: well-formed, %zu top-level items\n", args[1].c_str(), tree->Count());
        return 0;
    } catch (const TKrMessage& m) {
        std::string text = Describe(m);
        if (place.line)
            text += " (line " + std::to_string(place.line) + ", column " + std::to_string(place.column) + ")";
        std::printf("%s\n", text.c_str());
        return 1;
    }
}

int RunXIni(const std::vector<std::string>& args) {
    if (args.empty()) return KrToolUsage("xini");
    if (args[0] == "dump") return Dump(args);
    if (args[0] == "get") return Get(args);
    if (args[0] == "convert") return Convert(args);
    if (args[0] == "validate") return Validate(args);
    return KrToolUsage("xini");
}

} // namespace

KRTOOL_COMMAND(xini, "xini",
               "dump FILE | get FILE PATH (Name/Name[k]/...) | convert IN OUT [--compact] [--gzip LEVEL] "
               "[--layers N] [--parallel] | validate FILE",
               "show, query, convert or check an XIni settings file (plain or gzip-compressed)", RunXIni);
