#pragma once

#include <vector>

#include <absl/strings/string_view.h>

#include <velmora/geometry/point.h>
#include <velmora/mesh/surface_mesh.h>
#include <velmora/mesh/triangulated_surface.h>

namespace nodara
{
    /// The pieces of a 2D map laid out side by side.
    struct PiecePacking
    {
        /// Per vertex, its packed position.
        std::vector<Point<2>> uv;
        /// The sum of the units' bounding-box areas over the area of the
        /// smallest square at the layout's lower corner that holds them all;
        /// 0 when that square has no area.
        double fill{0.0};
        /// How many units were packed.
        index_t nb_units{0};
    };

    /// Lays the pieces of `surface` (see compute_polygon_components) out side
    /// by side in the map `uv` (one point per vertex) without overlap of
    /// their bounding boxes. Pieces that share a vertex (a bow-tie) move as
    /// one unit, since a vertex has one position. Each unit is moved rigidly,
    /// by a translation and possibly a quarter turn, at the map's own scale;
    /// the boxes, rounded up to a grid of about 1/2048 of the layout's side
    /// and kept one grid step apart, are packed by a skyline packer (stb)
    /// into the smallest square found by bisection, over both packing
    /// heuristics and the units turned as given, all lying and all standing.
    /// The layout's lower corner is (0, 0); a vertex that no triangle uses
    /// is put there. Every packed point is finite. Throws
    /// InvalidInputException ("[pack_pieces] ...") when `uv` holds fewer
    /// points than the surface has vertices, or a coordinate that is not
    /// finite, and ComputationException when a packed coordinate would not
    /// be finite.
    template <index_t D>
    PiecePacking pack_pieces(const SurfaceMesh<D>& surface,
                             const std::vector<Point<2>>& uv);

    /// Packs, as pack_pieces does, the map held by the Point<2> vertex
    /// attribute `attribute_name` of `surface` and stores the packed map in
    /// that attribute. Returns the fill. Needs the attribute, of Point<2>
    /// values stored as a VariableAttribute: throws VelmoraException when it
    /// is missing or holds another value type
    /// ("[AttributeManager::find_attribute] ..."), holds another kind of
    /// storage ("[pack_parameterization_pieces] ..."), and as pack_pieces
    /// does.
    double pack_parameterization_pieces(const TriangulatedSurface<3>& surface,
                                        absl::string_view attribute_name);
}  // namespace nodara
