#pragma once

#include <memory>

#include <absl/strings/string_view.h>

#include <velmora/basic/attribute_manager.h>
#include <velmora/basic/velmora_exception.h>

#include <tessaplan/attribute/read_only_attribute.h>

namespace nodara
{
    /// The attribute of storage kind Storage and value type T registered
    /// under `name` in `manager`, unchanged; or, when the name is free, a new
    /// one made from `default_value` and `flags` and registered under it.
    /// Throws VelmoraException ("[AttributeManager::find_or_create_attribute]
    /// ...") when the name holds an attribute of another storage kind or
    /// value type; nothing is created then.
    template <template <typename> class Storage, typename T>
    std::shared_ptr<Storage<T>> find_or_create_attribute(
        AttributeManager& manager, absl::string_view name, T default_value,
        AttributeFlags flags)
    {
        auto base = manager.find_attribute_base(name);
        if (auto typed = std::dynamic_pointer_cast<Storage<T>>(base))
        {
            return typed;
        }
        if (base && base.use_count() >= 2)
        {
            throw InvalidInputException{
                "[AttributeManager::find_or_create_attribute] Do not "
                "instantiate an attribute if an instantiated attribute of the "
                "same name with different storage already exists."};
        }
        auto created =
            std::make_shared<Storage<T>>(std::move(default_value), flags);
        manager.register_attribute(created, name);
        return created;
    }

    /// Read access to the attribute of values of type T registered under
    /// `name` in `manager`, whatever its storage kind. Throws
    /// VelmoraException ("[AttributeManager::find_attribute] ...") when the
    /// name is free or holds another value type.
    template <typename T>
    std::shared_ptr<ReadOnlyAttribute<T>> find_attribute(
        const AttributeManager& manager, absl::string_view name)
    {
        auto typed = std::dynamic_pointer_cast<ReadOnlyAttribute<T>>(
            manager.find_attribute_base(name));
        if (!typed)
        {
            throw InvalidInputException{
                "[AttributeManager::find_attribute] You have to create an "
                "attribute before using it. See find_or_create_attribute "
                "method and derived classes of ReadOnlyAttribute."};
        }
        return typed;
    }
}  // namespace nodara
