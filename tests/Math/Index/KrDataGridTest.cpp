// TKrDataGrid: nearest-cell rounding, the n − 0.9 bound, the wider _frn lookup, record access.
#include "KrThrownText.h"
#include "Math/Index/KrDataGrid.h"

#include <gtest/gtest.h>

#include <limits>
#include <stdexcept>
#include <string>

using cell_t = TKrDataGrid::cell_t;
using krtest::ThrownText;

TEST(KrDataGrid, FindCellRoundsHalvesAwayFromZeroWithinTheGrid) {
    // 4 × 3 cells centred at x = 10, 12, 14, 16 and y = 5, 4, 3; each record holds its indices.
    TKrDataGrid g(4, 3, vec2d(10, 5), vec2d(2, -1), vec2d(-1, -1));
    for (int j = 0; j < 3; ++j)
        for (int i = 0; i < 4; ++i)
            g.DataByIndex(cell_t(i, j)) = vec2d(i, j);
    const struct {
        double x, y; // in cells from the origin
        bool ok, frn;
        int i, j;
    } cases[] = {
        {0.5, 0.5, true, true, 1, 1}, // halves go up, away from zero
        {-0.49, 0, true, true, 0, 0},
        {-0.5, 0, false, true, 0, 0}, // rounds to −1; _frn takes cell 0
        {-0.51, 0, false, false, 0, 0},
        {3.49, 2.49, true, true, 3, 2},
        {3.5, 0, false, true, 3, 0},
        {3.99, 2.99, false, true, 3, 2}, // rounds to n; _frn clamps
        {4.0, 0, false, false, 0, 0},
        {0, 2.5, false, true, 0, 2},
        {std::numeric_limits<double>::quiet_NaN(), 0, false, false, 0, 0},
        {1e300, 0, false, false, 0, 0},
    };
    for (const auto& k : cases) {
        const vec2d p(10 + 2 * k.x, 5 - k.y);
        cell_t cell(-7, -7), frn(-7, -7);
        vec2d centre, data, frnData;
        EXPECT_EQ(g.FindCell(p, &cell, &centre), k.ok) << k.x << ", " << k.y;
        EXPECT_EQ(g.FindData(p, &data, nullptr), k.ok);
        EXPECT_EQ(g.FindData_frn(p, &frnData, &frn), k.frn) << k.x << ", " << k.y;
        if (k.ok) {
            EXPECT_EQ(cell, cell_t(k.i, k.j));
            EXPECT_EQ(centre, vec2d(10 + 2 * k.i, 5 - k.j));
            EXPECT_EQ(data, vec2d(k.i, k.j));
        } else {
            EXPECT_EQ(cell, cell_t(-7, -7));
        }
        if (k.frn) {
            EXPECT_EQ(frn, cell_t(k.i, k.j));
            EXPECT_EQ(frnData, vec2d(k.i, k.j));
        }
    }
}

TEST(KrDataGrid, DimensionsAndIndexAccess) {
    for (const auto& n : {cell_t(0, 3), cell_t(3, 0), cell_t(-1, 2), cell_t(1 << 30, 1 << 30)})
        EXPECT_EQ(
            ThrownText<std::length_error>([&] { TKrDataGrid(n.x, n.y, vec2d(), vec2d(1, 1), vec2d()); }),
            "@TKrDataGrid::TKrDataGrid(): invalid dimensions.")
            << n.x << " x " << n.y;
    TKrDataGrid g(2, 2, vec2d(1, 1), vec2d(0.5, 0.5), vec2d(3, 4));
    EXPECT_EQ(g.DataByIndex(cell_t(1, 1)), vec2d(3, 4));
    EXPECT_THROW(g.DataByIndex(cell_t(2, 0)), std::out_of_range);
    EXPECT_THROW(g.DataByIndex(cell_t(0, -1)), std::out_of_range);
    EXPECT_EQ(g.CoordsByIndex(cell_t(-2, 3)), vec2d(0, 2.5));
    TKrDataGrid flat(2, 2, vec2d(0, 0), vec2d(0, 1), vec2d()); // a zero step finds nothing
    EXPECT_FALSE(flat.FindCell(vec2d(0, 0), nullptr, nullptr));
    EXPECT_FALSE(flat.FindData_frn(vec2d(0.1, 0), nullptr, nullptr));
}
