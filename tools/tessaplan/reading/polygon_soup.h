#pragma once

#include <cstdint>
#include <vector>

#include <velmora/geometry/point.h>

namespace tessaplan
{
    /// One face of a file: the numbers of its corners' vertices, from 0.
    using Polygon = std::vector<std::uint64_t>;

    /// A mesh as a file stores it: vertices in the file's order and count,
    /// faces in the file's order, each with its corners as given.
    struct PolygonSoup
    {
        std::vector<nodara::Point<3>> points;
        std::vector<Polygon> polygons;
        /// Whether the file stores (or its reader gives) the coordinates
        /// in single precision.
        bool single_precision{false};
        /// Whether node transforms other than the identity placed them.
        bool transforms_applied{false};
        /// The file's texture coordinates (its first set), with v upwards:
        /// OBJ's vt, glTF's TEXCOORD_0 as (u, 1 - v). Empty unless asked
        /// for and given.
        std::vector<nodara::Point<2>> uvs;
        /// Per polygon, the index in `uvs` of each corner's coordinates; an
        /// empty entry for a polygon without them. Empty when `uvs` is.
        std::vector<Polygon> uv_polygons;
    };
}  // namespace tessaplan
