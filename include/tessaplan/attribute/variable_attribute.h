#pragma once

#include <algorithm>
#include <memory>
#include <stdexcept>
#include <typeinfo>
#include <vector>

#include <velmora/basic/velmora_exception.h>

#include <tessaplan/attribute/attribute_value_items.h>
#include <tessaplan/attribute/read_only_attribute.h>

namespace nodara
{
    /// An attribute that stores one value of type T per element.
    template <typename T>
    class VariableAttribute : public ReadOnlyAttribute<T>
    {
        using Items = AttributeValueItems<T>;

    public:
        /// A new attribute with no values and room for 10.
        VariableAttribute(T default_value, AttributeFlags flags)
            : ReadOnlyAttribute<T>(flags),
              default_value_(std::move(default_value))
        {
            values_.reserve(10);
        }

        // The overrides below are AttributeBase's operations (see
        // velmora/basic/attribute_base.h) on values of type T.

        /// The first item of the value of `element` as a float. Throws
        /// std::out_of_range for an element at or past the number of values.
        float float_value(index_t element) const override
        {
            return Items::item(value(element), 0);
        }

        /// Item `item` of the value of `element` as a float. Throws
        /// std::out_of_range ("[VariableAttribute::float_item_value] ...")
        /// for an item past the value type's count, and for an element at or
        /// past the number of values.
        float float_item_value(index_t element,
                               local_index_t item) const override
        {
            const auto& stored = value(element);
            if (item >= Items::count)
            {
                throw std::out_of_range{
                    "[VariableAttribute::float_item_value] Item index out of "
                    "range"};
            }
            return Items::item(stored, item);
        }

        bool has_float_values() const override { return true; }

        local_index_t nb_float_items() const override { return Items::count; }

        absl::string_view value_type_name() const override
        {
            return typeid(T).name();
        }

        std::shared_ptr<AttributeBase> clone() const override
        {
            auto copy = std::make_shared<VariableAttribute<T>>(default_value_,
                                                               this->flags());
            copy->values_.assign(values_.begin(), values_.end());
            return copy;
        }

        /// Takes the first `nb_elements` values and the default value of
        /// `other`, which must be a VariableAttribute<T> (std::bad_cast
        /// otherwise). Throws std::out_of_range
        /// ("[VariableAttribute::copy_from] ...") when it holds fewer values.
        void copy_from(const AttributeBase& other, index_t nb_elements) override
        {
            const auto& source =
                dynamic_cast<const VariableAttribute<T>&>(other);
            if (source.values_.size() < nb_elements)
            {
                throw std::out_of_range{
                    "[VariableAttribute::copy_from] The source holds fewer "
                    "values than asked for"};
            }
            default_value_ = source.default_value_;
            if (nb_elements == 0)
            {
                return;
            }
            if (&source == this)
            {
                // assign() from a range of the vector itself is undefined.
                values_.resize(nb_elements);
                return;
            }
            values_.assign(source.values_.begin(),
                           source.values_.begin() + nb_elements);
        }

        void resize(index_t size) override
        {
            const auto capacity = values_.capacity();
            if (size > capacity)
            {
                values_.reserve(std::max<std::size_t>(size, 2 * capacity));
            }
            values_.resize(size, default_value_);
        }

        void reserve(index_t capacity) override { values_.reserve(capacity); }

        /// Drops the values flagged in `to_remove`, keeping the others in
        /// order. Needs one flag per value: throws VelmoraException
        /// ("[VariableAttribute::remove_elements] ...") otherwise.
        void remove_elements(const std::vector<bool>& to_remove) override;

        /// Puts the value of element order[k] at k. Needs a permutation of
        /// the elements: throws VelmoraException
        /// ("[VariableAttribute::reorder_elements] ...") otherwise, changing
        /// nothing.
        void reorder_elements(absl::Span<const index_t> order) override;

        void interpolate_value(
            const AttributeLinearInterpolation& interpolation,
            index_t element) override
        {
            auto result = Items::zero();
            for (std::size_t i = 0; i < interpolation.indices.size(); ++i)
            {
                result =
                    Items::add_weighted(result, value(interpolation.indices[i]),
                                        interpolation.weights.at(i));
            }
            set_value(element, result);
        }

        void copy_value(index_t from_element, index_t to_element) override
        {
            set_value(to_element, value(from_element));
        }

        const T& value(index_t element) const override
        {
            return values_.at(element);
        }

        /// Stores `value` for `element`. Throws std::out_of_range for an
        /// element at or past the number of values, changing nothing.
        void set_value(index_t element, const T& value)
        {
            values_.at(element) = value;
        }

        /// The value given to elements added by resize.
        const T& default_value() const { return default_value_; }

        /// The number of stored values.
        index_t nb_values() const
        {
            return static_cast<index_t>(values_.size());
        }

        /// How many values fit before the storage grows.
        index_t capacity() const
        {
            return static_cast<index_t>(values_.capacity());
        }

    private:
        T default_value_;
        std::vector<T> values_;
    };

    template <typename T>
    void VariableAttribute<T>::remove_elements(
        const std::vector<bool>& to_remove)
    {
        if (to_remove.size() != values_.size())
        {
            throw InvalidInputException{
                "[VariableAttribute::remove_elements] Expected one flag per "
                "element"};
        }
        if (std::find(to_remove.begin(), to_remove.end(), true) ==
            to_remove.end())
        {
            return;
        }
        std::size_t removed = 0;
        for (std::size_t k = 0; k < values_.size(); ++k)
        {
            if (to_remove[k])
            {
                ++removed;
            }
            else if (removed > 0)
            {
                values_[k - removed] = std::move(values_[k]);
            }
        }
        values_.resize(values_.size() - removed, default_value_);
    }

    template <typename T>
    void VariableAttribute<T>::reorder_elements(absl::Span<const index_t> order)
    {
        const auto size = values_.size();
        // One visited bit per element: first to check that `order` is a
        // permutation (a bad entry would write out of bounds), then to follow
        // the cycles.
        std::vector<bool> visited(size, false);
        bool permutation = order.size() == size;
        for (std::size_t k = 0; permutation && k < size; ++k)
        {
            permutation = order[k] < size && !visited[order[k]];
            if (permutation)
            {
                visited[order[k]] = true;
            }
        }
        if (!permutation)
        {
            throw InvalidInputException{
                "[VariableAttribute::reorder_elements] The order is not a "
                "permutation of the elements"};
        }
        std::fill(visited.begin(), visited.end(), false);
        for (std::size_t start = 0; start < size; ++start)
        {
            if (visited[start] || order[start] == start)
            {
                continue;
            }
            visited[start] = true;
            T saved = std::move(values_[start]);
            auto current = start;
            while (order[current] != start)
            {
                const std::size_t next = order[current];
                values_[current] = std::move(values_[next]);
                visited[next] = true;
                current = next;
            }
            values_[current] = std::move(saved);
        }
    }

    extern template class VariableAttribute<double>;
    extern template class VariableAttribute<Point<2>>;
    extern template class VariableAttribute<Point<3>>;
}  // namespace nodara
