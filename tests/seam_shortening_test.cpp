#include <algorithm>
#include <cmath>

#include <gtest/gtest.h>

#include "atlas/chart_topology.h"
#include "atlas/seam_shortening.h"
#include "surface_factory.h"

namespace nodara
{
    namespace
    {
        constexpr index_t n = 12;

        index_t seam_edges(const PolygonAdjacencies& adjacencies,
                           const std::vector<Chart>& charts)
        {
            const auto chart_of = chart_of_triangles(
                static_cast<index_t>(adjacencies.size()), charts);
            index_t seams = 0;
            for (index_t t = 0; t < adjacencies.size(); ++t)
            {
                for (const auto q : adjacencies[t])
                {
                    seams += q != NO_ID && q > t && chart_of[q] != chart_of[t];
                }
            }
            return seams;
        }
    }  // namespace

    TEST(ShortenSeams, TakesTheJogsOutOfASeamBetweenTwoCharts)
    {
        testing::Points points;
        testing::Triangles triangles;
        testing::add_patch(points, triangles, n, 0.0);
        const auto surface = testing::make_surface(points, triangles);
        const auto adjacencies = compute_manifold_adjacencies(*surface);

        // Cells left of column 6 in one chart, the others in the second,
        // but for two blocks of two rows in which the first chart reaches
        // two columns further: the seam jogs out and back twice, which no
        // single triangle's move straightens.
        std::vector<index_t> left;
        std::vector<index_t> right;
        for (index_t j = 0; j < n; ++j)
        {
            const index_t reach = j == 3 || j == 4 || j == 7 || j == 8 ? 8 : 6;
            for (index_t i = 0; i < n; ++i)
            {
                const index_t lower = 2 * (j * n + i);
                for (const auto t : {lower, lower + 1})
                {
                    (i < reach ? left : right).push_back(t);
                }
            }
        }
        const ChartBounds bounds;
        std::vector<Chart> charts;
        for (auto* chart : {&left, &right})
        {
            ASSERT_TRUE(is_disc(*surface, adjacencies, *chart));
            auto map = flatten_chart(*surface, *chart, bounds);
            ASSERT_TRUE(map.valid);
            charts.push_back({*chart, std::move(map), false});
        }
        EXPECT_EQ(seam_edges(adjacencies, charts), n + 8);

        shorten_seams(*surface, adjacencies, bounds, charts);

        // The straight seam of n edges, both charts discs whose maps pass,
        // every triangle in exactly one of them.
        EXPECT_EQ(seam_edges(adjacencies, charts), n);
        std::vector<index_t> all;
        for (const auto& chart : charts)
        {
            EXPECT_TRUE(is_disc(*surface, adjacencies, chart.triangles));
            EXPECT_TRUE(chart.map.valid);
            EXPECT_EQ(chart.map.corners.size(), chart.triangles.size());
            all.insert(all.end(), chart.triangles.begin(),
                       chart.triangles.end());
        }
        std::sort(all.begin(), all.end());
        ASSERT_EQ(all.size(), surface->nb_polygons());
        for (index_t t = 0; t < all.size(); ++t)
        {
            EXPECT_EQ(all[t], t);
        }
    }

    TEST(ShortenSeams, MakesNoChangeAfterWhichAChartFails)
    {
        testing::Points points;
        testing::Triangles triangles;
        testing::add_patch(points, triangles, n, 0.0);
        const auto surface = testing::make_surface(points, triangles);
        const auto adjacencies = compute_manifold_adjacencies(*surface);

        // The second, smaller chart reaches two columns into the first in
        // two rows: the straight seam would give the first chart more area
        // than its bound allows, so the jog stays; without the bound it
        // goes.
        std::vector<index_t> left;
        std::vector<index_t> right;
        double left_area = 0;
        for (index_t j = 0; j < n; ++j)
        {
            const index_t reach = j == 3 || j == 4 ? 6 : 8;
            for (index_t i = 0; i < n; ++i)
            {
                const index_t lower = 2 * (j * n + i);
                for (const auto t : {lower, lower + 1})
                {
                    (i < reach ? left : right).push_back(t);
                    left_area += i < reach ? surface->triangle(t).area() : 0;
                }
            }
        }
        AtlasOptions options;
        options.max_chart_area = left_area * (1 + 1e-9);
        for (const ChartBounds& bounds : {ChartBounds{options}, ChartBounds{}})
        {
            std::vector<Chart> charts;
            for (auto* chart : {&left, &right})
            {
                auto map = flatten_chart(*surface, *chart, bounds);
                ASSERT_TRUE(map.valid);
                charts.push_back({*chart, std::move(map), false});
            }
            EXPECT_EQ(seam_edges(adjacencies, charts), n + 4);

            shorten_seams(*surface, adjacencies, bounds, charts);

            const bool bounded = std::isfinite(bounds.max_chart_area);
            EXPECT_EQ(seam_edges(adjacencies, charts), bounded ? n + 4 : n);
            EXPECT_EQ(charts[0].triangles.size() == left.size(), bounded);
            for (const auto& chart : charts)
            {
                EXPECT_TRUE(chart.map.valid);
            }
        }
    }
}  // namespace nodara
