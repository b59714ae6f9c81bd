#include <tessaplan/distortion.h>

#include <cmath>
#include <limits>
#include <random>

#include <gtest/gtest.h>
#include <Eigen/LU>
#include <Eigen/SVD>

#include <tessaplan/surface.h>
#include <velmora/basic/velmora_exception.h>

#include <tessaplan/attribute/attribute_lookup.h>
#include <tessaplan/attribute/variable_attribute.h>
#include "surface_factory.h"

namespace nodara
{
    namespace
    {
        constexpr double pi = 3.14159265358979323846;

        // Stores `uv` as the Point<2> vertex attribute "uv" of `surface`.
        void set_uv(const TriangulatedSurface<3>& surface,
                    const std::vector<std::array<double, 2>>& uv)
        {
            auto attribute = find_or_create_attribute<VariableAttribute>(
                surface.vertex_attribute_manager(), "uv", Point<2>{},
                AttributeFlags{});
            for (index_t v = 0; v < uv.size(); ++v)
            {
                attribute->set_value(v, Point<2>{uv[v]});
            }
        }

        // A 3x3 grid of unit squares, two triangles each, counter-clockwise
        // seen from +z, in the plane z = 0.
        struct Grid
        {
            std::vector<std::array<double, 3>> points;
            std::vector<std::array<index_t, 3>> triangles;
        };

        Grid make_grid(index_t n)
        {
            Grid grid;
            for (index_t j = 0; j <= n; ++j)
            {
                for (index_t i = 0; i <= n; ++i)
                {
                    grid.points.push_back({double(i), double(j), 0.0});
                }
            }
            for (index_t j = 0; j < n; ++j)
            {
                for (index_t i = 0; i < n; ++i)
                {
                    const index_t a = j * (n + 1) + i;
                    grid.triangles.push_back({a, a + 1, a + n + 2});
                    grid.triangles.push_back({a, a + n + 2, a + n + 1});
                }
            }
            return grid;
        }

        // The grid bent onto a tilted plane: a rigid motion of 3D space, so
        // that the frames of the triangles are not the coordinate axes.
        std::unique_ptr<TriangulatedSurface<3>> make_tilted_grid(
            const Grid& grid)
        {
            std::vector<std::array<double, 3>> points;
            const double c = std::cos(0.7);
            const double s = std::sin(0.7);
            for (const auto& p : grid.points)
            {
                points.push_back({c * p[0] + 0.3,
                                  s * p[0] * 0.6 + p[1] * 0.8 - 1.0,
                                  -s * p[0] * 0.8 + p[1] * 0.6 + 2.0});
            }
            return testing::make_surface(points, grid.triangles);
        }

        std::vector<std::array<double, 2>> mapped(const Grid& grid,
                                                  const Eigen::Matrix2d& map)
        {
            std::vector<std::array<double, 2>> uv;
            for (const auto& p : grid.points)
            {
                const Eigen::Vector2d image =
                    map * Eigen::Vector2d{p[0], p[1]} +
                    Eigen::Vector2d{5.0, -2.0};
                uv.push_back({image[0], image[1]});
            }
            return uv;
        }

        Eigen::Matrix2d rotation(double angle)
        {
            Eigen::Matrix2d matrix;
            matrix << std::cos(angle), -std::sin(angle), std::sin(angle),
                std::cos(angle);
            return matrix;
        }
    }  // namespace

    TEST(Distortion, SimilarityOfATiltedSurfaceKeepsAnglesAndAreaShares)
    {
        const auto grid = make_grid(3);
        const auto surface = make_tilted_grid(grid);
        // Rotated and scaled by 2.5: the image of every triangle is similar
        // to it, so both measures are 1 whatever the overall scale.
        set_uv(*surface, mapped(grid, 2.5 * rotation(0.4)));

        const auto distortions = compute_triangle_distortions(*surface, "uv");
        ASSERT_EQ(distortions.conformal.size(), 18u);
        for (index_t t = 0; t < 18; ++t)
        {
            EXPECT_NEAR(distortions.conformal[t], 1.0, 1e-12) << t;
            EXPECT_NEAR(distortions.area[t], 1.0, 1e-12) << t;
            EXPECT_NEAR(distortions.signed_image_area[t], 0.5 * 2.5 * 2.5,
                        1e-12);
            EXPECT_FALSE(distortions.flipped[t]);
            EXPECT_FALSE(distortions.degenerate[t]);
        }
        const auto summary = summarize_distortions(distortions);
        EXPECT_NEAR(summary.conformal.max, 1.0, 1e-12);
        EXPECT_NEAR(summary.area.mean, 1.0, 1e-12);
        EXPECT_EQ(summary.nb_flipped_triangles, 0u);
        EXPECT_EQ(summary.nb_degenerate_triangles, 0u);
    }

