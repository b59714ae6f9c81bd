#include <velmora/mesh/duplicate_triangles.h>

#include <algorithm>
#include <numeric>

namespace nodara
{
    namespace
    {
        using Corners = std::array<index_t, 3>;

        // The corners turned so that the smallest vertex comes first: two
        // triangles run the same way round exactly when these are equal.
        Corners rotated_to_smallest(const Corners& corners)
        {
            const auto first = static_cast<std::size_t>(
                std::min_element(corners.begin(), corners.end()) -
                corners.begin());
            return {corners[first], corners[(first + 1) % 3],
                    corners[(first + 2) % 3]};
        }

        Corners sorted(Corners corners)
        {
            std::sort(corners.begin(), corners.end());
            return corners;
        }
    }  // namespace

    std::vector<DuplicateTriangle> find_duplicate_triangles(
        absl::Span<const Corners> triangles)
    {
        // Triangle ids ordered by their vertex set, then by id, so that each
        // set's triangles are together with the first one leading.
        std::vector<Corners> keys;
        keys.reserve(triangles.size());
        for (const auto& corners : triangles)
        {
            keys.push_back(sorted(corners));
        }
        std::vector<index_t> order(triangles.size());
        std::iota(order.begin(), order.end(), index_t{0});
        std::sort(order.begin(), order.end(),
                  [&keys](index_t a, index_t b) {
                      return keys[a] < keys[b] || (keys[a] == keys[b] && a < b);
                  });

        std::vector<DuplicateTriangle> duplicates;
        std::size_t group = 0;
        for (std::size_t k = 1; k < order.size(); ++k)
        {
            const auto t = order[k];
            const auto first = order[group];
            if (keys[t] != keys[first])
            {
                group = k;
                continue;
            }
            duplicates.push_back({t, first,
                                  rotated_to_smallest(triangles[t]) !=
                                      rotated_to_smallest(triangles[first])});
        }
        std::sort(duplicates.begin(), duplicates.end(),
                  [](const DuplicateTriangle& a, const DuplicateTriangle& b)
                  { return a.triangle < b.triangle; });
        return duplicates;
    }

    template <index_t D>
    std::vector<DuplicateTriangle> find_duplicate_triangles(
        const SurfaceMesh<D>& surface)
    {
        std::vector<Corners> triangles;
        triangles.reserve(surface.nb_polygons());
        for (index_t p = 0; p < surface.nb_polygons(); ++p)
        {
            triangles.push_back(surface.polygon_vertices(p));
        }
        return find_duplicate_triangles(triangles);
    }

    template std::vector<DuplicateTriangle> find_duplicate_triangles(
        const SurfaceMesh<2>&);
    template std::vector<DuplicateTriangle> find_duplicate_triangles(
        const SurfaceMesh<3>&);
}  // namespace nodara
