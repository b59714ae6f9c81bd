#pragma once

#include <memory>
#include <vector>

#include <velmora/mesh/triangulated_surface.h>

namespace nodara
{
    /// Which triangles of a surface a flattening hands to the LSCM solve.
    /// Two kinds of triangle are left out because they would sink the
    /// solve of their whole piece without adding anything to the map:
    /// triangles whose corners lie at fewer than three distinct positions
    /// (a quad whose last corner repeats its first, vertices split per
    /// face), and copies of an earlier triangle (the same vertices in either
    /// order: a double-sided face), of which the first stays.
    struct SolveSelection
    {
        /// The triangles handed to the solve, in increasing order.
        std::vector<index_t> solved;
        /// Per triangle of the surface: whether it is left out.
        std::vector<bool> left_out;
        /// Triangles left out for their repeated corner positions.
        index_t nb_repeated_corners{0};
        /// Triangles left out as copies of an earlier one.
        index_t nb_duplicates{0};

        /// Whether any triangle is left out.
        bool leaves_out_any() const
        {
            return nb_repeated_corners + nb_duplicates > 0;
        }
    };

    /// Chooses the triangles of `surface` to solve for (see SolveSelection).
    /// A triangle with repeated corner positions is counted as such even
    /// when it also repeats an earlier triangle. Throws only std::bad_alloc.
    SolveSelection select_solved_triangles(
        const TriangulatedSurface<3>& surface);

    /// A new surface with every vertex of `surface` (same ids and
    /// positions, used or not) and its triangles listed in `triangles`, in
    /// that order, with their adjacencies. Throws VelmoraException
    /// ("[surface_of_triangles] ...") when a listed triangle does not exist.
    std::unique_ptr<TriangulatedSurface<3>> surface_of_triangles(
        const TriangulatedSurface<3>& surface,
        const std::vector<index_t>& triangles);

    /// A new surface of the triangles of `surface` listed in `triangles`,
    /// in that order, with only the vertices they use, numbered in the
    /// order the triangles first use them, and their adjacencies. Every
    /// listed triangle must exist.
    std::unique_ptr<TriangulatedSurface<3>> compact_surface_of_triangles(
        const TriangulatedSurface<3>& surface,
        const std::vector<index_t>& triangles);
}  // namespace nodara
