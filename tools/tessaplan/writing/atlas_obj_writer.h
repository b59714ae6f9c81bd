#pragma once

#include <vector>

#include <tessaplan/seam_cut.h>
#include <velmora/mesh/triangulated_surface.h>

#include "reading/polygon_soup.h"
#include "writing/output_file.h"

namespace tessaplan
{
    /// Writes an atlas as OBJ text: the vertices of `surface`, one "vt" per
    /// vertex of `cut` (a chart corner), and the input's `faces` in their
    /// order as "f v/vt ...", 1-based. `faces` split by fan_triangles must
    /// give the triangles of `surface` in order (as read_mesh does); a face
    /// whose triangles lie in more than one chart of `chart`, or that lost
    /// one, is written as its triangles. With `page` (per triangle, its
    /// page of the atlas), each run of faces on page N follows a line
    /// "usemtl page_N". Returns the number of faces written so. Throws
    /// CliError as OutputFile does.
    std::size_t write_atlas_obj(
        const nodara::TriangulatedSurface<3>& surface,
        const std::vector<Polygon>& faces,
        const std::vector<nodara::index_t>& chart, const nodara::SeamCut& cut,
        OutputFile& file, const std::vector<nodara::index_t>* page = nullptr);
}  // namespace tessaplan
