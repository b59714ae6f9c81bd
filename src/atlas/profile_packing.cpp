#include "profile_packing.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <numeric>

namespace nodara
{
    namespace
    {
        // Texel coordinates are rounded outwards by this much, so that a
        // rounding error in the clipping never leaves a touched texel out.
        constexpr double slack = 1e-7;
        constexpr int no_row = INT_MAX;

        Point<2> turned(const Point<2>& p, int quarter_turns)
        {
            switch (quarter_turns & 3)
            {
                case 0:
                    return p;
                case 1:
                    return Point<2>{{-p[1], p[0]}};
                case 2:
                    return Point<2>{{-p[0], -p[1]}};
                default:
                    return Point<2>{{p[1], -p[0]}};
            }
        }

        // The rows of the texel grid that a chart's footprint covers, per
        // column: [bottom, top], or bottom == no_row for none.
        struct Profile
        {
            std::vector<int> bottom;
            std::vector<int> top;
            int height{0};  // above the highest row

            int width() const { return static_cast<int>(bottom.size()); }
        };

        // The extent in y of a triangle within the strip lo <= x <= hi.
        bool strip_extent(const std::array<Point<2>, 3>& triangle, double lo,
                          double hi, double& low_y, double& high_y)
        {
            low_y = HUGE_VAL;
            high_y = -HUGE_VAL;
            const auto take = [&](double y)
            {
                low_y = std::min(low_y, y);
                high_y = std::max(high_y, y);
            };
            for (int k = 0; k < 3; ++k)
            {
                const auto& a = triangle[k];
                const auto& b = triangle[(k + 1) % 3];
                if (a[0] >= lo && a[0] <= hi)
                {
                    take(a[1]);
                }
                for (const double x : {lo, hi})
                {
                    if ((a[0] - x) * (b[0] - x) < 0)
                    {
                        take(a[1] + (b[1] - a[1]) * (x - a[0]) / (b[0] - a[0]));
                    }
                }
            }
            return low_y <= high_y;
        }

        // The rows each column of texels touches, without padding.
        void touched_rows(const CornerMap& texels, std::vector<int>& low,
                          std::vector<int>& high)
        {
            const int last = static_cast<int>(low.size()) - 1;
            for (const auto& triangle : texels)
            {
                double from = HUGE_VAL;
                double to = -HUGE_VAL;
                for (const auto& p : triangle)
                {
                    from = std::min(from, p[0]);
                    to = std::max(to, p[0]);
                }
                const int first = std::max(0, int(std::floor(from - slack)));
                const int end = std::min(last, int(std::floor(to + slack)));
                for (int c = first; c <= end; ++c)
                {
                    double low_y = 0;
                    double high_y = 0;
                    if (strip_extent(triangle, c - slack, c + 1 + slack, low_y,
                                     high_y))
                    {
                        low[c] =
                            std::min(low[c], int(std::floor(low_y - slack)));
                        high[c] =
                            std::max(high[c], int(std::floor(high_y + slack)));
                    }
                }
            }
        }

        Profile profile_of(const CornerMap& texels, int padding)
        {
            double right = 0;
            for (const auto& triangle : texels)
            {
                for (const auto& p : triangle)
                {
                    right = std::max(right, p[0]);
                }
            }
            const int raw_width = int(std::floor(right + slack)) + 1;
            std::vector<int> low(raw_width, no_row);
            std::vector<int> high(raw_width, -1);
            touched_rows(texels, low, high);
            Profile profile;
            const int width = raw_width + padding;
            profile.bottom.assign(width, no_row);
            profile.top.assign(width, -1);
            for (int c = 0; c < raw_width; ++c)
            {
                if (low[c] == no_row)
                {
                    continue;
                }
                // Grown up and to the right only: two charts whose grown
                // footprints are apart have triangles whose texels are more
                // than `padding` apart across or along.
                for (int d = c; d <= c + padding; ++d)
                {
                    profile.bottom[d] =
                        std::min(profile.bottom[d], std::max(0, low[c]));
                    profile.top[d] =
                        std::max(profile.top[d], high[c] + padding);
                }
            }
            profile.height =
                *std::max_element(profile.top.begin(), profile.top.end()) + 1;
            return profile;
        }

