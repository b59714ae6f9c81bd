// The builder's edits of existing surfaces: deleting and permuting
// vertices, splitting edges and triangles.

#include <velmora/mesh/triangulated_surface_builder.h>

#include <algorithm>
#include <string>
#include <vector>

#include <velmora/basic/attribute_base.h>

#include "builder_failure.h"
#include "triangle_cut.h"

namespace nodara
{
    template <index_t D>
    std::vector<index_t> TriangulatedSurfaceBuilder<D>::delete_vertices(
        const std::vector<bool>& to_delete)
    {
        const auto nb_vertices = surface_.nb_vertices();
        if (to_delete.size() != nb_vertices)
        {
            fail_in_builder("delete_vertices", "Expected one flag per vertex");
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
            fail_in_builder("permute_vertices",
                            "Expected one entry per vertex");
        }
        std::vector<index_t> new_ids(nb_vertices, NO_ID);
        for (index_t k = 0; k < nb_vertices; ++k)
        {
            const auto old = order[k];
            if (old >= nb_vertices || new_ids[old] != NO_ID)
            {
                fail_in_builder(
                    "permute_vertices",
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
                fail_in_builder(
                    "split_edge",
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
            fail_in_builder("split_edge", "Too many triangles");
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
            fail_in_builder("split_triangle", "Polygon index out of range");
        }
        const auto first_new = surface_.nb_polygons();
        if (first_new > NO_ID - 3)
        {
            fail_in_builder("split_triangle", "Too many triangles");
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
            fail_in_builder(operation, "Too many vertices");
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

    template class TriangulatedSurfaceBuilder<2>;
    template class TriangulatedSurfaceBuilder<3>;
}  // namespace nodara
