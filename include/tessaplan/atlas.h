#pragma once

#include <array>
#include <vector>

#include <absl/types/span.h>

#include <tessaplan/atlas_check.h>
#include <tessaplan/corner_map.h>
#include <velmora/mesh/triangulated_surface.h>

namespace nodara
{
    /// How compute_atlas cuts and packs.
    struct AtlasOptions
    {
        /// The largest 95th percentile of the conformal distortion (sigma1 /
        /// sigma2) of a chart's map.
        double max_distortion{1.15};
        /// The largest 95th percentile of a chart map's area distortion
        /// both ways: per triangle, with a its share of the chart's image
        /// area over its share of the chart's 3D area, max(a, 1/a), so that
        /// a triangle shrunk counts as much as one grown.
        double max_area_distortion{2.0};
        /// Gap between charts, and between a chart and the square's side,
        /// in texels.
        double padding{2};
        /// Texels along the side of the unit square (of each page).
        index_t resolution{1024};
        /// Whether packing turns each chart so that its smallest enclosing
        /// rectangle is axis-aligned, and by quarter turns; when false, each
        /// chart keeps the orientation of its flattened map.
        bool rotate{true};
        /// The largest 3D area of a chart, in the surface's units of area;
        /// a chart beyond it is cut further, but a single triangle never is.
        /// 0 or infinity: unbounded.
        double max_chart_area{0};
        /// The largest length of a chart's border in 3D, in the surface's
        /// units of length, kept as max_chart_area is. 0 or infinity:
        /// unbounded.
        double max_boundary_length{0};
        /// Texels per unit of 3D length. 0: the largest that fits every
        /// chart into one square. Above 0: the charts are packed at that
        /// density into as many squares (pages) of `resolution` texels as
        /// they need.
        double texels_per_unit{0};
    };

    /// How a chart's map was made.
    enum class AtlasChartSource
    {
        /// Cut and flattened by the atlas: every chart of compute_atlas,
        /// and the pieces of a given chart that could not be laid flat
        /// whole.
        cut,
        /// A given chart (or island) flattened again by LSCM.
        given,
        /// An island that keeps its own map, scaled to its 3D area, where
        /// LSCM folds it.
        kept
    };

    /// Figures of one chart.
    struct AtlasChart
    {
        index_t nb_triangles{0};
        /// 95th percentiles of the chart map's conformal distortion and of
        /// its area distortion both ways, max(a, 1/a) as bounded by
        /// AtlasOptions::max_area_distortion (NaN for a chart of zero-area
        /// triangles).
        double conformal_p95{0};
        double area_p95{0};
        /// Whether the chart holds only triangles of zero 3D area, laid on
        /// a segment, or a sliver (a triangle thinner than 2^-36 of the
        /// surface's bounding-box diagonal, which the square's coordinates
        /// cannot hold), laid as a needle 1/1024 of its length high.
        bool degenerate{false};
        AtlasChartSource source{AtlasChartSource::cut};
    };

    /// A texture atlas: the surface cut into charts, each flattened without
    /// fold and packed into the unit square.
    struct Atlas
    {
        /// Per triangle, its chart: an index into `charts`.
        std::vector<index_t> triangle_chart;
        /// Per triangle, the images of its corners in the unit square of its
        /// page.
        CornerMap corners;
        /// Per triangle, its page: an index below `nb_pages`. Triangles on
        /// different pages may overlap in the square.
        std::vector<index_t> triangle_page;
        /// The squares the charts are packed into: 1 unless
        /// AtlasOptions::texels_per_unit asks for a density that needs more.
        index_t nb_pages{1};
        /// Per chart, its figures.
        std::vector<AtlasChart> charts;
        /// Edges shared by two triangles of different charts.
        index_t nb_seam_edges{0};
        /// Triangles of zero (or non-finite) 3D area, and slivers: those of
        /// the degenerate charts.
        index_t nb_degenerate_triangles{0};
        /// The 95th percentile, over the triangles of the charts that are
        /// not degenerate, each counted once whatever its size, of the area
        /// distortion both ways: max(a, 1/a) with a the triangle's share of
        /// their total image area over its share of their total 3D area.
        /// The charts share one scale, so a is also the triangle's texel
        /// density over the atlas's mean, and the figure is at most
        /// AtlasOptions::max_area_distortion when every chart keeps it. NaN
        /// when every chart is degenerate.
        double area_p95{0};
        /// The share of the pages' area covered by the charts' triangles.
        double efficiency{0};
        /// Texels per unit of 3D length, the same for every chart.
        double texels_per_unit{0};
        /// The exact check of `corners` (check_atlas), page by page, which
        /// compute_atlas runs before it returns: always valid.
        AtlasCheck check;
    };

