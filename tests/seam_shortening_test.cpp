#include <cmath>
#include <functional>

#include <gtest/gtest.h>

#include "atlas/seam_shortening.h"
#include "atlas/surface_facts.h"
#include "chart_expectations.h"
#include "surface_factory.h"

namespace nodara
{
    namespace
    {
        constexpr index_t n = 12;

        // Two charts of an n x n patch: the cells left of reach(row) in the
        // first, the others in the second, each flattened within `bounds`.
        std::vector<Chart> split_patch(
            const TriangulatedSurface<3>& surface,
            const std::function<index_t(index_t)>& reach,
            const ChartBounds& bounds)
        {
            std::array<std::vector<index_t>, 2> sides;
            for (index_t j = 0; j < n; ++j)
            {
                for (index_t i = 0; i < n; ++i)
                {
                    const index_t lower = 2 * (j * n + i);
                    for (const auto t : {lower, lower + 1})
                    {
                        sides[i < reach(j) ? 0 : 1].push_back(t);
                    }
                }
            }
            std::vector<Chart> charts;
            for (auto& side : sides)
            {
                auto map = flatten_chart(surface, side, bounds);
                EXPECT_TRUE(map.valid);
                charts.push_back({std::move(side), std::move(map), false});
            }
            return charts;
        }

        double area_of(const TriangulatedSurface<3>& surface,
                       const std::vector<index_t>& triangles)
        {
            double area = 0;
            for (const auto t : triangles)
            {
                area += surface.triangle(t).area();
            }
            return area;
        }
    }  // namespace

    TEST(ShortenSeams, TakesTheJogsOutOfASeamBetweenTwoCharts)
    {
        const auto surface = testing::patch_surface(n);
        const auto facts = surface_facts(*surface);
        const auto& adjacencies = facts.adjacencies;

        // Cells left of column 6 in one chart, but for two blocks of two
        // rows in which it reaches two columns further: the seam jogs out
        // and back twice, which no single triangle's move straightens.
        const ChartBounds bounds;
        auto charts = split_patch(
            *surface,
            [](index_t j)
            { return j == 3 || j == 4 || j == 7 || j == 8 ? 8 : 6; },
            bounds);
        EXPECT_EQ(testing::seam_edge_count(adjacencies, charts), n + 8);

        shorten_seams(*surface, facts, bounds, charts);

        // The straight seam of n edges.
        EXPECT_EQ(testing::seam_edge_count(adjacencies, charts), n);
        testing::expect_discs_covering(*surface, adjacencies, charts);
    }

    TEST(ShortenSeams, MakesNoChangeAfterWhichAChartFails)
    {
        const auto surface = testing::patch_surface(n);
        const auto facts = surface_facts(*surface);
        const auto& adjacencies = facts.adjacencies;

        // The second, smaller chart reaches two columns into the first in
        // two rows: the straight seam would give the first chart more area
        // than its bound allows, so the jog stays; without the bound it
        // goes.
        const auto reach = [](index_t j) { return j == 3 || j == 4 ? 6 : 8; };
        AtlasOptions options;
        options.max_chart_area =
            area_of(*surface,
                    split_patch(*surface, reach, ChartBounds{})[0].triangles) *
            (1 + 1e-9);
        for (const ChartBounds& bounds : {ChartBounds{options}, ChartBounds{}})
        {
            auto charts = split_patch(*surface, reach, bounds);
            const auto first = charts[0].triangles.size();
            EXPECT_EQ(testing::seam_edge_count(adjacencies, charts), n + 4);

            shorten_seams(*surface, facts, bounds, charts);

            const bool bounded = std::isfinite(bounds.max_chart_area);
            EXPECT_EQ(testing::seam_edge_count(adjacencies, charts),
                      bounded ? n + 4 : n);
            EXPECT_EQ(charts[0].triangles.size() == first, bounded);
            testing::expect_discs_covering(*surface, adjacencies, charts);
        }
    }
}  // namespace nodara
