#pragma once

#include <memory>

#include <velmora/geometry/triangle.h>
#include <velmora/mesh/surface_mesh.h>

namespace nodara
{
    /// A triangulated surface in D dimensions (2 or 3).
    template <index_t D>
    class TriangulatedSurface : public SurfaceMesh<D>
    {
    public:
        TriangulatedSurface() = default;

        /// A new empty surface.
        static std::unique_ptr<TriangulatedSurface<D>> create();

        /// An independent copy: points, triangles, adjacencies and clones of
        /// every vertex attribute.
        std::unique_ptr<TriangulatedSurface<D>> clone() const;

        /// Triangle t, referring to the points of its corners 0, 1, 2.
        /// Unchecked.
        Triangle<D> triangle(index_t t) const
        {
            const auto& corners = this->polygon_vertices(t);
            return {this->point(corners[0]), this->point(corners[1]),
                    this->point(corners[2])};
        }
    };

    using TriangulatedSurface2D = TriangulatedSurface<2>;
    using TriangulatedSurface3D = TriangulatedSurface<3>;
}  // namespace nodara
