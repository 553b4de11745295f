// angles_aok: angles to matrix and back with the near-vertical branches, normalisation, the settings section.
#include "Math/Transforms/KrAnglesAOK.h"

#include "Core/KrConstants.h"
#include "Core/KrMessage.h"
#include "XIni/KrXIniReader.h"
#include "XIni/KrXIniWriter.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kTwoPi = 2 * kPi;

bool NearlyEqual(double a, double b) noexcept {
    if (a == b) return true;
    const double scale = std::max({1.0, std::fabs(a), std::fabs(b)});
    return std::fabs(a - b) <= 1e-12 * scale;
}

double NormalizeFast(double angle) noexcept {
    double r = std::fmod(angle, kTwoPi);
    if (r >= kPi) r -= kTwoPi;
    return r;
}

// Reads the three items of the current section; missing (or mistyped) ones take the defaults.
void ReadItems(TKrXIniReader* reader, angles_aok& a, const angles_aok& defaults) {
    a.alpha = reader->Read<double>(reader->FindF(kr::s_alpha, 0), defaults.alpha);
    a.omega = reader->Read<double>(reader->FindF(kr::s_omega, 0), defaults.omega);
    a.kappa = reader->Read<double>(reader->FindF(kr::s_kappa, 0), defaults.kappa);
}

bool WriteItems(TKrXIniWriter* writer, const angles_aok& a) {
    return writer->WriteS(kr::s_alpha, a.alpha) && writer->WriteS(kr::s_omega, a.omega) &&
           writer->WriteS(kr::s_kappa, a.kappa);
}

} // namespace

void angles_aok::normalize_fast() noexcept {
    alpha = NormalizeFast(alpha);
    omega = NormalizeFast(omega);
    kappa = NormalizeFast(kappa);
}

bool EQ_d(const angles_aok& a, const angles_aok& b) noexcept {
    return NearlyEqual(a.alpha, b.alpha) && NearlyEqual(a.omega, b.omega) && NearlyEqual(a.kappa, b.kappa);
}

// --- Matrix ---------------------------------------------------------------------------------------

void AlphaOmegaKappaToMatrix(double alpha, double omega, double kappa, double* m) noexcept {
    const double sa = std::sin(alpha), ca = std::cos(alpha);
    const double sw = std::sin(omega), cw = std::cos(omega);
    const double sk = std::sin(kappa), ck = std::cos(kappa);
    m[0] = ca * ck - sa * sw * sk;
    m[1] = -ca * sk - sa * sw * ck;
    m[2] = -sa * cw;
    m[3] = cw * sk;
    m[4] = cw * ck;
    m[5] = -sw;
    m[6] = sa * ck + ca * sw * sk;
    m[7] = ca * sw * ck - sa * sk;
    m[8] = ca * cw;
}

void AnglesToMatrix(const angles_aok& a, double* m) noexcept {
    AlphaOmegaKappaToMatrix(a.alpha, a.omega, a.kappa, m);
}

void AnglesToMatrix(const angles_aok& a, matr3x3& m) noexcept {
    AlphaOmegaKappaToMatrix(a.alpha, a.omega, a.kappa, m.data());
}

matr3x3 AnglesToMatrix(const angles_aok& a) noexcept {
    matr3x3 m;
    AnglesToMatrix(a, m);
    return m;
}

void MatrixToAlphaOmegaKappa(const double* m, double& alpha, double& omega, double& kappa) noexcept {
    const double m11 = m[0], m12 = m[1], m13 = m[2];
    const double m21 = m[3], m22 = m[4], m23 = m[5];
    const double m31 = m[6], m32 = m[7], m33 = m[8];
    omega = std::atan2(-m23, std::sqrt(m33 * m33 + m13 * m13));
    // sin omega from the normalised third column decides which pair of elements is well
    // conditioned for kappa: near omega = ±π/2 the second row degenerates to (0, 0, ∓1).
    const double s = -m23 / std::sqrt(m33 * m33 + m13 * m13 + m23 * m23);
    alpha = (m33 == 0 && m13 == 0) ? 0.0 : std::atan2(-m13, m33);
    if (s > 0.7 || s < -0.7) {
        kappa = s > 0.7 ? std::atan2(m31 - m12, m11 + m32) - alpha : alpha - std::atan2(m31 + m12, m11 - m32);
        if (kappa > kPi)
            kappa -= kTwoPi;
        else if (kappa <= -kPi)
            kappa += kTwoPi;
    } else {
        kappa = std::atan2(m21, m22);
    }
}

