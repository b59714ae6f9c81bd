#pragma once

#include <vector>

#include <absl/strings/string_view.h>

#include <velmora/geometry/point.h>
#include <velmora/mesh/triangulated_surface.h>

#include <tessaplan/attribute/read_only_attribute.h>

namespace nodara
{
    /// The values of the Point<2> vertex attribute `attribute_name` of
    /// `surface`, one per vertex. Throws VelmoraException
    /// ("[AttributeManager::find_attribute] ...") when the surface has no
    /// Point<2> vertex attribute of that name, and InvalidInputException when
    /// the attribute holds fewer values than the surface has vertices.
    std::vector<Point<2>> attribute_values(
        const TriangulatedSurface<3>& surface,
        absl::string_view attribute_name);

    /// The first `nb_values` values of `attribute`. Throws
    /// std::out_of_range when it holds fewer.
    std::vector<Point<2>> attribute_values(
        const ReadOnlyAttribute<Point<2>>& attribute, index_t nb_values);
}  // namespace nodara
