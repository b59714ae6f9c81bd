#pragma once

#include <array>
#include <memory>
#include <string>
#include <vector>

#include <velmora/mesh/triangulated_surface.h>

namespace nodara::bench
{
    using Points = std::vector<std::array<double, 3>>;
    using Triangles = std::vector<std::array<index_t, 3>>;

    /// A surface of these points and triangles, with its adjacencies.
    std::unique_ptr<TriangulatedSurface<3>> make_surface(
        const Points& points, const Triangles& triangles);

    /// The surface of an OFF file, polygons split as fans; null when CGAL
    /// cannot read it.
    std::unique_ptr<TriangulatedSurface<3>> read_off(const std::string& path);
}  // namespace nodara::bench
