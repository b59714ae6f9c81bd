#include <cmath>

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
            testing::Points points;
            testing::Triangles triangles;
            for (index_t j = 0; j < n; ++j)
            {
                for (index_t i = 0; i < n; ++i)
                {
                    const double u = 2 * pi * i / n;
                    const double v = 2 * pi * j / n;
                    const double r =
                        0.4 + 0.08 * std::sin(9 * u) * std::cos(7 * v);
                    points.push_back({(1 + r * std::cos(v)) * std::cos(u),
                                      (1 + r * std::cos(v)) * std::sin(u),
                                      r * std::sin(v)});
                }
            }
            const auto id = [n](index_t i, index_t j)
            { return (j % n) * n + (i % n); };
            for (index_t j = 0; j < n; ++j)
            {
                for (index_t i = 0; i < n; ++i)
                {
                    triangles.push_back(
                        {id(i, j), id(i + 1, j), id(i + 1, j + 1)});
                    triangles.push_back(
                        {id(i, j), id(i + 1, j + 1), id(i, j + 1)});
                }
            }
            return testing::make_surface(points, triangles);
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
        const auto surface = bumpy_torus(60);
        const auto serial = atlas_on_threads(*surface, 1);
        ASSERT_TRUE(serial.check.valid());
        EXPECT_GT(serial.charts.size(), 8u);
        for (const int threads : {2, 5})
        {
            const auto parallel = atlas_on_threads(*surface, threads);
            EXPECT_EQ(parallel.triangle_chart, serial.triangle_chart);
            EXPECT_EQ(parallel.corners, serial.corners);
            EXPECT_EQ(parallel.nb_seam_edges, serial.nb_seam_edges);
        }
    }
}  // namespace nodara
