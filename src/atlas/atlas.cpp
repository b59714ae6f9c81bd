#include <tessaplan/atlas.h>

#include <algorithm>
#include <cmath>
#include <iterator>

#include <CGAL/Exact_predicates_inexact_constructions_kernel.h>
#include <CGAL/convex_hull_2.h>
#include <CGAL/min_quadrilateral_2.h>

#include <velmora/basic/velmora_exception.h>
#include <velmora/mesh/polygon_orientation.h>

#include "chart_flattening.h"
#include "chart_growth.h"
#include "chart_merging.h"
#include "chart_smoothing.h"
#include "packing/rectangle_packing.h"
#include "profile_packing.h"

namespace nodara
{
    namespace
    {
        using Kernel = CGAL::Exact_predicates_inexact_constructions_kernel;

        // Charts grow while normals stay within this angle (radians) of
        // their mean normal: wide enough for few seams, narrow enough that
        // most charts flatten within the bounds on the first try.
        constexpr double max_normal_angle = 1.1;

        [[noreturn]] void fail(const std::string& message)
        {
            throw VelmoraException{"[compute_atlas] " + message};
        }

        void check_input(const TriangulatedSurface<3>& surface,
                         const AtlasOptions& options)
        {
            if (surface.nb_polygons() == 0)
            {
                fail("The surface has no triangle");
            }
            for (index_t v = 0; v < surface.nb_vertices(); ++v)
            {
                const auto& p = surface.point(v);
                if (!std::isfinite(p[0]) || !std::isfinite(p[1]) ||
                    !std::isfinite(p[2]))
                {
                    fail("Vertex " + std::to_string(v) +
                         " has a coordinate that is not finite");
                }
            }
            if (!(options.max_distortion >= 1.0) ||
                !std::isfinite(options.max_distortion))
            {
                fail("The distortion bound must be a number of at least 1");
            }
            if (!(options.padding >= 0.0) || !std::isfinite(options.padding))
            {
                fail("The padding must be a number of texels, at least 0");
            }
            if (options.resolution < 16 || options.resolution > (1u << 24))
            {
                fail("The resolution must be from 16 to 16777216 texels");
            }
        }

        // Oriented unit normals (zero for triangles of zero area), areas and
        // the adjacency across edges of two triangles.
        struct SurfaceFacts
        {
            PolygonAdjacencies adjacencies;
            std::vector<Vector<3>> normals;
            std::vector<double> areas;
        };

        SurfaceFacts surface_facts(const TriangulatedSurface<3>& surface)
        {
            SurfaceFacts facts;
            facts.adjacencies = compute_manifold_adjacencies(surface);
            const auto pieces = compute_polygon_components(facts.adjacencies);
            const auto orientation =
                compute_polygon_orientation(surface, facts.adjacencies, pieces);
            for (index_t t = 0; t < surface.nb_polygons(); ++t)
            {
                const auto normal = surface.polygon_normal(t);
                facts.normals.push_back(orientation.reversed[t]
                                            ? Vector<3>{normal * -1.0}
                                            : normal);
                const auto triangle = surface.triangle(t);
                const auto& p = triangle.vertices();
                facts.areas.push_back(cross(Vector<3>{p[0].get(), p[1].get()},
                                            Vector<3>{p[0].get(), p[2].get()})
                                          .length() /
                                      2);
            }
            return facts;
        }

        // A single triangle laid flat in its own plane: an isometry, which
        // LSCM may miss on a needle of extreme proportions.
        ChartMap triangle_map(const TriangulatedSurface<3>& surface, index_t t)
        {
            const auto triangle = surface.triangle(t);
            const auto& p = triangle.vertices();
            const Vector<3> e1{p[0].get(), p[1].get()};
            const Vector<3> e2{p[0].get(), p[2].get()};
            const double length = e1.length();
            ChartMap map;
            map.corners = {{Point<2>{}, Point<2>{{length, 0.0}},
                            Point<2>{{e1.dot(e2) / length,
                                      cross(e1, e2).length() / length}}}};
            map.conformal_p95 = 1.0;
            map.area_p95 = 1.0;
            map.valid = true;
            return map;
        }

