#include <cmath>
#include <functional>

#include <gtest/gtest.h>

#include <tessaplan/atlas_check.h>

#include "atlas/chart_validity.h"
#include "surface_factory.h"

namespace nodara
{
    namespace
    {
        constexpr index_t n = 8;
        constexpr double pi = 3.14159265358979323846;

        using PlaneMap = std::function<Point<2>(double, double)>;

        // The corners of every triangle of `surface` (a patch over
        // [0, 1]^2) at the images of their points' x and y under `f`.
        CornerMap corners_under(const TriangulatedSurface<3>& surface,
                                const PlaneMap& f)
        {
            CornerMap corners(surface.nb_polygons());
            for (index_t t = 0; t < surface.nb_polygons(); ++t)
            {
                for (local_index_t k = 0; k < 3; ++k)
                {
                    const auto& p =
                        surface.point(surface.polygon_vertex({t, k}));
                    corners[t][k] = f(p[0], p[1]);
                }
            }
            return corners;
        }

        // Whether the quick answer is the full check's, and that answer;
        // a failing map's findings are the full check's.
        bool checked_alike(const TriangulatedSurface<3>& surface,
                           const CornerMap& corners)
        {
            const auto quick = passes_atlas_check(surface, corners);
            const auto full = check_atlas(surface, corners);
            EXPECT_EQ(quick, full.valid());
            const auto chart = check_chart_map(surface, corners);
            EXPECT_EQ(chart.valid(), quick);
            if (!quick)
            {
                EXPECT_EQ(chart.nb_flipped_triangles,
                          full.nb_flipped_triangles);
                EXPECT_EQ(chart.overlapping_pairs, full.overlapping_pairs);
            }
            return quick;
        }

        std::unique_ptr<TriangulatedSurface<3>> patch()
        {
            testing::Points points;
            testing::Triangles triangles;
            testing::add_patch(points, triangles, n, 0.0);
            return testing::make_surface(points, triangles);
        }

        // The patch bent round an annulus through `turns` full turns.
        PlaneMap bent(double turns)
        {
            return [turns](double x, double y)
            {
                const double angle = 2 * pi * turns * x;
                const double radius = 1.0 + 0.5 * y;
                return Point<2>{
                    {radius * std::cos(angle), radius * std::sin(angle)}};
            };
        }
    }  // namespace

    TEST(ChartValidity, AgreesWithTheFullCheckOnMapsThatPassOrFail)
    {
        const auto surface = patch();
        const PlaneMap flat = [](double x, double y) {
            return Point<2>{{x + 0.1 * y * y, y}};
        };
        EXPECT_TRUE(checked_alike(*surface, corners_under(*surface, flat)));
        // Most of a turn passes; more than a full turn overlaps itself
        // while every triangle still turns the same way.
        EXPECT_TRUE(
            checked_alike(*surface, corners_under(*surface, bent(0.9))));
        EXPECT_FALSE(
            checked_alike(*surface, corners_under(*surface, bent(1.3))));
        // The square of the centred patch covers the plane twice around
        // the image of its centre, its triangles all turning one way.
        const PlaneMap squared = [](double x, double y)
        {
            const double u = x - 0.5;
            const double v = y - 0.5;
            return Point<2>{{u * u - v * v, 2 * u * v}};
        };
        EXPECT_FALSE(checked_alike(*surface, corners_under(*surface, squared)));
    }

    TEST(ChartValidity, AgreesWithTheFullCheckOnFlipsAndSeams)
    {
        const auto surface = patch();
        const PlaneMap flat = [](double x, double y) {
            return Point<2>{{x, y}};
        };
        // An inner vertex pushed past its neighbours flips triangles.
        const PlaneMap pushed = [](double x, double y)
        {
            const bool inner =
                std::fabs(x - 0.5) < 1e-9 && std::fabs(y - 0.5) < 1e-9;
            return Point<2>{{inner ? x + 0.3 : x, y}};
        };
        EXPECT_FALSE(checked_alike(*surface, corners_under(*surface, pushed)));
        // A triangle moved away from its neighbours (a seam) but overlapping
        // none: the quick test does not apply and the full check passes it.
        auto corners = corners_under(*surface, flat);
        for (auto& corner : corners[0])
        {
            corner = Point<2>{{corner[0] + 5.0, corner[1]}};
        }
        EXPECT_TRUE(checked_alike(*surface, corners));
        // Moved onto the patch, it overlaps.
        for (auto& corner : corners[0])
        {
            corner = Point<2>{{corner[0] - 4.8, corner[1] + 0.3}};
        }
        EXPECT_FALSE(checked_alike(*surface, corners));
        // A mirrored map turns every triangle the other way: it passes.
        const PlaneMap mirrored = [](double x, double y) {
            return Point<2>{{-x, y}};
        };
        EXPECT_TRUE(checked_alike(*surface, corners_under(*surface, mirrored)));
    }
}  // namespace nodara
