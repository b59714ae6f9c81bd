#include <tessaplan/cut_flattening.h>

#include "lscm/piece_pins.h"

namespace nodara
{
    namespace
    {
        // The pins on the cut surface: each on the first copy of its
        // vertex, which lies in the lowest triangle that uses it.
        std::vector<VertexPin> pins_on_cut(const EdgeCut& cut,
                                           const std::vector<VertexPin>& pins,
                                           index_t nb_source_vertices)
        {
            std::vector<index_t> first_copy(nb_source_vertices, NO_ID);
            for (index_t v = static_cast<index_t>(cut.source.size()); v-- > 0;)
            {
                first_copy[cut.source[v]] = v;
            }
            // Checked on the source first, so that errors name its vertices.
            checked_given_pins(pins, nb_source_vertices);
            std::vector<VertexPin> moved;
            for (const auto& pin : pins)
            {
                // A vertex of no triangle is not in the cut surface, and a
                // pin on it holds nothing.
                if (first_copy[pin.vertex] != NO_ID)
                {
                    moved.push_back({first_copy[pin.vertex], pin.position});
                }
            }
            return moved;
        }
    }  // namespace

    CutFlattening flatten_cut_surface(
        const TriangulatedSurface<3>& surface,
        absl::Span<const std::array<index_t, 2>> seams,
        const FlattenOptions& options)
    {
        CutFlattening result;
        result.cut = cut_along_edges(surface, seams);
        auto cut_options = options;
        cut_options.pins =
            pins_on_cut(result.cut, options.pins, surface.nb_vertices());
        result.flattening = flatten_surface(*result.cut.surface, cut_options);
        const auto& cut_surface = *result.cut.surface;
        result.corners.resize(cut_surface.nb_polygons());
        for (index_t t = 0; t < cut_surface.nb_polygons(); ++t)
        {
            for (local_index_t k = 0; k < 3; ++k)
            {
                result.corners[t][k] =
                    result.flattening.map[cut_surface.polygon_vertex({t, k})];
            }
        }
        return result;
    }
}  // namespace nodara
