#include <tessaplan/piece_packing.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <numeric>

#include <velmora/basic/velmora_exception.h>
#include <velmora/mesh/vertex_components.h>

#include <tessaplan/attribute/attribute_lookup.h>
#include <tessaplan/attribute/variable_attribute.h>
#include "rectangle_packing.h"

namespace nodara
{
    namespace
    {
        // The packing grid: about this many steps along the layout's side.
        constexpr double grid_steps = 2048.0;

        // Pieces joined through shared vertices: per vertex its unit, NO_ID
        // for a vertex that no triangle uses.
        struct Units
        {
            std::vector<index_t> of_vertex;
            index_t count{0};
        };

        // Pieces that share vertices form one vertex component.
        template <index_t D>
        Units find_units(const SurfaceMesh<D>& surface)
        {
            const auto components = compute_vertex_components(surface);
            std::vector<bool> used(surface.nb_vertices(), false);
            for (index_t t = 0; t < surface.nb_polygons(); ++t)
            {
                for (const auto v : surface.polygon_vertices(t))
                {
                    used[v] = true;
                }
            }
            Units units;
            std::vector<index_t> unit_of_component(components.nb_components,
                                                   NO_ID);
            units.of_vertex.assign(surface.nb_vertices(), NO_ID);
            for (index_t v = 0; v < surface.nb_vertices(); ++v)
            {
                if (!used[v])
                {
                    continue;
                }
                auto& unit = unit_of_component[components.component[v]];
                if (unit == NO_ID)
                {
                    unit = units.count++;
                }
                units.of_vertex[v] = unit;
            }
            return units;
        }

        struct Box
        {
            Point<2> low;
            Point<2> high;

            double width() const { return high[0] - low[0]; }
            double height() const { return high[1] - low[1]; }
        };

        std::vector<Box> unit_boxes(const Units& units,
                                    const std::vector<Point<2>>& uv)
        {
            std::vector<Box> boxes(units.count);
            std::vector<bool> seen(units.count, false);
            for (std::size_t v = 0; v < units.of_vertex.size(); ++v)
            {
                const auto unit = units.of_vertex[v];
                if (unit == NO_ID)
                {
                    continue;
                }
                auto& box = boxes[unit];
                if (!seen[unit])
                {
                    box = {uv[v], uv[v]};
                    seen[unit] = true;
                }
                for (std::size_t i = 0; i < 2; ++i)
                {
                    box.low[i] = std::min(box.low[i], uv[v][i]);
                    box.high[i] = std::max(box.high[i], uv[v][i]);
                }
            }
            return boxes;
        }

        // The grid step: the side a perfect packing would have, or the
        // longest box side when that is longer, over grid_steps.
        double grid_step(const std::vector<Box>& boxes)
        {
            double area = 0.0;
            double longest = 0.0;
            for (const auto& box : boxes)
            {
                area += box.width() * box.height();
                longest = std::max({longest, box.width(), box.height()});
            }
            const double side = std::max(std::sqrt(area), longest);
            return side > 0.0 ? side / grid_steps : 1.0;
        }

        // Which units are given a quarter turn.
        enum class Turning
        {
            as_given,
            lying,
            standing
        };

        struct Layout
        {
            std::vector<std::array<int, 2>> sizes;
            std::vector<bool> turned;
            std::vector<std::array<int, 2>> corners;
            int side{0};
        };

        Layout grid_rects(const std::vector<Box>& boxes, double step,
                          Turning turning)
        {
            Layout layout;
            for (std::size_t u = 0; u < boxes.size(); ++u)
            {
                // One step more than the rounded-up size keeps boxes apart.
                const auto w =
                    static_cast<int>(std::ceil(boxes[u].width() / step) + 1.0);
                const auto h =
                    static_cast<int>(std::ceil(boxes[u].height() / step) + 1.0);
                const bool turn = (turning == Turning::lying && h > w) ||
                                  (turning == Turning::standing && w > h);
                layout.sizes.push_back(turn ? std::array<int, 2>{{h, w}}
                                            : std::array<int, 2>{{w, h}});
                layout.turned.push_back(turn);
            }
            return layout;
        }

        bool packs_into(Layout& layout, int side, PackingRule rule)
        {
            auto corners = pack_rectangles(layout.sizes, side, rule);
            if (corners.empty())
            {
                return false;
            }
            layout.corners = std::move(corners);
            layout.side = side;
            return true;
        }

        // The smallest square side the packer fits the rectangles into:
        // doubling from the area's bound until they fit, then bisection.
        // Leaves the rectangles packed at that side.
        void pack_smallest_square(Layout& layout, PackingRule rule)
        {
            long long area = 0;
            int low = 1;
            for (const auto& size : layout.sizes)
            {
                area += static_cast<long long>(size[0]) * size[1];
                low = std::max({low, size[0], size[1]});
            }
            low = std::max(low, static_cast<int>(std::ceil(
                                    std::sqrt(static_cast<double>(area)))));
            int high = low;
            while (!packs_into(layout, high, rule))
            {
                low = high + 1;
                high *= 2;
            }
            while (low < high)
            {
                const int middle = low + (high - low) / 2;
                if (packs_into(layout, middle, rule))
                {
                    high = middle;
                }
                else
                {
                    low = middle + 1;
                }
            }
            packs_into(layout, high, rule);
        }

