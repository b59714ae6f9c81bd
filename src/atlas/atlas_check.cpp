#include <tessaplan/atlas.h>

#include <algorithm>

#include <CGAL/Exact_predicates_inexact_constructions_kernel.h>
#include <CGAL/box_intersection_d.h>

#include <tessaplan/seam_cut.h>
#include <velmora/basic/velmora_exception.h>
#include <velmora/mesh/manifold_adjacency.h>
#include <velmora/mesh/polygon_orientation.h>

#include "atlas_input.h"
#include "parallel_tasks.h"

namespace nodara
{
    namespace
    {
        using Kernel = CGAL::Exact_predicates_inexact_constructions_kernel;
        using Point2 = Kernel::Point_2;
        using Box =
            CGAL::Box_intersection_d::Box_with_info_d<double, 2, index_t>;

        Point2 to_cgal(const Point<2>& p)
        {
            return {p[0], p[1]};
        }

        // The adjacencies a surface holds (the cut computes them).
        PolygonAdjacencies stored_adjacencies(
            const TriangulatedSurface<3>& surface)
        {
            PolygonAdjacencies adjacencies(surface.nb_polygons());
            for (index_t t = 0; t < surface.nb_polygons(); ++t)
            {
                for (local_index_t e = 0; e < 3; ++e)
                {
                    adjacencies[t][e] =
                        surface.polygon_adjacent({t, e}).value_or(NO_ID);
                }
            }
            return adjacencies;
        }

        // Per triangle, whether it is flipped; degenerate ones are counted.
        std::vector<bool> find_flipped(
            const TriangulatedSurface<3>& surface,
            absl::Span<const std::array<Point<2>, 3>> corners,
            AtlasCheck& check)
        {
            const auto charts = cut_along_seams(surface, corners).surface;
            const auto adjacencies = stored_adjacencies(*charts);
            const auto pieces = compute_polygon_components(adjacencies);
            const auto orientation =
                compute_polygon_orientation(*charts, adjacencies, pieces);
            // Per triangle its turn read in the chart's consistent sense:
            // +1, -1, or 0 for a zero-area image; then the majority per chart.
            std::vector<int> turn(surface.nb_polygons(), 0);
            std::vector<long> balance(pieces.nb_components, 0);
            for (index_t t = 0; t < surface.nb_polygons(); ++t)
            {
                if (surface.polygon_normal(t) == Vector<3>{})
                {
                    ++check.nb_degenerate_triangles;
                    continue;
                }
                const auto sign = CGAL::orientation(to_cgal(corners[t][0]),
                                                    to_cgal(corners[t][1]),
                                                    to_cgal(corners[t][2]));
                turn[t] = orientation.reversed[t] ? -sign : sign;
                balance[pieces.component[t]] += turn[t];
            }
            std::vector<bool> flipped(surface.nb_polygons(), false);
            for (index_t t = 0; t < surface.nb_polygons(); ++t)
            {
                if (surface.polygon_normal(t) == Vector<3>{})
                {
                    continue;
                }
                const auto majority =
                    balance[pieces.component[t]] >= 0 ? 1 : -1;
                flipped[t] = turn[t] != majority;
                check.nb_flipped_triangles += flipped[t] ? 1 : 0;
            }
            return flipped;
        }

        // Whether the interiors of two counter-clockwise triangles meet: no
        // edge of either has the other wholly on its closed outer side. A
        // corner at an end of the edge lies on it, which neighbours sharing
        // corners find without the exact arithmetic the predicate falls
        // back on for points on a line.
        bool interiors_meet(const std::array<Point2, 3>& a,
                            const std::array<Point2, 3>& b)
        {
            const auto separated_by_edge_of = [](const std::array<Point2, 3>& p,
                                                 const std::array<Point2, 3>& q)
            {
                for (int e = 0; e < 3; ++e)
                {
                    const auto& from = p[e];
                    const auto& to = p[(e + 1) % 3];
                    if (std::all_of(q.begin(), q.end(),
                                    [&](const Point2& x)
                                    {
                                        return x == from || x == to ||
                                               CGAL::orientation(from, to, x) !=
                                                   CGAL::LEFT_TURN;
                                    }))
                    {
                        return true;
                    }
                }
                return false;
            };
            return !separated_by_edge_of(a, b) && !separated_by_edge_of(b, a);
        }

        std::array<Point2, 3> counter_clockwise(
            const std::array<Point<2>, 3>& corners)
        {
            std::array<Point2, 3> p{{to_cgal(corners[0]), to_cgal(corners[1]),
                                     to_cgal(corners[2])}};
            if (CGAL::orientation(p[0], p[1], p[2]) == CGAL::RIGHT_TURN)
            {
                std::swap(p[1], p[2]);
            }
            return p;
        }

        void find_overlaps(absl::Span<const std::array<Point<2>, 3>> corners,
                           const std::vector<bool>& left_out, AtlasCheck& check)
        {
            std::vector<Box> boxes;
            std::vector<std::array<Point2, 3>> images(corners.size());
            for (index_t t = 0; t < corners.size(); ++t)
            {
                if (left_out[t])
                {
                    continue;
                }
                images[t] = counter_clockwise(corners[t]);
                boxes.emplace_back(images[t][0].bbox() + images[t][1].bbox() +
                                       images[t][2].bbox(),
                                   t);
            }
            CGAL::box_self_intersection_d(
                boxes.begin(), boxes.end(),
                [&](const Box& a, const Box& b)
                {
                    if (!interiors_meet(images[a.info()], images[b.info()]))
                    {
                        return;
                    }
                    ++check.nb_overlapping_pairs;
                    if (check.overlapping_pairs.size() < 16)
                    {
                        check.overlapping_pairs.emplace_back(
                            std::min(a.info(), b.info()),
                            std::max(a.info(), b.info()));
                    }
                });
        }

        // The triangles from which the overlaps are looked for while the
        // flipped ones are found: fewer are checked faster than threads
        // start.
        constexpr std::size_t overlaps_at_once_from = 4096;
    }  // namespace

    AtlasCheck check_atlas(const TriangulatedSurface<3>& surface,
                           absl::Span<const std::array<Point<2>, 3>> corners)
    {
        check_corner_map(surface, corners, "check_atlas");
        std::vector<bool> left_out(surface.nb_polygons());
        for (index_t t = 0; t < surface.nb_polygons(); ++t)
        {
            left_out[t] = surface.polygon_normal(t) == Vector<3>{};
        }
        AtlasCheck check;
        std::vector<bool> flipped;
        // While the flipped triangles are found, the overlaps are looked for
        // among all triangles but the degenerate ones: with none flipped,
        // those are the overlaps, else they are looked for again.
        AtlasCheck overlaps;
        const bool at_once =
            corners.size() >= overlaps_at_once_from && tasks_run_at_once();
        run_in_parallel(at_once ? 2 : 1,
                        [&](std::size_t task)
                        {
                            if (task == 0)
                            {
                                flipped = find_flipped(surface, corners, check);
                            }
                            else
                            {
                                find_overlaps(corners, left_out, overlaps);
                            }
                        });
        if (at_once && check.nb_flipped_triangles == 0)
        {
            check.nb_overlapping_pairs = overlaps.nb_overlapping_pairs;
            check.overlapping_pairs = std::move(overlaps.overlapping_pairs);
            return check;
        }
        for (index_t t = 0; t < surface.nb_polygons(); ++t)
        {
            left_out[t] = left_out[t] || flipped[t];
        }
        find_overlaps(corners, left_out, check);
        return check;
    }
}  // namespace nodara