    TEST(Distortion, ConformalDistortionIsTheSingularValueRatioOfTheMap)
    {
        // In the plane z = 0 the map from a triangle to its image is the
        // linear part of the affine map applied to it, whose singular values
        // Eigen's SVD gives independently.
        const auto grid = make_grid(1);
        const auto surface = testing::make_surface(grid.points, grid.triangles);
        std::mt19937 random{7};
        std::uniform_real_distribution<double> entry{-3.0, 3.0};
        for (int trial = 0; trial < 200; ++trial)
        {
            Eigen::Matrix2d map;
            map << entry(random), entry(random), entry(random), entry(random);
            if (trial % 10 == 0)
            {
                // Nearly singular maps: the second row almost a multiple of
                // the first.
                map.row(1) =
                    0.7 * map.row(0) + 1e-7 * Eigen::RowVector2d{1.0, -2.0};
            }
            set_uv(*surface, mapped(grid, map));
            const Eigen::JacobiSVD<Eigen::Matrix2d> svd{map};
            const auto& sigma = svd.singularValues();
            const double expected = sigma[0] / sigma[1];

            const auto distortions =
                compute_triangle_distortions(*surface, "uv");
            for (index_t t = 0; t < 2; ++t)
            {
                EXPECT_NEAR(distortions.conformal[t], expected, 1e-6 * expected)
                    << "trial " << trial;
                // Both triangles turn like the map does: none is against
                // the majority.
                EXPECT_FALSE(distortions.flipped[t]);
                EXPECT_EQ(distortions.signed_image_area[t] > 0,
                          map.determinant() > 0);
            }
        }
    }

    TEST(Distortion, StretchShowsInConformalButNotInUniformAreaShares)
    {
        const auto grid = make_grid(3);
        const auto surface = testing::make_surface(grid.points, grid.triangles);
        Eigen::Matrix2d stretch;
        stretch << 2.0, 0.0, 0.0, 1.0;
        set_uv(*surface, mapped(grid, stretch));
        const auto summary = compute_distortion_summary(*surface, "uv");
        EXPECT_NEAR(summary.conformal.mean, 2.0, 1e-12);
        EXPECT_NEAR(summary.conformal.max, 2.0, 1e-12);
        // Every triangle doubles: its share of the total stays the same.
        EXPECT_NEAR(summary.area.max, 1.0, 1e-12);
        EXPECT_NEAR(summary.area.mean, 1.0, 1e-12);
    }

    TEST(Distortion, AreaSharesFollowLocalGrowth)
    {
        // The middle vertex (1, 1) of a 2x2 grid moved to (1.5, 1.5): the
        // border stays, so the total image area stays 4, while the triangles
        // around that vertex grow to 0.75, keep 0.5 or shrink to 0.25.
        const auto grid = make_grid(2);
        const auto surface = testing::make_surface(grid.points, grid.triangles);
        std::vector<std::array<double, 2>> uv;
        for (const auto& p : grid.points)
        {
            uv.push_back({p[0], p[1]});
        }
        uv[4] = {1.5, 1.5};
        set_uv(*surface, uv);
        const auto distortions = compute_triangle_distortions(*surface, "uv");
        const std::array<double, 8> expected{
            {1.5, 1.5, 1.0, 1.0, 1.0, 1.0, 0.5, 0.5}};
        for (index_t t = 0; t < 8; ++t)
        {
            EXPECT_NEAR(distortions.area[t], expected[t], 1e-12) << t;
        }
        const auto summary = summarize_distortions(distortions);
        EXPECT_NEAR(summary.area.max, 1.5, 1e-12);
        EXPECT_NEAR(summary.area.mean, 1.0, 1e-12);
    }

