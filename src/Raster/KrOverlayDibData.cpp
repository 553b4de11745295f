// TKrOverlayDibData: mosaic reads, block by block through a scratch buffer or straight through.
#include "Raster/KrOverlayDibData.h"
#include "Core/KrExceptions.h"
#include "Raster/KrRasterInternal.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// Sources are purged once more than this many were read since the last purge.
constexpr std::size_t kPurgeAfter = 20;

double ClampIndex(double v) {
    constexpr double lo = std::numeric_limits<std::int32_t>::min(),
                     hi = std::numeric_limits<std::int32_t>::max();
    return std::isnan(v) ? 0 : std::clamp(v, lo, hi);
}

} // namespace

TKrOverlayDibData::TKrOverlayDibData(const std::vector<var_a<TKrDibData*>>& source_dibdata, bool direct)
    : m_sources(source_dibdata), m_direct(direct), m_blockSize(GetDefaultDibDataMemTileSize()),
      m_bufferCache(m_blockSize) {
    KR_CHECK(!source_dibdata.empty());
    for (std::size_t i = 0; i < source_dibdata.size(); ++i)
        KR_CHECK(source_dibdata[i]);
    const TKrDibChannels& first = source_dibdata[0]->Channels();
    for (std::size_t i = 1; i < source_dibdata.size(); ++i)
        if (source_dibdata[i]->Channels() != first)
            throw TKrMessage("@TKrOverlayDibData::TKrOverlayDibData(): channels mismatch in dibdata[%1%].")
                << static_cast<unsigned long long>(i);
}

var_a<TKrDibData*> TKrOverlayDibData::VCreate(const std::vector<var_a<TKrDibData*>>& sources, bool direct) {
    return new_a<TKrOverlayDibData>(sources, direct);
}

TKrOverlayDibData::~TKrOverlayDibData() = default;

const TKrDibChannels& TKrOverlayDibData::Channels() {
    return m_sources.front()->Channels();
}

TKrDibRect TKrOverlayDibData::GetInterpolationLevel(const TKrDibRect& request,
                                                    const TInterpolationQuality& quality, bool* exact) {
    return m_sources.front()->GetInterpolationLevel(request, quality, exact);
}

void TKrOverlayDibData::PurgeCache() {
    for (std::size_t i = 1; i < m_sources.size(); ++i)
        m_sources[i]->PurgeCache();
}

TKrDibRect TKrOverlayDibData::BoundsEx(const TKrDibRect& level) {
    TKrDibRect r;
    r.origin = level.origin;
    r.pixel_size = level.pixel_size;
    r.count = {0, 0};
    if (!KrIsDibRectValid(level)) return r;
    double lo[2] = {0, 0}, hi[2] = {0, 0};
    bool any = false;
    for (const var_a<TKrDibData*>& s : m_sources) {
        const TKrDibRect e = s->BoundsEx(level);
        if (e.IsEmpty()) continue;
        for (int axis = 0; axis < 2; ++axis) {
            const double first =
                ClampIndex(std::round((e.origin[axis] - level.origin[axis]) / level.pixel_size[axis]));
            const double end = ClampIndex(first + static_cast<double>(e.count[axis]));
            lo[axis] = any ? std::min(lo[axis], first) : first;
            hi[axis] = any ? std::max(hi[axis], end) : end;
        }
        any = true;
    }
    if (!any) return r;
    for (int axis = 0; axis < 2; ++axis) {
        r.origin[axis] = level.origin[axis] + lo[axis] * level.pixel_size[axis];
        r.count[axis] = static_cast<std::uint64_t>(hi[axis] - lo[axis]);
    }
    return r;
}

TKrGetRectResult TKrOverlayDibData::GetRect(const TKrDibDataOutBuffer& out, const TKrDibRect& request,
                                            const TInterpolationQuality& quality, int flags,
                                            TKrProgressHandler* progress) {
    if (request.IsEmpty() || !KrIsDibRectValid(request)) return grComplete;
    const std::size_t bpp = Channels().GetBytesPP();
    KrCheckDibOutBuffer(out, request.count, bpp, "TKrOverlayDibData::GetRect");
    const std::uint64_t edge = std::max<std::size_t>(m_blockSize, 1);
    if (m_direct || (request.count.x <= edge && request.count.y <= edge))
        return ReadBlock(out, request, quality, flags, progress);

    unsigned result = grComplete;
    for (std::uint64_t y = 0; y < request.count.y; y += edge)
        for (std::uint64_t x = 0; x < request.count.x; x += edge) {
            TKrDibRect block;
            block.pixel_size = request.pixel_size;
            block.origin = {request.Sample(0, static_cast<double>(x)),
                            request.Sample(1, static_cast<double>(y))};
            block.count = {std::min(edge, request.count.x - x), std::min(edge, request.count.y - y)};
            const TKrDibDataOutBuffer target =
                out.Offset(static_cast<std::int64_t>(x), static_cast<std::int64_t>(y), bpp);
            result = KrJoinGetRectResult(static_cast<TKrGetRectResult>(result),
                                         ReadBlock(target, block, quality, flags, progress));
        }
    return static_cast<TKrGetRectResult>(result);
}

TKrGetRectResult TKrOverlayDibData::ReadBlock(const TKrDibDataOutBuffer& out, const TKrDibRect& request,
                                              const TInterpolationQuality& quality, int flags,
                                              TKrProgressHandler* progress) {
    const std::size_t bpp = Channels().GetBytesPP();
    TKrDibDataOutBuffer scratch;
    if (!m_direct) {
        m_bufferCache.SetLinerarSizeLimit(std::max<std::size_t>(m_blockSize, 1));
        scratch = m_bufferCache.GetBuffer(request.count, bpp);
        FillDefaultColor(scratch, request.count);
    }
    unsigned result = grComplete;
    std::size_t met = 0;
    for (std::size_t i = 0; i < m_sources.size() && met < m_maxRasters; ++i) {
        TKrDibData* source = m_sources[i].get();
        const TKrDibRect e = source->BoundsEx(request);
        if (e.IsEmpty()) continue;
        std::int64_t first[2], end[2];
        bool meets = true;
        for (int axis = 0; axis < 2 && meets; ++axis) {
            const double offset =
                std::round((e.origin[axis] - request.origin[axis]) / request.pixel_size[axis]);
            meets = KrRasterInternal::OverlapRange(offset, e.count[axis], request.count[axis], first[axis],
                                                   end[axis]);
        }
        if (!meets) continue;

        TKrDibRect part;
        part.pixel_size = request.pixel_size;
        part.origin = {request.Sample(0, static_cast<double>(first[0])),
                       request.Sample(1, static_cast<double>(first[1]))};
        part.count = {static_cast<std::uint64_t>(end[0] - first[0]),
                      static_cast<std::uint64_t>(end[1] - first[1])};
        const TKrDibDataOutBuffer target = (m_direct ? out : scratch).Offset(first[0], first[1], bpp);
        const unsigned read = source->GetRect(target, part, quality, flags, progress);
        m_read.insert(i);
        if (m_read.size() > kPurgeAfter) {
            for (std::size_t r : m_read)
                m_sources[r]->PurgeCache();
            m_read.clear();
        }
        if (!(read & 2u)) result &= ~2u;
        if (read & 1u) {
            result |= 1u;
            if (!m_direct) {
                KrCopyDibRect(target, out.Offset(first[0], first[1], bpp), part.count, bpp);
                if (i + 1 < m_sources.size()) FillDefaultColor(target, part.count);
            }
        }
        ++met;
    }
    return static_cast<TKrGetRectResult>(result);
}
