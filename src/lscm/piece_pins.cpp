#include "piece_pins.h"

#include <algorithm>
#include <limits>
#include <string>

#include <velmora/basic/velmora_exception.h>

namespace nodara
{
    namespace
    {
        constexpr double largest = std::numeric_limits<double>::max();

        // Extremes before any vertex. The extremes of a whole piece name
        // vertex 0 until replaced, as a one-piece surface always has; those
        // of its own vertices name no vertex.
        PiecePins::Extremes no_extremes(index_t id)
        {
            PiecePins::Extremes extremes;
            extremes.extreme = {largest, -largest, largest, -largest};
            extremes.ids = {id, id, id, id};
            return extremes;
        }

        // The extreme of `extremes` along `axis` farther from `anchor`, the
        // lower one on a tie; NO_ID when both lie at the anchor.
        index_t farther_from(const PiecePins::Extremes& extremes, int axis,
                             double anchor)
        {
            const auto ids = extremes.along(axis);
            const auto values = extremes.values(axis);
            if (ids[0] == NO_ID || (values[0] == anchor && values[1] == anchor))
            {
                return NO_ID;
            }
            return values[1] - anchor > anchor - values[0] ? ids[1] : ids[0];
        }
    }  // namespace

    std::vector<GivenPin> checked_given_pins(absl::Span<const VertexPin> pins,
                                             index_t nb_vertices)
    {
        std::vector<GivenPin> given;
        for (std::size_t k = 0; k < pins.size(); ++k)
        {
            const auto& pin = pins[k];
            const auto name = "[solve_LSCM] Pin " + std::to_string(k) + " ";
            if (pin.vertex >= nb_vertices)
            {
                throw PinError{name + "names vertex " +
                                   std::to_string(pin.vertex) +
                                   ", beyond the surface's " +
                                   std::to_string(nb_vertices) + " vertices",
                               k};
            }
            if (!pin.position.is_finite())
            {
                throw PinError{name + "has a position that is not finite", k};
            }
            given.push_back({pin.vertex, pin.position, k});
        }
        std::stable_sort(given.begin(), given.end(),
                         [](const GivenPin& a, const GivenPin& b)
                         { return a.vertex < b.vertex; });
        std::vector<GivenPin> unique;
        for (const auto& pin : given)
        {
            if (!unique.empty() && unique.back().vertex == pin.vertex)
            {
                if (unique.back().position != pin.position)
                {
                    throw PinError{
                        "[solve_LSCM] Pin " + std::to_string(pin.index) +
                            " gives vertex " + std::to_string(pin.vertex) +
                            " another position than pin " +
                            std::to_string(unique.back().index),
                        pin.index};
                }
                continue;
            }
            unique.push_back(pin);
        }
        return unique;
    }

    void PiecePins::Extremes::update(index_t v, double x, double y)
    {
        const std::array<double, 2> value{{x, y}};
        for (int axis = 0; axis < 2; ++axis)
        {
            if (value[axis] < extreme[2 * axis])
            {
                extreme[2 * axis] = value[axis];
                ids[2 * axis] = v;
            }
            if (value[axis] > extreme[2 * axis + 1])
            {
                extreme[2 * axis + 1] = value[axis];
                ids[2 * axis + 1] = v;
            }
        }
    }

    int PiecePins::Extremes::axis() const
    {
        return extreme[1] - extreme[0] > extreme[3] - extreme[2] ? 0 : 1;
    }

    std::array<index_t, 2> PiecePins::Extremes::along(int axis) const
    {
        return {ids[2 * axis], ids[2 * axis + 1]};
    }

    std::array<double, 2> PiecePins::Extremes::values(int axis) const
    {
        return {extreme[2 * axis], extreme[2 * axis + 1]};
    }

    PiecePins::PiecePins(const SurfaceMesh<3>& surface,
                         const PolygonComponents& pieces)
        : pieces_(pieces),
          lowest_piece_(surface.nb_vertices(), NO_ID),
          all_(pieces.nb_components, no_extremes(0)),
          own_(pieces.nb_components, no_extremes(NO_ID))
    {
        for (index_t t = 0; t < surface.nb_polygons(); ++t)
        {
            const auto piece = pieces.component[t];
            for (const auto v : surface.polygon_vertices(t))
            {
                auto& lowest = lowest_piece_[v];
                if (lowest == NO_ID)
                {
                    lowest = piece;
                }
                else if (lowest != piece)
                {
                    other_pieces_.emplace_back(v, std::max(lowest, piece));
                    lowest = std::min(lowest, piece);
                }
            }
        }
        std::sort(other_pieces_.begin(), other_pieces_.end());
        other_pieces_.erase(
            std::unique(other_pieces_.begin(), other_pieces_.end()),
            other_pieces_.end());
        // A pair recorded before a lower piece turned up may name the
        // vertex's lowest piece itself.
        other_pieces_.erase(
            std::remove_if(other_pieces_.begin(), other_pieces_.end(),
                           [this](const std::pair<index_t, index_t>& pair) {
                               return pair.second == lowest_piece_[pair.first];
                           }),
            other_pieces_.end());
    }

    void PiecePins::update(index_t v, double x, double y)
    {
        const auto lowest = lowest_piece_[v];
        if (lowest == NO_ID)
        {
            return;
        }
        all_[lowest].update(v, x, y);
        own_[lowest].update(v, x, y);
        while (next_other_ < other_pieces_.size() &&
               other_pieces_[next_other_].first == v)
        {
            all_[other_pieces_[next_other_].second].update(v, x, y);
            ++next_other_;
        }
    }

