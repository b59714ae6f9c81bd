#include <chrono>
#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include <tessaplan/surface.h>

#include <tessaplan/attribute/attribute_lookup.h>
#include <tessaplan/attribute/variable_attribute.h>
#include "lscm/lscm_limits.h"
#include "surface_factory.h"

namespace nodara
{
    namespace
    {
        using testing::message_of;

        const double r = 1.0 / std::sqrt(2.0);

        std::shared_ptr<ReadOnlyAttribute<Point<2>>> uv(
            const TriangulatedSurface<3>& surface)
        {
            return find_attribute<Point<2>>(surface.vertex_attribute_manager(),
                                            "uv");
        }

        // Runs the pin step alone on a copy and returns every vertex's
        // projection, to compare with what a failed or exact solve leaves.
        std::vector<Point<2>> projections(const TriangulatedSurface<3>& surface)
        {
            const auto copy = surface.clone();
            copy->vertex_attribute_manager().delete_attribute("uv");
            try
            {
                compute_LSCM_parameterization(*copy, "uv");
            }
            catch (const VelmoraException&)
            {
            }
            std::vector<Point<2>> result;
            for (index_t v = 0; v < copy->nb_vertices(); ++v)
            {
                result.push_back(uv(*copy)->value(v));
            }
            return result;
        }

        double corner_angle(const Vector<3>& u, const Vector<3>& v)
        {
            return std::acos(u.dot(v) / (u.length() * v.length()));
        }

        Vector<3> lift(const Point<2>& p)
        {
            return Vector<3>{{p[0], p[1], 0}};
        }
    }  // namespace

    TEST(ComputeLSCMParameterization, UnitSquareComesOutAsItsProjection)
    {
        const auto square = testing::make_unit_square();
        compute_LSCM_parameterization(*square, "uv");
        const auto result = uv(*square);
        EXPECT_EQ(result->value(0), (Point<2>{{0, 0}}));
        EXPECT_EQ(result->value(1), (Point<2>{{r, -r}}));
        EXPECT_EQ(result->value(2), (Point<2>{{r + r, 0}}));
        EXPECT_EQ(result->value(3), (Point<2>{{r, r}}));
    }

    TEST(ComputeLSCMParameterization, SecondCallRewritesTheSameAttribute)
    {
        const auto square = testing::make_unit_square();
        auto attribute = find_or_create_attribute<VariableAttribute, Point<2>>(
            square->vertex_attribute_manager(), "uv", Point<2>{}, {});
        for (index_t v = 0; v < 4; ++v)
        {
            attribute->set_value(v, Point<2>{{9, 9}});
        }
        compute_LSCM_parameterization(*square, "uv");
        compute_LSCM_parameterization(*square, "uv");
        EXPECT_EQ(uv(*square), attribute);
        EXPECT_EQ(attribute->value(2), (Point<2>{{r + r, 0}}));
        EXPECT_EQ(square->vertex_attribute_manager().attribute_names().size(),
                  1u);
    }

    TEST(ComputeLSCMParameterization, NameTakenByAnotherTypeWritesNothing)
    {
        const auto square = testing::make_unit_square();
        const auto scalars =
            find_or_create_attribute<VariableAttribute, double>(
                square->vertex_attribute_manager(), "uv", 4.0, {});
        EXPECT_EQ(
            message_of([&] { compute_LSCM_parameterization(*square, "uv"); })
                .rfind("[AttributeManager::find_or_create_attribute]", 0),
            0u);
        EXPECT_EQ(scalars->value(3), 4.0);
    }

    TEST(ComputeLSCMParameterization, FreeVertexInNoTriangleKeepsItsProjection)
    {
        const auto surface = testing::make_surface(
            {{0, 0, 0}, {1, 0, 0.2}, {1, 1, 0}, {0, 1, 0.1}, {0.5, 0.4, 3}},
            {{0, 1, 2}, {0, 2, 3}});
        const auto projected = projections(*surface);
        compute_LSCM_parameterization(*surface, "uv");
        EXPECT_EQ(uv(*surface)->value(4), projected[4]);
    }

