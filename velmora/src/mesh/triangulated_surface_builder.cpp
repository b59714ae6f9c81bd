#include <velmora/mesh/triangulated_surface_builder.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include <velmora/basic/velmora_exception.h>

namespace nodara
{
    namespace
    {
        [[noreturn]] void fail(const char* operation, const char* message)
        {
            throw VelmoraException{std::string{"[TriangulatedSurfaceBuilder::"} +
                                   operation + "] " + message};
        }

        // One triangle side, keyed by its two vertices in increasing order.
        struct EdgeRecord
        {
            index_t low;
            index_t high;
            index_t polygon;
            local_index_t edge;
        };
    }  // namespace

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
            fail("create_vertices", "Too many vertices");
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
    void TriangulatedSurfaceBuilder<D>::set_point(
        index_t v, const Point<D>& point)
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
            fail("create_triangle", "A triangle cannot use a vertex twice");
        }
        if (surface_.nb_polygons() == NO_ID - 1)
        {
            fail("create_triangle", "Too many triangles");
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
            fail("set_polygon_adjacent", "Adjacent polygon index out of range");
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
        // Sorting the sides by their vertex pair groups the sides of each
        // edge together; this scales to millions of triangles with one flat
        // array.
        std::vector<EdgeRecord> sides;
        sides.reserve(std::size_t{surface_.nb_polygons()} * 3);
        for (index_t p = 0; p < surface_.nb_polygons(); ++p)
        {
            const auto& corners = surface_.polygon_vertices_[p];
            for (local_index_t e = 0; e < 3; ++e)
            {
                const auto a = corners[e];
                const auto b = corners[(e + 1) % 3];
                sides.push_back({std::min(a, b), std::max(a, b), p, e});
            }
        }
        std::sort(sides.begin(), sides.end(),
                  [](const EdgeRecord& x, const EdgeRecord& y) {
                      return std::tie(x.low, x.high, x.polygon, x.edge) <
                             std::tie(y.low, y.high, y.polygon, y.edge);
                  });
        for (auto& adjacent : surface_.adjacents_)
        {
            adjacent = {NO_ID, NO_ID, NO_ID};
        }
        for (std::size_t first = 0; first < sides.size();)
        {
            auto last = first + 1;
            while (last < sides.size() && sides[last].low == sides[first].low &&
                   sides[last].high == sides[first].high)
            {
                ++last;
            }
            if (last - first == 2)
            {
                const auto& s0 = sides[first];
                const auto& s1 = sides[first + 1];
                surface_.adjacents_[s0.polygon][s0.edge] = s1.polygon;
                surface_.adjacents_[s1.polygon][s1.edge] = s0.polygon;
            }
            first = last;
        }
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
            fail(operation, "Vertex index out of range");
        }
    }

    template <index_t D>
    void TriangulatedSurfaceBuilder<D>::check_polygon_edge(
        const PolygonEdge& edge, const char* operation) const
    {
        if (edge.polygon_id >= surface_.nb_polygons())
        {
            fail(operation, "Polygon index out of range");
        }
        if (edge.edge_id > 2)
        {
            fail(operation, "Edge index out of range");
        }
    }

    template class TriangulatedSurfaceBuilder<2>;
    template class TriangulatedSurfaceBuilder<3>;
}  // namespace nodara
