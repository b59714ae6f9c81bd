#pragma once

#include <string>
#include <vector>

#include <tessaplan/surface_flattening.h>

namespace tessaplan
{
    /// Warnings about the pieces of a flattening: the closed ones that did
    /// not collapse (a closed surface cannot be flattened without cuts),
    /// flipped triangles (the map folds over itself) and, unless `packed`,
    /// that several pieces stay where their pins put them and may overlap.
    std::vector<std::string> piece_warnings(
        const nodara::DistortionSummary& summary, bool packed);

    /// Warnings about the triangles the flattening left out of its solve:
    /// those with repeated corner positions and the duplicates.
    std::vector<std::string> left_out_warnings(
        const nodara::SolveSelection& selection);

    /// The text of the warning, and of the --fail-on-fold error, for a map
    /// whose triangles flip.
    std::string fold_text(const nodara::DistortionSummary& summary);

    /// A warning when more than half of the pieces of `solved` (the surface
    /// the flattening measured) are single faces (one or two triangles)
    /// with a corner where another vertex of the surface lies: faces that do
    /// not share their vertices, which --weld joins. Empty otherwise.
    std::vector<std::string> unjoined_faces_warning(
        const nodara::TriangulatedSurface<3>& solved,
        const nodara::TriangleDistortions& distortions);
}  // namespace tessaplan
