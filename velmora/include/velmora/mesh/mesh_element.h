#pragma once

#include <velmora/basic/types.h>

namespace nodara
{
    /// Corner `vertex` (0 to 2) of polygon `polygon_id`.
    struct PolygonVertex
    {
        PolygonVertex() = default;
        PolygonVertex(index_t polygon, local_index_t local_vertex)
            : polygon_id(polygon), vertex_id(local_vertex)
        {
        }
        bool operator==(const PolygonVertex& other) const
        {
            return polygon_id == other.polygon_id &&
                   vertex_id == other.vertex_id;
        }

        index_t polygon_id{NO_ID};
        local_index_t vertex_id{0};
    };

    /// Edge `edge_id` (0 to 2) of polygon `polygon_id`: edge e runs from
    /// corner e to corner (e + 1) mod 3.
    struct PolygonEdge
    {
        PolygonEdge() = default;
        PolygonEdge(index_t polygon, local_index_t local_edge)
            : polygon_id(polygon), edge_id(local_edge)
        {
        }
        bool operator==(const PolygonEdge& other) const
        {
            return polygon_id == other.polygon_id && edge_id == other.edge_id;
        }

        index_t polygon_id{NO_ID};
        local_index_t edge_id{0};
    };
}  // namespace nodara
