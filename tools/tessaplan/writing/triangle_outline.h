#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace tessaplan
{
    /// A point of a picture on its integer grid.
    struct GridPoint
    {
        std::int32_t x;
        std::int32_t y;

        friend bool operator==(GridPoint a, GridPoint b)
        {
            return a.x == b.x && a.y == b.y;
        }
        friend bool operator!=(GridPoint a, GridPoint b) { return !(a == b); }
    };

    /// A chain of points; a closed one also joins its last point to its
    /// first (which is not repeated).
    struct Polyline
    {
        std::vector<GridPoint> points;
        bool closed{false};
    };

    using GridTriangle = std::array<GridPoint, 3>;
    using GridEdge = std::array<GridPoint, 2>;

    /// Chains directed edges head to tail into polylines, each edge used
    /// once: a polyline closes when it comes back to its first point and
    /// ends open where no unused edge leaves its last point. Points on a
    /// straight run are left out, as are edges of zero length. Throws
    /// std::bad_alloc only.
    std::vector<Polyline> chain_edges(const std::vector<GridEdge>& edges);

    /// A set of triangles joined through their corners, and the outline of
    /// their union.
    struct OutlinePart
    {
        /// The closed loops, outer ones and holes together.
        std::vector<Polyline> loops;
        /// The set's triangles, by their place in the input.
        std::vector<std::size_t> triangles;
    };

    /// The outline of the union of `triangles`: the edges of the triangles,
    /// each turned counter-clockwise (positive signed area in the grid's
    /// axes), less those that another triangle runs the other way, chained
    /// into closed loops; one part per set of triangles joined through
    /// their corners, so that a set's outer loop and its holes stay
    /// together. At every point off the loops their winding number is the
    /// number of triangles covering it: filled with the nonzero rule they
    /// draw exactly the union, and their signed areas add up to the
    /// triangles' areas. A set whose edges all cancel (a triangle with two
    /// corners at one point) has no part. Throws std::bad_alloc only.
    std::vector<OutlinePart> triangle_outline(
        const std::vector<GridTriangle>& triangles);

    /// Twice the signed area of a closed polyline (positive
    /// counter-clockwise in the grid's axes).
    std::int64_t doubled_area(const Polyline& loop);
}  // namespace tessaplan
