#include "writing/distortion_picture.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <vector>

namespace tessaplan
{
    namespace
    {
        using nodara::index_t;

        constexpr double drawing_size = 800.0;  // longer side, in pixels
        constexpr double margin = 24.0;
        constexpr double title_height = 32.0;
        constexpr double legend_gap = 32.0;
        constexpr double legend_width = 210.0;
        constexpr double legend_bar_height = 300.0;
        constexpr std::size_t nb_colour_bins = 128;
        // Below this many triangles every edge is drawn, faintly.
        constexpr index_t wireframe_limit = 20000;
        // Below this many flipped triangles each also gets a ring, so that
        // tiny ones stay visible.
        constexpr index_t ring_limit = 500;
        // The most points added to a path at once: more, and the parts of
        // an SVG path grow beyond what librsvg reads reliably.
        constexpr std::size_t max_outline_points = 6000;
        constexpr Rgb flipped_colour{0xe4, 0x00, 0x2b};
        constexpr Rgb degenerate_colour{0x9e, 0x9e, 0x9e};
        constexpr Rgb border_colour{0x1a, 0x1a, 0x1a};
        constexpr Rgb frame_colour{0x44, 0x44, 0x44};

        std::string fixed_text(double value, int precision)
        {
            std::array<char, 64> buffer{};
            const auto result =
                std::to_chars(buffer.data(), buffer.data() + buffer.size(),
                              value, std::chars_format::fixed, precision);
            return {buffer.data(), result.ptr};
        }

        // A distortion value for people: "∞" and "n/a" for the values
        // that are not numbers.
        std::string value_text(double value)
        {
            if (std::isnan(value))
            {
                return "n/a";
            }
            if (std::isinf(value))
            {
                return "\u221e";
            }
            return fixed_text(value, value < 10 ? 3 : 1);
        }

        // The colour scale runs from 1 to 1 + 4 * step, in four ticks.
        struct ScaleTicks
        {
            double step;
            int decimals;
            double top() const { return 1.0 + 4.0 * step; }
        };

        // The value at the 99th percentile of the finite values, 1 when
        // there is none.
        double high_value(const std::vector<double>& values)
        {
            std::vector<double> finite;
            finite.reserve(values.size());
            std::copy_if(values.begin(), values.end(),
                         std::back_inserter(finite),
                         [](double value) { return std::isfinite(value); });
            if (finite.empty())
            {
                return 1.0;
            }
            const auto rank = (99 * finite.size() + 99) / 100;
            const auto nth = finite.begin() + static_cast<long>(rank - 1);
            std::nth_element(finite.begin(), nth, finite.end());
            return *nth;
        }

        // Ticks that reach the 99th percentile of the finite conformal
        // distortions, so that a few outliers do not squeeze every other
        // triangle into the bottom colours; the step is 1, 2 or 5 times a
        // power of ten, and at least 0.001 so that rounding noise on a
        // nearly perfect map is not blown up into colours.
        ScaleTicks scale_ticks(const std::vector<double>& conformal)
        {
            const double raw_step =
                std::max((high_value(conformal) - 1.0) / 4.0, 0.001);
            const double power =
                std::pow(10.0, std::floor(std::log10(raw_step)));
            double step = 10.0 * power;
            for (const double factor : {1.0, 2.0, 5.0})
            {
                if (factor * power >= raw_step * (1.0 - 1e-9))
                {
                    step = factor * power;
                    break;
                }
            }
            const int decimals =
                static_cast<int>(std::max(0.0, -std::floor(std::log10(step))));
            return {step, decimals};
        }

        // Maps layout coordinates to pixels, second axis up.
        class Viewport
        {
        public:
            explicit Viewport(const nodara::TriangulatedSurface<2>& layout)
            {
                bool first = true;
                for (index_t v = 0; v < layout.nb_vertices(); ++v)
                {
                    const auto& point = layout.point(v);
                    if (!point.is_finite())
                    {
                        continue;
                    }
                    for (std::size_t i = 0; i < 2; ++i)
                    {
                        low_[i] =
                            first ? point[i] : std::min(low_[i], point[i]);
                        high_[i] =
                            first ? point[i] : std::max(high_[i], point[i]);
                    }
                    first = false;
                }
                const double extent =
                    std::max(high_[0] - low_[0], high_[1] - low_[1]);
                scale_ = extent > 0.0 ? drawing_size / extent : 1.0;
                width_ = std::max(1.0, (high_[0] - low_[0]) * scale_);
                height_ = std::max(1.0, (high_[1] - low_[1]) * scale_);
            }

