#pragma once

#include <vector>

#include <velmora/mesh/triangulated_surface.h>

#include "reading/polygon_soup.h"

namespace tessaplan
{
    /// What an output mesh file holds: the surface's vertices with their
    /// flattening, and the input's faces.
    struct FlattenedMesh
    {
        /// The vertices, and the triangles for formats without polygons.
        const nodara::TriangulatedSurface<3>& surface;
        /// The input's faces, written back where the format has polygons.
        const std::vector<Polygon>& faces;
        /// One point per vertex: the flattening, already transformed.
        std::vector<nodara::Point<2>> uv;
        /// Write the flattening itself, (u, v, 0), as the positions.
        bool flat{false};
        /// When set, per vertex the vertex of the input it was cut from (a
        /// surface split along seams), written with it.
        const std::vector<nodara::index_t>* original_index{nullptr};

        /// The position written for vertex `v`.
        nodara::Point<3> position(nodara::index_t v) const
        {
            if (!flat)
            {
                return surface.point(v);
            }
            return nodara::Point<3>{{uv[v][0], uv[v][1], 0.0}};
        }
    };
}  // namespace tessaplan
