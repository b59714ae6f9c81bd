#pragma once

namespace nodara
{
    /// Makes CHOLMOD's large blocks huge-page backed, by wrapping the C
    /// library's allocator in SuiteSparse's allocation hooks: its factor is
    /// the largest buffer of a solve. Done once, and only while the hooks are
    /// still the C library's own, so that a host program's allocator is never
    /// replaced; the blocks stay freeable by free().
    void use_huge_pages_in_cholmod();
}  // namespace nodara
