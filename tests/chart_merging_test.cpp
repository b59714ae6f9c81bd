#include <algorithm>

#include <gtest/gtest.h>

#include <velmora/geometry/triangle.h>

#include "atlas/chart_cutting.h"
#include "atlas/chart_merging.h"
#include "atlas/chart_topology.h"
#include "atlas/surface_facts.h"
#include "chart_expectations.h"
#include "surface_factory.h"

namespace nodara
{
    TEST(MergeCharts, JoinsLargeNeighboursThatFlattenAsOne)
    {
        // A flat patch of n by n cells in three charts, each too large to
        // count as small: the left half, and the lower and upper quarters
        // of the right half. Each shares half its seam with each other.
        constexpr index_t n = 24;
        const auto surface = testing::patch_surface(n);
        const auto adjacencies = compute_manifold_adjacencies(*surface);
        std::vector<std::vector<index_t>> parts(3);
        for (index_t j = 0; j < n; ++j)
        {
            for (index_t i = 0; i < n; ++i)
            {
                const auto part = i < n / 2 ? 0 : j < n / 2 ? 1 : 2;
                parts[part].push_back(2 * (j * n + i));
                parts[part].push_back(2 * (j * n + i) + 1);
            }
        }
        const ChartBounds bounds;
        std::vector<Chart> charts;
        for (const auto& part : parts)
        {
            ASSERT_GT(part.size(), 256u);
            auto map = flatten_chart(*surface, part, bounds);
            ASSERT_TRUE(map.valid);
            charts.push_back({part, std::move(map), false});
        }

        merge_charts(*surface, adjacencies, bounds, charts);

        ASSERT_EQ(charts.size(), 1u);
        EXPECT_TRUE(charts[0].map.valid);
        EXPECT_EQ(charts[0].map.corners.size(), surface->nb_polygons());
        auto all = charts[0].triangles;
        std::sort(all.begin(), all.end());
        ASSERT_EQ(all.size(), surface->nb_polygons());
        for (index_t t = 0; t < all.size(); ++t)
        {
            EXPECT_EQ(all[t], t);
        }
        EXPECT_TRUE(is_disc(*surface, adjacencies, charts[0].triangles));
    }

    TEST(MergeCharts, LaysTinyChartsBesideTheirNeighbour)
    {
        // A patch of n by n cells: three cells on its lower border and one
        // triangle on its upper border, each a chart of its own, and the
        // rest one chart.
        constexpr index_t n = 24;
        const auto surface = testing::patch_surface(n);
        const auto adjacencies = compute_manifold_adjacencies(*surface);
        const ChartBounds bounds;
        std::vector<Chart> charts(1);
        for (index_t t = 0; t < surface->nb_polygons(); ++t)
        {
            const auto cell = t / 2;
            const bool lower = cell < n && cell % 8 == 3;
            const bool upper = t == 2 * (n * n - n / 2) + 1;
            if (lower && t % 2 == 1)
            {
                charts.back().triangles.push_back(t);
                continue;
            }
            (lower || upper ? charts.emplace_back() : charts.front())
                .triangles.push_back(t);
        }
        ASSERT_EQ(charts.size(), 5u);
        for (auto& chart : charts)
        {
            chart.map = flatten_chart(*surface, chart.triangles, bounds);
            ASSERT_TRUE(chart.map.valid);
        }

        merge_charts(*surface, adjacencies, bounds, charts);

        ASSERT_EQ(charts.size(), 1u);
        testing::expect_discs_covering(*surface, adjacencies, charts);
        // Each image the triangle's own size: the map of every triangle is
        // the one given with it.
        const auto& chart = charts.front();
        for (std::size_t i = 0; i < chart.triangles.size(); ++i)
        {
            const auto& c = chart.map.corners[i];
            const double image = Triangle<2>{c[0], c[1], c[2]}.area();
            const double area = surface->triangle(chart.triangles[i]).area();
            EXPECT_NEAR(image, area, 0.2 * area) << i;
        }
    }

    TEST(MergeCharts, JoinsTheSameChartsInBatchesOfAnySize)
    {
        // The charts cut on a bumpy sphere, many of them small: trying the
        // small ones several at once must join them as one at a time does.
        const auto surface = testing::bumpy_sphere(4);
        const auto facts = surface_facts(*surface);
        const ChartBounds bounds;
        const auto cut = cut_charts(*surface, facts, bounds);
        auto one_by_one = cut;
        merge_charts_in_batches(*surface, facts.adjacencies, bounds, one_by_one,
                                1, false);
        ASSERT_LT(one_by_one.size(), cut.size());
        for (const std::size_t batch : {2u, 5u, 16u})
        {
            auto batched = cut;
            merge_charts_in_batches(*surface, facts.adjacencies, bounds,
                                    batched, batch, false);
            ASSERT_EQ(batched.size(), one_by_one.size()) << batch;
            for (std::size_t c = 0; c < batched.size(); ++c)
            {
                EXPECT_EQ(batched[c].triangles, one_by_one[c].triangles)
                    << batch << " " << c;
                EXPECT_EQ(batched[c].map.corners, one_by_one[c].map.corners)
                    << batch << " " << c;
            }
        }
    }
}  // namespace nodara
