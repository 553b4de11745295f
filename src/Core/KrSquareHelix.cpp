// A visit of every cell of a grid in a square spiral from its centre.
#include "Core/KrSquareHelix.h"

bool square_helix_loop(long width, long height, const std::function<bool(long x, long y)>& action) {
    if (width <= 0 || height <= 0 || !action) return true;
    const unsigned long long w = static_cast<unsigned long long>(width),
                             h = static_cast<unsigned long long>(height);
    const unsigned long long total = w > ~0ULL / h ? ~0ULL : w * h;
    long x = (width - 1) / 2, y = (height - 1) / 2;
    if (!action(x, y)) return false;
    unsigned long long visited = 1;
    static const int dx[4] = {1, 0, -1, 0};
    static const int dy[4] = {0, 1, 0, -1};
    // Legs of lengths 1, 1, 2, 2, 3, 3, ... turning clockwise (y grows downwards). Only the part
    // of a leg inside the grid is visited; the rest is jumped over.
    for (long length = 1; visited < total; ++length) {
        for (int turn = 0; turn < 2 && visited < total; ++turn) {
            const int dir = static_cast<int>((2 * (length - 1) + turn) % 4);
            const long sx = x, sy = y;
            x += dx[dir] * length;
            y += dy[dir] * length;
            // Cells sx + dx*i, sy + dy*i for i = 1..length, clipped to the grid.
            long first = 1, last = length;
            auto clip = [&](long start, int d, long limit) {
                if (d == 0) {
                    if (start < 0 || start >= limit) last = 0;
                    return;
                }
                // start + d*i in [0, limit)
                long lo = d > 0 ? -start : start - (limit - 1);
                long hi = d > 0 ? limit - 1 - start : start;
                if (lo > first) first = lo;
                if (hi < last) last = hi;
            };
            clip(sx, dx[dir], width);
            clip(sy, dy[dir], height);
            for (long i = first; i <= last; ++i) {
                if (!action(sx + dx[dir] * i, sy + dy[dir] * i)) return false;
                ++visited;
            }
        }
    }
    return true;
}
