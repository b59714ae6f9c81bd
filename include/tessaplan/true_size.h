#pragma once

#include <vector>

#include <velmora/geometry/point.h>
#include <velmora/mesh/triangulated_surface.h>

namespace nodara
{
    /// How a flattening sets the size of each piece's map.
    enum struct FlatteningScale
    {
        /// The pins fix the scale (LSCM's own result).
        pins,
        /// Each piece is scaled uniformly so that its flat area equals its
        /// 3D area: a conformal map stays conformal, at the surface's size.
        area
    };

    /// Scales the map of each group of triangles joined through their
    /// vertices (pieces that share a vertex keep sharing its image, so they
    /// share one scale) uniformly about the group's area centroid, so that
    /// the total image area of its triangles equals their total 3D area.
    /// `map` holds one point per vertex of `surface`; vertices of no
    /// triangle, and groups with no 3D area or an image area that is zero
    /// or not finite, are left as they are. Returns per group, numbered as
    /// compute_vertex_components numbers the vertices' components, the
    /// factor applied to lengths (1 where nothing was scaled). Throws
    /// VelmoraException ("[scale_to_true_size] ...") when `map` holds
    /// another number of points than the surface has vertices.
    std::vector<double> scale_to_true_size(
        const TriangulatedSurface<3>& surface, std::vector<Point<2>>& map);
}  // namespace nodara
