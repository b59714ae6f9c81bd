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
        /// Part of solve_seconds spent on the direct solution of the normal
        /// equations (zero when it was not tried).
        double direct_seconds{0};
        /// Whether the iterative solver started from the direct solution
        /// rather than from the projection.
        bool started_from_direct_solution{false};
        /// Whether the solve ran on the calling thread alone because no core
        /// was spare.
        bool single_threaded{false};
        /// Iterations of the iterative solver.
        std::int64_t iterations{0};
        /// Final relative error of the normal equations reported by the
        /// iterative solver.
        double relative_error{0};
    };
}  // namespace nodara
