#pragma once

#include <string>

#include <tessaplan/atlas.h>

namespace nodara
{
    /// Checks what every atlas needs of its input: a triangle, finite
    /// coordinates and options in range. Throws InvalidInputException
    /// ("[compute_atlas] ...") naming what is wrong.
    void check_atlas_input(const TriangulatedSurface<3>& surface,
                           const AtlasOptions& options);

    /// Checks that `corners` holds one entry per triangle of `surface`, of
    /// finite coordinates. Throws InvalidInputException ("[operation]
    /// ...") otherwise.
    void check_corner_map(const TriangulatedSurface<3>& surface,
                          absl::Span<const std::array<Point<2>, 3>> corners,
                          const std::string& operation);
}  // namespace nodara
