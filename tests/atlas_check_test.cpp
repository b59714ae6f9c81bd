#include <gtest/gtest.h>

#include <tessaplan/atlas.h>
#include <tessaplan/seam_cut.h>
#include <velmora/basic/velmora_exception.h>

#include "surface_factory.h"

namespace nodara
{
    namespace
    {
        // A flat n x n grid of unit cells in z = 0, optionally with every
        // third triangle wound the other way.
        std::unique_ptr<TriangulatedSurface<3>> flat_grid(index_t n, bool mixed)
        {
            testing::Points points;
            testing::Triangles triangles;
            testing::add_patch(points, triangles, n, 0.0);
            for (auto& p : points)
            {
                p[2] = 0.0;
            }
            if (mixed)
            {
                for (std::size_t t = 0; t < triangles.size(); t += 3)
                {
                    std::swap(triangles[t][1], triangles[t][2]);
                }
            }
            return testing::make_surface(points, triangles);
        }

        // The map that puts every vertex at its own (x, y) plus `offset`.
        CornerMap identity_map(const TriangulatedSurface<3>& surface,
                               double offset = 0.0)
        {
            CornerMap corners(surface.nb_polygons());
            for (index_t t = 0; t < surface.nb_polygons(); ++t)
            {
                for (local_index_t k = 0; k < 3; ++k)
                {
                    const auto& p =
                        surface.point(surface.polygon_vertex({t, k}));
                    corners[t][k] = Point<2>{{p[0] + offset, p[1]}};
                }
            }
            return corners;
        }

        // Moves the image of vertex v in every triangle that uses it.
        void move_vertex(const TriangulatedSurface<3>& surface,
                         CornerMap& corners, index_t v, const Point<2>& to)
        {
            for (index_t t = 0; t < surface.nb_polygons(); ++t)
            {
                for (local_index_t k = 0; k < 3; ++k)
                {
                    if (surface.polygon_vertex({t, k}) == v)
                    {
                        corners[t][k] = to;
                    }
                }
            }
        }
    }  // namespace

    TEST(CheckAtlas, AcceptsAFoldFreeMapWhateverTheWinding)
    {
        for (const bool mixed : {false, true})
        {
            const auto grid = flat_grid(4, mixed);
            const auto check = check_atlas(*grid, identity_map(*grid));
            EXPECT_TRUE(check.valid()) << mixed;
            EXPECT_EQ(check.nb_flipped_triangles, 0u) << mixed;
            EXPECT_EQ(check.nb_overlapping_pairs, 0u) << mixed;
        }
    }

    TEST(CheckAtlas, FindsAFoldInsideAChart)
    {
        // Vertex 6 (inside the 4 x 4 grid, at (0.25, 0.25)) dragged past
        // its neighbours: the triangles around it fold over.
        const auto grid = flat_grid(4, true);
        auto corners = identity_map(*grid);
        move_vertex(*grid, corners, 6, Point<2>{{0.8, 0.7}});
        const auto check = check_atlas(*grid, corners);
        EXPECT_GT(check.nb_flipped_triangles, 0u);
        EXPECT_GT(check.nb_overlapping_pairs, 0u);
        EXPECT_FALSE(check.valid());

        // A triangle whose image is a segment is flipped too.
        auto flat = identity_map(*grid);
        flat[5][2] = Point<2>{{(flat[5][0][0] + flat[5][1][0]) / 2,
                               (flat[5][0][1] + flat[5][1][1]) / 2}};
        EXPECT_GE(check_atlas(*grid, flat).nb_flipped_triangles, 1u);
    }

    TEST(CheckAtlas, LeavesFlippedTrianglesOutOfOverlapsOnGridsLargeAndSmall)
    {
        // A large grid is checked for overlaps while its flipped triangles
        // are found: a triangle of the middle cell mirrored over its lower
        // edge lies on the cell below, but once found flipped it is left
        // out of the overlaps, as on a small grid.
        for (const index_t n : {4u, 48u})
        {
            const auto grid = flat_grid(n, false);
            auto corners = identity_map(*grid);
            const index_t t = 2 * (n / 2 * n + n / 2);
            auto& corner = corners[t][2];
            corner[1] = 2 * corners[t][0][1] - corner[1];
            const auto check = check_atlas(*grid, corners);
            EXPECT_EQ(check.nb_flipped_triangles, 1u) << n;
            EXPECT_EQ(check.nb_overlapping_pairs, 0u) << n;
            // Moved on without mirroring, it overlaps and is not flipped.
            corners = identity_map(*grid);
            for (auto& p : corners[t])
            {
                p[1] -= 0.5 / n;
            }
            const auto moved = check_atlas(*grid, corners);
            EXPECT_EQ(moved.nb_flipped_triangles, 0u) << n;
            EXPECT_GT(moved.nb_overlapping_pairs, 0u) << n;
            EXPECT_EQ(moved.overlapping_pairs.size(),
                      std::min<std::size_t>(moved.nb_overlapping_pairs, 16))
                << n;
        }
    }

