#pragma once

#include <memory>
#include <vector>

#include <absl/container/inlined_vector.h>
#include <absl/strings/string_view.h>
#include <absl/types/span.h>

#include <velmora/basic/types.h>

namespace nodara
{
    /// Two flags given to an attribute at creation and carried by its copies.
    /// The first marks an attribute whose values may be interpolated when the
    /// mesh creates elements; the second one that is kept on mesh copies only
    /// on request. Attributes store and pass them; the manager reads neither.
    struct AttributeFlags
    {
        bool assignable{true};
        bool transferable{false};
    };

    /// Weighted sum of existing element values: value = sum(weights[i] *
    /// value(indices[i])). Used by the mesh to give a value to a new element.
    struct AttributeLinearInterpolation
    {
        absl::InlinedVector<index_t, 3> indices;
        absl::InlinedVector<double, 3> weights;
    };

    /// The untyped interface through which an attribute manager handles every
    /// registered attribute, whatever its storage kind and value type.
    class AttributeBase
    {
    public:
        AttributeBase() = default;
        explicit AttributeBase(AttributeFlags flags) : flags_(flags) {}
        AttributeBase(const AttributeBase&) = delete;
        AttributeBase& operator=(const AttributeBase&) = delete;
        virtual ~AttributeBase() = default;

        /// First component of the value of `element` in single precision.
        /// Throws std::out_of_range for an element past the end.
        virtual float float_value(index_t element) const = 0;

        /// Component `item` of the value of `element` in single precision.
        /// Throws std::out_of_range for an element past the end or a bad item.
        virtual float float_item_value(
            index_t element, local_index_t item) const = 0;

        /// Whether values can be read as floats.
        virtual bool has_float_values() const = 0;

        /// Number of float components of one value.
        virtual local_index_t nb_float_items() const = 0;

        /// The run-time type name of the value type.
        virtual absl::string_view value_type_name() const = 0;

        /// An independent copy: same flags, default value and values.
        virtual std::shared_ptr<AttributeBase> clone() const = 0;

        /// Takes the default value of `other` and, unless nb_elements is 0,
        /// its first nb_elements values. Throws std::bad_cast when `other` is
        /// not of the same kind and value type, std::out_of_range when it
        /// holds fewer values.
        virtual void copy_from(
            const AttributeBase& other, index_t nb_elements) = 0;

        /// Sets the number of values; new elements get the default value.
        virtual void resize(index_t size) = 0;

        /// Makes room for `capacity` values.
        virtual void reserve(index_t capacity) = 0;

        /// Drops every element whose flag is set, keeping the order of the
        /// others. Throws VelmoraException when the flag count is not the
        /// number of values.
        virtual void remove_elements(const std::vector<bool>& to_remove) = 0;

        /// Afterwards the value at k is the one that was at order[k]. Throws
        /// VelmoraException when `order` is not a permutation of the values.
        virtual void reorder_elements(absl::Span<const index_t> order) = 0;

        /// Stores the weighted sum of `interpolation` as the value of
        /// `element`. Throws std::out_of_range for an index past the end.
        virtual void interpolate_value(
            const AttributeLinearInterpolation& interpolation,
            index_t element) = 0;

        /// Copies the value of `from_element` onto `to_element`. Throws
        /// std::out_of_range for an index past the end.
        virtual void copy_value(index_t from_element, index_t to_element) = 0;

        AttributeFlags flags() const { return flags_; }

    private:
        AttributeFlags flags_{};
    };
}  // namespace nodara
