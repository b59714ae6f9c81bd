#include <algorithm>

#include <gtest/gtest.h>

#include "atlas/chart_topology.h"
#include "atlas/seam_straightening.h"
#include "atlas/surface_facts.h"
#include "chart_expectations.h"
#include "surface_factory.h"

namespace nodara
{
    namespace
    {
        constexpr index_t n = 8;
    }  // namespace

    TEST(StraightenSeams, TakesTheTeethOffASeam)
    {
        const auto surface = testing::patch_surface(n);
        const auto facts = surface_facts(*surface);
        const auto& adjacencies = facts.adjacencies;

        // The left half of the cells, and as teeth the upper-left triangle
        // of every other cell just right of it: each tooth holds on by one
        // edge and has two on the right half.
        std::vector<index_t> left;
        std::vector<index_t> right;
        for (index_t j = 0; j < n; ++j)
        {
            for (index_t i = 0; i < n; ++i)
            {
                const index_t lower = 2 * (j * n + i);
                const bool tooth = i == n / 2 && j % 2 == 0;
                (i < n / 2 ? left : right).push_back(lower);
                (i < n / 2 || tooth ? left : right).push_back(lower + 1);
            }
        }
        const ChartBounds bounds;
        std::vector<Chart> charts;
        for (auto* chart : {&left, &right})
        {
            ASSERT_TRUE(is_disc(*surface, adjacencies, *chart));
            auto map = flatten_chart(*surface, *chart, bounds);
            ASSERT_TRUE(map.valid);
            charts.push_back({*chart, std::move(map), false});
        }
        EXPECT_EQ(testing::seam_edge_count(adjacencies, charts), n + n / 2);

        straighten_seams(*surface, facts, bounds, charts);

        // A straight seam, both charts still discs with maps that pass,
        // every triangle in one chart.
        EXPECT_EQ(testing::seam_edge_count(adjacencies, charts), n);
        testing::expect_discs_covering(*surface, adjacencies, charts);
    }

    TEST(ChartTopology, TellsDiscsFromAnnuliAndSeparatePieces)
    {
        testing::Points points;
        testing::Triangles triangles;
        testing::add_patch(points, triangles, 3, 0.0);
        const auto surface = testing::make_surface(points, triangles);
        const auto facts = surface_facts(*surface);
        const auto& adjacencies = facts.adjacencies;
        std::vector<index_t> ring;
        for (index_t t = 0; t < surface->nb_polygons(); ++t)
        {
            if (t / 2 != 4)  // all but the middle cell
            {
                ring.push_back(t);
            }
        }
        EXPECT_FALSE(is_disc(*surface, adjacencies, ring));
        ring.push_back(8);
        ring.push_back(9);
        EXPECT_TRUE(is_disc(*surface, adjacencies, ring));
        // Two cells that meet only at a corner: V - E + F = 1 with two
        // pieces, yet not a disc.
        EXPECT_FALSE(is_disc(*surface, adjacencies, {0, 1, 8, 9}));
        EXPECT_FALSE(is_disc(*surface, adjacencies, {}));
    }
}  // namespace nodara
