#include <algorithm>
#include <cmath>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <velmora/mesh/triangulated_surface_builder.h>

namespace nodara
{
    namespace
    {
        // Everything a builder edit may change, to compare before and after.
        template <index_t D>
        struct Snapshot
        {
            explicit Snapshot(const TriangulatedSurface<D>& surface)
            {
                for (index_t v = 0; v < surface.nb_vertices(); ++v)
                {
                    points.push_back(surface.point(v));
                }
                for (index_t p = 0; p < surface.nb_polygons(); ++p)
                {
                    polygons.push_back(surface.polygon_vertices(p));
                    std::array<index_t, 3> neighbours;
                    for (local_index_t e = 0; e < 3; ++e)
                    {
                        neighbours[e] =
                            surface.polygon_adjacent({p, e}).value_or(NO_ID);
                    }
                    adjacents.push_back(neighbours);
                }
                nb_attribute_elements =
                    surface.vertex_attribute_manager().nb_elements();
            }

            bool operator==(const Snapshot& other) const
            {
                return points == other.points && polygons == other.polygons &&
                       adjacents == other.adjacents &&
                       nb_attribute_elements == other.nb_attribute_elements;
            }

            std::vector<Point<D>> points;
            std::vector<std::array<index_t, 3>> polygons;
            std::vector<std::array<index_t, 3>> adjacents;
            index_t nb_attribute_elements{0};
        };

        // A grid of nx by ny unit cells in the plane z = 0 (or the plane
        // itself in 2D), two counter-clockwise triangles per cell, with its
        // adjacencies.
        template <index_t D>
        std::unique_ptr<TriangulatedSurface<D>> make_grid(index_t nx,
                                                          index_t ny)
        {
            auto surface = TriangulatedSurface<D>::create();
            TriangulatedSurfaceBuilder<D> builder{*surface};
            for (index_t j = 0; j <= ny; ++j)
            {
                for (index_t i = 0; i <= nx; ++i)
                {
                    Point<D> point;
                    point[0] = i;
                    point[1] = j;
                    builder.create_point(point);
                }
            }
            const auto id = [nx](index_t i, index_t j)
            { return j * (nx + 1) + i; };
            for (index_t j = 0; j < ny; ++j)
            {
                for (index_t i = 0; i < nx; ++i)
                {
                    builder.create_triangle(
                        {id(i, j), id(i + 1, j), id(i + 1, j + 1)});
                    builder.create_triangle(
                        {id(i, j), id(i + 1, j + 1), id(i, j + 1)});
                }
            }
            builder.compute_polygon_adjacencies();
            return surface;
        }

        // Twice the signed area of triangle t.
        double signed_area(const TriangulatedSurface<2>& surface, index_t t)
        {
            const auto& c = surface.polygon_vertices(t);
            const auto u = surface.point(c[1]) - surface.point(c[0]);
            const auto w = surface.point(c[2]) - surface.point(c[0]);
            return u[0] * w[1] - u[1] * w[0];
        }

        // Checks that the adjacencies of `surface` are those that
        // compute_polygon_adjacencies gives a new surface with the same
        // points and triangles.
        template <index_t D>
        void expect_adjacencies_as_recomputed(
            const TriangulatedSurface<D>& surface)
        {
            auto fresh = TriangulatedSurface<D>::create();
            TriangulatedSurfaceBuilder<D> builder{*fresh};
            for (index_t v = 0; v < surface.nb_vertices(); ++v)
            {
                builder.create_point(surface.point(v));
            }
            for (index_t p = 0; p < surface.nb_polygons(); ++p)
            {
                builder.create_triangle(surface.polygon_vertices(p));
            }
            builder.compute_polygon_adjacencies();
            for (index_t p = 0; p < surface.nb_polygons(); ++p)
            {
                for (local_index_t e = 0; e < 3; ++e)
                {
                    ASSERT_EQ(surface.polygon_adjacent({p, e}),
                              fresh->polygon_adjacent({p, e}))
                        << "polygon " << p << " edge " << int{e};
                }
            }
        }

        template <typename Call>
        void expect_error_naming(Call call, const std::string& operation)
        {
            try
            {
                call();
                FAIL() << "expected an exception from " << operation;
            }
            catch (const VelmoraException& error)
            {
                EXPECT_EQ(
                    std::string{error.what()}.rfind(
                        "[TriangulatedSurfaceBuilder::" + operation + "]", 0),
                    0u)
                    << error.what();
            }
        }
    }  // namespace

