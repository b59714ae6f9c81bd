#include "piece_orientation.h"

#include <string>

#include <velmora/basic/velmora_exception.h>
#include <velmora/mesh/polygon_orientation.h>

namespace nodara
{
    namespace
    {
        void check_orientable(const PolygonComponents& pieces,
                              const PolygonOrientation& orientation)
        {
            for (index_t t = 0; t < pieces.component.size(); ++t)
            {
                const auto piece = pieces.component[t];
                if (!orientation.orientable[piece])
                {
                    throw InvalidInputException{
                        "[LSCM::LSCM] Cannot orient piece " +
                        std::to_string(piece) + " (the piece of triangle " +
                        std::to_string(t) +
                        "): its triangles cannot all turn the same way, as "
                        "on a Moebius strip"};
                }
            }
        }

        // Whether each piece, oriented on its own, must be turned over to
        // agree with the summed normal of the pieces before it.
        std::vector<bool> pieces_to_turn(const TriangulatedSurface<3>& surface,
                                         const PolygonComponents& pieces,
                                         const std::vector<bool>& reversed)
        {
            std::vector<Vector<3>> normals(pieces.nb_components);
            for (index_t t = 0; t < surface.nb_polygons(); ++t)
            {
                auto& sum = normals[pieces.component[t]];
                const auto normal = surface.polygon_normal(t);
                sum = Vector<3>{reversed[t] ? sum - normal : sum + normal};
            }
            std::vector<bool> turn(pieces.nb_components, false);
            Vector<3> running;
            for (index_t p = 0; p < pieces.nb_components; ++p)
            {
                turn[p] = running.dot(normals[p]) < 0;
                running = Vector<3>{turn[p] ? running - normals[p]
                                            : running + normals[p]};
            }
            return turn;
        }
    }  // namespace

    std::vector<bool> orient_pieces(const TriangulatedSurface<3>& surface,
                                    const PolygonAdjacencies& adjacencies,
                                    const PolygonComponents& pieces)
    {
        auto orientation =
            compute_polygon_orientation(surface, adjacencies, pieces);
        check_orientable(pieces, orientation);
        auto reversed = std::move(orientation.reversed);
        if (pieces.nb_components > 1)
        {
            const auto turn = pieces_to_turn(surface, pieces, reversed);
            for (index_t t = 0; t < surface.nb_polygons(); ++t)
            {
                if (turn[pieces.component[t]])
                {
                    reversed[t] = !reversed[t];
                }
            }
        }
        return reversed;
    }
}  // namespace nodara
