#pragma once

#include <cstddef>
#include <functional>

namespace nodara
{
    /// Runs task(i) for every i below `count`, several at once on the
    /// threads OpenMP gives. The tasks must be independent (each writes only
    /// its own results), so that what they compute does not depend on the
    /// number of threads or their order. Rethrows the exception of the
    /// lowest task that threw, once all have run.
    void run_in_parallel(std::size_t count,
                         const std::function<void(std::size_t)>& task);

    /// Whether run_in_parallel runs tasks several at once here: more than
    /// one thread is allowed and no parallel region is running already.
    bool tasks_run_at_once();
}  // namespace nodara