    TEST(TriangulatedSurfaceEdits, DeleteVerticesKeepsOrderAndDropsTriangles)
    {
        auto grid = make_grid<3>(3, 2);
        const Snapshot<3> before{*grid};
        std::vector<bool> to_delete(grid->nb_vertices(), false);
        to_delete[0] = true;  // a corner
        to_delete[5] = true;  // an inner vertex
        TriangulatedSurfaceBuilder<3> builder{*grid};
        const auto map = builder.delete_vertices(to_delete);

        ASSERT_EQ(map.size(), before.points.size());
        index_t next = 0;
        for (index_t v = 0; v < map.size(); ++v)
        {
            if (to_delete[v])
            {
                EXPECT_EQ(map[v], NO_ID);
                continue;
            }
            ASSERT_EQ(map[v], next++);
            EXPECT_EQ(grid->point(map[v]), before.points[v]);
        }
        EXPECT_EQ(grid->nb_vertices(), next);
        EXPECT_EQ(grid->vertex_attribute_manager().nb_elements(), next);

        std::vector<std::array<index_t, 3>> expected;
        for (const auto& corners : before.polygons)
        {
            if (!to_delete[corners[0]] && !to_delete[corners[1]] &&
                !to_delete[corners[2]])
            {
                expected.push_back(
                    {map[corners[0]], map[corners[1]], map[corners[2]]});
            }
        }
        ASSERT_EQ(grid->nb_polygons(), expected.size());
        ASSERT_LT(expected.size(), before.polygons.size());
        for (index_t p = 0; p < grid->nb_polygons(); ++p)
        {
            EXPECT_EQ(grid->polygon_vertices(p), expected[p]) << p;
        }
        expect_adjacencies_as_recomputed(*grid);
    }

    TEST(TriangulatedSurfaceEdits, DeleteVerticesWithNoneOrAllFlagged)
    {
        auto grid = make_grid<2>(2, 2);
        const Snapshot<2> before{*grid};
        TriangulatedSurfaceBuilder<2> builder{*grid};
        std::vector<index_t> identity(before.points.size());
        std::iota(identity.begin(), identity.end(), 0);
        EXPECT_EQ(
            builder.delete_vertices(std::vector<bool>(identity.size(), false)),
            identity);
        EXPECT_TRUE(Snapshot<2>{*grid} == before);

        const auto map =
            builder.delete_vertices(std::vector<bool>(identity.size(), true));
        EXPECT_EQ(map, std::vector<index_t>(identity.size(), NO_ID));
        EXPECT_EQ(grid->nb_vertices(), 0u);
        EXPECT_EQ(grid->nb_polygons(), 0u);
        EXPECT_EQ(grid->vertex_attribute_manager().nb_elements(), 0u);
    }

    TEST(TriangulatedSurfaceEdits, PermuteVerticesMovesPointsAndCorners)
    {
        auto grid = make_grid<3>(4, 3);
        const Snapshot<3> before{*grid};
        std::vector<index_t> order(grid->nb_vertices());
        std::iota(order.begin(), order.end(), 0);
        std::shuffle(order.begin(), order.end(), std::mt19937{7});
        TriangulatedSurfaceBuilder<3>{*grid}.permute_vertices(order);

        for (index_t k = 0; k < order.size(); ++k)
        {
            EXPECT_EQ(grid->point(k), before.points[order[k]]);
        }
        ASSERT_EQ(grid->nb_polygons(), before.polygons.size());
        for (index_t p = 0; p < grid->nb_polygons(); ++p)
        {
            for (local_index_t c = 0; c < 3; ++c)
            {
                EXPECT_EQ(grid->point(grid->polygon_vertex({p, c})),
                          before.points[before.polygons[p][c]]);
            }
        }
        EXPECT_EQ(Snapshot<3>{*grid}.adjacents, before.adjacents);
        expect_adjacencies_as_recomputed(*grid);
    }