    TEST(Distortion, FlippedAndCollapsedImagesAreCounted)
    {
        const auto grid = make_grid(4);  // 25 vertices, 32 triangles
        const auto surface = testing::make_surface(grid.points, grid.triangles);
        std::vector<std::array<double, 2>> identity;
        for (const auto& p : grid.points)
        {
            identity.push_back({p[0], p[1]});
        }

        // Vertex (1, 1) pulled past the corner (0, 0): of the six triangles
        // around it, (0, 1, 6) and (0, 6, 5) turn clockwise.
        auto uv = identity;
        uv[6] = {-0.5, -0.5};
        set_uv(*surface, uv);
        auto distortions = compute_triangle_distortions(*surface, "uv");
        for (index_t t = 0; t < surface->nb_polygons(); ++t)
        {
            EXPECT_EQ(distortions.flipped[t], t < 2) << t;
            EXPECT_GE(distortions.conformal[t], 1.0);
            EXPECT_TRUE(std::isfinite(distortions.conformal[t]));
        }
        EXPECT_EQ(summarize_distortions(distortions).nb_flipped_triangles, 2u);

        // The corner (4, 4) moved onto the line through (3, 3) and (3, 4):
        // the last triangle (18, 24, 23) collapses onto a segment.
        uv = identity;
        uv[24] = {3.0, 5.0};
        set_uv(*surface, uv);
        distortions = compute_triangle_distortions(*surface, "uv");
        for (index_t t = 0; t < surface->nb_polygons(); ++t)
        {
            EXPECT_EQ(std::isinf(distortions.conformal[t]), t == 31) << t;
            EXPECT_EQ(distortions.flipped[t], t == 31) << t;
        }
        EXPECT_EQ(distortions.signed_image_area[31], 0.0);
        for (index_t t = 0; t < surface->nb_polygons(); ++t)
        {
            EXPECT_EQ(distortions.collapsed[t], t == 31) << t;
        }
        // One collapsed triangle in 32 (3 %): mean and maximum infinite,
        // the 95th percentile still finite.
        const auto summary = summarize_distortions(distortions);
        EXPECT_TRUE(std::isinf(summary.conformal.mean));
        EXPECT_TRUE(std::isinf(summary.conformal.max));
        EXPECT_TRUE(std::isfinite(summary.conformal.p95));
        EXPECT_EQ(summary.nb_flipped_triangles, 1u);
        EXPECT_EQ(summary.nb_collapsed_triangles, 1u);
        // One collapsed triangle does not collapse its piece.
        ASSERT_EQ(summary.pieces.size(), 1u);
        EXPECT_EQ(summary.pieces[0].nb_collapsed_triangles, 1u);
        EXPECT_FALSE(summary.pieces[0].collapsed);
    }

    TEST(Distortion, MirroredImageFlipsOnlyTheMinority)
    {
        // A mirror image of the whole grid turns every triangle clockwise:
        // the majority sets the orientation, so nothing is flipped.
        const auto grid = make_grid(3);
        const auto surface = testing::make_surface(grid.points, grid.triangles);
        Eigen::Matrix2d mirror;
        mirror << -1.0, 0.0, 0.0, 1.0;
        set_uv(*surface, mapped(grid, mirror));
        const auto summary = compute_distortion_summary(*surface, "uv");
        EXPECT_EQ(summary.nb_flipped_triangles, 0u);
        EXPECT_NEAR(summary.conformal.max, 1.0, 1e-12);
    }

