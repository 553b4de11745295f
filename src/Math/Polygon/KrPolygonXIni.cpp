// XIni persistence of contours, domains and planar sets.
#include "Math/Polygon/KrPolygonXIni.h"

#include "Core/KrMessage.h"
#include "XIni/KrXIniReader.h"
#include "XIni/KrXIniWriter.h"

#include <cmath>
#include <string>

namespace {

const std::string kPoint = "P";
const std::string kContour = "Contour";
const std::string kDomain = "Domain";

// Enters the section at index, calls load for every item named `name`, and leaves it again
// (also when load throws, so the reader stays usable).
template <class Fn>
void ForEachNamed(TKrXIniReader* reader, std::size_t index, const std::string& name, Fn&& load) {
    const std::size_t level = reader->EnterSectionE(index);
    try {
        const std::size_t n = reader->CountE();
        for (std::size_t i = 0; i < n; ++i)
            if (reader->ItemNameE(i) == name) load(i);
    } catch (...) {
        reader->ExitSection(level);
        throw;
    }
    reader->ExitSectionE(level);
}

template <class T>
void SaveSections(TKrXIniWriter* writer, const std::string& name, const std::vector<T>& items) {
    for (const T& item : items) {
        const std::size_t level = writer->BeginSectionSE(name);
        XIniSaveE(writer, item);
        writer->EndSectionE(level);
    }
}

} // namespace

void XIniSaveE(TKrXIniWriter* writer, const TKrContour& contour) {
    for (const vec3d& p : contour)
        writer->WriteDouble3SE(kPoint, p.x, p.y, p.z);
}

void XIniLoadE(TKrXIniReader* reader, std::size_t index, TKrContour& contour) {
    TKrContour c;
    ForEachNamed(reader, index, kPoint, [&](std::size_t i) {
        vec3d p;
        reader->ReadDouble3E(i, &p.x, &p.y, &p.z);
        if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z))
            throw TKrMessage("@%1%: vertex %2% is not finite")
                << "XIniLoadE(TKrXIniReader*, size_t, TKrContour&)" << static_cast<unsigned long>(c.size());
        c.push_back(p);
    });
    contour.swap(c);
}

void XIniSaveE(TKrXIniWriter* writer, const TKrDomain& domain) {
    SaveSections(writer, kContour, domain);
}

void XIniLoadE(TKrXIniReader* reader, std::size_t index, TKrDomain& domain) {
    TKrDomain d;
    ForEachNamed(reader, index, kContour, [&](std::size_t i) {
        d.emplace_back();
        XIniLoadE(reader, i, d.back());
    });
    domain.swap(d);
}

void XIniSaveE(TKrXIniWriter* writer, const TKrPlanarSet& set) {
    SaveSections(writer, kDomain, set);
}

void XIniLoadE(TKrXIniReader* reader, std::size_t index, TKrPlanarSet& set) {
    TKrPlanarSet s;
    ForEachNamed(reader, index, kDomain, [&](std::size_t i) {
        s.emplace_back();
        XIniLoadE(reader, i, s.back());
    });
    set.swap(s);
}
