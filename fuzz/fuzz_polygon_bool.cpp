// Polygons from bytes through the bg, clipper and polygon_align back ends: nothing crashes, bad
// coordinates are refused with a message, and on valid input the back ends give the same areas
// within the grid (clipper) or the snapping tolerance (polygon_align).
#define BOOST_GEOMETRY_NO_ROBUSTNESS // as the bg facade is built: one instantiation of the overlay

#include "Core/KrMessage.h"
#include "Math/Polygon/KrDomainBool.h"
#include "Math/Polygon/KrPolygonAlign.h"
#include "Math/Polygon/KrPolygonBG.h"
#include "Math/Polygon/KrPolygonBGConvert.h"
#include "Math/Polygon/KrPolygonClipper.h"

#include <boost/geometry/algorithms/is_valid.hpp>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace {

// Input layout: one flags byte, then per contour a vertex count byte and 4 bytes per vertex
// (two signed 16-bit coordinates on a grid of 1/16). Flag bit 0 swaps one coordinate for a
// special value (NaN, infinity, a huge number) chosen by the following byte.
struct TBytes {
    const std::uint8_t* p;
    std::size_t n;
    std::uint8_t Byte() { return n ? (--n, *p++) : 0; }
    double Coord() {
        const unsigned lo = Byte(), hi = Byte(); // in this order: argument order is unspecified
        const std::uint16_t v = std::uint16_t(lo | (hi << 8));
        return std::int16_t(v) / 16.0;
    }
};

TKrContour Contour(TBytes& in) {
    TKrContour c(in.Byte() % 24);
    for (vec3d& v : c) {
        v.x = in.Coord();
        v.y = in.Coord();
    }
    return c;
}

bool Valid(const TKrContour& c) {
    if (c.size() < 3 || GetContourArea(c) < 1e-3) return false;
    bg::TPolygon p;
    bg::convert(c, p);
    return boost::geometry::is_valid(p);
}

double Perimeter(const TKrContour& c) {
    double s = 0;
    for (std::size_t i = 0; i < c.size(); ++i)
        s += std::hypot(c[(i + 1) % c.size()].x - c[i].x, c[(i + 1) % c.size()].y - c[i].y);
    return s;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    TBytes in{data, size};
    const std::uint8_t flags = in.Byte();
    TKrContour a = Contour(in), b = Contour(in);
    bool special = false;
    if ((flags & 1) && !a.empty()) {
        const double values[] = {std::numeric_limits<double>::quiet_NaN(),
                                 std::numeric_limits<double>::infinity(),
                                 -std::numeric_limits<double>::infinity(), 1e300, 1e19};
        const std::size_t at = in.Byte() % a.size();
        a[at].y = values[in.Byte() % 5];
        special = true;
    }
    const double precision = 1.0 / 1024; // vertices lie on this grid; only crossings round
    TKrPlanarSet rg, rc, ra;
    try {
        for (int op = 0; op < 4; ++op) {
            // The aligning back end before clipper, which refuses every special coordinate: here
            // a special coordinate may be refused with a message or pass, but must not crash.
            bool okA = false;
            try {
                switch (op) {
                case 0:
                    okA = polygon_align::union_(a, b, ra, precision);
                    break;
                case 1:
                    okA = polygon_align::intersection(a, b, ra, precision);
                    break;
                case 2:
                    okA = polygon_align::difference(a, b, ra, precision);
                    break;
                case 3:
                    okA = polygon_align::xor_(a, b, ra, precision);
                    break;
                }
            } catch (const TKrMessage&) {
                if (!special) throw;
            }
            bool okG = false, okC = false;
            switch (op) {
            case 0:
                okG = bg::union_(a, b, rg, 0), okC = clipper::union_(a, b, rc, precision);
                break;
            case 1:
                okG = bg::intersection(a, b, rg, 0), okC = clipper::intersection(a, b, rc, precision);
                break;
            case 2:
                okG = bg::difference(a, b, rg, 0), okC = clipper::difference(a, b, rc, precision);
                break;
            case 3:
                okG = bg::xor_(a, b, rg, 0), okC = clipper::xor_(a, b, rc, precision);
                break;
            }
            if (special || !Valid(a) || !Valid(b)) continue; // only: no crash
            if (!okG || !okC) {
                std::fprintf(stderr, "operation %d refused on valid input\n", op);
                std::abort();
            }
            const double ag = GetPlanarSetArea(rg), ac = GetPlanarSetArea(rc);
            const double tol = 2 * precision * (Perimeter(a) + Perimeter(b)) + 1e-9 * (ag + ac);
            if (std::fabs(ag - ac) > tol) {
                std::fprintf(stderr, "operation %d: bg area %.17g, clipper area %.17g\n", op, ag, ac);
                std::abort();
            }
            const double aa = GetPlanarSetArea(ra);
            if (!okA || std::fabs(ag - aa) > tol) {
                std::fprintf(stderr, "operation %d: bg area %.17g, polygon_align %s, area %.17g\n", op, ag,
                             okA ? "succeeded" : "failed", aa);
                std::abort();
            }
        }
        if (special) std::abort(); // a special coordinate must not pass unnoticed
    } catch (const TKrMessage&) {
        if (!special) std::abort(); // messages are for special coordinates only
    }
    return 0;
}
