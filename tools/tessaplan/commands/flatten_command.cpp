#include "commands/flatten_command.h"

#include <iostream>
#include <string>
#include <utility>
#include <vector>

#include <tessaplan/seam_cut.h>
#include <velmora/mesh/manifold_adjacency.h>
#include <velmora/mesh/polygon_components.h>

#include "cli/cli_error.h"
#include "cli/path_checks.h"
#include "cli/printable_text.h"
#include "cli/progress.h"
#include "cli/stopwatch.h"
#include "commands/command_input.h"
#include "commands/command_seams.h"
#include "commands/corner_map_output.h"
#include "commands/flattening.h"
#include "commands/flattening_output.h"
#include "commands/piece_checks.h"
#include "commands/report.h"
#include "reading/pins_file.h"

namespace tessaplan
{
    namespace
    {
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
            print_warnings(report);
            if (json)
            {
                print_json_report(report, out);
            }
            else
            {
                print_text_report(report, out);
            }
        }

        // The figures every flattening reports: seconds, fill and method.
        void report_flattening(const nodara::SurfaceFlattening& flattening,
                               const Options& options, Report& report)
        {
            report.parameterize_seconds =
                flattening.solve_seconds + flattening.pack_seconds;
            report.measure_seconds = flattening.measure_seconds;
            if (options.pack)
            {
                report.pack_fill = flattening.pack_fill;
            }
            if (options.method == nodara::FlatteningMethod::arap)
            {
                report.method = "arap";
                report.arap_iterations = flattening.arap_iterations;
                report.arap_converged = flattening.arap_converged;
            }
        }

        void flatten_whole(const MeshReadResult& mesh,
                           const nodara::FlattenOptions& flatten_options,
                           const PinsFile& pins, const Options& options,
                           Report& report, Progress& progress)
        {
            const auto& surface = *mesh.surface;
            const auto flattening = flatten_checked(
                surface, options.input, flatten_options, pins.lines);
            report_flattening(flattening, options, report);
            describe_flattening(flattening, surface, options, report);

            progress.stage("writing " + printable(options.output));
            Stopwatch stopwatch;
            write_flattening(mesh, flattening.solved_surface(surface),
                             flattening.map, flattening.distortions,
                             report.distortion, options);
            report.write_seconds = stopwatch.lap();
        }

        // The surface cut open along the seams, written as an atlas is:
        // one texture coordinate per corner of each piece.
        void flatten_cut(const MeshReadResult& mesh,
                         const nodara::FlattenOptions& flatten_options,
                         const PinsFile& pins, const SeamsFile& seams,
                         const Options& options, Report& report,
                         Progress& progress)
        {
            const auto result = flatten_cut_checked(
                *mesh.surface, options.input, flatten_options, seams.seams,
                pins.lines, seams.lines);
            report_flattening(result.flattening, options, report);
            describe_flattening(result.flattening, *result.cut.surface, options,
                                report);

            progress.stage("writing " + printable(options.output));
            Stopwatch stopwatch;
            const auto cut =
                nodara::cut_along_seams(*mesh.surface, result.corners);
            const auto pieces = nodara::compute_polygon_components(
                nodara::compute_manifold_adjacencies(*cut.surface));
            write_corner_map(
                options, mesh, pieces.component, cut,
                nodara::compute_triangle_distortions(*cut.surface, cut.images),
                report.distortion);
            report.write_seconds = stopwatch.lap();
        }

        // Whether the surface is cut open before it is flattened.
        bool cuts(const Options& options)
        {
            return !options.seams.empty() || options.seams_from_uv;
        }

        void check_combinations(const Options& options)
        {
            if (!options.pins.empty() &&
                options.method == nodara::FlatteningMethod::arap)
            {
                throw CliError{ExitCode::usage,
                               "--pins applies to --method lscm only: the "
                               "as-rigid-as-possible flattening places each "
                               "piece itself"};
            }
            if (cuts(options) && (options.flat || options.normalize))
            {
                throw CliError{
                    ExitCode::usage,
                    std::string{options.seams.empty() ? "--seams-from-uv"
                                                      : "--seams"} +
                        " writes one texture coordinate per "
                        "corner, which --flat and --normalize do "
                        "not take"};
            }
        }
    }  // namespace

    int run_flatten(const Options& options, std::ostream& out)
    {
        check_combinations(options);
        check_distinct_files(options.input, options.output, options.svg,
                             options.png);
        Report report;
        {
            Progress progress{Progress::standard_error_is_terminal()};

            progress.stage("reading " + printable(options.input));
            const auto mesh = read_command_input(options, report);
            const auto pins = options.pins.empty()
                                  ? PinsFile{}
                                  : read_pins_file(options.pins);
            const nodara::FlattenOptions flatten_options{
                options.pack, options.scale, pins.pins, options.method};

            progress.stage("flattening " + std::to_string(report.triangles) +
                           " triangles" +
                           (options.pack ? " and packing the pieces" : ""));
            if (cuts(options))
            {
                flatten_cut(mesh, flatten_options, pins,
                            command_seams(options, mesh), options, report,
                            progress);
            }
            else
            {
                flatten_whole(mesh, flatten_options, pins, options, report,
                              progress);
            }
        }
        print_outcome(report, options.json, out);
        return static_cast<int>(ExitCode::success);
    }
}  // namespace tessaplan
