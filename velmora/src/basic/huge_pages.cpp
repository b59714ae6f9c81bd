#include <velmora/basic/huge_pages.h>

#include <cstdint>

#include <sys/mman.h>

namespace nodara
{

    namespace
    {
        constexpr std::uintptr_t huge_page = std::uintptr_t{1} << 21;
    }  // namespace

    void advise_huge_pages(void* data, std::size_t bytes)
    {
        const auto begin = reinterpret_cast<std::uintptr_t>(data);
        const auto first = (begin + huge_page - 1) & ~(huge_page - 1);
        const auto last = (begin + bytes) & ~(huge_page - 1);
        if (data == nullptr || bytes < huge_page || last <= first)
        {
            return;
        }
        // Refused advice (no transparent huge pages) changes nothing.
        static_cast<void>(::madvise(reinterpret_cast<void*>(first),
                                    last - first, MADV_HUGEPAGE));
    }
}  // namespace nodara
