#include <tessaplan/atlas.h>
#include <tessaplan/seam_cut.h>

#include <map>
#include <set>

#include <gtest/gtest.h>
#include <velmora/basic/velmora_exception.h>

#include "surface_factory.h"

namespace nodara
{
    namespace
    {
        using testing::make_surface;
        using testing::Points;
        using testing::Triangles;

        // Whether `a` and `b` number the triangles into the same sets.
        bool same_partition(const std::vector<index_t>& a,
                            const std::vector<index_t>& b)
        {
            std::map<index_t, index_t> a_to_b;
            std::map<index_t, index_t> b_to_a;
            for (std::size_t t = 0; t < a.size(); ++t)
            {
                if (a_to_b.try_emplace(a[t], b[t]).first->second != b[t] ||
                    b_to_a.try_emplace(b[t], a[t]).first->second != a[t])
                {
                    return false;
                }
            }
            return true;
        }
    }  // namespace

    TEST(GivenChartsAtlas, KeepsExactlyTheGivenCharts)
    {
        // A tube of 24 columns in four strips of six, numbered 10 to 13.
        const index_t n = 24;
        const index_t rows = 5;
        Points points;
        Triangles triangles;
        testing::add_tube(points, triangles, n, rows);
        const auto surface = make_surface(points, triangles);
        std::vector<index_t> numbers;
        for (index_t j = 0; j < rows; ++j)
        {
            for (index_t i = 0; i < n; ++i)
            {
                numbers.insert(numbers.end(), 2, 10 + i / 6);
            }
        }
        const auto atlas = compute_atlas_of_charts(*surface, numbers);
        EXPECT_TRUE(atlas.check.valid());
        ASSERT_EQ(atlas.charts.size(), 4u);
        EXPECT_TRUE(same_partition(atlas.triangle_chart, numbers));
        // The seams are the four lines between the strips.
        EXPECT_EQ(atlas.nb_seam_edges, 4 * rows);
        const auto seams = seam_edges(*surface, atlas.corners);
        ASSERT_EQ(seams.size(), 4u * rows);
        for (const auto& seam : seams)
        {
            EXPECT_EQ(seam[0] % n % 6, 0u);
            EXPECT_EQ(seam[1] % n % 6, 0u);
        }
        for (const auto& chart : atlas.charts)
        {
            // A strip of a cylinder is developable: LSCM lays it flat.
            EXPECT_LT(chart.conformal_p95, 1.001);
        }
    }

    TEST(GivenChartsAtlas, OneNumberOnPartsApartGivesAChartPerPart)
    {
        Points points;
        Triangles triangles;
        testing::add_patch(points, triangles, 6, 0);
        testing::add_patch(points, triangles, 6, 2);
        const auto surface = make_surface(points, triangles);
        const std::vector<index_t> numbers(triangles.size(), 7);
        const auto atlas = compute_atlas_of_charts(*surface, numbers);
        EXPECT_TRUE(atlas.check.valid());
        ASSERT_EQ(atlas.charts.size(), 2u);
        EXPECT_EQ(atlas.triangle_chart.front(), 0u);
        EXPECT_EQ(atlas.triangle_chart.back(), 1u);
        EXPECT_EQ(atlas.nb_seam_edges, 0u);
    }

    TEST(GivenChartsAtlas, CutsAClosedChartAndRefusesWrongNumbers)
    {
        const auto surface = make_surface(testing::octahedron_points(),
                                          testing::octahedron_triangles());
        const std::vector<index_t> one_chart(8, 0);
        const auto cut = compute_atlas_of_charts(*surface, one_chart);
        EXPECT_TRUE(cut.check.valid());
        EXPECT_GE(cut.charts.size(), 2u);
        for (const auto& chart : cut.charts)
        {
            EXPECT_EQ(chart.source, AtlasChartSource::cut);
        }
        // Halves of the octahedron are discs, flattened as given.
        const std::vector<index_t> halves{0, 0, 0, 0, 1, 1, 1, 1};
        const auto atlas = compute_atlas_of_charts(*surface, halves);
        EXPECT_TRUE(atlas.check.valid());
        ASSERT_EQ(atlas.charts.size(), 2u);
        EXPECT_EQ(atlas.charts[0].source, AtlasChartSource::given);
        const std::vector<index_t> too_few(7, 0);
        EXPECT_THROW(compute_atlas_of_charts(*surface, too_few),
                     InvalidInputException);
    }

    TEST(GivenChartsAtlas, AnIslandThatLscmFoldsKeepsItsOwnValidMap)
    {
        // A strip round one and a half turns of a gentle ramp: flattened by
        // LSCM it winds round as in 3D and overlaps itself; its own map, by
        // angle and radius, lays it out as a long band.
        const index_t n = 90;
        Points points;
        Triangles triangles;
        std::vector<std::array<Point<2>, 3>> band;
        std::vector<std::array<Point<2>, 3>> projection;
        for (index_t i = 0; i <= n; ++i)
        {
            const double angle = 3 * testing::pi * i / n;
            for (const double radius : {1.0, 1.3})
            {
                points.push_back({radius * std::cos(angle),
                                  radius * std::sin(angle), 0.02 * angle});
            }
        }
        const auto uv = [&](index_t v, bool projected)
        {
            const double angle = 3 * testing::pi * (v / 2) / n;
            const double radius = v % 2 == 0 ? 1.0 : 1.3;
            return projected ? Point<2>{{points[v][0], points[v][1]}}
                             : Point<2>{{angle, radius}};
        };
        for (index_t i = 0; i < n; ++i)
        {
            const index_t a = 2 * i;
            for (const auto& triangle :
                 {std::array<index_t, 3>{a, a + 2, a + 3},
                  std::array<index_t, 3>{a, a + 3, a + 1}})
            {
                triangles.push_back(triangle);
                band.push_back({uv(triangle[0], false), uv(triangle[1], false),
                                uv(triangle[2], false)});
                projection.push_back({uv(triangle[0], true),
                                      uv(triangle[1], true),
                                      uv(triangle[2], true)});
            }
        }
        const auto surface = make_surface(points, triangles);
        const auto kept = compute_atlas_of_islands(*surface, band);
        EXPECT_TRUE(kept.check.valid());
        ASSERT_EQ(kept.charts.size(), 1u);
        EXPECT_EQ(kept.charts[0].source, AtlasChartSource::kept);
        EXPECT_EQ(kept.nb_seam_edges, 0u);
        // Its projection overlaps itself too: the island is cut.
        const auto cut = compute_atlas_of_islands(*surface, projection);
        EXPECT_TRUE(cut.check.valid());
        EXPECT_GE(cut.charts.size(), 2u);
        EXPECT_EQ(cut.charts[0].source, AtlasChartSource::cut);
    }
}  // namespace nodara
