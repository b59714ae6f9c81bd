#include <tessaplan/distortion.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

#include <Eigen/Core>
#include <Eigen/LU>

#include <velmora/basic/velmora_exception.h>
#include <velmora/geometry/vector.h>
#include <velmora/mesh/polygon_orientation.h>

#include <tessaplan/attribute/attribute_values.h>

#include "triangle_distortion.h"

namespace nodara
{
    namespace
    {
        constexpr double infinity = std::numeric_limits<double>::infinity();
        constexpr double not_a_number =
            std::numeric_limits<double>::quiet_NaN();

        // The largest singular value of a 2x2 map, from its split into a
        // similarity part [[e, -h], [h, e]] and an anti-similarity part
        // [[f, g], [g, -f]] (the singular values are |q| + |r| and
        // ||q| - |r||), and the absolute value of its determinant. The
        // smaller singular value is taken as |det| / sigma1, which keeps its
        // precision when the map is nearly singular.
        std::array<double, 2> largest_and_determinant(
            const Eigen::Matrix2d& map)
        {
            const double e = 0.5 * (map(0, 0) + map(1, 1));
            const double f = 0.5 * (map(0, 0) - map(1, 1));
            const double g = 0.5 * (map(1, 0) + map(0, 1));
            const double h = 0.5 * (map(1, 0) - map(0, 1));
            return {std::hypot(e, h) + std::hypot(f, g),
                    std::abs(map.determinant())};
        }

        // sigma1 and sigma2; sigma2 is 0 for a singular map and both are NaN
        // for one that is not finite.
        std::array<double, 2> singular_values(const Eigen::Matrix2d& map)
        {
            const auto [largest, determinant] = largest_and_determinant(map);
            if (!std::isfinite(largest) || !std::isfinite(determinant))
            {
                return {not_a_number, not_a_number};
            }
            return {largest, largest > 0.0 ? determinant / largest : 0.0};
        }

        // sigma1 / sigma2, infinite for a singular map.
        double singular_value_ratio(const Eigen::Matrix2d& map)
        {
            const auto [largest, determinant] = largest_and_determinant(map);
            if (!(determinant > 0.0) || !std::isfinite(determinant) ||
                !std::isfinite(largest))
            {
                return infinity;
            }
            // Rounding may put a similarity a hair below 1.
            return std::max(1.0, largest * (largest / determinant));
        }

        struct TriangleMeasure
        {
            double area{0.0};
            double signed_image_area{not_a_number};
            double conformal{not_a_number};
            std::array<double, 2> sigma{not_a_number, not_a_number};
            bool degenerate{true};
        };

        TriangleMeasure measure_triangle(
            const std::array<const Point<3>*, 3>& corners,
            const std::array<Point<2>, 3>& image)
        {
            TriangleMeasure measure;
            const Vector<3> edge1{*corners[0], *corners[1]};
            const Vector<3> edge2{*corners[0], *corners[2]};
            const double length1 = edge1.length();
            const double twice_area = cross(edge1, edge2).length();
            const Eigen::Matrix2d image_edges{
                {image[1][0] - image[0][0], image[2][0] - image[0][0]},
                {image[1][1] - image[0][1], image[2][1] - image[0][1]}};
            measure.signed_image_area = 0.5 * image_edges.determinant();
            if (!(twice_area > 0.0) || !std::isfinite(twice_area))
            {
                return measure;
            }
            measure.degenerate = false;
            measure.area = 0.5 * twice_area;
            // The triangle in an orthonormal frame of its own plane: corner 0
            // at the origin, corner 1 on the first axis, corner 2 on the
            // positive side of it, so that the frame turns like the image
            // does when orientation is kept.
            const Eigen::Matrix2d frame_edges{
                {length1, edge1.dot(edge2) / length1},
                {0.0, twice_area / length1}};
            const Eigen::Matrix2d jacobian =
                image_edges * frame_edges.inverse();
            measure.conformal = singular_value_ratio(jacobian);
            measure.sigma = singular_values(jacobian);
            return measure;
        }

        // max(sigma1, 1 / sigma2): 1 for an isometry, infinite for a
        // collapse, NaN when not finite.
        double length_distortion(const std::array<double, 2>& sigma)
        {
            if (std::isnan(sigma[0]) || std::isnan(sigma[1]))
            {
                return not_a_number;
            }
            return sigma[1] > 0.0 ? std::max(sigma[0], 1.0 / sigma[1])
                                  : infinity;
        }