            // The point on the grid of the picture.
            GridPoint grid(const nodara::Point<2>& point) const
            {
                const double x = margin + (point[0] - low_[0]) * scale_;
                const double y =
                    margin + title_height + (high_[1] - point[1]) * scale_;
                return {
                    static_cast<std::int32_t>(std::lround(x * grid_per_pixel)),
                    static_cast<std::int32_t>(std::lround(y * grid_per_pixel))};
            }
            double width() const { return width_; }
            double height() const { return height_; }

        private:
            std::array<double, 2> low_{};
            std::array<double, 2> high_{};
            double scale_{1.0};
            double width_{1.0};
            double height_{1.0};
        };

        // The layout's points on the grid of the picture.
        class GridLayout
        {
        public:
            GridLayout(const nodara::TriangulatedSurface<2>& layout,
                       const Viewport& viewport)
                : layout_(layout)
            {
                points_.reserve(layout.nb_vertices());
                for (index_t v = 0; v < layout.nb_vertices(); ++v)
                {
                    const auto& point = layout.point(v);
                    points_.push_back(point.is_finite()
                                          ? std::optional{viewport.grid(point)}
                                          : std::nullopt);
                }
            }

            // The corners of triangle t, none when one is not finite.
            std::optional<GridTriangle> triangle(index_t t) const
            {
                GridTriangle corners{};
                for (nodara::local_index_t k = 0; k < 3; ++k)
                {
                    const auto& point = points_[layout_.polygon_vertex({t, k})];
                    if (!point)
                    {
                        return std::nullopt;
                    }
                    corners[k] = *point;
                }
                return corners;
            }

            const nodara::TriangulatedSurface<2>& layout() const
            {
                return layout_;
            }

        private:
            const nodara::TriangulatedSurface<2>& layout_;
            std::vector<std::optional<GridPoint>> points_;
        };

        // The triangles of each colour bin, the last bin for zero area in
        // 3D.
        std::vector<std::vector<index_t>> colour_bins(
            const std::vector<double>& conformal, double top)
        {
            std::vector<std::vector<index_t>> bins(nb_colour_bins + 1);
            for (index_t t = 0; t < conformal.size(); ++t)
            {
                const double value = conformal[t];
                std::size_t bin = nb_colour_bins;  // zero area in 3D
                if (!std::isnan(value))
                {
                    const double position = (value - 1.0) / (top - 1.0);
                    bin = static_cast<std::size_t>(std::clamp(
                        position * nb_colour_bins, 0.0, nb_colour_bins - 1.0));
                }
                bins[bin].push_back(t);
            }
            return bins;
        }

        Rgb bin_colour(std::size_t bin)
        {
            return bin == nb_colour_bins
                       ? degenerate_colour
                       : viridis((bin + 0.5) / nb_colour_bins);
        }

        // The corners of `triangles` that can be drawn.
        std::vector<GridTriangle> grid_triangles(
            const GridLayout& grid, const std::vector<index_t>& triangles)
        {
            std::vector<GridTriangle> corners;
            corners.reserve(triangles.size());
            for (const auto t : triangles)
            {
                if (const auto triangle = grid.triangle(t))
                {
                    corners.push_back(*triangle);
                }
            }
            return corners;
        }

        std::size_t nb_points(const std::vector<Polyline>& lines)
        {
            std::size_t count = 0;
            for (const auto& line : lines)
            {
                count += line.points.size();
            }
            return count;
        }

        // The triangles split in two at the median of their corners' sums
        // along the longer side of their box.
        std::array<std::vector<GridTriangle>, 2> halves(
            std::vector<GridTriangle> triangles)
        {
            constexpr auto lowest = std::numeric_limits<std::int64_t>::min();
            constexpr auto highest = std::numeric_limits<std::int64_t>::max();
            std::array<std::int64_t, 4> box{highest, highest, lowest, lowest};
            for (const auto& triangle : triangles)
            {
                for (const auto& corner : triangle)
                {
                    box = {std::min<std::int64_t>(box[0], corner.x),
                           std::min<std::int64_t>(box[1], corner.y),
                           std::max<std::int64_t>(box[2], corner.x),
                           std::max<std::int64_t>(box[3], corner.y)};
                }
            }
            const bool along_x = box[2] - box[0] >= box[3] - box[1];
            const auto key = [along_x](const GridTriangle& t)
            {
                return along_x ? std::int64_t{t[0].x} + t[1].x + t[2].x
                               : std::int64_t{t[0].y} + t[1].y + t[2].y;
            };
            const auto middle =
                triangles.begin() + static_cast<long>(triangles.size() / 2);
            std::nth_element(
                triangles.begin(), middle, triangles.end(),
                [&key](const GridTriangle& a, const GridTriangle& b)
                { return key(a) < key(b); });
            return {std::vector<GridTriangle>{triangles.begin(), middle},
                    std::vector<GridTriangle>{middle, triangles.end()}};
        }