    /// Cuts `surface` into charts that are topological discs, flattens each
    /// by LSCM so that no triangle of non-zero area is flipped or collapsed,
    /// no two triangles overlap and each chart keeps the distortion bounds
    /// of `options` (its 3D area and border length included), and packs the
    /// charts at one common scale, each turned for a tight box unless
    /// `options.rotate` is false, into the unit square, or at
    /// `options.texels_per_unit` into as many squares (pages) as they need.
    /// Closed pieces, pieces with
    /// handles, pieces that meet only at a vertex and folding pieces are all
    /// cut as needed. A triangle of zero 3D area gets a chart of its own, on
    /// a segment, and so does a sliver, as a needle. The surface is not
    /// changed. Throws VelmoraException
    /// ("[compute_atlas] ...") when the surface has no triangle, a
    /// coordinate that is not finite, or options out of range (a
    /// distortion bound, conformal or of area, below 1, a negative padding,
    /// a resolution below 16 or too small for the padding of every chart,
    /// a negative or NaN chart area or border length bound, a negative or
    /// non-finite texels_per_unit, or one at which a chart is larger than a
    /// page), and when the packed atlas fails the exact check, naming the
    /// cause: the first two charts that overlap once placed, or, when
    /// triangles collapse (so many charts, or triangle sizes so far apart,
    /// that the square's coordinates cannot hold them), the smallest image
    /// in square texels.
    Atlas compute_atlas(const TriangulatedSurface<3>& surface,
                        const AtlasOptions& options = {});

    /// compute_atlas of `surface` cut open along `seams` first
    /// (cut_along_edges): no chart crosses a seam. The atlas is given per
    /// triangle of `surface`, and its seam edges count the given seams
    /// too. Throws as cut_along_edges and compute_atlas do.
    Atlas compute_atlas(const TriangulatedSurface<3>& surface,
                        absl::Span<const std::array<index_t, 2>> seams,
                        const AtlasOptions& options = {});

    /// An atlas of the charts given: triangle_chart[t] numbers the chart of
    /// triangle t of `surface`, any number. Each chart (the triangles of one
    /// number joined through edges of two triangles; one number on parts
    /// that are not joined gives a chart per part) is flattened by LSCM and
    /// scaled to its 3D area, whatever its distortion, which its figures
    /// report. A chart whose map folds, collapses a triangle or overlaps
    /// itself (a closed one, say) is cut into charts as compute_atlas cuts
    /// (source `cut`), and a chart of only zero-area triangles and slivers
    /// gives each its own chart. The charts are packed and checked as
    /// compute_atlas packs and checks its own; they are numbered in the
    /// order of their lowest triangle. Throws VelmoraException
    /// ("[compute_atlas] ...") as compute_atlas does, and when
    /// `triangle_chart` does not hold one number per triangle.
    Atlas compute_atlas_of_charts(const TriangulatedSurface<3>& surface,
                                  absl::Span<const index_t> triangle_chart,
                                  const AtlasOptions& options = {});

    /// An atlas whose charts are the islands of `corners`, a map of the
    /// triangles' corners such as a file's texture coordinates: the pieces
    /// of `surface` cut along the map's seams (cut_along_seams), so that an
    /// island stays open along a slit inside it. Each island is flattened
    /// again by LSCM (source `given`); where that map folds and the
    /// island's own map passes the exact check, the island keeps its own
    /// map, scaled to its 3D area (source `kept`); where both fail, it is
    /// cut as compute_atlas_of_charts cuts. The atlas's seam edges are
    /// counted on `surface`. Throws VelmoraException ("[compute_atlas]
    /// ...") as compute_atlas does, and when `corners` does not hold one
    /// entry of finite coordinates per triangle.
    Atlas compute_atlas_of_islands(
        const TriangulatedSurface<3>& surface,
        absl::Span<const std::array<Point<2>, 3>> corners,
        const AtlasOptions& options = {});
}  // namespace nodara
