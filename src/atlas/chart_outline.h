#pragma once

#include <array>
#include <unordered_map>
#include <vector>

#include <tessaplan/corner_map.h>
#include <velmora/basic/types.h>

namespace nodara
{
    /// What the packing reads of a chart's map besides its corners: the box
    /// of its corners, and the edges that may bound the union of its
    /// triangles. Within any strip of the plane that union reaches lowest
    /// and highest on those edges, so a footprint is found from them alone.
    struct ChartOutline
    {
        std::array<double, 2> low{{0, 0}};
        std::array<double, 2> high{{0, 0}};
        /// Per edge, 3 t + k for the edge of triangle t from its corner k
        /// to its corner (k + 1) % 3.
        std::vector<index_t> ids;
        /// Per edge, its ends in that order, read off the map once, so that
        /// footprints read them side by side.
        std::vector<std::array<Point<2>, 2>> edges;
    };

    /// The outline of `map`: every edge but those that two triangles
    /// turning surely the same way (by a filtered orientation test) run in
    /// opposite directions, no other triangle running them, and whose
    /// corners are bitwise-equal points; those have a triangle on each side
    /// and lie inside the union. Throws std::bad_alloc when memory runs out.
    ChartOutline outline_of(const CornerMap& map);

    /// The outline of `map`, whose corners are those of the map `like` was
    /// made of, turned and moved alike, shared vertices still equal:
    /// `like`'s edges, their ends and the box read off `map`.
    ChartOutline outline_of(const CornerMap& map, const ChartOutline& like);

    /// Outlines of maps by the maps' addresses, each made once: valid while
    /// those maps are neither changed nor destroyed.
    class ChartOutlines
    {
    public:
        /// The outline of `map`, made on the first call.
        const ChartOutline& of(const CornerMap& map);

        /// Gives `map` its outline `outline` (outline_of(map)), made
        /// elsewhere: several at once, say.
        void add(const CornerMap& map, ChartOutline outline);

        /// Gives `map` the outline of `like` (outline_of(map, like)'s),
        /// where `map` is `like` turned and moved.
        void add_turn(const CornerMap& map, const CornerMap& like);

        /// The outline of `map`, or null when it has none.
        const ChartOutline* find(const CornerMap& map) const;

    private:
        std::unordered_map<const CornerMap*, ChartOutline> outlines_;
    };
}  // namespace nodara
