#pragma once

#include <array>
#include <functional>

#include <velmora/geometry/point.h>

namespace nodara
{
    /// A triangle that refers to its three corner points without copying
    /// them: the points must outlive the triangle.
    template <index_t D>
    class Triangle
    {
    public:
        using PointRef = std::reference_wrapper<const Point<D>>;

        Triangle(const Point<D>& p0, const Point<D>& p1, const Point<D>& p2)
            : vertices_{{p0, p1, p2}}
        {
        }

        /// The corner points in corner order 0, 1, 2.
        const std::array<PointRef, 3>& vertices() const { return vertices_; }

    private:
        std::array<PointRef, 3> vertices_;
    };
}  // namespace nodara
