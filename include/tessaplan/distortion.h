#pragma once

#include <cmath>
#include <vector>

#include <absl/strings/string_view.h>
#include <absl/types/span.h>

#include <velmora/mesh/triangulated_surface.h>

namespace nodara
{
    /// A triangle, or a piece, whose image area is below this fraction of
    /// its 3D area has collapsed.
    inline constexpr double collapsed_area_ratio = 1e-12;

    /// What a 2D parameterization does to one piece of a surface: triangles
    /// joined through edges shared by exactly two triangles (see
    /// compute_polygon_components).
    struct PieceDistortion
    {
        index_t nb_triangles{0};
        /// Triangle sides with no triangle across them in
        /// compute_manifold_adjacencies: the border, and also every side of
        /// an edge used by three triangles or more.
        index_t nb_border_edges{0};
        /// The total image area of the piece's non-degenerate triangles
        /// over their total 3D area: a scale-aware figure, near 1 for a map
        /// that keeps sizes. NaN when the piece has no 3D area or its image
        /// area is not finite.
        double area_ratio{0.0};
        index_t nb_collapsed_triangles{0};
        /// Whether the piece has 3D area and its area ratio is not at least
        /// collapsed_area_ratio (also when it is NaN).
        bool collapsed{false};

        /// The factor the map applies to the piece's lengths on average:
        /// the square root of the area ratio (1 at true size).
        double length_scale() const { return std::sqrt(area_ratio); }
        /// A piece without border edges cannot be flattened without cuts.
        bool closed() const { return nb_border_edges == 0; }
    };

    /// How much a 2D parameterization distorts each triangle of a 3D
    /// surface. Every per-triangle vector is indexed by polygon id.
    ///
    /// A triangle of zero (or non-finite) area in 3D is "degenerate": it has
    /// no shape to distort, so its conformal and area distortions are NaN,
    /// it is never counted as flipped or collapsed and it is left out of
    /// every statistic.
    struct TriangleDistortions
    {
        /// sigma1 / sigma2 >= 1, the ratio of the singular values of the
        /// linear map from the triangle (in an orthonormal frame of its own
        /// plane) to its image in the plane. 1 when the map keeps angles;
        /// +infinity when the image has zero area or non-finite corners.
        std::vector<double> conformal;

        /// The singular values sigma1 >= sigma2 >= 0 of that linear map: how
        /// much it stretches lengths at most and at least (1 and 1 keep
        /// them). NaN when the image's corners are not finite.
        std::vector<double> sigma1;
        std::vector<double> sigma2;
        /// The length distortion max(sigma1, 1 / sigma2) >= 1: 1 when the
        /// map keeps lengths (an isometry, at the surface's own size),
        /// +infinity when the image has zero area. Vectors filled by hand
        /// may leave it empty: the summary's length figures are then NaN.
        std::vector<double> length;
        /// The triangle's share of the total image area divided by its share
        /// of the total 3D area: 1 when it keeps its relative size, above 1
        /// when it grows. NaN for every triangle when the total image area
        /// is zero or not finite (shares are then undefined).
        std::vector<double> area;

        /// Signed area of the image, positive when its corners 0, 1, 2 turn
        /// counter-clockwise.
        std::vector<double> signed_image_area;

        /// Whether the image turns against the majority of the
        /// non-degenerate triangles of its piece, or has zero (or NaN)
        /// signed area. Turning is read relative to the piece's consistent
        /// orientation (compute_polygon_orientation): a triangle stored
        /// with the opposite winding counts with its sign inverted, so that
        /// a map that follows the surface flips nothing whatever the input
        /// winding. A tie between the two orientations counts the sense of
        /// the piece's lowest triangle as the majority. On a piece that
        /// cannot be oriented (a Moebius strip) the count depends on where
        /// the orientation changes.
        std::vector<bool> flipped;

        /// Whether the triangle has zero or non-finite area in 3D.
        std::vector<bool> degenerate;

        /// Whether the triangle has 3D area but its image area is not at
        /// least collapsed_area_ratio times it (also when it is NaN).
        std::vector<bool> collapsed;

        /// Per triangle, its piece: an index into `pieces`.
        std::vector<index_t> piece;

        /// Per piece, numbered as compute_polygon_components does.
        std::vector<PieceDistortion> pieces;
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
        double mean{0.0};
        /// Nearest-rank percentile: the smallest value that at least 95 % of
        /// the values do not exceed.
        double p95{0.0};
        double max{0.0};
    };

    /// The statistics of both measures, the counts of special triangles and
    /// the figures of every piece.
    struct DistortionSummary
    {
        DistortionStatistics conformal;
        DistortionStatistics area;
        /// Of max(sigma1, 1 / sigma2): it sees the map's scale, so it is
        /// meaningful for maps at the surface's size (an isometric
        /// flattening, or a conformal one scaled to its true size).
        DistortionStatistics length;
        index_t nb_flipped_triangles{0};
        index_t nb_degenerate_triangles{0};
        index_t nb_collapsed_triangles{0};
        std::vector<PieceDistortion> pieces;
    };

    /// Measures, for every triangle of `surface`, the distortion of the
    /// parameterization `uv`, whose point v is the image of vertex v. Needs
    /// one point per vertex: throws VelmoraException
    /// ("[compute_triangle_distortions] ...") when `uv` holds another number
    /// of points.
    TriangleDistortions compute_triangle_distortions(
        const TriangulatedSurface<3>& surface, absl::Span<const Point<2>> uv);

    /// Measures, for every triangle of `surface`, the distortion of the
    /// parameterization held by its Point<2> vertex attribute
    /// `attribute_name`. Throws VelmoraException
    /// ("[AttributeManager::find_attribute] ...") when the surface has no
    /// Point<2> vertex attribute of that name, and InvalidInputException when
    /// the attribute holds fewer values than the surface has vertices.
    TriangleDistortions compute_triangle_distortions(
        const TriangulatedSurface<3>& surface,
        absl::string_view attribute_name);

    /// The statistics of per-triangle distortions. Needs per-triangle
    /// vectors of one length: throws VelmoraException
    /// ("[summarize_distortions] ...") when they differ.
    DistortionSummary summarize_distortions(
        const TriangleDistortions& distortions);

    /// summarize_distortions(compute_triangle_distortions(surface, uv)):
    /// needs one point per vertex and throws as that function does.
    DistortionSummary compute_distortion_summary(
        const TriangulatedSurface<3>& surface, absl::Span<const Point<2>> uv);

    /// summarize_distortions(compute_triangle_distortions(surface,
    /// attribute_name)): needs the attribute and throws as that function
    /// does.
    DistortionSummary compute_distortion_summary(
        const TriangulatedSurface<3>& surface,
        absl::string_view attribute_name);
}  // namespace nodara
