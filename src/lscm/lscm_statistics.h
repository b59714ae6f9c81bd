#pragma once

#include <cstdint>

namespace nodara
{
    /// What one LSCM computation did and how long each step took, for
    /// benchmarks and diagnostics. Times are wall-clock seconds.
    struct LSCMStatistics
    {
        double pin_seconds{0};
        double assembly_seconds{0};
        double solve_seconds{0};
        /// Iterations of the iterative solver.
        std::int64_t iterations{0};
        /// Final relative error of the normal equations reported by the
        /// iterative solver.
        double relative_error{0};
    };
}  // namespace nodara
