#pragma once

#include <array>
#include <vector>

#include <tessaplan/corner_map.h>

namespace nodara
{
    namespace testing
    {
        // Unit squares at the given cells, two triangles each, counter-
        // clockwise.
        inline CornerMap cells(const std::vector<std::array<double, 2>>& at)
        {
            CornerMap chart;
            for (const auto& cell : at)
            {
                const Point<2> a{{cell[0], cell[1]}};
                const Point<2> b{{cell[0] + 1, cell[1]}};
                const Point<2> c{{cell[0] + 1, cell[1] + 1}};
                const Point<2> d{{cell[0], cell[1] + 1}};
                chart.push_back({a, b, c});
                chart.push_back({a, c, d});
            }
            return chart;
        }
    }  // namespace testing
}  // namespace nodara
