#pragma once

#include <memory>
#include <string>
#include <vector>

#include <absl/container/flat_hash_map.h>
#include <absl/strings/string_view.h>
#include <absl/types/span.h>

#include <velmora/basic/attribute_base.h>
#include <velmora/basic/types.h>

namespace nodara
{
    /// Keeps the attributes of one kind of mesh element under their names and
    /// keeps every one of them sized to the element count.
    class AttributeManager
    {
    public:
        AttributeManager() = default;
        AttributeManager(const AttributeManager&) = delete;
        AttributeManager& operator=(const AttributeManager&) = delete;

        /// The attribute registered under `name`, sharing ownership with the
        /// manager, or an empty pointer.
        std::shared_ptr<AttributeBase> find_attribute_base(
            absl::string_view name) const;

        /// Registers `attribute` under `name`, replacing any attribute of that
        /// name, and resizes it to the element count. Throws VelmoraException
        /// for an empty handle.
        void register_attribute(
            std::shared_ptr<AttributeBase> attribute, absl::string_view name);

        /// Drops the attribute registered under `name`, if any.
        void delete_attribute(absl::string_view name);

        /// Whether an attribute is registered under `name`.
        bool attribute_exists(absl::string_view name) const;

        /// The registered names, sorted.
        std::vector<std::string> attribute_names() const;

        /// The number of elements every attribute is sized to.
        index_t nb_elements() const { return nb_elements_; }

        /// Sets the element count and resizes every attribute to it.
        void resize(index_t size);

        /// Replaces this manager's attributes by clones of `other`'s, sized to
        /// `other`'s element count.
        void copy(const AttributeManager& other);

        /// Drops the flagged elements from every attribute. Throws
        /// VelmoraException when the flag count is not the element count.
        void remove_elements(const std::vector<bool>& to_remove);

        /// Permutes every attribute: new element k is old element order[k].
        /// Throws VelmoraException when `order` is not a permutation of the
        /// elements.
        void reorder_elements(absl::Span<const index_t> order);

        /// Gives `element` the interpolated value in every attribute. Throws
        /// VelmoraException for an index past the end.
        void interpolate_attribute_value(
            const AttributeLinearInterpolation& interpolation,
            index_t element);

        /// Copies the value of `from_element` onto `to_element` in every
        /// attribute. Throws VelmoraException for an index past the end.
        void copy_attribute_value(index_t from_element, index_t to_element);

    private:
        void check_element(index_t element, const char* operation) const;

        absl::flat_hash_map<std::string, std::shared_ptr<AttributeBase>>
            attributes_;
        index_t nb_elements_{0};
    };
}  // namespace nodara
