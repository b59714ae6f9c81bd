#pragma once

#include <string>

#include <tessaplan/distortion.h>
#include <velmora/mesh/triangulated_surface.h>

#include "writing/output_file.h"

namespace tessaplan
{
    /// Whether the picture outlines the border edges of the layout (the
    /// charts' outlines in an atlas cut along its seams).
    enum class SvgBorders
    {
        plain,
        outlined
    };

    /// Draws a flattened surface as an SVG picture: every triangle filled by
    /// its conformal distortion on the viridis scale (from 1 up to a round
    /// number at or above the 99th percentile, at least 1.004; larger values
    /// take the top colour),
    /// triangles of zero 3D area in grey, flipped triangles outlined in red,
    /// with `title` above and a legend beside the drawing; with
    /// SvgBorders::outlined, every edge of one triangle only is drawn dark
    /// (the layout needs its adjacencies then). The layout is
    /// scaled to fit, with its second axis pointing up. Throws CliError as
    /// OutputFile does.
    void write_distortion_svg(const nodara::TriangulatedSurface<2>& layout,
                              const nodara::TriangleDistortions& distortions,
                              const nodara::DistortionSummary& summary,
                              const std::string& title, OutputFile& file,
                              SvgBorders borders = SvgBorders::plain);
}  // namespace tessaplan
