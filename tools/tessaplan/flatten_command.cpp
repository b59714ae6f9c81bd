#include "flatten_command.h"

#include <algorithm>
#include <chrono>
#include <iostream>
#include <memory>
#include <vector>

#include <tessaplan/distortion.h>
#include <tessaplan/piece_packing.h>
#include <tessaplan/surface.h>
#include <velmora/basic/velmora_exception.h>
#include <velmora/mesh/duplicate_triangles.h>

#include "attribute/attribute_lookup.h"
#include "cli_error.h"
#include "mesh_reader.h"
#include "mesh_topology.h"
#include "mesh_writer.h"
#include "output_file.h"
#include "piece_checks.h"
#include "path_checks.h"
#include "printable_text.h"
#include "progress.h"
#include "report.h"
#include "svg_writer.h"
#include "uv_transform.h"

namespace tessaplan
{
    namespace
    {
        constexpr const char* uv_attribute = "uv";

        using Clock = std::chrono::steady_clock;

        double seconds_since(Clock::time_point start)
        {
            return std::chrono::duration<double>(Clock::now() - start).count();
        }

        std::vector<std::string> mesh_warnings(const MeshReadResult& mesh)
        {
            std::vector<std::string> warnings;
            if (mesh.nb_collapsed_faces > 0)
            {
                warnings.push_back(
                    std::to_string(mesh.nb_collapsed_faces) +
                    " triangles with fewer than three distinct vertices were "
                    "left out");
            }
            if (mesh.nb_points_and_lines > 0)
            {
                warnings.push_back(std::to_string(mesh.nb_points_and_lines) +
                                   " points and line segments were left out");
            }
            const auto duplicates =
                nodara::find_duplicate_triangles(*mesh.surface);
            if (!duplicates.empty())
            {
                const auto reversed = std::count_if(
                    duplicates.begin(), duplicates.end(),
                    [](const nodara::DuplicateTriangle& duplicate)
                    { return duplicate.reversed; });
                warnings.push_back(
                    std::to_string(duplicates.size()) +
                    " triangles repeat the vertices of an earlier one (" +
                    std::to_string(reversed) +
                    " of them reversed): duplicates degrade the flattening");
            }
            return warnings;
        }

        // The flattening as computed, one point per vertex. Throws CliError
        // when a coordinate is not finite.
        std::vector<nodara::Point<2>> read_flattening(
            const nodara::TriangulatedSurface<3>& surface,
            const std::string& input)
        {
            const auto attribute = nodara::find_attribute<nodara::Point<2>>(
                surface.vertex_attribute_manager(), uv_attribute);
            std::vector<nodara::Point<2>> uv;
            uv.reserve(surface.nb_vertices());
            for (nodara::index_t v = 0; v < surface.nb_vertices(); ++v)
            {
                uv.push_back(attribute->value(v));
                if (!uv.back().is_finite())
                {
                    throw CliError{ExitCode::flattening_failed,
                                   "cannot flatten '" + input +
                                       "': the solution has coordinates "
                                       "that are not finite numbers"};
                }
            }
            return uv;
        }
    }  // namespace

    int run_flatten(const Options& options, std::ostream& out)
    {
        check_distinct_files(options.input, options.output, options.svg);
        Report report;
        report.input = options.input;
        report.output = options.output;
        report.svg = options.svg;
        {
            Progress progress{Progress::standard_error_is_terminal()};

            progress.stage("reading " + printable(options.input));
            auto start = Clock::now();
            const auto mesh = read_mesh(options.input, options.weld);
            const auto& surface = *mesh.surface;
            report.format = format_name(mesh.format);
            report.single_precision = mesh.format == MeshFormat::other;
            report.joined_vertices = mesh.nb_joined_vertices;
            report.vertices = surface.nb_vertices();
            report.triangles = surface.nb_polygons();
            report.border_edges = count_border_edges(surface);
            report.read_seconds = seconds_since(start);
            report.warnings = mesh_warnings(mesh);

            progress.stage("flattening " + std::to_string(report.triangles) +
                           " triangles");
            start = Clock::now();
            try
            {
                nodara::compute_LSCM_parameterization(surface, uv_attribute);
            }
            catch (const nodara::VelmoraException& error)
            {
                std::string message =
                    "cannot flatten '" + options.input + "': " + error.what();
                if (report.border_edges == 0)
                {
                    message +=
                        " (the surface is closed: it cannot be flattened "
                        "without cuts; 'tessaplan atlas' cuts it into "
                        "charts)";
                }
                throw CliError{ExitCode::flattening_failed, message};
            }
            auto uv = read_flattening(surface, options.input);
            report.parameterize_seconds = seconds_since(start);

            progress.stage("measuring the distortion");
            start = Clock::now();
            const auto distortions =
                nodara::compute_triangle_distortions(surface, uv_attribute);
            report.distortion = nodara::summarize_distortions(distortions);
            report.measure_seconds = seconds_since(start);
            check_no_open_piece_collapsed(report.distortion, options.input);
            const auto warnings =
                piece_warnings(report.distortion, options.pack);
            report.warnings.insert(report.warnings.end(), warnings.begin(),
                                   warnings.end());
            if (options.pack)
            {
                progress.stage("packing the pieces");
                report.pack_fill =
                    nodara::pack_parameterization_pieces(surface, uv_attribute);
                uv = read_flattening(surface, options.input);
            }

            progress.stage("writing " + printable(options.output));
            start = Clock::now();
            // Both files are opened before either is written, so that an
            // unwritable SVG path fails before any work is spent.
            OutputFile obj_file{options.output};
            std::unique_ptr<OutputFile> svg_file;
            if (!options.svg.empty())
            {
                svg_file = std::make_unique<OutputFile>(options.svg);
            }
            const auto transform =
                options.normalize ? unit_square_transform(uv) : UvTransform{};
            FlattenedMesh flattened{surface, mesh.faces, {}, options.flat};
            for (const auto& point : uv)
            {
                flattened.uv.push_back(transform.apply(point));
            }
            write_mesh(flattened, obj_file);
            if (svg_file)
            {
                const auto layout =
                    nodara::convert_surface3d_into_2d(surface, uv_attribute);
                write_distortion_svg(*layout, distortions, report.distortion,
                                     printable(options.input), *svg_file);
            }
            obj_file.commit();
            if (svg_file)
            {
                svg_file->commit();
            }
            report.write_seconds = seconds_since(start);
        }

        for (const auto& warning : report.warnings)
        {
            std::cerr << "tessaplan: warning: " << printable(warning) << '\n';
        }
        if (options.json)
        {
            print_json_report(report, out);
        }
        else
        {
            print_text_report(report, out);
        }
        return static_cast<int>(ExitCode::success);
    }
}  // namespace tessaplan
