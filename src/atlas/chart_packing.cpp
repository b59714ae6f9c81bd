#include "chart_packing.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <string>

#include <absl/types/optional.h>

#include <velmora/basic/velmora_exception.h>
#include <velmora/geometry/triangle.h>

#include "map_hull.h"
#include "packing/rectangle_packing.h"
#include "parallel_tasks.h"

namespace nodara
{
    namespace
    {
        using Kernel = HullKernel;

        // Turns a chart's map so that its smallest enclosing rectangle is
        // axis-aligned and lying (no taller than wide), with its lower
        // corner at the origin. Returns the rectangle's size.
        std::array<double, 2> turn_tight(Chart& chart)
        {
            const auto rectangle = smallest_rectangle(chart.map.corners);
            const double c = rectangle.found ? rectangle.sides[0][0] : 1.0;
            const double s = rectangle.found ? rectangle.sides[0][1] : 0.0;
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

        // The lower and upper corners of the box of a map's corners.
        std::array<std::array<double, 2>, 2> box_of(const CornerMap& corners)
        {
            std::array<double, 2> low{{HUGE_VAL, HUGE_VAL}};
            std::array<double, 2> high{{-HUGE_VAL, -HUGE_VAL}};
            for (const auto& triangle : corners)
            {
                for (const auto& corner : triangle)
                {
                    for (int i = 0; i < 2; ++i)
                    {
                        low[i] = std::min(low[i], corner[i]);
                        high[i] = std::max(high[i], corner[i]);
                    }
                }
            }
            return {{low, high}};
        }

        // Moves a chart's map, unturned, so that its box's lower corner is
        // at the origin. Returns the box's size.
        std::array<double, 2> move_to_origin(CornerMap& corners)
        {
            const auto [low, high] = box_of(corners);
            for (auto& triangle : corners)
            {
                for (auto& corner : triangle)
                {
                    corner = Point<2>{{corner[0] - low[0], corner[1] - low[1]}};
                }
            }
            return {{high[0] - low[0], high[1] - low[1]}};
        }

        // The longer side of the box of `hull` turned by `angle`.
        double longer_side(const std::vector<Kernel::Point_2>& hull,
                           double angle)
        {
            const double c = std::cos(angle);
            const double s = std::sin(angle);
            std::array<double, 2> low{{HUGE_VAL, HUGE_VAL}};
            std::array<double, 2> high{{-HUGE_VAL, -HUGE_VAL}};
            for (const auto& p : hull)
            {
                const std::array<double, 2> q{
                    {c * p.x() - s * p.y(), s * p.x() + c * p.y()}};
                for (int i = 0; i < 2; ++i)
                {
                    low[i] = std::min(low[i], q[i]);
                    high[i] = std::max(high[i], q[i]);
                }
            }
            return std::max(high[0] - low[0], high[1] - low[1]);
        }

        // The map turned by `angle` counter-clockwise, with its box's lower
        // corner at the origin.
        CornerMap turned_by(const CornerMap& corners, double angle)
        {
            const double c = std::cos(angle);
            const double s = std::sin(angle);
            auto turned = corners;
            for (auto& triangle : turned)
            {
                for (auto& corner : triangle)
                {
                    corner = Point<2>{{c * corner[0] - s * corner[1],
                                       s * corner[0] + c * corner[1]}};
                }
            }
            move_to_origin(turned);
            return turned;
        }

        // The outline of turned_by(corners, angle), whose edges are those
        // of `outline`, without the turned map: its corners turned as
        // turned_by turns them, for the box, and the edges' ends moved as
        // it moves them.
        ChartOutline turned_outline(const CornerMap& corners,
                                    const ChartOutline& outline, double angle)
        {
            const double c = std::cos(angle);
            const double s = std::sin(angle);
            const auto turn = [c, s](const Point<2>& p) {
                return Point<2>{{c * p[0] - s * p[1], s * p[0] + c * p[1]}};
            };
            std::array<double, 2> low{{HUGE_VAL, HUGE_VAL}};
            std::array<double, 2> high{{-HUGE_VAL, -HUGE_VAL}};
            for (const auto& triangle : corners)
            {
                for (const auto& corner : triangle)
                {
                    const auto p = turn(corner);
                    for (int i = 0; i < 2; ++i)
                    {
                        low[i] = std::min(low[i], p[i]);
                        high[i] = std::max(high[i], p[i]);
                    }
                }
            }
            const auto moved = [&](const Point<2>& p)
            {
                const auto q = turn(p);
                return Point<2>{{q[0] - low[0], q[1] - low[1]}};
            };
            ChartOutline turned;
            turned.high = {{high[0] - low[0], high[1] - low[1]}};
            turned.ids = outline.ids;
            for (const auto& edge : outline.edges)
            {
                turned.edges.push_back({{moved(edge[0]), moved(edge[1])}});
            }
            return turned;
        }

        // A long chart fits a square best along its diagonal: the chart's
        // map turned, by whole degrees, so that its box's longer side is
        // the shortest, with its box's lower corner at the origin.
        CornerMap turn_squarest(const CornerMap& corners)
        {
            const auto hull = map_hull(corners);
            const double degree = std::acos(-1.0) / 180;
            int best = 0;
            for (int k = 1; k < 90; ++k)
            {
                if (longer_side(hull, k * degree) <
                    longer_side(hull, best * degree))
                {
                    best = k;
                }
            }
            return turned_by(corners, best * degree);
        }

        // The longer side of a map's box.
        double longer_side(const CornerMap& corners)
        {
            const auto [low, high] = box_of(corners);
            return std::max(high[0] - low[0], high[1] - low[1]);
        }

        // How many turns, a quarter turn apart, a chart's footprint is
        // measured in when looking for its leanest turn.
        constexpr int lean_steps = 18;

        // The texels along its longer side a chart's footprint is measured
        // in for its leanest turn; a chart less than twice as long keeps its
        // own.
        constexpr double lean_columns = 48;

        // How much leaner than its own a chart's turn must be to be tried:
        // a turn hardly leaner is hardly another way of packing.
        constexpr double lean_gain = 0.97;

        // The texels the footprint of a map covers at `scale`, in the
        // better of its own turn and a quarter turn.
        long footprint(const ChartOutline& outline, double scale, int padding)
        {
            const auto texels = footprint_texels(outline, scale, padding);
            return std::min(texels[0], texels[1]);
        }

        // A curved or bent chart wastes less of the square in some turn
        // other than that of its smallest box: the map turned, in steps of
        // a quarter turn over lean_steps, to the turn whose footprint at
        // `scale` covers the fewest texels, or nothing when that is not
        // lean_gain times its own or less.

        absl::optional<CornerMap> turn_leanest(const CornerMap& corners,
                                               const ChartOutline& outline,
                                               double scale, int padding)
        {
            // A chart small next to the square is left in its own turn,
            // and a large one measured on a coarser grid: the counts are
            // compared, not used, and fine grids cost more than the
            // packing.
            const double longer = longer_side(corners) * scale;
            if (!(longer >= 2 * lean_columns))
            {
                return {};
            }
            const double step = std::acos(-1.0) / 2 / lean_steps;
            const double coarse = scale * lean_columns / longer;
            padding = static_cast<int>(std::ceil(padding * coarse / scale));
            scale = coarse;
            const long own = footprint(outline, scale, padding);
            long least = own;
            int best = 0;
            for (int k = 1; k < lean_steps; ++k)
            {
                const auto texels = footprint(
                    turned_outline(corners, outline, k * step), scale, padding);
                if (texels < least)
                {
                    least = texels;
                    best = k;
                }
            }
            if (best == 0 || static_cast<double>(least) > lean_gain * own)
            {
                return {};
            }
            return turned_by(corners, best * step);
        }

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

        // Texels of a length: at most `beyond`, which no square holds, so
        // that a size too large (or not a number) never reaches an int.
        int texel_count(double length, int beyond)
        {
            const double texels = std::ceil(length);
            return texels < beyond ? static_cast<int>(texels) : beyond;
        }

        std::vector<std::array<int, 2>> texel_sizes(
            const std::vector<std::array<double, 2>>& sizes, double scale,
            int padding, int side)
        {
            std::vector<std::array<int, 2>> texels;
            for (const auto& size : sizes)
            {
                texels.push_back(
                    {texel_count(size[0] * scale, side) + padding,
                     texel_count(size[1] * scale, side) + padding});
            }
            return texels;
        }

        // The largest common scale (texels per unit) at which the boxes,
        // each grown by the padding, fit the square less one padding, by
        // bisection; the packer is not monotonic, so the best fit seen is
        // kept.
        ChartPacking pack_boxes(const std::vector<std::array<double, 2>>& sizes,
                                const AtlasOptions& options)
        {
            const auto padding = static_cast<int>(std::ceil(options.padding));
            const auto side = static_cast<int>(options.resolution) - padding;
            auto corners =
                pack_rectangles(texel_sizes(sizes, 0.0, padding, side), side);
            if (corners.empty())
            {
                throw InvalidInputException{
                    "[compute_atlas] The resolution is too small for the "
                    "padding of " +
                    std::to_string(sizes.size()) + " charts"};
            }
            ChartPacking best{0.0, box_placements(corners), {}, 1};
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
                const auto texels = texel_sizes(sizes, scale, padding, side);
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
                best = {scale, box_placements(corners), {}, 1};
            }
            return best;
        }

