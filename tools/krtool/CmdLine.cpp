// krtool line and spline: thin or densify a polyline given as WKT; tabulate a natural cubic spline.
#include "KrToolCommand.h"

#include "Math/Curves/KrInterpolationCubeSplineUnit.h"
#include "Math/Lines/KrThinOutLine.h"

#include <boost/geometry.hpp>
#include <boost/geometry/geometries/linestring.hpp>
#include <boost/geometry/geometries/point_xy.hpp>

#include <charconv>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace bg = boost::geometry;
using TPoint = bg::model::d2::point_xy<double>;
using TLine = bg::model::linestring<TPoint>;
using TRing = bg::model::ring<TPoint, true, false>; // the closing vertex not repeated, as ours

bool Number(const std::string& text, double& v) {
    const char* first = text.data() + (!text.empty() && text[0] == '+');
    const char* last = text.data() + text.size();
    const auto r = std::from_chars(first, last, v);
    return r.ec == std::errc() && r.ptr == last;
}

std::string Text(double v) {
    char buf[32];
    return std::string(buf, std::to_chars(buf, buf + sizeof buf, v).ptr);
}

// A LINESTRING, or with `closed` a POLYGON's outer ring (its repeated closing vertex dropped).
std::vector<vec3d> ReadLine(const std::string& file, bool closed) {
    std::ifstream in(file);
    if (!in) throw std::runtime_error("cannot read " + file);
    std::stringstream ss;
    ss << in.rdbuf();
    std::string wkt = ss.str();
    wkt.erase(wkt.find_last_not_of(" \t\r\n") + 1); // the reader refuses a trailing line end
    std::vector<vec3d> line;
    if (closed) {
        bg::model::polygon<TPoint> poly;
        bg::read_wkt(wkt, poly);
        for (const TPoint& p : poly.outer())
            line.push_back({p.x(), p.y(), 0});
        if (line.size() > 1 && line.front().x == line.back().x && line.front().y == line.back().y)
            line.pop_back();
    } else {
        TLine l;
        bg::read_wkt(wkt, l);
        for (const TPoint& p : l)
            line.push_back({p.x(), p.y(), 0});
    }
    return line;
}

void PrintLine(const std::vector<vec3d>& line, bool closed) {
    std::string s = closed ? "POLYGON((" : "LINESTRING(";
    for (std::size_t i = 0; i <= line.size(); ++i) {
        if (i == line.size() && (!closed || line.empty())) break;
        const vec3d& p = line[i % line.size()];
        s += (i ? "," : "") + Text(p.x) + " " + Text(p.y);
    }
    s += closed ? "))" : ")";
    std::printf("%s\n", s.c_str());
}

// line thin FILE.wkt TOL [--closed] [--left L --right R]
// line thicken FILE.wkt STEP [--closed]
int RunLine(const std::vector<std::string>& args) {
    if (args.size() < 3) return KrToolUsage("line");
    bool closed = false;
    double left = -1, right = -1, value = 0;
    for (std::size_t i = 3; i < args.size(); ++i) {
        if (args[i] == "--closed")
            closed = true;
        else if (args[i] == "--left" && i + 1 < args.size() && Number(args[i + 1], left))
            ++i;
        else if (args[i] == "--right" && i + 1 < args.size() && Number(args[i + 1], right))
            ++i;
        else
            return KrToolUsage("line");
    }
    if (!Number(args[2], value)) return KrToolUsage("line");
    try {
        std::vector<vec3d> line = ReadLine(args[1], closed);
        const std::size_t before = line.size();
        if (args[0] == "thin") {
            const bool ok = left >= 0 || right >= 0 ? ThinOutLineE(line, closed, left >= 0 ? left : value,
                                                                   right >= 0 ? right : value)
                                                    : ThinOutLine(line, closed, value);
            if (!ok) throw std::invalid_argument("the tolerance must be a number of 0 or more");
        } else if (args[0] == "thicken") {
            ThickenLine(line, closed, value);
        } else {
            return KrToolUsage("line");
        }
        PrintLine(line, closed);
        std::fprintf(stderr, "%zu vertices -> %zu\n", before, line.size());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "krtool line: %s\n", e.what());
        return 1;
    }
    return std::fflush(stdout) == 0 ? 0 : 1;
}

// spline table RANGE X,Y[,break] ...: the lookup table of a curve through the points, one
// value per line (index TAB value); a point marked ",break" does not carry slope across.
int RunSpline(const std::vector<std::string>& args) {
    double range = 0;
    if (args.size() < 3 || args[0] != "table" || !Number(args[1], range) || range < 1 || range > 1 << 24)
        return KrToolUsage("spline");
    std::vector<CUBESPLINE_POINT> pts;
    for (std::size_t i = 2; i < args.size(); ++i) {
        const std::string& a = args[i];
        const std::size_t c1 = a.find(','), c2 = a.find(',', c1 == std::string::npos ? c1 : c1 + 1);
        double x = 0, y = 0;
        if (c1 == std::string::npos || !Number(a.substr(0, c1), x) ||
            !Number(a.substr(c1 + 1, c2 - c1 - 1), y) ||
            (c2 != std::string::npos && a.substr(c2 + 1) != "break"))
            return KrToolUsage("spline");
        pts.push_back({c2 == std::string::npos ? CUBESPLINE_POINT_SMOOTH : CUBESPLINE_POINT_BREAK, {x, y}});
    }
    TKrInterpolationCubeSpline s;
    if (!s.SetPoints(pts, true)) {
        std::fprintf(stderr, "krtool spline: the x values must increase and every value be finite\n");
        return 1;
    }
    s.SetRange(static_cast<unsigned long>(range), false, false);
    std::vector<int> table;
    s.GetTransformTable(table);
    std::string out;
    for (std::size_t i = 0; i < table.size(); ++i)
        out += std::to_string(i) + "\t" + std::to_string(table[i]) + "\n";
    std::fputs(out.c_str(), stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
}

} // namespace

KRTOOL_COMMAND(line, "line",
               "thin FILE.wkt TOL [--closed] [--left L --right R] | thicken FILE.wkt STEP [--closed]",
               "thin out or densify a LINESTRING (or with --closed a POLYGON's ring) given as WKT", RunLine);
KRTOOL_COMMAND(spline, "spline", "table RANGE X,Y[,break]...",
               "print the lookup table 0..RANGE-1 of a natural cubic spline through the points", RunSpline);
