#pragma once

#include <velmora/basic/types.h>

namespace nodara
{
    /// Checks that a surface of these counts can be parameterized: at least
    /// two vertices, and every size the system derives from the counts
    /// (2 x polygons rows, 2 x vertices - 4 columns, 12 x polygons entries,
    /// 100 x vertices iterations) fits its 32-bit index type. Throws
    /// VelmoraException otherwise, before anything is allocated.
    void check_lscm_counts(index_t nb_vertices, index_t nb_polygons);
}  // namespace nodara
