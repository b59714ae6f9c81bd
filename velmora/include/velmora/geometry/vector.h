#pragma once

#include <cmath>
#include <limits>

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
        /// in coordinate order. When that sum overflows or comes near the
        /// bottom of the normal range (not above 1e-290), the same is
        /// computed on the vector scaled by a power of two and scaled back,
        /// so that a vector of finite coordinates has its length up to
        /// rounding (infinite only beyond the largest double).
        double length() const
        {
            const double squares = dot(*this);
            if (squares > 1e-290 &&
                squares <= std::numeric_limits<double>::max())
            {
                return std::sqrt(squares);
            }
            const auto exponent = largest_exponent(*this);
            const Vector scaled{scaled_by_power_of_two(*this, -exponent)};
            return std::ldexp(std::sqrt(scaled.dot(scaled)), exponent);
        }

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
