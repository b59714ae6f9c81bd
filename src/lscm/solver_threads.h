#pragma once

namespace nodara
{
    /// Whether a core is spare right now: the process may use more than
    /// one, and other processes' running tasks, with the caller, are fewer
    /// than its cores.
    bool core_to_spare();

    /// Chooses the threads of the solve for the enclosing scope. When another
    /// task already runs on every core but the caller's, OpenMP regions
    /// (Eigen's products, CHOLMOD) and OpenBLAS's own threads are limited to
    /// one thread, and the previous limits are restored on exit; otherwise
    /// nothing is changed. Scopes may run on several threads at once: each
    /// restores its own thread's OpenMP limit, and the process-wide OpenBLAS
    /// limit comes back when the last scope ends.
    ///
    /// On a 2-core machine where another process held a core, the parallel
    /// sparse products and BLAS calls of the solve were measured 1.4 to 6
    /// times slower than one thread (their threads wait for each other's
    /// time slices), while on an idle machine they gained 10 to 30 %.
    class SolverThreads
    {
    public:
        /// Limits the threads when no core is spare right now.
        SolverThreads();
        /// Limits the threads when `single_threaded` is true.
        explicit SolverThreads(bool single_threaded);
        ~SolverThreads();
        SolverThreads(const SolverThreads&) = delete;
        SolverThreads& operator=(const SolverThreads&) = delete;

        /// Whether the scope runs on the calling thread alone.
        bool single_threaded() const { return single_threaded_; }

    private:
        bool single_threaded_;
        int openmp_threads_{0};
    };
}  // namespace nodara
