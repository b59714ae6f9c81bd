#include "atlas_command.h"

#include <chrono>
#include <iostream>
#include <memory>

#include <absl/container/flat_hash_map.h>
#include <nlohmann/json.hpp>

#include <tessaplan/atlas.h>
#include <tessaplan/distortion.h>
#include <tessaplan/surface.h>
#include <velmora/basic/velmora_exception.h>
#include <velmora/mesh/triangulated_surface_builder.h>

#include <tessaplan/attribute/attribute_lookup.h>
#include <tessaplan/attribute/variable_attribute.h>
#include "cli_error.h"
#include "mesh_reader.h"
#include "output_file.h"
#include "path_checks.h"
#include "printable_text.h"
#include "svg_writer.h"

namespace tessaplan
{
    namespace
    {
        using Clock = std::chrono::steady_clock;
        constexpr const char* uv_attribute = "uv";

        double seconds_since(Clock::time_point start)
        {
            return std::chrono::duration<double>(Clock::now() - start).count();
        }

        // The surface cut along the seams: one vertex per distinct (vertex,
        // image) corner, at the vertex's position, its image in the vertex
        // attribute "uv"; triangles as in the input. Per cut vertex, the
        // input vertex it comes from.
        struct CutSurface
        {
            std::unique_ptr<nodara::TriangulatedSurface<3>> surface;
            std::vector<nodara::index_t> source;
        };

        CutSurface cut_along_seams(const nodara::TriangulatedSurface<3>& input,
                                   const nodara::CornerMap& corners)
        {
            CutSurface cut{nodara::TriangulatedSurface<3>::create(), {}};
            nodara::TriangulatedSurfaceBuilder<3> builder{*cut.surface};
            absl::flat_hash_map<std::tuple<nodara::index_t, double, double>,
                                nodara::index_t>
                ids;
            std::vector<nodara::Point<2>> images;
            for (nodara::index_t t = 0; t < input.nb_polygons(); ++t)
            {
                std::array<nodara::index_t, 3> split{};
                for (nodara::local_index_t k = 0; k < 3; ++k)
                {
                    const auto v = input.polygon_vertex({t, k});
                    const auto& image = corners[t][k];
                    const auto key = std::make_tuple(v, image[0], image[1]);
                    auto found = ids.find(key);
                    if (found == ids.end())
                    {
                        found =
                            ids.emplace(key,
                                        builder.create_point(input.point(v)))
                                .first;
                        cut.source.push_back(v);
                        images.push_back(image);
                    }
                    split[k] = found->second;
                }
                builder.create_triangle(split);
            }
            builder.compute_polygon_adjacencies();
            const auto uv =
                nodara::find_or_create_attribute<nodara::VariableAttribute,
                                                 nodara::Point<2>>(
                    cut.surface->vertex_attribute_manager(), uv_attribute,
                    nodara::Point<2>{}, nodara::AttributeFlags{});
            for (nodara::index_t v = 0; v < images.size(); ++v)
            {
                uv->set_value(v, images[v]);
            }
            return cut;
        }

        // OBJ text: the input's vertices, one "vt" per cut vertex, and
        // "f v/vt v/vt v/vt" per triangle (1-based).
        void write_atlas_obj(const nodara::TriangulatedSurface<3>& input,
                             const CutSurface& cut, OutputFile& file)
        {
            std::string text =
                "# tessaplan atlas: 3D vertices, one texture "
                "coordinate per chart corner\n";
            char line[160];
            for (nodara::index_t v = 0; v < input.nb_vertices(); ++v)
            {
                const auto& p = input.point(v);
                std::snprintf(line, sizeof line, "v %.17g %.17g %.17g\n", p[0],
                              p[1], p[2]);
                text += line;
            }
            const auto uv = nodara::find_attribute<nodara::Point<2>>(
                cut.surface->vertex_attribute_manager(), uv_attribute);
            for (nodara::index_t v = 0; v < cut.surface->nb_vertices(); ++v)
            {
                const auto& p = uv->value(v);
                std::snprintf(line, sizeof line, "vt %.17g %.17g\n", p[0],
                              p[1]);
                text += line;
            }
            for (nodara::index_t t = 0; t < cut.surface->nb_polygons(); ++t)
            {
                text += 'f';
                for (const auto c : cut.surface->polygon_vertices(t))
                {
                    std::snprintf(line, sizeof line, " %u/%u",
                                  cut.source[c] + 1, c + 1);
                    text += line;
                }
                text += '\n';
            }
            file.write(text);
        }

        struct AtlasReport
        {
            nodara::Atlas atlas;
            nodara::AtlasCheck check;
            nodara::DistortionSummary distortion{};
            double read_seconds{0};
            double atlas_seconds{0};
            double write_seconds{0};
        };

        nlohmann::json number_or_null(double value)
        {
            return std::isfinite(value) ? nlohmann::json(value)
                                        : nlohmann::json(nullptr);
        }