        DistortionStatistics statistics_of(std::vector<double> values)
        {
            const auto undefined = [](double value)
            { return std::isnan(value); };
            if (values.empty() ||
                std::any_of(values.begin(), values.end(), undefined))
            {
                return {not_a_number, not_a_number, not_a_number};
            }
            double sum = 0.0;
            for (const double value : values)
            {
                sum += value;
            }
            const auto count = static_cast<std::uint64_t>(values.size());
            // Nearest rank, ceil(0.95 n), in integers to avoid 0.95 * n
            // rounding across a whole number.
            const auto rank = (95 * count + 99) / 100;
            const auto nth = values.begin() + static_cast<long>(rank - 1);
            std::nth_element(values.begin(), nth, values.end());
            DistortionStatistics statistics{};
            statistics.mean = sum / static_cast<double>(count);
            statistics.p95 = *nth;
            statistics.max = *std::max_element(nth, values.end());
            return statistics;
        }

        // The area distortion of every non-degenerate triangle: its share of
        // the image area over its share of the 3D area.
        void set_area_shares(const std::vector<double>& areas,
                             TriangleDistortions& result)
        {
            double total_area = 0.0;
            double total_image_area = 0.0;
            for (std::size_t t = 0; t < areas.size(); ++t)
            {
                if (!result.degenerate[t])
                {
                    total_area += areas[t];
                    total_image_area += std::abs(result.signed_image_area[t]);
                }
            }
            if (!(total_image_area > 0.0) || !std::isfinite(total_image_area))
            {
                return;
            }
            for (std::size_t t = 0; t < areas.size(); ++t)
            {
                if (!result.degenerate[t])
                {
                    const double image_share =
                        std::abs(result.signed_image_area[t]) /
                        total_image_area;
                    result.area[t] = image_share / (areas[t] / total_area);
                }
            }
        }

        // Flags the triangles that turn against the majority of their
        // piece, each read in the piece's consistent orientation.
        void set_flipped(const PolygonOrientation& orientation,
                         TriangleDistortions& result)
        {
            const auto nb_triangles = result.degenerate.size();
            // Per piece, triangles turning with minus those turning against
            // the sense of its lowest triangle.
            std::vector<long long> balance(result.pieces.size(), 0);
            std::vector<double> turning(nb_triangles, 0.0);
            for (std::size_t t = 0; t < nb_triangles; ++t)
            {
                const double sign = orientation.reversed[t] ? -1.0 : 1.0;
                turning[t] = sign * result.signed_image_area[t];
                if (!result.degenerate[t] && turning[t] != 0.0)
                {
                    balance[result.piece[t]] += turning[t] > 0.0 ? 1 : -1;
                }
            }
            for (std::size_t t = 0; t < nb_triangles; ++t)
            {
                const double majority = balance[result.piece[t]] < 0 ? -1 : 1;
                result.flipped[t] =
                    !result.degenerate[t] && !(majority * turning[t] > 0.0);
            }
        }

        // Each piece's triangles, border edges and collapsed triangles, and
        // its area ratio over the triangles with 3D area.
        void add_piece_figures(const PolygonAdjacencies& adjacencies,
                               const std::vector<double>& areas,
                               TriangleDistortions& result)
        {
            std::vector<double> piece_areas(result.pieces.size(), 0.0);
            std::vector<double> image_areas(result.pieces.size(), 0.0);
            for (std::size_t t = 0; t < areas.size(); ++t)
            {
                auto& piece = result.pieces[result.piece[t]];
                ++piece.nb_triangles;
                for (const auto adjacent : adjacencies[t])
                {
                    piece.nb_border_edges += adjacent == NO_ID ? 1 : 0;
                }
                if (result.degenerate[t])
                {
                    continue;
                }
                const double image_area = std::abs(result.signed_image_area[t]);
                piece_areas[result.piece[t]] += areas[t];
                image_areas[result.piece[t]] += image_area;
                result.collapsed[t] =
                    !(image_area >= collapsed_area_ratio * areas[t]);
                piece.nb_collapsed_triangles += result.collapsed[t] ? 1 : 0;
            }
            for (std::size_t p = 0; p < result.pieces.size(); ++p)
            {
                auto& piece = result.pieces[p];
                const bool has_area = piece_areas[p] > 0.0;
                piece.area_ratio = has_area && std::isfinite(image_areas[p])
                                       ? image_areas[p] / piece_areas[p]
                                       : not_a_number;
                piece.collapsed =
                    has_area && !(piece.area_ratio >= collapsed_area_ratio);
            }
        }

        // The pieces, their figures, and the flags that depend on them:
        // flipped and collapsed.
        void measure_pieces(const TriangulatedSurface<3>& surface,
                            const std::vector<double>& areas,
                            TriangleDistortions& result)
        {
            const auto adjacencies = compute_manifold_adjacencies(surface);
            const auto components = compute_polygon_components(adjacencies);
            result.piece = components.component;
            result.pieces.assign(components.nb_components, PieceDistortion{});
            set_flipped(
                compute_polygon_orientation(surface, adjacencies, components),
                result);
            add_piece_figures(adjacencies, areas, result);
        }
    }  // namespace

