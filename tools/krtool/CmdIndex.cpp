// krtool index: load points or boxes from a CSV file into a spatial index and list what a window finds.
#include "KrToolCommand.h"

#include "Math/Index/KrPointsQuadTree.h"
#include "Math/Index/KrQuadTree.h"
#include "Math/Index/KrStaticPointsGrid.h"
#include "Math/Index/KrStaticQuadTree.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

namespace {

/// Splits `text` at commas and reads every field as a number (blanks around it allowed).
bool ParseNumbers(const std::string& text, std::vector<double>& out) {
    out.clear();
    std::size_t at = 0;
    for (;;) {
        const std::size_t comma = std::min(text.find(',', at), text.size());
        std::size_t b = at, e = comma;
        while (b < e && (text[b] == ' ' || text[b] == '\t'))
            ++b;
        while (e > b && (text[e - 1] == ' ' || text[e - 1] == '\t' || text[e - 1] == '\r'))
            --e;
        if (b < e && text[b] == '+') ++b; // from_chars takes no plus sign
        double v = 0;
        const auto r = std::from_chars(text.data() + b, text.data() + e, v);
        if (b == e || r.ec != std::errc() || r.ptr != text.data() + e) return false;
        out.push_back(v);
        if (comma == text.size()) return true;
        at = comma + 1;
    }
}

struct TInput {
    std::vector<std::uint64_t> ids; // line numbers
    std::vector<limits2d> boxes;    // points are boxes of no size
    bool anyBox = false;
    limits2d bounds;
};

/// Reads "x,y" or "minx,miny,maxx,maxy" lines; a first line that is not numbers is a header.
bool ReadInput(std::istream& in, const std::string& name, TInput& input) {
    std::string line;
    std::vector<double> v;
    for (std::uint64_t number = 1; std::getline(in, line); ++number) {
        if (line.find_first_not_of(" \t\r") == std::string::npos) continue;
        const bool ok = ParseNumbers(line, v) && (v.size() == 2 || v.size() == 4) &&
                        std::all_of(v.begin(), v.end(), [](double d) { return std::isfinite(d); });
        if (!ok) {
            if (number == 1) continue;
            std::fprintf(stderr, "krtool index: %s:%llu: expected x,y or minx,miny,maxx,maxy\n", name.c_str(),
                         static_cast<unsigned long long>(number));
            return false;
        }
        const vec2d a(v[0], v[1]), b = v.size() == 4 ? vec2d(v[2], v[3]) : a;
        const limits2d box(vec2d(std::min(a.x, b.x), std::min(a.y, b.y)),
                           vec2d(std::max(a.x, b.x), std::max(a.y, b.y)));
        input.ids.push_back(number);
        input.boxes.push_back(box);
        input.anyBox |= v.size() == 4;
        input.bounds.add(box);
    }
    return true;
}

/// Levels giving about `perCell` objects per finest cell of a square tree, within [1, 16].
int LevelsFor(std::size_t count, double perCell) {
    const double side = std::sqrt(std::max(1.0, double(count) / perCell));
    return std::clamp(static_cast<int>(std::ceil(std::log2(side))) + 1, 1, 16);
}

int RunIndex(const std::vector<std::string>& args) {
    std::string kind = "quadtree", file;
    std::vector<double> window;
    bool candidates = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--kind" && i + 1 < args.size()) {
            kind = args[++i];
        } else if (args[i] == "--window" && i + 1 < args.size()) {
            if (!ParseNumbers(args[++i], window) || window.size() != 4) return KrToolUsage("index");
        } else if (args[i] == "--candidates") {
            candidates = true;
        } else if (file.empty() && (args[i] == "-" || args[i].compare(0, 2, "--") != 0)) {
            file = args[i];
        } else {
            return KrToolUsage("index");
        }
    }
    if (file.empty() || window.empty() ||
        (kind != "quadtree" && kind != "points" && kind != "grid" && kind != "static"))
        return KrToolUsage("index");

    TInput input;
    std::ifstream stream;
    if (file != "-") {
        stream.open(file, std::ios::binary);
        if (!stream) {
            std::fprintf(stderr, "krtool index: cannot read %s\n", file.c_str());
            return 1;
        }
    }
    if (!ReadInput(file == "-" ? std::cin : stream, file, input)) return 1;
    if (input.anyBox && kind != "quadtree") {
        std::fprintf(stderr, "krtool index: boxes need --kind quadtree; %s holds points only\n",
                     kind.c_str());
        return 1;
    }
    // The data's bounds, widened where flat: the quad trees want an extent on both axes.
    limits2d limits = input.bounds.is_empty() ? limits2d(vec2d(0, 0), vec2d(1, 1)) : input.bounds;
    const auto widen = [](double lo, double& hi) {
        if (!(hi > lo)) hi = lo + std::max(1.0, std::abs(lo) * 1e-9);
    };
    widen(limits.min.x, limits.max.x);
    widen(limits.min.y, limits.max.y);
    const limits2d query(vec2d(window[0], window[1]), vec2d(window[2], window[3]));
    const std::size_t n = input.ids.size();
    std::vector<std::uint64_t> found;
    if (kind == "quadtree") {
        kr::TQuadTree tree;
        tree.Init(limits.min, limits.max, LevelsFor(n, 4));
        for (std::size_t i = 0; i < n; ++i)
            tree.AddObject(input.ids[i], input.boxes[i].min, input.boxes[i].max);
        tree.GetRect(query.min, query.max, found);
    } else if (kind == "points") {
        kr::TPointsQuadTree tree;
        tree.Init(limits.min, limits.max, 20, 32);
        for (std::size_t i = 0; i < n; ++i)
            tree.AddObject(input.ids[i], input.boxes[i].min);
        tree.GetRect(query.min, query.max, found);
    } else if (kind == "grid") {
        kr::TStaticPointsGrid grid;
        std::uint32_t nx = 1, ny = 1;
        kr::TStaticPointsGrid::SuggestCells(limits, n, 2, nx, ny);
        grid.Init(limits, nx, ny);
        for (const limits2d& p : input.boxes)
            grid.InitPoint(p.min);
        grid.AddPointBegin();
        for (std::size_t i = 0; i < n; ++i)
            grid.AddPoint(input.boxes[i].min, input.ids[i]);
        grid.AddPointEnd();
        grid.GetRect(query, found);
    } else {
        kr::TStaticQuadTree tree;
        tree.Init(limits, LevelsFor(n, 2));
        for (const limits2d& p : input.boxes)
            tree.InitPoint(p.min);
        tree.AddPointBegin();
        for (std::size_t i = 0; i < n; ++i)
            tree.AddPoint(input.boxes[i].min, input.ids[i]);
        tree.AddPointEnd(true);
        tree.GetRect(query, found);
    }
    std::sort(found.begin(), found.end());
    std::string out;
    for (std::uint64_t id : found) {
        // Ids are line numbers, so the line's object is boxes[position of id]; lines only grow.
        const std::size_t at = std::lower_bound(input.ids.begin(), input.ids.end(), id) - input.ids.begin();
        if (!candidates && !query.intersects(input.boxes[at])) continue;
        char text[24];
        const auto end = std::to_chars(text, text + sizeof text, id).ptr;
        out.append(text, end);
        out += '\n';
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    return 0;
}
} // namespace

KRTOOL_COMMAND(index, "index",
               "--window MINX,MINY,MAXX,MAXY [--kind quadtree|points|grid|static] [--candidates] FILE",
               "list the lines of a CSV file of points (x,y) or boxes (minx,miny,maxx,maxy) meeting a window",
               RunIndex);
