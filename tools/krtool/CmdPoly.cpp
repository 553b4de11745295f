// krtool poly: Boolean operations, areas and merges of plane regions read from WKT files.
#include "KrToolCommand.h"

#include "Math/Polygon/KrDomainBool.h"
#include "Math/Polygon/KrPolygonAlign.h"
#include "Math/Polygon/KrPolygonBG.h"
#include "Math/Polygon/KrPolygonBGConvert.h"
#include "Math/Polygon/KrPolygonBP.h"
#include "Math/Polygon/KrPolygonClipper.h"
#include "Math/Polygon/KrPolygonKr.h"

#include <boost/geometry/io/wkt/read.hpp>

#include <charconv>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

std::string Num(double v) {
    char buf[32];
    return std::string(buf, std::to_chars(buf, buf + sizeof buf, v).ptr);
}

bool StartsWithNoCase(const std::string& text, std::size_t at, const char* word) {
    for (std::size_t i = 0; word[i]; ++i) {
        if (at + i >= text.size()) return false;
        char c = text[at + i];
        if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A'); // ASCII only, whatever the locale
        if (c != word[i]) return false;
    }
    return true;
}

/// One POLYGON or MULTIPOLYGON as a planar set; `where` names the text in errors.
TKrPlanarSet ParseWkt(const std::string& raw, const std::string& where) {
    const std::size_t at = raw.find_first_not_of(" \t\r\n");
    const std::string text =
        at == std::string::npos ? std::string() : raw.substr(0, raw.find_last_not_of(" \t\r\n") + 1);
    try {
        if (at != std::string::npos && StartsWithNoCase(text, at, "MULTIPOLYGON")) {
            bg::TMultiPolygon m;
            boost::geometry::read_wkt(text, m);
            TKrPlanarSet s;
            bg::convert(m, s);
            return s;
        }
        if (at != std::string::npos && StartsWithNoCase(text, at, "POLYGON")) {
            bg::TPolygon p;
            boost::geometry::read_wkt(text, p);
            TKrPlanarSet s(1);
            bg::convert(p, s[0]);
            return s;
        }
    } catch (const std::exception& e) {
        throw std::runtime_error(where + ": malformed WKT: " + e.what());
    }
    throw std::runtime_error(where + ": expected POLYGON or MULTIPOLYGON WKT");
}

std::string ReadFile(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) throw std::runtime_error("cannot open \"" + file + "\"");
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string Ring(const TKrContour& c) {
    std::string w = "(";
    for (std::size_t i = 0; i <= c.size(); ++i) {
        const vec3d& p = c[i % c.size()];
        if (i) w += ", ";
        w += Num(p.x) + " " + Num(p.y);
    }
    return w + ")";
}

std::string Wkt(const TKrPlanarSet& s) {
    std::string w = "MULTIPOLYGON(";
    bool firstDomain = true;
    for (const TKrDomain& d : s) {
        if (d.empty() || d[0].empty()) continue;
        w += firstDomain ? "(" : ", (";
        firstDomain = false;
        bool firstRing = true;
        for (const TKrContour& c : d) {
            if (c.empty()) continue;
            if (!firstRing) w += ", ";
            firstRing = false;
            w += Ring(c);
        }
        w += ")";
    }
    return firstDomain ? "MULTIPOLYGON EMPTY" : w + ")";
}

int Print(const TKrPlanarSet& s) {
    const std::string text = Wkt(s) + "\narea: " + Num(GetPlanarSetArea(s)) + "\n";
    std::fwrite(text.data(), 1, text.size(), stdout);
    return 0;
}

bool ParseDouble(const std::string& text, double& value) {
    const auto r = std::from_chars(text.data(), text.data() + text.size(), value);
    return r.ec == std::errc() && r.ptr == text.data() + text.size();
}

int Boolean(const std::string& op, const std::vector<std::string>& args) {
    std::string backend = "bg";
    double precision = 1e-6;
    std::vector<std::string> files;
    for (std::size_t i = 1; i < args.size(); ++i) {
        if (args[i] == "--backend" && i + 1 < args.size())
            backend = args[++i];
        else if (args[i] == "--precision" && i + 1 < args.size()) {
            if (!ParseDouble(args[++i], precision) || !(precision > 0)) return KrToolUsage("poly");
        } else if (args[i].compare(0, 2, "--") != 0)
            files.push_back(args[i]);
        else
            return KrToolUsage("poly");
    }
    if (files.size() != 2) return KrToolUsage("poly");
    const TKrPlanarSet a = ParseWkt(ReadFile(files[0]), files[0]);
    const TKrPlanarSet b = ParseWkt(ReadFile(files[1]), files[1]);
    TKrPlanarSet out;
    bool ok = false;
#define KRTOOL_POLY_OP(ns)                                                                                   \
    if (op == "union")                                                                                       \
        ok = ns::union_(a, b, out, precision);                                                               \
    else if (op == "intersection")                                                                           \
        ok = ns::intersection(a, b, out, precision);                                                         \
    else if (op == "difference")                                                                             \
        ok = ns::difference(a, b, out, precision);                                                           \
    else                                                                                                     \
        ok = ns::xor_(a, b, out, precision);
    if (backend == "bg") {
        KRTOOL_POLY_OP(bg)
    } else if (backend == "bp") {
        KRTOOL_POLY_OP(bp)
    } else if (backend == "clipper") {
        KRTOOL_POLY_OP(clipper)
    } else if (backend == "kr") {
        KRTOOL_POLY_OP(_kr)
    } else if (backend == "align") {
        KRTOOL_POLY_OP(polygon_align)
    } else {
        std::fprintf(stderr, "krtool poly: unknown back end \"%s\" (bg, bp, clipper, kr or align)\n",
                     backend.c_str());
        return 2;
    }
#undef KRTOOL_POLY_OP
    if (!ok) throw std::runtime_error("the " + backend + " back end could not " + op + " these regions");
    return Print(out);
}

int UnionAll(const std::string& file) {
    std::istringstream in(ReadFile(file));
    std::vector<TKrPlanarSet> sets;
    std::string line;
    for (std::size_t number = 1; std::getline(in, line); ++number) {
        if (line.find_first_not_of(" \t\r") == std::string::npos ||
            line[line.find_first_not_of(" \t\r")] == '#')
            continue;
        sets.push_back(ParseWkt(line, file + ":" + std::to_string(number)));
    }
    TKrPlanarSet out;
    if (!bg::union_(sets, out, 0, nullptr))
        throw std::runtime_error("the regions of \"" + file + "\" do not merge");
    return Print(out);
}

int RunPoly(const std::vector<std::string>& args) {
    if (args.empty()) return KrToolUsage("poly");
    const std::string& op = args[0];
    if (op == "union" || op == "intersection" || op == "difference" || op == "xor") return Boolean(op, args);
    if (op == "area" && args.size() == 2) return Print(ParseWkt(ReadFile(args[1]), args[1]));
    if (op == "union-all" && args.size() == 2) return UnionAll(args[1]);
    return KrToolUsage("poly");
}

} // namespace

KRTOOL_COMMAND(
    poly, "poly",
    "union|intersection|difference|xor A.wkt B.wkt [--backend bg|bp|clipper|kr|align] [--precision P] | "
    "area FILE.wkt | union-all FILE.wkt",
    "Boolean operations of POLYGON/MULTIPOLYGON WKT regions (grid step P, default 1e-6, for bp, "
    "clipper and kr; snapping tolerance for align), their area, or the union of one polygon per line",
    RunPoly);
