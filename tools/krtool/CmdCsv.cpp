// krtool csv: dump a delimited text table, as raw fields or typed through an XIni column template.
#include "KrToolCommand.h"

#include "Core/KrMessage.h"
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
        var_a<TKrXIniTree*> tree =
            ReadKrXIniTree(TKrFileStream::VCreateE(TKrPath(templ), krOpenRead).get(), true, nullptr, nullptr);
        TKrXIniTreeReader reader(tree);
        params.Load(&reader);
        items.Load(&reader);
        if (items.empty()) throw TKrMessage("@%1% holds no \"items\"") << templ;
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

int RunCsv(const std::vector<std::string>& args) {
    if (args.empty() || args[0] != "dump") return KrToolUsage("csv");
    try {
        return Dump(args);
    } catch (const TKrMessage& m) {
        std::fflush(stdout);
        const char* text = m.c_str();
        std::fprintf(stderr, "krtool csv: %s\n", text + (*text == '@'));
        return 1;
    }
}

} // namespace

KRTOOL_COMMAND(csv, "csv", "dump FILE [--template T.x-ini]",
               "print the records of a delimited text table, raw or typed by a column template", RunCsv);
