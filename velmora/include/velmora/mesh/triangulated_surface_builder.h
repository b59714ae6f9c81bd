#pragma once

#include <array>
#include <memory>

#include <velmora/mesh/triangulated_surface.h>

namespace nodara
{
    /// Edits one TriangulatedSurface<D>. Every call checks its arguments
    /// first and throws VelmoraException, with the surface unchanged, when
    /// they are out of range.
    template <index_t D>
    class TriangulatedSurfaceBuilder
    {
    public:
        /// A builder editing `surface`, which must outlive it.
        static std::unique_ptr<TriangulatedSurfaceBuilder<D>> create(
            TriangulatedSurface<D>& surface);

        explicit TriangulatedSurfaceBuilder(TriangulatedSurface<D>& surface);

        /// Appends `count` vertices at the origin and returns the id of the
        /// first. Throws when the vertex count would exceed 2^32 - 2.
        index_t create_vertices(index_t count);

        /// Appends one vertex at `point` and returns its id.
        index_t create_point(const Point<D>& point);

        /// Moves vertex v to `point`. Throws for an unknown vertex.
        void set_point(index_t v, const Point<D>& point);

        /// Makes room for `count` triangles in all.
        void reserve_triangles(index_t count);

        /// Appends a triangle with the given vertices in corner order and
        /// returns its id; its edges start on the border. Throws for an
        /// unknown vertex or a vertex named twice.
        index_t create_triangle(const std::array<index_t, 3>& vertices);

        /// Records `adjacent` across `edge`, on that side only. Throws for an
        /// unknown polygon or edge index.
        void set_polygon_adjacent(const PolygonEdge& edge, index_t adjacent);

        /// Marks `edge` as a border edge. Throws for an unknown polygon or
        /// edge index.
        void unset_polygon_adjacent(const PolygonEdge& edge);

        /// Links every pair of triangles that share an edge, on both sides,
        /// and puts every other edge on the border. An edge used by more
        /// than two triangles (a non-manifold edge) is left without
        /// neighbours on all its sides. Orientation is not checked: two
        /// triangles that run along a shared edge the same way are linked.
        void compute_polygon_adjacencies();

        /// Makes the surface an independent copy of `from`, its vertex
        /// attributes cloned.
        void copy(const TriangulatedSurface<D>& from);

    private:
        void check_vertex(index_t v, const char* operation) const;
        void check_polygon_edge(
            const PolygonEdge& edge, const char* operation) const;

        TriangulatedSurface<D>& surface_;
    };

    using TriangulatedSurfaceBuilder2D = TriangulatedSurfaceBuilder<2>;
    using TriangulatedSurfaceBuilder3D = TriangulatedSurfaceBuilder<3>;
}  // namespace nodara
