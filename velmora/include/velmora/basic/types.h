#pragma once

#include <cstdint>
#include <limits>

namespace nodara
{
    /// Element ids (vertices, polygons) count from 0.
    using index_t = std::uint32_t;
    /// Local index of a corner or an edge inside a polygon.
    using local_index_t = std::uint8_t;

    /// The id that stands for "no element".
    constexpr index_t NO_ID = std::numeric_limits<index_t>::max();
}  // namespace nodara
