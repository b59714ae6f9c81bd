#include <tessaplan/surface_flattening.h>

#include <array>
#include <chrono>
#include <cstdio>

#include <absl/container/flat_hash_map.h>

#include <tessaplan/lscm.h>
#include <tessaplan/piece_packing.h>
#include <velmora/geometry/position_key.h>

#include "piece_diagnosis.h"

namespace nodara
{
    namespace
    {
        double seconds_since(std::chrono::steady_clock::time_point start)
        {
            return std::chrono::duration<double>(
                       std::chrono::steady_clock::now() - start)
                .count();
        }

        std::vector<bool> solved_vertices(const TriangulatedSurface<3>& surface,
                                          const std::vector<index_t>& solved)
        {
            std::vector<bool> used(surface.nb_vertices(), false);
            for (const auto t : solved)
            {
                for (local_index_t k = 0; k < 3; ++k)
                {
                    used[surface.polygon_vertex({t, k})] = true;
                }
            }
            return used;
        }

        // The corner of triangle t other than corner k at the same position
        // as it that has a place in the map, or NO_ID.
        index_t placed_twin(const TriangulatedSurface<3>& surface, index_t t,
                            local_index_t k, const std::vector<bool>& placed)
        {
            const auto& point = surface.point(surface.polygon_vertex({t, k}));
            for (local_index_t j = 0; j < 3; ++j)
            {
                const auto w = surface.polygon_vertex({t, j});
                if (j != k && placed[w] && surface.point(w) == point)
                {
                    return w;
                }
            }
            return NO_ID;
        }

        // A vertex that only left-out triangles use takes the map of a
        // placed vertex at its position, as --weld would have made them
        // one vertex: a corner of its own triangle first, so that the
        // triangle keeps no area in the map either, else the first solved
        // vertex there. It keeps its projection when there is none.
        void place_left_out_vertices(const TriangulatedSurface<3>& surface,
                                     const SolveSelection& selection,
                                     std::vector<Point<2>>& map)
        {
            auto placed = solved_vertices(surface, selection.solved);
            absl::flat_hash_map<std::array<double, 3>, index_t> solved_at;
            for (index_t v = 0; v < surface.nb_vertices(); ++v)
            {
                if (placed[v])
                {
                    solved_at.emplace(position_key(surface.point(v)), v);
                }
            }
            for (index_t t = 0; t < surface.nb_polygons(); ++t)
            {
                for (local_index_t k = 0; selection.left_out[t] && k < 3; ++k)
                {
                    const auto v = surface.polygon_vertex({t, k});
                    if (placed[v])
                    {
                        continue;
                    }
                    auto twin = placed_twin(surface, t, k, placed);
                    if (twin == NO_ID)
                    {
                        const auto found =
                            solved_at.find(position_key(surface.point(v)));
                        twin = found == solved_at.end() ? NO_ID : found->second;
                    }
                    if (twin != NO_ID)
                    {
                        map[v] = map[twin];
                        placed[v] = true;
                    }
                }
            }
        }

        std::string ratio_text(double ratio)
        {
            char buffer[32];
            std::snprintf(buffer, sizeof buffer, "%.3g", ratio);
            return buffer;
        }

        // Throws PieceFlatteningError for the first piece that collapsed.
        void check_no_piece_collapsed(const SurfaceFlattening& flattening)
        {
            const auto& pieces = flattening.summary.pieces;
            const auto& ids = flattening.reduced_surface
                                  ? flattening.selection.solved
                                  : std::vector<index_t>{};
            for (index_t p = 0; p < pieces.size(); ++p)
            {
                if (!pieces[p].collapsed)
                {
                    continue;
                }
                index_t t = 0;
                while (flattening.distortions.piece[t] != p)
                {
                    ++t;
                }
                const bool closed = pieces[p].closed();
                throw PieceFlatteningError{
                    "[flatten_surface] " +
                        piece_text(p, static_cast<index_t>(pieces.size()),
                                   pieces[p].nb_triangles, t, ids) +
                        " collapsed: its flat area is " +
                        ratio_text(pieces[p].area_ratio) +
                        " times its 3D area" +
                        (closed ? std::string{"; "} + closed_piece_cause : ""),
                    p, ids.empty() ? t : ids[t], closed};
            }
        }

        std::vector<Point<2>> solve(const TriangulatedSurface<3>& solved,
                                    const std::vector<index_t>& input_ids,
                                    const std::vector<VertexPin>& pins)
        {
            try
            {
                return solve_LSCM(solved, pins).map;
            }
            catch (const PieceFlatteningError&)
            {
                throw;
            }
            catch (const PinError&)
            {
                throw;
            }
            catch (const VelmoraException& error)
            {
                blame_piece(solved, input_ids, error.what());
                throw;
            }
        }
    }  // namespace

    SurfaceFlattening flatten_surface(const TriangulatedSurface<3>& surface,
                                      bool pack)
    {
        FlattenOptions options;
        options.pack = pack;
        return flatten_surface(surface, options);
    }

    SurfaceFlattening flatten_surface(const TriangulatedSurface<3>& surface,
                                      const FlattenOptions& options)
    {
        if (options.method == FlatteningMethod::arap && !options.pins.empty())
        {
            throw InvalidInputException{
                "[flatten_surface] Pins apply to the LSCM method only: the "
                "as-rigid-as-possible flattening keeps the surface's own "
                "size and places each piece itself"};
        }
        SurfaceFlattening flattening;
        flattening.selection = select_solved_triangles(surface);
        if (flattening.selection.leaves_out_any())
        {
            flattening.reduced_surface =
                surface_of_triangles(surface, flattening.selection.solved);
        }
        const auto& solved = flattening.solved_surface(surface);
        auto start = std::chrono::steady_clock::now();
        flattening.map =
            solve(solved,
                  flattening.reduced_surface ? flattening.selection.solved
                                             : std::vector<index_t>{},
                  options.pins);
        if (options.method == FlatteningMethod::arap)
        {
            // Before the left-out vertices copy their neighbours' images.
            auto arap = solve_ARAP(solved, std::move(flattening.map));
            flattening.map = std::move(arap.map);
            flattening.arap_iterations = arap.iterations;
            flattening.arap_converged = arap.converged;
        }
        else if (options.scale == FlatteningScale::area)
        {
            scale_to_true_size(solved, flattening.map);
        }
        if (flattening.reduced_surface)
        {
            place_left_out_vertices(surface, flattening.selection,
                                    flattening.map);
            // A given pin whose triangles were all left out keeps its
            // position rather than a neighbour's.
            if (options.scale == FlatteningScale::pins &&
                options.method == FlatteningMethod::lscm)
            {
                for (const auto& pin : options.pins)
                {
                    flattening.map[pin.vertex] = pin.position;
                }
            }
        }
        flattening.solve_seconds = seconds_since(start);
        if (options.pack)
        {
            start = std::chrono::steady_clock::now();
            auto packing = pack_pieces(surface, flattening.map);
            flattening.map = std::move(packing.uv);
            flattening.pack_fill = packing.fill;
            flattening.pack_seconds = seconds_since(start);
        }
        start = std::chrono::steady_clock::now();
        flattening.distortions =
            compute_triangle_distortions(solved, flattening.map);
        flattening.summary = summarize_distortions(flattening.distortions);
        flattening.measure_seconds = seconds_since(start);
        check_no_piece_collapsed(flattening);
        return flattening;
    }
}  // namespace nodara
