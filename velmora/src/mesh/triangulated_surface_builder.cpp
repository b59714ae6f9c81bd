#include <velmora/mesh/triangulated_surface_builder.h>

#include <algorithm>
#include <string>
#include <vector>

#include <absl/types/optional.h>

#include <velmora/basic/attribute_base.h>
#include <velmora/basic/velmora_exception.h>
#include <velmora/mesh/manifold_adjacency.h>

namespace nodara
{
    namespace
    {
        [[noreturn]] void fail(const char* operation, const char* message)
        {
            throw InvalidInputException{
                std::string{"[TriangulatedSurfaceBuilder::"} + operation +
                "] " + message};
        }

        using Corners = std::array<index_t, 3>;

        constexpr local_index_t NO_SIDE = 3;

        local_index_t next_corner(local_index_t corner)
        {
            return static_cast<local_index_t>((corner + 1) % 3);
        }

        // The side of `corners` joining v and w, either way round, or
        // NO_SIDE.
        local_index_t side_joining(const Corners& corners, index_t v, index_t w)
        {
            for (local_index_t s = 0; s < 3; ++s)
            {
                const auto a = corners[s];
                const auto b = corners[next_corner(s)];
                if ((a == v && b == w) || (a == w && b == v))
                {
                    return s;
                }
            }
            return NO_SIDE;
        }

        // Makes room for `extra` more entries, growing the capacity at least
        // twofold so that repeated splits stay linear overall.
        template <typename Vector>
        void reserve_more(Vector& values, std::size_t extra)
        {
            const auto needed = values.size() + extra;
            if (needed > values.capacity())
            {
                values.reserve(std::max(needed, 2 * values.capacity()));
            }
        }

        // The sides joining v and w of the triangles other than `except`,
        // when there are exactly two: the pair that a fresh computation of
        // the adjacencies links. Nothing for fewer or more.
        absl::optional<std::array<PolygonEdge, 2>> other_pair_on_side(
            const LargeVector<Corners>& polygons, index_t v, index_t w,
            index_t except)
        {
            std::array<PolygonEdge, 2> pair;
            index_t count = 0;
            for (index_t p = 0; p < polygons.size(); ++p)
            {
                const auto side = side_joining(polygons[p], v, w);
                if (p == except || side == NO_SIDE)
                {
                    continue;
                }
                if (count == 2)
                {
                    return absl::nullopt;
                }
                pair[count++] = {p, side};
            }
            if (count != 2)
            {
                return absl::nullopt;
            }
            return pair;
        }

        // A triangle being cut: its id, corners and neighbours before the cut.
        struct CutTriangle
        {
            index_t id;
            Corners corners;
            Corners adjacents;
        };

        // A triangle produced by a cut, and the cut triangle it comes from.
        struct Piece
        {
            index_t id;
            index_t origin;
        };