        // Per chart, the maps it may be dropped in, by preference: that
        // turned to its leanest footprint, when that is not its own, its
        // own (turned tight) and, for a long chart, that turned to its
        // squarest box. At each scale the first that fits the square is
        // dropped, or else the last; the leanest only when the charts do
        // not fit without.
        struct ChartTurns
        {
            std::vector<std::vector<CornerMap>> others;
            std::vector<std::vector<const CornerMap*>> maps;
            // Per chart, the longer box side of each of its maps.
            std::vector<std::vector<double>> sides;
            // Per chart, whether its first map is its leanest.
            std::vector<bool> lean;
            // The outlines of the maps, made once for every scale.
            ChartOutlines outlines;
        };

        // The maps to drop at `scale`, with the leanest turns when `lean`,
        // and per chart which of its maps that is.
        std::vector<const CornerMap*> maps_at(const ChartTurns& turns,
                                              double scale, double fit,
                                              bool lean,
                                              std::vector<int>& chosen)
        {
            std::vector<const CornerMap*> maps;
            chosen.assign(turns.maps.size(), 0);
            for (std::size_t c = 0; c < turns.maps.size(); ++c)
            {
                const auto& sides = turns.sides[c];
                int k = !lean && turns.lean[c] ? 1 : 0;
                while (k + 1 < static_cast<int>(sides.size()) &&
                       !(sides[k] * scale < fit))
                {
                    ++k;
                }
                chosen[c] = k;
                maps.push_back(turns.maps[c][k]);
            }
            return maps;
        }

