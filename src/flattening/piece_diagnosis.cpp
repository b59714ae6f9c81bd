#include "piece_diagnosis.h"

#include <tessaplan/lscm.h>
#include <tessaplan/solve_selection.h>
#include <tessaplan/surface_flattening.h>
#include <velmora/geometry/triangle.h>
#include <velmora/mesh/manifold_adjacency.h>
#include <velmora/mesh/polygon_components.h>

namespace nodara
{
    const char* const closed_piece_cause =
        "it is closed (no border edge), and a closed piece cannot be "
        "flattened without cuts";

    namespace
    {
        struct Piece
        {
            std::vector<index_t> triangles;
            index_t nb_border_edges{0};
        };

        std::vector<Piece> pieces_of(const TriangulatedSurface<3>& surface)
        {
            const auto adjacencies = compute_manifold_adjacencies(surface);
            const auto components = compute_polygon_components(adjacencies);
            std::vector<Piece> pieces(components.nb_components);
            for (index_t t = 0; t < surface.nb_polygons(); ++t)
            {
                auto& piece = pieces[components.component[t]];
                piece.triangles.push_back(t);
                for (const auto adjacent : adjacencies[t])
                {
                    piece.nb_border_edges += adjacent == NO_ID ? 1 : 0;
                }
            }
            return pieces;
        }

        index_t nb_zero_area_triangles(const TriangulatedSurface<3>& surface,
                                       const Piece& piece)
        {
            index_t count = 0;
            for (const auto t : piece.triangles)
            {
                const auto edges = surface.triangle(t).scaled_edges();
                count += cross(edges[0], edges[1]).length() == 0.0 ? 1 : 0;
            }
            return count;
        }

        std::string thin_piece_cause(const TriangulatedSurface<3>& surface,
                                     const Piece& piece)
        {
            const auto zero = nb_zero_area_triangles(surface, piece);
            if (zero > 0)
            {
                return std::to_string(zero) + " of its triangles " +
                       (zero == 1 ? "has" : "have") + " no area";
            }
            return "its triangles are too thin or too different in size for "
                   "the solver";
        }

        // Whether the piece fails to flatten on its own.
        bool fails_alone(const TriangulatedSurface<3>& surface,
                         const Piece& piece)
        {
            try
            {
                compute_LSCM_map(
                    *compact_surface_of_triangles(surface, piece.triangles));
                return false;
            }
            catch (const VelmoraException&)
            {
                return true;
            }
        }

        [[noreturn]] void throw_blame(const std::vector<Piece>& pieces,
                                      index_t p,
                                      const std::vector<index_t>& input_ids,
                                      const std::string& cause,
                                      const std::string& solve_message)
        {
            const auto& piece = pieces[p];
            const auto triangle = piece.triangles.front();
            throw PieceFlatteningError{
                "[flatten_surface] Cannot flatten " +
                    piece_text(p, static_cast<index_t>(pieces.size()),
                               static_cast<index_t>(piece.triangles.size()),
                               triangle, input_ids) +
                    ": " + cause + " (" + solve_message + ")",
                p, input_ids.empty() ? triangle : input_ids[triangle],
                piece.nb_border_edges == 0};
        }
    }  // namespace

    std::string piece_text(index_t piece, index_t nb_pieces,
                           index_t nb_triangles, index_t triangle,
                           const std::vector<index_t>& input_ids)
    {
        const auto id = input_ids.empty() ? triangle : input_ids[triangle];
        return "piece " + std::to_string(piece) + " of " +
               std::to_string(nb_pieces) + " (" + std::to_string(nb_triangles) +
               (nb_triangles == 1 ? " triangle" : " triangles") +
               ", among them triangle " + std::to_string(id) + ")";
    }

    void blame_piece(const TriangulatedSurface<3>& surface,
                     const std::vector<index_t>& input_ids,
                     const std::string& solve_message)
    {
        const auto pieces = pieces_of(surface);
        for (index_t p = 0; p < pieces.size(); ++p)
        {
            if (pieces[p].nb_border_edges == 0)
            {
                throw_blame(pieces, p, input_ids, closed_piece_cause,
                            solve_message);
            }
        }
        for (index_t p = 0; p < pieces.size(); ++p)
        {
            if (fails_alone(surface, pieces[p]))
            {
                throw_blame(pieces, p, input_ids,
                            thin_piece_cause(surface, pieces[p]),
                            solve_message);
            }
        }
    }
}  // namespace nodara
