#include "commands/flatten_command.h"

#include <chrono>
#include <iostream>
#include <string>
#include <utility>
#include <vector>

#include "cli/cli_error.h"
#include "cli/path_checks.h"
#include "cli/printable_text.h"
#include "cli/progress.h"
#include "commands/flattening.h"
#include "commands/flattening_output.h"
#include "commands/piece_checks.h"
#include "commands/report.h"
#include "reading/mesh_reader.h"
#include "reading/mesh_topology.h"
#include "reading/mesh_warnings.h"

namespace tessaplan
{
    namespace
    {
        using Clock = std::chrono::steady_clock;

        double seconds_since(Clock::time_point start)
        {
            return std::chrono::duration<double>(Clock::now() - start).count();
        }

        Report start_report(const Options& options)
        {
            Report report;
            report.input = options.input;
            report.output = options.output;
            report.svg = options.svg;
            return report;
        }

        // The input's figures: format, counts and border.
        void describe_input(const MeshReadResult& mesh, Report& report)
        {
            const auto& surface = *mesh.surface;
            report.format = format_name(mesh.format);
            report.single_precision = mesh.single_precision;
            report.transforms_applied = mesh.transforms_applied;
            report.joined_vertices = mesh.nb_joined_vertices;
            report.vertices = surface.nb_vertices();
            report.triangles = surface.nb_polygons();
            report.border_edges = count_border_edges(surface);
        }

        // The flattening's figures and warnings. Throws CliError
        // (flattening failed) for a map that folds with --fail-on-fold.
        void describe_flattening(const nodara::SurfaceFlattening& flattening,
                                 const nodara::TriangulatedSurface<3>& surface,
                                 const Options& options, Report& report)
        {
            const auto& summary = flattening.summary;
            if (options.fail_on_fold && summary.nb_flipped_triangles > 0)
            {
                throw CliError{ExitCode::flattening_failed,
                               "cannot flatten '" + options.input + "': " +
                                   fold_text(summary) + " (--fail-on-fold)"};
            }
            report.distortion = summary;
            report.left_out_repeated_corners =
                flattening.selection.nb_repeated_corners;
            report.left_out_duplicates = flattening.selection.nb_duplicates;
            const auto& solved = flattening.solved_surface(surface);
            for (auto&& warnings :
                 {left_out_warnings(flattening.selection),
                  piece_warnings(summary, options.pack),
                  unjoined_faces_warning(solved, flattening.distortions)})
            {
                report.warnings.insert(report.warnings.end(), warnings.begin(),
                                       warnings.end());
            }
        }

        // The warnings on standard error, then the report on `out`.
        void print_outcome(const Report& report, bool json, std::ostream& out)
        {
            for (const auto& warning : report.warnings)
            {
                std::cerr << "tessaplan: warning: " << printable(warning)
                          << '\n';
            }
            if (json)
            {
                print_json_report(report, out);
            }
            else
            {
                print_text_report(report, out);
            }
        }
    }  // namespace

    int run_flatten(const Options& options, std::ostream& out)
    {
        check_distinct_files(options.input, options.output, options.svg);
        auto report = start_report(options);
        {
            Progress progress{Progress::standard_error_is_terminal()};

            progress.stage("reading " + printable(options.input));
            auto start = Clock::now();
            const auto mesh = read_mesh(options.input, options.weld);
            const auto& surface = *mesh.surface;
            describe_input(mesh, report);
            report.read_seconds = seconds_since(start);
            report.warnings = mesh_warnings(mesh);

            progress.stage("flattening " + std::to_string(report.triangles) +
                           " triangles");
            const auto flattening = flatten_checked(surface, options.input);
            report.parameterize_seconds = flattening.solve_seconds;
            report.measure_seconds = flattening.measure_seconds;
            describe_flattening(flattening, surface, options, report);
            auto uv = flattening.map;

            if (options.pack)
            {
                progress.stage("packing the pieces");
                auto packing = pack_flattening(surface, uv, options.input);
                report.pack_fill = packing.fill;
                uv = std::move(packing.uv);
            }

            progress.stage("writing " + printable(options.output));
            start = Clock::now();
            write_flattening(mesh, flattening.solved_surface(surface), uv,
                             flattening.distortions, report.distortion,
                             options);
            report.write_seconds = seconds_since(start);
        }
        print_outcome(report, options.json, out);
        return static_cast<int>(ExitCode::success);
    }
}  // namespace tessaplan
