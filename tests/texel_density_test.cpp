#include <algorithm>
#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include <tessaplan/atlas.h>
#include <velmora/geometry/triangle.h>

#include "atlas/texel_density.h"
#include "surface_factory.h"

namespace nodara
{
    namespace
    {
        // A sphere with four tall, narrow spikes: charts flattened by LSCM
        // over a spike's flank shrink part of it many times over.
        std::unique_ptr<TriangulatedSurface<3>> spiky_sphere()
        {
            const std::array<std::array<double, 3>, 4> tips{
                {{0, 0, 1}, {1, 0, 0}, {0, -1, 0}, {-0.6, 0.6, -0.5}}};
            return testing::sphere(
                4,
                [&tips](const std::array<double, 3>& p)
                {
                    double radius = 1;
                    for (const auto& d : tips)
                    {
                        const double length =
                            std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
                        const double cosine =
                            (p[0] * d[0] + p[1] * d[1] + p[2] * d[2]) / length;
                        const double angle =
                            std::acos(std::max(-1.0, std::min(1.0, cosine)));
                        radius += 3 * std::exp(-std::pow(angle / 0.12, 2));
                    }
                    return radius;
                });
        }

        // The 95th percentile (nearest rank) of max(a, 1/a) over the
        // triangles of the atlas's non-degenerate charts, a a triangle's
        // share of their image area over its share of their 3D area,
        // computed here from the corners.
        double both_ways_p95(const TriangulatedSurface<3>& surface,
                             const Atlas& atlas)
        {
            std::vector<double> area_3d;
            std::vector<double> area_2d;
            double total_3d = 0;
            double total_2d = 0;
            for (index_t t = 0; t < surface.nb_polygons(); ++t)
            {
                if (atlas.charts[atlas.triangle_chart[t]].degenerate)
                {
                    continue;
                }
                const auto& c = atlas.corners[t];
                area_3d.push_back(surface.triangle(t).area());
                area_2d.push_back(Triangle<2>{c[0], c[1], c[2]}.area());
                total_3d += area_3d.back();
                total_2d += area_2d.back();
            }
            std::vector<double> ratios;
            for (std::size_t i = 0; i < area_3d.size(); ++i)
            {
                const double a =
                    (area_2d[i] / total_2d) / (area_3d[i] / total_3d);
                ratios.push_back(std::max(a, 1 / a));
            }
            std::sort(ratios.begin(), ratios.end());
            return ratios[(95 * ratios.size() + 99) / 100 - 1];
        }
    }  // namespace

    TEST(TexelDensity, ShrinkingCountsAsMuchAsGrowing)
    {
        // Totals 4 (3D) and 6 (image): shares 1/4, 1/4, 1/2 against 4/6,
        // 1/6, 1/6.
        const auto ratios = density_ratios({1, 1, 2, 0}, {4, 1, 1, 5});
        ASSERT_EQ(ratios.size(), 4u);
        EXPECT_DOUBLE_EQ(ratios[0], 8.0 / 3);
        EXPECT_DOUBLE_EQ(ratios[1], 1.5);
        EXPECT_DOUBLE_EQ(ratios[2], 3.0);
        // No 3D area: no share, left out.
        EXPECT_TRUE(std::isnan(ratios[3]));
        // A collapsed image is infinitely shrunk; a map of no area at all
        // gives no shares.
        EXPECT_EQ(density_ratios({1, 1}, {1, 0})[1], HUGE_VAL);
        EXPECT_TRUE(std::isnan(density_ratios({1, 1}, {0, 0})[0]));
        // A common scale cancels.
        EXPECT_EQ(density_ratios({1, 3}, {10, 30}),
                  (std::vector<double>{1.0, 1.0}));
    }

    TEST(TexelDensity, NearestRankPercentileLeavesOutNaN)
    {
        std::vector<double> ratios;
        for (int i = 20; i >= 1; --i)
        {
            ratios.push_back(i);
            ratios.push_back(std::nan(""));
        }
        // ceil(0.95 * 20) = 19.
        EXPECT_EQ(density_p95(ratios), 19.0);
        EXPECT_EQ(density_p95({2.5}), 2.5);
        EXPECT_TRUE(std::isnan(density_p95({std::nan("")})));
        EXPECT_TRUE(std::isnan(density_p95({})));
    }

    TEST(TexelDensity, ChartsWhosePartsShrinkAreSplit)
    {
        const auto surface = spiky_sphere();
        // Bounded on growth alone in effect, the charts over the spikes
        // shrink parts: the surface does test the bound.
        AtlasOptions loose;
        loose.max_area_distortion = 1000;
        EXPECT_GT(both_ways_p95(*surface, compute_atlas(*surface, loose)), 2.0);
        for (const double bound : {2.0, 1.5})
        {
            SCOPED_TRACE(bound);
            AtlasOptions options;
            options.max_area_distortion = bound;
            const auto atlas = compute_atlas(*surface, options);
            EXPECT_TRUE(atlas.check.valid());
            const auto p95 = both_ways_p95(*surface, atlas);
            EXPECT_LE(p95, bound);
            EXPECT_NEAR(atlas.area_p95, p95, 1e-9 * p95);
            for (const auto& chart : atlas.charts)
            {
                EXPECT_LE(chart.area_p95, bound);
                EXPECT_LE(chart.conformal_p95, options.max_distortion);
            }
        }
    }

    TEST(TexelDensity, AnAreaBoundBelowOneIsRefused)
    {
        AtlasOptions options;
        for (const double bound : {0.5, std::nan(""), HUGE_VAL})
        {
            options.max_area_distortion = bound;
            EXPECT_NE(testing::message_of(
                          [&] { compute_atlas(*spiky_sphere(), options); })
                          .find("[compute_atlas] The area distortion bound"),
                      std::string::npos)
                << bound;
        }
    }
}  // namespace nodara