        // The outline of `triangles` added to the path, a part at a time; a
        // part with more than max_outline_points points is split in two
        // halves, outlined each.
        void add_outline(PictureCanvas& canvas,
                         const std::vector<GridTriangle>& triangles)
        {
            for (const auto& part : triangle_outline(triangles))
            {
                if (nb_points(part.loops) <= max_outline_points)
                {
                    canvas.add_to_path(part.loops);
                    continue;
                }
                std::vector<GridTriangle> members;
                for (const auto t : part.triangles)
                {
                    members.push_back(triangles[t]);
                }
                for (const auto& half : halves(std::move(members)))
                {
                    add_outline(canvas, half);
                }
            }
        }

        // Each colour as the outline of the union of its triangles, one
        // path per colour. The stroke in the fill colour closes the hairline
        // gaps that anti-aliasing leaves between colours.
        void draw_coloured_triangles(PictureCanvas& canvas,
                                     const GridLayout& grid,
                                     const std::vector<double>& conformal,
                                     double top)
        {
            const auto bins = colour_bins(conformal, top);
            for (std::size_t bin = 0; bin <= nb_colour_bins; ++bin)
            {
                const auto triangles = grid_triangles(grid, bins[bin]);
                if (triangles.empty())
                {
                    continue;
                }
                const auto colour = bin_colour(bin);
                canvas.begin_path({colour, colour, 0.4, 1.0, true});
                add_outline(canvas, triangles);
                canvas.end_path();
            }
        }

        // Each of `triangles` as a closed polyline of its own.
        void draw_triangles(PictureCanvas& canvas, const GridLayout& grid,
                            const std::vector<index_t>& triangles,
                            const PaintStyle& style)
        {
            canvas.begin_path(style);
            for (const auto t : triangles)
            {
                if (const auto corners = grid.triangle(t))
                {
                    canvas.add_to_path(
                        {Polyline{{corners->begin(), corners->end()}, true}});
                }
            }
            canvas.end_path();
        }

        std::vector<index_t> all_triangles(index_t count)
        {
            std::vector<index_t> triangles(count);
            for (index_t t = 0; t < count; ++t)
            {
                triangles[t] = t;
            }
            return triangles;
        }

        // A polyline to be stroked, in open pieces of at most
        // max_outline_points points that meet end to end.
        void add_in_pieces(PictureCanvas& canvas, Polyline line)
        {
            if (line.closed)
            {
                line.points.push_back(line.points.front());
            }
            const auto& points = line.points;
            for (std::size_t first = 0; first + 1 < points.size();
                 first += max_outline_points - 1)
            {
                const auto last =
                    std::min(first + max_outline_points, points.size());
                canvas.add_to_path(
                    {Polyline{{points.begin() + static_cast<long>(first),
                               points.begin() + static_cast<long>(last)},
                              false}});
            }
        }

        // Every edge of one triangle only, chained.
        void draw_borders(PictureCanvas& canvas, const GridLayout& grid)
        {
            const auto& layout = grid.layout();
            std::vector<GridEdge> edges;
            for (index_t t = 0; t < layout.nb_polygons(); ++t)
            {
                const auto corners = grid.triangle(t);
                for (nodara::local_index_t e = 0; corners && e < 3; ++e)
                {
                    if (layout.is_edge_on_border({t, e}))
                    {
                        edges.push_back(
                            {(*corners)[e], (*corners)[(e + 1) % 3]});
                    }
                }
            }
            canvas.begin_path({std::nullopt, border_colour, 0.9, 1.0, true});
            for (const auto& line : chain_edges(edges))
            {
                add_in_pieces(canvas, line);
            }
            canvas.end_path();
        }

        // A ring round each of `triangles`, so that a few stand out.
        void draw_rings(PictureCanvas& canvas, const GridLayout& grid,
                        const std::vector<index_t>& triangles)
        {
            const PaintStyle style{std::nullopt, flipped_colour, 1.5};
            for (const auto t : triangles)
            {
                if (const auto corners = grid.triangle(t))
                {
                    double x = 0.0;
                    double y = 0.0;
                    for (const auto& corner : *corners)
                    {
                        x += corner.x / (3.0 * grid_per_pixel);
                        y += corner.y / (3.0 * grid_per_pixel);
                    }
                    canvas.circle(x, y, 6.0, style);
                }
            }
        }

        // The flipped triangles outlined in red, ringed when they are few.
        void draw_flipped(PictureCanvas& canvas, const GridLayout& grid,
                          const std::vector<bool>& flipped)
        {
            std::vector<index_t> triangles;
            for (index_t t = 0; t < flipped.size(); ++t)
            {
                if (flipped[t])
                {
                    triangles.push_back(t);
                }
            }
            if (triangles.empty())
            {
                return;
            }
            draw_triangles(canvas, grid, triangles,
                           {std::nullopt, flipped_colour, 1.5, 1.0, true});
            if (triangles.size() <= ring_limit)
            {
                draw_rings(canvas, grid, triangles);
            }
        }

