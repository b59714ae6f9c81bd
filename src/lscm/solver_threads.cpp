#include "solver_threads.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <mutex>
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

        // OpenBLAS's thread count is one setting for the whole process, so
        // concurrent solves share one limit: the first to enter saves the
        // caller's count, the last to leave restores it. (OpenMP's limit
        // belongs to each thread and is saved by each scope.)
        class SharedBlasLimit
        {
        public:
            static void enter()
            {
                const std::lock_guard<std::mutex> lock{mutex()};
                const auto get = openblas_get();
                const auto set = openblas_set();
                if (get == nullptr || set == nullptr)
                {
                    return;
                }
                if (users()++ == 0)
                {
                    saved() = get();
                    set(1);
                }
            }

            static void leave()
            {
                const std::lock_guard<std::mutex> lock{mutex()};
                const auto set = openblas_set();
                if (set != nullptr && --users() == 0)
                {
                    set(saved());
                }
            }

        private:
            static std::mutex& mutex()
            {
                static std::mutex shared;
                return shared;
            }
            static int& users()
            {
                static int count = 0;
                return count;
            }
            static int& saved()
            {
                static int threads = 0;
                return threads;
            }
        };

        // The threads of this process running or ready to run, at least
        // the caller.
        long own_running_threads()
        {
            long running = 0;
            std::error_code error;
            for (const auto& task :
                 std::filesystem::directory_iterator{"/proc/self/task", error})
            {
                std::ifstream stat{task.path() / "stat"};
                std::string line;
                std::getline(stat, line);
                // The state follows the name, which is in parentheses.
                const auto end = line.rfind(')');
                running += end != std::string::npos && end + 2 < line.size() &&
                           line[end + 2] == 'R';
            }
            return std::max(running, 1L);
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

    bool core_to_spare()
    {
        // This process's own threads are left out: OpenMP's idle workers
        // spin for a while after each parallel region and count as running.
        const auto cores = usable_cores();
        const auto tasks = running_tasks();
        return cores > 1 && tasks > 0 &&
               tasks - own_running_threads() + 1 < cores;
    }

    SolverThreads::SolverThreads() : SolverThreads(no_spare_core()) {}

    SolverThreads::SolverThreads(bool single_threaded)
        : single_threaded_(single_threaded)
    {
        if (!single_threaded_)
        {
            return;
        }
        openmp_threads_ = omp_get_max_threads();
        omp_set_num_threads(1);
        SharedBlasLimit::enter();
    }

    SolverThreads::~SolverThreads()
    {
        if (!single_threaded_)
        {
            return;
        }
        omp_set_num_threads(openmp_threads_);
        SharedBlasLimit::leave();
    }
}  // namespace nodara
