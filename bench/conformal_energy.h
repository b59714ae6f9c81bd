#pragma once

#include <array>
#include <complex>
#include <vector>

#include <velmora/geometry/point.h>
#include <velmora/mesh/triangulated_surface.h>

namespace nodara
{
    namespace bench
    {
        /// The least squares conformal energy of maps of one surface,
        /// computed here from the geometry alone: per triangle, in an
        /// orthonormal frame of its plane, the complex residual
        /// sum_j W_j (u_j + i v_j) of the conformality equation, squared.
        /// Each piece is read in the sense in which a reference map (the
        /// library's own) turns it counter-clockwise, as the library reads
        /// it.
        class ConformalEnergy
        {
        public:
            ConformalEnergy(const TriangulatedSurface<3>& surface,
                            const std::vector<Point<2>>& reference_map);

            /// The energy of `map`, one point per vertex.
            double of(const std::vector<Point<2>>& map) const;

            /// The energy of the exact minimiser with the vertices `pins`
            /// held where `map` puts them, computed independently of the
            /// library's solver: Eigen's SimplicialLDLT on the normal
            /// equations.
            double direct_minimum(const std::vector<index_t>& pins,
                                  const std::vector<Point<2>>& map) const;

        private:
            struct Corner
            {
                index_t vertex;
                std::complex<double> weight;
            };
            std::vector<std::array<Corner, 3>> equations_;
            index_t nb_vertices_;
        };

        /// `map` moved by the similarity of the plane that takes its points
        /// of the first two of `pins` onto `pinned_positions`, so that its
        /// energy compares with the library's own.
        std::vector<Point<2>> align_to_pins(
            const std::vector<index_t>& pins,
            const std::vector<Point<2>>& pinned_positions,
            std::vector<Point<2>> map);
    }  // namespace bench
}  // namespace nodara