    TEST(ComputeLSCMParameterization, VerticesInNoTriangleAreNeverPinned)
    {
        // The two far lone vertices are the extremes of the whole surface,
        // but the triangle is pinned by its own vertices: it keeps its shape
        // (flat and counter-clockwise, it stays its projection) instead of
        // collapsing onto a point.
        const auto surface = testing::make_surface(
            {{-50, -50, 0}, {0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {50, 50, 0}},
            {{1, 2, 3}});
        compute_LSCM_parameterization(*surface, "uv");
        const auto projected = projections(*surface);
        for (index_t v = 0; v < 5; ++v)
        {
            EXPECT_EQ(uv(*surface)->value(v), projected[v]) << v;
        }
        EXPECT_NE(uv(*surface)->value(1), uv(*surface)->value(2));
    }

    TEST(ComputeLSCMParameterization, FailsFastOnNonFiniteSystems)
    {
        // A corner on top of another, and a non-finite coordinate, on a
        // surface large enough that running every iteration would show.
        std::vector<std::array<double, 3>> points;
        std::vector<std::array<index_t, 3>> triangles;
        const index_t n = 150;
        for (index_t i = 0; i < n; ++i)
        {
            for (index_t j = 0; j < n; ++j)
            {
                points.push_back({1.0 * i, 1.0 * j, 0.1 * std::sin(i + j)});
            }
        }
        for (index_t i = 0; i + 1 < n; ++i)
        {
            for (index_t j = 0; j + 1 < n; ++j)
            {
                const index_t v = i * n + j;
                triangles.push_back({v, v + n, v + n + 1});
                triangles.push_back({v, v + n + 1, v + 1});
            }
        }
        for (const double bad : {0.0, std::numeric_limits<double>::quiet_NaN(),
                                 std::numeric_limits<double>::infinity()})
        {
            auto corrupted = points;
            corrupted[n + 1] = std::isfinite(bad)
                                   ? points[n]
                                   : std::array<double, 3>{bad, 1.0, 0.0};
            const auto surface = testing::make_surface(corrupted, triangles);
            const auto projected = projections(*surface);
            const auto start = std::chrono::steady_clock::now();
            EXPECT_EQ(
                message_of([&]
                           { compute_LSCM_parameterization(*surface, "uv"); }),
                "[LSCM::solve] Solving failed");
            // Tens of seconds if the solver iterated 100 x nb_vertices times.
            EXPECT_LT(std::chrono::steady_clock::now() - start,
                      std::chrono::seconds(5));
            for (index_t v = 0; v < surface->nb_vertices(); v += 97)
            {
                const auto value = uv(*surface)->value(v);
                const auto expected = projected[v];
                EXPECT_TRUE(value == expected ||
                            (std::isnan(value[0]) && std::isnan(expected[0])))
                    << v;
            }
        }
    }

    TEST(ComputeLSCMParameterization, RejectsTooFewVerticesAndHugeCounts)
    {
        const auto single = testing::make_surface({{0, 0, 0}}, {});
        const auto empty = TriangulatedSurface<3>::create();
        for (const auto* surface : {single.get(), empty.get()})
        {
            EXPECT_EQ(
                message_of([&]
                           { compute_LSCM_parameterization(*surface, "uv"); })
                    .rfind("[LSCM::LSCM] The surface has fewer than two", 0),
                0u);
            EXPECT_FALSE(
                surface->vertex_attribute_manager().attribute_exists("uv"));
        }
        EXPECT_NO_THROW(check_lscm_counts(42949672, 357913941));
        EXPECT_THROW(check_lscm_counts(42949673, 0), VelmoraException);
        EXPECT_THROW(check_lscm_counts(3, 357913942), VelmoraException);
        EXPECT_THROW(check_lscm_counts(NO_ID, NO_ID), VelmoraException);
    }

    TEST(ComputeLSCMParameterization, DevelopsACylinderPatchIsometrically)
    {
        // A quarter of a cylinder of radius 2, meshed irregularly: LSCM must
        // give its development up to a similarity, so every triangle keeps
        // its angles.
        std::vector<std::array<double, 3>> points;
        std::vector<std::array<index_t, 3>> triangles;
        const index_t nu = 14;
        const index_t nv = 9;
        for (index_t j = 0; j < nv; ++j)
        {
            for (index_t i = 0; i < nu; ++i)
            {
                const double jitter = 0.02 * std::sin(3.0 * i + 7.0 * j);
                const double theta = (i + jitter) * 1.5 / (nu - 1);
                const double z = 3.0 * (j + jitter) / (nv - 1);
                points.push_back({2 * std::cos(theta), 2 * std::sin(theta), z});
            }
        }
        for (index_t j = 0; j + 1 < nv; ++j)
        {
            for (index_t i = 0; i + 1 < nu; ++i)
            {
                const index_t v = j * nu + i;
                triangles.push_back({v, v + 1, v + nu + 1});
                triangles.push_back({v, v + nu + 1, v + nu});
            }
        }
        const auto surface = testing::make_surface(points, triangles);
        compute_LSCM_parameterization(*surface, "uv");
        const auto map = uv(*surface);
        // The mesh is piecewise flat, so its own triangles are what must be
        // kept: compare the angles of every 3D triangle and its image.
        double worst = 0;
        for (index_t t = 0; t < surface->nb_polygons(); ++t)
        {
            const auto& c = surface->polygon_vertices(t);
            for (int k = 0; k < 3; ++k)
            {
                const auto a = c[k];
                const auto b = c[(k + 1) % 3];
                const auto d = c[(k + 2) % 3];
                const auto angle3d = corner_angle(
                    Vector<3>{surface->point(a), surface->point(b)},
                    Vector<3>{surface->point(a), surface->point(d)});
                const auto angle2d = corner_angle(
                    Vector<3>{lift(map->value(a)), lift(map->value(b))},
                    Vector<3>{lift(map->value(a)), lift(map->value(d))});
                worst = std::max(worst, std::fabs(angle3d - angle2d));
            }
        }
        EXPECT_LT(worst, 1e-6);
    }
}  // namespace nodara