        // Grows a chart from `seed`, and again at half the size each time
        // its map fails a check; a single triangle is laid flat directly
        // when its map fails.
        Chart cut_chart(const TriangulatedSurface<3>& surface,
                        ChartGrowth& growth, index_t seed,
                        const std::vector<bool>& taken,
                        const ChartBounds& bounds)
        {
            auto limit = surface.nb_polygons();
            for (;;)
            {
                auto triangles = growth.grow(seed, limit, taken);
                auto map = flatten_chart(surface, triangles, bounds);
                if (map.valid)
                {
                    return {std::move(triangles), std::move(map), false};
                }
                if (triangles.size() == 1)
                {
                    return {std::move(triangles), triangle_map(surface, seed),
                            false};
                }
                limit = static_cast<index_t>(triangles.size() / 2);
            }
        }

        // A triangle of zero area laid on a segment, its corners at their
        // distances from corner 0.
        Chart segment_chart(const TriangulatedSurface<3>& surface, index_t t)
        {
            const auto triangle = surface.triangle(t);
            const auto& p = triangle.vertices();
            const Vector<3> e1{p[0].get(), p[1].get()};
            const Vector<3> e2{p[0].get(), p[2].get()};
            const double side = e1.dot(e2) < 0 ? -1.0 : 1.0;
            Chart chart;
            chart.triangles = {t};
            chart.map.corners = {{Point<2>{}, Point<2>{{e1.length(), 0.0}},
                                  Point<2>{{side * e2.length(), 0.0}}}};
            chart.map.conformal_p95 = std::nan("");
            chart.map.area_p95 = std::nan("");
            chart.degenerate = true;
            return chart;
        }

        std::vector<Chart> cut_charts(const TriangulatedSurface<3>& surface,
                                      const SurfaceFacts& facts,
                                      const ChartBounds& bounds)
        {
            ChartGrowth growth{surface, facts.adjacencies, facts.normals,
                               facts.areas, max_normal_angle};
            std::vector<bool> taken(surface.nb_polygons(), false);
            std::vector<Chart> charts;
            for (index_t seed = 0; seed < surface.nb_polygons(); ++seed)
            {
                if (taken[seed])
                {
                    continue;
                }
                charts.push_back(
                    facts.normals[seed] == Vector<3>{}
                        ? segment_chart(surface, seed)
                        : cut_chart(surface, growth, seed, taken, bounds));
                for (const auto t : charts.back().triangles)
                {
                    taken[t] = true;
                }
            }
            return charts;
        }

        // Turns a chart's map so that its smallest enclosing rectangle is
        // axis-aligned and lying (no taller than wide), with its lower
        // corner at the origin. Returns the rectangle's size.
        std::array<double, 2> turn_tight(Chart& chart)
        {
            std::vector<Kernel::Point_2> points;
            for (const auto& triangle : chart.map.corners)
            {
                for (const auto& corner : triangle)
                {
                    points.emplace_back(corner[0], corner[1]);
                }
            }
            std::vector<Kernel::Point_2> hull;
            CGAL::convex_hull_2(points.begin(), points.end(),
                                std::back_inserter(hull));
            double c = 1.0;
            double s = 0.0;
            if (hull.size() >= 3)
            {
                std::vector<Kernel::Point_2> rectangle;
                CGAL::min_rectangle_2(hull.begin(), hull.end(),
                                      std::back_inserter(rectangle));
                const auto dx = rectangle[1].x() - rectangle[0].x();
                const auto dy = rectangle[1].y() - rectangle[0].y();
                const auto length = std::hypot(dx, dy);
                if (length > 0)
                {
                    c = dx / length;
                    s = dy / length;
                }
            }
            // Rotate by minus the edge's angle, then lay the box down.
            std::array<double, 2> low{{HUGE_VAL, HUGE_VAL}};
            std::array<double, 2> high{{-HUGE_VAL, -HUGE_VAL}};
            for (auto& triangle : chart.map.corners)
            {
                for (auto& corner : triangle)
                {
                    corner = Point<2>{{c * corner[0] + s * corner[1],
                                       -s * corner[0] + c * corner[1]}};
                    for (int i = 0; i < 2; ++i)
                    {
                        low[i] = std::min(low[i], corner[i]);
                        high[i] = std::max(high[i], corner[i]);
                    }
                }
            }
            const bool stand = high[1] - low[1] > high[0] - low[0];
            for (auto& triangle : chart.map.corners)
            {
                for (auto& corner : triangle)
                {
                    corner = stand ? Point<2>{{high[1] - corner[1],
                                               corner[0] - low[0]}}
                                   : Point<2>{{corner[0] - low[0],
                                               corner[1] - low[1]}};
                }
            }
            const std::array<double, 2> size{
                {high[0] - low[0], high[1] - low[1]}};
            return stand ? std::array<double, 2>{{size[1], size[0]}} : size;
        }

