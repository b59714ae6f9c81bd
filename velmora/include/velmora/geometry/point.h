#pragma once

#include <array>
#include <cmath>
#include <cstddef>

#include <velmora/basic/velmora_exception.h>
#include <velmora/basic/types.h>

namespace nodara
{
    /// A point with D double-precision coordinates.
    template <index_t D>
    class Point
    {
    public:
        Point() { values_.fill(0.0); }
        explicit Point(const std::array<double, D>& values) : values_(values)
        {
        }

        double value(local_index_t index) const { return values_[index]; }
        void set_value(local_index_t index, double value)
        {
            values_[index] = value;
        }
        double& operator[](std::size_t index) { return values_[index]; }
        double operator[](std::size_t index) const { return values_[index]; }

        bool operator==(const Point& other) const
        {
            return values_ == other.values_;
        }
        bool operator!=(const Point& other) const { return !(*this == other); }

        Point operator+(const Point& other) const
        {
            Point result;
            for (index_t i = 0; i < D; ++i)
            {
                result.values_[i] = values_[i] + other.values_[i];
            }
            return result;
        }

        Point operator-(const Point& other) const
        {
            Point result;
            for (index_t i = 0; i < D; ++i)
            {
                result.values_[i] = values_[i] - other.values_[i];
            }
            return result;
        }

        Point operator*(double multiplier) const
        {
            Point result;
            for (index_t i = 0; i < D; ++i)
            {
                result.values_[i] = values_[i] * multiplier;
            }
            return result;
        }

        /// Divides every coordinate by `divisor`. Throws VelmoraException when
        /// |divisor| is not greater than 1e-30 (NaN included).
        Point operator/(double divisor) const
        {
            if (!(std::fabs(divisor) > 1e-30))
            {
                throw ComputationException{
                    "[Point::operator/] Cannot divide Point by something close "
                    "to zero"};
            }
            Point result;
            for (index_t i = 0; i < D; ++i)
            {
                result.values_[i] = values_[i] / divisor;
            }
            return result;
        }

        /// Whether every coordinate is finite.
        bool is_finite() const
        {
            for (const auto value : values_)
            {
                if (!std::isfinite(value))
                {
                    return false;
                }
            }
            return true;
        }

    private:
        std::array<double, D> values_;
    };

    /// The exponent of the largest absolute coordinate of `point` as
    /// std::frexp gives it: that coordinate lies in [2^(e-1), 2^e). 0 when
    /// every coordinate is zero or one is not finite.
    template <index_t D>
    int largest_exponent(const Point<D>& point)
    {
        double largest = 0.0;
        for (index_t i = 0; i < D; ++i)
        {
            largest = std::fmax(largest, std::fabs(point[i]));
        }
        int exponent = 0;
        if (std::isfinite(largest))
        {
            std::frexp(largest, &exponent);
        }
        return exponent;
    }

    /// `point` with every coordinate multiplied by 2^exponent (std::ldexp),
    /// which is exact unless a coordinate leaves the range of normal doubles.
    template <index_t D>
    Point<D> scaled_by_power_of_two(const Point<D>& point, int exponent)
    {
        Point<D> result;
        for (index_t i = 0; i < D; ++i)
        {
            result[i] = std::ldexp(point[i], exponent);
        }
        return result;
    }

    using Point2D = Point<2>;
    using Point3D = Point<3>;
}  // namespace nodara