        struct Drop
        {
            ProfilePlacement placement;
            long score{LONG_MAX};
        };

        // Rows [from, to) of a column, free or a candidate for a chart's y.
        using Rows = std::array<int, 2>;

        // Per column of the square, its free runs of rows, lowest first:
        // the space below the charts' overhangs stays usable, not only that
        // above the skyline.
        struct FreeRows
        {
            explicit FreeRows(int side)
                : runs(side, std::vector<Rows>{Rows{{0, side}}}),
                  skyline(side, 0),
                  deepest(side, 0)
            {
            }

            int side() const { return static_cast<int>(runs.size()); }

            // Sums up column `c`'s runs after a change.
            void update(int c)
            {
                const auto& column = runs[c];
                const bool open = !column.empty() && column.back()[1] == side();
                skyline[c] = open ? column.back()[0] : side();
                deepest[c] = 0;
                for (std::size_t i = 0; i + (open ? 1 : 0) < column.size(); ++i)
                {
                    deepest[c] =
                        std::max(deepest[c], column[i][1] - column[i][0]);
                }
            }

            std::vector<std::vector<Rows>> runs;
            // Per column, the first row of the run that reaches the top of
            // the square (the side when none does), and the height of the
            // tallest run below it.
            std::vector<int> skyline;
            std::vector<int> deepest;
        };

        // The lowest y from `y` up at which a column's footprint [bottom,
        // top] lies in one of its free runs, or INT_MAX.
        int fit_from(const std::vector<Rows>& runs, int bottom, int top, int y)
        {
            for (const auto& run : runs)
            {
                const int at = std::max(y, run[0] - bottom);
                if (at + top < run[1])
                {
                    return at;
                }
            }
            return INT_MAX;
        }

        // The lowest y at which the profile at column x lies in free rows
        // in every column, or -1 when there is none.
        int lowest_fit(const Profile& profile, int x, const FreeRows& free)
        {
            const int side = free.side();
            if (profile.height > side)
            {
                return -1;
            }
            // The lowest fit above the skyline; a lower one puts the column
            // that sets it into a run below its skyline, which must hold it.
            int sky = 0;
            int at = -1;
            for (int c = 0; c < profile.width(); ++c)
            {
                if (profile.bottom[c] != no_row &&
                    free.skyline[x + c] - profile.bottom[c] > sky)
                {
                    sky = free.skyline[x + c] - profile.bottom[c];
                    at = c;
                }
            }
            if (at < 0 ||
                free.deepest[x + at] < profile.top[at] - profile.bottom[at] + 1)
            {
                return sky + profile.height <= side ? sky : -1;
            }
            // Raises y column by column, round the profile, until every
            // column holds it.
            int y = 0;
            for (int c = 0, agreed = 0; agreed < profile.width();
                 c = (c + 1) % profile.width())
            {
                ++agreed;
                if (profile.bottom[c] == no_row)
                {
                    continue;
                }
                const int fit = fit_from(free.runs[x + c], profile.bottom[c],
                                         profile.top[c], y);
                if (fit > side - profile.height)
                {
                    return -1;
                }
                if (fit != y)
                {
                    y = fit;
                    agreed = 1;
                }
            }
            return y;
        }

        // The index of the free run of a column that holds row `row`.
        std::size_t run_of(const std::vector<Rows>& runs, int row)
        {
            std::size_t i = 0;
            while (runs[i][1] <= row)
            {
                ++i;
            }
            return i;
        }

