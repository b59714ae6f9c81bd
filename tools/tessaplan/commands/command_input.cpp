#include "commands/command_input.h"

#include "cli/stopwatch.h"
#include "reading/mesh_topology.h"
#include "reading/mesh_warnings.h"
#include "writing/gltf_scene_writer.h"

namespace tessaplan
{
    MeshReadResult read_command_input(const Options& options,
                                      InputReport& report)
    {
        Stopwatch stopwatch;
        auto mesh = read_mesh(options.input, options.weld,
                              options.seams_from_uv || options.charts_from_uv);
        check_uv_set(mesh, options.input, options.output, options.flat,
                     options.uv_set);
        const auto& surface = *mesh.surface;
        report.input = options.input;
        report.output = options.output;
        report.svg = options.svg;
        report.png = options.png;
        report.format = format_name(mesh.format);
        report.single_precision = mesh.single_precision;
        report.transforms_applied = mesh.transforms_applied;
        report.joined_vertices = mesh.nb_joined_vertices;
        report.vertices = surface.nb_vertices();
        report.triangles = surface.nb_polygons();
        report.border_edges = count_border_edges(surface);
        report.warnings = mesh_warnings(mesh);
        report.read_seconds = stopwatch.lap();
        return mesh;
    }
}  // namespace tessaplan