        struct Packing
        {
            double texels_per_unit{0};
            std::vector<ProfilePlacement> placements;
        };

        std::vector<ProfilePlacement> box_placements(
            const std::vector<std::array<int, 2>>& corners)
        {
            std::vector<ProfilePlacement> placements;
            for (const auto& corner : corners)
            {
                placements.push_back({0, corner[0], corner[1]});
            }
            return placements;
        }

        std::vector<std::array<int, 2>> texel_sizes(
            const std::vector<std::array<double, 2>>& sizes, double scale,
            int padding)
        {
            std::vector<std::array<int, 2>> texels;
            for (const auto& size : sizes)
            {
                texels.push_back(
                    {static_cast<int>(std::ceil(size[0] * scale)) + padding,
                     static_cast<int>(std::ceil(size[1] * scale)) + padding});
            }
            return texels;
        }

        // The largest common scale (texels per unit) at which the boxes,
        // each grown by the padding, fit the square less one padding, by
        // bisection; the packer is not monotonic, so the best fit seen is
        // kept.
        Packing pack_boxes(const std::vector<std::array<double, 2>>& sizes,
                           const AtlasOptions& options)
        {
            const auto padding = static_cast<int>(std::ceil(options.padding));
            const auto side = static_cast<int>(options.resolution) - padding;
            auto corners =
                pack_rectangles(texel_sizes(sizes, 0.0, padding), side);
            if (corners.empty())
            {
                fail("The resolution is too small for the padding of " +
                     std::to_string(sizes.size()) + " charts");
            }
            Packing best{0.0, box_placements(corners)};
            double longest = 0;
            for (const auto& size : sizes)
            {
                longest = std::max({longest, size[0], size[1]});
            }
            double low = 0;
            double high = longest > 0 ? side / longest : 1.0;
            for (int step = 0; step < 40; ++step)
            {
                const auto scale = (low + high) / 2;
                const auto texels = texel_sizes(sizes, scale, padding);
                corners = pack_rectangles(texels, side);
                if (corners.empty())
                {
                    corners =
                        pack_rectangles(texels, side, PackingRule::best_fit);
                }
                if (corners.empty())
                {
                    high = scale;
                    continue;
                }
                low = scale;
                best = {scale, box_placements(corners)};
            }
            return best;
        }

        double image_area(const std::array<Point<2>, 3>& corners)
        {
            const Vector<2> e1{corners[0], corners[1]};
            const Vector<2> e2{corners[0], corners[2]};
            return std::abs(e1[0] * e2[1] - e1[1] * e2[0]) / 2;
        }

