#include <numeric>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include <tessaplan/attribute/attribute_lookup.h>
#include <tessaplan/attribute/variable_attribute.h>
#include "surface_factory.h"

namespace nodara
{
    namespace
    {
        // A 4 by 3 grid of unit cells in z = 0 with a Point<3> attribute
        // "position" equal to every vertex's point and a double attribute
        // "origin" holding every vertex's first id.
        std::unique_ptr<TriangulatedSurface<3>> make_tagged_grid()
        {
            std::vector<std::array<double, 3>> points;
            std::vector<std::array<index_t, 3>> triangles;
            const index_t nx = 4;
            const index_t ny = 3;
            for (index_t j = 0; j <= ny; ++j)
            {
                for (index_t i = 0; i <= nx; ++i)
                {
                    points.push_back({1.0 * i, 1.0 * j, 0.1 * i * j});
                }
            }
            for (index_t j = 0; j < ny; ++j)
            {
                for (index_t i = 0; i < nx; ++i)
                {
                    const auto v = j * (nx + 1) + i;
                    triangles.push_back({v, v + 1, v + nx + 2});
                    triangles.push_back({v, v + nx + 2, v + nx + 1});
                }
            }
            auto surface = testing::make_surface(points, triangles);
            auto& manager = surface->vertex_attribute_manager();
            const auto position =
                find_or_create_attribute<VariableAttribute, Point<3>>(
                    manager, "position", Point<3>{}, {true, false});
            const auto origin =
                find_or_create_attribute<VariableAttribute, double>(
                    manager, "origin", -1.0, {});
            for (index_t v = 0; v < surface->nb_vertices(); ++v)
            {
                position->set_value(v, surface->point(v));
                origin->set_value(v, v);
            }
            return surface;
        }

        std::shared_ptr<VariableAttribute<double>> origin_of(
            const TriangulatedSurface<3>& surface)
        {
            return find_or_create_attribute<VariableAttribute, double>(
                surface.vertex_attribute_manager(), "origin", -1.0, {});
        }

        std::shared_ptr<VariableAttribute<Point<3>>> position_of(
            const TriangulatedSurface<3>& surface)
        {
            return find_or_create_attribute<VariableAttribute, Point<3>>(
                surface.vertex_attribute_manager(), "position", Point<3>{}, {});
        }

        std::vector<double> origins(const TriangulatedSurface<3>& surface)
        {
            const auto origin = origin_of(surface);
            std::vector<double> values;
            for (index_t v = 0; v < surface.nb_vertices(); ++v)
            {
                values.push_back(origin->value(v));
            }
            return values;
        }
    }  // namespace

    TEST(SurfaceEditAttributes, CloneCarriesIndependentAttributes)
    {
        const auto grid = make_tagged_grid();
        const auto before = origins(*grid);
        const auto copy = grid->clone();
        EXPECT_EQ(copy->vertex_attribute_manager().attribute_names(),
                  grid->vertex_attribute_manager().attribute_names());
        EXPECT_NE(origin_of(*copy), origin_of(*grid));
        EXPECT_EQ(origins(*copy), before);
        EXPECT_TRUE(position_of(*copy)->flags().assignable);
        EXPECT_EQ(origin_of(*copy)->default_value(), -1.0);

        origin_of(*copy)->set_value(0, 99.0);
        TriangulatedSurfaceBuilder<3> builder{*copy};
        builder.split_edge({0, 0});
        builder.delete_vertices(std::vector<bool>(copy->nb_vertices(), true));
        EXPECT_EQ(origins(*grid), before);
        EXPECT_EQ(grid->vertex_attribute_manager().nb_elements(),
                  grid->nb_vertices());
    }

    TEST(SurfaceEditAttributes, DeleteAndPermuteCarryValues)
    {
        auto grid = make_tagged_grid();
        TriangulatedSurfaceBuilder<3> builder{*grid};
        std::vector<bool> to_delete(grid->nb_vertices(), false);
        to_delete[1] = to_delete[7] = to_delete[grid->nb_vertices() - 1] = true;
        const auto map = builder.delete_vertices(to_delete);
        const auto origin = origin_of(*grid);
        ASSERT_EQ(origin->nb_values(), grid->nb_vertices());
        for (index_t v = 0; v < map.size(); ++v)
        {
            if (map[v] != NO_ID)
            {
                EXPECT_EQ(origin->value(map[v]), v);
            }
        }

        const auto kept = origins(*grid);
        std::vector<index_t> order(grid->nb_vertices());
        std::iota(order.begin(), order.end(), 0);
        std::shuffle(order.begin(), order.end(), std::mt19937{1});
        builder.permute_vertices(order);
        for (index_t k = 0; k < order.size(); ++k)
        {
            EXPECT_EQ(origin->value(k), kept[order[k]]);
        }
    }

