// krtool transform: fit a plane transform to point pairs from a CSV file, store it as XIni, apply a stored
// one.
#include "KrToolCommand.h"

#include "Math/Transforms/Kr2DTransform.h"
#include "Math/Transforms/KrMatchPoints.h"
#include "Math/Transforms/KrProjectiveTransform.h"
#include "Math/Transforms/KrTransformUtils.h"
#include "Streams/KrFileStream.h"
#include "System/KrPath.h"
#include "Utils/KrDeltas.h"
#include "XIni/KrXIniStreamReader.h"
#include "XIni/KrXIniStreamWriter.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

// --- Numbers, locale-free ---------------------------------------------------------------------

bool ParseDouble(const std::string& text, double& value) {
    std::size_t b = text.find_first_not_of(" \t\r");
    std::size_t e = text.find_last_not_of(" \t\r");
    if (b == std::string::npos) return false;
    const char* first = text.data() + b;
    const char* last = text.data() + e + 1;
    if (*first == '+') ++first; // from_chars takes no plus sign
    const auto r = std::from_chars(first, last, value);
    return r.ec == std::errc() && r.ptr == last;
}

/// Shortest text that reads back as the same double (to print results others may read back),
/// or `digits` significant digits for a table.
std::string Num(double v, int digits = 0) {
    char buf[64];
    const auto r = digits > 0 ? std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, digits)
                              : std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

// --- CSV of numbers ---------------------------------------------------------------------------

/// Rows of at least `columns` numbers, separated by commas, semicolons, tabs or blanks. Blank
/// lines, lines starting with '#', and a first other line that is not numeric (a header) are skipped;
/// any other line that does not hold the numbers is an error naming the line.
std::vector<std::vector<double>> ReadCsv(const std::string& file, std::size_t columns) {
    std::ifstream in(file, std::ios::binary);
    if (!in) throw std::runtime_error("cannot open \"" + file + "\"");
    std::vector<std::vector<double>> rows;
    std::string line;
    bool firstContent = true;
    for (std::size_t number = 1; std::getline(in, line); ++number) {
        const std::size_t start = line.find_first_not_of(" \t\r");
        if (start == std::string::npos || line[start] == '#') continue;
        std::vector<double> row;
        std::string field;
        bool ok = true;
        for (char c : line + ",") {
            if (c == ',' || c == ';' || c == '\t' || c == ' ') {
                if (field.find_first_not_of(" \r") == std::string::npos) {
                    field.clear();
                    continue;
                }
                double v = 0;
                ok = ok && ParseDouble(field, v);
                row.push_back(v);
                field.clear();
            } else {
                field += c;
            }
        }
        if (!ok || row.size() < columns) {
            if (firstContent) { // a header line
                firstContent = false;
                continue;
            }
            throw std::runtime_error(file + ":" + std::to_string(number) + ": expected " +
                                     std::to_string(columns) + " numbers");
        }
        firstContent = false;
        row.resize(columns);
        rows.push_back(std::move(row));
    }
    return rows;
}

// --- Transform classes by name ----------------------------------------------------------------

const char* const kClassNames[] = {"identity",   "translation", "isometry",
                                   "similarity", "affine",      "projective"};

int ClassOf(const std::string& name) {
    if (name == "auto") return 0;
    for (int i = 1; i <= 5; ++i)
        if (name == kClassNames[i]) return i;
    return -1;
}

/// The fit of one class; mirrored results allowed unless `forbidFlip`. Throws when impossible.
matr3x3 FitClass(const TKrPointPairs& pairs, int type, bool forbidFlip) {
    matr3x3 m;
    bool ok = false;
    switch (type) {
    case 1:
        return MatchPoints_Translation(pairs);
    case 2:
        if (forbidFlip) return MatchPoints_Isometry(pairs);
        ok = MatchPoints_IsometryF(pairs, m);
        break;
    case 3:
        if (forbidFlip) return MatchPoints_Similarity(pairs);
        ok = MatchPoints_SimilarityF(pairs, m);
        break;
    case 4:
        return MatchPoints_AffineF(pairs, forbidFlip);
    default:
        return MatchPoints_ProjectiveF(pairs, forbidFlip);
    }
    if (!ok) throw std::runtime_error(std::string("no ") + kClassNames[type] + " fits these pairs");
    return m;
}

