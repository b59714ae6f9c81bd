#include <cmath>

#include <gtest/gtest.h>

#include <velmora/geometry/plane.h>
#include <velmora/mesh/triangulated_surface_builder.h>

namespace nodara
{
    namespace
    {
        constexpr const char* kDivideMessage =
            "[Point::operator/] Cannot divide Point by something close to zero";

        void expect_divide_error(const Vector<3>& normal)
        {
            const Point<3> origin;
            try
            {
                const Plane plane{normal, origin};
                FAIL() << "expected an exception";
            }
            catch (const VelmoraException& error)
            {
                EXPECT_STREQ(error.what(), kDivideMessage);
            }
        }
    }  // namespace

    TEST(Plane, NormalisesItsNormalAndKeepsItsOrigin)
    {
        const Point<3> origin{{1.0, 2.0, 3.0}};
        const Plane plane{Vector<3>{{0.0, 0.0, 4.0}}, origin};
        EXPECT_EQ(plane.normal(), (Point<3>{{0.0, 0.0, 1.0}}));
        EXPECT_EQ(&plane.origin(), &origin);
        EXPECT_DOUBLE_EQ(plane.plane_constant(), -3.0);
    }

    TEST(Plane, RefusesANormalOfNearZeroOrUndefinedLength)
    {
        expect_divide_error(Vector<3>{});
        expect_divide_error(Vector<3>{{1e-31, 0.0, 0.0}});
        expect_divide_error(Vector<3>{{std::nan(""), 0.0, 1.0}});
    }

    TEST(Point, DivisionThrowsOnlyCloseToZero)
    {
        const Point<2> p{{1.0, -2.0}};
        EXPECT_EQ(p / 2.0, (Point<2>{{0.5, -1.0}}));
        EXPECT_NO_THROW(p / 2e-30);
        EXPECT_THROW(p / 1e-30, VelmoraException);
        EXPECT_THROW(p / -0.0, VelmoraException);
    }

    TEST(SurfaceMesh, PolygonNormalIsUnitOrZero)
    {
        auto surface = TriangulatedSurface<3>::create();
        TriangulatedSurfaceBuilder<3> builder{*surface};
        builder.create_point(Point<3>{{0, 0, 0}});
        builder.create_point(Point<3>{{2, 0, 0}});
        builder.create_point(Point<3>{{0, 3, 0}});
        builder.create_point(Point<3>{{4, 0, 0}});
        builder.create_triangle({0, 1, 2});
        builder.create_triangle({0, 2, 1});
        builder.create_triangle({0, 1, 3});
        EXPECT_EQ(surface->polygon_normal(0), (Point<3>{{0, 0, 1}}));
        EXPECT_EQ(surface->polygon_normal(1), (Point<3>{{0, 0, -1}}));
        EXPECT_EQ(surface->polygon_normal(2), (Point<3>{{0, 0, 0}}));
    }
}  // namespace nodara