        struct OutlinePacking
        {
            ChartPacking packing;
            // Per chart, which of its maps was dropped; -1 for its own.
            std::vector<int> chosen;
        };

        // How many of drop_tries are tried with the charts in their leanest
        // turns: the first two, by the largest box, fit most often.
        constexpr std::size_t lean_tries = 2;

        // The first bisection step at which the leanest turns are tried: the
        // first steps are far from the scale found, and fail or fit
        // whatever the turns.
        constexpr int lean_from = 3;

        // The ways of dropping the charts that pack_outlines tries at each
        // scale, until one places them all: as the packer is greedy, one
        // way fails where another does not.
        std::vector<DropSettings> drop_tries(bool rotate)
        {
            std::vector<DropSettings> tries;
            for (const auto order :
                 {DropOrder::largest_box, DropOrder::largest_area})
            {
                for (const auto rule :
                     {DropRule::least_waste, DropRule::lowest})
                {
                    tries.push_back({rule, rotate, order});
                }
            }
            return tries;
        }

        // Charts dropped by their outlines nest into each other's dents,
        // where their boxes could not: the largest scale at which they fit
        // so, by bisection above the boxes' scale, when it beats that. A
        // scale at which they do not fit is tried again with the charts in
        // their leanest turns: as the packer is greedy, another start
        // often fits where the first did not.
        OutlinePacking pack_outlines(const ChartTurns& turns,
                                     ChartPacking boxes, double area,
                                     const AtlasOptions& options)
        {
            OutlinePacking best{std::move(boxes),
                                std::vector<int>(turns.maps.size(), -1)};
            const double resolution = options.resolution;
            const auto side = static_cast<int>(options.resolution);
            const auto padding = static_cast<int>(std::ceil(options.padding));
            const double fit = side - 2 * padding;
            double low = best.packing.texels_per_unit;
            double high = area > 0 ? resolution / std::sqrt(area) : low;
            const bool any_lean =
                std::find(turns.lean.begin(), turns.lean.end(), true) !=
                turns.lean.end();
            for (int step = 0; step < 8 && high > low; ++step)
            {
                const auto scale = (low + high) / 2;
                std::vector<std::vector<int>> chosen(2);
                std::vector<DropWay> ways{
                    {maps_at(turns, scale, fit, false, chosen[0]),
                     drop_tries(options.rotate)}};
                if (any_lean && step >= lean_from)
                {
                    auto tries = drop_tries(options.rotate);
                    tries.resize(lean_tries);
                    ways.push_back(
                        {maps_at(turns, scale, fit, true, chosen[1]), tries});
                }
                std::size_t way = 0;
                auto placements = drop_charts(ways, scale, padding, side, way,
                                              &turns.outlines);
                if (placements.empty())
                {
                    high = scale;
                    continue;
                }
                low = scale;
                best = {{scale, std::move(placements), {}, 1}, chosen[way]};
            }
            return best;
        }