    TEST(SurfaceEditAttributes, SplitsInterpolateValues)
    {
        auto grid = make_tagged_grid();
        TriangulatedSurfaceBuilder<3> builder{*grid};
        const auto corners = grid->polygon_vertices(5);
        const auto m = builder.split_edge({5, 1});
        const auto origin = origin_of(*grid);
        EXPECT_EQ(origin->value(m), 0.5 * corners[1] + 0.5 * corners[2]);

        const auto thirds = grid->polygon_vertices(2);
        const auto c = builder.split_triangle(2);
        EXPECT_DOUBLE_EQ(origin->value(c),
                         (1.0 * thirds[0] + thirds[1] + thirds[2]) / 3.0);

        builder.copy_vertex_attributes(3, m);
        EXPECT_EQ(origin->value(m), 3.0);
        EXPECT_EQ(position_of(*grid)->value(m), grid->point(3));
        EXPECT_NE(grid->point(m), grid->point(3));
    }

    TEST(SurfaceEditAttributes, PositionsFollowAnyEditSequence)
    {
        // "position" starts equal to the points; splits interpolate it as
        // they place the new points, so it must stay equal to them exactly.
        auto grid = make_tagged_grid();
        TriangulatedSurfaceBuilder<3> builder{*grid};
        std::mt19937 random{17};
        for (int step = 0; step < 60; ++step)
        {
            const auto n = grid->nb_vertices();
            switch (step % 4)
            {
                case 0:
                case 1:
                {
                    const auto p = std::uniform_int_distribution<index_t>{
                        0, grid->nb_polygons() - 1}(random);
                    builder.split_edge(
                        {p, static_cast<local_index_t>(step % 3)});
                    break;
                }
                case 2:
                {
                    std::vector<bool> to_delete(n, false);
                    to_delete[std::uniform_int_distribution<index_t>{
                        0, n - 1}(random)] = true;
                    builder.delete_vertices(to_delete);
                    break;
                }
                default:
                {
                    std::vector<index_t> order(n);
                    std::iota(order.begin(), order.end(), 0);
                    std::shuffle(order.begin(), order.end(), random);
                    builder.permute_vertices(order);
                    if (grid->nb_polygons() > 0)
                    {
                        builder.split_triangle(0);
                    }
                }
            }
            ASSERT_GT(grid->nb_polygons(), 0u);
            const auto position = position_of(*grid);
            ASSERT_EQ(position->nb_values(), grid->nb_vertices());
            for (index_t v = 0; v < grid->nb_vertices(); ++v)
            {
                ASSERT_EQ(position->value(v), grid->point(v))
                    << "vertex " << v << " after step " << step;
            }
        }
    }

    TEST(SurfaceEditAttributes, BadEditsLeaveAttributesAlone)
    {
        auto grid = make_tagged_grid();
        const auto before = origins(*grid);
        TriangulatedSurfaceBuilder<3> builder{*grid};
        const auto n = grid->nb_vertices();
        EXPECT_THROW(builder.delete_vertices(std::vector<bool>(n + 1, true)),
                     VelmoraException);
        std::vector<index_t> order(n, 0);
        EXPECT_THROW(builder.permute_vertices(order), VelmoraException);
        EXPECT_THROW(builder.split_edge({grid->nb_polygons(), 0}),
                     VelmoraException);
        EXPECT_THROW(builder.split_triangle(grid->nb_polygons()),
                     VelmoraException);
        EXPECT_THROW(builder.copy_vertex_attributes(0, n), VelmoraException);
        EXPECT_EQ(origins(*grid), before);
        EXPECT_EQ(grid->vertex_attribute_manager().nb_elements(), n);
    }
}  // namespace nodara
