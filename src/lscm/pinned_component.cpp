#include "pinned_component.h"

#include <numeric>
#include <vector>

namespace nodara
{
    namespace
    {
        // Union-find over vertex ids with path halving.
        class VertexPartition
        {
        public:
            explicit VertexPartition(index_t size) : parent_(size)
            {
                std::iota(parent_.begin(), parent_.end(), index_t{0});
            }

            index_t root(index_t v)
            {
                while (parent_[v] != v)
                {
                    parent_[v] = parent_[parent_[v]];
                    v = parent_[v];
                }
                return v;
            }

            void join(index_t a, index_t b) { parent_[root(a)] = root(b); }

        private:
            std::vector<index_t> parent_;
        };
    }  // namespace

    bool triangles_form_one_pinned_component(
        const TriangulatedSurface<3>& surface,
        const std::array<index_t, 2>& pinned_vertices)
    {
        if (surface.nb_polygons() == 0)
        {
            return false;
        }
        VertexPartition partition{surface.nb_vertices()};
        for (index_t t = 0; t < surface.nb_polygons(); ++t)
        {
            const auto& corners = surface.polygon_vertices(t);
            partition.join(corners[0], corners[1]);
            partition.join(corners[0], corners[2]);
        }
        const auto piece = partition.root(surface.polygon_vertex({0, 0}));
        for (index_t t = 1; t < surface.nb_polygons(); ++t)
        {
            if (partition.root(surface.polygon_vertex({t, 0})) != piece)
            {
                return false;
            }
        }
        return partition.root(pinned_vertices[0]) == piece &&
               partition.root(pinned_vertices[1]) == piece;
    }
}  // namespace nodara
