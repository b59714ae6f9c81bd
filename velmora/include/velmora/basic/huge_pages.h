#pragma once

#include <cstddef>
#include <memory>
#include <vector>

namespace nodara
{
    /// Asks the kernel to back the whole 2 MiB pages inside [data, data +
    /// bytes) with transparent huge pages when they are first touched. A
    /// hint only: nothing happens on systems or ranges where it does not
    /// apply.
    void advise_huge_pages(void* data, std::size_t bytes);

    /// A standard allocator whose large blocks are huge-page backed: the
    /// buffers of a system of millions of triangles are touched once each,
    /// and on virtual machines every small page's first touch costs a
    /// trap to the hypervisor.
    template <typename T>
    struct HugePageAllocator
    {
        using value_type = T;

        HugePageAllocator() = default;
        template <typename U>
        HugePageAllocator(const HugePageAllocator<U>& /*other*/)
        {
        }

        T* allocate(std::size_t count)
        {
            auto* data = std::allocator<T>{}.allocate(count);
            advise_huge_pages(data, count * sizeof(T));
            return data;
        }

        void deallocate(T* data, std::size_t count)
        {
            std::allocator<T>{}.deallocate(data, count);
        }

        template <typename U>
        bool operator==(const HugePageAllocator<U>& /*other*/) const
        {
            return true;
        }
        template <typename U>
        bool operator!=(const HugePageAllocator<U>& /*other*/) const
        {
            return false;
        }
    };

    /// A vector for buffers that grow with the surface.
    template <typename T>
    using LargeVector = std::vector<T, HugePageAllocator<T>>;
}  // namespace nodara
