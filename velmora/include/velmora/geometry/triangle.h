#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <type_traits>

#include <velmora/geometry/vector.h>

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

        /// The edge vectors from corner 0 to corners 1 and 2. When their
        /// largest coordinate is far from 1 (outside [2^-250, 2^250)), both
        /// are multiplied by the power of two that brings it into [0.5, 1):
        /// lengths, products and angles computed from them then neither
        /// overflow nor underflow, and the shape is kept exactly. Corners
        /// whose differences overflow are halved first. Never throws.
        std::array<Vector<D>, 2> scaled_edges() const
        {
            const auto& p0 = vertices_[0].get();
            const auto& p1 = vertices_[1].get();
            const auto& p2 = vertices_[2].get();
            std::array<Vector<D>, 2> edges{
                {Vector<D>{p0, p1}, Vector<D>{p0, p2}}};
            if (!edges[0].is_finite() || !edges[1].is_finite())
            {
                edges = {{Vector<D>{p0 * 0.5, p1 * 0.5},
                          Vector<D>{p0 * 0.5, p2 * 0.5}}};
            }
            const auto exponent = std::max(largest_exponent(edges[0]),
                                           largest_exponent(edges[1]));
            if (exponent > -250 && exponent <= 250)
            {
                return edges;
            }
            for (auto& edge : edges)
            {
                edge = Vector<D>{scaled_by_power_of_two(edge, -exponent)};
            }
            return edges;
        }

        /// The area: half the length of the cross product of the edge
        /// vectors from corner 0 to corners 1 and 2 (in the plane, half the
        /// absolute value of their cross product). Computed from the
        /// coordinates as they are, so it may overflow or vanish where
        /// scaled_edges() would not. Never throws.
        double area() const
        {
            static_assert(D == 2 || D == 3, "a triangle in 2D or 3D");
            const Vector<D> e1{vertices_[0].get(), vertices_[1].get()};
            const Vector<D> e2{vertices_[0].get(), vertices_[2].get()};
            if constexpr (D == 2)
            {
                return std::abs(e1[0] * e2[1] - e1[1] * e2[0]) / 2;
            }
            else
            {
                return cross(e1, e2).length() / 2;
            }
        }

        /// The unit normal, turning with the corner order, from the cross
        /// product of scaled_edges(), so that every triangle of finite
        /// corners and non-zero area has one; the zero vector for a
        /// triangle of zero area. 3D only. Never throws.
        template <index_t T = D>
        std::enable_if_t<T == 3, Vector<3>> unit_normal() const
        {
            const auto edges = scaled_edges();
            const auto normal = cross(edges[0], edges[1]);
            const auto length = normal.length();
            if (!(length > 0.0) || !std::isfinite(length))
            {
                return Vector<3>{};
            }
            return Vector<3>{
                {normal[0] / length, normal[1] / length, normal[2] / length}};
        }

    private:
        std::array<PointRef, 3> vertices_;
    };
}  // namespace nodara
