#pragma once

#include <vector>

#include <Eigen/Core>

#include "complex_normal_system.h"

namespace nodara
{
    /// Nested dissection of the graph of `system` (an edge where its lower
    /// triangle holds an entry) by positions in the plane: each part is cut
    /// at the median of its wider coordinate, the vertices of the lower half
    /// joined to the upper one form the separator, and parts of at most
    /// `leaf_size` vertices stay whole. Unknown k sits at (positions[2 c],
    /// positions[2 c + 1]) for c = system.columns[k]. Returns for every
    /// unknown the number of its part, parts numbered children first and
    /// separators after them: the constraint sets of a constrained minimum
    /// degree ordering. Throws std::bad_alloc when memory runs out.
    std::vector<long> geometric_dissection(const ComplexNormalSystem& system,
                                           const Eigen::VectorXd& positions,
                                           long leaf_size);
}  // namespace nodara
