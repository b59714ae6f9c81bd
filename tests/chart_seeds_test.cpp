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
        // A closed surface of 8192 triangles with bumps all over, which
        // the atlas cuts into some dozens of charts.
        std::unique_ptr<TriangulatedSurface<3>> bumpy_sphere()
        {
            return testing::sphere(5,
                                   [](const std::array<double, 3>& p)
                                   {
                                       return 1 + 0.1 *
                                                      std::sin(13 * p[0] + 1) *
                                                      std::sin(14 * p[1] + 2) *
                                                      std::sin(15 * p[2] + 3);
                                   });
        }

        // The same surface with its triangles in a random order, each with
        // its corners turned by a random step (orientation kept).
        std::unique_ptr<TriangulatedSurface<3>> shuffled(
            const TriangulatedSurface<3>& surface, unsigned seed)
        {
            testing::Points points;
            for (index_t v = 0; v < surface.nb_vertices(); ++v)
            {
                const auto& p = surface.point(v);
                points.push_back({p[0], p[1], p[2]});
            }
            testing::Triangles triangles;
            std::mt19937 random{seed};
            for (index_t t = 0; t < surface.nb_polygons(); ++t)
            {
                auto corners = surface.polygon_vertices(t);
                std::rotate(corners.begin(), corners.begin() + random() % 3,
                            corners.end());
                triangles.push_back({corners[0], corners[1], corners[2]});
            }
            std::shuffle(triangles.begin(), triangles.end(), random);
            return testing::make_surface(points, triangles);
        }

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
        const auto surface = bumpy_sphere();
        const auto order = seed_order(*surface);
        const auto ranks = ranks_in_order(order);
        ASSERT_EQ(order.size(), surface->nb_polygons());
        for (index_t i = 0; i < order.size(); ++i)
        {
            ASSERT_EQ(ranks[order[i]], i);
        }
        const auto other = shuffled(*surface, 7);
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
        const auto surface = bumpy_sphere();
        const auto reference = compute_atlas(*surface);
        ASSERT_GT(reference.charts.size(), 20u);
        for (const unsigned seed : {1u, 2u})
        {
            SCOPED_TRACE(seed);
            const auto atlas = compute_atlas(*shuffled(*surface, seed));
            EXPECT_TRUE(atlas.check.valid());
            const double charts = atlas.charts.size();
            EXPECT_LE(std::abs(charts - reference.charts.size()),
                      0.05 * reference.charts.size());
        }
    }
}  // namespace nodara
