#pragma once

#include <string>

#include <tessaplan/distortion.h>
#include <velmora/mesh/triangulated_surface.h>

#include "writing/distortion_picture.h"
#include "writing/output_file.h"

namespace tessaplan
{
    /// The longer side of a PNG picture by default, in pixels.
    constexpr int default_png_size = 2048;

    /// Draws the picture draw_distortion_picture draws with cairo, scaled
    /// so that its longer side is `long_side` pixels, and writes it as an
    /// opaque 8-bit RGB PNG image. Throws CliError (cannot_write_output)
    /// when cairo cannot draw or encode the image, and as OutputFile does.
    void write_distortion_png(const nodara::TriangulatedSurface<2>& layout,
                              const nodara::TriangleDistortions& distortions,
                              const nodara::DistortionSummary& summary,
                              const std::string& title, OutputFile& file,
                              PictureBorders borders = PictureBorders::plain,
                              int long_side = default_png_size);
}  // namespace tessaplan
