#pragma once

#include <string>

#include <tessaplan/distortion.h>
#include <velmora/mesh/triangulated_surface.h>

#include "writing/picture_canvas.h"

namespace tessaplan
{
    /// Whether the picture outlines the border edges of the layout (the
    /// charts' outlines in an atlas cut along its seams).
    enum class PictureBorders
    {
        plain,
        outlined
    };

    /// Draws a flattened surface on `canvas`: every triangle filled by its
    /// conformal distortion on the viridis scale (from 1 up to a round
    /// number at or above the 99th percentile, at least 1.004; larger
    /// values take the top colour), triangles of zero 3D area in grey,
    /// flipped triangles outlined in red, with `title` above and a legend
    /// beside the drawing; with PictureBorders::outlined, every edge of one
    /// triangle only is drawn dark (the layout needs its adjacencies then).
    /// The triangles of one colour are drawn as the outline of their union.
    /// The layout is scaled to fit 800 pixels, with its second axis
    /// pointing up; triangles with a corner that is not finite are left
    /// out. Throws what the canvas throws.
    void draw_distortion_picture(const nodara::TriangulatedSurface<2>& layout,
                                 const nodara::TriangleDistortions& distortions,
                                 const nodara::DistortionSummary& summary,
                                 const std::string& title,
                                 PictureBorders borders, PictureCanvas& canvas);
}  // namespace tessaplan
