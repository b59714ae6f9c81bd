#pragma once

#include <vector>

#include <velmora/geometry/point.h>
#include <velmora/mesh/triangulated_surface.h>

namespace nodara
{
    /// When the as-rigid-as-possible iterations stop.
    struct ARAPOptions
    {
        /// Stop once an iteration lowers the energy by less than this share
        /// of it.
        double tolerance{1e-6};
        /// Stop after this many iterations at most.
        index_t max_iterations{500};
    };

    /// What solve_ARAP computed.
    struct ARAPSolution
    {
        /// One point per vertex: map[v] is the image of vertex v.
        std::vector<Point<2>> map;
        /// Local/global iterations run.
        index_t iterations{0};
        /// The energy sum of area * |J - R|^2 over the triangles (J the
        /// map's Jacobian, R the rotation nearest to it) of the start and
        /// of the result.
        double start_energy{0};
        double energy{0};
        /// Whether the energy stopped changing within the tolerance before
        /// the iteration bound.
        bool converged{false};
    };

    /// Flattens `surface` as rigidly as possible: starting from `start`
    /// (one point per vertex, typically the LSCM map), alternates the
    /// local step (per triangle, the rotation nearest to its map's
    /// Jacobian) and the global step (the map whose Jacobians fit those
    /// rotations best in the least-squares sense, weighted by area; one
    /// sparse Cholesky factorisation serves every iteration). The result
    /// is at the surface's own size: a developable piece comes out
    /// isometric. Each group of triangles joined through vertices keeps
    /// the position of its lowest vertex; triangles of zero 3D area take no
    /// part, and vertices of no other triangle keep their start. Each
    /// piece turns the way its start turns (by area). Throws
    /// VelmoraException ("[solve_ARAP] ...") when `start` holds another
    /// number of points than the surface has vertices or a point that is
    /// not finite, when the options are out of range (a tolerance that is
    /// negative or not a number), and ComputationException when the
    /// factorisation fails or the map would not be finite.
    ARAPSolution solve_ARAP(const TriangulatedSurface<3>& surface,
                            std::vector<Point<2>> start,
                            const ARAPOptions& options = {});

    /// solve_ARAP started from the least squares conformal map
    /// (compute_LSCM_map). Same needs and exceptions as both.
    ARAPSolution solve_ARAP(const TriangulatedSurface<3>& surface,
                            const ARAPOptions& options = {});
}  // namespace nodara
