#include "solver_threads.h"

#include <fstream>
#include <string>

#include <dlfcn.h>
#include <omp.h>
#include <sched.h>

namespace nodara
{
    namespace
    {
        // OpenBLAS is reached through the BLAS that CHOLMOD loads, which may
        // be another implementation: look its controls up at run time.
        using GetThreads = int (*)();
        using SetThreads = void (*)(int);

        GetThreads openblas_get()
        {
            return reinterpret_cast<GetThreads>(
                ::dlsym(RTLD_DEFAULT, "openblas_get_num_threads"));
        }

        SetThreads openblas_set()
        {
            return reinterpret_cast<SetThreads>(
                ::dlsym(RTLD_DEFAULT, "openblas_set_num_threads"));
        }

        // Tasks running or ready to run on the whole machine right now, the
        // caller included; 0 when unknown.
        long running_tasks()
        {
            std::ifstream stat{"/proc/stat"};
            std::string key;
            long value = 0;
            while (stat >> key)
            {
                if (key == "procs_running" && stat >> value)
                {
                    return value;
                }
                stat.ignore(1 << 20, '\n');
            }
            return 0;
        }

        long usable_cores()
        {
            cpu_set_t cores;
            CPU_ZERO(&cores);
            if (::sched_getaffinity(0, sizeof cores, &cores) != 0)
            {
                return 1;
            }
            return CPU_COUNT(&cores);
        }

        bool no_spare_core()
        {
            const auto cores = usable_cores();
            if (cores <= 1)
            {
                return true;
            }
            const auto tasks = running_tasks();
            return tasks == 0 || tasks >= cores;
        }
    }  // namespace

    SolverThreads::SolverThreads() : single_threaded_(no_spare_core())
    {
        if (!single_threaded_)
        {
            return;
        }
        openmp_threads_ = omp_get_max_threads();
        omp_set_num_threads(1);
        const auto get = openblas_get();
        const auto set = openblas_set();
        if (get != nullptr && set != nullptr)
        {
            openblas_threads_ = get();
            set(1);
        }
    }

    SolverThreads::~SolverThreads()
    {
        if (!single_threaded_)
        {
            return;
        }
        omp_set_num_threads(openmp_threads_);
        if (openblas_threads_ > 0)
        {
            openblas_set()(openblas_threads_);
        }
    }
}  // namespace nodara
