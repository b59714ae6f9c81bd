#pragma once

#include <algorithm>
#include <vector>

#include <gtest/gtest.h>

#include "atlas/chart.h"
#include "atlas/chart_topology.h"

namespace nodara
{
    namespace testing
    {
        // Edges between triangles of different charts.
        inline index_t seam_edge_count(const PolygonAdjacencies& adjacencies,
                                       const std::vector<Chart>& charts)
        {
            const auto chart_of = chart_of_triangles(
                static_cast<index_t>(adjacencies.size()), charts);
            index_t seams = 0;
            for (index_t t = 0; t < adjacencies.size(); ++t)
            {
                for (const auto q : adjacencies[t])
                {
                    seams += q != NO_ID && q > t && chart_of[q] != chart_of[t];
                }
            }
            return seams;
        }

        // Every chart a disc whose map passed, with a corner triple per
        // triangle, and every triangle of the surface in exactly one chart.
        inline void expect_discs_covering(const TriangulatedSurface<3>& surface,
                                          const PolygonAdjacencies& adjacencies,
                                          const std::vector<Chart>& charts)
        {
            std::vector<index_t> all;
            for (const auto& chart : charts)
            {
                EXPECT_TRUE(is_disc(surface, adjacencies, chart.triangles));
                EXPECT_TRUE(chart.map.valid);
                EXPECT_EQ(chart.map.corners.size(), chart.triangles.size());
                all.insert(all.end(), chart.triangles.begin(),
                           chart.triangles.end());
            }
            std::sort(all.begin(), all.end());
            ASSERT_EQ(all.size(), surface.nb_polygons());
            for (index_t t = 0; t < all.size(); ++t)
            {
                EXPECT_EQ(all[t], t);
            }
        }
    }  // namespace testing
}  // namespace nodara