    double conformal_distortion(const std::array<const Point<3>*, 3>& corners,
                                const std::array<Point<2>, 3>& image)
    {
        return measure_triangle(corners, image).conformal;
    }

    TriangleDistortions compute_triangle_distortions(
        const TriangulatedSurface<3>& surface, absl::Span<const Point<2>> uv)
    {
        if (uv.size() != surface.nb_vertices())
        {
            throw InvalidInputException{
                "[compute_triangle_distortions] Expected one point per "
                "vertex: " +
                std::to_string(uv.size()) + " points for " +
                std::to_string(surface.nb_vertices()) + " vertices"};
        }
        const auto nb_triangles = surface.nb_polygons();
        TriangleDistortions result;
        result.conformal.resize(nb_triangles, not_a_number);
        result.sigma1.resize(nb_triangles, not_a_number);
        result.sigma2.resize(nb_triangles, not_a_number);
        result.length.resize(nb_triangles, not_a_number);
        result.area.resize(nb_triangles, not_a_number);
        result.signed_image_area.resize(nb_triangles, not_a_number);
        result.flipped.resize(nb_triangles, false);
        result.degenerate.resize(nb_triangles, true);
        result.collapsed.resize(nb_triangles, false);

        std::vector<double> areas(nb_triangles, 0.0);
        for (index_t t = 0; t < nb_triangles; ++t)
        {
            const auto& vertices = surface.polygon_vertices(t);
            const auto measure = measure_triangle(
                {&surface.point(vertices[0]), &surface.point(vertices[1]),
                 &surface.point(vertices[2])},
                {uv[vertices[0]], uv[vertices[1]], uv[vertices[2]]});
            result.signed_image_area[t] = measure.signed_image_area;
            if (!measure.degenerate)
            {
                result.degenerate[t] = false;
                result.conformal[t] = measure.conformal;
                result.sigma1[t] = measure.sigma[0];
                result.sigma2[t] = measure.sigma[1];
                result.length[t] = length_distortion(measure.sigma);
                areas[t] = measure.area;
            }
        }
        set_area_shares(areas, result);
        measure_pieces(surface, areas, result);
        return result;
    }

    DistortionSummary summarize_distortions(
        const TriangleDistortions& distortions)
    {
        const auto size = distortions.degenerate.size();
        if (distortions.conformal.size() != size ||
            distortions.area.size() != size ||
            distortions.signed_image_area.size() != size ||
            distortions.flipped.size() != size ||
            distortions.collapsed.size() != size ||
            distortions.piece.size() != size ||
            (!distortions.length.empty() && distortions.length.size() != size))
        {
            throw InvalidInputException{
                "[summarize_distortions] The per-triangle vectors differ in "
                "length"};
        }
        std::vector<double> conformal;
        std::vector<double> area;
        std::vector<double> length;
        conformal.reserve(size);
        area.reserve(size);
        DistortionSummary summary{};
        for (std::size_t t = 0; t < size; ++t)
        {
            if (distortions.degenerate[t])
            {
                ++summary.nb_degenerate_triangles;
                continue;
            }
            summary.nb_flipped_triangles += distortions.flipped[t] ? 1 : 0;
            summary.nb_collapsed_triangles += distortions.collapsed[t] ? 1 : 0;
            conformal.push_back(distortions.conformal[t]);
            area.push_back(distortions.area[t]);
            if (!distortions.length.empty())
            {
                length.push_back(distortions.length[t]);
            }
        }
        summary.conformal = statistics_of(std::move(conformal));
        summary.area = statistics_of(std::move(area));
        summary.length =
            distortions.length.empty()
                ? DistortionStatistics{not_a_number, not_a_number, not_a_number}
                : statistics_of(std::move(length));
        summary.pieces = distortions.pieces;
        return summary;
    }

    TriangleDistortions compute_triangle_distortions(
        const TriangulatedSurface<3>& surface, absl::string_view attribute_name)
    {
        return compute_triangle_distortions(
            surface, attribute_values(surface, attribute_name));
    }

    DistortionSummary compute_distortion_summary(
        const TriangulatedSurface<3>& surface, absl::Span<const Point<2>> uv)
    {
        return summarize_distortions(compute_triangle_distortions(surface, uv));
    }

    DistortionSummary compute_distortion_summary(
        const TriangulatedSurface<3>& surface, absl::string_view attribute_name)
    {
        return summarize_distortions(
            compute_triangle_distortions(surface, attribute_name));
    }
}  // namespace nodara
