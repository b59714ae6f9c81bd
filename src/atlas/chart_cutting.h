#pragma once

#include <vector>

#include <velmora/mesh/triangulated_surface.h>

#include "chart.h"
#include "surface_facts.h"

namespace nodara
{
    /// A chart of the single triangle `t`: laid flat in its own plane, on
    /// a segment when it has zero area, as a needle when it is a sliver.
    Chart single_triangle_chart(const TriangulatedSurface<3>& surface,
                                const SurfaceFacts& facts, index_t t);

    /// Cuts `surface` into charts, each a topological disc flattened within
    /// `bounds`: every triangle not yet taken, in seed_order, seeds a
    /// chart that grows across edges of two triangles while the normals
    /// stay within a cone, round about the seed, first up to twice the
    /// area of the largest chart it borders (at most an eighth of the
    /// surface's, and 16384 triangles' of its mean area). While its map
    /// passes and the growth was stopped by the area, it grows again to
    /// 2 to 16 times the area, by how far its distortion stays within the
    /// bounds (all it can grow over when that is less than twice as much);
    /// while its map fails, it grows again smaller, to the most triangles
    /// whose share of the failed map kept the bounds (kept_prefix). A
    /// single triangle whose map fails is laid flat in its own plane; a
    /// triangle of zero area gets a chart of its own, on a segment.
    /// Surfaces of 32768 triangles or more are cut in regions of at least
    /// 16384, blocks of the seed order, several at once; no chart crosses
    /// a region's border. Throws std::bad_alloc when memory runs out.
    std::vector<Chart> cut_charts(const TriangulatedSurface<3>& surface,
                                  const SurfaceFacts& facts,
                                  const ChartBounds& bounds);
}  // namespace nodara
