#include <cmath>
#include <iterator>
#include <limits>
#include <string>

#include <tessaplan/atlas.h>
#include <tessaplan/seam_cut.h>
#include <tessaplan/solve_selection.h>
#include <velmora/basic/velmora_exception.h>
#include <velmora/mesh/polygon_components.h>

#include "atlas_assembly.h"
#include "atlas_frame.h"
#include "atlas_input.h"
#include "chart_cutting.h"
#include "chart_flattening.h"
#include "chart_merging.h"
#include "parallel_tasks.h"
#include "surface_facts.h"

namespace nodara
{
    namespace
    {
        // The triangles of each part: joined through edges of two triangles
        // that carry the same number. Parts in the order of their lowest
        // triangle, each part's triangles in increasing order.
        std::vector<std::vector<index_t>> given_parts(
            PolygonAdjacencies adjacencies,
            absl::Span<const index_t> triangle_chart)
        {
            for (index_t t = 0; t < adjacencies.size(); ++t)
            {
                for (auto& q : adjacencies[t])
                {
                    if (q != NO_ID && triangle_chart[q] != triangle_chart[t])
                    {
                        q = NO_ID;
                    }
                }
            }
            const auto components = compute_polygon_components(adjacencies);
            std::vector<std::vector<index_t>> parts(components.nb_components);
            for (index_t t = 0; t < adjacencies.size(); ++t)
            {
                parts[components.component[t]].push_back(t);
            }
            return parts;
        }

        // Whether no triangle of `part` can be flattened with the others:
        // all have zero area or are slivers.
        bool only_degenerate(const SurfaceFacts& facts,
                             const std::vector<index_t>& part)
        {
            for (const auto t : part)
            {
                if (facts.normals[t] != Vector<3>{})
                {
                    return false;
                }
            }
            return true;
        }

        // Bounds that every map keeps: the given charts are kept whatever
        // their distortion.
        ChartBounds unbounded()
        {
            ChartBounds bounds;
            bounds.max_conformal = std::numeric_limits<double>::infinity();
            bounds.max_area = std::numeric_limits<double>::infinity();
            bounds.max_chart_area = std::numeric_limits<double>::infinity();
            bounds.max_boundary_length =
                std::numeric_limits<double>::infinity();
            return bounds;
        }

        // Each part flattened by LSCM, whatever its distortion.
        std::vector<ChartMap> flatten_parts(
            const TriangulatedSurface<3>& working, const SurfaceFacts& facts,
            const std::vector<std::vector<index_t>>& parts)
        {
            const auto bounds = unbounded();
            std::vector<ChartMap> maps(parts.size());
            run_in_parallel(parts.size(),
                            [&](std::size_t p)
                            {
                                if (!only_degenerate(facts, parts[p]))
                                {
                                    maps[p] = flatten_chart(working, parts[p],
                                                            bounds);
                                }
                            });
            return maps;
        }

        // The part's own map, `corners` of its triangles, scaled to its 3D
        // area and checked.
        ChartMap own_map(const TriangulatedSurface<3>& working,
                         const std::vector<index_t>& part,
                         absl::Span<const std::array<Point<2>, 3>> corners)
        {
            const auto flat_source =
                compact_surface_of_triangles(working, part);
            // A part is joined through edges whose ends have one image on
            // both sides, so each of its vertices has one image.
            std::vector<Point<2>> uv(flat_source->nb_vertices());
            for (index_t t = 0; t < part.size(); ++t)
            {
                for (local_index_t k = 0; k < 3; ++k)
                {
                    uv[flat_source->polygon_vertex({t, k})] =
                        corners[part[t]][k];
                }
            }
            return measure_chart_map(*flat_source, uv, unbounded());
        }

