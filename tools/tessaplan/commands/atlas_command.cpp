#include "commands/atlas_command.h"

#include <tessaplan/atlas.h>
#include <tessaplan/conversion.h>
#include <tessaplan/distortion.h>
#include <tessaplan/edge_cut.h>
#include <tessaplan/seam_cut.h>
#include <velmora/basic/velmora_exception.h>

#include "cli/cli_error.h"
#include "cli/path_checks.h"
#include "cli/printable_text.h"
#include "cli/progress.h"
#include "cli/stopwatch.h"
#include "commands/command_input.h"
#include "commands/command_seams.h"
#include "commands/corner_map_output.h"
#include "commands/report.h"

namespace tessaplan
{
    namespace
    {
        // As many vertices as triangles or more: faces that do not share
        // their corners (a connected surface has about half as many), each
        // a chart of its own.
        bool looks_unjoined(const nodara::TriangulatedSurface<3>& surface)
        {
            return surface.nb_vertices() >= surface.nb_polygons();
        }

        // The library's atlas the options ask for: of the input's UV
        // islands, along seams, or cut freely.
        nodara::Atlas library_atlas(const MeshReadResult& mesh,
                                    const Options& options,
                                    const SeamsFile& seams)
        {
            const auto& surface = *mesh.surface;
            if (options.charts_from_uv)
            {
                return nodara::compute_atlas_of_islands(
                    surface, mesh.triangle_uvs, options.atlas);
            }
            return options.seams.empty() && !options.seams_from_uv
                       ? nodara::compute_atlas(surface, options.atlas)
                       : nodara::compute_atlas(surface, seams.seams,
                                               options.atlas);
        }

        nodara::Atlas make_atlas(const MeshReadResult& mesh,
                                 const Options& options, const SeamsFile& seams)
        {
            const auto& surface = *mesh.surface;
            try
            {
                return library_atlas(mesh, options, seams);
            }
            catch (const nodara::SeamError& error)
            {
                const auto line =
                    error.seam() < seams.lines.size()
                        ? ", line " + std::to_string(seams.lines[error.seam()])
                        : std::string{};
                throw CliError{ExitCode::invalid_input,
                               "cannot make an atlas of '" + options.input +
                                   "' along the seams" + line + ": " +
                                   error.what()};
            }
            catch (const nodara::VelmoraException& error)
            {
                const auto hint =
                    options.weld != Weld::on && looks_unjoined(surface)
                        ? " (its faces seem not to share their corners: "
                          "--weld joins the vertices at one position)"
                        : "";
                throw CliError{ExitCode::flattening_failed,
                               "cannot make an atlas of '" + options.input +
                                   "': " + error.what() + hint};
            }
        }

        // The distortion of the atlas's map, with the triangles of the
        // degenerate charts (zero-area triangles on a segment, slivers as
        // needles) counted as degenerate: their images say nothing of how
        // the surface is mapped.
        nodara::TriangleDistortions atlas_distortions(
            const nodara::Atlas& atlas, const nodara::SeamCut& cut)
        {
            auto distortions =
                nodara::compute_triangle_distortions(*cut.surface, cut.images);
            for (std::size_t t = 0; t < atlas.triangle_chart.size(); ++t)
            {
                if (atlas.charts[atlas.triangle_chart[t]].degenerate)
                {
                    distortions.degenerate[t] = true;
                }
            }
            return distortions;
        }

    }  // namespace

    int run_atlas(const Options& options, std::ostream& out)
    {
        if (options.charts_from_uv &&
            (!options.seams.empty() || options.seams_from_uv))
        {
            throw CliError{ExitCode::usage,
                           "--charts-from-uv keeps the input's UV islands as "
                           "the charts: --seams and --seams-from-uv do not "
                           "apply"};
        }
        check_distinct_files(options.input, options.output, options.svg,
                             options.png);
        AtlasReport report;
        {
            Progress progress{Progress::standard_error_is_terminal()};
            progress.stage("reading " + printable(options.input));
            const auto mesh = read_command_input(options, report);
            const auto& surface = *mesh.surface;

            progress.stage("making the atlas of " +
                           std::to_string(report.triangles) + " triangles");
            Stopwatch stopwatch;
            const auto seams = command_seams(options, mesh);
            report.atlas = make_atlas(mesh, options, seams);
            report.atlas_seconds = stopwatch.lap();

            progress.stage("writing " + printable(options.output));
            const auto cut =
                nodara::cut_along_seams(surface, report.atlas.corners);
            const auto distortions = atlas_distortions(report.atlas, cut);
            report.distortion = nodara::summarize_distortions(distortions);
            report.nb_split_faces = write_corner_map(
                options, mesh, report.atlas.triangle_chart, cut, distortions,
                report.distortion,
                report.atlas.nb_pages > 1 ? &report.atlas.triangle_page
                                          : nullptr);
            report.write_seconds = stopwatch.lap();
        }
        print_warnings(report);
        print_atlas_report(report, options.json, out);
        return static_cast<int>(ExitCode::success);
    }
}  // namespace tessaplan