        void print_report(const Options& options, const AtlasReport& report,
                          std::ostream& out)
        {
            const auto& a = report.atlas;
            const auto& d = report.distortion;
            if (options.json)
            {
                nlohmann::json json{
                    {"input", printable(options.input)},
                    {"output", printable(options.output)},
                    {"triangles", a.chart.size()},
                    {"charts", a.charts.size()},
                    {"seam_edges", a.nb_seam_edges},
                    {"efficiency", number_or_null(a.efficiency)},
                    {"conformal_distortion",
                     {{"mean", number_or_null(d.conformal.mean)},
                      {"p95", number_or_null(d.conformal.p95)},
                      {"max", number_or_null(d.conformal.max)}}},
                    {"area_distortion",
                     {{"mean", number_or_null(d.area.mean)},
                      {"p95", number_or_null(d.area.p95)},
                      {"max", number_or_null(d.area.max)}}},
                    {"flipped_triangles", report.check.nb_flipped_triangles},
                    {"overlapping_pairs", report.check.nb_overlapping_pairs},
                    {"degenerate_triangles", a.nb_degenerate_triangles},
                    {"seconds",
                     {{"read", report.read_seconds},
                      {"atlas", report.atlas_seconds},
                      {"write", report.write_seconds}}}};
                out << json.dump() << '\n';
                return;
            }
            out << "input                 " << printable(options.input) << '\n'
                << "triangles             " << a.chart.size() << '\n'
                << "charts                " << a.charts.size() << '\n'
                << "seam edges            " << a.nb_seam_edges << '\n'
                << "efficiency            " << 100.0 * a.efficiency
                << " % of the square\n"
                << "conformal distortion  mean " << d.conformal.mean << ", p95 "
                << d.conformal.p95 << ", max " << d.conformal.max << '\n'
                << "area distortion       mean " << d.area.mean << ", p95 "
                << d.area.p95 << ", max " << d.area.max << '\n'
                << "flipped triangles     " << report.check.nb_flipped_triangles
                << '\n'
                << "overlapping pairs     " << report.check.nb_overlapping_pairs
                << '\n'
                << "zero-area triangles   " << a.nb_degenerate_triangles << '\n'
                << "seconds               read " << report.read_seconds
                << ", atlas " << report.atlas_seconds << ", write "
                << report.write_seconds << '\n'
                << "output                " << printable(options.output)
                << '\n';
        }

        nodara::Atlas make_atlas(const nodara::TriangulatedSurface<3>& surface,
                                 const Options& options)
        {
            nodara::AtlasOptions atlas_options;
            atlas_options.max_distortion = options.max_distortion;
            atlas_options.padding = options.padding;
            atlas_options.resolution = options.resolution;
            try
            {
                return nodara::compute_atlas(surface, atlas_options);
            }
            catch (const nodara::VelmoraException& error)
            {
                throw CliError{ExitCode::flattening_failed,
                               "cannot make an atlas of '" + options.input +
                                   "': " + error.what()};
            }
        }

        void write_outputs(const Options& options,
                           const nodara::TriangulatedSurface<3>& surface,
                           const CutSurface& cut,
                           const nodara::TriangleDistortions& distortions,
                           const nodara::DistortionSummary& summary)
        {
            OutputFile obj_file{options.output};
            std::unique_ptr<OutputFile> svg_file;
            if (!options.svg.empty())
            {
                svg_file = std::make_unique<OutputFile>(options.svg);
            }
            write_atlas_obj(surface, cut, obj_file);
            if (svg_file)
            {
                const auto layout = nodara::convert_surface3d_into_2d(
                    *cut.surface, uv_attribute);
                write_distortion_svg(*layout, distortions, summary,
                                     printable(options.input), *svg_file);
            }
            obj_file.commit();
            if (svg_file)
            {
                svg_file->commit();
            }
        }
    }  // namespace

    int run_atlas(const Options& options, std::ostream& out)
    {
        check_distinct_files(options.input, options.output, options.svg);
        AtlasReport report;
        auto start = Clock::now();
        const auto mesh = read_mesh(options.input, options.weld);
        const auto& surface = *mesh.surface;
        report.read_seconds = seconds_since(start);

        start = Clock::now();
        report.atlas = make_atlas(surface, options);
        report.check = nodara::check_atlas(surface, report.atlas.corners);
        report.atlas_seconds = seconds_since(start);
        if (!report.check.valid())
        {
            throw CliError{ExitCode::flattening_failed,
                           "the atlas of '" + options.input +
                               "' failed its check; nothing was written"};
        }

        start = Clock::now();
        const auto cut = cut_along_seams(surface, report.atlas.corners);
        const auto distortions =
            nodara::compute_triangle_distortions(*cut.surface, uv_attribute);
        report.distortion = nodara::summarize_distortions(distortions);
        write_outputs(options, surface, cut, distortions, report.distortion);
        report.write_seconds = seconds_since(start);
        print_report(options, report, out);
        return static_cast<int>(ExitCode::success);
    }
}  // namespace tessaplan
