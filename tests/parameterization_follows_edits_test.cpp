#include <algorithm>
#include <array>
#include <map>
#include <numeric>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include <tessaplan/surface.h>

#include <tessaplan/attribute/attribute_lookup.h>
#include <tessaplan/attribute/variable_attribute.h>
#include "surface_factory.h"

namespace nodara
{
    namespace
    {
        using Key = std::array<double, 3>;

        Key key_of(const Point<3>& point)
        {
            return {point[0], point[1], point[2]};
        }

        // A curved 7 by 5 grid: z = 0.2 x y - 0.1 x^2, distinct points.
        std::unique_ptr<TriangulatedSurface<3>> make_saddle()
        {
            const index_t nx = 7;
            const index_t ny = 5;
            std::vector<std::array<double, 3>> points;
            std::vector<std::array<index_t, 3>> triangles;
            for (index_t j = 0; j <= ny; ++j)
            {
                for (index_t i = 0; i <= nx; ++i)
                {
                    const double x = 0.5 * i;
                    const double y = 0.5 * j;
                    points.push_back({x, y, 0.2 * x * y - 0.1 * x * x});
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
            return testing::make_surface(points, triangles);
        }

        // Every vertex's 2D point under `name`, keyed by its 3D point.
        std::map<Key, Point<2>> parameters_by_point(
            const TriangulatedSurface<3>& surface, absl::string_view name)
        {
            const auto uv = find_attribute<Point<2>>(
                surface.vertex_attribute_manager(), name);
            std::map<Key, Point<2>> by_point;
            for (index_t v = 0; v < surface.nb_vertices(); ++v)
            {
                by_point.emplace(key_of(surface.point(v)), uv->value(v));
            }
            return by_point;
        }
    }  // namespace

    TEST(ParameterizationFollowsEdits, EveryVertexKeepsItsOwnPoint)
    {
        auto surface = make_saddle();
        compute_LSCM_parameterization(*surface, "uv");
        const auto original = parameters_by_point(*surface, "uv");
        ASSERT_EQ(original.size(), surface->nb_vertices());
        // The map is not constant, so a value left at the wrong vertex
        // shows.
        std::vector<Point<2>> distinct;
        for (const auto& entry : original)
        {
            if (std::find(distinct.begin(), distinct.end(), entry.second) ==
                distinct.end())
            {
                distinct.push_back(entry.second);
            }
        }
        ASSERT_EQ(distinct.size(), original.size());

        const auto copy = surface->clone();
        TriangulatedSurfaceBuilder<3> builder{*surface};
        std::vector<bool> to_delete(surface->nb_vertices(), false);
        for (index_t v = 0; v < surface->nb_vertices(); v += 5)
        {
            to_delete[v] = true;
        }
        builder.delete_vertices(to_delete);
        std::vector<index_t> order(surface->nb_vertices());
        std::iota(order.begin(), order.end(), 0);
        std::shuffle(order.begin(), order.end(), std::mt19937{23});
        builder.permute_vertices(order);

        const auto uv =
            find_attribute<Point<2>>(surface->vertex_attribute_manager(), "uv");
        ASSERT_LT(surface->nb_vertices(), original.size());
        for (index_t v = 0; v < surface->nb_vertices(); ++v)
        {
            const auto found = original.find(key_of(surface->point(v)));
            ASSERT_NE(found, original.end());
            EXPECT_EQ(uv->value(v), found->second) << "vertex " << v;
        }

        // A split places the new vertex halfway in both spaces.
        const auto a = surface->polygon_vertex({3, 0});
        const auto b = surface->polygon_vertex({3, 1});
        const auto m = builder.split_edge({3, 0});
        EXPECT_EQ(uv->value(m), uv->value(a) * 0.5 + uv->value(b) * 0.5);

        // The flattened surface puts every vertex at its own 2D point.
        const auto flat = convert_surface3d_into_2d(*surface, "uv");
        ASSERT_EQ(flat->nb_vertices(), surface->nb_vertices());
        for (index_t v = 0; v < surface->nb_vertices(); ++v)
        {
            EXPECT_EQ(flat->point(v), uv->value(v));
        }

        // The copy taken before the edits still has all its values.
        EXPECT_EQ(parameters_by_point(*copy, "uv"), original);
    }
}  // namespace nodara
