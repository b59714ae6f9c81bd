#pragma once

#include <velmora/basic/attribute_base.h>

namespace nodara
{
    /// The typed read access shared by every storage kind of attributes
    /// whose values are of type T.
    template <typename T>
    class ReadOnlyAttribute : public AttributeBase
    {
    public:
        using AttributeBase::AttributeBase;

        /// The value of `element`. Throws std::out_of_range for an element
        /// at or past the number of values.
        virtual const T& value(index_t element) const = 0;
    };
}  // namespace nodara
