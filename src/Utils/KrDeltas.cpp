// Residual statistics: accumulation, RMS / mean / maximum, merging, and the XIni sub-sections "rms", "mm",
// "max", "count".
#include "Utils/KrDeltas.h"

#include "XIni/KrXIniReader.h"
#include "XIni/KrXIniWriter.h"

#include <algorithm>
#include <cmath>

namespace {

// The records' columns are used as arrays: xyr_t_ and xyzp_t_ hold N values of one type in order.

void Add(double& sumSq, double& sumAbs, double& max, int& count, double d) noexcept {
    const double a = std::fabs(d);
    sumSq += d * d;
    sumAbs += a;
    if (a > max) max = a;
    ++count;
}

template <std::size_t N, class Rec> void Calculate(Rec& r) noexcept {
    double* rms = &r.rms.x;
    double* mm = &r.mm.x;
    const int* count = &r.count.x;
    for (std::size_t i = 0; i < N; ++i) {
        const double f = count[i] >= 1 ? 1.0 / count[i] : 1.0;
        rms[i] = std::sqrt(rms[i] * f);
        mm[i] *= f;
    }
}

template <std::size_t N, class Rec> void Merge(Rec& r, const Rec& o) noexcept {
    double* rms = &r.rms.x;
    double* mm = &r.mm.x;
    double* max = &r.max.x;
    int* count = &r.count.x;
    const double* orms = &o.rms.x;
    const double* omm = &o.mm.x;
    const double* omax = &o.max.x;
    const int* ocount = &o.count.x;
    for (std::size_t i = 0; i < N; ++i) {
        const double a = count[i], b = ocount[i];
        const double w = std::max(a + b, 1.0);
        rms[i] = std::sqrt((a * rms[i] * rms[i] + b * orms[i] * orms[i]) / w);
        mm[i] = (a * mm[i] + b * omm[i]) / w;
        max[i] = std::max(max[i], omax[i]);
        count[i] += ocount[i];
    }
}

const char* const kSections[] = {"rms", "mm", "max", "count"};

// Values of one sub-section: N doubles, or N ints for "count".
template <std::size_t N, class Rec>
void SaveRecord(TKrXIniWriter* w, const Rec& r, const char* const* items) {
    const double* doubles[3] = {&r.rms.x, &r.mm.x, &r.max.x};
    for (int s = 0; s < 4; ++s) {
        w->BeginSectionSE(kSections[s]);
        for (std::size_t i = 0; i < N; ++i) {
            if (s < 3)
                w->WriteSE(items[i], doubles[s][i]);
            else
                w->WriteSE(items[i], (&r.count.x)[i]);
        }
        w->EndSectionE();
    }
}

template <std::size_t N, class Rec>
void LoadRecord(TKrXIniReader* rd, Rec& r, const char* const* items, bool strict) {
    r.reset();
    double* doubles[3] = {&r.rms.x, &r.mm.x, &r.max.x};
    for (int s = 0; s < 4; ++s) {
        const std::size_t level = strict ? rd->EnterSectionSE(kSections[s]) : rd->EnterSectionS(kSections[s]);
        if (level == 0) continue;
        for (std::size_t i = 0; i < N; ++i) {
            const std::size_t index = strict ? rd->FindFE(items[i], 0) : rd->FindF(items[i], 0);
            if (index == TKrXIniReader::npos) continue;
            if (s < 3)
                doubles[s][i] = strict ? rd->ReadE<double>(index) : rd->Read<double>(index, 0.0);
            else
                (&r.count.x)[i] = strict ? rd->ReadE<int>(index) : rd->Read<int>(index, 0);
        }
        if (strict)
            rd->ExitSectionE(level);
        else
            rd->ExitSection(level);
    }
}

template <class Rec> void LoadAt(TKrXIniReader* rd, Rec& r, std::size_t level, bool strict) {
    if (level == 0) {
        r.reset();
        return;
    }
    if (strict) {
        r.LoadE(rd);
        rd->ExitSectionE(level);
    } else {
        r.Load(rd);
        rd->ExitSection(level);
    }
}

const char* const kXYR[] = {"x", "y", "r"};
const char* const kXYZP[] = {"x", "y", "z", "p"};

} // namespace

// --- TKrDeltas ---------------------------------------------------------------------------------

void TKrDeltas::add_delta(double d) noexcept {
    const double a = std::fabs(d);
    rms += d * d;
    mm += a;
    if (a > max) max = a;
    ++count;
}

void TKrDeltas::calculate() noexcept {
    const double f = count >= 1 ? 1.0 / static_cast<double>(count) : 1.0;
    rms = std::sqrt(rms * f);
    mm *= f;
}

void TKrDeltas::merge(const TKrDeltas& o) noexcept {
    const double a = static_cast<double>(count), b = static_cast<double>(o.count);
    const double w = count + o.count != 0 ? a + b : 1.0;
    rms = std::sqrt((a * rms * rms + b * o.rms * o.rms) / w);
    mm = (a * mm + b * o.mm) / w;
    max = std::max(max, o.max);
    count += o.count;
}

