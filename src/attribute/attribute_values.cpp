#include <tessaplan/attribute/attribute_values.h>

#include <tessaplan/attribute/attribute_lookup.h>

namespace nodara
{
    std::vector<Point<2>> attribute_values(
        const TriangulatedSurface<3>& surface, absl::string_view attribute_name)
    {
        return attribute_values(
            *find_attribute<Point<2>>(surface.vertex_attribute_manager(),
                                      attribute_name),
            surface.nb_vertices());
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
