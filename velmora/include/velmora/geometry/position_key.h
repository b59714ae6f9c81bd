#pragma once

#include <array>

#include <velmora/geometry/point.h>

namespace nodara
{
    /// The coordinates of `point` as a key for hash maps of exact positions,
    /// with -0 taken as +0, so that keys are equal exactly when the
    /// positions are. Meant for finite coordinates (NaN equals nothing).
    template <index_t D>
    std::array<double, D> position_key(const Point<D>& point)
    {
        std::array<double, D> key{};
        for (index_t k = 0; k < D; ++k)
        {
            key[k] = point[k] + 0.0;
        }
        return key;
    }
}  // namespace nodara
