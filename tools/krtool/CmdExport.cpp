// krtool export: polygons from WKT text to the vector text format.
#include "KrToolCommand.h"

#include "Core/KrMessage.h"
#include "Output/KrTXTWriter.h"

#include <boost/geometry.hpp>
#include <boost/geometry/geometries/point_xy.hpp>
#include <boost/geometry/geometries/polygon.hpp>
#include <boost/geometry/io/wkt/read.hpp>

#include <charconv>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

namespace {

namespace bg = boost::geometry;
using TPoint = bg::model::d2::point_xy<double>;
using TPolygon = bg::model::polygon<TPoint>;
using TMultiPolygon = bg::model::multi_polygon<TPolygon>;

// WKT repeats a ring's first vertex at its end; our contours do not.
template <class Ring> TKrContour ToContour(const Ring& ring) {
    TKrContour c;
    for (const TPoint& p : ring)
        c.push_back(vec3d(p.x(), p.y(), 0.0));
    if (c.size() > 1 && c.front().x == c.back().x && c.front().y == c.back().y) c.pop_back();
    return c;
}

TKrDomain ToDomain(const TPolygon& polygon) {
    TKrDomain d{ToContour(polygon.outer())};
    for (const auto& hole : polygon.inners())
        d.push_back(ToContour(hole));
    return d;
}

bool StartsWithWord(const std::string& line, const char* word) {
    std::size_t i = line.find_first_not_of(" \t");
    for (std::size_t k = 0; word[k]; ++k, ++i)
        if (i >= line.size() || (line[i] & ~0x20) != word[k]) return false;
    return true;
}

int RunExport(const std::vector<std::string>& args) {
    if (args.size() < 3 || args[0] != "polygons") return KrToolUsage("export");
    std::string layer;
    int precision = 8;
    for (std::size_t i = 3; i < args.size(); i += 2) {
        if (i + 1 >= args.size()) return KrToolUsage("export");
        if (args[i] == "--layer") {
            layer = args[i + 1];
        } else if (args[i] == "--precision") {
            const std::string& v = args[i + 1];
            const auto r = std::from_chars(v.data(), v.data() + v.size(), precision);
            if (r.ec != std::errc() || r.ptr != v.data() + v.size() || precision < 0 || precision > 17)
                return KrToolUsage("export");
        } else {
            return KrToolUsage("export");
        }
    }
    std::ifstream in(args[1], std::ios::binary);
    if (!in) throw TKrMessage("@cannot read %1%") << args[1];

    // One POLYGON or MULTIPOLYGON per line; all of them make one planar set.
    TKrPlanarSet set;
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        if (line.find_first_not_of(" \t\r") == std::string::npos) continue;
        try {
            if (StartsWithWord(line, "MULTIPOLYGON")) {
                TMultiPolygon mp;
                bg::read_wkt(line, mp);
                for (const TPolygon& p : mp)
                    set.push_back(ToDomain(p));
            } else {
                TPolygon p;
                bg::read_wkt(line, p);
                set.push_back(ToDomain(p));
            }
        } catch (const std::exception& e) {
            throw TKrMessage("@%1%, line %2%: %3%") << args[1] << number << e.what();
        }
    }
    TKrTXTWriter writer(TKrPath(args[2]), precision);
    if (!writer.SavePlanarSet(set, layer.empty() ? nullptr : layer.c_str(), "wkt"))
        throw TKrMessage("@cannot write %1%") << args[2];
    std::size_t rings = 0;
    for (const TKrDomain& d : set)
        rings += d.size();
    std::printf("%s: %s polygons, %s rings\n", args[2].c_str(), std::to_string(set.size()).c_str(),
                std::to_string(rings).c_str());
    return 0;
}

} // namespace

KRTOOL_COMMAND(export, "export", "polygons IN.wkt OUT.txt [--layer NAME] [--precision N]",
               "write WKT polygons (one POLYGON or MULTIPOLYGON a line) as vector text blocks", RunExport);
