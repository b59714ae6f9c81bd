#include <tessaplan/surface_flattening.h>
#include <tessaplan/true_size.h>

#include <cmath>

#include <gtest/gtest.h>

#include "surface_factory.h"

namespace nodara
{
    namespace
    {
        using testing::add_half_cylinder;
        using testing::make_surface;
        using testing::pi;
        using testing::Points;
        using testing::Triangles;

        double length_3d(const TriangulatedSurface<3>& surface, index_t a,
                         index_t b)
        {
            return Vector<3>{surface.point(a), surface.point(b)}.length();
        }

        double length_2d(const std::vector<Point<2>>& map, index_t a, index_t b)
        {
            return Vector<2>{map[a], map[b]}.length();
        }

        // The largest relative difference between an edge's length in the
        // map and on the surface.
        double worst_length_error(const TriangulatedSurface<3>& surface,
                                  const std::vector<Point<2>>& map)
        {
            double worst = 0;
            for (index_t t = 0; t < surface.nb_polygons(); ++t)
            {
                for (local_index_t k = 0; k < 3; ++k)
                {
                    const auto a = surface.polygon_vertex({t, k});
                    const auto b = surface.polygon_vertex(
                        {t, static_cast<local_index_t>((k + 1) % 3)});
                    const double length = length_3d(surface, a, b);
                    worst = std::max(
                        worst,
                        std::abs(length_2d(map, a, b) - length) / length);
                }
            }
            return worst;
        }
    }  // namespace

    TEST(TrueSize, DevelopableSurfacesComeOutAtTheirOwnSize)
    {
        Points points;
        Triangles triangles;
        add_half_cylinder(points, triangles, 50, 100, 64, 8);
        const auto cylinder = make_surface(points, triangles);
        const auto pinned = flatten_surface(*cylinder);
        EXPECT_GT(worst_length_error(*cylinder, pinned.map), 0.01);

        FlattenOptions options;
        options.scale = FlatteningScale::area;
        const auto true_size = flatten_surface(*cylinder, options);
        EXPECT_LT(worst_length_error(*cylinder, true_size.map), 1e-9);
        // The pattern: 64 chords wide and 100 high, the length of its
        // bottom row and of one side.
        const double chord = 2 * 50 * std::sin(pi / 128);
        EXPECT_NEAR(length_2d(true_size.map, 0, 64), 64 * chord, 1e-7);
        EXPECT_NEAR(length_2d(true_size.map, 0, 8 * 65), 100, 1e-9);
        EXPECT_NEAR(true_size.summary.pieces[0].area_ratio, 1.0, 1e-12);
        EXPECT_EQ(true_size.summary.nb_flipped_triangles, 0u);
    }

    TEST(TrueSize, PlatesKeepTheirLengthsWhereverTheyLie)
    {
        // A flat grid tilted in space and far from the origin.
        Points points;
        Triangles triangles;
        const index_t n = 6;
        for (index_t j = 0; j <= n; ++j)
        {
            for (index_t i = 0; i <= n; ++i)
            {
                const double x = 3.0 * i / n + 0.1 * j;
                const double y = 2.0 * j / n;
                points.push_back({1e3 + x, 2e3 + 0.6 * y, -5e2 + 0.8 * y});
            }
        }
        for (index_t j = 0; j < n; ++j)
        {
            for (index_t i = 0; i < n; ++i)
            {
                const index_t v = j * (n + 1) + i;
                triangles.push_back({v, v + 1, v + n + 2});
                triangles.push_back({v, v + n + 2, v + n + 1});
            }
        }
        const auto plate = make_surface(points, triangles);
        auto map = flatten_surface(*plate).map;
        for (auto& p : map)
        {
            p = p * 7.5;
        }
        const auto factors = scale_to_true_size(*plate, map);
        ASSERT_EQ(factors.size(), 1u);
        EXPECT_LT(worst_length_error(*plate, map), 1e-10);
    }

    TEST(TrueSize, PiecesSharingAVertexShareOneScaleAndSeparateOnesDoNot)
    {
        Points points;
        Triangles triangles;
        add_half_cylinder(points, triangles, 2, 3, 8, 2);
        testing::add_patch(points, triangles, 4, 10);
        const auto surface = make_surface(points, triangles);
        auto map = flatten_surface(*surface).map;
        // Shrink one piece only, so that the two need different factors.
        for (index_t v = 27; v < map.size(); ++v)
        {
            map[v] = map[v] * 0.25;
        }
        const auto factors = scale_to_true_size(*surface, map);
        ASSERT_EQ(factors.size(), 2u);
        EXPECT_NE(factors[0], factors[1]);
        const auto summary = compute_distortion_summary(*surface, map);
        ASSERT_EQ(summary.pieces.size(), 2u);
        EXPECT_NEAR(summary.pieces[0].area_ratio, 1.0, 1e-12);
        EXPECT_NEAR(summary.pieces[1].area_ratio, 1.0, 1e-12);

        // A bow tie: two triangles meeting at vertex 0 are two pieces, but
        // their images share that vertex, so they get one scale.
        const auto bow_tie = make_surface(
            {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {-2, 0, 1}, {0, -2, 1}},
            {{0, 1, 2}, {0, 3, 4}});
        std::vector<Point<2>> tie_map{
            Point<2>{{0.0, 0.0}}, Point<2>{{1.0, 0.0}}, Point<2>{{0.0, 1.0}},
            Point<2>{{-1.0, 0.0}}, Point<2>{{0.0, -1.0}}};
        EXPECT_EQ(scale_to_true_size(*bow_tie, tie_map).size(), 1u);
        const auto tie = compute_distortion_summary(*bow_tie, tie_map);
        const double area_0 = 0.5;
        const double area_1 = std::sqrt(24.0) / 2;
        EXPECT_NEAR(tie.pieces[0].area_ratio * area_0 +
                        tie.pieces[1].area_ratio * area_1,
                    area_0 + area_1, 1e-12);
        EXPECT_NE(tie.pieces[0].area_ratio, 1.0);
    }

    TEST(TrueSize, RefusesAMapOfAnotherSize)
    {
        Points points;
        Triangles triangles;
        testing::add_patch(points, triangles, 2, 0);
        const auto surface = make_surface(points, triangles);
        std::vector<Point<2>> map(3);
        EXPECT_NE(
            testing::message_of([&] { scale_to_true_size(*surface, map); })
                .find("[scale_to_true_size]"),
            std::string::npos);
    }
}  // namespace nodara