    TEST(TriangulatedSurfaceEdits, SplitEdgeCutsBothSidesOfAnInnerEdge)
    {
        auto grid = make_grid<2>(2, 2);
        // Triangle 0 is (0, 1, 4); its edge 2 (4-0) is the cell diagonal
        // shared with triangle 1.
        ASSERT_EQ(grid->polygon_adjacent({0, 2}), 1u);
        const auto nb_polygons = grid->nb_polygons();
        TriangulatedSurfaceBuilder<2> builder{*grid};
        const auto m = builder.split_edge({0, 2});

        EXPECT_EQ(m, 9u);
        EXPECT_EQ(grid->nb_vertices(), 10u);
        EXPECT_EQ(grid->vertex_attribute_manager().nb_elements(), 10u);
        EXPECT_EQ(grid->point(m), (Point<2>{{0.5, 0.5}}));
        ASSERT_EQ(grid->nb_polygons(), nb_polygons + 2);
        // Triangle 0 keeps its corner 2 (vertex 4), the new triangle its
        // corner 0 (vertex 0); the cut ends are replaced by the new vertex.
        EXPECT_EQ(grid->polygon_vertices(0), (std::array<index_t, 3>{m, 1, 4}));
        EXPECT_EQ(grid->polygon_vertices(nb_polygons),
                  (std::array<index_t, 3>{0, 1, m}));
        for (index_t p = 0; p < grid->nb_polygons(); ++p)
        {
            EXPECT_GT(signed_area(*grid, p), 0.0) << p;
        }
        expect_adjacencies_as_recomputed(*grid);
    }

    TEST(TriangulatedSurfaceEdits, SplitEdgeOnTheBorderCutsOneTriangle)
    {
        auto grid = make_grid<2>(1, 1);
        ASSERT_FALSE(grid->polygon_adjacent({0, 0}));
        TriangulatedSurfaceBuilder<2> builder{*grid};
        const auto m = builder.split_edge({0, 0});
        EXPECT_EQ(grid->point(m), (Point<2>{{0.5, 0.0}}));
        EXPECT_EQ(grid->nb_polygons(), 3u);
        for (index_t p = 0; p < grid->nb_polygons(); ++p)
        {
            EXPECT_GT(signed_area(*grid, p), 0.0) << p;
        }
        expect_adjacencies_as_recomputed(*grid);
    }

    TEST(TriangulatedSurfaceEdits, SplitEdgeOfSeveralTrianglesCutsOne)
    {
        // Pages around the spine 0-1, each page's edge 0 on the spine, some
        // pages running along it the other way; splitting each page's spine
        // in turn leaves the other pages on the spine and, once two are
        // left, links them.
        for (index_t nb_pages = 3; nb_pages <= 5; ++nb_pages)
        {
            for (index_t cut = 0; cut < nb_pages; ++cut)
            {
                auto book = TriangulatedSurface<3>::create();
                TriangulatedSurfaceBuilder<3> builder{*book};
                builder.create_point(Point<3>{{0, 0, 0}});
                builder.create_point(Point<3>{{1, 0, 0}});
                for (index_t page = 0; page < nb_pages; ++page)
                {
                    const double angle = 6.28 * page / nb_pages;
                    const auto v = builder.create_point(
                        Point<3>{{0.5, std::cos(angle), std::sin(angle)}});
                    builder.create_triangle(
                        page % 2 == 0 ? std::array<index_t, 3>{0, 1, v}
                                      : std::array<index_t, 3>{1, 0, v});
                }
                builder.compute_polygon_adjacencies();
                builder.split_edge({cut, 0});
                EXPECT_EQ(book->nb_polygons(), nb_pages + 1);
                ASSERT_NO_FATAL_FAILURE(expect_adjacencies_as_recomputed(*book))
                    << nb_pages << " pages, page " << cut << " cut";
                builder.split_edge({(cut + 1) % nb_pages, 0});
                ASSERT_NO_FATAL_FAILURE(expect_adjacencies_as_recomputed(*book))
                    << nb_pages << " pages, pages " << cut << " and "
                    << (cut + 1) % nb_pages << " cut";
            }
        }
    }

