#include <gtest/gtest.h>

#include <velmora/mesh/polygon_orientation.h>
#include <velmora/mesh/triangulated_surface_builder.h>

#include "triangles_surface.h"

namespace nodara
{
    namespace
    {
        using testing::make_triangles;
        PolygonOrientation orient(const TriangulatedSurface<3>& surface)
        {
            const auto adjacencies = compute_manifold_adjacencies(surface);
            return compute_polygon_orientation(
                surface, adjacencies, compute_polygon_components(adjacencies));
        }
    }  // namespace

    TEST(PolygonComponents, JoinPolygonsOnlyAcrossEdgesOfTwoPolygons)
    {
        // 0-1: one edge apart; 2 touches 1 at vertex 3 only (a bow-tie);
        // 3, 4, 5 share the edge 6-7 (non-manifold); 6 is on its own.
        const auto surface = make_triangles(12, {{0, 1, 2},
                                                 {2, 1, 3},
                                                 {3, 4, 5},
                                                 {6, 7, 8},
                                                 {7, 6, 9},
                                                 {6, 7, 10},
                                                 {9, 10, 11}});
        const auto components = compute_polygon_components(*surface);
        EXPECT_EQ(components.nb_components, 6u);
        EXPECT_EQ(components.component,
                  (std::vector<index_t>{0, 0, 1, 2, 3, 4, 5}));
        EXPECT_EQ(compute_polygon_components(*TriangulatedSurface<3>::create())
                      .nb_components,
                  0u);
    }

    TEST(PolygonComponents, IgnoreTheAdjacencyTheSurfaceStores)
    {
        // Built without compute_polygon_adjacencies: the stored adjacency
        // is all border, yet the two triangles form one piece.
        const auto surface = make_triangles(4, {{0, 1, 2}, {0, 2, 3}});
        ASSERT_TRUE(surface->is_edge_on_border({0, 2}));
        EXPECT_EQ(compute_polygon_components(*surface).nb_components, 1u);
    }

    TEST(PolygonOrientation, ReversesTrianglesAgainstTheirPiecesFirst)
    {
        // A fan around vertex 0 where triangles 1 and 3 are wound the other
        // way, and a second piece whose first triangle is the odd one.
        const auto surface = make_triangles(
            10,
            {{0, 1, 2}, {0, 3, 2}, {0, 3, 4}, {0, 5, 4}, {6, 7, 8}, {7, 8, 9}});
        const auto orientation = orient(*surface);
        EXPECT_EQ(orientation.reversed,
                  (std::vector<bool>{false, true, false, true, false, true}));
        EXPECT_EQ(orientation.orientable, (std::vector<bool>{true, true}));
    }

    TEST(PolygonOrientation, FindsAMoebiusStripNonOrientable)
    {
        // A strip of 4 quads between top vertices 0-4 and bottom vertices
        // 5-9, closed with a half twist; a separate triangle stays
        // orientable.
        std::vector<std::array<index_t, 3>> triangles;
        const index_t n = 5;
        for (index_t i = 0; i + 1 < n; ++i)
        {
            triangles.push_back({i, n + i, i + 1});
            triangles.push_back({i + 1, n + i, n + i + 1});
        }
        triangles.push_back({n - 1, 2 * n - 1, n});
        triangles.push_back({n, 2 * n - 1, 0});
        triangles.push_back({10, 11, 12});
        const auto surface = make_triangles(13, triangles);
        const auto orientation = orient(*surface);
        EXPECT_EQ(orientation.orientable, (std::vector<bool>{false, true}));

        // The same strip closed without the twist is an orientable band.
        triangles[8] = {n - 1, 2 * n - 1, 0};
        triangles[9] = {0, 2 * n - 1, n};
        EXPECT_EQ(orient(*make_triangles(13, triangles)).orientable,
                  (std::vector<bool>{true, true}));
    }
}  // namespace nodara
