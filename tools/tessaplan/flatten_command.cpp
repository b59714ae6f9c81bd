#include "flatten_command.h"

#include <chrono>
#include <iostream>
#include <string>
#include <utility>
#include <vector>

#include "cli_error.h"
#include "flattening.h"
#include "flattening_distortion.h"
#include "flattening_output.h"
#include "mesh_reader.h"
#include "mesh_topology.h"
#include "mesh_warnings.h"
#include "path_checks.h"
#include "printable_text.h"
#include "progress.h"
#include "report.h"

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
            report.single_precision = mesh.format == MeshFormat::other;
            report.joined_vertices = mesh.nb_joined_vertices;
            report.vertices = surface.nb_vertices();
            report.triangles = surface.nb_polygons();
            report.border_edges = count_border_edges(surface);
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
            start = Clock::now();
            auto uv = flatten_surface(surface, options.input,
                                      report.border_edges == 0);
            report.parameterize_seconds = seconds_since(start);

            progress.stage("measuring the distortion");
            start = Clock::now();
            const auto distortions = measure_flattening(
                surface, uv, options.input, options.pack, report);
            report.measure_seconds = seconds_since(start);

            if (options.pack)
            {
                progress.stage("packing the pieces");
                auto packing = pack_flattening(surface, uv, options.input);
                report.pack_fill = packing.fill;
                uv = std::move(packing.uv);
            }

            progress.stage("writing " + printable(options.output));
            start = Clock::now();
            write_flattening(mesh, uv, distortions, report.distortion, options);
            report.write_seconds = seconds_since(start);
        }
        print_outcome(report, options.json, out);
        return static_cast<int>(ExitCode::success);
    }
}  // namespace tessaplan