    std::vector<std::pair<index_t, index_t>> PiecePins::shared_vertices() const
    {
        std::vector<std::pair<index_t, index_t>> shared;
        for (const auto& vertex_piece : other_pieces_)
        {
            shared.emplace_back(vertex_piece.second, vertex_piece.first);
        }
        std::sort(shared.begin(), shared.end());
        return shared;
    }

    std::vector<std::vector<const GivenPin*>> PiecePins::given_of_pieces(
        const std::vector<GivenPin>& given) const
    {
        std::vector<std::vector<const GivenPin*>> of_pieces(all_.size());
        auto other = other_pieces_.begin();
        for (const auto& pin : given)
        {
            if (lowest_piece_[pin.vertex] == NO_ID)
            {
                continue;
            }
            of_pieces[lowest_piece_[pin.vertex]].push_back(&pin);
            for (; other != other_pieces_.end() && other->first <= pin.vertex;
                 ++other)
            {
                if (other->first == pin.vertex)
                {
                    of_pieces[other->second].push_back(&pin);
                }
            }
        }
        for (std::size_t piece = 0; piece < of_pieces.size(); ++piece)
        {
            check_distinct(of_pieces[piece], piece);
        }
        return of_pieces;
    }

    std::vector<index_t> PiecePins::pins(
        const VariableAttribute<Point<2>>& projections,
        const std::vector<GivenPin>& given) const
    {
        std::vector<index_t> pinned;
        pinned.reserve(2 * all_.size());
        std::vector<bool> taken(lowest_piece_.size(), false);
        const auto take = [&](index_t v)
        {
            if (!taken[v])
            {
                taken[v] = true;
                pinned.push_back(v);
            }
        };
        const auto shared = shared_vertices();
        const auto given_of = given_of_pieces(given);
        auto next_shared = shared.begin();
        for (index_t piece = 0; piece < all_.size(); ++piece)
        {
            const auto axis = all_[piece].axis();
            const auto pair = all_[piece].along(axis);
            // The vertices this piece shares with earlier pieces, which
            // those pieces place: two at distinct positions fix it already.
            std::vector<double> anchors;
            for (; next_shared != shared.end() && next_shared->first == piece;
                 ++next_shared)
            {
                anchors.push_back(
                    projections.value(next_shared->second).value(axis));
            }
            // The caller's pins fix the piece from two on; one stands for
            // an anchor at its vertex's projection.
            for (const auto* pin : given_of[piece])
            {
                take(pin->vertex);
            }
            if (given_of[piece].size() >= 2)
            {
                continue;
            }
            if (pair[0] == pair[1])
            {
                fail(piece);
            }
            if (given_of[piece].size() == 1)
            {
                anchors.push_back(
                    projections.value(given_of[piece][0]->vertex).value(axis));
            }
            if (anchors.empty())
            {
                const auto own = own_[piece].along(axis);
                const bool own_pins =
                    own[0] != NO_ID && own[1] != NO_ID && own[0] != own[1];
                const auto& chosen = own_pins ? own : pair;
                take(chosen[0]);
                take(chosen[1]);
                continue;
            }
            const auto anchor = anchors.front();
            if (std::all_of(anchors.begin(), anchors.end(),
                            [anchor](double a) { return a == anchor; }))
            {
                auto next = farther_from(own_[piece], axis, anchor);
                if (next == NO_ID)
                {
                    next = farther_from(all_[piece], axis, anchor);
                }
                take(next);
            }
        }
        // Given vertices of no triangle: pinned, though no equation holds
        // them, so that they keep their given positions.
        for (const auto& pin : given)
        {
            take(pin.vertex);
        }
        return pinned;
    }

    void PiecePins::check_distinct(const std::vector<const GivenPin*>& pins,
                                   std::size_t piece) const
    {
        for (std::size_t i = 0; i < pins.size(); ++i)
        {
            for (std::size_t j = i + 1; j < pins.size(); ++j)
            {
                if (pins[i]->position == pins[j]->position)
                {
                    const auto first = std::min(pins[i]->index, pins[j]->index);
                    const auto second =
                        std::max(pins[i]->index, pins[j]->index);
                    throw PinError{
                        "[solve_LSCM] Pin " + std::to_string(second) +
                            " lies at the position of pin " +
                            std::to_string(first) + ", in the same piece (" +
                            std::to_string(piece) +
                            "): two pins of a piece need distinct positions",
                        second};
                }
            }
        }
    }

    void PiecePins::fail(index_t piece) const
    {
        if (all_.size() == 1)
        {
            throw InvalidInputException{
                "[LSCM::pin_vertices] Cannot pin two distinct vertices: all "
                "vertices project onto one point or have non-finite "
                "coordinates"};
        }
        const auto& component = pieces_.component;
        const auto first = std::find(component.begin(), component.end(), piece);
        throw InvalidInputException{
            "[LSCM::pin_vertices] Cannot pin two distinct vertices of piece " +
            std::to_string(piece) + " (the piece of triangle " +
            std::to_string(first - component.begin()) +
            "): all its vertices project onto one point or have non-finite "
            "coordinates"};
    }
}  // namespace nodara
