#pragma once

#include <array>
#include <memory>
#include <vector>

#include <absl/types/span.h>

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

        /// Deletes every vertex whose flag is set and every triangle that
        /// uses one. The remaining vertices and triangles keep their relative
        /// order and are renumbered from 0; triangle corners follow, and an
        /// edge whose neighbour is deleted goes on the border. Every vertex
        /// attribute drops the deleted vertices. Returns, for each old
        /// vertex, its new id or NO_ID when deleted. Throws VelmoraException,
        /// changing nothing, when there is not one flag per vertex.
        std::vector<index_t> delete_vertices(
            const std::vector<bool>& to_delete);

        /// Renumbers the vertices: new vertex k is old vertex order[k]. Its
        /// point, the triangle corners that name it and its values in every
        /// vertex attribute follow it; triangles and adjacencies keep their
        /// ids. Throws VelmoraException, changing nothing, when `order` is
        /// not a permutation of the vertex ids.
        void permute_vertices(absl::Span<const index_t> order);

        /// Inserts a vertex at the midpoint of `edge` and splits the triangle
        /// and the one recorded across the edge, if any, in two. Triangle t
        /// keeps the half at corner edge_id and the half at the next corner
        /// becomes triangle nb_polygons(); the triangle across is split the
        /// same way into itself and the triangle after that. Adjacencies of
        /// the new and changed triangles and of their neighbours are updated.
        /// The new vertex gets, in every vertex attribute, the mean of the
        /// edge ends' values. Returns the new vertex id. Throws
        /// VelmoraException, changing nothing, for an unknown polygon or
        /// edge index, when the triangle recorded across the edge does not
        /// have that edge, or when the counts would overflow. An edge used by
        /// more than two triangles has no neighbour recorded: only this
        /// triangle is split then, and when two others are left on the edge
        /// they become neighbours, as compute_polygon_adjacencies would make
        /// them. An edge without a neighbour costs a pass over the triangles
        /// to find the others.
        index_t split_edge(const PolygonEdge& edge);

        /// Inserts a vertex at the centroid of triangle t and splits t into
        /// three: t keeps edge 0 and the triangles nb_polygons() and
        /// nb_polygons() + 1 take edges 1 and 2, each with that edge as its
        /// edge 0 and the new vertex as its corner 2. Adjacencies are updated
        /// as for split_edge. The new vertex gets, in every vertex attribute,
        /// the mean of the three corners' values. Returns the new vertex id.
        /// Throws VelmoraException, changing nothing, for an unknown
        /// triangle or when the counts would overflow.
        index_t split_triangle(index_t t);

        /// Copies the values of vertex `from` onto vertex `to` in every vertex
        /// attribute; points are not moved. Throws VelmoraException for an
        /// unknown vertex.
        void copy_vertex_attributes(index_t from, index_t to);

    private:
        void check_vertex(index_t v, const char* operation) const;
        void check_polygon_edge(const PolygonEdge& edge,
                                const char* operation) const;
        index_t add_interpolated_vertex(const std::array<index_t, 3>& corners,
                                        local_index_t nb_corners,
                                        const char* operation);

        TriangulatedSurface<D>& surface_;
    };

    using TriangulatedSurfaceBuilder2D = TriangulatedSurfaceBuilder<2>;
    using TriangulatedSurfaceBuilder3D = TriangulatedSurfaceBuilder<3>;
}  // namespace nodara
