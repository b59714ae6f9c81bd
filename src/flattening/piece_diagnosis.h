#pragma once

#include <string>
#include <vector>

#include <velmora/mesh/triangulated_surface.h>

namespace nodara
{
    /// Text shared by the messages that name a piece: "piece P of N (T
    /// triangles, among them triangle X)", with X numbered by `input_ids`
    /// (the input triangle of each triangle of the solved surface; empty
    /// when the numbers are the same).
    std::string piece_text(index_t piece, index_t nb_pieces,
                           index_t nb_triangles, index_t triangle,
                           const std::vector<index_t>& input_ids);

    /// The cause given for a closed piece.
    extern const char* const closed_piece_cause;

    /// After the solve of `surface` failed with `solve_message`, looks for
    /// the piece to blame: the first closed one, else the first that fails
    /// on its own. Throws PieceFlatteningError naming it and the likely
    /// cause; returns when no piece can be blamed.
    void blame_piece(const TriangulatedSurface<3>& surface,
                     const std::vector<index_t>& input_ids,
                     const std::string& solve_message);
}  // namespace nodara
