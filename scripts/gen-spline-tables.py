#!/usr/bin/python3
"""Writes reference values of natural cubic splines for the curve tests.

Each case is a list of control points (type, x, y); the points split into runs at every interior
point whose type is not 1, and each run is interpolated by SciPy's CubicSpline with natural end
conditions. The table lists, per case ("case" name), the points ("p" type x y) and then sample
positions with the segment they fall in and SciPy's value there ("v" segment x y). The output is committed so that the tests run without SciPy.

Usage: scripts/gen-spline-tables.py [output file]  (Debian's python3-scipy, hence /usr/bin/python3)
       scripts/gen-spline-tables.py --check FILE  (exit 0 when FILE holds what SciPy gives now, to
       1e-12 relative; 77 when SciPy is missing, which the test run counts as skipped)
"""
import sys

if len(sys.argv) == 3 and sys.argv[1] == "--check":
    try:
        import scipy  # noqa: F401
    except ImportError:
        sys.exit(77)

import numpy as np
from scipy.interpolate import CubicSpline

SMOOTH = 1


def runs(types):
    """(first, last) index pairs of the runs; the ending point of one run starts the next."""
    n = len(types)
    s = 0
    while s + 1 < n:
        e = s + 1
        while e + 1 < n and types[e] == SMOOTH:
            e += 1
        yield s, e
        s = e


def samples(rng, x0, x1):
    """Both ends, the middle and two random positions of a segment."""
    inner = sorted(rng.uniform(x0, x1, 2))
    return [x0, x0 + (x1 - x0) / 2, *inner, x1]


def case(out, rng, name, types, xs, ys):
    xs = [float(v) for v in xs]
    ys = [float(v) for v in ys]
    out.append(f"case {name}")
    out.extend(f"p {t} {x!r} {y!r}" for t, x, y in zip(types, xs, ys))
    for s, e in runs(types):
        spline = CubicSpline(xs[s:e + 1], ys[s:e + 1], bc_type="natural")
        for k in range(s, e):
            for x in samples(rng, xs[k], xs[k + 1]):
                out.append(f"v {k} {x!r} {float(spline(x))!r}")


def random_xs(rng, n, lo=0.0, hi=255.0):
    while True:
        xs = np.sort(rng.uniform(lo, hi, n))
        if np.all(np.diff(xs) > 1e-3 * (hi - lo) / n):
            return xs


def same_table(a, b):
    """Line by line the same words, numbers equal to 1e-12 relative."""
    if len(a) != len(b):
        return False
    for la, lb in zip(a, b):
        wa, wb = la.split(), lb.split()
        if len(wa) != len(wb):
            return False
        for x, y in zip(wa, wb):
            if x == y:
                continue
            try:
                fx, fy = float(x), float(y)
            except ValueError:
                return False
            if abs(fx - fy) > 1e-12 * max(1.0, abs(fx), abs(fy)):
                return False
    return True


def main():
    check = len(sys.argv) == 3 and sys.argv[1] == "--check"
    path = sys.argv[2] if check else sys.argv[1] if len(sys.argv) > 1 else "tests/Math/Curves/data/natural_splines.txt"
    rng = np.random.default_rng(20261206)
    out = ["# Natural cubic spline reference values from SciPy's CubicSpline(bc_type=\"natural\").",
           "# Written by scripts/gen-spline-tables.py; regenerate rather than edit."]
    for i in range(12):
        n = int(rng.integers(4, 40))
        case(out, rng, f"random{i}", [SMOOTH] * n, random_xs(rng, n), rng.uniform(0, 255, n))
    case(out, rng, "two", [SMOOTH, SMOOTH], [10, 200], [30, 240])
    case(out, rng, "three", [SMOOTH] * 3, [0, 100, 255], [0, 180, 255])
    case(out, rng, "three_uneven", [SMOOTH] * 3, [3.5, 4.25, 250], [200, 10, 90])
    # Break points of several values (every value but 1 breaks), with runs of two and three.
    case(out, rng, "breaks", [SMOOTH, SMOOTH, 2, SMOOTH, 0, 2, SMOOTH, SMOOTH, -7, SMOOTH, SMOOTH],
         [0, 20, 45, 70, 90, 120, 150, 170, 200, 230, 255],
         [0, 60, 40, 90, 200, 30, 100, 110, 250, 5, 255])
    case(out, rng, "all_breaks", [2] * 6, [0, 50, 100, 150, 200, 255], [0, 100, 30, 220, 10, 255])
    n = 25
    case(out, rng, "random_breaks", [int(v) for v in rng.choice([1, 1, 1, 2, 3], n)],
         random_xs(rng, n), rng.uniform(0, 255, n))
    # Steep: huge jumps over short steps; flat: constant and nearly constant data.
    case(out, rng, "steep", [SMOOTH] * 6, [0, 1, 1.001, 1.002, 2, 255], [0, 0, 1e6, -1e6, 0, 0])
    case(out, rng, "flat", [SMOOTH] * 5, [0, 60, 130, 200, 255], [77] * 5)
    case(out, rng, "nearly_flat", [SMOOTH] * 7, random_xs(rng, 7), 128 + rng.uniform(-1e-9, 1e-9, 7))
    case(out, rng, "wide_range", [SMOOTH] * 10, random_xs(rng, 10, 0, 65535), rng.uniform(0, 65535, 10))
    if check:
        with open(path, encoding="ascii") as f:
            committed = f.read().splitlines()
        if not same_table(committed, out):
            sys.exit(f"{path} differs from what SciPy gives now; regenerate it with {sys.argv[0]}")
        return
    with open(path, "w", encoding="ascii", newline="\n") as f:
        f.write("\n".join(out) + "\n")


if __name__ == "__main__":
    main()
