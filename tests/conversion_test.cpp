#include <stdexcept>

#include <gtest/gtest.h>

#include <tessaplan/conversion.h>

#include <tessaplan/attribute/attribute_lookup.h>
#include <tessaplan/attribute/variable_attribute.h>
#include "surface_factory.h"

namespace nodara
{
    namespace
    {
        std::shared_ptr<VariableAttribute<Point<2>>> add_uv(
            const TriangulatedSurface<3>& surface)
        {
            auto uv = find_or_create_attribute<VariableAttribute, Point<2>>(
                surface.vertex_attribute_manager(), "uv", Point<2>{}, {});
            for (index_t v = 0; v < surface.nb_vertices(); ++v)
            {
                uv->set_value(v, Point<2>{{1.0 * v, -0.5 * v}});
            }
            return uv;
        }

        // Two triangles sharing edge 1-2 and a vertex (4) in no triangle.
        std::unique_ptr<TriangulatedSurface<3>> make_pair_with_lone_vertex()
        {
            return testing::make_surface(
                {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 1}, {5, 5, 5}},
                {{0, 1, 2}, {2, 1, 3}});
        }
    }  // namespace

    TEST(ConvertSurface3dInto2d, CopiesPointsTrianglesAndAdjacencies)
    {
        const auto surface = make_pair_with_lone_vertex();
        const auto uv = add_uv(*surface);
        const auto flat = convert_surface3d_into_2d(*surface, "uv");
        ASSERT_EQ(flat->nb_vertices(), 5u);
        ASSERT_EQ(flat->nb_polygons(), 2u);
        for (index_t v = 0; v < 5; ++v)
        {
            EXPECT_EQ(flat->point(v), uv->value(v));
        }
        for (index_t t = 0; t < 2; ++t)
        {
            EXPECT_EQ(flat->polygon_vertices(t), surface->polygon_vertices(t));
            for (local_index_t e = 0; e < 3; ++e)
            {
                EXPECT_EQ(flat->polygon_adjacent({t, e}),
                          surface->polygon_adjacent({t, e}));
            }
        }
        EXPECT_EQ(flat->polygon_adjacent({0, 1}), 1u);
        EXPECT_EQ(flat->polygon_adjacent({1, 0}), 0u);
        EXPECT_FALSE(flat->vertex_attribute_manager().attribute_exists("uv"));
    }

    TEST(ConvertSurface3dInto2d, IsRepeatableAndLeavesTheInputAlone)
    {
        const auto surface = make_pair_with_lone_vertex();
        add_uv(*surface);
        const auto first = convert_surface3d_into_2d(*surface, "uv");
        const auto second = convert_surface3d_into_2d(*surface, "uv");
        EXPECT_NE(first.get(), second.get());
        for (index_t v = 0; v < 5; ++v)
        {
            EXPECT_EQ(first->point(v), second->point(v));
        }
        EXPECT_EQ(surface->point(3), (Point<3>{{1, 1, 1}}));
        EXPECT_EQ(surface->vertex_attribute_manager().attribute_names(),
                  std::vector<std::string>{"uv"});
    }

    TEST(ConvertSurface3dInto2d, EmptySurfaceGivesEmptySurface)
    {
        const auto surface = TriangulatedSurface<3>::create();
        add_uv(*surface);
        const auto flat = convert_surface3d_into_2d(*surface, "uv");
        EXPECT_EQ(flat->nb_vertices(), 0u);
        EXPECT_EQ(flat->nb_polygons(), 0u);
    }

    TEST(ConvertSurface3dInto2d, RefusesAMissingOrMistypedAttribute)
    {
        const auto surface = testing::make_unit_square();
        find_or_create_attribute<VariableAttribute, Point<3>>(
            surface->vertex_attribute_manager(), "p3", Point<3>{}, {});
        for (const char* name : {"missing", "p3"})
        {
            try
            {
                convert_surface3d_into_2d(*surface, name);
                FAIL() << name;
            }
            catch (const VelmoraException& error)
            {
                EXPECT_STREQ(
                    error.what(),
                    "[AttributeManager::find_attribute] You have to create "
                    "an attribute before using it. See "
                    "find_or_create_attribute method and derived classes of "
                    "ReadOnlyAttribute.");
            }
        }
    }
}  // namespace nodara
