#include "commands/atlas_command.h"

#include <chrono>
#include <iostream>
#include <memory>

#include <nlohmann/json.hpp>

#include <tessaplan/atlas.h>
#include <tessaplan/conversion.h>
#include <tessaplan/distortion.h>
#include <tessaplan/seam_cut.h>
#include <velmora/basic/velmora_exception.h>

#include "cli/cli_error.h"
#include "cli/path_checks.h"
#include "cli/printable_text.h"
#include "reading/mesh_reader.h"
#include "writing/atlas_obj_writer.h"
#include "writing/output_file.h"
#include "writing/svg_writer.h"

namespace tessaplan
{
    namespace
    {
        using Clock = std::chrono::steady_clock;

        double seconds_since(Clock::time_point start)
        {
            return std::chrono::duration<double>(Clock::now() - start).count();
        }

        struct AtlasReport
        {
            nodara::Atlas atlas;
            nodara::DistortionSummary distortion{};
            double read_seconds{0};
            double atlas_seconds{0};
            double write_seconds{0};
            std::size_t nb_split_faces{0};
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
                    {"triangles", a.triangle_chart.size()},
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
                    {"flipped_triangles", a.check.nb_flipped_triangles},
                    {"overlapping_pairs", a.check.nb_overlapping_pairs},
                    {"degenerate_triangles", a.nb_degenerate_triangles},
                    {"faces_split_at_seams", report.nb_split_faces},
                    {"seconds",
                     {{"read", report.read_seconds},
                      {"atlas", report.atlas_seconds},
                      {"write", report.write_seconds}}}};
                out << json.dump() << '\n';
                return;
            }
            out << "input                 " << printable(options.input) << '\n'
                << "triangles             " << a.triangle_chart.size() << '\n'
                << "charts                " << a.charts.size() << '\n'
                << "seam edges            " << a.nb_seam_edges << '\n'
                << "efficiency            " << 100.0 * a.efficiency
                << " % of the square\n"
                << "conformal distortion  mean " << d.conformal.mean << ", p95 "
                << d.conformal.p95 << ", max " << d.conformal.max << '\n'
                << "area distortion       mean " << d.area.mean << ", p95 "
                << d.area.p95 << ", max " << d.area.max << '\n'
                << "flipped triangles     " << a.check.nb_flipped_triangles
                << '\n'
                << "overlapping pairs     " << a.check.nb_overlapping_pairs
                << '\n'
                << "zero-area triangles   " << a.nb_degenerate_triangles << '\n'
                << "faces split at seams  " << report.nb_split_faces << '\n'
                << "seconds               read " << report.read_seconds
                << ", atlas " << report.atlas_seconds << ", write "
                << report.write_seconds << '\n'
                << "output                " << printable(options.output)
                << '\n';
        }

        // As many vertices as triangles or more: faces that do not share
        // their corners (a connected surface has about half as many), each
        // a chart of its own.
        bool looks_unjoined(const nodara::TriangulatedSurface<3>& surface)
        {
            return surface.nb_vertices() >= surface.nb_polygons();
        }

        nodara::Atlas make_atlas(const nodara::TriangulatedSurface<3>& surface,
                                 const Options& options)
        {
            try
            {
                return nodara::compute_atlas(surface, options.atlas);
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

        // Writes the OBJ and, when asked, the SVG; returns the number of
        // faces written as their triangles.
        std::size_t write_outputs(
            const Options& options, const MeshReadResult& mesh,
            const nodara::Atlas& atlas, const nodara::SeamCut& cut,
            const nodara::TriangleDistortions& distortions,
            const nodara::DistortionSummary& summary)
        {
            OutputFile obj_file{options.output};
            std::unique_ptr<OutputFile> svg_file;
            if (!options.svg.empty())
            {
                svg_file = std::make_unique<OutputFile>(options.svg);
            }
            const auto nb_split = write_atlas_obj(
                *mesh.surface, mesh.faces, atlas.triangle_chart, cut, obj_file);
            if (svg_file)
            {
                const auto layout =
                    nodara::convert_surface3d_into_2d(*cut.surface, cut.images);
                write_distortion_svg(*layout, distortions, summary,
                                     printable(options.input), *svg_file,
                                     SvgBorders::outlined);
            }
            obj_file.commit();
            if (svg_file)
            {
                svg_file->commit();
            }
            return nb_split;
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
        report.atlas_seconds = seconds_since(start);

        start = Clock::now();
        const auto cut = nodara::cut_along_seams(surface, report.atlas.corners);
        const auto distortions =
            nodara::compute_triangle_distortions(*cut.surface, cut.images);
        report.distortion = nodara::summarize_distortions(distortions);
        report.nb_split_faces = write_outputs(options, mesh, report.atlas, cut,
                                              distortions, report.distortion);
        report.write_seconds = seconds_since(start);
        print_report(options, report, out);
        return static_cast<int>(ExitCode::success);
    }
}  // namespace tessaplan
