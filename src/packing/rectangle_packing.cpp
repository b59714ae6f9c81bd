#include "rectangle_packing.h"

#include <stb_rect_pack.h>

namespace nodara
{
    std::vector<std::array<int, 2>> pack_rectangles(
        const std::vector<std::array<int, 2>>& sizes, int side,
        PackingRule rule)
    {
        if (sizes.empty() || side <= 0)
        {
            return {};
        }
        std::vector<stbrp_rect> rects(sizes.size());
        for (std::size_t r = 0; r < sizes.size(); ++r)
        {
            rects[r].id = static_cast<int>(r);
            rects[r].w = sizes[r][0];
            rects[r].h = sizes[r][1];
        }
        stbrp_context context;
        std::vector<stbrp_node> nodes(static_cast<std::size_t>(side));
        stbrp_init_target(&context, side, side, nodes.data(), side);
        stbrp_setup_heuristic(&context,
                              rule == PackingRule::bottom_left
                                  ? STBRP_HEURISTIC_Skyline_BL_sortHeight
                                  : STBRP_HEURISTIC_Skyline_BF_sortHeight);
        if (stbrp_pack_rects(&context, rects.data(),
                             static_cast<int>(rects.size())) != 1)
        {
            return {};
        }
        // The packer keeps the given order.
        std::vector<std::array<int, 2>> corners(sizes.size());
        for (const auto& rect : rects)
        {
            corners[static_cast<std::size_t>(rect.id)] = {rect.x, rect.y};
        }
        return corners;
    }
}  // namespace nodara
