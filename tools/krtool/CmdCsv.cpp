// krtool csv: dump a delimited text table, as raw fields or typed through an XIni column template,
// or convert it to another dialect through such a template.
#include "KrToolCommand.h"

#include "Core/KrMessage.h"
#include "Core/KrVarA.h"
#include "Streams/KrFileStream.h"
#include "System/KrPath.h"
#include "XIni/KrCSV.h"
#include "XIni/KrXIniReadTree.h"
#include "XIni/KrXIniTree.h"
#include "XIni/KrXIniTreeReader.h"

#include <charconv>
#include <cstdio>
#include <string>

namespace {

// A field as a quoted text with \n, \r, \t, \" and \\ escaped, so that every record is one line.
std::string Quote(const std::string& s) {
    std::string q = "\"";
    for (char c : s) {
        switch (c) {
        case '\n':
            q += "\\n";
            break;
        case '\r':
            q += "\\r";
            break;
        case '\t':
            q += "\\t";
            break;
        case '"':
            q += "\\\"";
            break;
        case '\\':
            q += "\\\\";
            break;
        default:
            q += c;
        }
    }
    return q + "\"";
}

std::string Number(double v) {
    char buf[64];
    return std::string(buf, std::to_chars(buf, buf + sizeof buf, v).ptr);
}

// Loads the writer's params and "items" from an XIni template.
void LoadTemplate(const std::string& file, TKrCSVCreator::TParams& params, TKrCSVCreator::TItems& items) {
    var_a<TKrXIniTree*> tree =
        ReadKrXIniTree(TKrFileStream::VCreateE(TKrPath(file), krOpenRead).get(), true, nullptr, nullptr);
    TKrXIniTreeReader reader(tree);
    params.Load(&reader);
    items.Load(&reader);
    if (items.empty()) throw TKrMessage("@%1% holds no \"items\"") << file;
}

// Without a template: "LINE: N fields: "a" "b" ..." per record, loose separators " \t,".
// With one (an XIni file holding the writer's params and its "items"): the separator and the
// decimal comma come from the params, separators are strict, the first record is the header, and
// every record prints "LINE: name=value ..." with each item read as its type.
int Dump(const std::vector<std::string>& args) {
    std::string file, templ;
    for (std::size_t i = 1; i < args.size(); ++i) {
        if (args[i] == "--template" && i + 1 < args.size())
            templ = args[++i];
        else if (file.empty())
            file = args[i];
        else
            return KrToolUsage("csv");
    }
    if (file.empty()) return KrToolUsage("csv");
    TKrCSVParser p(TKrFileStream::VCreateE(TKrPath(file), krOpenRead), false);
    p.SetAnsi(false);
    TKrCSVCreator::TParams params;
    TKrCSVCreator::TItems items;
    if (!templ.empty()) {
        LoadTemplate(templ, params, items);
        p.SetSeparators(std::string(1, params.separator));
        p.SetStrictSeparators(true);
        p.SetDecimalComma(params.decimal_comma);
    }
    p.SetMaxLineLength(1 << 20);
    std::vector<int> columns;
    while (p.NextStringE()) {
        std::string line = std::to_string(p.LineNumber()) + ":";
        if (templ.empty()) {
            line += " " + std::to_string(p.NumFields()) + " fields:";
            for (std::size_t i = 0; i < p.NumFields(); ++i)
                line += " " + Quote(p.GetRawField(i));
        } else if (columns.empty()) {
            TKrCSVTemplate header;
            if (!header.Init(p.GetCurStr())) throw TKrMessage("@%1%: the header cannot be split") << file;
            for (const auto& item : items) {
                int c = header.Find(item.name);
                if (c < 0) throw TKrMessage("@%1%: the header has no column \"%2%\"") << file << item.name;
                columns.push_back(c);
            }
            line += " header, " + std::to_string(header.NumColumns()) + " columns";
        } else {
            for (std::size_t k = 0; k < items.size(); ++k) {
                const std::size_t c = static_cast<std::size_t>(columns[k]);
                line += " " + items[k].name + "=";
                switch (items[k].type) {
                case TKrCSVCreator::TItem::tInt:
                case TKrCSVCreator::TItem::tUnsigned:
                    line += std::to_string(p.GetE<int>(c));
                    break;
                case TKrCSVCreator::TItem::tDouble:
                    line += Number(p.GetE<double>(c));
                    break;
                default:
                    line += Quote(p.GetE<std::string>(c));
                }
            }
        }
        std::printf("%s\n", line.c_str());
    }
    return std::fflush(stdout) == 0 ? 0 : 1;
}

// convert IN OUT --template T.x-ini [--from S.x-ini]: reads IN (its first record is the header;
// separators and decimal comma from S, else the loose defaults), picks the template's columns by
// name and writes them in the template's dialect, header first. OUT is written whole or not at
// all: a failure removes it.
int Convert(const std::vector<std::string>& args) {
    std::string in, out, templ, from;
    for (std::size_t i = 1; i < args.size(); ++i) {
        if (args[i] == "--template" && i + 1 < args.size())
            templ = args[++i];
        else if (args[i] == "--from" && i + 1 < args.size())
            from = args[++i];
        else if (in.empty())
            in = args[i];
        else if (out.empty())
            out = args[i];
        else
            return KrToolUsage("csv");
    }
    if (in.empty() || out.empty() || templ.empty()) return KrToolUsage("csv");
    TKrCSVParser p(TKrFileStream::VCreateE(TKrPath(in), krOpenRead), false);
    p.SetAnsi(false);
    p.SetMaxLineLength(1 << 20);
    if (!from.empty()) {
        TKrCSVCreator::TParams src;
        TKrCSVCreator::TItems unused;
        LoadTemplate(from, src, unused);
        p.SetSeparators(std::string(1, src.separator));
        p.SetStrictSeparators(true);
        p.SetDecimalComma(src.decimal_comma);
    }
    TKrCSVCreator w;
    LoadTemplate(templ, w.params, w.items);
    if (!p.NextStringE()) throw TKrMessage("@%1% is empty") << in;
    TKrCSVTemplate header;
    if (!header.Init(p.GetCurStr())) throw TKrMessage("@%1%: the header cannot be split") << in;

    const std::size_t n = w.items.size();
    std::vector<int> columns(n);
    std::vector<double> doubles(n);
    std::vector<int> i32(n);
    std::vector<unsigned> u32(n);
    std::vector<std::string> texts(n);
    std::string head;
    for (std::size_t k = 0; k < n; ++k) {
        TKrCSVCreator::TItem& item = w.items[k];
        columns[k] = header.Find(item.name);
        if (columns[k] < 0) throw TKrMessage("@%1%: the header has no column \"%2%\"") << in << item.name;
        head += (k ? std::string(1, w.params.separator) : std::string()) + item.name;
    }
    head += "\r\n";
    try {
        var_a<TKrStream*> os = TKrFileStream::VCreateE(TKrPath(out), krCreate);
        if (os->Write(head.data(), head.size()) != head.size()) throw TKrMessage("@%1%: cannot write") << out;
        w.Init(os, head.substr(0, head.size() - 2));
        while (p.NextStringE()) {
            for (std::size_t k = 0; k < n; ++k) {
                TKrCSVCreator::TItem& item = w.items[k];
                const std::size_t c = static_cast<std::size_t>(columns[k]);
                switch (item.type) {
                case TKrCSVCreator::TItem::tInt:
                    i32[k] = p.GetE<int>(c);
                    item.value = &i32[k];
                    break;
                case TKrCSVCreator::TItem::tUnsigned:
                    u32[k] = static_cast<unsigned>(p.GetE<int>(c));
                    item.value = &u32[k];
                    break;
                case TKrCSVCreator::TItem::tDouble:
                    doubles[k] = p.GetE<double>(c);
                    item.value = &doubles[k];
                    break;
                default:
                    texts[k] = p.GetE<std::string>(c);
                    item.value = texts[k].c_str();
                }
            }
            w.WriteLine();
        }
    } catch (...) {
        std::remove(out.c_str());
        throw;
    }
    return 0;
}

int RunCsv(const std::vector<std::string>& args) {
    if (args.empty() || (args[0] != "dump" && args[0] != "convert")) return KrToolUsage("csv");
    try {
        return args[0] == "dump" ? Dump(args) : Convert(args);
    } catch (const TKrMessage& m) {
        std::fflush(stdout);
        const char* text = m.c_str();
        std::fprintf(stderr, "krtool csv: %s\n", text + (*text == '@'));
        return 1;
    }
}

} // namespace

KRTOOL_COMMAND(csv, "csv",
               "dump FILE [--template T.x-ini] | convert IN OUT --template T.x-ini [--from S.x-ini]",
               "print a delimited text table (raw or typed), or convert it to a template's dialect", RunCsv);
