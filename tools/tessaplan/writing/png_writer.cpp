#include "writing/png_writer.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <memory>

#include <cairo.h>

#include "cli/cli_error.h"

namespace tessaplan
{
    namespace
    {
        struct SurfaceDeleter
        {
            void operator()(cairo_surface_t* surface) const
            {
                cairo_surface_destroy(surface);
            }
        };

        struct ContextDeleter
        {
            void operator()(cairo_t* context) const { cairo_destroy(context); }
        };

        struct PatternDeleter
        {
            void operator()(cairo_pattern_t* pattern) const
            {
                cairo_pattern_destroy(pattern);
            }
        };

        constexpr double full_turn = 6.283185307179586;  // radians

        using Surface = std::unique_ptr<cairo_surface_t, SurfaceDeleter>;
        using Context = std::unique_ptr<cairo_t, ContextDeleter>;
        using Pattern = std::unique_ptr<cairo_pattern_t, PatternDeleter>;

        void set_colour(cairo_t* context, Rgb colour, double opacity = 1.0)
        {
            cairo_set_source_rgba(context, colour.red / 255.0,
                                  colour.green / 255.0, colour.blue / 255.0,
                                  opacity);
        }

        // Fills the current path (nonzero rule), strokes it, and clears it.
        void paint(cairo_t* context, const PaintStyle& style)
        {
            if (style.fill)
            {
                set_colour(context, *style.fill);
                cairo_set_fill_rule(context, CAIRO_FILL_RULE_WINDING);
                cairo_fill_preserve(context);
            }
            if (style.stroke)
            {
                set_colour(context, *style.stroke, style.stroke_opacity);
                cairo_set_line_width(context, style.stroke_width);
                cairo_set_line_join(context, style.round
                                                 ? CAIRO_LINE_JOIN_ROUND
                                                 : CAIRO_LINE_JOIN_MITER);
                cairo_set_line_cap(context, style.round ? CAIRO_LINE_CAP_ROUND
                                                        : CAIRO_LINE_CAP_BUTT);
                cairo_stroke_preserve(context);
            }
            cairo_new_path(context);
        }

        // Where cairo hands the PNG data: the file, and what it threw.
        struct PngSink
        {
            OutputFile& file;
            std::exception_ptr error;
        };

        cairo_status_t write_png_data(void* closure, const unsigned char* data,
                                      unsigned int length)
        {
            auto& sink = *static_cast<PngSink*>(closure);
            try
            {
                sink.file.write(absl::string_view{
                    reinterpret_cast<const char*>(data), length});
                return CAIRO_STATUS_SUCCESS;
            }
            catch (...)
            {
                sink.error = std::current_exception();
                return CAIRO_STATUS_WRITE_ERROR;
            }
        }

        class PngCanvas final : public PictureCanvas
        {
        public:
            PngCanvas(OutputFile& file, int long_side)
                : file_(file), long_side_(long_side)
            {
            }

            void begin_picture(double width, double height) override;
            void begin_path(const PaintStyle& style) override;
            void add_to_path(const std::vector<Polyline>& lines) override;
            void end_path() override { paint(context(), path_style_); }
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
            cairo_t* context() const { return context_.get(); }

            // Throws CliError when cairo has failed.
            void check(cairo_status_t status) const
            {
                if (status != CAIRO_STATUS_SUCCESS)
                {
                    throw CliError{ExitCode::cannot_write_output,
                                   "cannot draw '" + file_.path() +
                                       "': " + cairo_status_to_string(status)};
                }
            }

            OutputFile& file_;
            int long_side_;
            Surface surface_;
            Context context_;
            PaintStyle path_style_;
        };

        void PngCanvas::begin_picture(double width, double height)
        {
            const double scale = long_side_ / std::max(width, height);
            surface_.reset(cairo_image_surface_create(
                CAIRO_FORMAT_RGB24,
                static_cast<int>(std::lround(width * scale)),
                static_cast<int>(std::lround(height * scale))));
            check(cairo_surface_status(surface_.get()));
            context_.reset(cairo_create(surface_.get()));
            check(cairo_status(context()));
            cairo_scale(context(), scale, scale);
            cairo_set_source_rgb(context(), 1.0, 1.0, 1.0);
            cairo_paint(context());
        }

        void PngCanvas::begin_path(const PaintStyle& style)
        {
            path_style_ = style;
            cairo_new_path(context());
        }

        void PngCanvas::add_to_path(const std::vector<Polyline>& lines)
        {
            for (const auto& line : lines)
            {
                for (std::size_t i = 0; i < line.points.size(); ++i)
                {
                    const auto& point = line.points[i];
                    (i == 0 ? cairo_move_to : cairo_line_to)(
                        context(), point.x / grid_per_pixel,
                        point.y / grid_per_pixel);
                }
                if (line.closed)
                {
                    cairo_close_path(context());
                }
            }
        }

        void PngCanvas::rectangle(const Box& box, const PaintStyle& style)
        {
            cairo_rectangle(context(), box.x, box.y, box.width, box.height);
            paint(context(), style);
        }

        void PngCanvas::line(double x1, double y1, double x2, double y2,
                             const PaintStyle& style)
        {
            cairo_move_to(context(), x1, y1);
            cairo_line_to(context(), x2, y2);
            paint(context(), style);
        }

        void PngCanvas::circle(double x, double y, double radius,
                               const PaintStyle& style)
        {
            cairo_new_sub_path(context());
            cairo_arc(context(), x, y, radius, 0.0, full_turn);
            paint(context(), style);
        }

        void PngCanvas::colour_bar(const Box& box,
                                   const std::vector<Rgb>& stops,
                                   const PaintStyle& frame)
        {
            const Pattern pattern{cairo_pattern_create_linear(
                box.x, box.y + box.height, box.x, box.y)};
            for (std::size_t i = 0; i < stops.size(); ++i)
            {
                const auto& colour = stops[i];
                cairo_pattern_add_color_stop_rgb(
                    pattern.get(),
                    stops.size() > 1 ? i / (stops.size() - 1.0) : 0.0,
                    colour.red / 255.0, colour.green / 255.0,
                    colour.blue / 255.0);
            }
            cairo_rectangle(context(), box.x, box.y, box.width, box.height);
            cairo_set_source(context(), pattern.get());
            cairo_fill_preserve(context());
            auto outline = frame;
            outline.fill.reset();
            paint(context(), outline);
        }

        void PngCanvas::text(double x, double y, const std::string& text,
                             const TextStyle& style)
        {
            cairo_select_font_face(
                context(), "sans-serif", CAIRO_FONT_SLANT_NORMAL,
                style.bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
            cairo_set_font_size(context(), style.size);
            set_colour(context(), style.colour);
            cairo_move_to(context(), x, y);
            cairo_show_text(context(), text.c_str());
            cairo_new_path(context());
        }

        void PngCanvas::end_picture()
        {
            check(cairo_status(context()));
            cairo_surface_flush(surface_.get());
            PngSink sink{file_, nullptr};
            const auto status = cairo_surface_write_to_png_stream(
                surface_.get(), write_png_data, &sink);
            if (sink.error)
            {
                std::rethrow_exception(sink.error);
            }
            check(status);
        }
    }  // namespace

    void write_distortion_png(const nodara::TriangulatedSurface<2>& layout,
                              const nodara::TriangleDistortions& distortions,
                              const nodara::DistortionSummary& summary,
                              const std::string& title, OutputFile& file,
                              PictureBorders borders, int long_side)
    {
        PngCanvas canvas{file, long_side};
        draw_distortion_picture(layout, distortions, summary, title, borders,
                                canvas);
    }
}  // namespace tessaplan
