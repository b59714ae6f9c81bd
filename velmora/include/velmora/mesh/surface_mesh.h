#pragma once

#include <array>
#include <vector>

#include <absl/types/optional.h>

#include <velmora/basic/huge_pages.h>
#include <velmora/geometry/point.h>
#include <velmora/geometry/triangle.h>
#include <velmora/geometry/vector.h>
#include <velmora/mesh/mesh_element.h>
#include <velmora/mesh/vertex_set.h>

namespace nodara
{
    template <index_t D>
    class TriangulatedSurfaceBuilder;

    /// A surface made of triangles in D dimensions: vertex points, the three
    /// vertices of every polygon and the polygon across each of its edges.
    /// Read-only: edits go through TriangulatedSurfaceBuilder.
    template <index_t D>
    class SurfaceMesh : public VertexSet
    {
        friend class TriangulatedSurfaceBuilder<D>;

    public:
        /// The number of polygons (all are triangles).
        index_t nb_polygons() const
        {
            return static_cast<index_t>(polygon_vertices_.size());
        }

        /// The point of vertex v. Unchecked.
        const Point<D>& point(index_t v) const { return points_[v]; }

        /// The vertex at a polygon corner. Unchecked.
        index_t polygon_vertex(const PolygonVertex& corner) const
        {
            return polygon_vertices_[corner.polygon_id][corner.vertex_id];
        }

        /// The three vertices of polygon p in corner order. Unchecked.
        const std::array<index_t, 3>& polygon_vertices(index_t p) const
        {
            return polygon_vertices_[p];
        }

        /// The polygon across an edge, or nothing on the border. Unchecked.
        absl::optional<index_t> polygon_adjacent(const PolygonEdge& edge) const
        {
            const auto adjacent = adjacents_[edge.polygon_id][edge.edge_id];
            if (adjacent == NO_ID)
            {
                return absl::nullopt;
            }
            return adjacent;
        }

        /// Whether an edge has no polygon across it. Unchecked.
        bool is_edge_on_border(const PolygonEdge& edge) const
        {
            return adjacents_[edge.polygon_id][edge.edge_id] == NO_ID;
        }

        /// The unit normal of polygon p, (p1 - p0) x (p2 - p0) normalised, or
        /// the zero vector when that product is zero or not a number (a
        /// triangle of zero area, or one with non-finite corners). The edges
        /// are scaled as Triangle::scaled_edges does, so that every triangle
        /// of finite corners and non-zero area has its normal. 3D only.
        template <index_t T = D>
        std::enable_if_t<T == 3, Vector<3>> polygon_normal(index_t p) const
        {
            const auto& corners = polygon_vertices_[p];
            return Triangle<3>{points_[corners[0]], points_[corners[1]],
                               points_[corners[2]]}
                .unit_normal();
        }

    protected:
        SurfaceMesh() = default;

    private:
        LargeVector<Point<D>> points_;
        LargeVector<std::array<index_t, 3>> polygon_vertices_;
        LargeVector<std::array<index_t, 3>> adjacents_;
    };
}  // namespace nodara
