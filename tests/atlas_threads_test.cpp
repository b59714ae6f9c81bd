#include <cmath>
#include <utility>
#include <vector>

#include <gtest/gtest.h>
#include <omp.h>

#include <tessaplan/atlas.h>

#include "surface_factory.h"

namespace nodara
{
    namespace
    {
        // A bumpy torus of 2 n^2 triangles: many charts, whose seams the
        // straightening moves.
        std::unique_ptr<TriangulatedSurface<3>> bumpy_torus(index_t n)
        {
            const double pi = std::acos(-1.0);
            return testing::wrapped_grid(
                n, n,
                [pi](double s, double t)
                {
                    const double u = 2 * pi * s;
                    const double v = 2 * pi * t;
                    const double r =
                        0.4 + 0.08 * std::sin(9 * u) * std::cos(7 * v);
                    return std::array<double, 3>{
                        (1 + r * std::cos(v)) * std::cos(u),
                        (1 + r * std::cos(v)) * std::sin(u), r * std::sin(v)};
                });
        }

        Atlas atlas_on_threads(const TriangulatedSurface<3>& surface,
                               int threads)
        {
            const auto saved = omp_get_max_threads();
            omp_set_num_threads(threads);
            auto atlas = compute_atlas(surface);
            omp_set_num_threads(saved);
            return atlas;
        }
    }  // namespace

    TEST(AtlasThreads, TheAtlasDoesNotDependOnTheNumberOfThreads)
    {
        // 7200 triangles, and 32768, cut in regions several at once.
        const std::vector<std::pair<index_t, std::vector<int>>> cases{
            {60, {2, 5}}, {128, {2}}};
        for (const auto& [n, thread_counts] : cases)
        {
            const auto surface = bumpy_torus(n);
            const auto serial = atlas_on_threads(*surface, 1);
            ASSERT_TRUE(serial.check.valid()) << n;
            EXPECT_GT(serial.charts.size(), 8u) << n;
            for (const int threads : thread_counts)
            {
                const auto parallel = atlas_on_threads(*surface, threads);
                EXPECT_EQ(parallel.triangle_chart, serial.triangle_chart) << n;
                EXPECT_EQ(parallel.corners, serial.corners) << n;
                EXPECT_EQ(parallel.nb_seam_edges, serial.nb_seam_edges) << n;
            }
        }
    }
}  // namespace nodara
