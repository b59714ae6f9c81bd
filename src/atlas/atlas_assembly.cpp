#include "atlas_assembly.h"

#include <cmath>
#include <limits>
#include <sstream>
#include <string>

#include <tessaplan/solve_selection.h>
#include <velmora/basic/velmora_exception.h>
#include <velmora/geometry/triangle.h>

#include "chart_cutting.h"
#include "chart_packing.h"
#include "texel_density.h"

namespace nodara
{
    namespace
    {
        index_t count_seam_edges(const PolygonAdjacencies& adjacencies,
                                 const std::vector<index_t>& chart)
        {
            index_t count = 0;
            for (index_t t = 0; t < adjacencies.size(); ++t)
            {
                for (const auto q : adjacencies[t])
                {
                    count += q != NO_ID && q > t && chart[q] != chart[t];
                }
            }
            return count;
        }

        // The packed charts as the atlas: every triangle's chart and
        // corners, the charts' figures, the seams and the efficiency.
        Atlas assemble(const TriangulatedSurface<3>& surface,
                       const SurfaceFacts& facts,
                       const std::vector<Chart>& charts,
                       const ChartPacking& packing, const AtlasOptions& options)
        {
            Atlas atlas;
            atlas.texels_per_unit = packing.texels_per_unit;
            atlas.nb_pages = packing.nb_pages;
            atlas.triangle_chart.assign(surface.nb_polygons(), NO_ID);
            atlas.triangle_page.assign(surface.nb_polygons(), 0);
            atlas.corners.resize(surface.nb_polygons());
            for (index_t c = 0; c < charts.size(); ++c)
            {
                const auto& chart = charts[c];
                const auto corners =
                    packed_corners(chart, packing.placements[c],
                                   packing.texels_per_unit, options);
                for (std::size_t i = 0; i < chart.triangles.size(); ++i)
                {
                    const auto t = chart.triangles[i];
                    atlas.triangle_chart[t] = c;
                    atlas.triangle_page[t] = packing.pages[c];
                    atlas.corners[t] = corners[i];
                    atlas.efficiency +=
                        Triangle<2>{corners[i][0], corners[i][1], corners[i][2]}
                            .area();
                }
                atlas.charts.push_back(
                    {static_cast<index_t>(chart.triangles.size()),
                     chart.map.conformal_p95, chart.map.area_p95,
                     chart.degenerate, chart.source});
                atlas.nb_degenerate_triangles +=
                    chart.degenerate ? chart.triangles.size() : 0;
            }
            atlas.efficiency /= atlas.nb_pages;
            atlas.nb_seam_edges =
                count_seam_edges(facts.adjacencies, atlas.triangle_chart);
            atlas.area_p95 = atlas_area_p95(facts, charts, atlas.corners);
            return atlas;
        }

        // Charts whose placed map fails the exact check on its own: the
        // scaling and moving into the square round coordinates, which can
        // make two nearly touching triangles of a chart overlap or a thin
        // one turn. Each such chart is replaced by a chart per triangle.
        // Returns whether any was.
        bool split_broken_charts(const TriangulatedSurface<3>& surface,
                                 const SurfaceFacts& facts, const Atlas& atlas,
                                 std::vector<Chart>& charts)
        {
            const auto nb_charts = charts.size();
            bool split = false;
            for (std::size_t c = 0; c < nb_charts; ++c)
            {
                const auto triangles = charts[c].triangles;
                if (triangles.size() < 2)
                {
                    continue;
                }
                CornerMap placed;
                for (const auto t : triangles)
                {
                    placed.push_back(atlas.corners[t]);
                }
                const auto chart =
                    compact_surface_of_triangles(surface, triangles);
                if (check_atlas(*chart, placed).valid())
                {
                    continue;
                }
                split = true;
                charts[c] = single_triangle_chart(surface, facts, triangles[0]);
                for (std::size_t i = 1; i < triangles.size(); ++i)
                {
                    charts.push_back(
                        single_triangle_chart(surface, facts, triangles[i]));
                }
            }
            return split;
        }

        // The exact check of each page on its own, summed, with the
        // overlapping pairs named by the surface's triangle ids.
        AtlasCheck check_pages(const TriangulatedSurface<3>& surface,
                               const Atlas& atlas)
        {
            if (atlas.nb_pages == 1)
            {
                return check_atlas(surface, atlas.corners);
            }
            std::vector<std::vector<index_t>> pages(atlas.nb_pages);
            for (index_t t = 0; t < surface.nb_polygons(); ++t)
            {
                pages[atlas.triangle_page[t]].push_back(t);
            }
            AtlasCheck total;
            for (const auto& triangles : pages)
            {
                CornerMap corners;
                for (const auto t : triangles)
                {
                    corners.push_back(atlas.corners[t]);
                }
                const auto page =
                    compact_surface_of_triangles(surface, triangles);
                const auto check = check_atlas(*page, corners);
                total.nb_degenerate_triangles += check.nb_degenerate_triangles;
                total.nb_flipped_triangles += check.nb_flipped_triangles;
                total.nb_overlapping_pairs += check.nb_overlapping_pairs;
                for (const auto& pair : check.overlapping_pairs)
                {
                    if (total.overlapping_pairs.size() < 16)
                    {
                        total.overlapping_pairs.emplace_back(
                            triangles[pair.first], triangles[pair.second]);
                    }
                }
            }
            return total;
        }

