#include <tessaplan/atlas.h>

#include <cmath>

#include <gtest/gtest.h>

#include "surface_factory.h"

namespace nodara
{
    namespace
    {
        using testing::make_surface;
        using testing::Points;
        using testing::Triangles;

        // A closed cylinder of n columns and 6 rows, capped by a fan at
        // each end around a centre vertex.
        std::unique_ptr<TriangulatedSurface<3>> capped_cylinder(index_t n)
        {
            Points points;
            Triangles triangles;
            testing::add_tube(points, triangles, n, 6);
            const auto bottom = static_cast<index_t>(points.size());
            points.push_back({0, 0, 0});
            points.push_back({0, 0, 3});
            for (index_t i = 0; i < n; ++i)
            {
                triangles.push_back({bottom, (i + 1) % n, i});
                triangles.push_back(
                    {bottom + 1, 6 * n + i, 6 * n + (i + 1) % n});
            }
            return make_surface(points, triangles);
        }
    }  // namespace

    TEST(SeamedAtlas, NoChartCrossesAGivenSeam)
    {
        const index_t n = 24;
        const auto surface = capped_cylinder(n);
        // The ring half way up, and a line up the side.
        std::vector<std::array<index_t, 2>> seams;
        for (index_t i = 0; i < n; ++i)
        {
            seams.push_back({3 * n + i, 3 * n + (i + 1) % n});
        }
        for (index_t j = 0; j < 6; ++j)
        {
            seams.push_back({j * n, (j + 1) * n});
        }
        const auto atlas = compute_atlas(*surface, seams);
        EXPECT_TRUE(atlas.check.valid());
        // Every triangle pair across a seam has two images of its edge.
        for (index_t t = 0; t < surface->nb_polygons(); ++t)
        {
            const auto v = surface->polygon_vertices(t);
            for (index_t q = t + 1; q < surface->nb_polygons(); ++q)
            {
                const auto w = surface->polygon_vertices(q);
                for (const auto& seam : seams)
                {
                    const auto holds = [&](const std::array<index_t, 3>& c)
                    {
                        return std::count(c.begin(), c.end(), seam[0]) +
                                   std::count(c.begin(), c.end(), seam[1]) ==
                               2;
                    };
                    if (!holds(v) || !holds(w))
                    {
                        continue;
                    }
                    const auto image = [&](index_t triangle, index_t vertex)
                    {
                        const auto c = surface->polygon_vertices(triangle);
                        const int k = c[0] == vertex   ? 0
                                      : c[1] == vertex ? 1
                                                       : 2;
                        return atlas.corners[triangle][k];
                    };
                    EXPECT_TRUE(image(t, seam[0]) != image(q, seam[0]) ||
                                image(t, seam[1]) != image(q, seam[1]))
                        << "triangles " << t << " and " << q;
                }
            }
        }
        EXPECT_GE(atlas.nb_seam_edges, seams.size());
    }
}  // namespace nodara