        // The charts' turns for pack_outlines, the leanest measured at
        // `scale`; with `rotate` off, each chart's own only.
        ChartTurns chart_turns(const std::vector<Chart>& charts, double scale,
                               int padding, bool rotate)
        {
            ChartTurns turns;
            turns.others.resize(charts.size());
            turns.maps.resize(charts.size());
            turns.sides.resize(charts.size());
            turns.lean.assign(charts.size(), false);
            // The outlines and turns of different charts are made at once,
            // then kept one after the other.
            std::vector<ChartOutline> made(charts.size());
            run_in_parallel(charts.size(), [&](std::size_t c)
                            { made[c] = outline_of(charts[c].map.corners); });
            std::vector<const ChartOutline*> outlines;
            for (std::size_t c = 0; c < charts.size(); ++c)
            {
                turns.outlines.add(charts[c].map.corners, std::move(made[c]));
                outlines.push_back(turns.outlines.find(charts[c].map.corners));
            }
            std::vector<char> lean(charts.size(), 0);
            run_in_parallel(rotate ? charts.size() : 0,
                            [&](std::size_t c)
                            {
                                const auto& own = charts[c].map.corners;
                                auto& others = turns.others[c];
                                if (auto leanest = turn_leanest(
                                        own, *outlines[c], scale, padding))
                                {
                                    others.push_back(std::move(*leanest));
                                    lean[c] = 1;
                                }
                                others.push_back(turn_squarest(own));
                            });
            for (std::size_t c = 0; c < charts.size(); ++c)
            {
                const auto& own = charts[c].map.corners;
                turns.lean[c] = lean[c] != 0;
                for (const auto& other : turns.others[c])
                {
                    turns.maps[c].push_back(&other);
                    turns.outlines.add_turn(other, own);
                }
                turns.maps[c].insert(turns.maps[c].end() - (rotate ? 1 : 0),
                                     &own);
                for (const auto* map : turns.maps[c])
                {
                    turns.sides[c].push_back(longer_side(*map));
                }
            }
            return turns;
        }

        // The map a chart was dropped in, moved into the chart; none (-1)
        // for its own.
        void take_turn(Chart& chart, ChartTurns& turns, std::size_t c,
                       int chosen)
        {
            if (chosen < 0)
            {
                return;
            }
            const auto* map = turns.maps[c][chosen];
            for (auto& other : turns.others[c])
            {
                if (&other == map)
                {
                    chart.map.corners = std::move(other);
                }
            }
        }

        double map_area(const std::vector<Chart>& charts)
        {
            double area = 0;
            for (const auto& chart : charts)
            {
                for (const auto& triangle : chart.map.corners)
                {
                    area += Triangle<2>{triangle[0], triangle[1], triangle[2]}
                                .area();
                }
            }
            return area;
        }

        std::string texel_text(double texels)
        {
            return texels < 1e15 ? std::to_string(static_cast<long long>(
                                       std::ceil(texels)))
                                 : std::string{"more than 10^15"};
        }

