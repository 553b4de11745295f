// A visit of every cell of a grid in a square spiral from its centre.
#pragma once

#include "Core/KrExport.h"

#include <functional>

/// Calls `action(x, y)` once for every cell of a `width` x `height` grid (x to the right, y
/// downwards), starting at the centre cell ((width - 1) / 2, (height - 1) / 2) and going round
/// it in a square spiral: right 1, down 1, left 2, up 2, right 3, ... Cells of the spiral outside
/// the grid are skipped without being walked, so the cost is one call per cell plus
/// O(max(width, height)) steps.
/// `action` returns true to go on and false to stop; the function returns false when the
/// action stopped the walk, true when every cell was visited (also for an empty grid).
KRSTD_API bool square_helix_loop(long width, long height, const std::function<bool(long x, long y)>& action);
