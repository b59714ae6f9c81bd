#pragma once

#include <memory>

#include <absl/strings/string_view.h>
#include <absl/types/span.h>

#include <velmora/geometry/point.h>
#include <velmora/mesh/triangulated_surface.h>

namespace nodara
{
    /// Builds a new surface in the plane whose vertex v lies at `points[v]`,
    /// with the same triangles, vertex order and adjacencies as `surface`.
    /// Needs one point per vertex; throws VelmoraException
    /// ("[convert_surface3d_into_2d] Expected one point per vertex ...")
    /// when `points` holds another number of points.
    std::unique_ptr<TriangulatedSurface<2>> convert_surface3d_into_2d(
        const TriangulatedSurface<3>& surface,
        absl::Span<const Point<2>> points);

    /// As above, with the points read from the Point<2> vertex attribute
    /// `attribute_name` of `surface`. Throws VelmoraException
    /// ("[AttributeManager::find_attribute] ...") when `surface` has no
    /// Point<2> vertex attribute of that name, and InvalidInputException
    /// ("[attribute_values] ...") when it holds fewer values than the
    /// surface has vertices.
    std::unique_ptr<TriangulatedSurface<2>> convert_surface3d_into_2d(
        const TriangulatedSurface<3>& surface,
        absl::string_view attribute_name);
}  // namespace nodara
