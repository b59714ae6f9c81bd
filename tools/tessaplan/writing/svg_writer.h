#pragma once

#include <string>

#include <tessaplan/distortion.h>
#include <velmora/mesh/triangulated_surface.h>

#include "writing/distortion_picture.h"
#include "writing/output_file.h"

namespace tessaplan
{
    /// The borders drawn (see PictureBorders).
    using SvgBorders = PictureBorders;

    /// Writes the picture draw_distortion_picture draws as an SVG document:
    /// one path per colour, filled with the nonzero rule, on a grid of
    /// tenths of a pixel; no element's path data runs much beyond a
    /// megabyte, so that librsvg reads the picture of a million triangles.
    /// Throws CliError as OutputFile does.
    void write_distortion_svg(const nodara::TriangulatedSurface<2>& layout,
                              const nodara::TriangleDistortions& distortions,
                              const nodara::DistortionSummary& summary,
                              const std::string& title, OutputFile& file,
                              SvgBorders borders = SvgBorders::plain);
}  // namespace tessaplan
