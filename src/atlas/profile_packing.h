#pragma once

#include <array>
#include <vector>

#include <absl/types/optional.h>

#include <tessaplan/corner_map.h>

#include "chart_outline.h"

namespace nodara
{
    /// Where drop_charts puts a chart: chart_texels(chart, quarter_turns,
    /// ...) moved by (x, y) texels.
    struct ProfilePlacement
    {
        int quarter_turns{0};
        int x{0};
        int y{0};
    };

    /// How drop_charts picks a chart's place among those where it rests on
    /// the skyline: the lowest top, or the fewest texels left empty below
    /// it plus the texels its columns hold up to its top.
    enum class DropRule
    {
        lowest,
        least_waste
    };

    /// The order in which drop_charts drops the charts: largest first, by
    /// their boxes or by the texels their footprints cover.
    enum class DropOrder
    {
        largest_box,
        largest_area
    };

    /// How drop_charts places each chart: the rule that picks its place,
    /// whether it may be turned by quarter turns, and the charts' order.
    struct DropSettings
    {
        DropRule rule{DropRule::least_waste};
        bool turn{true};
        DropOrder order{DropOrder::largest_box};
    };

    /// The widest square drop_charts packs texel by texel.
    constexpr int max_profile_side = 2048;

    /// The corners of `chart` turned by `quarter_turns` quarter turns
    /// counter-clockwise, scaled by `scale` and moved so that their box
    /// starts at (padding, padding): the chart in a texel frame of its own.
    CornerMap chart_texels(const CornerMap& chart, int quarter_turns,
                           double scale, int padding);

    /// The texels that the footprint of `chart` (the rows its triangles
    /// touch per column, grown by `padding`, as drop_charts makes it)
    /// covers at `scale`, unturned and turned by a quarter turn. Throws
    /// std::bad_alloc when memory runs out.
    std::array<long, 2> footprint_texels(const CornerMap& chart, double scale,
                                         int padding);

    /// footprint_texels of the chart whose outline is `outline`.
    std::array<long, 2> footprint_texels(const ChartOutline& outline,
                                         double scale, int padding);

    /// Packs charts into a square of `side` texels at `scale` texels per
    /// unit: largest first (by `settings.order`), each is dropped, in the
    /// quarter turn (when `settings.turn`, else unturned) and column that
    /// `settings.rule` prefers, at the lowest rows left free by the charts
    /// before it in every column it covers (under their overhangs too, not only
    /// above them). A chart's footprint is, per column of texels, the rows its
    /// triangles touch, grown by `padding` texels in every direction, so charts
    /// nest into the dents of those below them while their triangles stay
    /// `padding` texels apart and from the sides. A square wider than
    /// max_profile_side texels is packed so in blocks of texels, each chart's
    /// footprint rounded out to whole blocks. Returns one placement per chart,
    /// or nothing when they do not fit. Throws std::bad_alloc when memory runs
    /// out.
    std::vector<ProfilePlacement> drop_charts(
        const std::vector<const CornerMap*>& charts, double scale, int padding,
        int side, DropSettings settings);

    /// drop_charts tried each way of `tries` in turn, the charts' footprints
    /// made once: the placements of the first way that places every chart,
    /// or nothing when none does. Throws std::bad_alloc when memory runs
    /// out.
    std::vector<ProfilePlacement> drop_charts(
        const std::vector<const CornerMap*>& charts, double scale, int padding,
        int side, const std::vector<DropSettings>& tries);

    /// A way of dropping charts: per chart the map dropped, and the ways of
    /// placing them tried in turn.
    struct DropWay
    {
        std::vector<const CornerMap*> charts;
        std::vector<DropSettings> tries;
    };

    /// drop_charts tried each way of `ways` in turn, each with its tries in
    /// turn, the footprint of each map made once: the placements of the
    /// first that places every chart, with `way` set to its index, or
    /// nothing when none does. The maps' outlines are read from
    /// `outlines`, when given and there, else made. Throws std::bad_alloc
    /// when memory runs out.
    std::vector<ProfilePlacement> drop_charts(
        const std::vector<DropWay>& ways, double scale, int padding, int side,
        std::size_t& way, const ChartOutlines* outlines = nullptr);

    /// drop_charts that places what fits: per chart its placement, or
    /// nothing for a chart that finds no room once the larger ones are
    /// placed (or that is larger than the square). The maps' outlines are
    /// read from `outlines`, when given and there, else made. Throws
    /// std::bad_alloc when memory runs out.
    std::vector<absl::optional<ProfilePlacement>> drop_charts_partly(
        const std::vector<const CornerMap*>& charts, double scale, int padding,
        int side, DropSettings settings,
        const ChartOutlines* outlines = nullptr);
}  // namespace nodara
