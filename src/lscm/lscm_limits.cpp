#include "lscm_limits.h"

#include <limits>

#include <velmora/basic/velmora_exception.h>

namespace nodara
{
    void check_lscm_counts(index_t nb_vertices, index_t nb_polygons)
    {
        if (nb_vertices < 2)
        {
            throw InvalidInputException{
                "[LSCM::LSCM] The surface has fewer than two vertices: two "
                "vertices must be pinned to fix the map"};
        }
        constexpr auto max_index = std::numeric_limits<index_t>::max();
        constexpr auto max_int =
            static_cast<index_t>(std::numeric_limits<int>::max());
        // Matrix rows and columns are int, the triplet capacity and the
        // iteration limit unsigned 32-bit.
        const bool polygons_fit =
            nb_polygons <= max_int / 2 && nb_polygons <= max_index / 12;
        const bool vertices_fit =
            nb_vertices <= max_int / 2 && nb_vertices <= max_index / 100;
        if (!polygons_fit || !vertices_fit)
        {
            throw InvalidInputException{
                "[LSCM::LSCM] The surface is too large to be parameterized: "
                "at most 42949672 vertices and 357913941 triangles"};
        }
    }
}  // namespace nodara
