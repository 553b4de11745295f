// krtool angles: rotation angles (alpha, omega, kappa in radians) to their rotation matrix and back.
#include "KrToolCommand.h"

#include "Core/KrNumberScan.h"
#include "Math/Transforms/KrAnglesAOK.h"

#include <charconv>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

// The whole argument as one number, in the "C" notation whatever the locale.
double Number(const std::string& text) {
    double v = 0;
    const char* first = text.data();
    const char* last = first + text.size();
    const KrNumberScan::TKrDoubleScan r = KrNumberScan::ScanDouble(first, last, v);
    if (r.end == first || r.end != last) throw std::runtime_error("not a number: \"" + text + "\"");
    return v;
}

// The shortest text that reads back as the same double.
std::string Num(double v) {
    char buf[64];
    return std::string(buf, std::to_chars(buf, buf + sizeof buf, v).ptr);
}

int Run(const std::vector<std::string>& args) {
    if (args.size() == 4 && args[0] == "to-matrix") {
        double m[9];
        AlphaOmegaKappaToMatrix(Number(args[1]), Number(args[2]), Number(args[3]), m);
        for (int r = 0; r < 3; ++r)
            std::printf("%s %s %s\n", Num(m[3 * r]).c_str(), Num(m[3 * r + 1]).c_str(),
                        Num(m[3 * r + 2]).c_str());
        return 0;
    }
    if (args.size() == 10 && args[0] == "from-matrix") {
        matr3x3 m;
        for (int i = 0; i < 9; ++i)
            m.data()[i] = Number(args[1 + i]);
        const angles_aok a = MatrixToAnglesE(m);
        std::printf("%s %s %s\n", Num(a.alpha).c_str(), Num(a.omega).c_str(), Num(a.kappa).c_str());
        return 0;
    }
    return KrToolUsage("angles");
}

} // namespace

KRTOOL_COMMAND(angles, "angles", "to-matrix ALPHA OMEGA KAPPA | from-matrix M11 M12 ... M33",
               "rotation angles (radians) to a row-major rotation matrix and back", Run);