    TEST(Distortion, TrianglesOfZeroAreaIn3DAreLeftOut)
    {
        // Two good triangles and one whose corners lie on a line.
        const auto surface = testing::make_surface(
            {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {2, 0, 0}},
            {{0, 1, 2}, {0, 2, 3}, {0, 1, 4}});
        set_uv(*surface, {{0, 0}, {1, 0}, {1, 1}, {0, 1}, {2, 0.5}});
        const auto distortions = compute_triangle_distortions(*surface, "uv");
        EXPECT_TRUE(distortions.degenerate[2]);
        EXPECT_TRUE(std::isnan(distortions.conformal[2]));
        EXPECT_TRUE(std::isnan(distortions.area[2]));
        EXPECT_FALSE(distortions.flipped[2]);
        // The image area of the degenerate triangle does not count in the
        // total: the two others keep area distortion 1.
        EXPECT_NEAR(distortions.area[0], 1.0, 1e-12);
        EXPECT_NEAR(distortions.area[1], 1.0, 1e-12);
        const auto summary = summarize_distortions(distortions);
        EXPECT_EQ(summary.nb_degenerate_triangles, 1u);
        EXPECT_EQ(summary.nb_flipped_triangles, 0u);
        EXPECT_NEAR(summary.conformal.max, 1.0, 1e-12);
    }

    TEST(Distortion, ImageWithoutAreaLeavesAreaSharesUndefined)
    {
        const auto grid = make_grid(2);
        const auto surface = testing::make_surface(grid.points, grid.triangles);
        std::vector<std::array<double, 2>> uv;
        for (const auto& p : grid.points)
        {
            uv.push_back({p[0] + p[1], 0.0});  // everything on a line
        }
        set_uv(*surface, uv);
        const auto summary = compute_distortion_summary(*surface, "uv");
        EXPECT_TRUE(std::isnan(summary.area.mean));
        EXPECT_TRUE(std::isnan(summary.area.p95));
        EXPECT_TRUE(std::isnan(summary.area.max));
        EXPECT_TRUE(std::isinf(summary.conformal.p95));
        EXPECT_EQ(summary.nb_flipped_triangles, 8u);
    }

    TEST(Distortion, SummaryStatisticsUseTheNearestRank)
    {
        for (const index_t count : {1u, 19u, 20u, 21u, 100u, 101u})
        {
            TriangleDistortions distortions;
            for (index_t i = 0; i < count; ++i)
            {
                // Given in decreasing order, so that sorting matters.
                const double value = 1.0 + (count - 1 - i);
                distortions.conformal.push_back(value);
                distortions.area.push_back(2.0 * value);
                distortions.signed_image_area.push_back(1.0);
                distortions.flipped.push_back(false);
                distortions.degenerate.push_back(false);
                distortions.collapsed.push_back(false);
                distortions.piece.push_back(0);
            }
            const auto rank =
                static_cast<index_t>(std::ceil(0.95 * count - 1e-9));
            const auto summary = summarize_distortions(distortions);
            EXPECT_EQ(summary.conformal.p95, double(rank)) << count;
            EXPECT_EQ(summary.area.p95, 2.0 * rank) << count;
            EXPECT_EQ(summary.conformal.max, double(count));
            EXPECT_DOUBLE_EQ(summary.conformal.mean, (count + 1) / 2.0);
        }
        const auto empty = summarize_distortions(TriangleDistortions{});
        EXPECT_TRUE(std::isnan(empty.conformal.mean));
        EXPECT_TRUE(std::isnan(empty.area.max));

        TriangleDistortions uneven;
        uneven.conformal = {1.0};
        EXPECT_THROW(summarize_distortions(uneven), VelmoraException);
    }

    TEST(Distortion, MissingOrMistypedAttributeIsReported)
    {
        const auto surface = testing::make_unit_square();
        try
        {
            compute_triangle_distortions(*surface, "uv");
            FAIL() << "no exception";
        }
        catch (const VelmoraException& error)
        {
            EXPECT_EQ(std::string{error.what()}.rfind(
                          "[AttributeManager::find_attribute]", 0),
                      0u);
        }
        find_or_create_attribute<VariableAttribute>(
            surface->vertex_attribute_manager(), "uv", 0.0, AttributeFlags{});
        EXPECT_THROW(compute_distortion_summary(*surface, "uv"),
                     VelmoraException);
    }

