#include <future>
#include <thread>

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <omp.h>

#include "lscm/solver_threads.h"

namespace nodara
{
    namespace
    {
        using GetThreads = int (*)();
        using SetThreads = void (*)(int);
    }  // namespace

    TEST(SolverThreads, InterleavedScopesRestoreTheCallersSettings)
    {
        const auto get = reinterpret_cast<GetThreads>(
            ::dlsym(RTLD_DEFAULT, "openblas_get_num_threads"));
        const auto set = reinterpret_cast<SetThreads>(
            ::dlsym(RTLD_DEFAULT, "openblas_set_num_threads"));
        if (get == nullptr || set == nullptr)
        {
            GTEST_SKIP() << "OpenBLAS is not the BLAS of this process";
        }
        set(2);

        // Scope A opens, then scope B, then A closes before B: B must not
        // take A's limit of one thread for the caller's setting.
        std::promise<void> a_open;
        std::promise<void> b_open;
        std::promise<void> a_closed;
        int a_threads_after = 0;
        int b_threads_after = 0;
        std::thread a{[&]
                      {
                          omp_set_num_threads(3);
                          {
                              const SolverThreads limit{true};
                              EXPECT_EQ(omp_get_max_threads(), 1);
                              a_open.set_value();
                              b_open.get_future().wait();
                          }
                          a_threads_after = omp_get_max_threads();
                          a_closed.set_value();
                      }};
        std::thread b{[&]
                      {
                          omp_set_num_threads(5);
                          a_open.get_future().wait();
                          {
                              const SolverThreads limit{true};
                              EXPECT_EQ(get(), 1);
                              b_open.set_value();
                              a_closed.get_future().wait();
                              EXPECT_EQ(get(), 1);
                          }
                          b_threads_after = omp_get_max_threads();
                      }};
        a.join();
        b.join();
        EXPECT_EQ(get(), 2);
        EXPECT_EQ(a_threads_after, 3);
        EXPECT_EQ(b_threads_after, 5);
    }
}  // namespace nodara
