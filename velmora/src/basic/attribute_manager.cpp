#include <velmora/basic/attribute_manager.h>

#include <algorithm>

#include <velmora/basic/velmora_exception.h>

namespace nodara
{
    std::shared_ptr<AttributeBase> AttributeManager::find_attribute_base(
        absl::string_view name) const
    {
        const auto it = attributes_.find(name);
        if (it == attributes_.end())
        {
            return {};
        }
        return it->second;
    }

    void AttributeManager::register_attribute(
        std::shared_ptr<AttributeBase> attribute, absl::string_view name)
    {
        if (!attribute)
        {
            throw InvalidInputException{
                "[AttributeManager::register_attribute] Cannot register an "
                "empty attribute"};
        }
        attribute->resize(nb_elements_);
        attributes_[std::string{name}] = std::move(attribute);
    }

    void AttributeManager::delete_attribute(absl::string_view name)
    {
        const auto it = attributes_.find(name);
        if (it != attributes_.end())
        {
            attributes_.erase(it);
        }
    }

    bool AttributeManager::attribute_exists(absl::string_view name) const
    {
        return attributes_.contains(name);
    }

    std::vector<std::string> AttributeManager::attribute_names() const
    {
        std::vector<std::string> names;
        names.reserve(attributes_.size());
        for (const auto& entry : attributes_)
        {
            names.push_back(entry.first);
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    void AttributeManager::resize(index_t size)
    {
        for (auto& entry : attributes_)
        {
            entry.second->resize(size);
        }
        nb_elements_ = size;
    }

    void AttributeManager::copy(const AttributeManager& other)
    {
        // Clone everything first so that a failing clone leaves this manager
        // as it was.
        absl::flat_hash_map<std::string, std::shared_ptr<AttributeBase>> copies;
        copies.reserve(other.attributes_.size());
        for (const auto& entry : other.attributes_)
        {
            auto clone = entry.second->clone();
            clone->resize(other.nb_elements_);
            copies.emplace(entry.first, std::move(clone));
        }
        attributes_.swap(copies);
        nb_elements_ = other.nb_elements_;
    }

    void AttributeManager::remove_elements(const std::vector<bool>& to_remove)
    {
        if (to_remove.size() != nb_elements_)
        {
            throw InvalidInputException{
                "[AttributeManager::remove_elements] Expected one flag per "
                "element"};
        }
        for (auto& entry : attributes_)
        {
            entry.second->remove_elements(to_remove);
        }
        nb_elements_ = static_cast<index_t>(
            std::count(to_remove.begin(), to_remove.end(), false));
    }

    void AttributeManager::reorder_elements(absl::Span<const index_t> order)
    {
        if (order.size() != nb_elements_)
        {
            throw InvalidInputException{
                "[AttributeManager::reorder_elements] Expected one entry per "
                "element"};
        }
        // Checked here rather than left to each attribute: an attribute kind
        // that trusts its input would write out of bounds, and a check that
        // fails in the second attribute would leave the first one permuted.
        std::vector<bool> seen(nb_elements_, false);
        for (const auto index : order)
        {
            if (index >= nb_elements_ || seen[index])
            {
                throw InvalidInputException{
                    "[AttributeManager::reorder_elements] The order is not a "
                    "permutation of the elements"};
            }
            seen[index] = true;
        }
        for (auto& entry : attributes_)
        {
            entry.second->reorder_elements(order);
        }
    }

    void AttributeManager::interpolate_attribute_value(
        const AttributeLinearInterpolation& interpolation, index_t element)
    {
        check_element(element, "interpolate_attribute_value");
        for (const auto index : interpolation.indices)
        {
            check_element(index, "interpolate_attribute_value");
        }
        if (interpolation.indices.size() != interpolation.weights.size())
        {
            throw InvalidInputException{
                "[AttributeManager::interpolate_attribute_value] Expected one "
                "weight per index"};
        }
        for (auto& entry : attributes_)
        {
            entry.second->interpolate_value(interpolation, element);
        }
    }

    void AttributeManager::copy_attribute_value(
        index_t from_element, index_t to_element)
    {
        check_element(from_element, "copy_attribute_value");
        check_element(to_element, "copy_attribute_value");
        for (auto& entry : attributes_)
        {
            entry.second->copy_value(from_element, to_element);
        }
    }

    void AttributeManager::check_element(
        index_t element, const char* operation) const
    {
        if (element >= nb_elements_)
        {
            throw InvalidInputException{std::string{"[AttributeManager::"} +
                                   operation + "] Element index out of range"};
        }
    }
}  // namespace nodara
