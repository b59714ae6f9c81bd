#pragma once

#include <array>
#include <utility>
#include <vector>

#include <absl/types/span.h>

#include <tessaplan/lscm.h>
#include <velmora/mesh/polygon_components.h>

#include <tessaplan/attribute/variable_attribute.h>

namespace nodara
{
    /// Chooses two pinned vertices per piece: the extreme vertices of the
    /// piece's projections along the axis on which they spread more (the
    /// second axis on equal spreads), the lowest vertex id among ties. A
    /// vertex that no triangle uses belongs to no piece.
    ///
    /// Pieces that share vertices (meeting at a vertex, or across an edge of
    /// three triangles or more) are taken in order, and a vertex shared with
    /// an earlier piece counts as a pin: the earlier piece places it, and a
    /// separate pair of pins would pull the shared vertex two ways and
    /// distort both pieces. So a piece that holds such vertices at two
    /// distinct positions gets no pin of its own, one that holds them at one
    /// position gets one, the farther of its own extremes from it, and the
    /// others get two, chosen among the vertices no earlier piece holds.
    /// Pieces that share no vertex get exactly the rule above.
    /// A caller's pin: its vertex, its position and its place in the
    /// caller's list (for messages).
    struct GivenPin
    {
        index_t vertex;
        Point<2> position;
        std::size_t index;
    };

    /// The caller's pins of a surface of `nb_vertices`, checked and sorted
    /// by vertex, a vertex given twice at one position kept once. Throws
    /// InvalidInputException ("[solve_LSCM] Pin k ...") for a vertex out of
    /// range, a position that is not finite, or a vertex given at two
    /// positions.
    std::vector<GivenPin> checked_given_pins(absl::Span<const VertexPin> pins,
                                             index_t nb_vertices);

    class PiecePins
    {
    public:
        /// Prepares the extremes of every piece of `surface`; `pieces` must
        /// outlive this object.
        PiecePins(const SurfaceMesh<3>& surface,
                  const PolygonComponents& pieces);

        /// Takes the projection (x, y) of vertex v into the extremes of the
        /// pieces that hold it. Vertices must come in increasing id order.
        void update(index_t v, double x, double y);

        /// The pinned vertices, piece after piece, each named once;
        /// `projections` holds the projection of every vertex given to
        /// update. `given` holds the caller's pins (checked, one per
        /// vertex, sorted by vertex): a piece with two or more keeps just
        /// those, one with one gets one more, the farther extreme from it;
        /// given vertices of no piece are pinned too. Throws
        /// VelmoraException when all vertices of a piece project onto one
        /// point or have non-finite coordinates, and when two given pins of
        /// one piece lie at one position.
        std::vector<index_t> pins(
            const VariableAttribute<Point<2>>& projections,
            const std::vector<GivenPin>& given = {}) const;

        /// Running extreme values along the two axes with the vertices that
        /// hold them. Ties keep the lowest vertex id; NaN replaces nothing.
        struct Extremes
        {
            void update(index_t v, double x, double y);
            /// 0 when the projections spread more along x, 1 otherwise.
            int axis() const;
            /// The extreme vertices along `axis`, lowest then highest.
            std::array<index_t, 2> along(int axis) const;
            /// The extreme values along `axis`, lowest then highest.
            std::array<double, 2> values(int axis) const;

            std::array<double, 4> extreme{};  // min x, max x, min y, max y
            std::array<index_t, 4> ids{};
        };

    private:
        // Per piece, in piece order, the vertices it shares with earlier
        // pieces.
        std::vector<std::pair<index_t, index_t>> shared_vertices() const;
        // Per piece, the given pins among its vertices.
        std::vector<std::vector<const GivenPin*>> given_of_pieces(
            const std::vector<GivenPin>& given) const;
        [[noreturn]] void fail(index_t piece) const;
        void check_distinct(const std::vector<const GivenPin*>& pins,
                            std::size_t piece) const;

        const PolygonComponents& pieces_;
        // Per vertex, the lowest piece that holds it (NO_ID for none), and
        // the (vertex, piece) pairs of every other piece that holds it.
        std::vector<index_t> lowest_piece_;
        std::vector<std::pair<index_t, index_t>> other_pieces_;
        std::size_t next_other_{0};
        // Per piece, the extremes of all its vertices and of those that no
        // earlier piece holds.
        std::vector<Extremes> all_;
        std::vector<Extremes> own_;
    };
}  // namespace nodara
