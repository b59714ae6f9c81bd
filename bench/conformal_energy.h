#pragma once

#include <vector>

#include "lscm/lscm.h"

namespace nodara
{
    namespace bench
    {
        /// |F x - b|^2 of the least-squares system of a solved LSCM, with x
        /// read from `map` (one point per vertex) at the free vertices.
        double conformal_energy(LSCM& lscm, const std::vector<Point<2>>& map);

        /// `map` moved by the similarity of the plane that takes its two
        /// points of the pinned vertices of `lscm` onto their pinned
        /// positions, so that its energy compares with lscm's own.
        std::vector<Point<2>> align_to_pins(
            LSCM& lscm, const std::vector<Point<2>>& pinned_positions,
            std::vector<Point<2>> map);

        /// The energy of the exact minimiser, computed independently of the
        /// library's solver: Eigen's SimplicialLDLT on F^T F x = F^T b.
        double direct_minimum_energy(LSCM& lscm);
    }  // namespace bench
}  // namespace nodara
