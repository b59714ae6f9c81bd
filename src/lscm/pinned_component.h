#pragma once

#include <array>

#include <velmora/mesh/triangulated_surface.h>

namespace nodara
{
    /// Whether the triangles of `surface`, linked through shared vertices,
    /// form one connected piece that holds both pinned vertices. Only then
    /// do the two pins fix the map of every triangle.
    bool triangles_form_one_pinned_component(
        const TriangulatedSurface<3>& surface,
        const std::array<index_t, 2>& pinned_vertices);
}  // namespace nodara
