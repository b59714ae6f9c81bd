#pragma once

#include <vector>

#include <absl/strings/string_view.h>

#include <velmora/mesh/triangulated_surface.h>

namespace nodara
{
    /// How much a 2D parameterization distorts each triangle of a 3D
    /// surface. Every vector is indexed by polygon id.
    ///
    /// A triangle of zero (or non-finite) area in 3D is "degenerate": it has
    /// no shape to distort, so its conformal and area distortions are NaN,
    /// it is never counted as flipped and it is left out of every statistic.
    struct TriangleDistortions
    {
        /// sigma1 / sigma2 >= 1, the ratio of the singular values of the
        /// linear map from the triangle (in an orthonormal frame of its own
        /// plane) to its image in the plane. 1 when the map keeps angles;
        /// +infinity when the image has zero area or non-finite corners.
        std::vector<double> conformal;

        /// The triangle's share of the total image area divided by its share
        /// of the total 3D area: 1 when it keeps its relative size, above 1
        /// when it grows. NaN for every triangle when the total image area
        /// is zero or not finite (shares are then undefined).
        std::vector<double> area;

        /// Signed area of the image, positive when its corners 0, 1, 2 turn
        /// counter-clockwise.
        std::vector<double> signed_image_area;

        /// Whether the image turns against the majority of the
        /// non-degenerate triangles, or has zero (or NaN) signed area. A tie
        /// between the two orientations counts counter-clockwise as the
        /// majority.
        std::vector<bool> flipped;

        /// Whether the triangle has zero or non-finite area in 3D.
        std::vector<bool> degenerate;
    };

    /// Mean, 95th percentile and maximum of one distortion measure over the
    /// non-degenerate triangles.
    ///
    /// Infinite values take part like any other: one collapsed triangle
    /// makes the mean and the maximum +infinity, while the 95th percentile
    /// stays finite as long as at most 5 % of the triangles are collapsed.
    /// All three are NaN when there is no non-degenerate triangle, or when
    /// the measure itself is undefined (NaN) for them.
    struct DistortionStatistics
    {
        double mean;
        /// Nearest-rank percentile: the smallest value that at least 95 % of
        /// the values do not exceed.
        double p95;
        double max;
    };

    /// The statistics of both measures and the counts of special triangles.
    struct DistortionSummary
    {
        DistortionStatistics conformal;
        DistortionStatistics area;
        index_t nb_flipped_triangles;
        index_t nb_degenerate_triangles;
    };

    /// Measures, for every triangle of `surface`, the distortion of the
    /// parameterization held by its Point<2> vertex attribute
    /// `attribute_name`. Throws VelmoraException when the surface has no
    /// Point<2> vertex attribute of that name, and std::out_of_range when the
    /// attribute holds fewer values than the surface has vertices.
    TriangleDistortions compute_triangle_distortions(
        const TriangulatedSurface<3>& surface,
        absl::string_view attribute_name);

    /// The statistics of per-triangle distortions. Throws VelmoraException
    /// when the vectors of `distortions` differ in length.
    DistortionSummary summarize_distortions(
        const TriangleDistortions& distortions);

    /// summarize_distortions(compute_triangle_distortions(...)), with the
    /// same failures.
    DistortionSummary compute_distortion_summary(
        const TriangulatedSurface<3>& surface,
        absl::string_view attribute_name);
}  // namespace nodara