    TEST(CheckAtlas, FindsChartsLaidOverEachOther)
    {
        // Two charts of one surface: the left half of the grid moved right
        // by 0.3 covers part of the right half; a move by 2 clears it.
        const auto grid = flat_grid(4, false);
        for (const double shift : {0.3, 2.0})
        {
            auto corners = identity_map(*grid);
            for (index_t t = 0; t < grid->nb_polygons(); ++t)
            {
                const auto& p = grid->point(grid->polygon_vertex({t, 0}));
                const auto& q = grid->point(grid->polygon_vertex({t, 1}));
                const auto& r = grid->point(grid->polygon_vertex({t, 2}));
                if (p[0] + q[0] + r[0] < 1.5)
                {
                    for (auto& corner : corners[t])
                    {
                        corner[0] += shift;
                    }
                }
            }
            const auto check = check_atlas(*grid, corners);
            EXPECT_EQ(check.nb_flipped_triangles, 0u) << shift;
            EXPECT_EQ(check.valid(), shift > 1.0) << shift;
            if (shift < 1.0)
            {
                ASSERT_FALSE(check.overlapping_pairs.empty());
            }
        }
    }

    TEST(CheckAtlas, SkipsDegenerateTrianglesAndRefusesBadMaps)
    {
        const auto surface =
            testing::make_surface({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {2, 0, 0}},
                                  {{0, 1, 2}, {0, 1, 3}});
        CornerMap corners{
            {Point<2>{{0, 0}}, Point<2>{{1, 0}}, Point<2>{{0, 1}}},
            {Point<2>{{0, 0}}, Point<2>{{1, 0}}, Point<2>{{2, 0}}}};
        const auto check = check_atlas(*surface, corners);
        EXPECT_EQ(check.nb_degenerate_triangles, 1u);
        EXPECT_TRUE(check.valid());
        EXPECT_THROW(check_atlas(*surface, absl::MakeSpan(corners).first(1)),
                     VelmoraException);
        corners[0][1][0] = std::nan("");
        EXPECT_THROW(check_atlas(*surface, corners), VelmoraException);
    }

    TEST(CutAlongSeams, SplitsOnlyWhereImagesDiffer)
    {
        const auto surface = flat_grid(3, true);
        auto corners = identity_map(*surface);
        const auto whole = cut_along_seams(*surface, corners);
        EXPECT_EQ(whole.surface->nb_vertices(), surface->nb_vertices());
        EXPECT_EQ(whole.surface->nb_polygons(), surface->nb_polygons());

        // A triangle of the middle cell moved away: a chart of its own, with
        // three new corners and its edges on the border on both sides.
        constexpr index_t moved = 8;
        for (auto& corner : corners[moved])
        {
            corner = Point<2>{{corner[0] + 10.0, corner[1]}};
        }
        const auto cut = cut_along_seams(*surface, corners);
        ASSERT_EQ(cut.surface->nb_vertices(), surface->nb_vertices() + 3);
        ASSERT_EQ(cut.images.size(), cut.source.size());
        for (index_t t = 0; t < surface->nb_polygons(); ++t)
        {
            for (local_index_t k = 0; k < 3; ++k)
            {
                const auto c = cut.surface->polygon_vertex({t, k});
                EXPECT_EQ(cut.source[c], surface->polygon_vertex({t, k}));
                EXPECT_EQ(cut.images[c][0], corners[t][k][0]);
                EXPECT_EQ(cut.images[c][1], corners[t][k][1]);
                EXPECT_EQ(cut.surface->is_edge_on_border({t, k}),
                          t == moved || surface->is_edge_on_border({t, k}) ||
                              surface->polygon_adjacent({t, k}) == moved);
            }
        }
        corners.pop_back();
        EXPECT_THROW(cut_along_seams(*surface, corners), VelmoraException);
    }
}  // namespace nodara
