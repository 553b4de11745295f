// GEOS as the independent referee of the polygon Boolean tests: areas and point containment.
#pragma once

#include "Math/Polygon/KrPolygonTypes.h"

#include <geos_c.h>

#include <charconv>
#include <stdexcept>
#include <string>

namespace krtest {

/// One GEOS context and the operands as valid GEOS geometries (each operand the union of its
/// domains, so touching or overlapping domains of one operand are merged first).
class TGeosReferee {
public:
    TGeosReferee() : m_ctx(GEOS_init_r()) {}
    ~TGeosReferee() { GEOS_finish_r(m_ctx); }
    TGeosReferee(const TGeosReferee&) = delete;
    TGeosReferee& operator=(const TGeosReferee&) = delete;

    enum TOp { Union, Intersection, Difference, Xor };

    /// Area of `op` applied to a and b, and the answer for probe points: 1 inside, 0 outside,
    /// -1 within `margin` of the result's boundary (not compared).
    struct TResult {
        double area = 0;
        GEOSGeometry* geom = nullptr;
    };

    double Area(const TKrPlanarSet& s) {
        GEOSGeometry* g = Make(s);
        double a = 0;
        GEOSArea_r(m_ctx, g, &a);
        GEOSGeom_destroy_r(m_ctx, g);
        return a;
    }

    /// Runs the operation; the caller frees the result with Free.
    TResult Run(TOp op, const TKrPlanarSet& a, const TKrPlanarSet& b) {
        GEOSGeometry* ga = Make(a);
        GEOSGeometry* gb = Make(b);
        GEOSGeometry* r = nullptr;
        switch (op) {
        case Union:
            r = GEOSUnion_r(m_ctx, ga, gb);
            break;
        case Intersection:
            r = GEOSIntersection_r(m_ctx, ga, gb);
            break;
        case Difference:
            r = GEOSDifference_r(m_ctx, ga, gb);
            break;
        case Xor:
            r = GEOSSymDifference_r(m_ctx, ga, gb);
            break;
        }
        GEOSGeom_destroy_r(m_ctx, ga);
        GEOSGeom_destroy_r(m_ctx, gb);
        if (!r) throw std::runtime_error("GEOS operation failed");
        TResult res;
        GEOSArea_r(m_ctx, r, &res.area);
        res.geom = r;
        return res;
    }
    void Free(TResult& r) {
        if (r.geom) GEOSGeom_destroy_r(m_ctx, r.geom);
        r.geom = nullptr;
    }

    /// 1 when (x, y) is inside the result, 0 outside, -1 closer than `margin` to its boundary.
    int Probe(const TResult& r, double x, double y, double margin) {
        GEOSGeometry* p = GEOSGeom_createPointFromXY_r(m_ctx, x, y);
        GEOSGeometry* boundary = GEOSBoundary_r(m_ctx, r.geom);
        double d = 0;
        int answer = -1;
        if (GEOSisEmpty_r(m_ctx, r.geom) == 1)
            answer = 0;
        else if (GEOSDistance_r(m_ctx, p, boundary, &d) == 1 && d > margin)
            answer = GEOSIntersects_r(m_ctx, r.geom, p) == 1 ? 1 : 0;
        GEOSGeom_destroy_r(m_ctx, boundary);
        GEOSGeom_destroy_r(m_ctx, p);
        return answer;
    }

    static std::string Wkt(const TKrPlanarSet& s) {
        std::string w = "GEOMETRYCOLLECTION(";
        bool firstDomain = true;
        for (const TKrDomain& d : s) {
            if (d.empty() || d[0].size() < 3) continue;
            w += firstDomain ? "POLYGON(" : ",POLYGON(";
            firstDomain = false;
            bool firstRing = true;
            for (const TKrContour& c : d) {
                if (c.size() < 3) continue;
                w += firstRing ? "(" : ",(";
                firstRing = false;
                for (std::size_t i = 0; i <= c.size(); ++i) {
                    const vec3d& p = c[i % c.size()];
                    if (i) w += ',';
                    w += Num(p.x) + ' ' + Num(p.y);
                }
                w += ')';
            }
            w += ')';
        }
        return w + ')';
    }

private:
    static std::string Num(double v) {
        char buf[32];
        return std::string(buf, std::to_chars(buf, buf + sizeof buf, v).ptr);
    }

    GEOSGeometry* Make(const TKrPlanarSet& s) {
        GEOSWKTReader* reader = GEOSWKTReader_create_r(m_ctx);
        GEOSGeometry* collection = GEOSWKTReader_read_r(m_ctx, reader, Wkt(s).c_str());
        GEOSWKTReader_destroy_r(m_ctx, reader);
        if (!collection) throw std::runtime_error("GEOS cannot read " + Wkt(s));
        GEOSGeometry* merged = GEOSUnaryUnion_r(m_ctx, collection);
        GEOSGeom_destroy_r(m_ctx, collection);
        if (!merged) throw std::runtime_error("GEOS cannot merge " + Wkt(s));
        return merged;
    }

    GEOSContextHandle_t m_ctx;
};

} // namespace krtest
