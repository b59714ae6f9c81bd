#pragma once

#include <vector>

#include <velmora/mesh/triangulated_surface.h>

namespace nodara
{
    namespace bench
    {
        /// CGAL's LSCM (LSCM_parameterizer_3 on a Surface_mesh, with its
        /// default solver) of a surface with one border: one 2D point per
        /// vertex, and the seconds the parameterization itself took.
        struct CgalMap
        {
            std::vector<Point<2>> uv;
            double seconds{0};
        };

        /// Throws std::runtime_error when CGAL reports a failure.
        CgalMap cgal_lscm(const TriangulatedSurface<3>& surface);
    }  // namespace bench
}  // namespace nodara
