#include "commands/atlas_command.h"

#include <tessaplan/atlas.h>
#include <tessaplan/conversion.h>
#include <tessaplan/distortion.h>
#include <tessaplan/seam_cut.h>
#include <velmora/basic/velmora_exception.h>

#include "cli/cli_error.h"
#include "cli/path_checks.h"
#include "cli/printable_text.h"
#include "cli/progress.h"
#include "cli/stopwatch.h"
#include "commands/command_input.h"
#include "commands/picture_output.h"
#include "commands/report.h"
#include "writing/atlas_obj_writer.h"
#include "writing/gltf_scene_writer.h"
#include "writing/mesh_writer.h"
#include "writing/obj_scene_writer.h"
#include "writing/output_file.h"

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

        // The mesh split along the seams, as PLY or glTF: one vertex per
        // chart corner with its input vertex, the triangles.
        void write_split_mesh(const nodara::SeamCut& cut, OutputFile& file)
        {
            std::vector<Polygon> triangles;
            triangles.reserve(cut.surface->nb_polygons());
            for (nodara::index_t t = 0; t < cut.surface->nb_polygons(); ++t)
            {
                const auto& corners = cut.surface->polygon_vertices(t);
                triangles.push_back({corners[0], corners[1], corners[2]});
            }
            FlattenedMesh split{*cut.surface, triangles, cut.images, false,
                                &cut.source};
            write_mesh(split, file);
        }

        // Writes the atlas (OBJ: the input's vertices, one texture
        // coordinate per chart corner, and with several pages a material
        // per page; PLY and glTF: the mesh split along the seams) and, when
        // asked, the pictures; returns the number of faces written as their
        // triangles.
        std::size_t write_outputs(
            const Options& options, const MeshReadResult& mesh,
            const nodara::Atlas& atlas, const nodara::SeamCut& cut,
            const nodara::TriangleDistortions& distortions,
            const nodara::DistortionSummary& summary)
        {
            OutputFile mesh_file{options.output};
            PictureOutput pictures{options};
            std::size_t nb_split = 0;
            if (atlas.nb_pages > 1)
            {
                nb_split = write_atlas_obj(*mesh.surface, mesh.faces,
                                           atlas.triangle_chart, cut, mesh_file,
                                           &atlas.triangle_page);
            }
            else if (keeps_obj_scene(mesh.format, options.output, false))
            {
                nb_split =
                    write_atlas_into_obj(options.input, mesh.faces,
                                         atlas.triangle_chart, cut, mesh_file);
            }
            else if (keeps_gltf_scene(mesh, options.output, false))
            {
                write_gltf_scene_atlas(*mesh.gltf, cut, options.uv_set,
                                       options.input, mesh_file);
            }
            else if (writes_obj(options.output))
            {
                nb_split =
                    write_atlas_obj(*mesh.surface, mesh.faces,
                                    atlas.triangle_chart, cut, mesh_file);
            }
            else
            {
                write_split_mesh(cut, mesh_file);
            }
            if (pictures.wanted())
            {
                const auto layout =
                    nodara::convert_surface3d_into_2d(*cut.surface, cut.images);
                pictures.write(*layout, distortions, summary,
                               PictureBorders::outlined);
            }
            commit_together({&mesh_file, pictures.svg(), pictures.png()});
            return nb_split;
        }
    }  // namespace

    int run_atlas(const Options& options, std::ostream& out)
    {
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
            report.atlas = make_atlas(surface, options);
            report.atlas_seconds = stopwatch.lap();

            progress.stage("writing " + printable(options.output));
            const auto cut =
                nodara::cut_along_seams(surface, report.atlas.corners);
            const auto distortions = atlas_distortions(report.atlas, cut);
            report.distortion = nodara::summarize_distortions(distortions);
            report.nb_split_faces =
                write_outputs(options, mesh, report.atlas, cut, distortions,
                              report.distortion);
            report.write_seconds = stopwatch.lap();
        }
        print_warnings(report);
        print_atlas_report(report, options.json, out);
        return static_cast<int>(ExitCode::success);
    }
}  // namespace tessaplan
