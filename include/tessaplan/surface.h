#pragma once

#include <memory>
#include <vector>

#include <absl/strings/string_view.h>
#include <absl/types/span.h>

#include <tessaplan/lscm_statistics.h>
#include <velmora/geometry/point.h>
#include <velmora/mesh/triangulated_surface.h>

namespace nodara
{
    /// What one least squares conformal map computation produced.
    struct LSCMSolution
    {
        /// The map, one point per vertex: map[v] is the image of vertex v.
        std::vector<Point<2>> map;
        /// The pinned vertices, two per piece in piece order, a vertex
        /// shared by pieces named once.
        std::vector<index_t> pinned_vertices;
        /// How long each step took and what the solver did.
        LSCMStatistics statistics;
    };

    /// Computes the least squares conformal map of `surface` as
    /// compute_LSCM_parameterization does and returns it with its pinned
    /// vertices and statistics; the surface, its attributes included, is
    /// not changed. Throws VelmoraException as compute_LSCM_parameterization
    /// does (except for the attribute), e.g. "[LSCM::solve] Solving failed".
    LSCMSolution solve_LSCM(const TriangulatedSurface<3>& surface);

    /// The least squares conformal map of `surface`, one point per vertex
    /// (see compute_LSCM_parameterization for the method); the surface is
    /// not changed. Throws VelmoraException as solve_LSCM does.
    std::vector<Point<2>> compute_LSCM_map(
        const TriangulatedSurface<3>& surface);

    /// Computes a least squares conformal map of `surface` into the plane and
    /// stores it as the vertex attribute `attribute_name` of Point<2> values,
    /// creating the attribute when it is absent. Each piece of the surface
    /// (triangles joined through edges of exactly two triangles) is oriented
    /// consistently and gets two pinned vertices at their projections onto
    /// the surface's mean plane (a vertex shared with an earlier piece
    /// counts as one of them); every other vertex gets the least-squares
    /// solution, and a vertex in no triangle keeps its projection. The
    /// surface itself is not changed. Throws VelmoraException when the name
    /// holds an attribute of another type, when the surface has fewer than
    /// two vertices, a piece that cannot be oriented ("[LSCM::LSCM] Cannot
    /// orient piece ..."), no mean plane ("[LSCM::pin_vertices] Cannot find
    /// a mean plane: ..."), a piece whose vertices all project onto one
    /// point, counts too large, or when the solve fails ("[LSCM::solve]
    /// Solving failed"; the attribute then holds every vertex's projection).
    void compute_LSCM_parameterization(const TriangulatedSurface<3>& surface,
                                       absl::string_view attribute_name);

    /// Builds a new surface in the plane whose vertex v lies at the value of
    /// vertex v of the Point<2> vertex attribute `attribute_name` of
    /// `surface`, with the same triangles, vertex order and adjacencies.
    /// Throws VelmoraException when `surface` has no Point<2> vertex
    /// attribute of that name.
    std::unique_ptr<TriangulatedSurface<2>> convert_surface3d_into_2d(
        const TriangulatedSurface<3>& surface,
        absl::string_view attribute_name);

    /// Builds a new surface in the plane whose vertex v lies at `points[v]`,
    /// with the same triangles, vertex order and adjacencies as `surface`.
    /// Needs one point per vertex: throws VelmoraException
    /// ("[convert_surface3d_into_2d] ...") when `points` holds another
    /// number of points.
    std::unique_ptr<TriangulatedSurface<2>> convert_surface3d_into_2d(
        const TriangulatedSurface<3>& surface,
        absl::Span<const Point<2>> points);
}  // namespace nodara
