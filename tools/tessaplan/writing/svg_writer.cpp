#include "writing/svg_writer.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <vector>

#include "writing/colour_scale.h"

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
        const std::string flipped_colour = "#e4002b";
        const std::string degenerate_colour = "#9e9e9e";
        const std::string border_colour = "#1a1a1a";
        constexpr std::size_t chunk_size = 1 << 16;

        void append_fixed(std::string& text, double value, int precision)
        {
            std::array<char, 64> buffer{};
            const auto result =
                std::to_chars(buffer.data(), buffer.data() + buffer.size(),
                              value, std::chars_format::fixed, precision);
            text.append(buffer.data(), result.ptr);
        }

        std::string fixed_text(double value, int precision)
        {
            std::string text;
            append_fixed(text, value, precision);
            return text;
        }

        // <text x=".." y=".."ATTRIBUTES>CONTENT</text>, coordinates to 0.1.
        std::string text_element(double x, double y, const std::string& content,
                                 const std::string& attributes = "")
        {
            return "<text x=\"" + fixed_text(x, 1) + "\" y=\"" +
                   fixed_text(y, 1) + "\"" + attributes + ">" + content +
                   "</text>\n";
        }

        // The 14-pixel legend square whose text baseline is at y.
        std::string legend_swatch(double x, double y, const std::string& paint)
        {
            return "<rect x=\"" + fixed_text(x, 1) + "\" y=\"" +
                   fixed_text(y - 11.0, 1) + "\" width=\"14\" height=\"14\" " +
                   paint + "/>\n";
        }

        // A distortion value for people: "inf" and "n/a" for the values
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

        std::string escape_xml(const std::string& text)
        {
            std::string escaped;
            for (const char c : text)
            {
                switch (c)
                {
                    case '&':
                        escaped += "&amp;";
                        break;
                    case '<':
                        escaped += "&lt;";
                        break;
                    case '>':
                        escaped += "&gt;";
                        break;
                    case '"':
                        escaped += "&quot;";
                        break;
                    default:
                        // Control characters are not allowed in XML 1.0.
                        escaped +=
                            static_cast<unsigned char>(c) < 0x20 ? ' ' : c;
                }
            }
            return escaped;
        }

        // The colour scale runs from 1 to 1 + 4 * step, in four ticks.
        struct ScaleTicks
        {
            double step;
            int decimals;
            double top() const { return 1.0 + 4.0 * step; }
        };

        // Ticks that reach the 99th percentile of the finite conformal
        // distortions, so that a few outliers do not squeeze every other
        // triangle into the bottom colours; the step is 1, 2 or 5 times a
        // power of ten, and at least 0.001 so that rounding noise on a
        // nearly perfect map is not blown up into colours.
        ScaleTicks scale_ticks(const std::vector<double>& conformal)
        {
            std::vector<double> finite;
            finite.reserve(conformal.size());
            for (const double value : conformal)
            {
                if (std::isfinite(value))
                {
                    finite.push_back(value);
                }
            }
            double top = 1.0;
            if (!finite.empty())
            {
                const auto rank = (99 * finite.size() + 99) / 100;
                const auto nth = finite.begin() + static_cast<long>(rank - 1);
                std::nth_element(finite.begin(), nth, finite.end());
                top = *nth;
            }
            const double raw_step = std::max((top - 1.0) / 4.0, 0.001);
            const double magnitude = std::floor(std::log10(raw_step));
            const double power = std::pow(10.0, magnitude);
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

            double x(const nodara::Point<2>& point) const
            {
                return margin + (point[0] - low_[0]) * scale_;
            }
            double y(const nodara::Point<2>& point) const
            {
                return margin + title_height + (high_[1] - point[1]) * scale_;
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

        class SvgText
        {
        public:
            explicit SvgText(OutputFile& file) : file_(file)
            {
                text_.reserve(2 * chunk_size);
            }

            std::string& text() { return text_; }

            void pass_on(bool always = false)
            {
                if (always || text_.size() >= chunk_size)
                {
                    file_.write(text_);
                    text_.clear();
                }
            }

        private:
            OutputFile& file_;
            std::string text_;
        };

        void append_triangle(std::string& text,
                             const nodara::TriangulatedSurface<2>& layout,
                             const Viewport& viewport, index_t t)
        {
            const auto& vertices = layout.polygon_vertices(t);
            for (std::size_t k = 0; k < 3; ++k)
            {
                const auto& point = layout.point(vertices[k]);
                text += k == 0 ? 'M' : 'L';
                append_fixed(text, viewport.x(point), 2);
                text += ' ';
                append_fixed(text, viewport.y(point), 2);
            }
            text += 'Z';
        }

        // Every edge of one triangle only, as one path.
        void append_borders(SvgText& svg,
                            const nodara::TriangulatedSurface<2>& layout,
                            const Viewport& viewport)
        {
            auto& text = svg.text();
            text += "<path fill=\"none\" stroke=\"" + border_colour +
                    "\" stroke-width=\"0.9\" stroke-linecap=\"round\" d=\"";
            for (index_t t = 0; t < layout.nb_polygons(); ++t)
            {
                for (nodara::local_index_t e = 0; e < 3; ++e)
                {
                    if (!layout.is_edge_on_border({t, e}))
                    {
                        continue;
                    }
                    for (const auto k :
                         {e, static_cast<nodara::local_index_t>((e + 1) % 3)})
                    {
                        const auto& point =
                            layout.point(layout.polygon_vertex({t, k}));
                        text += k == e ? 'M' : 'L';
                        append_fixed(text, viewport.x(point), 2);
                        text += ' ';
                        append_fixed(text, viewport.y(point), 2);
                    }
                    svg.pass_on();
                }
            }
            text += "\"/>\n";
        }

        void append_legend(std::string& text,
                           const nodara::TriangleDistortions& distortions,
                           const nodara::DistortionSummary& summary,
                           const ScaleTicks& ticks, double left)
        {
            const double bar_top = margin + title_height + 28.0;
            const double bar_width = 24.0;
            text +=
                "<defs><linearGradient id=\"scale\" x1=\"0\" y1=\"1\" "
                "x2=\"0\" y2=\"0\">\n";
            for (int i = 0; i <= 16; ++i)
            {
                text += "<stop offset=\"" + fixed_text(i / 16.0, 4) +
                        "\" stop-color=\"" + hex_text(viridis(i / 16.0)) +
                        "\"/>\n";
            }
            text += "</linearGradient></defs>\n";
            text +=
                "<g font-family=\"sans-serif\" font-size=\"13\" "
                "fill=\"#222\">\n";
            text +=
                text_element(left, bar_top - 12.0,
                             "conformal distortion \u03c3\u2081/\u03c3\u2082",
                             " font-weight=\"bold\"");
            text += "<rect x=\"" + fixed_text(left, 1) + "\" y=\"" +
                    fixed_text(bar_top, 1) + "\" width=\"" +
                    fixed_text(bar_width, 1) + "\" height=\"" +
                    fixed_text(legend_bar_height, 1) +
                    "\" fill=\"url(#scale)\" stroke=\"#444\" "
                    "stroke-width=\"0.5\"/>\n";
            const double max_value = summary.conformal.max;
            for (int k = 0; k <= 4; ++k)
            {
                const double value = 1.0 + ticks.step * k;
                const double y = bar_top + legend_bar_height * (1.0 - k / 4.0);
                std::string label = fixed_text(value, ticks.decimals);
                if (k == 4 && !(max_value <= ticks.top()))
                {
                    label = "\u2265 " + label;
                }
                text += "<line x1=\"" + fixed_text(left + bar_width, 1) +
                        "\" y1=\"" + fixed_text(y, 1) + "\" x2=\"" +
                        fixed_text(left + bar_width + 5.0, 1) + "\" y2=\"" +
                        fixed_text(y, 1) +
                        "\" stroke=\"#444\" stroke-width=\"1\"/>\n";
                text += text_element(left + bar_width + 9.0, y + 4.5, label);
            }

            double y = bar_top + legend_bar_height + 34.0;
            text +=
                text_element(left, y,
                             "mean " + value_text(summary.conformal.mean) +
                                 ", p95 " + value_text(summary.conformal.p95));
            y += 18.0;
            text += text_element(left, y,
                                 "max " + value_text(summary.conformal.max));
            y += 30.0;
            text += legend_swatch(left, y,
                                  std::string{"fill=\"none\" stroke=\""} +
                                      flipped_colour + "\" stroke-width=\"2\"");
            text +=
                text_element(left + 22.0, y,
                             "flipped triangles: " +
                                 std::to_string(summary.nb_flipped_triangles));
            if (summary.nb_degenerate_triangles > 0)
            {
                y += 24.0;
                text += legend_swatch(
                    left, y, std::string{"fill=\""} + degenerate_colour + "\"");
                text += text_element(
                    left + 22.0, y,
                    "zero area in 3D: " +
                        std::to_string(summary.nb_degenerate_triangles));
            }
            y += 24.0;
            text += text_element(
                left, y,
                std::to_string(distortions.conformal.size()) + " triangles",
                " fill=\"#666\"");
            text += "</g>\n";
        }

        // The document's start: its size, a white background and the
        // title.
        void append_header(std::string& text, double width, double height,
                           const std::string& title)
        {
            text += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
            text += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" +
                    fixed_text(width, 0) + "\" height=\"" +
                    fixed_text(height, 0) + "\" viewBox=\"0 0 " +
                    fixed_text(width, 0) + " " + fixed_text(height, 0) +
                    "\">\n";
            text += "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n";
            text += text_element(
                margin, margin + 14.0, escape_xml(title),
                " font-family=\"sans-serif\" font-size=\"16\" fill=\"#222\"");
        }

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

        // Triangles grouped by colour: one path per colour keeps the file
        // small and quick to draw. The stroke in the fill colour closes the
        // hairline gaps that anti-aliasing leaves between neighbours.
        void append_coloured_triangles(
            SvgText& svg, const nodara::TriangulatedSurface<2>& layout,
            const Viewport& viewport, const std::vector<double>& conformal,
            double top)
        {
            auto& text = svg.text();
            const auto bins = colour_bins(conformal, top);
            text += "<g stroke-width=\"0.4\" stroke-linejoin=\"round\">\n";
            for (std::size_t bin = 0; bin <= nb_colour_bins; ++bin)
            {
                if (bins[bin].empty())
                {
                    continue;
                }
                const auto colour =
                    bin == nb_colour_bins
                        ? degenerate_colour
                        : hex_text(viridis((bin + 0.5) / nb_colour_bins));
                text += "<path fill=\"" + colour + "\" stroke=\"" + colour +
                        "\" d=\"";
                for (const auto t : bins[bin])
                {
                    append_triangle(text, layout, viewport, t);
                    svg.pass_on();
                }
                text += "\"/>\n";
            }
            text += "</g>\n";
        }

        // Every triangle's edges, faintly, on small layouts.
        void append_wireframe(SvgText& svg,
                              const nodara::TriangulatedSurface<2>& layout,
                              const Viewport& viewport)
        {
            auto& text = svg.text();
            text +=
                "<path fill=\"none\" stroke=\"#000\" "
                "stroke-opacity=\"0.18\" stroke-width=\"0.35\" d=\"";
            for (index_t t = 0; t < layout.nb_polygons(); ++t)
            {
                append_triangle(text, layout, viewport, t);
                svg.pass_on();
            }
            text += "\"/>\n";
        }

        // A ring round each flipped triangle, so that a few stand out.
        void append_rings(SvgText& svg,
                          const nodara::TriangulatedSurface<2>& layout,
                          const Viewport& viewport,
                          const std::vector<bool>& flipped)
        {
            auto& text = svg.text();
            text += "<g fill=\"none\" stroke=\"" + flipped_colour +
                    "\" stroke-width=\"1.5\">\n";
            for (index_t t = 0; t < layout.nb_polygons(); ++t)
            {
                if (!flipped[t])
                {
                    continue;
                }
                double x = 0.0;
                double y = 0.0;
                for (const auto v : layout.polygon_vertices(t))
                {
                    x += viewport.x(layout.point(v)) / 3.0;
                    y += viewport.y(layout.point(v)) / 3.0;
                }
                text += "<circle cx=\"" + fixed_text(x, 2) + "\" cy=\"" +
                        fixed_text(y, 2) + "\" r=\"6\"/>\n";
                svg.pass_on();
            }
            text += "</g>\n";
        }

        // The flipped triangles outlined in red, ringed when they are few.
        void append_flipped(SvgText& svg,
                            const nodara::TriangulatedSurface<2>& layout,
                            const Viewport& viewport,
                            const nodara::TriangleDistortions& distortions,
                            const nodara::DistortionSummary& summary)
        {
            auto& text = svg.text();
            text += "<path fill=\"none\" stroke=\"" + flipped_colour +
                    "\" stroke-width=\"1.5\" stroke-linejoin=\"round\" d=\"";
            for (index_t t = 0; t < layout.nb_polygons(); ++t)
            {
                if (distortions.flipped[t])
                {
                    append_triangle(text, layout, viewport, t);
                    svg.pass_on();
                }
            }
            text += "\"/>\n";
            if (summary.nb_flipped_triangles <= ring_limit)
            {
                append_rings(svg, layout, viewport, distortions.flipped);
            }
        }
    }  // namespace

    void write_distortion_svg(const nodara::TriangulatedSurface<2>& layout,
                              const nodara::TriangleDistortions& distortions,
                              const nodara::DistortionSummary& summary,
                              const std::string& title, OutputFile& file,
                              SvgBorders borders)
    {
        const Viewport viewport{layout};
        const auto ticks = scale_ticks(distortions.conformal);
        const double legend_left = margin + viewport.width() + legend_gap;
        const double width = legend_left + legend_width + margin;
        const double height =
            margin + title_height +
            std::max(viewport.height(), legend_bar_height + 200.0) + margin;

        SvgText svg{file};
        append_header(svg.text(), width, height, title);
        append_coloured_triangles(svg, layout, viewport, distortions.conformal,
                                  ticks.top());
        if (layout.nb_polygons() <= wireframe_limit)
        {
            append_wireframe(svg, layout, viewport);
        }
        if (borders == SvgBorders::outlined)
        {
            append_borders(svg, layout, viewport);
        }
        if (summary.nb_flipped_triangles > 0)
        {
            append_flipped(svg, layout, viewport, distortions, summary);
        }
        append_legend(svg.text(), distortions, summary, ticks, legend_left);
        svg.text() += "</svg>\n";
        svg.pass_on(true);
    }
}  // namespace tessaplan
