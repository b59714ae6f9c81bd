#include "atlas_stages.h"

#include <algorithm>
#include <chrono>
#include <cmath>

#include <tessaplan/atlas_check.h>

#include "atlas/atlas_assembly.h"
#include "atlas/atlas_frame.h"
#include "atlas/chart_making.h"
#include "atlas/chart_packing.h"
#include "atlas/surface_facts.h"
#include "atlas/texel_density.h"

namespace nodara
{
    namespace bench
    {
        namespace
        {
            class Lap
            {
            public:
                double operator()()
                {
                    const auto now = std::chrono::steady_clock::now();
                    const std::chrono::duration<double> elapsed = now - last_;
                    last_ = now;
                    return elapsed.count();
                }

            private:
                std::chrono::steady_clock::time_point last_ =
                    std::chrono::steady_clock::now();
            };

            // Edges whose two triangles lie in different charts.
            std::size_t seam_edges(const PolygonAdjacencies& adjacencies,
                                   const std::vector<Chart>& charts)
            {
                const auto chart_of =
                    chart_of_triangles(adjacencies.size(), charts);
                std::size_t count = 0;
                for (index_t t = 0; t < adjacencies.size(); ++t)
                {
                    for (const auto q : adjacencies[t])
                    {
                        count +=
                            q != NO_ID && q > t && chart_of[q] != chart_of[t];
                    }
                }
                return count;
            }

            // The largest of a 95th percentile of the charts' maps (of
            // conformal distortion, or of texel density both ways) over the
            // charts that are not degenerate.
            double worst(const std::vector<Chart>& charts,
                         double ChartMap::*figure)
            {
                double largest = 0;
                for (const auto& chart : charts)
                {
                    largest = chart.degenerate
                                  ? largest
                                  : std::max(largest, chart.map.*figure);
                }
                return largest;
            }

            // The packed corners of every triangle.
            CornerMap placed_corners(const std::vector<Chart>& charts,
                                     const ChartPacking& packing,
                                     const AtlasOptions& options,
                                     index_t nb_triangles)
            {
                CornerMap corners(nb_triangles);
                for (index_t c = 0; c < charts.size(); ++c)
                {
                    const auto placed =
                        packed_corners(charts[c], packing.placements[c],
                                       packing.texels_per_unit, options);
                    for (std::size_t i = 0; i < charts[c].triangles.size(); ++i)
                    {
                        corners[charts[c].triangles[i]] = placed[i];
                    }
                }
                return corners;
            }

            // The summed area of the packed triangles: the share of the unit
            // square they cover.
            double covered_share(const CornerMap& corners)
            {
                double area = 0;
                for (const auto& t : corners)
                {
                    area += 0.5 *
                            std::abs((t[1][0] - t[0][0]) * (t[2][1] - t[0][1]) -
                                     (t[2][0] - t[0][0]) * (t[1][1] - t[0][1]));
                }
                return area;
            }
        }  // namespace

        const char* const AtlasStages::names[nb_stages] = {
            "facts", "cut", "merge", "straighten", "pack", "check"};

        double AtlasStages::total() const
        {
            double sum = 0;
            for (const auto s : seconds)
            {
                sum += s;
            }
            return sum;
        }

        AtlasStages time_atlas_stages(const TriangulatedSurface<3>& surface,
                                      const AtlasOptions& options)
        {
            AtlasStages stages;
            auto* t = stages.seconds;
            Lap lap;
            const auto frame = atlas_frame(surface);
            const auto& working = frame.surface(surface);
            const auto facts = surface_facts(working);
            const ChartBounds bounds{options};
            t[0] = lap();
            // The seams' column holds their shortening before merging too;
            // the merging's holds the splitting.
            double shortened = 0;
            auto charts = make_charts(
                working, facts, bounds,
                [&](ChartStage stage, const std::vector<Chart>& made)
                {
                    switch (stage)
                    {
                        case ChartStage::cut:
                            t[1] = lap();
                            stages.cut = made.size();
                            break;
                        case ChartStage::shorten_cut:
                            shortened = lap();
                            break;
                        case ChartStage::split:
                            t[2] = lap();
                            stages.merged = made.size();
                            break;
                        case ChartStage::shorten:
                            t[3] = lap() + shortened;
                            stages.straightened = made.size();
                            break;
                        default:
                            break;
                    }
                });
            const auto packing = pack_charts(charts, options);
            t[4] = lap();
            const auto corners =
                placed_corners(charts, packing, options, working.nb_polygons());
            const auto check = check_atlas(working, corners);
            t[5] = lap();
            stages.covered = covered_share(corners);
            stages.seams = seam_edges(facts.adjacencies, charts);
            stages.worst_conformal = worst(charts, &ChartMap::conformal_p95);
            stages.worst_area = worst(charts, &ChartMap::area_p95);
            stages.atlas_area = atlas_area_p95(facts, charts, corners);
            stages.valid = check.valid();
            return stages;
        }
    }  // namespace bench
}  // namespace nodara