        // Charts dropped onto a skyline by their outlines nest into each
        // other's dents, where their boxes could not: the largest scale at
        // which they fit so, by bisection above the boxes' scale, when it
        // beats that.
        Packing pack_charts(const std::vector<Chart>& charts,
                            const std::vector<std::array<double, 2>>& sizes,
                            const AtlasOptions& options)
        {
            auto best = pack_boxes(sizes, options);
            double area = 0;
            std::vector<const ChartCorners*> corners;
            for (const auto& chart : charts)
            {
                corners.push_back(&chart.map.corners);
                for (const auto& triangle : chart.map.corners)
                {
                    area += image_area(triangle);
                }
            }
            const double resolution = options.resolution;
            const auto side = static_cast<int>(options.resolution);
            const auto padding = static_cast<int>(std::ceil(options.padding));
            double low = best.texels_per_unit;
            double high = area > 0 ? resolution / std::sqrt(area) : low;
            for (int step = 0; step < 8 && high > low; ++step)
            {
                const auto scale = (low + high) / 2;
                auto placements = drop_charts(corners, scale, padding, side,
                                              DropRule::least_waste);
                if (placements.empty())
                {
                    placements = drop_charts(corners, scale, padding, side,
                                             DropRule::lowest);
                }
                if (placements.empty())
                {
                    high = scale;
                    continue;
                }
                low = scale;
                best = {scale, std::move(placements)};
            }
            return best;
        }

        Atlas assemble(const TriangulatedSurface<3>& surface,
                       const SurfaceFacts& facts, std::vector<Chart>& charts,
                       const std::vector<std::array<double, 2>>& sizes,
                       const AtlasOptions& options)
        {
            const auto packing = pack_charts(charts, sizes, options);
            const auto padding = static_cast<int>(std::ceil(options.padding));
            const double resolution = options.resolution;
            Atlas atlas;
            atlas.texels_per_unit = packing.texels_per_unit;
            atlas.chart.assign(surface.nb_polygons(), NO_ID);
            atlas.corners.resize(surface.nb_polygons());
            for (index_t c = 0; c < charts.size(); ++c)
            {
                const auto& chart = charts[c];
                const auto& at = packing.placements[c];
                const auto texels =
                    chart_texels(chart.map.corners, at.quarter_turns,
                                 packing.texels_per_unit, padding);
                for (std::size_t i = 0; i < chart.triangles.size(); ++i)
                {
                    const auto t = chart.triangles[i];
                    atlas.chart[t] = c;
                    for (local_index_t k = 0; k < 3; ++k)
                    {
                        const auto& p = texels[i][k];
                        atlas.corners[t][k] =
                            Point<2>{{(p[0] + at.x) / resolution,
                                      (p[1] + at.y) / resolution}};
                    }
                    atlas.efficiency += image_area(atlas.corners[t]);
                }
                atlas.charts.push_back(
                    {static_cast<index_t>(chart.triangles.size()),
                     chart.map.conformal_p95, chart.map.area_p95,
                     chart.degenerate});
                atlas.nb_degenerate_triangles +=
                    chart.degenerate ? chart.triangles.size() : 0;
            }
            for (index_t t = 0; t < surface.nb_polygons(); ++t)
            {
                for (const auto q : facts.adjacencies[t])
                {
                    atlas.nb_seam_edges +=
                        q != NO_ID && q > t && atlas.chart[q] != atlas.chart[t];
                }
            }
            return atlas;
        }
    }  // namespace

    Atlas compute_atlas(const TriangulatedSurface<3>& surface,
                        const AtlasOptions& options)
    {
        check_input(surface, options);
        const auto facts = surface_facts(surface);
        const ChartBounds bounds{options.max_distortion, 2.0};
        auto charts = cut_charts(surface, facts, bounds);
        merge_charts(surface, facts.adjacencies, bounds, charts);
        smooth_chart_borders(surface, facts.adjacencies, bounds, charts);
        std::vector<std::array<double, 2>> sizes;
        for (auto& chart : charts)
        {
            sizes.push_back(turn_tight(chart));
        }
        auto atlas = assemble(surface, facts, charts, sizes, options);
        // Every chart passed the check on its own; packing can still
        // collapse triangles of extreme proportions onto the texel grid.
        atlas.check = check_atlas(surface, atlas.corners);
        if (!atlas.check.valid())
        {
            fail("The packed charts fail the exact check (" +
                 std::to_string(atlas.check.nb_flipped_triangles) +
                 " flipped or collapsed triangles, " +
                 std::to_string(atlas.check.nb_overlapping_pairs) +
                 " overlapping pairs): too many charts for the resolution, "
                 "or triangles whose sizes differ beyond what the square's "
                 "coordinates resolve");
        }
        return atlas;
    }
}  // namespace nodara