    TEST(Distortion, LscmOfADevelopablePatchKeepsAngles)
    {
        // A quarter of a cylinder of radius 1: bends without stretching, so
        // a conformal flattening exists and the least-squares map finds it.
        std::vector<std::array<double, 3>> points;
        std::vector<std::array<index_t, 3>> triangles;
        const index_t n = 12;
        for (index_t j = 0; j <= n; ++j)
        {
            for (index_t i = 0; i <= n; ++i)
            {
                const double angle = 0.5 * pi * i / n;
                points.push_back(
                    {std::cos(angle), std::sin(angle), double(j) / n});
            }
        }
        for (index_t j = 0; j < n; ++j)
        {
            for (index_t i = 0; i < n; ++i)
            {
                const index_t a = j * (n + 1) + i;
                triangles.push_back({a, a + 1, a + n + 2});
                triangles.push_back({a, a + n + 2, a + n + 1});
            }
        }
        const auto surface = testing::make_surface(points, triangles);
        compute_LSCM_parameterization(*surface, "uv");
        const auto summary = compute_distortion_summary(*surface, "uv");
        EXPECT_LT(summary.conformal.max, 1.0 + 1e-6);
        EXPECT_LT(summary.area.max, 1.0 + 1e-6);
        EXPECT_GT(summary.area.max, 1.0 - 1e-6);
        EXPECT_EQ(summary.nb_flipped_triangles, 0u);
    }

    namespace
    {
        // Two 2x2 grids of unit squares side by side with a gap: two pieces
        // of 8 triangles, each with 8 border edges.
        Grid make_two_grids()
        {
            auto grid = make_grid(2);
            const auto first = static_cast<index_t>(grid.points.size());
            const auto copy = make_grid(2);
            for (const auto& p : copy.points)
            {
                grid.points.push_back({p[0] + 3.0, p[1], p[2]});
            }
            for (const auto& t : copy.triangles)
            {
                grid.triangles.push_back(
                    {t[0] + first, t[1] + first, t[2] + first});
            }
            return grid;
        }

        // The identity map of the first grid, the second shrunk by `scale`.
        std::vector<std::array<double, 2>> shrink_second(const Grid& grid,
                                                         double scale)
        {
            std::vector<std::array<double, 2>> uv;
            for (std::size_t v = 0; v < grid.points.size(); ++v)
            {
                const double factor = v < grid.points.size() / 2 ? 1.0 : scale;
                uv.push_back(
                    {grid.points[v][0] * factor, grid.points[v][1] * factor});
            }
            return uv;
        }
    }  // namespace

    TEST(DistortionPieces, EachPieceReportsItsSizeBorderAndCollapse)
    {
        const auto grid = make_two_grids();
        const auto surface = testing::make_surface(grid.points, grid.triangles);
        // Shrunk by 1e-5 the second piece keeps 1e-10 of its area: small,
        // not collapsed. By 1e-7 it keeps 1e-14: collapsed, while area
        // shares alone cannot tell it from a tiny piece.
        set_uv(*surface, shrink_second(grid, 1e-5));
        auto distortions = compute_triangle_distortions(*surface, "uv");
        ASSERT_EQ(distortions.pieces.size(), 2u);
        EXPECT_NEAR(distortions.pieces[1].area_ratio, 1e-10, 1e-20);
        EXPECT_FALSE(distortions.pieces[1].collapsed);

        set_uv(*surface, shrink_second(grid, 1e-7));
        distortions = compute_triangle_distortions(*surface, "uv");
        const auto summary = summarize_distortions(distortions);
        ASSERT_EQ(summary.pieces.size(), 2u);
        for (index_t p = 0; p < 2; ++p)
        {
            EXPECT_EQ(summary.pieces[p].nb_triangles, 8u);
            EXPECT_EQ(summary.pieces[p].nb_border_edges, 8u);
            EXPECT_FALSE(summary.pieces[p].closed());
        }
        EXPECT_NEAR(summary.pieces[0].area_ratio, 1.0, 1e-12);
        EXPECT_FALSE(summary.pieces[0].collapsed);
        EXPECT_NEAR(summary.pieces[1].area_ratio, 1e-14, 1e-24);
        EXPECT_TRUE(summary.pieces[1].collapsed);
        EXPECT_EQ(summary.pieces[1].nb_collapsed_triangles, 8u);
        EXPECT_EQ(summary.nb_collapsed_triangles, 8u);
        for (index_t t = 0; t < 16; ++t)
        {
            EXPECT_EQ(distortions.piece[t], t < 8 ? 0u : 1u) << t;
            EXPECT_EQ(distortions.collapsed[t], t >= 8) << t;
        }
        // Shrinking keeps angles: nothing flipped, conformal 1 everywhere.
        EXPECT_EQ(summary.nb_flipped_triangles, 0u);
        EXPECT_NEAR(summary.conformal.max, 1.0, 1e-6);
    }