void MatrixToAngles(const double* m, angles_aok& a) noexcept {
    a = angles_aok();
    MatrixToAlphaOmegaKappa(m, a.alpha, a.omega, a.kappa);
}

void MatrixToAngles(const matr3x3& m, angles_aok& a) noexcept {
    MatrixToAngles(m.data(), a);
}

angles_aok MatrixToAngles(const matr3x3& m) noexcept {
    angles_aok a;
    MatrixToAlphaOmegaKappa(m.data(), a.alpha, a.omega, a.kappa);
    return a;
}

angles_aok MatrixToAnglesE(const matr3x3& m) {
    bool ok = true;
    for (int i = 0; i < 9; ++i)
        ok = ok && std::isfinite(m.data()[i]);
    const matr3x3 g = m.Transposed() * m;
    const matr3x3 unit = matr3x3::Unit();
    for (int i = 0; ok && i < 9; ++i)
        ok = std::fabs(g.data()[i] - unit.data()[i]) <= 1e-6;
    if (!ok || !(m.Determinant() > 0)) throw TKrMessage("@MatrixToAnglesE: not a rotation matrix");
    return MatrixToAngles(m);
}

// --- Settings ---------------------------------------------------------------------------------------

bool angles_aok::Load(TKrXIniReader* reader, std::size_t index) {
    return Load(reader, index, angles_aok());
}

bool angles_aok::Load(TKrXIniReader* reader, std::size_t index, const angles_aok& defaults) {
    const std::size_t level = reader->EnterSection(index);
    if (level == 0) return false;
    ReadItems(reader, *this, defaults);
    reader->ExitSection(level);
    return true;
}

void angles_aok::LoadE(TKrXIniReader* reader, std::size_t index) {
    const std::size_t level = reader->EnterSectionE(index);
    angles_aok a;
    try {
        a.alpha = reader->ReadE<double>(reader->FindFE(kr::s_alpha, 0));
        a.omega = reader->ReadE<double>(reader->FindFE(kr::s_omega, 0));
        a.kappa = reader->ReadE<double>(reader->FindFE(kr::s_kappa, 0));
    } catch (...) {
        reader->ExitSection(level); // leave the reader where the caller had it
        throw;
    }
    reader->ExitSectionE(level);
    *this = a;
}

bool angles_aok::LoadS(TKrXIniReader* reader, const std::string& name) {
    const std::size_t index = reader->FindF(name, 0);
    return index != TKrXIniReader::npos && Load(reader, index);
}

void angles_aok::LoadSE(TKrXIniReader* reader, const std::string& name) {
    LoadE(reader, reader->FindFE(name, 0));
}

bool angles_aok::SaveS(TKrXIniWriter* writer, const std::string& name) const {
    if (writer->BeginSectionS(name) == 0) return false;
    const bool written = WriteItems(writer, *this);
    return writer->EndSection() && written;
}

void angles_aok::SaveSE(TKrXIniWriter* writer, const std::string& name) const {
    writer->BeginSectionSE(name);
    XIniSaveE(writer, *this);
    writer->EndSectionE();
}

void XIniSaveE(TKrXIniWriter* writer, const angles_aok& a) {
    writer->WriteSE(kr::s_alpha, a.alpha);
    writer->WriteSE(kr::s_omega, a.omega);
    writer->WriteSE(kr::s_kappa, a.kappa);
}

void XIniLoadE(TKrXIniReader* reader, std::size_t index, angles_aok& a) {
    a.LoadE(reader, index);
}
