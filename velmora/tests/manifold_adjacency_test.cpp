#include <gtest/gtest.h>

#include <algorithm>

#include <velmora/mesh/manifold_adjacency.h>
#include <velmora/mesh/triangulated_surface_builder.h>

#include "triangles_surface.h"

namespace nodara
{
    namespace
    {
        using testing::make_triangles;
        using Triangles = std::vector<std::array<index_t, 3>>;

        // The neighbour across each side by comparing every pair of sides:
        // the other polygon when exactly two sides join the same vertices.
        std::vector<std::array<index_t, 3>> by_brute_force(
            const Triangles& triangles)
        {
            const auto ends = [&](std::size_t t, int e)
            {
                const auto a = triangles[t][e];
                const auto b = triangles[t][(e + 1) % 3];
                return std::make_pair(std::min(a, b), std::max(a, b));
            };
            std::vector<std::array<index_t, 3>> result(triangles.size(),
                                                       {NO_ID, NO_ID, NO_ID});
            for (std::size_t t = 0; t < triangles.size(); ++t)
            {
                for (int e = 0; e < 3; ++e)
                {
                    std::vector<std::size_t> others;
                    for (std::size_t q = 0; q < triangles.size(); ++q)
                    {
                        for (int f = 0; f < 3; ++f)
                        {
                            if ((q != t || f != e) && ends(q, f) == ends(t, e))
                            {
                                others.push_back(q);
                            }
                        }
                    }
                    if (others.size() == 1)
                    {
                        result[t][e] = static_cast<index_t>(others[0]);
                    }
                }
            }
            return result;
        }

        void expect_brute_force(index_t nb_vertices, const Triangles& triangles)
        {
            const auto surface = make_triangles(nb_vertices, triangles);
            const auto adjacencies = compute_manifold_adjacencies(*surface);
            const auto expected = by_brute_force(triangles);
            ASSERT_EQ(adjacencies.size(), expected.size());
            for (std::size_t t = 0; t < expected.size(); ++t)
            {
                EXPECT_EQ(adjacencies[t], expected[t]) << "triangle " << t;
            }
        }
    }  // namespace

    TEST(ManifoldAdjacency, MatchesEveryPairOfSidesCompared)
    {
        // A double cone: apexes 0 and 1 over a rim of 40 vertices, so that
        // each apex has more sides than a vertex usually does; then a
        // third triangle on a rim edge, which makes that edge a border on
        // all three, and a lone triangle sharing a vertex only.
        const index_t rim = 40;
        Triangles triangles;
        for (index_t i = 0; i < rim; ++i)
        {
            const auto a = 2 + i;
            const auto b = 2 + (i + 1) % rim;
            triangles.push_back({0, a, b});
            triangles.push_back({1, b, a});
        }
        expect_brute_force(2 + rim, triangles);
        triangles.push_back({2, 3, 2 + rim});
        triangles.push_back({2 + rim, 3 + rim, 4 + rim});
        expect_brute_force(5 + rim, triangles);
        // The same triangles listed in another order, corners turned.
        std::reverse(triangles.begin(), triangles.end());
        for (auto& t : triangles)
        {
            std::rotate(t.begin(), t.begin() + 1, t.end());
        }
        expect_brute_force(5 + rim, triangles);
    }
}  // namespace nodara
