#include <algorithm>
#include <cmath>

#include <gtest/gtest.h>

#include "atlas/chart_splitting.h"
#include "atlas/surface_facts.h"
#include "chart_expectations.h"
#include "surface_factory.h"

namespace nodara
{
    namespace
    {
        // A flat band in the plane z = 0 between radii 1 and 1 + width,
        // over `sweep` radians, `n` cells along and 3 across.
        std::unique_ptr<TriangulatedSurface<3>> band(double sweep, double width,
                                                     index_t n)
        {
            testing::Points points;
            testing::Triangles triangles;
            constexpr index_t across = 3;
            for (index_t j = 0; j <= across; ++j)
            {
                const double radius = 1 + width * j / across;
                for (index_t i = 0; i <= n; ++i)
                {
                    const double angle = sweep * i / n;
                    points.push_back({radius * std::cos(angle),
                                      radius * std::sin(angle), 0.0});
                }
            }
            for (index_t j = 0; j < across; ++j)
            {
                for (index_t i = 0; i < n; ++i)
                {
                    const index_t v = j * (n + 1) + i;
                    triangles.push_back({v, v + 1, v + n + 2});
                    triangles.push_back({v, v + n + 2, v + n + 1});
                }
            }
            return testing::make_surface(points, triangles);
        }

        // The surface's triangles as one chart flattened, split.
        std::vector<Chart> split_whole(const TriangulatedSurface<3>& surface,
                                       const SurfaceFacts& facts)
        {
            std::vector<index_t> all(surface.nb_polygons());
            for (index_t t = 0; t < all.size(); ++t)
            {
                all[t] = t;
            }
            const ChartBounds bounds;
            auto map = flatten_chart(surface, all, bounds);
            EXPECT_TRUE(map.valid);
            std::vector<Chart> charts{{all, std::move(map), false}};
            split_long_charts(surface, facts, bounds, charts);
            return charts;
        }
    }  // namespace

    TEST(SplitLongCharts, CutsACurvedBandIntoDiscsThatPass)
    {
        // Half a ring: its map fills a third of its enclosing rectangle.
        const auto surface = band(std::acos(-1.0), 0.3, 48);
        const auto facts = surface_facts(*surface);
        const auto& adjacencies = facts.adjacencies;
        const auto charts = split_whole(*surface, facts);

        EXPECT_GE(charts.size(), 2u);
        testing::expect_discs_covering(*surface, adjacencies, charts);
    }

    TEST(SplitLongCharts, LeavesAStraightBandWhole)
    {
        // A tenth of a turn of a ring: nearly a rectangle, which no split
        // packs tighter.
        const auto surface = band(0.1, 0.1, 12);
        EXPECT_EQ(split_whole(*surface, surface_facts(*surface)).size(), 1u);
    }
}  // namespace nodara
