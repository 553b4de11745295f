// Fuzzes path text handling: construction, name parts, simplify and the relative forms.
#include "System/KrPath.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {
void Require(bool condition) {
    if (!condition) std::abort();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The text up to the first newline is the path, the rest the base.
    std::string input(reinterpret_cast<const char*>(data), size);
    std::size_t nl = input.find('\n');
    const TKrPath p(input.substr(0, nl));
    const TKrPath base(nl == std::string::npos ? std::string() : input.substr(nl + 1));

    // Normalisation and simplification are idempotent.
    Require(TKrPath(p.str()).str() == p.str());
    const TKrPath s = p.simplify();
    Require(s.simplify().str() == s.str());
    Require(s.isAbsolute() == p.isAbsolute() || p.str().empty());

    (void)p.split();
    (void)p.stripAbs();
    (void)p.remSlash();
    (void)p.path(true);
    Require(p.removeFullExt().str().size() + p.fullExt().size() == p.str().size());
    Require(p.removeMainExt().str().size() + p.mainExt().size() == p.str().size());
    (void)p.normalise();
    (void)(p == base);
    (void)pathcmp(p, base);

    // makeRelative only throws on an internal inconsistency, which would be a bug.
    const TKrPath rel = p.makeRelative(base);
    (void)p.commonPath(base);
    (void)p.makeAbsolute(base);
    if (p.isAbsolute() && base.isAbsolute() && rel.isRelative()) {
        bool baseClimbs = false;
        for (const std::string& c : base.simplify_ex())
            baseClimbs |= c == "..";
        if (!baseClimbs) Require((base / rel).simplify() == s);
    }
    return 0;
}
