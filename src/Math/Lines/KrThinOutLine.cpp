// Polyline thinning (coincident vertices, collinear runs, chord corridors) and densifying.
#include "Math/Lines/KrThinOutLine.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <map>
#include <stdexcept>

namespace {

constexpr double kMark = DBL_MAX;

vec2d xy(const vec3d& p) {
    return {p.x, p.y};
}

// Indices of the vertices that survive the coincident-vertex rule; dims is 2 or 3. Vertices
// whose z holds the removal mark never survive. A closed line that loses every vertex keeps 0.
std::vector<std::size_t> KeptAfterCoincided(const std::vector<vec3d>& line, bool closed, double tol,
                                            int dims) {
    const std::size_t n = line.size();
    std::vector<char> drop(n, 0);
    if (n >= 3) {
        auto near = [&](const vec3d& a, const vec3d& b) {
            return std::fabs(a.x - b.x) <= tol && std::fabs(a.y - b.y) <= tol &&
                   (dims == 2 || std::fabs(a.z - b.z) <= tol);
        };
        for (std::size_t k = 0; k < n; ++k)
            drop[k] = line[k].z == kMark;
        std::size_t ref = 0;
        for (std::size_t k = 1; k < n; ++k) {
            if (drop[k]) continue;
            if (!near(line[k], line[ref])) {
                ref = k;
            } else if (!closed && k == n - 1) {
                // The end of an open line stays; the vertex before it gives way instead.
                drop[n - 2] = 1;
            } else {
                drop[k] = 1;
            }
        }
        if (closed && !drop[0] && near(line[0], line[ref])) drop[0] = 1;
    }
    std::vector<std::size_t> idx;
    idx.reserve(n);
    for (std::size_t k = 0; k < n; ++k)
        if (!drop[k]) idx.push_back(k);
    if (idx.empty() && n > 0) idx.push_back(0);
    return idx;
}

// The corridor pass over `idx` (indices into pts); `within(a, j, k)` says whether vertex k lies
// inside the corridor of the chord a→j. Vertex 0 and, on an open line, the last vertex stay.
template <class Within> void CorridorPass(std::vector<std::size_t>& idx, bool closed, Within within) {
    const std::size_t n = idx.size();
    if (n < 3) return;
    const std::size_t m = closed ? n + 1 : n;
    std::vector<char> drop(n, 0);
    std::size_t a = 0, j = 2;
    while (j < m) {
        bool accepted = true;
        for (std::size_t k = a + 1; k < j && accepted; ++k)
            accepted = within(idx[a], idx[j % n], idx[k]);
        if (accepted && j < m - 1) {
            ++j;
            continue;
        }
        for (std::size_t k = a + 1; k + 1 < j; ++k)
            drop[k] = 1;
        a = j - 1;
        ++j;
    }
    std::size_t w = 0;
    for (std::size_t k = 0; k < n; ++k)
        if (!drop[k]) idx[w++] = idx[k];
    idx.resize(w);
}

std::vector<std::size_t> Iota(std::size_t n) {
    std::vector<std::size_t> idx(n);
    for (std::size_t i = 0; i < n; ++i)
        idx[i] = i;
    return idx;
}

void Gather(std::vector<vec3d>& line, const std::vector<std::size_t>& idx) {
    std::vector<vec3d> out;
    out.reserve(idx.size());
    for (std::size_t i : idx)
        out.push_back(line[i]);
    line.swap(out);
}

void RemoveCoincided(std::vector<vec3d>& line, bool closed, double tol, int dims) {
    if (line.size() >= 3) Gather(line, KeptAfterCoincided(line, closed, tol, dims));
}

bool BadTol(double t) {
    return !(t >= 0);
}

} // namespace

bool RemoveLineCoincidedVertices(std::vector<vec3d>& line, unsigned closed, double tol) {
    RemoveCoincided(line, closed != 0, tol, 2);
    return true;
}

bool RemoveLineCoincidedVertices3d(std::vector<vec3d>& line, unsigned closed, double tol) {
    RemoveCoincided(line, closed != 0, tol, 3);
    return true;
}

std::size_t RemoveArrayCoincidedVertices(std::vector<vec3d>& points, double tol) {
    // Kept points by x; a new point looks only at those within tol of its x.
    std::multimap<double, vec2d> kept;
    std::size_t w = 0;
    for (std::size_t i = 0; i < points.size(); ++i) {
        const vec3d p = points[i];
        bool dup = p.z == kMark;
        for (auto it = kept.lower_bound(p.x - tol); !dup && it != kept.end() && it->first <= p.x + tol; ++it)
            dup = std::fabs(it->second.y - p.y) <= tol;
        if (dup) continue;
        if (!std::isnan(p.x)) kept.emplace(p.x, xy(p)); // a NaN key would break the map's order
        points[w++] = p;
    }
    const std::size_t removed = points.size() - w;
    points.resize(w);
    return removed;
}

