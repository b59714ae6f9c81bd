#pragma once

#include <vector>

#include <velmora/geometry/vector.h>
#include <velmora/mesh/manifold_adjacency.h>
#include <velmora/mesh/triangulated_surface.h>

namespace nodara
{
    /// Grows charts over a surface by region growing: from a seed triangle,
    /// neighbours across edges of two triangles join in the order of how
    /// closely their normal follows the chart's mean normal and how near
    /// they lie to the seed, as long as the normal stays within a cone
    /// around the mean normal. Every chart stays a topological disc
    /// (one border loop, no handle): a triangle joins only across one edge
    /// with its third vertex new to the chart, or across two edges. Charts
    /// that stay within a normal cone are close to height fields over their
    /// mean plane, which LSCM flattens without folds.
    class ChartGrowth
    {
    public:
        /// `normals` holds each triangle's unit normal, oriented
        /// consistently within its piece, and the zero vector for triangles
        /// that no chart may take (zero area); `areas` their 3D areas;
        /// `ranks` a distinct number per triangle that breaks ties between
        /// candidates turned alike (lowest first). Normals within
        /// `max_angle` radians of a chart's mean normal may join it. The
        /// references must outlive this object.
        ChartGrowth(const TriangulatedSurface<3>& surface,
                    const PolygonAdjacencies& adjacencies,
                    const std::vector<Vector<3>>& normals,
                    const std::vector<double>& areas,
                    const std::vector<index_t>& ranks, double max_angle);

        /// The triangles of a chart grown from `seed` over the triangles
        /// whose entry of `taken` is false, seed first, until its area
        /// reaches `max_area`. Candidates join by 1 - cos of the angle
        /// between their normal and the chart's mean normal plus twice
        /// their centroid's distance from the seed's over `radius`: the
        /// larger the radius, the more the chart follows the surface's
        /// flattest directions rather than rounding out. A growth stopped
        /// early holds the first triangles of a longer one with the same
        /// radius.
        std::vector<index_t> grow(index_t seed, const std::vector<bool>& taken,
                                  double max_area, double radius);

    private:
        // How many edges of t the current chart holds across, or 3 when t
        // cannot join it without breaking the disc.
        int joins_across(index_t t) const;
        void add(index_t t, std::vector<index_t>& chart);
        // The centroid of t, summed over its corners in sorted order so
        // that turning them does not change its rounding; made when asked
        // for, so that a growth costs what it grows over, not the surface.
        Point<3> centroid(index_t t) const;

        const TriangulatedSurface<3>& surface_;
        const PolygonAdjacencies& adjacencies_;
        const std::vector<Vector<3>>& normals_;
        const std::vector<double>& areas_;
        const std::vector<index_t>& ranks_;
        double min_cosine_;
        // Stamps of the current chart on triangles and vertices.
        std::vector<unsigned> triangle_stamp_;
        std::vector<unsigned> vertex_stamp_;
        unsigned current_{0};
        Vector<3> normal_sum_;
    };
}  // namespace nodara
