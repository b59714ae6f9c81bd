#include "chart_validity.h"

#include <cmath>
#include <vector>

#include <CGAL/Exact_predicates_inexact_constructions_kernel.h>
#include <CGAL/Intersections_2/Segment_2_Segment_2.h>
#include <CGAL/box_intersection_d.h>

#include <tessaplan/atlas_check.h>

namespace nodara
{
    namespace
    {
        using Kernel = CGAL::Exact_predicates_inexact_constructions_kernel;
        using Point2 = Kernel::Point_2;
        using Segment2 = Kernel::Segment_2;
        using Box =
            CGAL::Box_intersection_d::Box_with_info_d<double, 2, std::size_t>;

        Point2 to_cgal(const Point<2>& p)
        {
            return {p[0], p[1]};
        }

        // Whether every triangle has area in 3D and its image turns the same
        // way, exactly.
        bool turn_alike(const TriangulatedSurface<3>& chart,
                        const CornerMap& corners)
        {
            CGAL::Orientation first = CGAL::COLLINEAR;
            for (index_t t = 0; t < chart.nb_polygons(); ++t)
            {
                const auto& c = corners[t];
                const auto turn = CGAL::orientation(
                    to_cgal(c[0]), to_cgal(c[1]), to_cgal(c[2]));
                first = t == 0 ? turn : first;
                if (turn == CGAL::COLLINEAR || turn != first ||
                    chart.polygon_normal(t) == Vector<3>{})
                {
                    return false;
                }
            }
            return true;
        }

        // Whether the neighbour across edge e of t runs that edge the other
        // way, names t back, and maps its ends to the same points.
        bool joins_smoothly(const TriangulatedSurface<3>& chart,
                            const CornerMap& corners, index_t t,
                            local_index_t e, index_t q)
        {
            const auto a = chart.polygon_vertex({t, e});
            const auto b = chart.polygon_vertex(
                {t, static_cast<local_index_t>((e + 1) % 3)});
            for (local_index_t f = 0; f < 3; ++f)
            {
                const auto g = static_cast<local_index_t>((f + 1) % 3);
                if (chart.polygon_vertex({q, f}) == b &&
                    chart.polygon_vertex({q, g}) == a)
                {
                    return chart.polygon_adjacent({q, f}).value_or(NO_ID) ==
                               t &&
                           corners[q][f] == corners[t][(e + 1) % 3] &&
                           corners[q][g] == corners[t][e];
                }
            }
            return false;
        }

        // The images of the boundary edges from the one leaving `start`,
        // while each vertex reached has an edge leaving it; empty when they
        // are not all of the `nb_boundary` edges.
        std::vector<Segment2> walk_loop(
            const TriangulatedSurface<3>& chart, const CornerMap& corners,
            const std::vector<std::pair<index_t, local_index_t>>& leaving,
            index_t start, std::size_t nb_boundary)
        {
            std::vector<Segment2> loop;
            auto v = start;
            do
            {
                const auto [t, e] = leaving[v];
                if (t == NO_ID || loop.size() == nb_boundary)
                {
                    return {};
                }
                const auto f = static_cast<local_index_t>((e + 1) % 3);
                loop.emplace_back(to_cgal(corners[t][e]),
                                  to_cgal(corners[t][f]));
                v = chart.polygon_vertex({t, f});
            } while (v != start);
            return loop.size() == nb_boundary ? loop : std::vector<Segment2>{};
        }

        // The images of the boundary edges in their order along the
        // boundary, when the chart's edges join smoothly and the boundary
        // is one loop through distinct vertices; empty otherwise.
        std::vector<Segment2> boundary_loop(const TriangulatedSurface<3>& chart,
                                            const CornerMap& corners)
        {
            // Per vertex the boundary edge leaving it: triangle and edge.
            std::vector<std::pair<index_t, local_index_t>> leaving(
                chart.nb_vertices(), {NO_ID, 0});
            std::vector<char> entered(chart.nb_vertices(), 0);
            std::size_t nb_boundary = 0;
            for (index_t t = 0; t < chart.nb_polygons(); ++t)
            {
                for (local_index_t e = 0; e < 3; ++e)
                {
                    const auto q = chart.polygon_adjacent({t, e});
                    if (q)
                    {
                        if (!joins_smoothly(chart, corners, t, e, *q))
                        {
                            return {};
                        }
                        continue;
                    }
                    const auto a = chart.polygon_vertex({t, e});
                    const auto b = chart.polygon_vertex(
                        {t, static_cast<local_index_t>((e + 1) % 3)});
                    if (leaving[a].first != NO_ID || entered[b])
                    {
                        return {};
                    }
                    leaving[a] = {t, e};
                    entered[b] = 1;
                    ++nb_boundary;
                }
            }
            if (nb_boundary == 0)
            {
                return {};
            }
            index_t start = 0;
            while (leaving[start].first == NO_ID)
            {
                ++start;
            }
            return walk_loop(chart, corners, leaving, start, nb_boundary);
        }

        // Whether the closed polygon of `loop`, each segment starting where
        // the one before ends, is simple: neighbouring segments meet at
        // their shared end only, others not at all.
        bool is_simple(const std::vector<Segment2>& loop)
        {
            const auto size = loop.size();
            std::vector<Box> boxes;
            for (std::size_t i = 0; i < size; ++i)
            {
                const auto& next = loop[(i + 1) % size];
                if (CGAL::collinear(loop[i].source(), loop[i].target(),
                                    next.target()) &&
                    !CGAL::collinear_are_strictly_ordered_along_line(
                        loop[i].source(), loop[i].target(), next.target()))
                {
                    return false;
                }
                boxes.emplace_back(loop[i].bbox(), i);
            }
            bool simple = true;
            CGAL::box_self_intersection_d(
                boxes.begin(), boxes.end(),
                [&](const Box& a, const Box& b)
                {
                    const auto gap = a.info() > b.info() ? a.info() - b.info()
                                                         : b.info() - a.info();
                    if (simple && gap != 1 && gap != size - 1 &&
                        CGAL::do_intersect(loop[a.info()], loop[b.info()]))
                    {
                        simple = false;
                    }
                });
            return simple;
        }

        bool all_finite(const CornerMap& corners)
        {
            for (const auto& triangle : corners)
            {
                for (const auto& p : triangle)
                {
                    if (!std::isfinite(p[0]) || !std::isfinite(p[1]))
                    {
                        return false;
                    }
                }
            }
            return true;
        }
    }  // namespace

    bool passes_atlas_check(const TriangulatedSurface<3>& chart,
                            const CornerMap& corners)
    {
        return check_chart_map(chart, corners).valid();
    }

    AtlasCheck check_chart_map(const TriangulatedSurface<3>& chart,
                               const CornerMap& corners)
    {
        if (corners.size() == chart.nb_polygons() && all_finite(corners) &&
            turn_alike(chart, corners))
        {
            const auto loop = boundary_loop(chart, corners);
            if (!loop.empty() && is_simple(loop))
            {
                return {};
            }
        }
        return check_atlas(chart, corners);
    }
}  // namespace nodara
