#include "flatten_command.h"

#include <algorithm>
#include <chrono>
#include <iostream>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <tessaplan/conversion.h>
#include <tessaplan/distortion.h>
#include <tessaplan/lscm.h>
#include <tessaplan/piece_packing.h>
#include <velmora/basic/velmora_exception.h>
#include <velmora/mesh/duplicate_triangles.h>

#include "cli_error.h"
#include "mesh_reader.h"
#include "mesh_topology.h"
#include "mesh_writer.h"
#include "output_file.h"
#include "path_checks.h"
#include "piece_checks.h"
#include "printable_text.h"
#include "progress.h"
#include "report.h"
#include "svg_writer.h"
#include "uv_transform.h"

namespace tessaplan
{
    namespace
    {
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
                const auto reversed =
                    std::count_if(duplicates.begin(), duplicates.end(),
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

        // Throws CliError when a coordinate of the flattening is not finite.
        void check_finite(const std::vector<nodara::Point<2>>& uv,
                          const std::string& input)
        {
            for (const auto& point : uv)
            {
                if (!point.is_finite())
                {
                    throw CliError{ExitCode::flattening_failed,
                                   "cannot flatten '" + input +
                                       "': the solution has coordinates "
                                       "that are not finite numbers"};
                }
            }
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
            std::vector<nodara::Point<2>> uv;
            try
            {
                uv = nodara::compute_LSCM_map(surface);
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
            check_finite(uv, options.input);
            report.parameterize_seconds = seconds_since(start);

            progress.stage("measuring the distortion");
            start = Clock::now();
            const auto distortions =
                nodara::compute_triangle_distortions(surface, uv);
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
                auto packing = nodara::pack_pieces(surface, uv);
                report.pack_fill = packing.fill;
                uv = std::move(packing.uv);
                check_finite(uv, options.input);
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
                    nodara::convert_surface3d_into_2d(surface, uv);
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
