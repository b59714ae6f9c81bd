#include "writing/svg_writer.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>

namespace tessaplan
{
    namespace
    {
        // Text is passed on to the file in chunks of about this size.
        constexpr std::size_t chunk_size = 1 << 16;
        // A path's data is split into elements of at most this size, or
        // one call's data: librsvg 2.54 fails ("Premature end of data") on
        // documents with many attributes of half a megabyte.
        constexpr std::size_t path_part_size = 1 << 17;

        template <typename Number, typename... Format>
        void append_chars(std::string& text, Number value, Format... format)
        {
            std::array<char, 64> buffer{};
            const auto result = std::to_chars(
                buffer.data(), buffer.data() + buffer.size(), value, format...);
            text.append(buffer.data(), result.ptr);
        }

        // Coordinates of shapes other than paths, to 0.1 pixel.
        std::string fixed_text(double value)
        {
            std::string text;
            append_chars(text, value, std::chars_format::fixed, 1);
            return text;
        }

        std::string shortest_text(double value)
        {
            std::string text;
            append_chars(text, value);
            return text;
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

        std::string paint_text(const std::optional<Rgb>& colour)
        {
            return colour ? hex_text(*colour) : "none";
        }

        // The stroke attributes, the width multiplied by `scale`.
        std::string stroke_attributes(const PaintStyle& style, double scale)
        {
            if (!style.stroke)
            {
                return "";
            }
            std::string text = " stroke=\"" + hex_text(*style.stroke) +
                               "\" stroke-width=\"" +
                               shortest_text(style.stroke_width * scale) + "\"";
            if (style.stroke_opacity < 1.0)
            {
                text += " stroke-opacity=\"" +
                        shortest_text(style.stroke_opacity) + "\"";
            }
            if (style.round)
            {
                text += " stroke-linejoin=\"round\" stroke-linecap=\"round\"";
            }
            return text;
        }

        // The fill and stroke attributes, the stroke's width multiplied by
        // `scale`.
        std::string paint_attributes(const PaintStyle& style, double scale)
        {
            return " fill=\"" + paint_text(style.fill) + "\"" +
                   stroke_attributes(style, scale);
        }

        std::string box_attributes(const Box& box)
        {
            return " x=\"" + fixed_text(box.x) + "\" y=\"" + fixed_text(box.y) +
                   "\" width=\"" + fixed_text(box.width) + "\" height=\"" +
                   fixed_text(box.height) + "\"";
        }

        // A whole number of path data, after a space where it would run
        // into the number before.
        void append_path_number(std::string& data, std::int64_t value)
        {
            if (value >= 0 && !data.empty() && data.back() >= '0' &&
                data.back() <= '9')
            {
                data += ' ';
            }
            append_chars(data, value);
        }

        // The polyline from its first point on by relative steps.
        void append_polyline(std::string& data, const Polyline& line)
        {
            const auto& points = line.points;
            data += 'M';
            append_path_number(data, points[0].x);
            append_path_number(data, points[0].y);
            for (std::size_t i = 1; i < points.size(); ++i)
            {
                data += i == 1 ? "l" : "";
                append_path_number(data,
                                   std::int64_t{points[i].x} - points[i - 1].x);
                append_path_number(data,
                                   std::int64_t{points[i].y} - points[i - 1].y);
            }
            data += line.closed ? "z" : "";
        }

        class SvgCanvas final : public PictureCanvas
        {
        public:
            explicit SvgCanvas(OutputFile& file) : file_(file)
            {
                text_.reserve(2 * chunk_size);
            }

            void begin_picture(double width, double height) override;
            void begin_path(const PaintStyle& style) override;
            void add_to_path(const std::vector<Polyline>& lines) override;
            void end_path() override { text_ += "\"/>\n"; }
            void rectangle(const Box& box, const PaintStyle& style) override;
            void line(double x1, double y1, double x2, double y2,
                      const PaintStyle& style) override;
            void circle(double x, double y, double radius,
                        const PaintStyle& style) override;
            void colour_bar(const Box& box, const std::vector<Rgb>& stops,
                            const PaintStyle& frame) override;
            void text(double x, double y, const std::string& text,
                      const TextStyle& style) override;
            void end_picture() override;

        private:
            // Writes the text gathered once there is a chunk of it, or
            // always.
            void pass_on(bool always = false)
            {
                if (always || text_.size() >= chunk_size)
                {
                    file_.write(text_);
                    text_.clear();
                }
            }

            OutputFile& file_;
            std::string text_;
            // The start of the path element begun, repeated for each part.
            std::string path_start_;
            std::size_t part_size_{0};
            // One call's path data.
            std::string scratch_;
            int nb_gradients_{0};
        };

        void SvgCanvas::begin_picture(double width, double height)
        {
            const auto w = std::to_string(static_cast<long>(std::ceil(width)));
            const auto h = std::to_string(static_cast<long>(std::ceil(height)));
            text_ += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
            text_ += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + w +
                     "\" height=\"" + h + "\" viewBox=\"0 0 " + w + " " + h +
                     "\">\n";
            text_ += "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n";
        }

        // Paths are written on the grid and scaled back to pixels.
        void SvgCanvas::begin_path(const PaintStyle& style)
        {
            path_start_ = "<path" + paint_attributes(style, grid_per_pixel) +
                          " transform=\"scale(" +
                          shortest_text(1.0 / grid_per_pixel) + ")\" d=\"";
            text_ += path_start_;
            part_size_ = 0;
        }

        void SvgCanvas::add_to_path(const std::vector<Polyline>& lines)
        {
            scratch_.clear();
            for (const auto& line : lines)
            {
                if (!line.points.empty())
                {
                    append_polyline(scratch_, line);
                }
            }
            if (part_size_ > 0 && part_size_ + scratch_.size() > path_part_size)
            {
                end_path();
                text_ += path_start_;
                part_size_ = 0;
            }
            text_ += scratch_;
            part_size_ += scratch_.size();
            pass_on();
        }

        void SvgCanvas::rectangle(const Box& box, const PaintStyle& style)
        {
            text_ += "<rect" + box_attributes(box) +
                     paint_attributes(style, 1.0) + "/>\n";
        }

        void SvgCanvas::line(double x1, double y1, double x2, double y2,
                             const PaintStyle& style)
        {
            text_ += "<line x1=\"" + fixed_text(x1) + "\" y1=\"" +
                     fixed_text(y1) + "\" x2=\"" + fixed_text(x2) + "\" y2=\"" +
                     fixed_text(y2) + "\"" + paint_attributes(style, 1.0) +
                     "/>\n";
        }

        void SvgCanvas::circle(double x, double y, double radius,
                               const PaintStyle& style)
        {
            text_ += "<circle cx=\"" + fixed_text(x) + "\" cy=\"" +
                     fixed_text(y) + "\" r=\"" + shortest_text(radius) + "\"" +
                     paint_attributes(style, 1.0) + "/>\n";
            pass_on();
        }

        void SvgCanvas::colour_bar(const Box& box,
                                   const std::vector<Rgb>& stops,
                                   const PaintStyle& frame)
        {
            const auto id = "scale" + std::to_string(++nb_gradients_);
            text_ += "<defs><linearGradient id=\"" + id +
                     "\" x1=\"0\" y1=\"1\" x2=\"0\" y2=\"0\">\n";
            for (std::size_t i = 0; i < stops.size(); ++i)
            {
                const double offset =
                    stops.size() > 1 ? i / (stops.size() - 1.0) : 0.0;
                text_ += "<stop offset=\"" + shortest_text(offset) +
                         "\" stop-color=\"" + hex_text(stops[i]) + "\"/>\n";
            }
            text_ += "</linearGradient></defs>\n";
            text_ += "<rect" + box_attributes(box) + " fill=\"url(#" + id +
                     ")\"" + stroke_attributes(frame, 1.0) + "/>\n";
        }

        void SvgCanvas::text(double x, double y, const std::string& text,
                             const TextStyle& style)
        {
            text_ += "<text x=\"" + fixed_text(x) + "\" y=\"" + fixed_text(y) +
                     "\" font-family=\"sans-serif\" font-size=\"" +
                     shortest_text(style.size) + "\" fill=\"" +
                     hex_text(style.colour) + "\"" +
                     (style.bold ? " font-weight=\"bold\"" : "") + ">" +
                     escape_xml(text) + "</text>\n";
        }

        void SvgCanvas::end_picture()
        {
            text_ += "</svg>\n";
            pass_on(true);
        }
    }  // namespace

    void write_distortion_svg(const nodara::TriangulatedSurface<2>& layout,
                              const nodara::TriangleDistortions& distortions,
                              const nodara::DistortionSummary& summary,
                              const std::string& title, OutputFile& file,
                              SvgBorders borders)
    {
        SvgCanvas canvas{file};
        draw_distortion_picture(layout, distortions, summary, title, borders,
                                canvas);
    }
}  // namespace tessaplan
