#include <velmora/mesh/triangulated_surface_builder.h>

#include <algorithm>
#include <string>
#include <vector>

#include <absl/types/optional.h>

#include <velmora/basic/attribute_base.h>
#include <velmora/mesh/manifold_adjacency.h>

#include "builder_failure.h"

namespace nodara
{
    template <index_t D>
    std::unique_ptr<TriangulatedSurfaceBuilder<D>>
    TriangulatedSurfaceBuilder<D>::create(TriangulatedSurface<D>& surface)
    {
        return std::make_unique<TriangulatedSurfaceBuilder<D>>(surface);
    }

    template <index_t D>
    TriangulatedSurfaceBuilder<D>::TriangulatedSurfaceBuilder(
        TriangulatedSurface<D>& surface)
        : surface_(surface)
    {
    }

    template <index_t D>
    index_t TriangulatedSurfaceBuilder<D>::create_vertices(index_t count)
    {
        const index_t first = surface_.nb_vertices();
        if (count > NO_ID - 1 - first)
        {
            fail_in_builder("create_vertices", "Too many vertices");
        }
        surface_.points_.resize(std::size_t{first} + count);
        surface_.set_nb_vertices(first + count);
        return first;
    }

    template <index_t D>
    index_t TriangulatedSurfaceBuilder<D>::create_point(const Point<D>& point)
    {
        const auto id = create_vertices(1);
        surface_.points_[id] = point;
        return id;
    }

    template <index_t D>
    void TriangulatedSurfaceBuilder<D>::set_point(index_t v,
                                                  const Point<D>& point)
    {
        check_vertex(v, "set_point");
        surface_.points_[v] = point;
    }

    template <index_t D>
    void TriangulatedSurfaceBuilder<D>::reserve_triangles(index_t count)
    {
        surface_.polygon_vertices_.reserve(count);
        surface_.adjacents_.reserve(count);
    }

    template <index_t D>
    index_t TriangulatedSurfaceBuilder<D>::create_triangle(
        const std::array<index_t, 3>& vertices)
    {
        for (const auto v : vertices)
        {
            check_vertex(v, "create_triangle");
        }
        if (vertices[0] == vertices[1] || vertices[1] == vertices[2] ||
            vertices[0] == vertices[2])
        {
            fail_in_builder("create_triangle",
                            "A triangle cannot use a vertex twice");
        }
        if (surface_.nb_polygons() == NO_ID - 1)
        {
            fail_in_builder("create_triangle", "Too many triangles");
        }
        surface_.polygon_vertices_.push_back(vertices);
        try
        {
            surface_.adjacents_.push_back({NO_ID, NO_ID, NO_ID});
        }
        catch (...)
        {
            surface_.polygon_vertices_.pop_back();
            throw;
        }
        return surface_.nb_polygons() - 1;
    }

    template <index_t D>
    void TriangulatedSurfaceBuilder<D>::set_polygon_adjacent(
        const PolygonEdge& edge, index_t adjacent)
    {
        check_polygon_edge(edge, "set_polygon_adjacent");
        if (adjacent >= surface_.nb_polygons())
        {
            fail_in_builder("set_polygon_adjacent",
                            "Adjacent polygon index out of range");
        }
        surface_.adjacents_[edge.polygon_id][edge.edge_id] = adjacent;
    }

    template <index_t D>
    void TriangulatedSurfaceBuilder<D>::unset_polygon_adjacent(
        const PolygonEdge& edge)
    {
        check_polygon_edge(edge, "unset_polygon_adjacent");
        surface_.adjacents_[edge.polygon_id][edge.edge_id] = NO_ID;
    }

    template <index_t D>
    void TriangulatedSurfaceBuilder<D>::compute_polygon_adjacencies()
    {
        surface_.adjacents_ = compute_manifold_adjacencies(surface_);
    }

    template <index_t D>
    void TriangulatedSurfaceBuilder<D>::copy(const TriangulatedSurface<D>& from)
    {
        if (&from == &surface_)
        {
            return;
        }
        auto points = from.points_;
        auto polygons = from.polygon_vertices_;
        auto adjacents = from.adjacents_;
        surface_.vertex_attribute_manager().copy(
            from.vertex_attribute_manager());
        surface_.points_.swap(points);
        surface_.polygon_vertices_.swap(polygons);
        surface_.adjacents_.swap(adjacents);
        surface_.nb_vertices_ = from.nb_vertices();
    }

    template <index_t D>
    void TriangulatedSurfaceBuilder<D>::check_vertex(
        index_t v, const char* operation) const
    {
        if (v >= surface_.nb_vertices())
        {
            fail_in_builder(operation, "Vertex index out of range");
        }
    }

    template <index_t D>
    void TriangulatedSurfaceBuilder<D>::check_polygon_edge(
        const PolygonEdge& edge, const char* operation) const
    {
        if (edge.polygon_id >= surface_.nb_polygons())
        {
            fail_in_builder(operation, "Polygon index out of range");
        }
        if (edge.edge_id > 2)
        {
            fail_in_builder(operation, "Edge index out of range");
        }
    }

    template class TriangulatedSurfaceBuilder<2>;
    template class TriangulatedSurfaceBuilder<3>;
}  // namespace nodara
