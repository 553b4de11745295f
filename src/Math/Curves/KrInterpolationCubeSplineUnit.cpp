// TKrInterpolationCubeSpline: the spline's lookup table, rescaling, and its binary record.
#include "Math/Curves/KrInterpolationCubeSplineUnit.h"

#include "Streams/KrStream.h"

#include <cmath>
#include <cstring>

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the record is written in machine order");

namespace {

constexpr std::size_t kHeaderSize = 20;
constexpr char kTagCurve[4] = {'I', 'C', 'R', 'V'};
constexpr char kTagRange[4] = {'R', 'A', 'N', 'G'};
constexpr char kTagPoints[4] = {'P', 'N', 'T', 'S'};

// A position truncated toward zero, held within [-1, top + 1]: the table only reads which side
// of 0 and top it lies and the levels it spans inside, so clamping changes no entry, and it keeps
// the conversion defined for huge values. NaN counts as before the table.
long LevelOf(double x, long top) {
    if (!(x > -1)) return -1;
    if (x >= static_cast<double>(top) + 1) return top + 1;
    return static_cast<long>(x); // truncation toward zero
}

// trunc(v + 0.5) clamped to 0..top, computed in double so that no value overflows the int.
int EntryOf(double v, long top) {
    const double w = v + 0.5;
    if (!(w >= 1)) return 0; // also a NaN, which Recalc never produces from usable points
    if (w >= static_cast<double>(top)) return static_cast<int>(top);
    return static_cast<int>(w);
}

bool WriteExactly(TKrStream* s, const void* buf, streamsize_t n) {
    return s->Write(buf, n) == n;
}
bool ReadExactly(TKrStream* s, void* buf, streamsize_t n) {
    return s->Read(buf, n) == n;
}

} // namespace

TKrInterpolationCubeSpline::TKrInterpolationCubeSpline(const std::vector<CUBESPLINE_POINT>& points) {
    SetPoints(points, true);
}

TKrInterpolationCubeSpline::TKrInterpolationCubeSpline(const TKrCubeSpline& spline) : TKrCubeSpline(spline) {
    Recalc();
}

void TKrInterpolationCubeSpline::SetRange(unsigned long n, bool rescale, bool recalc) {
    const unsigned long old = m_range;
    m_range = n;
    if (!rescale) return;
    const double a = n >= 2 ? static_cast<double>(n - 1) : 1.0;
    const double b = old >= 2 ? static_cast<double>(old - 1) : 1.0;
    const double f = a / b;
    for (TKRCUBESPLINEPOINT& p : m_points) {
        p.x *= f;
        p.y *= f;
    }
    if (recalc) Recalc();
}

void TKrInterpolationCubeSpline::GetTransformTable(std::vector<int>& table) const {
    const unsigned long size = m_range;
    table.resize(size);
    if (size == 0) return;
    const long top = static_cast<long>(size - 1);
    const std::size_t n = m_points.size();
    if (n == 0) {
        for (long t = 0; t <= top; ++t)
            table[t] = static_cast<int>(t);
        return;
    }
    const long first = LevelOf(m_points[0].x, top);
    if (first >= 0) {
        const int e = EntryOf(m_points[0].y, top);
        for (long t = 0; t <= std::min(first, top); ++t)
            table[t] = e;
    }
    long prev = first;
    for (std::size_t k = 1; k < n; ++k) {
        const long cur = LevelOf(m_points[k].x, top);
        const TKRCUBESPLINEPOINT& c = m_points[k - 1];
        for (long t = std::max(prev + 1, 0L); t <= std::min(cur, top); ++t) {
            const double x = static_cast<double>(t);
            table[t] = EntryOf(((c.a3 * x + c.a2) * x + c.a1) * x + c.a0, top);
        }
        prev = cur;
    }
    const long last = LevelOf(m_points[n - 1].x, top);
    if (last < top) {
        const int e = EntryOf(m_points[n - 1].y, top);
        for (long t = std::max(last + 1, 0L); t <= top; ++t)
            table[t] = e;
    }
}

bool TKrInterpolationCubeSpline::Save(TKrStream* stream) const {
    unsigned char header[kHeaderSize];
    const std::uint32_t range = static_cast<std::uint32_t>(m_range);
    const std::uint32_t count = static_cast<std::uint32_t>(m_points.size());
    std::memcpy(header, kTagCurve, 4);
    std::memcpy(header + 4, kTagRange, 4);
    std::memcpy(header + 8, &range, 4);
    std::memcpy(header + 12, kTagPoints, 4);
    std::memcpy(header + 16, &count, 4);
    if (!WriteExactly(stream, header, kHeaderSize)) return false;
    for (std::size_t k = 0; k < count; ++k) {
        const std::int32_t type = m_points[k].type;
        const double xy[2] = {m_points[k].x, m_points[k].y};
        if (!WriteExactly(stream, &type, 4) || !WriteExactly(stream, xy, 16)) return false;
    }
    return true;
}

bool TKrInterpolationCubeSpline::Load(TKrStream* stream, bool recalc) {
    unsigned char header[kHeaderSize];
    if (!ReadExactly(stream, header, kHeaderSize)) return false;
    if (std::memcmp(header, kTagCurve, 4) != 0 || std::memcmp(header + 4, kTagRange, 4) != 0 ||
        std::memcmp(header + 12, kTagPoints, 4) != 0)
        return false;
    std::uint32_t range, count;
    std::memcpy(&range, header + 8, 4);
    std::memcpy(&count, header + 16, 4);
    // Grow as points arrive rather than trusting the count: a forged count must not allocate
    // gigabytes before the stream runs dry.
    std::vector<TKRCUBESPLINEPOINT> points;
    for (std::uint32_t k = 0; k < count; ++k) {
        std::int32_t type;
        double xy[2];
        if (!ReadExactly(stream, &type, 4) || !ReadExactly(stream, xy, 16)) return false;
        if (!std::isfinite(xy[0]) || !std::isfinite(xy[1])) return false;
        TKRCUBESPLINEPOINT p;
        p.type = static_cast<CUBESPLINE_POINT_TYPE>(type);
        p.x = xy[0];
        p.y = xy[1];
        points.push_back(p);
    }
    m_range = range;
    m_points.swap(points);
    if (recalc) Recalc();
    return true;
}
