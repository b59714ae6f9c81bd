#include <tessaplan/arap.h>

#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include <tessaplan/distortion.h>
#include <tessaplan/lscm.h>
#include <tessaplan/true_size.h>

#include "surface_factory.h"

namespace nodara
{
    namespace
    {
        using testing::make_surface;
        using testing::message_of;
        using testing::Points;
        using testing::Triangles;

        // The largest of max(sigma1, 1 / sigma2) - 1 over the triangles.
        double worst_stretch(const TriangleDistortions& distortions)
        {
            double worst = 0;
            for (const auto value : distortions.length)
            {
                worst = std::max(worst, value - 1);
            }
            return worst;
        }
    }  // namespace

    TEST(ARAP, UnrollsADevelopablePieceIsometrically)
    {
        Points points;
        Triangles triangles;
        testing::add_half_cylinder(points, triangles, 50, 100, 32, 6);
        const auto cylinder = make_surface(points, triangles);
        const auto solution = solve_ARAP(*cylinder);
        EXPECT_TRUE(solution.converged);
        EXPECT_LT(solution.energy, solution.start_energy);
        const auto distortions =
            compute_triangle_distortions(*cylinder, solution.map);
        EXPECT_LT(worst_stretch(distortions), 1e-6);
        const auto summary = summarize_distortions(distortions);
        EXPECT_EQ(summary.nb_flipped_triangles, 0u);
        EXPECT_NEAR(summary.length.max, 1.0, 1e-6);
        EXPECT_NEAR(summary.pieces[0].area_ratio, 1.0, 1e-6);
    }

    TEST(ARAP, KeepsLengthsBetterThanAConformalMapAtTrueSize)
    {
        Points points;
        Triangles triangles;
        testing::add_patch(points, triangles, 24, 0);
        // A steeper bump than the factory's, that no map keeps isometric.
        for (auto& p : points)
        {
            p[2] *= 3;
        }
        const auto patch = make_surface(points, triangles);
        auto conformal = compute_LSCM_map(*patch);
        scale_to_true_size(*patch, conformal);
        const auto lscm = compute_distortion_summary(*patch, conformal);
        const auto solution = solve_ARAP(*patch, conformal);
        const auto arap = compute_distortion_summary(*patch, solution.map);
        EXPECT_EQ(arap.nb_flipped_triangles, 0u);
        EXPECT_GT(lscm.length.p95, 1.05);
        EXPECT_LT(arap.length.p95, lscm.length.p95 - 0.02);
        EXPECT_LT(solution.energy, solution.start_energy);
        // More iterations never raise the energy.
        const auto longer = solve_ARAP(*patch, conformal, {0.0, 40});
        EXPECT_EQ(longer.iterations, 40u);
        EXPECT_LE(longer.energy, solution.energy * (1 + 1e-9));
    }

    TEST(ARAP, EachPieceTurnsAsItsStartDoes)
    {
        // Two patches, the second wound the other way and mirrored in its
        // start: neither may fold.
        Points points;
        Triangles triangles;
        testing::add_patch(points, triangles, 6, 0);
        const auto first_count = triangles.size();
        testing::add_patch(points, triangles, 6, 3);
        for (auto t = first_count; t < triangles.size(); ++t)
        {
            std::swap(triangles[t][1], triangles[t][2]);
        }
        const auto surface = make_surface(points, triangles);
        auto start = compute_LSCM_map(*surface);
        for (std::size_t v = 49; v < start.size(); ++v)
        {
            start[v][0] = -start[v][0];
        }
        const auto solution = solve_ARAP(*surface, start);
        const auto summary = compute_distortion_summary(*surface, solution.map);
        EXPECT_EQ(summary.nb_flipped_triangles, 0u);
        EXPECT_LT(summary.length.p95, 1.1);
    }

    TEST(ARAP, RefusesABadStartOrTolerance)
    {
        Points points;
        Triangles triangles;
        testing::add_patch(points, triangles, 2, 0);
        const auto surface = make_surface(points, triangles);
        auto start = compute_LSCM_map(*surface);
        EXPECT_EQ(message_of([&] { solve_ARAP(*surface, {Point<2>{}}); }),
                  "[solve_ARAP] The start holds 1 points for 9 vertices");
        auto broken = start;
        broken[4][1] = std::numeric_limits<double>::infinity();
        EXPECT_EQ(message_of([&] { solve_ARAP(*surface, broken); }),
                  "[solve_ARAP] The start point of vertex 4 is not finite");
        EXPECT_EQ(message_of(
                      [&] {
                          solve_ARAP(*surface, start, {-1.0, 10});
                      }),
                  "[solve_ARAP] The tolerance must be a number of at least 0");
    }
}  // namespace nodara