    TEST(DistortionPieces, ClosedAndNonManifoldPiecesCountTheirBorder)
    {
        // An octahedron: one closed piece.
        const auto octahedron = testing::make_surface({{1, 0, 0},
                                                       {0, 1, 0},
                                                       {-1, 0, 0},
                                                       {0, -1, 0},
                                                       {0, 0, 1},
                                                       {0, 0, -1}},
                                                      {{0, 1, 4},
                                                       {1, 2, 4},
                                                       {2, 3, 4},
                                                       {3, 0, 4},
                                                       {1, 0, 5},
                                                       {2, 1, 5},
                                                       {3, 2, 5},
                                                       {0, 3, 5}});
        set_uv(*octahedron, {{1, 0}, {0, 1}, {-1, 0}, {0, -1}, {0, 0}, {3, 3}});
        auto summary = compute_distortion_summary(*octahedron, "uv");
        ASSERT_EQ(summary.pieces.size(), 1u);
        EXPECT_TRUE(summary.pieces[0].closed());
        EXPECT_EQ(summary.pieces[0].nb_triangles, 8u);

        // Three triangles on edge 0-1: three pieces, each side of that edge
        // a border edge.
        const auto fin = testing::make_surface(
            {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}},
            {{0, 1, 2}, {1, 0, 3}, {0, 1, 4}});
        set_uv(*fin, {{0, 0}, {1, 0}, {0, 1}, {0, -1}, {0.5, 0.5}});
        summary = compute_distortion_summary(*fin, "uv");
        ASSERT_EQ(summary.pieces.size(), 3u);
        for (const auto& piece : summary.pieces)
        {
            EXPECT_EQ(piece.nb_triangles, 1u);
            EXPECT_EQ(piece.nb_border_edges, 3u);
        }
    }

    TEST(DistortionPieces, FlippedFollowsEachPiecesOwnOrientation)
    {
        // A flat strip whose third triangle is stored with the opposite
        // winding: the identity map folds nothing, so nothing is flipped.
        const std::vector<std::array<double, 3>> points{
            {0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {2, 0, 0}, {2, 1, 0}};
        const auto surface = testing::make_surface(
            points, {{0, 1, 2}, {0, 2, 3}, {1, 5, 4}, {1, 5, 2}});
        set_uv(*surface, {{0, 0}, {1, 0}, {1, 1}, {0, 1}, {2, 0}, {2, 1}});
        auto distortions = compute_triangle_distortions(*surface, "uv");
        EXPECT_EQ(summarize_distortions(distortions).nb_flipped_triangles, 0u);
        // A vertex pulled across the edge 1-2 does fold the map there.
        set_uv(*surface, {{0, 0}, {1, 0}, {1, 1}, {0, 1}, {0.5, 0}, {0.5, 1}});
        distortions = compute_triangle_distortions(*surface, "uv");
        EXPECT_FALSE(distortions.flipped[0]);
        EXPECT_FALSE(distortions.flipped[1]);
        EXPECT_TRUE(distortions.flipped[2]);
        EXPECT_TRUE(distortions.flipped[3]);

        // Two pieces, the smaller mirrored as a whole: each piece has its
        // own majority, so nothing is flipped.
        const auto grid = make_two_grids();
        const auto two = testing::make_surface(grid.points, grid.triangles);
        auto uv = shrink_second(grid, 1.0);
        for (std::size_t v = grid.points.size() / 2; v < uv.size(); ++v)
        {
            uv[v][0] = -uv[v][0];
        }
        set_uv(*two, uv);
        EXPECT_EQ(compute_distortion_summary(*two, "uv").nb_flipped_triangles,
                  0u);
    }
}  // namespace nodara