        [[noreturn]] void refuse_packed(const Atlas& atlas,
                                        const AtlasOptions& options)
        {
            throw ComputationException{
                "[compute_atlas] The packed charts fail the exact check: " +
                packing_failure_cause(atlas, options)};
        }
    }  // namespace

    double atlas_area_p95(const SurfaceFacts& facts,
                          const std::vector<Chart>& charts,
                          const CornerMap& corners)
    {
        std::vector<double> areas_3d;
        CornerMap images;
        for (const auto& chart : charts)
        {
            if (chart.degenerate)
            {
                continue;
            }
            for (const auto t : chart.triangles)
            {
                areas_3d.push_back(facts.areas[t]);
                images.push_back(corners[t]);
            }
        }
        return density_p95(density_ratios(areas_3d, image_areas(images)));
    }

    std::string packing_failure_cause(const Atlas& atlas,
                                      const AtlasOptions& options)
    {
        const auto& check = atlas.check;
        const auto counts = " (" + std::to_string(check.nb_flipped_triangles) +
                            " flipped or collapsed triangles, " +
                            std::to_string(check.nb_overlapping_pairs) +
                            " overlapping pairs)";
        if (!check.overlapping_pairs.empty())
        {
            const auto [a, b] = check.overlapping_pairs.front();
            const auto ca = atlas.triangle_chart[a];
            const auto cb = atlas.triangle_chart[b];
            return (ca == cb
                        ? "chart " + std::to_string(ca) +
                              " overlaps itself once placed"
                        : "charts " + std::to_string(ca) + " and " +
                              std::to_string(cb) + " overlap once placed") +
                   " (triangles " + std::to_string(a) + " and " +
                   std::to_string(b) + ")" + counts;
        }
        // The flipped triangles are not named: the smallest image says how
        // far the scale left the square's coordinates behind.
        index_t smallest = 0;
        double smallest_area = std::numeric_limits<double>::infinity();
        for (index_t t = 0; t < atlas.corners.size(); ++t)
        {
            const auto& c = atlas.corners[t];
            const auto area = Triangle<2>{c[0], c[1], c[2]}.area();
            if (area < smallest_area &&
                !atlas.charts[atlas.triangle_chart[t]].degenerate)
            {
                smallest = t;
                smallest_area = area;
            }
        }
        const double texels = static_cast<double>(options.resolution);
        std::ostringstream cause;
        cause << "triangles collapse or turn once placed at "
              << options.resolution << " texels" << counts
              << "; the smallest image, of triangle " << smallest << ", covers "
              << smallest_area * texels * texels
              << " square texels, too little for the square's coordinates "
                 "(a higher resolution, or fewer charts, gives it more)";
        return cause.str();
    }

    // Packs the charts and checks the atlas exactly. Every chart passed
    // the check on its own, but placing it in the square rounds its
    // coordinates: a chart that fails once placed is split into its
    // triangles and the charts are packed again, twice at most.
    Atlas pack_and_check(const TriangulatedSurface<3>& surface,
                         const SurfaceFacts& facts, std::vector<Chart>& charts,
                         const AtlasOptions& options)
    {
        for (int attempt = 0;; ++attempt)
        {
            const auto packing = pack_charts(charts, options);
            auto atlas = assemble(surface, facts, charts, packing, options);
            atlas.check = check_pages(surface, atlas);
            if (atlas.check.valid())
            {
                return atlas;
            }
            if (attempt == 2 ||
                !split_broken_charts(surface, facts, atlas, charts))
            {
                refuse_packed(atlas, options);
            }
        }
    }

    Atlas pack_in_frame(const AtlasFrame& frame,
                        const TriangulatedSurface<3>& working,
                        const SurfaceFacts& facts, std::vector<Chart>& charts,
                        const AtlasOptions& options)
    {
        // Texels per unit of the working surface's length.
        auto working_options = options;
        working_options.texels_per_unit =
            std::ldexp(options.texels_per_unit, frame.exponent);
        auto atlas = pack_and_check(working, facts, charts, working_options);
        // Texels per unit of the surface's own length.
        atlas.texels_per_unit =
            std::ldexp(atlas.texels_per_unit, -frame.exponent);
        return atlas;
    }
}  // namespace nodara