void PrintStats(const char* title, const TKrDeltasXYR& d) {
    std::printf("%s (%d pairs):\n", title, d.count.r);
    std::printf("  %-5s %14s %14s %14s\n", "", "x", "y", "r");
    std::printf("  %-5s %14s %14s %14s\n", "rms", Num(d.rms.x, 6).c_str(), Num(d.rms.y, 6).c_str(),
                Num(d.rms.r, 6).c_str());
    std::printf("  %-5s %14s %14s %14s\n", "mean", Num(d.mm.x, 6).c_str(), Num(d.mm.y, 6).c_str(),
                Num(d.mm.r, 6).c_str());
    std::printf("  %-5s %14s %14s %14s\n", "max", Num(d.max.x, 6).c_str(), Num(d.max.y, 6).c_str(),
                Num(d.max.r, 6).c_str());
}

int Fit(const std::vector<std::string>& args) {
    std::string file, out;
    int type = 0;
    double screen = -1, tolerance = 0.01;
    bool perPoint = false, forbidFlip = false;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == "--class" && hasValue) {
            type = ClassOf(args[++i]);
            if (type < 0) return KrToolUsage("transform");
        } else if (a == "--screen" && hasValue) {
            if (!ParseDouble(args[++i], screen) || !(screen >= 0 && screen < 1))
                return KrToolUsage("transform");
        } else if (a == "--tolerance" && hasValue) {
            if (!ParseDouble(args[++i], tolerance)) return KrToolUsage("transform");
        } else if (a == "--out" && hasValue) {
            out = args[++i];
        } else if (a == "--per-point") {
            perPoint = true;
        } else if (a == "--forbid-flip") {
            forbidFlip = true;
        } else if (file.empty() && a.compare(0, 2, "--") != 0) {
            file = a;
        } else {
            return KrToolUsage("transform");
        }
    }
    if (file.empty()) return KrToolUsage("transform");

    TKrPointPairs pairs;
    for (const auto& row : ReadCsv(file, 4))
        pairs.emplace_back(vec2d(row[0], row[1]), vec2d(row[2], row[3]));
    if (pairs.empty()) throw std::runtime_error(file + ": no point pairs");

    // Automatic choice climbs to projective; a fixed class with screening is the class with the
    // climb up to it (tolerance 0: every class on the way is accepted).
    ETranType used = ETranType(type);
    matr3x3 m;
    if (screen >= 0)
        m = MatchPoints_Screening(pairs, forbidFlip, nullptr, type ? ETranType(type) : TranType_Projective,
                                  type ? 0.0 : tolerance, screen, &used);
    else if (type == 0)
        m = MatchPoints_SelfDefining(pairs, forbidFlip, nullptr, TranType_Projective, tolerance, &used);
    else
        m = FitClass(pairs, type, forbidFlip);
    const var_a<TKr2DTransform*> t = KrGetEffectiveTransform(new_a<TProjectiveTransform>(m), false);

    // Residuals; with screening, the pairs a refit would keep are those with the smallest ones.
    std::vector<vec2d> sources(pairs.size()), mapped(pairs.size());
    for (std::size_t i = 0; i < pairs.size(); ++i)
        sources[i] = pairs[i].first;
    t->GetTraCoordM(sources.data(), 0, sources.size(), mapped.data(), 0);
    std::vector<SDoubleSizeT> order(pairs.size());
    for (std::size_t i = 0; i < pairs.size(); ++i)
        order[i] = {norm(mapped[i] - pairs[i].second), i};
    std::size_t keep = pairs.size();
    if (screen >= 0 && pairs.size() >= 4)
        keep =
            std::min(pairs.size(),
                     std::max<std::size_t>(3, static_cast<std::size_t>((1 - screen) * double(pairs.size()))));
    std::vector<SDoubleSizeT> sorted = order;
    std::stable_sort(sorted.begin(), sorted.end(), CompSDoubleSizeT);
    std::vector<bool> kept(pairs.size(), false);
    for (std::size_t i = 0; i < keep; ++i)
        kept[sorted[i].index] = true;
    TKrDeltasXYR all, inliers;
    for (std::size_t i = 0; i < pairs.size(); ++i) {
        const vec2d d = mapped[i] - pairs[i].second;
        all.add_delta(d);
        if (kept[i]) inliers.add_delta(d);
    }
    all.calculate();
    inliers.calculate();

    std::printf("class: %s%s\n", kClassNames[used], type == 0 ? " (chosen)" : "");
    std::printf("transform: %s\n", t->GetContentName());
    std::printf("matrix:\n");
    for (int r = 0; r < 3; ++r)
        std::printf("  %24s %24s %24s\n", Num(m(r, 0)).c_str(), Num(m(r, 1)).c_str(), Num(m(r, 2)).c_str());
    PrintStats("residuals, all pairs", all);
    if (keep < pairs.size()) PrintStats("residuals, pairs kept by screening", inliers);
    if (perPoint) {
        std::printf("per point (* rejected by screening):\n  %4s %14s %14s %14s\n", "pair", "dx", "dy", "r");
        for (std::size_t i = 0; i < pairs.size(); ++i) {
            const vec2d d = mapped[i] - pairs[i].second;
            std::printf("  %4zu %14s %14s %14s%s\n", i + 1, Num(d.x, 6).c_str(), Num(d.y, 6).c_str(),
                        Num(norm(d), 6).c_str(), kept[i] ? "" : " *");
        }
    }
    if (!out.empty()) {
        var_a<TKrStream*> stream = TKrFileStream::VCreateE(TKrPath(out), krCreate);
        TKrXIniStreamWriter w(stream, 0, TKrXIniStreamWriter::Full);
        t->SaveE(&w);
        w.CloseE();
        std::printf("written: %s\n", out.c_str());
    }
    return 0;
}

