#include "profile_packing.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <functional>
#include <numeric>
#include <tuple>
#include <utility>

#include "free_rows.h"
#include "parallel_tasks.h"

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

        // How many columns one lower bound of a chart's rest covers: the
        // bound is the most, over blocks of that many of its columns, of the
        // lowest room in the block's columns less its highest bottom.
        constexpr int block_width = 8;

        // The rows of the texel grid that a chart's footprint covers, per
        // column: [bottom, top] on the columns [first, last], and none
        // (bottom == no_row) on those before them.
        struct Profile
        {
            std::vector<int> bottom;
            std::vector<int> top;
            int height{0};  // above the highest row
            int first{0};
            int last{-1};
            long bottoms{0};  // summed over [first, last]
            // Per block of block_width columns from `first`, the last one
            // maybe narrower, its highest bottom and the class of the rooms
            // its columns need (FreeRows::room_class of its thinnest).
            std::vector<int> block_bottom;
            std::vector<int> block_class;

            int width() const { return static_cast<int>(bottom.size()); }
            int count() const { return last - first + 1; }
        };

        // Where chart_texels puts the corners of a map in one turn and
        // scale: turned, scaled, and moved by `padding` less `low`.
        struct TexelFrame
        {
            int quarter_turns{0};
            double scale{1};
            std::array<double, 2> low{{0, 0}};
            int padding{0};

            Point<2> operator()(const Point<2>& corner) const
            {
                const auto p = turned(corner, quarter_turns);
                return Point<2>{{p[0] * scale - low[0] + padding,
                                 p[1] * scale - low[1] + padding}};
            }
        };

        // The lower and upper corners of the box of a map's turned and
        // scaled corners, from the box of its corners: turning swaps and
        // negates coordinates and scaling keeps their order, so these are
        // the bounds chart_texels finds over every corner.
        std::array<std::array<double, 2>, 2> texel_box(
            const ChartOutline& outline, int quarter_turns, double scale)
        {
            const auto& lo = outline.low;
            const auto& hi = outline.high;
            std::array<std::array<double, 2>, 2> box;
            switch (quarter_turns & 3)
            {
                case 0:
                    box = {{{{lo[0], lo[1]}}, {{hi[0], hi[1]}}}};
                    break;
                case 1:
                    box = {{{{-hi[1], lo[0]}}, {{-lo[1], hi[0]}}}};
                    break;
                case 2:
                    box = {{{{-hi[0], -hi[1]}}, {{-lo[0], -lo[1]}}}};
                    break;
                default:
                    box = {{{{lo[1], -hi[0]}}, {{hi[1], -lo[0]}}}};
                    break;
            }
            for (auto& corner : box)
            {
                corner = {{corner[0] * scale, corner[1] * scale}};
            }
            return box;
        }

        // The extent in y of the edge from a to b within the strip lo <= x
        // <= hi: its ends in the strip and its crossings of the strip's
        // sides.
        bool strip_extent(const Point<2>& a, const Point<2>& b, double lo,
                          double hi, double& low_y, double& high_y)
        {
            low_y = HUGE_VAL;
            high_y = -HUGE_VAL;
            const auto take = [&](double y)
            {
                low_y = std::min(low_y, y);
                high_y = std::max(high_y, y);
            };
            for (const auto* p : {&a, &b})
            {
                if ((*p)[0] >= lo && (*p)[0] <= hi)
                {
                    take((*p)[1]);
                }
            }
            for (const double x : {lo, hi})
            {
                if ((a[0] - x) * (b[0] - x) < 0)
                {
                    take(a[1] + (b[1] - a[1]) * (x - a[0]) / (b[0] - a[0]));
                }
            }
            return low_y <= high_y;
        }

        // The rows each column of texels touches, without padding: the
        // union of the triangles reaches lowest and highest in a column on
        // the edges of its outline.
        void touched_rows(const ChartOutline& outline, const TexelFrame& frame,
                          std::vector<int>& low, std::vector<int>& high)
        {
            const int last = static_cast<int>(low.size()) - 1;
            for (const auto& edge : outline.edges)
            {
                const auto a = frame(edge[0]);
                const auto b = frame(edge[1]);
                const int first =
                    std::max(0, int(std::floor(std::min(a[0], b[0]) - slack)));
                const int end = std::min(
                    last, int(std::floor(std::max(a[0], b[0]) + slack)));
                for (int c = first; c <= end; ++c)
                {
                    double low_y = 0;
                    double high_y = 0;
                    if (strip_extent(a, b, c - slack, c + 1 + slack, low_y,
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

        // Fills the columns between `first` and `last` that cover no row,
        // if any, with their left neighbour's rows (more than the chart
        // needs, never less), and sums the profile up for the bounds.
        void sum_up(Profile& profile)
        {
            const auto& bottom = profile.bottom;
            const auto covered = [](int b) { return b != no_row; };
            profile.first = static_cast<int>(
                std::find_if(bottom.begin(), bottom.end(), covered) -
                bottom.begin());
            profile.last = static_cast<int>(
                bottom.rend() -
                std::find_if(bottom.rbegin(), bottom.rend(), covered) - 1);
            if (profile.last < 0)
            {
                profile.first = 0;
                return;
            }
            for (int c = profile.first; c <= profile.last; ++c)
            {
                if (profile.bottom[c] == no_row)
                {
                    profile.bottom[c] = profile.bottom[c - 1];
                    profile.top[c] = profile.top[c - 1];
                }
                profile.bottoms += profile.bottom[c];
                const auto block = (c - profile.first) / block_width;
                if (block == static_cast<int>(profile.block_bottom.size()))
                {
                    profile.block_bottom.push_back(0);
                    profile.block_class.push_back(INT_MAX);
                }
                profile.block_bottom[block] =
                    std::max(profile.block_bottom[block], profile.bottom[c]);
                profile.block_class[block] =
                    std::min(profile.block_class[block],
                             FreeRows::room_class(profile.top[c] -
                                                  profile.bottom[c] + 1));
            }
        }

        // The profile of the map of `outline` as chart_texels(map,
        // quarter_turns, scale, padding) puts it.
        Profile profile_of(const ChartOutline& outline, int quarter_turns,
                           double scale, int padding)
        {
            const auto box = texel_box(outline, quarter_turns, scale);
            const TexelFrame frame{quarter_turns, scale, box[0], padding};
            const bool empty = !(outline.low[0] <= outline.high[0]);
            const double right =
                empty ? 0.0 : std::max(0.0, box[1][0] - box[0][0] + padding);
            const int raw_width = int(std::floor(right + slack)) + 1;
            std::vector<int> low(raw_width, no_row);
            std::vector<int> high(raw_width, -1);
            touched_rows(outline, frame, low, high);
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
            sum_up(profile);
            return profile;
        }

        // A chart's place and its score by the drop rule: the lower
        // (score, y, quarter turns, x), the better. Also a candidate place
        // with bounds of its score and y from below.
        struct Drop
        {
            long score{LONG_MAX};
            int y{0};
            int quarter_turns{0};
            int x{0};

            bool operator<(const Drop& other) const
            {
                return std::tie(score, y, quarter_turns, x) <
                       std::tie(other.score, other.y, other.quarter_turns,
                                other.x);
            }
            bool operator>(const Drop& other) const { return other < *this; }
        };

        // A candidate as one number ordered as its Drop, by score, y,
        // quarter turns and x, which fit their bits: a square packed texel
        // by texel is at most max_profile_side texels wide, and a score at
        // most twice its area.
        using DropKey = std::uint64_t;
        static_assert(max_profile_side < 4096, "x and y take 12 bits");

        DropKey key_of(const Drop& drop)
        {
            return DropKey(drop.score) << 28 | DropKey(drop.y) << 14 |
                   DropKey(drop.quarter_turns) << 12 | DropKey(drop.x);
        }

        Drop drop_of(DropKey key)
        {
            return {static_cast<long>(key >> 28),
                    static_cast<int>(key >> 14 & 0x3fff),
                    static_cast<int>(key >> 12 & 3),
                    static_cast<int>(key & 0xfff)};
        }

        // Whether a candidate's bound is better than the place `best`.
        bool beats(DropKey candidate, const Drop& best)
        {
            return best.score == LONG_MAX || candidate < key_of(best);
        }

        // What the search for one chart's place reads off the square.
        struct Square
        {
            const FreeRows& free;
            // Prefix sums of the skyline.
            std::vector<long> sky_sums;
            // Per room class, the most of its rooms over block_width
            // columns from each (window_maxima), once asked for.
            std::vector<std::vector<int>> block_rooms;
            DropRule rule;

            long sky_sum(const Profile& profile, int x) const
            {
                return sky_sums[x + profile.last + 1] -
                       sky_sums[x + profile.first];
            }
        };

        // The score of a profile at (x, y) when every column's bottom lies
        // on or above the skyline, whose sum under the profile is
        // `sky_sum`; for any place at y or above, a bound from below.
        long score_above(const Profile& profile, int y, long sky_sum,
                         DropRule rule)
        {
            const long rest = y + profile.height;
            if (rule == DropRule::lowest)
            {
                return rest;
            }
            // The empty rows below the columns, counted from the skyline,
            // less what the columns below it leave out.
            const long below =
                profile.count() * long{y} + profile.bottoms - sky_sum;
            return rest * profile.width() + std::max(0L, below);
        }

        // The score of a profile at (x, y): its top, or its top times its
        // width plus the free rows it leaves below its columns.
        long score_at(const Profile& profile, int x, int y,
                      const Square& square)
        {
            const long rest = y + profile.height;
            if (square.rule == DropRule::lowest)
            {
                return rest;
            }
            long score = rest * profile.width();
            const auto& skyline = square.free.skyline();
            for (int c = profile.first; c <= profile.last; ++c)
            {
                const int row = y + profile.bottom[c];
                score += row - (row >= skyline[x + c]
                                    ? skyline[x + c]
                                    : square.free.run_start(x + c, row));
            }
            return score;
        }

        // The highest y at which a profile may still score no worse than
        // `best`.
        int highest_worth(const Profile& profile, DropRule rule,
                          const Drop& best)
        {
            if (best.score == LONG_MAX)
            {
                return INT_MAX;
            }
            const long rest = rule == DropRule::lowest
                                  ? best.score
                                  : best.score / std::max(1, profile.width());
            return static_cast<int>(
                std::min<long>(INT_MAX, rest - profile.height));
        }

        // Per x from 0 up to the size less `width`, the most of `values`
        // over [x, x + width).
        std::vector<int> window_maxima(const std::vector<int>& values,
                                       int width)
        {
            // The maxima over 1, 2, 4, ... values, each from the last, up
            // to the widest span within `width`; a window is then two spans
            // that overlap.
            auto spans = values;
            std::size_t span = 1;
            for (; 2 * span <= static_cast<std::size_t>(width); span *= 2)
            {
                for (std::size_t x = 0; x + span < spans.size(); ++x)
                {
                    spans[x] = std::max(spans[x], spans[x + span]);
                }
            }
            std::vector<int> maxima(values.size() - width + 1);
            for (std::size_t x = 0; x < maxima.size(); ++x)
            {
                maxima[x] = std::max(spans[x], spans[x + width - span]);
            }
            return maxima;
        }

        // The lowest y, from `y` up, at which column c of the profile at x
        // lies in free rows: y itself when its bottom is on or above the
        // skyline and its top below the square's.
        int column_fit(const Profile& profile, int x, const FreeRows& free,
                       int c, int y)
        {
            return y + profile.bottom[c] >= free.skyline()[x + c] &&
                           y + profile.top[c] < free.side()
                       ? y
                       : free.lowest_fit(x + c, profile.bottom[c],
                                         profile.top[c], y);
        }

        // How far apart the columns are that are tried first, on their
        // own, when looking below the skyline: most places there fail, and
        // they fail at many columns.
        constexpr int sample_stride = 16;

        // The lowest y in [from, to] at which every column of the profile
        // at x lies in free rows, or -1 when there is none: y is raised
        // at every sample_stride-th column from `start`, then column by
        // column, round the profile from `start`, until every column holds
        // it.
        int lowest_fit(const Profile& profile, int x, const FreeRows& free,
                       int start, int from, int to)
        {
            int y = from;
            for (int c =
                     profile.first + (start - profile.first) % sample_stride;
                 c <= profile.last && y <= to; c += sample_stride)
            {
                y = column_fit(profile, x, free, c, y);
            }
            for (int c = start, agreed = 0; agreed < profile.count() && y <= to;
                 c = c == profile.last ? profile.first : c + 1)
            {
                const int fit = column_fit(profile, x, free, c, y);
                agreed = fit == y ? agreed + 1 : 1;
                y = fit;
            }
            return y <= to ? y : -1;
        }

        // A bound from below of the profile's y at x: per column, the
        // lowest room of its block's class less its bottom; once it is
        // above `cap`, only that.
        int lowest_room_fit(const Profile& profile, int x, const FreeRows& free,
                            int cap)
        {
            int low = 0;
            for (std::size_t b = 0;
                 b < profile.block_bottom.size() && low <= cap; ++b)
            {
                const auto& rooms = free.rooms(profile.block_class[b]);
                const int from = profile.first + int(b) * block_width;
                const int to = std::min(profile.last + 1, from + block_width);
                for (int c = from; c < to; ++c)
                {
                    low = std::max(low, rooms[x + c] - profile.bottom[c]);
                }
            }
            return low;
        }

        // The profile's place at the candidate's x: at its lowest fit in
        // the free rows, below the skyline when that scores no worse than
        // `best`, else on it. A score of LONG_MAX when it fits nowhere at x.
        Drop drop_at(const Profile& profile, const Drop& candidate,
                     const Square& square, const Drop& best)
        {
            const int x = candidate.x;
            const int quarter_turns = candidate.quarter_turns;
            const auto& skyline = square.free.skyline();
            int sky = 0;
            for (int c = profile.first; c <= profile.last; ++c)
            {
                sky = std::max(sky, skyline[x + c] - profile.bottom[c]);
            }
            const int below =
                std::min(sky - 1, highest_worth(profile, square.rule, best));
            const int low =
                candidate.y <= below
                    ? lowest_room_fit(profile, x, square.free, below)
                    : candidate.y;
            if (low <= below)
            {
                // The column that sets the skyline's fit must go below it:
                // it is tried first.
                int start = profile.first;
                while (skyline[x + start] - profile.bottom[start] != sky)
                {
                    ++start;
                }
                const int y =
                    lowest_fit(profile, x, square.free, start, low, below);
                if (y >= 0)
                {
                    return {score_at(profile, x, y, square), y, quarter_turns,
                            x};
                }
            }
            if (sky + profile.height > square.free.side())
            {
                return {};
            }
            return {score_above(profile, sky, square.sky_sum(profile, x),
                                square.rule),
                    sky, quarter_turns, x};
        }

        // Per x at which the profile may fit, a candidate with bounds from
        // below of its y and score, from the lowest room in blocks of its
        // columns.
        void add_candidates(const Profile& profile, int quarter_turns,
                            Square& square, std::vector<DropKey>& candidates)
        {
            const int side = square.free.side();
            if (profile.height > side || profile.width() > side)
            {
                return;
            }
            const auto nb_blocks =
                static_cast<int>(profile.block_bottom.size());
            const int last_width =
                profile.count() - (nb_blocks - 1) * block_width;
            for (int b = 0; b + 1 < nb_blocks; ++b)
            {
                auto& rooms = square.block_rooms[profile.block_class[b]];
                if (rooms.empty())
                {
                    rooms = window_maxima(
                        square.free.rooms(profile.block_class[b]), block_width);
                }
            }
            const auto part =
                nb_blocks > 0
                    ? window_maxima(
                          square.free.rooms(profile.block_class.back()),
                          last_width)
                    : std::vector<int>{};
            // Block by block, over every x at once; a block whose rooms
            // are none (the side) leaves no place under the top.
            std::vector<int> lowest(side - profile.width() + 1, 0);
            for (int b = 0; b < nb_blocks; ++b)
            {
                const int* rooms =
                    (b + 1 < nb_blocks
                         ? square.block_rooms[profile.block_class[b]].data()
                         : part.data()) +
                    profile.first + b * block_width;
                const int bottom = profile.block_bottom[b];
                for (std::size_t x = 0; x < lowest.size(); ++x)
                {
                    lowest[x] = std::max(lowest[x], rooms[x] - bottom);
                }
            }
            for (int x = 0; x < static_cast<int>(lowest.size()); ++x)
            {
                if (lowest[x] + profile.height <= side)
                {
                    candidates.push_back(key_of(
                        {score_above(profile, lowest[x],
                                     square.sky_sum(profile, x), square.rule),
                         lowest[x], quarter_turns, x}));
                }
            }
        }

        // The best place of a chart in its turns among the free rows: the
        // candidates are tried from the lowest bound up, until the bound
        // is no better than the best place found.
        Drop drop_chart(const std::array<Profile, 4>& profiles, int nb_turns,
                        const FreeRows& free, DropRule rule)
        {
            Square square{free, std::vector<long>(free.side() + 1, 0),
                          std::vector<std::vector<int>>(
                              FreeRows::room_class(free.side()) + 1),
                          rule};
            for (int c = 0; c < free.side(); ++c)
            {
                square.sky_sums[c + 1] = square.sky_sums[c] + free.skyline()[c];
            }
            std::vector<DropKey> candidates;
            for (int k = 0; k < nb_turns; ++k)
            {
                add_candidates(profiles[k], k, square, candidates);
            }
            if (candidates.empty())
            {
                return {};
            }
            // The lowest bound is tried first, as the heap would; those no
            // better than the place it gives are never tried and left out.
            std::iter_swap(
                std::min_element(candidates.begin(), candidates.end()),
                candidates.end() - 1);
            const auto first = drop_of(candidates.back());
            candidates.pop_back();
            Drop best =
                drop_at(profiles[first.quarter_turns], first, square, Drop{});
            candidates.erase(
                std::remove_if(candidates.begin(), candidates.end(),
                               [&](DropKey key) { return !beats(key, best); }),
                candidates.end());
            std::make_heap(candidates.begin(), candidates.end(),
                           std::greater<DropKey>{});
            while (!candidates.empty() && beats(candidates.front(), best))
            {
                const auto next = drop_of(candidates.front());
                std::pop_heap(candidates.begin(), candidates.end(),
                              std::greater<DropKey>{});
                candidates.pop_back();
                best = std::min(best, drop_at(profiles[next.quarter_turns],
                                              next, square, best));
            }
            return best;
        }

        // Holds the rows of a placed profile.
        void occupy(const Profile& profile, const Drop& drop, FreeRows& free)
        {
            for (int c = profile.first; c <= profile.last; ++c)
            {
                free.hold(drop.x + c, drop.y + profile.bottom[c],
                          drop.y + profile.top[c] + 1);
            }
        }

        // Whether the chart's box at `scale`, with `padding` on each side,
        // fits a square of `side` texels (in either turn alike).
        bool fits_square(const ChartOutline& outline, double scale, int padding,
                         int side)
        {
            for (int k = 0; k < 2; ++k)
            {
                const double extent =
                    (outline.high[k] - outline.low[k]) * scale + 2 * padding;
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

    std::array<long, 2> footprint_texels(const CornerMap& chart, double scale,
                                         int padding)
    {
        return footprint_texels(outline_of(chart), scale, padding);
    }

    std::array<long, 2> footprint_texels(const ChartOutline& outline,
                                         double scale, int padding)
    {
        std::array<long, 2> texels{{0, 0}};
        for (int k = 0; k < 2; ++k)
        {
            const auto profile = profile_of(outline, k, scale, padding);
            for (int c = profile.first; c <= profile.last; ++c)
            {
                texels[k] += profile.top[c] - profile.bottom[c] + 1;
            }
        }
        return texels;
    }

    namespace
    {
        using Placements = std::vector<absl::optional<ProfilePlacement>>;

        // The charts' order of dropping: largest first, by their boxes or
        // by the texels their footprints cover.
        std::vector<std::size_t> largest_first(
            const std::vector<std::array<Profile, 4>>& profiles, DropOrder by)
        {
            std::vector<long> size(profiles.size(), 0);
            for (std::size_t i = 0; i < profiles.size(); ++i)
            {
                const auto& profile = profiles[i][0];
                size[i] = static_cast<long>(profile.width()) * profile.height;
                if (by == DropOrder::largest_area)
                {
                    size[i] = 0;
                    for (int c = profile.first; c <= profile.last; ++c)
                    {
                        size[i] += profile.top[c] - profile.bottom[c] + 1;
                    }
                }
            }
            std::vector<std::size_t> order(profiles.size());
            std::iota(order.begin(), order.end(), std::size_t{0});
            std::stable_sort(order.begin(), order.end(),
                             [&](std::size_t a, std::size_t b)
                             { return size[a] > size[b]; });
            return order;
        }

        // Every chart's profiles at one scale, in its four turns (or its
        // own only), and whether it fits the square at all.
        struct ChartProfiles
        {
            // Bytes, not bits: the charts are profiled at once.
            std::vector<char> fits;
            std::vector<std::array<Profile, 4>> turns;
        };

        // Makes the profiles of chart i's map `chart` in `nb_turns` turns,
        // when it fits the square. Returns whether it does.
        bool profile_chart(ChartProfiles& profiles, std::size_t i,
                           const ChartOutline& outline, double scale,
                           int padding, int side, int nb_turns)
        {
            // A chart wider or taller than the square cannot be placed: that
            // is found before its profile is allocated, which at a scale far
            // too large would take more memory than the machine has.
            profiles.fits[i] =
                fits_square(outline, scale, padding, side) ? 1 : 0;
            for (int k = 0; k < nb_turns && profiles.fits[i]; ++k)
            {
                profiles.turns[i][k] = profile_of(outline, k, scale, padding);
            }
            return profiles.fits[i] != 0;
        }

        // The outlines of maps: those given, else made once.
        struct Outlines
        {
            const ChartOutlines* given;
            ChartOutlines made;

            const ChartOutline& of(const CornerMap& map)
            {
                const auto* outline = given ? given->find(map) : nullptr;
                return outline ? *outline : made.of(map);
            }
        };

        // The profiles of the charts whose maps in `charts` are not those
        // of `made`, made so. Returns whether every chart fits the square.
        bool update_profiles(ChartProfiles& profiles,
                             std::vector<const CornerMap*>& made,
                             const std::vector<const CornerMap*>& charts,
                             Outlines& outlines, double scale, int padding,
                             int side, int nb_turns)
        {
            profiles.fits.resize(charts.size());
            profiles.turns.resize(charts.size());
            made.resize(charts.size(), nullptr);
            // The outlines are looked up (and made) one after the other,
            // the profiles of different charts made at once.
            std::vector<std::pair<std::size_t, const ChartOutline*>> changed;
            for (std::size_t i = 0; i < charts.size(); ++i)
            {
                if (made[i] != charts[i])
                {
                    made[i] = charts[i];
                    changed.emplace_back(i, &outlines.of(*charts[i]));
                }
            }
            run_in_parallel(changed.size(),
                            [&](std::size_t k)
                            {
                                profile_chart(profiles, changed[k].first,
                                              *changed[k].second, scale,
                                              padding, side, nb_turns);
                            });
            return std::all_of(profiles.fits.begin(), profiles.fits.end(),
                               [](char fits) { return fits != 0; });
        }

        // Drops the charts by their profiles the way `settings` says; with
        // `partly`, a chart that does not fit is left out instead of
        // failing the whole packing.
        Placements drop_profiles(const ChartProfiles& profiles, int side,
                                 const DropSettings& settings, bool partly)
        {
            const int nb_turns = settings.turn ? 4 : 1;
            FreeRows free(side, side / 64);
            Placements placements(profiles.turns.size());
            for (const auto i : largest_first(profiles.turns, settings.order))
            {
                const auto best = profiles.fits[i]
                                      ? drop_chart(profiles.turns[i], nb_turns,
                                                   free, settings.rule)
                                      : Drop{};
                if (best.score == LONG_MAX)
                {
                    if (!partly)
                    {
                        return {};
                    }
                    continue;
                }
                occupy(profiles.turns[i][best.quarter_turns], best, free);
                placements[i] =
                    ProfilePlacement{best.quarter_turns, best.x, best.y};
            }
            return placements;
        }

        // The placements of the first of `tries` that places every chart,
        // or none. Two tries are made at once when a spare thread can take
        // the second: the first that places all is the same either way.
        Placements first_that_places(const ChartProfiles& profiles, int side,
                                     const std::vector<DropSettings>& tries)
        {
            const std::size_t at_once = tasks_run_at_once() ? 2 : 1;
            for (std::size_t first = 0; first < tries.size(); first += at_once)
            {
                const auto count = std::min(at_once, tries.size() - first);
                std::vector<Placements> made(count);
                run_in_parallel(count,
                                [&](std::size_t i) {
                                    made[i] =
                                        drop_profiles(profiles, side,
                                                      tries[first + i], false);
                                });
                for (auto& placements : made)
                {
                    if (!placements.empty())
                    {
                        return std::move(placements);
                    }
                }
            }
            return {};
        }

        // Whether any way tries turns.
        bool any_turn(const std::vector<DropWay>& ways)
        {
            for (const auto& way : ways)
            {
                for (const auto& settings : way.tries)
                {
                    if (settings.turn)
                    {
                        return true;
                    }
                }
            }
            return false;
        }

        // drop_charts on a square of at most max_profile_side texels, each
        // way of `ways` in turn until one places every chart (or, with
        // `partly`, the first only), a profile made once per map; `way` is
        // set to the index of the way that does.
        Placements drop_charts_on_texels(const std::vector<DropWay>& ways,
                                         double scale, int padding, int side,
                                         bool partly, Outlines& outlines,
                                         std::size_t& way)
        {
            const int nb_turns = any_turn(ways) ? 4 : 1;
            ChartProfiles profiles;
            std::vector<const CornerMap*> made;
            for (way = 0; way < ways.size(); ++way)
            {
                const auto& charts = ways[way].charts;
                const auto fits = [&](const CornerMap* chart) {
                    return fits_square(outlines.of(*chart), scale, padding,
                                       side);
                };
                if (!partly && !std::all_of(charts.begin(), charts.end(), fits))
                {
                    continue;
                }
                if (!update_profiles(profiles, made, charts, outlines, scale,
                                     padding, side, nb_turns) &&
                    !partly)
                {
                    continue;
                }
                if (partly)
                {
                    return drop_profiles(profiles, side,
                                         ways[way].tries.front(), true);
                }
                if (auto placements =
                        first_that_places(profiles, side, ways[way].tries);
                    !placements.empty())
                {
                    return placements;
                }
            }
            return {};
        }

        // Each chart is tried at every column, at a cost of the square's
        // side times the chart's width: a large square is packed in blocks
        // of texels instead. A chart's footprint in blocks covers its
        // footprint in texels scaled down, and every chart moves by the
        // same amount when scaled back, so the charts stay at least
        // `padding` texels apart.
        Placements drop_charts_in_blocks(const std::vector<DropWay>& ways,
                                         double scale, int padding, int side,
                                         bool partly,
                                         const ChartOutlines* given,
                                         std::size_t& way)
        {
            Outlines outlines{given, {}};
            const int block = (side + max_profile_side - 1) / max_profile_side;
            if (block == 1)
            {
                return drop_charts_on_texels(ways, scale, padding, side, partly,
                                             outlines, way);
            }
            auto placements = drop_charts_on_texels(
                ways, scale / block, (padding + block - 1) / block,
                side / block, partly, outlines, way);
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

    std::vector<ProfilePlacement> drop_charts(const std::vector<DropWay>& ways,
                                              double scale, int padding,
                                              int side, std::size_t& way,
                                              const ChartOutlines* outlines)
    {
        const auto dropped = drop_charts_in_blocks(ways, scale, padding, side,
                                                   false, outlines, way);
        std::vector<ProfilePlacement> placements;
        for (const auto& placement : dropped)
        {
            placements.push_back(*placement);
        }
        return placements;
    }

    std::vector<ProfilePlacement> drop_charts(
        const std::vector<const CornerMap*>& charts, double scale, int padding,
        int side, const std::vector<DropSettings>& tries)
    {
        std::size_t way = 0;
        return drop_charts({DropWay{charts, tries}}, scale, padding, side, way);
    }
    std::vector<ProfilePlacement> drop_charts(
        const std::vector<const CornerMap*>& charts, double scale, int padding,
        int side, DropSettings settings)
    {
        return drop_charts(charts, scale, padding, side,
                           std::vector<DropSettings>{settings});
    }

    std::vector<absl::optional<ProfilePlacement>> drop_charts_partly(
        const std::vector<const CornerMap*>& charts, double scale, int padding,
        int side, DropSettings settings, const ChartOutlines* outlines)
    {
        std::size_t way = 0;
        return drop_charts_in_blocks({DropWay{charts, {settings}}}, scale,
                                     padding, side, true, outlines, way);
    }
}  // namespace nodara