        // Sets the neighbours of the pieces of the cut triangles, whose
        // corners are already in `polygons`, and repoints the neighbours of
        // the cut triangles to the pieces.
        void relink(LargeVector<Corners>& polygons,
                    LargeVector<Corners>& adjacents,
                    absl::Span<const CutTriangle> cut,
                    absl::Span<const Piece> pieces, index_t new_vertex)
        {
            // The piece that now holds the side v-w of what was triangle n, or
            // n itself when n was not cut. NO_ID when no piece holds that side
            // any more (the side that was split).
            const auto remap = [&](index_t n, index_t v, index_t w)
            {
                if (std::none_of(cut.begin(), cut.end(),
                                 [n](const CutTriangle& c)
                                 { return c.id == n; }))
                {
                    return n;
                }
                for (const auto& piece : pieces)
                {
                    if (piece.origin == n &&
                        side_joining(polygons[piece.id], v, w) != NO_SIDE)
                    {
                        return piece.id;
                    }
                }
                return NO_ID;
            };

            for (const auto& piece : pieces)
            {
                const auto& corners = polygons[piece.id];
                const auto& origin = *std::find_if(
                    cut.begin(), cut.end(),
                    [&](const CutTriangle& c) { return c.id == piece.origin; });
                for (local_index_t s = 0; s < 3; ++s)
                {
                    const auto v = corners[s];
                    const auto w = corners[next_corner(s)];
                    auto& adjacent = adjacents[piece.id][s];
                    if (v != new_vertex && w != new_vertex)
                    {
                        // A side the piece inherited: same neighbour as before,
                        // or the piece that now holds it when that was cut too.
                        const auto old = side_joining(origin.corners, v, w);
                        const auto neighbour = origin.adjacents[old];
                        adjacent =
                            neighbour == NO_ID ? NO_ID : remap(neighbour, v, w);
                        continue;
                    }
                    // A new side: linked when exactly one other piece has it.
                    adjacent = NO_ID;
                    index_t count = 0;
                    for (const auto& other : pieces)
                    {
                        if (other.id != piece.id &&
                            side_joining(polygons[other.id], v, w) != NO_SIDE)
                        {
                            adjacent = other.id;
                            ++count;
                        }
                    }
                    if (count != 1)
                    {
                        adjacent = NO_ID;
                    }
                }
            }

            // Neighbours outside the cut that pointed into it point to the
            // piece that now holds their shared side.
            for (const auto& c : cut)
            {
                for (const auto neighbour : c.adjacents)
                {
                    if (neighbour == NO_ID ||
                        std::any_of(cut.begin(), cut.end(),
                                    [neighbour](const CutTriangle& other)
                                    { return other.id == neighbour; }))
                    {
                        continue;
                    }
                    const auto& corners = polygons[neighbour];
                    for (local_index_t s = 0; s < 3; ++s)
                    {
                        auto& adjacent = adjacents[neighbour][s];
                        if (adjacent != NO_ID)
                        {
                            adjacent = remap(adjacent, corners[s],
                                             corners[next_corner(s)]);
                        }
                    }
                }
            }
        }
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
    std::vector<index_t> TriangulatedSurfaceBuilder<D>::delete_vertices(
        const std::vector<bool>& to_delete)
    {
        const auto nb_vertices = surface_.nb_vertices();
        if (to_delete.size() != nb_vertices)
        {
            fail("delete_vertices", "Expected one flag per vertex");
        }
        std::vector<index_t> vertex_map(nb_vertices, NO_ID);
        index_t nb_kept = 0;
        for (index_t v = 0; v < nb_vertices; ++v)
        {
            if (!to_delete[v])
            {
                vertex_map[v] = nb_kept++;
            }
        }

        // Build the new arrays aside so that a failed allocation leaves the
        // surface as it was.
        const auto nb_polygons = surface_.nb_polygons();
        std::vector<index_t> polygon_map(nb_polygons, NO_ID);
        index_t nb_kept_polygons = 0;
        for (index_t p = 0; p < nb_polygons; ++p)
        {
            const auto& corners = surface_.polygon_vertices_[p];
            if (vertex_map[corners[0]] != NO_ID &&
                vertex_map[corners[1]] != NO_ID &&
                vertex_map[corners[2]] != NO_ID)
            {
                polygon_map[p] = nb_kept_polygons++;
            }
        }
        LargeVector<Point<D>> points;
        points.reserve(nb_kept);
        for (index_t v = 0; v < nb_vertices; ++v)
        {
            if (vertex_map[v] != NO_ID)
            {
                points.push_back(surface_.points_[v]);
            }
        }
        LargeVector<Corners> polygons;
        LargeVector<Corners> adjacents;
        polygons.reserve(nb_kept_polygons);
        adjacents.reserve(nb_kept_polygons);
        for (index_t p = 0; p < nb_polygons; ++p)
        {
            if (polygon_map[p] == NO_ID)
            {
                continue;
            }
            Corners corners;
            Corners neighbours;
            for (local_index_t k = 0; k < 3; ++k)
            {
                corners[k] = vertex_map[surface_.polygon_vertices_[p][k]];
                const auto adjacent = surface_.adjacents_[p][k];
                neighbours[k] =
                    adjacent == NO_ID ? NO_ID : polygon_map[adjacent];
            }
            polygons.push_back(corners);
            adjacents.push_back(neighbours);
        }

        surface_.vertex_attribute_manager().remove_elements(to_delete);
        surface_.points_.swap(points);
        surface_.polygon_vertices_.swap(polygons);
        surface_.adjacents_.swap(adjacents);
        surface_.nb_vertices_ = nb_kept;
        return vertex_map;
    }

