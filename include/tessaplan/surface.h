#pragma once

#include <memory>

#include <absl/strings/string_view.h>

#include <velmora/mesh/triangulated_surface.h>

namespace nodara
{
    /// Computes a least squares conformal map of `surface` into the plane and
    /// stores it as the vertex attribute `attribute_name` of Point<2> values,
    /// creating the attribute when it is absent. Two vertices are pinned at
    /// their projections onto the surface's mean plane; every other vertex
    /// gets the least-squares solution. The surface itself is not changed.
    /// Throws VelmoraException when the name holds an attribute of another
    /// type, when the surface has fewer than two vertices or no usable mean
    /// plane, when all its vertices project onto one point, when its counts
    /// are too large, or when the solve fails ("[LSCM::solve] Solving
    /// failed"; the attribute then holds every vertex's projection).
    void compute_LSCM_parameterization(
        const TriangulatedSurface<3>& surface, absl::string_view attribute_name);

    /// Builds a new surface in the plane whose vertex v lies at the value of
    /// vertex v of the Point<2> vertex attribute `attribute_name` of
    /// `surface`, with the same triangles, vertex order and adjacencies.
    /// Throws VelmoraException when `surface` has no Point<2> vertex
    /// attribute of that name.
    std::unique_ptr<TriangulatedSurface<2>> convert_surface3d_into_2d(
        const TriangulatedSurface<3>& surface, absl::string_view attribute_name);
}  // namespace nodara
