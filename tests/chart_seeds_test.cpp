#include <algorithm>
#include <cmath>
#include <random>

#include <gtest/gtest.h>

#include <tessaplan/atlas.h>

#include "atlas/chart_seeds.h"
#include "surface_factory.h"

namespace nodara
{
    namespace
    {
        // The corners of triangle t, sorted: the same triangle whatever
        // its index and the turn of its corners.
        std::array<std::array<double, 3>, 3> place(
            const TriangulatedSurface<3>& surface, index_t t)
        {
            std::array<std::array<double, 3>, 3> corners{};
            for (local_index_t k = 0; k < 3; ++k)
            {
                const auto& p = surface.point(surface.polygon_vertex({t, k}));
                corners[k] = {p[0], p[1], p[2]};
            }
            std::sort(corners.begin(), corners.end());
            return corners;
        }
    }  // namespace

    TEST(ChartSeeds, TheSeedOrderFollowsTheGeometry)
    {
        const auto surface = testing::bumpy_sphere(5);
        const auto order = seed_order(*surface);
        const auto ranks = ranks_in_order(order);
        ASSERT_EQ(order.size(), surface->nb_polygons());
        for (index_t i = 0; i < order.size(); ++i)
        {
            ASSERT_EQ(ranks[order[i]], i);
        }
        const auto other = testing::shuffled(*surface, 7);
        const auto other_order = seed_order(*other);
        ASSERT_EQ(other_order.size(), order.size());
        for (std::size_t i = 0; i < order.size(); ++i)
        {
            ASSERT_EQ(place(*surface, order[i]), place(*other, other_order[i]))
                << i;
        }
    }

    TEST(ChartSeeds, ShuffledTrianglesGiveAsManyCharts)
    {
        const auto surface = testing::bumpy_sphere(5);
        const auto reference = compute_atlas(*surface);
        ASSERT_GT(reference.charts.size(), 20u);
        for (const unsigned seed : {1u, 2u})
        {
            SCOPED_TRACE(seed);
            const auto atlas =
                compute_atlas(*testing::shuffled(*surface, seed));
            EXPECT_TRUE(atlas.check.valid());
            const double charts = atlas.charts.size();
            EXPECT_LE(std::abs(charts - reference.charts.size()),
                      0.05 * reference.charts.size());
        }
    }
}  // namespace nodara