    template <index_t D>
    void TriangulatedSurfaceBuilder<D>::permute_vertices(
        absl::Span<const index_t> order)
    {
        const auto nb_vertices = surface_.nb_vertices();
        if (order.size() != nb_vertices)
        {
            fail("permute_vertices", "Expected one entry per vertex");
        }
        std::vector<index_t> new_ids(nb_vertices, NO_ID);
        for (index_t k = 0; k < nb_vertices; ++k)
        {
            const auto old = order[k];
            if (old >= nb_vertices || new_ids[old] != NO_ID)
            {
                fail("permute_vertices",
                     "The order is not a permutation of the vertices");
            }
            new_ids[old] = k;
        }

        LargeVector<Point<D>> points;
        points.reserve(nb_vertices);
        for (const auto old : order)
        {
            points.push_back(surface_.points_[old]);
        }
        auto polygons = surface_.polygon_vertices_;
        for (auto& corners : polygons)
        {
            for (auto& v : corners)
            {
                v = new_ids[v];
            }
        }

        surface_.vertex_attribute_manager().reorder_elements(order);
        surface_.points_.swap(points);
        surface_.polygon_vertices_.swap(polygons);
    }

    template <index_t D>
    index_t TriangulatedSurfaceBuilder<D>::split_edge(const PolygonEdge& edge)
    {
        check_polygon_edge(edge, "split_edge");
        const auto t = edge.polygon_id;
        const auto e = edge.edge_id;
        const CutTriangle cut_t{t, surface_.polygon_vertices_[t],
                                surface_.adjacents_[t]};
        const auto a = cut_t.corners[e];
        const auto b = cut_t.corners[next_corner(e)];
        const auto u = cut_t.adjacents[e];
        local_index_t f = NO_SIDE;
        if (u != NO_ID)
        {
            f = u == t ? NO_SIDE
                       : side_joining(surface_.polygon_vertices_[u], a, b);
            if (f == NO_SIDE)
            {
                fail("split_edge",
                     "The triangle recorded across the edge does not have it");
            }
        }
        // Without a neighbour the edge is on the border or used by three
        // triangles or more; when it is used by three, the two left uncut
        // are the only ones on it afterwards and become neighbours.
        const auto left_on_edge =
            u == NO_ID ? other_pair_on_side(surface_.polygon_vertices_, a, b, t)
                       : absl::nullopt;
        const index_t nb_new = u == NO_ID ? 1 : 2;
        const auto t_new = surface_.nb_polygons();
        if (t_new > NO_ID - 1 - nb_new)
        {
            fail("split_edge", "Too many triangles");
        }
        reserve_more(surface_.polygon_vertices_, nb_new);
        reserve_more(surface_.adjacents_, nb_new);
        const auto m = add_interpolated_vertex({a, b, NO_ID}, 2, "split_edge");

        // Nothing below throws: the arrays have room for the new triangles.
        // Each half keeps the corner layout of the triangle it comes from,
        // the new vertex replacing one end of the cut side.
        std::array<CutTriangle, 2> cut{cut_t, cut_t};
        std::array<Piece, 4> pieces{
            {{t, t}, {t_new, t}, {u, u}, {t_new + 1, u}}};
        auto halves = cut_t.corners;
        halves[next_corner(e)] = m;
        surface_.polygon_vertices_[t] = halves;
        halves = cut_t.corners;
        halves[e] = m;
        surface_.polygon_vertices_.push_back(halves);
        surface_.adjacents_.push_back({NO_ID, NO_ID, NO_ID});
        if (u != NO_ID)
        {
            const CutTriangle cut_u{u, surface_.polygon_vertices_[u],
                                    surface_.adjacents_[u]};
            cut[1] = cut_u;
            halves = cut_u.corners;
            halves[next_corner(f)] = m;
            surface_.polygon_vertices_[u] = halves;
            halves = cut_u.corners;
            halves[f] = m;
            surface_.polygon_vertices_.push_back(halves);
            surface_.adjacents_.push_back({NO_ID, NO_ID, NO_ID});
        }
        relink(surface_.polygon_vertices_, surface_.adjacents_,
               absl::MakeConstSpan(cut.data(), nb_new),
               absl::MakeConstSpan(pieces.data(), 2 * nb_new), m);
        if (left_on_edge)
        {
            const auto& sides = *left_on_edge;
            surface_.adjacents_[sides[0].polygon_id][sides[0].edge_id] =
                sides[1].polygon_id;
            surface_.adjacents_[sides[1].polygon_id][sides[1].edge_id] =
                sides[0].polygon_id;
        }
        return m;
    }

