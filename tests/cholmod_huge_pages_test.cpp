#include <cstdlib>

#include <SuiteSparse_config.h>
#include <cholmod.h>
#include <gtest/gtest.h>

#include "lscm/cholmod_huge_pages.h"

namespace nodara
{
    namespace
    {
        int host_allocations = 0;

        void* host_malloc(std::size_t bytes)
        {
            ++host_allocations;
            return std::malloc(bytes);
        }

        // Allocates a dense matrix through CHOLMOD and frees it.
        bool cholmod_round_trip(std::size_t rows)
        {
            cholmod_common common;
            cholmod_l_start(&common);
            common.print = 0;
            auto* dense = cholmod_l_zeros(rows, 1, CHOLMOD_REAL, &common);
            const bool zeroed = dense != nullptr &&
                                static_cast<double*>(dense->x)[rows - 1] == 0;
            cholmod_l_free_dense(&dense, &common);
            cholmod_l_finish(&common);
            return zeroed;
        }
    }  // namespace

    // Each case runs in a child process: the hooks are installed once per
    // process.
    TEST(CholmodHugePages, WrapsTheCLibraryAllocator)
    {
        EXPECT_EXIT(
            {
                use_huge_pages_in_cholmod();
                const bool wrapped =
                    SuiteSparse_config.malloc_func != &std::malloc &&
                    SuiteSparse_config.free_func == &std::free;
                // 32 MiB, allocated and freed through the wrapped hooks.
                std::exit(wrapped && cholmod_round_trip(std::size_t{4} << 20)
                              ? 0
                              : 1);
            },
            testing::ExitedWithCode(0), "");
    }

    TEST(CholmodHugePages, KeepsAHostProgramsAllocator)
    {
        EXPECT_EXIT(
            {
                SuiteSparse_config.malloc_func = &host_malloc;
                use_huge_pages_in_cholmod();
                const bool kept =
                    SuiteSparse_config.malloc_func == &host_malloc;
                const bool used =
                    cholmod_round_trip(1000) && host_allocations > 0;
                std::exit(kept && used ? 0 : 1);
            },
            testing::ExitedWithCode(0), "");
    }
}  // namespace nodara