        Layout best_layout(const std::vector<Box>& boxes, double step)
        {
            Layout best;
            for (const auto turning :
                 {Turning::as_given, Turning::lying, Turning::standing})
            {
                for (const auto rule :
                     {PackingRule::bottom_left, PackingRule::best_fit})
                {
                    auto layout = grid_rects(boxes, step, turning);
                    pack_smallest_square(layout, rule);
                    if (best.corners.empty() || layout.side < best.side)
                    {
                        best = std::move(layout);
                    }
                }
            }
            return best;
        }

        void check_map(index_t nb_vertices, const std::vector<Point<2>>& uv)
        {
            if (uv.size() < nb_vertices)
            {
                throw InvalidInputException{
                    "[pack_pieces] The map holds fewer points than the "
                    "surface has vertices"};
            }
            for (index_t v = 0; v < nb_vertices; ++v)
            {
                if (!uv[v].is_finite())
                {
                    throw InvalidInputException{
                        "[pack_pieces] The map has a coordinate that is not "
                        "finite"};
                }
            }
        }

        // Moves every vertex with its unit: into the unit's box corner, with
        // its quarter turn, then to the packed place.
        std::vector<Point<2>> place_vertices(const Units& units,
                                             const std::vector<Box>& boxes,
                                             const Layout& layout, double step,
                                             const std::vector<Point<2>>& uv)
        {
            std::vector<Point<2>> packed(units.of_vertex.size());
            for (std::size_t v = 0; v < packed.size(); ++v)
            {
                const auto unit = units.of_vertex[v];
                if (unit == NO_ID)
                {
                    continue;
                }
                const auto& box = boxes[unit];
                const auto& corner = layout.corners[unit];
                const double x = uv[v][0] - box.low[0];
                const double y = uv[v][1] - box.low[1];
                const double along = layout.turned[unit] ? box.height() - y : x;
                const double across = layout.turned[unit] ? x : y;
                packed[v] = Point<2>{
                    {corner[0] * step + along, corner[1] * step + across}};
            }
            return packed;
        }

        double fill_of(const std::vector<Box>& boxes, const Layout& layout,
                       double step)
        {
            double area = 0.0;
            double side = 0.0;
            for (std::size_t u = 0; u < boxes.size(); ++u)
            {
                const bool turned = layout.turned[u];
                const double w = turned ? boxes[u].height() : boxes[u].width();
                const double h = turned ? boxes[u].width() : boxes[u].height();
                area += w * h;
                side = std::max({side, layout.corners[u][0] * step + w,
                                 layout.corners[u][1] * step + h});
            }
            return side > 0.0 ? area / (side * side) : 0.0;
        }
    }  // namespace

    template <index_t D>
    PiecePacking pack_pieces(const SurfaceMesh<D>& surface,
                             const std::vector<Point<2>>& uv)
    {
        check_map(surface.nb_vertices(), uv);
        const auto units = find_units(surface);
        const auto boxes = unit_boxes(units, uv);
        PiecePacking result;
        result.nb_units = units.count;
        if (units.count == 0)
        {
            result.uv.assign(surface.nb_vertices(), Point<2>{});
            return result;
        }
        const double step = grid_step(boxes);
        const auto layout = best_layout(boxes, step);
        result.uv = place_vertices(units, boxes, layout, step, uv);
        result.fill = fill_of(boxes, layout, step);
        // Boxes far apart in size can place a piece beyond the range of
        // doubles: that is a failure, not a result.
        for (const auto& point : result.uv)
        {
            if (!point.is_finite())
            {
                throw ComputationException{
                    "[pack_pieces] The packed map has a coordinate that is "
                    "not finite"};
            }
        }
        return result;
    }

    template PiecePacking pack_pieces(const SurfaceMesh<2>& surface,
                                      const std::vector<Point<2>>& uv);
    template PiecePacking pack_pieces(const SurfaceMesh<3>& surface,
                                      const std::vector<Point<2>>& uv);

    double pack_parameterization_pieces(const TriangulatedSurface<3>& surface,
                                        absl::string_view attribute_name)
    {
        auto& manager = surface.vertex_attribute_manager();
        const auto attribute =
            find_attribute<Point<2>>(manager, attribute_name);
        auto stored = std::dynamic_pointer_cast<VariableAttribute<Point<2>>>(
            manager.find_attribute_base(attribute_name));
        if (!stored)
        {
            throw InvalidInputException{
                "[pack_parameterization_pieces] The attribute is not a "
                "VariableAttribute"};
        }
        std::vector<Point<2>> uv;
        uv.reserve(surface.nb_vertices());
        for (index_t v = 0; v < surface.nb_vertices(); ++v)
        {
            uv.push_back(attribute->value(v));
        }
        const auto packing = pack_pieces(surface, uv);
        for (index_t v = 0; v < surface.nb_vertices(); ++v)
        {
            stored->set_value(v, packing.uv[v]);
        }
        return packing.fill;
    }
}  // namespace nodara
