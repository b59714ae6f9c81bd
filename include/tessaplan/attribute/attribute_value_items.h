#pragma once

#include <velmora/basic/types.h>
#include <velmora/geometry/point.h>

namespace nodara
{
    /// How an attribute value type reads as plain floats and how values of
    /// it are interpolated. Specialised for every supported value type.
    template <typename T>
    struct AttributeValueItems;

    template <>
    struct AttributeValueItems<double>
    {
        static constexpr local_index_t count = 1;
        static float item(double value, local_index_t /*item*/)
        {
            return static_cast<float>(value);
        }
        static double zero() { return 0.0; }
        static double add_weighted(double sum, double value, double weight)
        {
            return sum + value * weight;
        }
    };

    template <index_t D>
    struct AttributeValueItems<Point<D>>
    {
        static constexpr local_index_t count = D;
        static float item(const Point<D>& value, local_index_t item)
        {
            return static_cast<float>(value.value(item));
        }
        static Point<D> zero() { return Point<D>{}; }
        static Point<D> add_weighted(const Point<D>& sum, const Point<D>& value,
                                     double weight)
        {
            return sum + value * weight;
        }
    };
}  // namespace nodara
