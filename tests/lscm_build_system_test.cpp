#include <cmath>

#include <gtest/gtest.h>

#include "lscm_inspector.h"
#include "surface_factory.h"

namespace nodara
{
    namespace
    {
        std::array<CornerWeight, 3> weights_of(
            const std::vector<std::array<double, 3>>& corners)
        {
            const auto surface = testing::make_surface(corners, {{0, 1, 2}});
            LSCM lscm{*surface, "uv"};
            return LSCMInspector{lscm}.triangle_weights(0);
        }

        void expect_weight(const CornerWeight& weight, double real,
                           double imaginary)
        {
            EXPECT_DOUBLE_EQ(weight.real, real);
            EXPECT_DOUBLE_EQ(weight.imaginary, imaginary);
        }
    }  // namespace

    TEST(LSCMTriangleWeights, RightTrianglesInTheirLocalFrame)
    {
        const auto unit = weights_of({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}});
        expect_weight(unit[0], -1, 1);
        expect_weight(unit[1], 0, -1);
        expect_weight(unit[2], 1, 0);
        for (local_index_t k = 0; k < 3; ++k)
        {
            EXPECT_EQ(unit[k].polygon_vertex, (PolygonVertex{0, k}));
        }

        const double root2 = std::sqrt(2.0);
        const auto tall = weights_of({{0, 0, 0}, {2, 0, 0}, {0, 0, 1}});
        expect_weight(tall[0], -root2, 1 / root2);
        expect_weight(tall[1], 0, -1 / root2);
        expect_weight(tall[2], root2, 0);
    }

    TEST(LSCMTriangleWeights, CollinearCornersStayFiniteCoincidentOnesDoNot)
    {
        const auto collinear = weights_of({{0, 0, 0}, {1, 0, 0}, {2, 0, 0}});
        for (const auto& weight : collinear)
        {
            EXPECT_TRUE(std::isfinite(weight.real));
            EXPECT_TRUE(std::isfinite(weight.imaginary));
        }
        // The local corner 2 sits just off the x axis.
        const double x2 = 0.999999 * 2;
        const double y2 = std::sin(std::acos(0.999999)) * 2;
        const double s = std::sqrt(1 * y2);
        expect_weight(collinear[0], (x2 - 1) / s, y2 / s);

        const auto coincident = weights_of({{0, 0, 0}, {0, 0, 0}, {0, 1, 0}});
        for (const auto& weight : coincident)
        {
            EXPECT_TRUE(std::isnan(weight.real));
            EXPECT_TRUE(std::isnan(weight.imaginary));
        }
    }

    TEST(LSCMBuildSystem, SplitsEntriesByPinnedCornersAndMovesThemRight)
    {
        // Square: pins 1 and 3; each triangle has one pinned corner.
        const auto square = testing::make_unit_square();
        LSCM lscm{*square, "uv"};
        LSCMInspector inspector{lscm};
        inspector.pin_vertices();
        inspector.build_system();
        EXPECT_EQ(inspector.nb_free_triplets(), 16u);
        EXPECT_EQ(inspector.nb_pinned_triplets(), 8u);
        EXPECT_EQ(inspector.free_triplet_capacity(), 24u);
        EXPECT_EQ(inspector.pinned_values().size(), 4);

        // The projection of a planar, counter-clockwise surface solves the
        // system: F x + P p = 0 with x the projected free vertices.
        const double r = 1.0 / std::sqrt(2.0);
        const Eigen::Vector4d guess{0, 0, r + r, 0};
        const Eigen::Vector4d pinned{r, -r, r, r};
        const Eigen::VectorXd residual = inspector.free_matrix() * guess +
                                         inspector.pinned_matrix() * pinned;
        EXPECT_LT(residual.norm(), 1e-15);
        const Eigen::VectorXd b = -(inspector.pinned_matrix() * pinned);
        EXPECT_EQ(inspector.pinned_values(), b);
    }

    TEST(LSCMBuildSystem, TriangleWithBothPinsHasFourFreeEntries)
    {
        const auto triangle = testing::make_surface(
            {{0, 0, 0}, {3, 3, 0}, {0, 1, 0}}, {{0, 1, 2}});
        LSCM lscm{*triangle, "uv"};
        LSCMInspector inspector{lscm};
        inspector.pin_vertices();
        inspector.build_system();
        EXPECT_EQ(inspector.nb_free_triplets(), 4u);
        EXPECT_EQ(inspector.nb_pinned_triplets(), 8u);
    }
}  // namespace nodara
