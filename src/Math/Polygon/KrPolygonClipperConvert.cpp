// clipper: conversions between plane regions and the Clipper library's 64-bit paths and result trees.
#include "Math/Polygon/KrPolygonClipperConvert.h"

#include "Math/Polygon/KrPolygonGrid.h"

namespace clipper {

namespace {

// The open bound 2^63 excludes every double that would overflow a signed 64-bit integer.
constexpr double kLimit = 9223372036854775807.0;

void AddPath(const TKrContour& c, ClipperLib::Path& out, const vec2d& scale, const vec2d& offset) {
    out.clear();
    out.reserve(c.size());
    for (const vec3d& p : c) {
        const double x = std::round(p.x * scale.x + offset.x), y = std::round(p.y * scale.y + offset.y);
        if (!(x > -kLimit && x < kLimit && y > -kLimit && y < kLimit)) {
            if (!std::isfinite(p.x) || !std::isfinite(p.y))
                KrPolygonGrid::ThrowNotFinite("clipper::convert", p.x, p.y);
            KrPolygonGrid::ThrowBeyondGrid("clipper::convert", p.x, p.y, 64, 1.0 / scale.x);
        }
        out.emplace_back(static_cast<ClipperLib::cInt>(x), static_cast<ClipperLib::cInt>(y));
    }
}

void AddPath(const kr::TContour2<int>& c, ClipperLib::Path& out) {
    out.clear();
    out.reserve(c.size());
    for (const kr::TPoint2<int>& p : c)
        out.emplace_back(p.x, p.y);
}

template <class Out, class ToContour>
void WalkTree(const ClipperLib::PolyNode& node, Out& out, const ToContour& toContour) {
    for (const ClipperLib::PolyNode* child : node.Childs) {
        if (child->IsHole()) {
            WalkTree(*child, out, toContour); // islands inside the hole
            continue;
        }
        out.emplace_back();
        auto& domain = out.back();
        domain.resize(1);
        toContour(child->Contour, domain[0]);
        for (const ClipperLib::PolyNode* hole : child->Childs) {
            domain.emplace_back();
            toContour(hole->Contour, domain.back());
        }
        WalkTree(*child, out, toContour);
    }
}

} // namespace

void convert(const TKrContour& c, ClipperLib::Path& out, const vec2d& scale, const vec2d& offset) {
    AddPath(c, out, scale, offset);
}

void convert(const TKrDomain& d, ClipperLib::Paths& out, const vec2d& scale, const vec2d& offset) {
    out.resize(d.size());
    for (std::size_t i = 0; i < d.size(); ++i)
        AddPath(d[i], out[i], scale, offset);
}

void convert(const TKrPlanarSet& s, ClipperLib::Paths& out, const vec2d& scale, const vec2d& offset) {
    out.clear();
    for (const TKrDomain& d : s)
        for (const TKrContour& c : d) {
            out.emplace_back();
            AddPath(c, out.back(), scale, offset);
        }
}

void convert_rev(const ClipperLib::Path& p, TKrContour& out, const vec2d& scale, const vec2d& offset) {
    out.resize(p.size());
    for (std::size_t i = 0; i < p.size(); ++i)
        out[i] = vec3d(double(p[i].X) * scale.x + offset.x, double(p[i].Y) * scale.y + offset.y, 0.0);
}

void _convert(const ClipperLib::PolyTree& tree, TKrPlanarSet& out, const vec2d& scale, const vec2d& offset) {
    out.clear();
    WalkTree(tree, out, [&](const ClipperLib::Path& p, TKrContour& c) { convert_rev(p, c, scale, offset); });
}

void convert(const kr::TContour2<int>& c, ClipperLib::Paths& out) {
    out.resize(1);
    AddPath(c, out[0]);
}

void convert(const kr::TDomain2<int>& d, ClipperLib::Paths& out) {
    out.resize(d.size());
    for (std::size_t i = 0; i < d.size(); ++i)
        AddPath(d[i], out[i]);
}

void convert(const kr::TPlanarSet2<int>& s, ClipperLib::Paths& out) {
    out.clear();
    for (const kr::TDomain2<int>& d : s)
        for (const kr::TContour2<int>& c : d) {
            out.emplace_back();
            AddPath(c, out.back());
        }
}

void convert_rev(const ClipperLib::Path& p, kr::TContour2<int>& out) {
    out.resize(p.size());
    // Results of integer operands stay within the operands' 32-bit range (crossings lie between
    // vertices), so narrowing is exact.
    for (std::size_t i = 0; i < p.size(); ++i)
        out[i] = kr::TPoint2<int>(int(p[i].X), int(p[i].Y));
}

void _convert(const ClipperLib::PolyTree& tree, kr::TPlanarSet2<int>& out) {
    out.clear();
    WalkTree(tree, out, [](const ClipperLib::Path& p, kr::TContour2<int>& c) { convert_rev(p, c); });
}

} // namespace clipper
