#pragma once

#include <tessaplan/atlas.h>

namespace nodara
{
    /// Checks what every atlas needs of its input: a triangle, finite
    /// coordinates and options in range. Throws InvalidInputException
    /// ("[compute_atlas] ...") naming what is wrong.
    void check_atlas_input(const TriangulatedSurface<3>& surface,
                           const AtlasOptions& options);
}  // namespace nodara