        // The best resting place of a profile among the free rows, by
        // `rule`: at each column its lowest fit, scored by its top, or by
        // its top times its width plus the free rows it leaves below it.
        void drop_profile(const Profile& profile, int quarter_turns,
                          const FreeRows& free, DropRule rule, Drop& best)
        {
            const int side = free.side();
            for (int x = 0; x + profile.width() <= side; ++x)
            {
                const int y = lowest_fit(profile, x, free);
                if (y < 0)
                {
                    continue;
                }
                long score = y + profile.height;
                if (rule == DropRule::least_waste)
                {
                    score *= profile.width();
                    for (int c = 0; c < profile.width(); ++c)
                    {
                        if (profile.bottom[c] != no_row)
                        {
                            const int row = y + profile.bottom[c];
                            const int sky = free.skyline[x + c];
                            const auto& runs = free.runs[x + c];
                            score +=
                                row -
                                (row >= sky ? sky : runs[run_of(runs, row)][0]);
                        }
                    }
                }
                if (score < best.score ||
                    (score == best.score && y < best.placement.y))
                {
                    best = {{quarter_turns, x, y}, score};
                }
            }
        }

        // Whether a free run is worth keeping: the one reaching the top of
        // the square, or one below a chart no lower than 1/64 of the
        // square, as fewer runs make dropping faster.
        bool kept(const Rows& run, int side)
        {
            return run[1] == side ? run[0] < run[1]
                                  : run[1] - run[0] >= std::max(1, side / 64);
        }

        // Takes the rows of a placed profile out of the free runs.
        void occupy(const Profile& profile, const ProfilePlacement& placement,
                    FreeRows& free)
        {
            for (int c = 0; c < profile.width(); ++c)
            {
                if (profile.bottom[c] == no_row)
                {
                    continue;
                }
                auto& runs = free.runs[placement.x + c];
                const int low = placement.y + profile.bottom[c];
                const int high = placement.y + profile.top[c] + 1;
                auto run = runs.begin() + run_of(runs, low);
                const Rows above{{high, (*run)[1]}};
                (*run)[1] = low;
                run = kept((*run), free.side()) ? std::next(run)
                                                : runs.erase(run);
                if (kept(above, free.side()))
                {
                    runs.insert(run, above);
                }
                free.update(placement.x + c);
            }
        }

        // Whether the chart's box at `scale`, with `padding` on each side,
        // fits a square of `side` texels (in either turn alike).
        bool fits_square(const CornerMap& chart, double scale, int padding,
                         int side)
        {
            std::array<double, 2> low{{HUGE_VAL, HUGE_VAL}};
            std::array<double, 2> high{{-HUGE_VAL, -HUGE_VAL}};
            for (const auto& triangle : chart)
            {
                for (const auto& corner : triangle)
                {
                    for (int k = 0; k < 2; ++k)
                    {
                        low[k] = std::min(low[k], corner[k]);
                        high[k] = std::max(high[k], corner[k]);
                    }
                }
            }
            for (int k = 0; k < 2; ++k)
            {
                const double extent = (high[k] - low[k]) * scale + 2 * padding;
                if (!(extent < side))
                {
                    return false;
                }
            }
            return true;
        }
    }  // namespace

    CornerMap chart_texels(const CornerMap& chart, int quarter_turns,
                           double scale, int padding)
    {
        CornerMap texels(chart.size());
        std::array<double, 2> low{{HUGE_VAL, HUGE_VAL}};
        for (std::size_t t = 0; t < chart.size(); ++t)
        {
            for (int k = 0; k < 3; ++k)
            {
                const auto p = turned(chart[t][k], quarter_turns);
                texels[t][k] = Point<2>{{p[0] * scale, p[1] * scale}};
                low[0] = std::min(low[0], texels[t][k][0]);
                low[1] = std::min(low[1], texels[t][k][1]);
            }
        }
        for (auto& triangle : texels)
        {
            for (auto& p : triangle)
            {
                p = Point<2>{
                    {p[0] - low[0] + padding, p[1] - low[1] + padding}};
            }
        }
        return texels;
    }

    namespace
    {
        using Placements = std::vector<absl::optional<ProfilePlacement>>;

