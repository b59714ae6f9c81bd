#pragma once

#include <vector>

#include <velmora/mesh/triangulated_surface.h>

#include "output_file.h"
#include "uv_transform.h"

namespace tessaplan
{
    /// Writes `surface` as OBJ text: its vertices ("v x y z"), one texture
    /// coordinate per vertex in the same order ("vt u v", `uv` through
    /// `transform`) and its triangles ("f a/a b/b c/c", 1-based). Throws
    /// CliError as OutputFile does; `uv` must hold one point per vertex.
    void write_textured_obj(const nodara::TriangulatedSurface<3>& surface,
                            const std::vector<nodara::Point<2>>& uv,
                            const UvTransform& transform, OutputFile& file);

    /// Writes a flat surface as OBJ text: its vertices through `transform`
    /// with z = 0 ("v u v 0") and its triangles ("f a b c", 1-based).
    /// Throws CliError as OutputFile does.
    void write_flat_obj(const nodara::TriangulatedSurface<2>& surface,
                        const UvTransform& transform, OutputFile& file);
}  // namespace tessaplan