    TEST(TriangulatedSurfaceEdits, SplitTriangleMakesThreeAroundTheCentroid)
    {
        auto grid = make_grid<2>(2, 1);
        const Snapshot<2> before{*grid};
        // Triangle 2 is (1, 2, 5), linked to triangle 3 across its edge 2.
        TriangulatedSurfaceBuilder<2> builder{*grid};
        const auto m = builder.split_triangle(2);
        const auto& c = before.polygons[2];
        EXPECT_EQ(grid->point(m), before.points[c[0]] * (1.0 / 3.0) +
                                      before.points[c[1]] * (1.0 / 3.0) +
                                      before.points[c[2]] * (1.0 / 3.0));
        ASSERT_EQ(grid->nb_polygons(), before.polygons.size() + 2);
        const auto first_new = static_cast<index_t>(before.polygons.size());
        EXPECT_EQ(grid->polygon_vertices(2),
                  (std::array<index_t, 3>{c[0], c[1], m}));
        EXPECT_EQ(grid->polygon_vertices(first_new),
                  (std::array<index_t, 3>{c[1], c[2], m}));
        EXPECT_EQ(grid->polygon_vertices(first_new + 1),
                  (std::array<index_t, 3>{c[2], c[0], m}));
        double area = 0;
        for (const auto p : {index_t{2}, first_new, first_new + 1})
        {
            EXPECT_GT(signed_area(*grid, p), 0.0) << p;
            area += signed_area(*grid, p);
        }
        EXPECT_DOUBLE_EQ(area, 1.0);
        expect_adjacencies_as_recomputed(*grid);
    }

    TEST(TriangulatedSurfaceEdits, RandomSplitsKeepAdjacenciesAndArea)
    {
        auto grid = make_grid<2>(3, 3);
        TriangulatedSurfaceBuilder<2> builder{*grid};
        std::mt19937 random{11};
        for (int step = 0; step < 150; ++step)
        {
            const auto p = std::uniform_int_distribution<index_t>{
                0, grid->nb_polygons() - 1}(random);
            if (step % 3 == 2)
            {
                builder.split_triangle(p);
            }
            else
            {
                const auto e = static_cast<local_index_t>(
                    std::uniform_int_distribution<int>{0, 2}(random));
                builder.split_edge({p, e});
            }
            ASSERT_NO_FATAL_FAILURE(expect_adjacencies_as_recomputed(*grid))
                << "after step " << step;
        }
        double area = 0;
        for (index_t p = 0; p < grid->nb_polygons(); ++p)
        {
            ASSERT_GT(signed_area(*grid, p), 0.0) << p;
            area += signed_area(*grid, p);
        }
        EXPECT_NEAR(area, 2 * 9.0, 1e-9);
        EXPECT_EQ(grid->vertex_attribute_manager().nb_elements(),
                  grid->nb_vertices());
    }

    TEST(TriangulatedSurfaceEdits, SplitsOnClosedSurfaces)
    {
        auto tetrahedron = TriangulatedSurface<3>::create();
        TriangulatedSurfaceBuilder<3> builder{*tetrahedron};
        builder.create_point(Point<3>{{0, 0, 0}});
        builder.create_point(Point<3>{{1, 0, 0}});
        builder.create_point(Point<3>{{0, 1, 0}});
        builder.create_point(Point<3>{{0, 0, 1}});
        builder.create_triangle({0, 2, 1});
        builder.create_triangle({0, 1, 3});
        builder.create_triangle({1, 2, 3});
        builder.create_triangle({2, 0, 3});
        builder.compute_polygon_adjacencies();
        std::mt19937 random{3};
        for (int step = 0; step < 60; ++step)
        {
            const auto p = std::uniform_int_distribution<index_t>{
                0, tetrahedron->nb_polygons() - 1}(random);
            if (step % 4 == 3)
            {
                builder.split_triangle(p);
            }
            else
            {
                builder.split_edge({p, static_cast<local_index_t>(step % 3)});
            }
            ASSERT_NO_FATAL_FAILURE(
                expect_adjacencies_as_recomputed(*tetrahedron))
                << "step " << step;
        }
        for (index_t p = 0; p < tetrahedron->nb_polygons(); ++p)
        {
            for (local_index_t e = 0; e < 3; ++e)
            {
                EXPECT_TRUE(tetrahedron->polygon_adjacent({p, e}));
            }
        }

        // Two triangles sharing all three edges: the cut triangle's other
        // neighbours are the triangle across, which is cut too.
        for (local_index_t e = 0; e < 3; ++e)
        {
            auto pillow = TriangulatedSurface<3>::create();
            TriangulatedSurfaceBuilder<3> pillow_builder{*pillow};
            pillow_builder.create_vertices(3);
            pillow_builder.create_triangle({0, 1, 2});
            pillow_builder.create_triangle({1, 0, 2});
            pillow_builder.compute_polygon_adjacencies();
            pillow_builder.split_edge({0, e});
            EXPECT_EQ(pillow->nb_polygons(), 4u);
            expect_adjacencies_as_recomputed(*pillow);
        }
    }

