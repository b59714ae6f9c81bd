// The functions that hand the map out as values agree exactly with the ones
// that keep it in a vertex attribute, and leave the surface alone.
#include <cstring>

#include <gtest/gtest.h>

#include <tessaplan/conversion.h>
#include <tessaplan/distortion.h>
#include <tessaplan/lscm.h>

#include <tessaplan/attribute/attribute_lookup.h>
#include <tessaplan/attribute/variable_attribute.h>
#include "surface_factory.h"

namespace nodara
{
    namespace
    {
        using testing::message_of;

        // Two curved patches apart: two pieces, two pins each.
        std::unique_ptr<TriangulatedSurface<3>> two_patches()
        {
            testing::Points points;
            testing::Triangles triangles;
            testing::add_patch(points, triangles, 4, 0.0);
            testing::add_patch(points, triangles, 3, 2.5);
            return testing::make_surface(points, triangles);
        }

        std::vector<Point<2>> stored_map(const TriangulatedSurface<3>& surface)
        {
            const auto attribute = find_attribute<Point<2>>(
                surface.vertex_attribute_manager(), "uv");
            std::vector<Point<2>> map;
            for (index_t v = 0; v < surface.nb_vertices(); ++v)
            {
                map.push_back(attribute->value(v));
            }
            return map;
        }

        // Bit for bit, NaN included.
        bool same_bits(const std::vector<double>& a,
                       const std::vector<double>& b)
        {
            return a.size() == b.size() &&
                   std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) ==
                       0;
        }
    }  // namespace

    TEST(MapValues, LSCMMapIsTheStoredMapAndAddsNoAttribute)
    {
        const auto surface = two_patches();
        const auto solution = solve_LSCM(*surface);
        EXPECT_TRUE(
            surface->vertex_attribute_manager().attribute_names().empty());
        EXPECT_EQ(compute_LSCM_map(*surface), solution.map);

        compute_LSCM_parameterization(*surface, "uv");
        EXPECT_EQ(solution.map, stored_map(*surface));
        ASSERT_EQ(solution.pinned_vertices.size(), 4u);
        for (const auto v : solution.pinned_vertices)
        {
            EXPECT_LT(v, surface->nb_vertices());
        }
        EXPECT_GT(solution.statistics.iterations, -1);
    }

    TEST(MapValues, LSCMMapFailsLikeTheStoredOne)
    {
        const auto lone = testing::make_surface({{0, 0, 0}}, {});
        const auto expected =
            message_of([&] { compute_LSCM_parameterization(*lone, "uv"); });
        ASSERT_NE(expected, "no exception");
        EXPECT_EQ(message_of([&] { compute_LSCM_map(*lone); }), expected);
        EXPECT_EQ(message_of([&] { solve_LSCM(*lone); }), expected);
    }

    TEST(MapValues, DistortionsOfPointsAreThoseOfTheAttribute)
    {
        const auto surface = two_patches();
        compute_LSCM_parameterization(*surface, "uv");
        auto map = stored_map(*surface);
        // A zero-area image and a flip, so that NaN and flags take part.
        map[1] = map[0];
        std::swap(map[20], map[21]);
        auto attribute = find_or_create_attribute<VariableAttribute, Point<2>>(
            surface->vertex_attribute_manager(), "uv", Point<2>{}, {});
        for (index_t v = 0; v < surface->nb_vertices(); ++v)
        {
            attribute->set_value(v, map[v]);
        }
        const auto by_name = compute_triangle_distortions(*surface, "uv");
        const auto by_value = compute_triangle_distortions(*surface, map);
        EXPECT_TRUE(same_bits(by_value.conformal, by_name.conformal));
        EXPECT_TRUE(same_bits(by_value.area, by_name.area));
        EXPECT_TRUE(
            same_bits(by_value.signed_image_area, by_name.signed_image_area));
        EXPECT_EQ(by_value.flipped, by_name.flipped);
        EXPECT_EQ(by_value.collapsed, by_name.collapsed);
        EXPECT_EQ(by_value.piece, by_name.piece);
        EXPECT_EQ(by_value.pieces.size(), 2u);
        const auto summary = compute_distortion_summary(*surface, map);
        EXPECT_EQ(
            summary.nb_flipped_triangles,
            compute_distortion_summary(*surface, "uv").nb_flipped_triangles);
        EXPECT_GT(summary.nb_flipped_triangles, 0u);
    }

    TEST(MapValues, ConversionOfPointsIsThatOfTheAttribute)
    {
        const auto surface = two_patches();
        compute_LSCM_parameterization(*surface, "uv");
        const auto map = stored_map(*surface);
        const auto by_name = convert_surface3d_into_2d(*surface, "uv");
        const auto by_value = convert_surface3d_into_2d(*surface, map);
        ASSERT_EQ(by_value->nb_vertices(), by_name->nb_vertices());
        ASSERT_EQ(by_value->nb_polygons(), by_name->nb_polygons());
        for (index_t v = 0; v < map.size(); ++v)
        {
            EXPECT_EQ(by_value->point(v), map[v]);
        }
        for (index_t t = 0; t < by_value->nb_polygons(); ++t)
        {
            EXPECT_EQ(by_value->polygon_vertices(t),
                      by_name->polygon_vertices(t));
            for (local_index_t e = 0; e < 3; ++e)
            {
                EXPECT_EQ(by_value->polygon_adjacent({t, e}),
                          by_name->polygon_adjacent({t, e}));
            }
        }
    }

    TEST(MapValues, OnePointPerVertexIsRequired)
    {
        const auto square = testing::make_unit_square();
        for (const std::size_t size : {3u, 5u})
        {
            const std::vector<Point<2>> map(size);
            EXPECT_EQ(
                message_of([&] { compute_triangle_distortions(*square, map); })
                    .rfind("[compute_triangle_distortions] Expected one "
                           "point per vertex",
                           0),
                0u);
            EXPECT_EQ(
                message_of([&] { compute_distortion_summary(*square, map); })
                    .rfind("[compute_triangle_distortions]", 0),
                0u);
            EXPECT_EQ(
                message_of([&] { convert_surface3d_into_2d(*square, map); })
                    .rfind("[convert_surface3d_into_2d] Expected one point "
                           "per vertex",
                           0),
                0u);
        }
    }
}  // namespace nodara
