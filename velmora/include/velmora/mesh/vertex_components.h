#pragma once

#include <vector>

#include <velmora/mesh/surface_mesh.h>

namespace nodara
{
    /// The connected components of a surface's vertices, linked by triangle
    /// edges; a vertex that no triangle uses is a component of its own.
    struct VertexComponents
    {
        /// Per vertex, its component, numbered from 0 in the order of the
        /// components' lowest vertex ids.
        std::vector<index_t> component;
        index_t nb_components{0};
    };

    /// Computes the connected components of the vertices of `surface`.
    template <index_t D>
    VertexComponents compute_vertex_components(const SurfaceMesh<D>& surface);
}  // namespace nodara