        // The part cut into charts within `bounds`, as compute_atlas cuts a
        // surface, numbered by `working`'s triangles.
        std::vector<Chart> cut_part(const TriangulatedSurface<3>& working,
                                    const std::vector<index_t>& part,
                                    const ChartBounds& bounds)
        {
            const auto piece = compact_surface_of_triangles(working, part);
            const auto facts = surface_facts(*piece);
            auto charts = cut_charts(*piece, facts, bounds);
            merge_charts(*piece, facts.adjacencies, bounds, charts);
            for (auto& chart : charts)
            {
                for (auto& t : chart.triangles)
                {
                    t = part[t];
                }
            }
            return charts;
        }

        // The charts of the parts: each part flattened by LSCM, or keeping
        // its own map where it has one and LSCM folds, or else cut.
        std::vector<Chart> part_charts(
            const TriangulatedSurface<3>& working, const SurfaceFacts& facts,
            const std::vector<std::vector<index_t>>& parts,
            absl::Span<const std::array<Point<2>, 3>> corners,
            const ChartBounds& bounds)
        {
            auto maps = flatten_parts(working, facts, parts);
            std::vector<Chart> charts;
            for (index_t p = 0; p < parts.size(); ++p)
            {
                const auto& part = parts[p];
                if (only_degenerate(facts, part))
                {
                    for (const auto t : part)
                    {
                        charts.push_back(
                            single_triangle_chart(working, facts, t));
                    }
                    continue;
                }
                if (maps[p].valid)
                {
                    charts.push_back({part, std::move(maps[p]), false,
                                      AtlasChartSource::given});
                    continue;
                }
                auto kept = corners.empty() ? ChartMap{}
                                            : own_map(working, part, corners);
                if (kept.valid)
                {
                    charts.push_back(
                        {part, std::move(kept), false, AtlasChartSource::kept});
                    continue;
                }
                auto cut = cut_part(working, part, bounds);
                charts.insert(charts.end(),
                              std::make_move_iterator(cut.begin()),
                              std::make_move_iterator(cut.end()));
            }
            return charts;
        }

        // The atlas of the parts of `triangle_chart`, with `corners` their
        // own maps (or none).
        Atlas atlas_of_parts(const TriangulatedSurface<3>& surface,
                             absl::Span<const index_t> triangle_chart,
                             absl::Span<const std::array<Point<2>, 3>> corners,
                             const AtlasOptions& options)
        {
            const auto frame = atlas_frame(surface);
            const auto& working = frame.surface(surface);
            const auto facts = surface_facts(working);
            const auto parts = given_parts(facts.adjacencies, triangle_chart);
            auto charts = part_charts(working, facts, parts, corners,
                                      ChartBounds{options, frame.exponent});
            return pack_in_frame(frame, working, facts, charts, options);
        }
    }  // namespace

    Atlas compute_atlas_of_charts(const TriangulatedSurface<3>& surface,
                                  absl::Span<const index_t> triangle_chart,
                                  const AtlasOptions& options)
    {
        check_atlas_input(surface, options);
        if (triangle_chart.size() != surface.nb_polygons())
        {
            throw InvalidInputException{
                "[compute_atlas] The charts must give one number per "
                "triangle: " +
                std::to_string(triangle_chart.size()) + " for " +
                std::to_string(surface.nb_polygons()) + " triangles"};
        }
        return atlas_of_parts(surface, triangle_chart, {}, options);
    }

    Atlas compute_atlas_of_islands(
        const TriangulatedSurface<3>& surface,
        absl::Span<const std::array<Point<2>, 3>> corners,
        const AtlasOptions& options)
    {
        check_atlas_input(surface, options);
        check_corner_map(surface, corners, "compute_atlas");
        // The islands are the pieces of the surface cut along the map's
        // seams; its triangles are the surface's, in its order.
        const auto cut = cut_along_seams(surface, corners);
        const std::vector<index_t> one_number(surface.nb_polygons(), 0);
        auto atlas = atlas_of_parts(*cut.surface, one_number, corners, options);
        atlas.nb_seam_edges =
            static_cast<index_t>(seam_edges(surface, atlas.corners).size());
        return atlas;
    }
}  // namespace nodara
