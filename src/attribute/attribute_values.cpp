#include <tessaplan/attribute/attribute_values.h>

#include <stdexcept>
#include <string>

#include <tessaplan/attribute/attribute_lookup.h>
#include <velmora/basic/velmora_exception.h>

namespace nodara
{
    std::vector<Point<2>> attribute_values(
        const TriangulatedSurface<3>& surface, absl::string_view attribute_name)
    {
        const auto attribute = find_attribute<Point<2>>(
            surface.vertex_attribute_manager(), attribute_name);
        try
        {
            return attribute_values(*attribute, surface.nb_vertices());
        }
        catch (const std::out_of_range&)
        {
            throw InvalidInputException{
                "[attribute_values] The attribute '" +
                std::string{attribute_name} +
                "' holds fewer values than the surface has vertices (" +
                std::to_string(surface.nb_vertices()) + ")"};
        }
    }

    std::vector<Point<2>> attribute_values(
        const ReadOnlyAttribute<Point<2>>& attribute, index_t nb_values)
    {
        std::vector<Point<2>> values;
        values.reserve(nb_values);
        for (index_t v = 0; v < nb_values; ++v)
        {
            values.push_back(attribute.value(v));
        }
        return values;
    }
}  // namespace nodara