        // Refuses a chart whose box, with the padding on every side, is
        // not smaller than a page at `options.texels_per_unit`.
        void check_page_size(const std::vector<std::array<double, 2>>& sizes,
                             const AtlasOptions& options)
        {
            const double scale = options.texels_per_unit;
            const double margin = 2 * std::ceil(options.padding);
            for (std::size_t c = 0; c < sizes.size(); ++c)
            {
                const double width = sizes[c][0] * scale;
                const double height = sizes[c][1] * scale;
                if (!(std::max(width, height) + margin < options.resolution))
                {
                    throw InvalidInputException{
                        "[compute_atlas] Chart " + std::to_string(c) + " is " +
                        texel_text(width) + " x " + texel_text(height) +
                        " texels at the texels per unit asked for, and with " +
                        texel_text(margin) +
                        " texels of padding it does not fit a page of " +
                        std::to_string(options.resolution) + " x " +
                        std::to_string(options.resolution) +
                        " texels: lower texels_per_unit, raise the "
                        "resolution or bound the charts' size"};
                }
            }
        }

        // The charts at `options.texels_per_unit`, dropped page after page:
        // each page takes, largest first, those of the charts left that
        // find room on it.
        ChartPacking pack_pages(const std::vector<Chart>& charts,
                                const std::vector<std::array<double, 2>>& sizes,
                                const AtlasOptions& options)
        {
            check_page_size(sizes, options);
            const auto side = static_cast<int>(options.resolution);
            const auto padding = static_cast<int>(std::ceil(options.padding));
            ChartPacking packing{options.texels_per_unit,
                                 std::vector<ProfilePlacement>(charts.size()),
                                 std::vector<index_t>(charts.size(), 0), 0};
            std::vector<std::size_t> left(charts.size());
            std::iota(left.begin(), left.end(), std::size_t{0});
            ChartOutlines outlines;
            while (!left.empty())
            {
                std::vector<const CornerMap*> corners;
                for (const auto c : left)
                {
                    corners.push_back(&charts[c].map.corners);
                    outlines.of(charts[c].map.corners);
                }
                const auto placements = drop_charts_partly(
                    corners, packing.texels_per_unit, padding, side,
                    {DropRule::least_waste, options.rotate}, &outlines);
                std::vector<std::size_t> next;
                for (std::size_t i = 0; i < left.size(); ++i)
                {
                    if (!placements[i])
                    {
                        next.push_back(left[i]);
                        continue;
                    }
                    packing.placements[left[i]] = *placements[i];
                    packing.pages[left[i]] = packing.nb_pages;
                }
                if (next.size() == left.size())
                {
                    throw ComputationException{
                        "[compute_atlas] " + std::to_string(left.size()) +
                        " charts find no room on an empty page"};
                }
                left = std::move(next);
                ++packing.nb_pages;
            }
            return packing;
        }
    }  // namespace

    ChartPacking pack_charts(std::vector<Chart>& charts,
                             const AtlasOptions& options)
    {
        std::vector<std::array<double, 2>> sizes(charts.size());
        run_in_parallel(charts.size(),
                        [&](std::size_t c)
                        {
                            sizes[c] =
                                options.rotate
                                    ? turn_tight(charts[c])
                                    : move_to_origin(charts[c].map.corners);
                        });
        if (options.texels_per_unit > 0)
        {
            return pack_pages(charts, sizes, options);
        }
        auto boxes = pack_boxes(sizes, options);
        auto turns = chart_turns(charts, boxes.texels_per_unit,
                                 static_cast<int>(std::ceil(options.padding)),
                                 options.rotate);
        auto outlines =
            pack_outlines(turns, std::move(boxes), map_area(charts), options);
        for (std::size_t c = 0; c < charts.size(); ++c)
        {
            take_turn(charts[c], turns, c, outlines.chosen[c]);
        }
        outlines.packing.pages.assign(charts.size(), 0);
        return std::move(outlines.packing);
    }

    CornerMap packed_corners(const Chart& chart,
                             const ProfilePlacement& placement,
                             double texels_per_unit,
                             const AtlasOptions& options)
    {
        const auto padding = static_cast<int>(std::ceil(options.padding));
        const double resolution = options.resolution;
        auto corners = chart_texels(chart.map.corners, placement.quarter_turns,
                                    texels_per_unit, padding);
        for (auto& triangle : corners)
        {
            for (auto& corner : triangle)
            {
                corner = Point<2>{{(corner[0] + placement.x) / resolution,
                                   (corner[1] + placement.y) / resolution}};
            }
        }
        return corners;
    }
}  // namespace nodara