int Apply(const std::vector<std::string>& args) {
    std::vector<std::string> files;
    bool inverse = false;
    for (std::size_t i = 1; i < args.size(); ++i) {
        if (args[i] == "--inverse")
            inverse = true;
        else if (args[i].compare(0, 2, "--") != 0)
            files.push_back(args[i]);
        else
            return KrToolUsage("transform");
    }
    if (files.size() != 2) return KrToolUsage("transform");
    var_a<TKrXIniReader*> reader = GetXIniReader(TKrPath(files[0]));
    const var_a<TKr2DTransform*> t = TKr2DTransform::LoadE(reader.get());
    std::vector<vec2d> points;
    for (const auto& row : ReadCsv(files[1], 2))
        points.emplace_back(row[0], row[1]);
    // One call for the whole array: the transform's own loop, no virtual call per point.
    if (inverse)
        t->GetInverseTraCoordM(points.data(), 0, points.size(), points.data(), 0);
    else
        t->GetTraCoordM(points.data(), 0, points.size(), points.data(), 0);
    std::string text;
    for (const vec2d& p : points)
        text += Num(p.x) + "," + Num(p.y) + "\n";
    std::fwrite(text.data(), 1, text.size(), stdout);
    return 0;
}

int RunTransform(const std::vector<std::string>& args) {
    if (args.empty()) return KrToolUsage("transform");
    if (args[0] == "fit") return Fit(args);
    if (args[0] == "apply") return Apply(args);
    return KrToolUsage("transform");
}

} // namespace

KRTOOL_COMMAND(
    transform, "transform",
    "fit PAIRS.csv [--class auto|translation|isometry|similarity|affine|projective] [--screen FRACTION] "
    "[--tolerance T] [--forbid-flip] [--out T.x-ini] [--per-point] | apply T.x-ini POINTS.csv [--inverse]",
    "fit a plane transform to point pairs (x,y,x',y' per line) and store it, or apply a stored one "
    "(auto: classes climb while some point moves by T, default 0.01)",
    RunTransform);
