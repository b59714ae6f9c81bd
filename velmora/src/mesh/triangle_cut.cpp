#include "triangle_cut.h"

namespace nodara
{
    namespace
    {
        bool is_cut(absl::Span<const CutTriangle> cut, index_t triangle)
        {
            return std::any_of(cut.begin(), cut.end(),
                               [triangle](const CutTriangle& c)
                               { return c.id == triangle; });
        }

        // The triangles around a cut, as they are while it is relinked.
        struct CutView
        {
            const LargeVector<Corners>& polygons;
            absl::Span<const CutTriangle> cut;
            absl::Span<const Piece> pieces;

            // The piece that now holds the side v-w of what was triangle
            // n, or n itself when n was not cut. NO_ID when no piece holds
            // that side any more (the side that was split).
            index_t holder(index_t n, index_t v, index_t w) const
            {
                if (!is_cut(cut, n))
                {
                    return n;
                }
                for (const auto& piece : pieces)
                {
                    if (piece.origin == n &&
                        side_joining(polygons[piece.id], v, w) != NO_SIDE)
                    {
                        return piece.id;
                    }
                }
                return NO_ID;
            }

            // The only other piece with the side v-w, or NO_ID when none
            // or several have it.
            index_t only_other_piece(index_t piece, index_t v, index_t w) const
            {
                index_t found = NO_ID;
                index_t count = 0;
                for (const auto& other : pieces)
                {
                    if (other.id != piece &&
                        side_joining(polygons[other.id], v, w) != NO_SIDE)
                    {
                        found = other.id;
                        ++count;
                    }
                }
                return count == 1 ? found : NO_ID;
            }
        };

        // Sets the neighbour across every side of `piece`: a side it
        // inherited keeps the cut triangle's neighbour (or the piece that
        // now holds it, when that was cut too); a new side, through the
        // new vertex, is linked when exactly one other piece has it.
        void link_piece(const CutView& view, const Piece& piece,
                        index_t new_vertex, Corners& adjacent)
        {
            const auto& corners = view.polygons[piece.id];
            const auto& origin = *std::find_if(
                view.cut.begin(), view.cut.end(),
                [&](const CutTriangle& c) { return c.id == piece.origin; });
            for (local_index_t s = 0; s < 3; ++s)
            {
                const auto v = corners[s];
                const auto w = corners[next_corner(s)];
                if (v == new_vertex || w == new_vertex)
                {
                    adjacent[s] = view.only_other_piece(piece.id, v, w);
                    continue;
                }
                const auto neighbour =
                    origin.adjacents[side_joining(origin.corners, v, w)];
                adjacent[s] =
                    neighbour == NO_ID ? NO_ID : view.holder(neighbour, v, w);
            }
        }

        // Neighbours outside the cut that pointed into it point to the
        // piece that now holds their shared side.
        void repoint_neighbours(const CutView& view,
                                LargeVector<Corners>& adjacents)
        {
            for (const auto& c : view.cut)
            {
                for (const auto neighbour : c.adjacents)
                {
                    if (neighbour == NO_ID || is_cut(view.cut, neighbour))
                    {
                        continue;
                    }
                    const auto& corners = view.polygons[neighbour];
                    for (local_index_t s = 0; s < 3; ++s)
                    {
                        auto& adjacent = adjacents[neighbour][s];
                        if (adjacent != NO_ID)
                        {
                            adjacent = view.holder(adjacent, corners[s],
                                                   corners[next_corner(s)]);
                        }
                    }
                }
            }
        }
    }  // namespace

    local_index_t side_joining(const Corners& corners, index_t v, index_t w)
    {
        for (local_index_t s = 0; s < 3; ++s)
        {
            const auto a = corners[s];
            const auto b = corners[next_corner(s)];
            if ((a == v && b == w) || (a == w && b == v))
            {
                return s;
            }
        }
        return NO_SIDE;
    }

    absl::optional<std::array<PolygonEdge, 2>> other_pair_on_side(
        const LargeVector<Corners>& polygons, index_t v, index_t w,
        index_t except)
    {
        std::array<PolygonEdge, 2> pair;
        index_t count = 0;
        for (index_t p = 0; p < polygons.size(); ++p)
        {
            const auto side = side_joining(polygons[p], v, w);
            if (p == except || side == NO_SIDE)
            {
                continue;
            }
            if (count == 2)
            {
                return absl::nullopt;
            }
            pair[count++] = {p, side};
        }
        if (count != 2)
        {
            return absl::nullopt;
        }
        return pair;
    }

    void relink(LargeVector<Corners>& polygons, LargeVector<Corners>& adjacents,
                absl::Span<const CutTriangle> cut,
                absl::Span<const Piece> pieces, index_t new_vertex)
    {
        const CutView view{polygons, cut, pieces};
        for (const auto& piece : pieces)
        {
            link_piece(view, piece, new_vertex, adjacents[piece.id]);
        }
        repoint_neighbours(view, adjacents);
    }
}  // namespace nodara
