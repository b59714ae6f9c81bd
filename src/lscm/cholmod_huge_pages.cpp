#include "cholmod_huge_pages.h"

#include <cstdlib>
#include <mutex>

#include <SuiteSparse_config.h>
#include <velmora/basic/huge_pages.h>

namespace nodara
{
    namespace
    {
        // Smaller blocks come from the C library's heap, where advice would
        // split its mappings for little gain.
        constexpr std::size_t large_block = std::size_t{4} << 20;

        void advise_if_large(void* data, std::size_t bytes)
        {
            if (data != nullptr && bytes >= large_block)
            {
                advise_huge_pages(data, bytes);
            }
        }

        void* malloc_advised(std::size_t bytes)
        {
            auto* data = std::malloc(bytes);
            advise_if_large(data, bytes);
            return data;
        }

        void* calloc_advised(std::size_t count, std::size_t size)
        {
            // Large zeroed blocks are fresh mappings that calloc does not
            // touch, so the advice still applies to their first touch. A
            // block is only returned when count * size does not overflow.
            auto* data = std::calloc(count, size);
            advise_if_large(data, count * size);
            return data;
        }

        void* realloc_advised(void* old, std::size_t bytes)
        {
            auto* data = std::realloc(old, bytes);
            advise_if_large(data, bytes);
            return data;
        }
    }  // namespace

    void use_huge_pages_in_cholmod()
    {
        static std::once_flag once;
        std::call_once(once,
                       []
                       {
                           auto& hooks = SuiteSparse_config;
                           if (hooks.malloc_func != &std::malloc ||
                               hooks.calloc_func != &std::calloc ||
                               hooks.realloc_func != &std::realloc ||
                               hooks.free_func != &std::free)
                           {
                               return;
                           }
                           hooks.malloc_func = &malloc_advised;
                           hooks.calloc_func = &calloc_advised;
                           hooks.realloc_func = &realloc_advised;
                       });
    }
}  // namespace nodara
