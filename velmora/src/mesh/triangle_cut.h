#pragma once

#include <algorithm>
#include <array>

#include <absl/types/optional.h>
#include <absl/types/span.h>

#include <velmora/basic/huge_pages.h>
#include <velmora/mesh/mesh_element.h>

namespace nodara
{
    // Helpers of the builder's edits that cut triangles into pieces
    // (split_edge, split_triangle) and link the pieces to their
    // neighbours.

    using Corners = std::array<index_t, 3>;

    /// No side of a triangle.
    constexpr local_index_t NO_SIDE = 3;

    inline local_index_t next_corner(local_index_t corner)
    {
        return static_cast<local_index_t>((corner + 1) % 3);
    }

    /// The side of `corners` joining v and w, either way round, or NO_SIDE.
    local_index_t side_joining(const Corners& corners, index_t v, index_t w);

    /// Makes room for `extra` more entries, growing the capacity at least
    /// twofold so that repeated splits stay linear overall.
    template <typename Vector>
    void reserve_more(Vector& values, std::size_t extra)
    {
        const auto needed = values.size() + extra;
        if (needed > values.capacity())
        {
            values.reserve(std::max(needed, 2 * values.capacity()));
        }
    }

    /// The sides joining v and w of the triangles other than `except`,
    /// when there are exactly two: the pair that a fresh computation of the
    /// adjacencies links. Nothing for fewer or more.
    absl::optional<std::array<PolygonEdge, 2>> other_pair_on_side(
        const LargeVector<Corners>& polygons, index_t v, index_t w,
        index_t except);

    /// A triangle being cut: its id, corners and neighbours before the cut.
    struct CutTriangle
    {
        index_t id;
        Corners corners;
        Corners adjacents;
    };

    /// A triangle produced by a cut, and the cut triangle it comes from.
    struct Piece
    {
        index_t id;
        index_t origin;
    };

    /// Sets the neighbours of the pieces of the cut triangles, whose corners
    /// are already in `polygons`, and repoints the neighbours of the cut
    /// triangles to the pieces. `new_vertex` is the vertex the cut added.
    void relink(LargeVector<Corners>& polygons, LargeVector<Corners>& adjacents,
                absl::Span<const CutTriangle> cut,
                absl::Span<const Piece> pieces, index_t new_vertex);
}  // namespace nodara
