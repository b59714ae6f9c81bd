#include "parallel_tasks.h"

#include <exception>
#include <vector>

#include <omp.h>

namespace nodara
{
    void run_in_parallel(std::size_t count,
                         const std::function<void(std::size_t)>& task)
    {
        // An exception may not leave an OpenMP region: each task keeps its
        // own, and the first by index is rethrown.
        std::vector<std::exception_ptr> errors(count);
        const auto size = static_cast<long>(count);
#pragma omp parallel for schedule(dynamic, 1) if (count > 1)
        for (long i = 0; i < size; ++i)
        {
            try
            {
                task(static_cast<std::size_t>(i));
            }
            catch (...)
            {
                errors[static_cast<std::size_t>(i)] = std::current_exception();
            }
        }
        for (const auto& error : errors)
        {
            if (error)
            {
                std::rethrow_exception(error);
            }
        }
    }

    bool tasks_run_at_once()
    {
        return omp_get_max_threads() > 1 && !omp_in_parallel();
    }
}  // namespace nodara