bool ThinOutLine(std::vector<vec3d>& line, unsigned closed, double tol) {
    if (BadTol(tol)) return false;
    RemoveCoincided(line, closed != 0, tol, 2);
    std::size_t n = line.size();
    if (n < 3) return true;
    const double tol2 = tol * tol;

    // Collinear pass: a vertex goes when the next one stays on the anchor's direction.
    {
        const std::size_t m = closed ? n + 1 : n;
        std::vector<char> drop(n, 0);
        std::size_t anchor = 0;
        vec2d d = xy(line[1]) - xy(line[0]);
        for (std::size_t j = 2; j < m; ++j) {
            const vec2d pj = xy(line[j % n]);
            const double c = cross(pj - xy(line[anchor]), d);
            if (c * c <= tol2 * norm2(d)) {
                drop[j - 1] = 1;
            } else {
                anchor = j - 1;
                d = pj - xy(line[j - 1]);
            }
        }
        std::size_t w = 0;
        for (std::size_t k = 0; k < n; ++k)
            if (!drop[k]) line[w++] = line[k];
        line.resize(w);
        n = w;
        if (n < 3) return true;
    }

    std::vector<std::size_t> idx = Iota(n);
    CorridorPass(idx, closed != 0, [&](std::size_t a, std::size_t j, std::size_t k) {
        const vec2d chord = xy(line[j]) - xy(line[a]);
        const double c = cross(chord, xy(line[k]) - xy(line[a]));
        return c * c <= tol2 * norm2(chord);
    });
    Gather(line, idx);
    return true;
}

bool ThinOutLineE(std::vector<vec3d>& line, unsigned closed, double tolLeft, double tolRight) {
    if (BadTol(tolLeft) || BadTol(tolRight)) return false;
    RemoveCoincided(line, closed != 0, std::max(1e-6, std::min(tolLeft, tolRight)), 2);
    if (line.size() < 3) return true;
    const double left2 = tolLeft * tolLeft, right2 = tolRight * tolRight;
    std::vector<std::size_t> idx = Iota(line.size());
    CorridorPass(idx, closed != 0, [&](std::size_t a, std::size_t j, std::size_t k) {
        const vec2d chord = xy(line[j]) - xy(line[a]);
        const double c = cross(chord, xy(line[k]) - xy(line[a]));
        return c * c <= (c >= 0 ? left2 : right2) * norm2(chord);
    });
    Gather(line, idx);
    return true;
}

bool ThinOutLine3d(const std::vector<vec3d>& line, unsigned closed, double tol,
                   std::vector<std::size_t>* keptIndices, std::vector<vec3d>* out) {
    if (BadTol(tol)) return false;
    std::vector<std::size_t> idx = KeptAfterCoincided(line, closed != 0, tol, 3);
    const double tol2 = tol * tol;
    CorridorPass(idx, closed != 0, [&](std::size_t a, std::size_t j, std::size_t k) {
        const vec3d chord = line[j] - line[a];
        return norm2(cross(chord, line[k] - line[a])) <= tol2 * norm2(chord);
    });
    if (out) {
        out->clear();
        for (std::size_t i : idx)
            out->push_back(line[i]);
    }
    if (keptIndices) *keptIndices = std::move(idx);
    return true;
}

void ThickenLine(std::vector<vec3d>& line, bool closed, double step) {
    if (!(step > 0) || !std::isfinite(step))
        throw std::invalid_argument("ThickenLine: the step must be a positive finite number");
    const std::size_t n = line.size();
    if (n < 2) return;
    const std::size_t pieces = closed ? n : n - 1;
    std::vector<std::size_t> parts(pieces);
    double total = closed ? 0 : 1;
    for (std::size_t i = 0; i < pieces; ++i) {
        const vec2d d = xy(line[(i + 1) % n]) - xy(line[i]);
        const double k = std::max(1.0, std::ceil(norm(d) / step));
        total += k;
        if (!(total <= double(1u << 30)))
            throw std::length_error("ThickenLine: the densified line would exceed 2^30 vertices");
        parts[i] = static_cast<std::size_t>(k);
    }
    std::vector<vec3d> out;
    out.reserve(static_cast<std::size_t>(total));
    for (std::size_t i = 0; i < pieces; ++i) {
        const vec3d p = line[i], d = line[(i + 1) % n] - line[i];
        const std::size_t k = parts[i];
        out.push_back(p);
        for (std::size_t t = 1; t < k; ++t)
            out.push_back(p + d * (double(t) / double(k)));
    }
    if (!closed) out.push_back(line[n - 1]);
    line.swap(out);
}
