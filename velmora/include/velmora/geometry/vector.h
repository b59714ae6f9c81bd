#pragma once

#include <cmath>

#include <velmora/geometry/point.h>

namespace nodara
{
    /// A direction with D double-precision coordinates.
    template <index_t D>
    class Vector : public Point<D>
    {
    public:
        Vector() = default;
        explicit Vector(const Point<D>& values) : Point<D>(values) {}
        explicit Vector(const std::array<double, D>& values)
            : Point<D>(values)
        {
        }
        /// The vector from `from` to `to`.
        Vector(const Point<D>& from, const Point<D>& to) : Point<D>(to - from)
        {
        }

        /// Dot product, summed in coordinate order from 0.
        double dot(const Vector& other) const
        {
            double result = 0.0;
            for (index_t i = 0; i < D; ++i)
            {
                result += this->value(i) * other.value(i);
            }
            return result;
        }

        /// Euclidean length: the square root of the coordinate squares summed
        /// in coordinate order.
        double length() const { return std::sqrt(dot(*this)); }

        /// This vector divided by its length. Throws VelmoraException when the
        /// length is not greater than 1e-30.
        Vector normalize() const { return Vector{*this / length()}; }
    };

    /// The cross product of two 3D vectors.
    inline Vector<3> cross(const Vector<3>& a, const Vector<3>& b)
    {
        return Vector<3>{{a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2],
                          a[0] * b[1] - a[1] * b[0]}};
    }

    using Vector2D = Vector<2>;
    using Vector3D = Vector<3>;
}  // namespace nodara
