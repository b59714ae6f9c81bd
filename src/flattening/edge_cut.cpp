#include <tessaplan/edge_cut.h>

#include <string>
#include <utility>

#include <absl/container/flat_hash_set.h>
#include <boost/pending/disjoint_sets.hpp>

#include <velmora/basic/velmora_exception.h>
#include <velmora/mesh/manifold_adjacency.h>
#include <velmora/mesh/triangulated_surface_builder.h>

namespace nodara
{
    namespace
    {
        using Edge = std::pair<index_t, index_t>;

        Edge undirected(index_t a, index_t b)
        {
            return a < b ? Edge{a, b} : Edge{b, a};
        }

        // The seams as undirected edges, each checked against the surface.
        absl::flat_hash_set<Edge> checked_seams(
            const TriangulatedSurface<3>& surface,
            absl::Span<const std::array<index_t, 2>> seams)
        {
            absl::flat_hash_set<Edge> edges;
            for (index_t t = 0; t < surface.nb_polygons(); ++t)
            {
                const auto v = surface.polygon_vertices(t);
                for (int k = 0; k < 3; ++k)
                {
                    edges.insert(undirected(v[k], v[(k + 1) % 3]));
                }
            }
            absl::flat_hash_set<Edge> result;
            for (std::size_t k = 0; k < seams.size(); ++k)
            {
                const auto [a, b] = seams[k];
                const auto name = "[cut_along_edges] Seam " +
                                  std::to_string(k) + " (" + std::to_string(a) +
                                  ", " + std::to_string(b) + ") ";
                if (a >= surface.nb_vertices() || b >= surface.nb_vertices())
                {
                    throw SeamError{name + "names a vertex beyond the surface's " +
                                        std::to_string(surface.nb_vertices()),
                                    k};
                }
                if (a == b || !edges.contains(undirected(a, b)))
                {
                    throw SeamError{name + "is not an edge of the surface", k};
                }
                result.insert(undirected(a, b));
            }
            return result;
        }
    }  // namespace

    EdgeCut cut_along_edges(const TriangulatedSurface<3>& surface,
                            absl::Span<const std::array<index_t, 2>> seams)
    {
        const auto cut_edges = checked_seams(surface, seams);
        const auto adjacencies = compute_manifold_adjacencies(surface);
        // Corner 3 t + k; corners of one vertex joined through an edge that
        // is not cut become one vertex.
        const auto nb_corners = std::size_t{3} * surface.nb_polygons();
        boost::disjoint_sets_with_storage<> wedges{nb_corners};
        for (std::size_t c = 0; c < nb_corners; ++c)
        {
            wedges.make_set(c);
        }
        for (index_t t = 0; t < surface.nb_polygons(); ++t)
        {
            const auto v = surface.polygon_vertices(t);
            for (int e = 0; e < 3; ++e)
            {
                const auto q = adjacencies[t][e];
                const auto a = v[e];
                const auto b = v[(e + 1) % 3];
                if (q == NO_ID || q < t || cut_edges.contains(undirected(a, b)))
                {
                    continue;
                }
                const auto w = surface.polygon_vertices(q);
                for (int k = 0; k < 3; ++k)
                {
                    if (w[k] == a || w[k] == b)
                    {
                        const int own = w[k] == a ? e : (e + 1) % 3;
                        wedges.union_set(std::size_t{3} * t + own,
                                         std::size_t{3} * q + k);
                    }
                }
            }
        }
        EdgeCut cut{TriangulatedSurface<3>::create(), {}};
        TriangulatedSurfaceBuilder<3> builder{*cut.surface};
        builder.reserve_triangles(surface.nb_polygons());
        std::vector<index_t> vertex_of_wedge(nb_corners, NO_ID);
        for (index_t t = 0; t < surface.nb_polygons(); ++t)
        {
            std::array<index_t, 3> split{};
            for (int k = 0; k < 3; ++k)
            {
                auto& vertex = vertex_of_wedge[wedges.find_set(3 * t + k)];
                if (vertex == NO_ID)
                {
                    const auto source = surface.polygon_vertex(
                        {t, static_cast<local_index_t>(k)});
                    vertex = static_cast<index_t>(cut.source.size());
                    builder.create_point(surface.point(source));
                    cut.source.push_back(source);
                }
                split[k] = vertex;
            }
            builder.create_triangle(split);
        }
        builder.compute_polygon_adjacencies();
        return cut;
    }
}  // namespace nodara