// --- TKrDeltasXYR ------------------------------------------------------------------------------

void TKrDeltasXYR::add_delta(const vec2d& v, int mask) noexcept {
    const bool hx = mask & 1, hy = mask & 2;
    if (hx) Add(rms.x, mm.x, max.x, count.x, v.x);
    if (hy) Add(rms.y, mm.y, max.y, count.y, v.y);
    if (hx || hy) Add(rms.r, mm.r, max.r, count.r, std::hypot(hx ? v.x : 0.0, hy ? v.y : 0.0));
}

void TKrDeltasXYR::calculate() noexcept {
    Calculate<3>(*this);
}

void TKrDeltasXYR::merge(const TKrDeltasXYR& other) noexcept {
    Merge<3>(*this, other);
}

void TKrDeltasXYR::Load(TKrXIniReader* reader) {
    LoadRecord<3>(reader, *this, kXYR, false);
}
void TKrDeltasXYR::LoadE(TKrXIniReader* reader) {
    LoadRecord<3>(reader, *this, kXYR, true);
}
void TKrDeltasXYR::SaveE(TKrXIniWriter* writer) const {
    SaveRecord<3>(writer, *this, kXYR);
}
void TKrDeltasXYR::Load(TKrXIniReader* reader, std::size_t index) {
    LoadAt(reader, *this, reader->EnterSection(index), false);
}
void TKrDeltasXYR::LoadE(TKrXIniReader* reader, std::size_t index) {
    LoadAt(reader, *this, reader->EnterSectionE(index), true);
}
void TKrDeltasXYR::LoadS(TKrXIniReader* reader, const std::string& name) {
    LoadAt(reader, *this, reader->EnterSectionS(name), false);
}
void TKrDeltasXYR::LoadSE(TKrXIniReader* reader, const std::string& name) {
    LoadAt(reader, *this, reader->EnterSectionSE(name), true);
}
void TKrDeltasXYR::SaveSE(TKrXIniWriter* writer, const std::string& name) const {
    writer->BeginSectionSE(name);
    SaveE(writer);
    writer->EndSectionE();
}

// --- TKrDeltasXYZP -----------------------------------------------------------------------------

void TKrDeltasXYZP::add_delta(const vec3d& v, int mask) noexcept {
    const bool hx = mask & 1, hy = mask & 2, hz = mask & 4;
    if (hx) Add(rms.x, mm.x, max.x, count.x, v.x);
    if (hy) Add(rms.y, mm.y, max.y, count.y, v.y);
    if (hz) Add(rms.z, mm.z, max.z, count.z, v.z);
    if (hx || hy) Add(rms.p, mm.p, max.p, count.p, std::hypot(hx ? v.x : 0.0, hy ? v.y : 0.0));
}

void TKrDeltasXYZP::calculate() noexcept {
    Calculate<4>(*this);
}

void TKrDeltasXYZP::merge(const TKrDeltasXYZP& other) noexcept {
    Merge<4>(*this, other);
}

void TKrDeltasXYZP::Load(TKrXIniReader* reader) {
    LoadRecord<4>(reader, *this, kXYZP, false);
}
void TKrDeltasXYZP::LoadE(TKrXIniReader* reader) {
    LoadRecord<4>(reader, *this, kXYZP, true);
}
void TKrDeltasXYZP::SaveE(TKrXIniWriter* writer) const {
    SaveRecord<4>(writer, *this, kXYZP);
}
void TKrDeltasXYZP::Load(TKrXIniReader* reader, std::size_t index) {
    LoadAt(reader, *this, reader->EnterSection(index), false);
}
void TKrDeltasXYZP::LoadE(TKrXIniReader* reader, std::size_t index) {
    LoadAt(reader, *this, reader->EnterSectionE(index), true);
}
void TKrDeltasXYZP::LoadS(TKrXIniReader* reader, const std::string& name) {
    LoadAt(reader, *this, reader->EnterSectionS(name), false);
}
void TKrDeltasXYZP::LoadSE(TKrXIniReader* reader, const std::string& name) {
    LoadAt(reader, *this, reader->EnterSectionSE(name), true);
}
void TKrDeltasXYZP::SaveSE(TKrXIniWriter* writer, const std::string& name) const {
    writer->BeginSectionSE(name);
    SaveE(writer);
    writer->EndSectionE();
}

void XIniSaveE(TKrXIniWriter* writer, const TKrDeltasXYR& value) {
    value.SaveE(writer);
}
void XIniLoadE(TKrXIniReader* reader, std::size_t index, TKrDeltasXYR& value) {
    value.LoadE(reader, index);
}
void XIniSaveE(TKrXIniWriter* writer, const TKrDeltasXYZP& value) {
    value.SaveE(writer);
}
void XIniLoadE(TKrXIniReader* reader, std::size_t index, TKrDeltasXYZP& value) {
    value.LoadE(reader, index);
}
