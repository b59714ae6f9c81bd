#pragma once

#include <array>
#include <vector>

namespace nodara
{
    /// Where the skyline packer puts each rectangle: as low as it goes, or
    /// where it wastes the least space below it.
    enum class PackingRule
    {
        bottom_left,
        best_fit
    };

    /// Places rectangles of whole-number sizes (width, height) without
    /// overlap in a square of `side` by `side`, with stb's skyline packer,
    /// tallest first. Returns the lower corner of each rectangle, in the
    /// order given, or an empty vector when they do not all fit (or there
    /// are none). Throws std::bad_alloc when memory runs out.
    std::vector<std::array<int, 2>> pack_rectangles(
        const std::vector<std::array<int, 2>>& sizes, int side,
        PackingRule rule = PackingRule::bottom_left);
}  // namespace nodara
