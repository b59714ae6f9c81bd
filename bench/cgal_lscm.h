#pragma once

#include <vector>

#include <velmora/mesh/triangulated_surface.h>

namespace nodara
{
    namespace bench
    {
        /// A CGAL parameterization (on a Surface_mesh, with its default
        /// solver) of a surface with one border: one 2D point per vertex,
        /// and the seconds the parameterization itself took.
        struct CgalMap
        {
            std::vector<Point<2>> uv;
            double seconds{0};
        };

        /// CGAL's LSCM (LSCM_parameterizer_3). Throws std::runtime_error when
        /// CGAL reports a failure.
        CgalMap cgal_lscm(const TriangulatedSurface<3>& surface);

        /// CGAL's as-rigid-as-possible map, with what its iterations did.
        struct CgalARAPMap : CgalMap
        {
            /// Local/global iterations run, and the bound it was built with.
            unsigned int iterations{0};
            unsigned int max_iterations{0};
            /// Whether the result was not one-to-one and CGAL replaced it
            /// by its mean-value post-processing.
            bool post_processed{false};
        };

        /// CGAL's ARAP (ARAP_parameterizer_3 on a Surface_mesh, every
        /// parameter at its default: it starts from its own LSCM) of a
        /// surface with one border. Throws std::runtime_error when CGAL
        /// reports a failure.
        CgalARAPMap cgal_arap(const TriangulatedSurface<3>& surface);
    }  // namespace bench
}  // namespace nodara