    TEST(TriangulatedSurfaceEdits, DeleteAfterSplitsKeepsAdjacencies)
    {
        auto grid = make_grid<3>(3, 3);
        TriangulatedSurfaceBuilder<3> builder{*grid};
        builder.split_edge({4, 1});
        builder.split_triangle(7);
        std::vector<bool> to_delete(grid->nb_vertices(), false);
        for (index_t v = 0; v < grid->nb_vertices(); v += 3)
        {
            to_delete[v] = true;
        }
        builder.delete_vertices(to_delete);
        ASSERT_GT(grid->nb_polygons(), 0u);
        expect_adjacencies_as_recomputed(*grid);
    }

    TEST(TriangulatedSurfaceEdits, BadArgumentsChangeNothing)
    {
        auto grid = make_grid<3>(2, 1);
        const Snapshot<3> before{*grid};
        TriangulatedSurfaceBuilder<3> builder{*grid};
        const auto n = grid->nb_vertices();

        expect_error_naming(
            [&] { builder.delete_vertices(std::vector<bool>(n - 1, true)); },
            "delete_vertices");
        expect_error_naming(
            [&] { builder.delete_vertices(std::vector<bool>(n + 1, false)); },
            "delete_vertices");

        std::vector<index_t> order(n);
        std::iota(order.rbegin(), order.rend(), 0);
        auto shorter = order;
        shorter.pop_back();
        expect_error_naming([&] { builder.permute_vertices(shorter); },
                            "permute_vertices");
        auto repeated = order;
        repeated[0] = repeated[1];
        expect_error_naming([&] { builder.permute_vertices(repeated); },
                            "permute_vertices");
        auto too_large = order;
        too_large[2] = n;
        expect_error_naming([&] { builder.permute_vertices(too_large); },
                            "permute_vertices");

        const auto nb_polygons = grid->nb_polygons();
        expect_error_naming(
            [&] {
                builder.split_edge({nb_polygons, 0});
            },
            "split_edge");
        expect_error_naming([&] { builder.split_edge({0, 3}); }, "split_edge");
        expect_error_naming([&] { builder.split_triangle(nb_polygons); },
                            "split_triangle");
        expect_error_naming([&] { builder.copy_vertex_attributes(n, 0); },
                            "copy_vertex_attributes");
        expect_error_naming([&] { builder.copy_vertex_attributes(0, n); },
                            "copy_vertex_attributes");
        EXPECT_TRUE(Snapshot<3>{*grid} == before);
    }

    TEST(TriangulatedSurfaceEdits, SplitEdgeRefusesAnAdjacencyWithoutTheEdge)
    {
        auto grid = make_grid<3>(2, 1);
        TriangulatedSurfaceBuilder<3> builder{*grid};
        // Triangle 0 is (0, 1, 4); triangle 3, (1, 5, 4), has no side 0-1.
        builder.set_polygon_adjacent({0, 0}, 3);
        builder.set_polygon_adjacent({1, 1}, 1);
        const Snapshot<3> before{*grid};
        expect_error_naming([&] { builder.split_edge({0, 0}); }, "split_edge");
        // Triangle 1 recorded across itself.
        expect_error_naming([&] { builder.split_edge({1, 1}); }, "split_edge");
        EXPECT_TRUE(Snapshot<3>{*grid} == before);
    }

    TEST(TriangulatedSurfaceEdits, CloneAndCopyAreIndependent)
    {
        auto grid = make_grid<3>(2, 2);
        const Snapshot<3> before{*grid};
        auto copy = grid->clone();
        EXPECT_TRUE(Snapshot<3>{*copy} == before);
        TriangulatedSurfaceBuilder<3> builder{*copy};
        builder.split_edge({0, 2});
        builder.set_point(0, Point<3>{{9, 9, 9}});
        builder.delete_vertices(std::vector<bool>(copy->nb_vertices(), false));
        EXPECT_TRUE(Snapshot<3>{*grid} == before);

        auto target = make_grid<3>(1, 1);
        TriangulatedSurfaceBuilder<3>{*target}.copy(*grid);
        EXPECT_TRUE(Snapshot<3>{*target} == before);
        TriangulatedSurfaceBuilder<3>{*target}.split_triangle(0);
        EXPECT_TRUE(Snapshot<3>{*grid} == before);
    }
}  // namespace nodara
