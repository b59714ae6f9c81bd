#pragma once

#include <cstddef>
#include <vector>

#include <tessaplan/distortion.h>
#include <tessaplan/seam_cut.h>

#include "cli/options.h"
#include "reading/mesh_reader.h"

namespace tessaplan
{
    /// Writes a map of triangle corners whose charts are `triangle_chart`
    /// (OBJ: the input's vertices, one texture coordinate per chart
    /// corner, and with `triangle_page` a material per page; PLY and glTF:
    /// the mesh split along the seams, `cut`; an OBJ or glTF input written
    /// in its own format keeps its scene, unless there are pages) and, when
    /// asked, the pictures of `distortions`; returns the number of faces
    /// written as their triangles. Throws CliError as the writers do.
    std::size_t write_corner_map(
        const Options& options, const MeshReadResult& mesh,
        const std::vector<nodara::index_t>& triangle_chart,
        const nodara::SeamCut& cut,
        const nodara::TriangleDistortions& distortions,
        const nodara::DistortionSummary& summary,
        const std::vector<nodara::index_t>* triangle_page = nullptr);
}  // namespace tessaplan