    template <index_t D>
    index_t TriangulatedSurfaceBuilder<D>::split_triangle(index_t t)
    {
        if (t >= surface_.nb_polygons())
        {
            fail("split_triangle", "Polygon index out of range");
        }
        const auto first_new = surface_.nb_polygons();
        if (first_new > NO_ID - 3)
        {
            fail("split_triangle", "Too many triangles");
        }
        reserve_more(surface_.polygon_vertices_, 2);
        reserve_more(surface_.adjacents_, 2);
        const CutTriangle cut_t{t, surface_.polygon_vertices_[t],
                                surface_.adjacents_[t]};
        const auto m =
            add_interpolated_vertex(cut_t.corners, 3, "split_triangle");

        // Nothing below throws. Piece k takes side k of t as its side 0 and
        // the new vertex as its corner 2.
        const auto& c = cut_t.corners;
        surface_.polygon_vertices_[t] = {c[0], c[1], m};
        surface_.polygon_vertices_.push_back({c[1], c[2], m});
        surface_.polygon_vertices_.push_back({c[2], c[0], m});
        surface_.adjacents_.push_back({NO_ID, NO_ID, NO_ID});
        surface_.adjacents_.push_back({NO_ID, NO_ID, NO_ID});
        relink(surface_.polygon_vertices_, surface_.adjacents_, {cut_t},
               {{t, t}, {first_new, t}, {first_new + 1, t}}, m);
        return m;
    }

    template <index_t D>
    void TriangulatedSurfaceBuilder<D>::copy_vertex_attributes(index_t from,
                                                               index_t to)
    {
        check_vertex(from, "copy_vertex_attributes");
        check_vertex(to, "copy_vertex_attributes");
        surface_.vertex_attribute_manager().copy_attribute_value(from, to);
    }

    template <index_t D>
    index_t TriangulatedSurfaceBuilder<D>::add_interpolated_vertex(
        const std::array<index_t, 3>& corners, local_index_t nb_corners,
        const char* operation)
    {
        const auto m = surface_.nb_vertices();
        if (m >= NO_ID - 1)
        {
            fail(operation, "Too many vertices");
        }
        // The point is summed like the attribute values, so that an
        // attribute holding the points themselves stays equal to them.
        const double weight = 1.0 / nb_corners;
        AttributeLinearInterpolation interpolation;
        Point<D> point;
        for (local_index_t k = 0; k < nb_corners; ++k)
        {
            interpolation.indices.push_back(corners[k]);
            interpolation.weights.push_back(weight);
            point = point + surface_.points_[corners[k]] * weight;
        }
        surface_.points_.push_back(point);
        auto& attributes = surface_.vertex_attribute_manager();
        try
        {
            surface_.set_nb_vertices(m + 1);
            attributes.interpolate_attribute_value(interpolation, m);
        }
        catch (...)
        {
            // Shrinking frees nothing and cannot fail.
            attributes.resize(m);
            surface_.nb_vertices_ = m;
            surface_.points_.pop_back();
            throw;
        }
        return m;
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