        // The charts' order of dropping: largest box first.
        std::vector<std::size_t> largest_first(
            const std::vector<std::array<Profile, 4>>& profiles)
        {
            std::vector<std::size_t> order(profiles.size());
            std::iota(order.begin(), order.end(), std::size_t{0});
            const auto box = [&](std::size_t i) {
                return static_cast<long>(profiles[i][0].width()) *
                       profiles[i][0].height;
            };
            std::stable_sort(order.begin(), order.end(),
                             [&](std::size_t a, std::size_t b)
                             { return box(a) > box(b); });
            return order;
        }

        // drop_charts on a square of at most max_profile_side texels; with
        // `partly`, a chart that does not fit is left out instead of
        // failing the whole packing.
        Placements drop_charts_on_texels(
            const std::vector<const CornerMap*>& charts, double scale,
            int padding, int side, const DropSettings& settings, bool partly)
        {
            // A chart wider or taller than the square cannot be placed: that
            // is found before its profile is allocated, which at a scale far
            // too large would take more memory than the machine has.
            std::vector<bool> fits(charts.size());
            for (std::size_t i = 0; i < charts.size(); ++i)
            {
                fits[i] = fits_square(*charts[i], scale, padding, side);
                if (!fits[i] && !partly)
                {
                    return {};
                }
            }
            // Profiles of every chart in its four turns (or its own only).
            const int nb_turns = settings.turn ? 4 : 1;
            std::vector<std::array<Profile, 4>> profiles(charts.size());
            for (std::size_t i = 0; i < charts.size(); ++i)
            {
                for (int k = 0; k < nb_turns && fits[i]; ++k)
                {
                    profiles[i][k] = profile_of(
                        chart_texels(*charts[i], k, scale, padding), padding);
                }
            }
            FreeRows free(side);
            Placements placements(charts.size());
            for (const auto i : largest_first(profiles))
            {
                Drop best;
                for (int k = 0; k < nb_turns && fits[i]; ++k)
                {
                    drop_profile(profiles[i][k], k, free, settings.rule, best);
                }
                if (best.score == LONG_MAX)
                {
                    if (!partly)
                    {
                        return {};
                    }
                    continue;
                }
                occupy(profiles[i][best.placement.quarter_turns],
                       best.placement, free);
                placements[i] = best.placement;
            }
            return placements;
        }

        // Each chart is tried at every column, at a cost of the square's
        // side times the chart's width: a large square is packed in blocks
        // of texels instead. A chart's footprint in blocks covers its
        // footprint in texels scaled down, and every chart moves by the
        // same amount when scaled back, so the charts stay at least
        // `padding` texels apart.
        Placements drop_charts_in_blocks(
            const std::vector<const CornerMap*>& charts, double scale,
            int padding, int side, const DropSettings& settings, bool partly)
        {
            const int block = (side + max_profile_side - 1) / max_profile_side;
            if (block == 1)
            {
                return drop_charts_on_texels(charts, scale, padding, side,
                                             settings, partly);
            }
            auto placements = drop_charts_on_texels(
                charts, scale / block, (padding + block - 1) / block,
                side / block, settings, partly);
            for (auto& placement : placements)
            {
                if (placement)
                {
                    placement->x *= block;
                    placement->y *= block;
                }
            }
            return placements;
        }
    }  // namespace

    std::vector<ProfilePlacement> drop_charts(
        const std::vector<const CornerMap*>& charts, double scale, int padding,
        int side, DropSettings settings)
    {
        const auto dropped = drop_charts_in_blocks(charts, scale, padding, side,
                                                   settings, false);
        std::vector<ProfilePlacement> placements;
        for (const auto& placement : dropped)
        {
            placements.push_back(*placement);
        }
        return placements;
    }

    std::vector<absl::optional<ProfilePlacement>> drop_charts_partly(
        const std::vector<const CornerMap*>& charts, double scale, int padding,
        int side, DropSettings settings)
    {
        return drop_charts_in_blocks(charts, scale, padding, side, settings,
                                     true);
    }
}  // namespace nodara
