#pragma once

#include <array>
#include <vector>

#include <absl/types/span.h>

#include <velmora/mesh/surface_mesh.h>

namespace nodara
{
    /// A triangle with the same three vertices as an earlier one.
    struct DuplicateTriangle
    {
        /// The repeating triangle.
        index_t triangle;
        /// The first triangle with these vertices.
        index_t first;
        /// Whether it runs the other way round from `first` (the same
        /// vertices in the opposite cyclic order).
        bool reversed;

        bool operator==(const DuplicateTriangle& other) const
        {
            return triangle == other.triangle && first == other.first &&
                   reversed == other.reversed;
        }
    };

    /// Every triangle whose three vertices are those of an earlier triangle,
    /// in either cyclic order, in increasing triangle order, each with the
    /// first triangle of those vertices. Triangles naming a vertex twice are
    /// compared like any other. Throws only std::bad_alloc.
    std::vector<DuplicateTriangle> find_duplicate_triangles(
        absl::Span<const std::array<index_t, 3>> triangles);

    /// The same for the polygons of `surface`.
    template <index_t D>
    std::vector<DuplicateTriangle> find_duplicate_triangles(
        const SurfaceMesh<D>& surface);
}  // namespace nodara