        // The colour bar with its ticks, from `top` down.
        void draw_scale(PictureCanvas& canvas, const ScaleTicks& ticks,
                        double max_value, double left, double top)
        {
            constexpr double bar_width = 24.0;
            std::vector<Rgb> stops;
            for (int i = 0; i <= 16; ++i)
            {
                stops.push_back(viridis(i / 16.0));
            }
            canvas.colour_bar({left, top, bar_width, legend_bar_height}, stops,
                              {std::nullopt, frame_colour, 0.5});
            for (int k = 0; k <= 4; ++k)
            {
                const double y = top + legend_bar_height * (1.0 - k / 4.0);
                std::string label =
                    fixed_text(1.0 + ticks.step * k, ticks.decimals);
                if (k == 4 && !(max_value <= ticks.top()))
                {
                    label = "\u2265 " + label;
                }
                canvas.line(left + bar_width, y, left + bar_width + 5.0, y,
                            {std::nullopt, frame_colour, 1.0});
                canvas.text(left + bar_width + 9.0, y + 4.5, label, {});
            }
        }

        // The figures under the colour bar, from the baseline y on.
        void draw_figures(PictureCanvas& canvas,
                          const nodara::DistortionSummary& summary,
                          std::size_t nb_triangles, double left, double y)
        {
            const auto& conformal = summary.conformal;
            canvas.text(left, y,
                        "mean " + value_text(conformal.mean) + ", p95 " +
                            value_text(conformal.p95),
                        {});
            y += 18.0;
            canvas.text(left, y, "max " + value_text(conformal.max), {});
            y += 30.0;
            canvas.rectangle({left, y - 11.0, 14.0, 14.0},
                             {std::nullopt, flipped_colour, 2.0});
            canvas.text(left + 22.0, y,
                        "flipped triangles: " +
                            std::to_string(summary.nb_flipped_triangles),
                        {});
            if (summary.nb_degenerate_triangles > 0)
            {
                y += 24.0;
                canvas.rectangle({left, y - 11.0, 14.0, 14.0},
                                 {degenerate_colour, std::nullopt});
                canvas.text(left + 22.0, y,
                            "zero area in 3D: " +
                                std::to_string(summary.nb_degenerate_triangles),
                            {});
            }
            y += 24.0;
            canvas.text(left, y, std::to_string(nb_triangles) + " triangles",
                        {13.0, false, {0x66, 0x66, 0x66}});
        }

        void draw_legend(PictureCanvas& canvas,
                         const nodara::TriangleDistortions& distortions,
                         const nodara::DistortionSummary& summary,
                         const ScaleTicks& ticks, double left)
        {
            const double bar_top = margin + title_height + 28.0;
            canvas.text(left, bar_top - 12.0,
                        "conformal distortion \u03c3\u2081/\u03c3\u2082",
                        {13.0, true});
            draw_scale(canvas, ticks, summary.conformal.max, left, bar_top);
            draw_figures(canvas, summary, distortions.conformal.size(), left,
                         bar_top + legend_bar_height + 34.0);
        }
    }  // namespace

    void draw_distortion_picture(const nodara::TriangulatedSurface<2>& layout,
                                 const nodara::TriangleDistortions& distortions,
                                 const nodara::DistortionSummary& summary,
                                 const std::string& title,
                                 PictureBorders borders, PictureCanvas& canvas)
    {
        const Viewport viewport{layout};
        const GridLayout grid{layout, viewport};
        const auto ticks = scale_ticks(distortions.conformal);
        const double legend_left = margin + viewport.width() + legend_gap;
        // Whole pixels, so that every canvas has the same proportions.
        canvas.begin_picture(
            std::ceil(legend_left + legend_width + margin),
            std::ceil(margin + title_height +
                      std::max(viewport.height(), legend_bar_height + 200.0) +
                      margin));
        canvas.text(margin, margin + 14.0, title, {16.0});
        draw_coloured_triangles(canvas, grid, distortions.conformal,
                                ticks.top());
        if (layout.nb_polygons() <= wireframe_limit)
        {
            draw_triangles(canvas, grid, all_triangles(layout.nb_polygons()),
                           {std::nullopt, Rgb{0, 0, 0}, 0.35, 0.18});
        }
        if (borders == PictureBorders::outlined)
        {
            draw_borders(canvas, grid);
        }
        draw_flipped(canvas, grid, distortions.flipped);
        draw_legend(canvas, distortions, summary, ticks, legend_left);
        canvas.end_picture();
    }
}  // namespace tessaplan
