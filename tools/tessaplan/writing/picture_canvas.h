#pragma once

#include <optional>
#include <string>
#include <vector>

#include "writing/colour_scale.h"
#include "writing/triangle_outline.h"

namespace tessaplan
{
    /// Grid points per pixel: polylines are drawn on a grid of tenths of a
    /// pixel.
    constexpr double grid_per_pixel = 10.0;

    /// How a shape is painted; sizes in pixels.
    struct PaintStyle
    {
        std::optional<Rgb> fill;
        std::optional<Rgb> stroke;
        double stroke_width{1.0};
        double stroke_opacity{1.0};
        /// Round joins and caps rather than mitred joins and flat caps.
        bool round{false};
    };

    /// How a line of text is written; its size in pixels.
    struct TextStyle
    {
        double size{13.0};
        bool bold{false};
        Rgb colour{0x22, 0x22, 0x22};
    };

    /// A rectangle in pixels, from its top left corner.
    struct Box
    {
        double x;
        double y;
        double width;
        double height;
    };

    /// Where a picture is drawn: an SVG document or an image. Coordinates
    /// are in pixels, y pointing down, except those of polylines, which are
    /// on the grid (grid_per_pixel points a pixel). Every function may throw
    /// what the canvas's destination throws.
    class PictureCanvas
    {
    public:
        virtual ~PictureCanvas() = default;

        /// Starts the picture, `width` by `height` (whole) pixels, white.
        virtual void begin_picture(double width, double height) = 0;

        /// Starts a path painted in `style`, filled with the nonzero rule.
        virtual void begin_path(const PaintStyle& style) = 0;

        /// Adds polylines to the path begun. Each call is a whole: a
        /// region's outer loop and its holes are added together, and a
        /// path may be written in parts only between calls.
        virtual void add_to_path(const std::vector<Polyline>& lines) = 0;

        /// Paints the path begun.
        virtual void end_path() = 0;

        /// A rectangle.
        virtual void rectangle(const Box& box, const PaintStyle& style) = 0;

        /// A straight line from (x1, y1) to (x2, y2).
        virtual void line(double x1, double y1, double x2, double y2,
                          const PaintStyle& style) = 0;

        /// A circle round (x, y).
        virtual void circle(double x, double y, double radius,
                            const PaintStyle& style) = 0;

        /// A rectangle filled by the colours `stops`, evenly spaced from
        /// its bottom to its top, blended in between; outlined in `frame`.
        virtual void colour_bar(const Box& box, const std::vector<Rgb>& stops,
                                const PaintStyle& frame) = 0;

        /// UTF-8 text starting at x on the baseline y, in a sans-serif
        /// font.
        virtual void text(double x, double y, const std::string& text,
                          const TextStyle& style) = 0;

        /// Ends the picture and writes it out.
        virtual void end_picture() = 0;
    };
}  // namespace tessaplan
