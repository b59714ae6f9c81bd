#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include <velmora/geometry/plane.h>
#include <velmora/geometry/triangle.h>
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

    TEST(Vector, LengthAtEveryScale)
    {
        // Ordinary lengths are the plain square root of the summed squares,
        // to the last bit.
        const Vector<3> ordinary{{0.1, -0.7, 2.3}};
        EXPECT_EQ(ordinary.length(), std::sqrt(ordinary.dot(ordinary)));
        EXPECT_EQ((Vector<2>{{3.0, 4.0}}).length(), 5.0);
        // Far beyond where the squares overflow or vanish.
        for (const double scale : {1e160, 1e300, 1e-160, 1e-300, 1e-310})
        {
            const Vector<2> v{{3.0 * scale, 4.0 * scale}};
            EXPECT_NEAR(v.length() / scale, 5.0, 1e-12) << scale;
        }
        EXPECT_EQ((Vector<3>{{0.0, -5e-324, 0.0}}).length(), 5e-324);
        EXPECT_EQ(Vector<3>{}.length(), 0.0);
        const double largest = std::numeric_limits<double>::max();
        EXPECT_EQ((Vector<2>{{largest, 0.0}}).length(), largest);
        EXPECT_EQ((Vector<2>{{largest, largest}}).length(),
                  std::numeric_limits<double>::infinity());
        EXPECT_TRUE(std::isnan((Vector<2>{{std::nan(""), 1.0}}).length()));
        EXPECT_EQ(
            (Vector<3>{{1e200, 0.0, 1e200}}).normalize(),
            (Vector<3>{{1.0 / std::sqrt(2.0), 0.0, 1.0 / std::sqrt(2.0)}}));
    }

    TEST(Triangle, ScaledEdgesKeepTheShape)
    {
        const Point<3> a{{0.5, 1.0, -2.0}};
        const Point<3> b{{1.5, 0.0, 1.0}};
        const Point<3> c{{-1.0, 2.0, 0.25}};
        const auto plain = Triangle<3>{a, b, c}.scaled_edges();
        EXPECT_EQ(plain[0], (Point<3>{{1.0, -1.0, 3.0}}));
        EXPECT_EQ(plain[1], (Point<3>{{-1.5, 1.0, 2.25}}));
        // Scaled by powers of two, the edges come back to the same scale
        // to the last bit.
        for (const int exponent : {-1060, -600, -300, 300, 600, 1020})
        {
            const auto scale = [exponent](const Point<3>& p)
            { return scaled_by_power_of_two(p, exponent); };
            const auto a2 = scale(a);
            const auto b2 = scale(b);
            const auto c2 = scale(c);
            const auto edges = Triangle<3>{a2, b2, c2}.scaled_edges();
            // The largest coordinate, 3, lies in [2, 4).
            EXPECT_EQ(edges[0], plain[0] * 0.25) << exponent;
            EXPECT_EQ(edges[1], plain[1] * 0.25) << exponent;
        }
        // Corners whose differences overflow: 2^1024 is not a double.
        const double huge = std::ldexp(1.0, 1023);
        const Point<3> low{{-huge, 0.0, 0.0}};
        const Point<3> high{{huge, 0.0, 0.0}};
        const Point<3> top{{0.0, huge, 0.0}};
        const auto edges = Triangle<3>{low, high, top}.scaled_edges();
        EXPECT_EQ(edges[0], (Point<3>{{0.5, 0.0, 0.0}}));
        EXPECT_EQ(edges[1], (Point<3>{{0.25, 0.25, 0.0}}));
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
