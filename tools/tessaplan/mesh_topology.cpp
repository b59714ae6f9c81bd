#include "mesh_topology.h"

#include <numeric>
#include <utility>
#include <vector>

namespace tessaplan
{
    namespace
    {
        using nodara::index_t;

        // Union-find over vertex ids, with path halving and union by size.
        class DisjointSets
        {
        public:
            explicit DisjointSets(index_t count)
                : parent_(count), size_(count, 1), nb_sets_(count)
            {
                std::iota(parent_.begin(), parent_.end(), index_t{0});
            }

            index_t find(index_t element)
            {
                while (parent_[element] != element)
                {
                    parent_[element] = parent_[parent_[element]];
                    element = parent_[element];
                }
                return element;
            }

            void join(index_t first, index_t second)
            {
                first = find(first);
                second = find(second);
                if (first == second)
                {
                    return;
                }
                if (size_[first] < size_[second])
                {
                    std::swap(first, second);
                }
                parent_[second] = first;
                size_[first] += size_[second];
                --nb_sets_;
            }

            index_t nb_sets() const { return nb_sets_; }

        private:
            std::vector<index_t> parent_;
            std::vector<index_t> size_;
            index_t nb_sets_;
        };
    }  // namespace

    index_t count_components(const nodara::TriangulatedSurface<3>& surface)
    {
        DisjointSets sets{surface.nb_vertices()};
        for (index_t t = 0; t < surface.nb_polygons(); ++t)
        {
            const auto& vertices = surface.polygon_vertices(t);
            sets.join(vertices[0], vertices[1]);
            sets.join(vertices[0], vertices[2]);
        }
        return sets.nb_sets();
    }

    index_t count_border_edges(const nodara::TriangulatedSurface<3>& surface)
    {
        index_t count = 0;
        for (index_t t = 0; t < surface.nb_polygons(); ++t)
        {
            for (nodara::local_index_t e = 0; e < 3; ++e)
            {
                if (surface.is_edge_on_border({t, e}))
                {
                    ++count;
                }
            }
        }
        return count;
    }
}  // namespace tessaplan
