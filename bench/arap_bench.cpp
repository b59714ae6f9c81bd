// Compares the library's as-rigid-as-possible flattening with its LSCM map
// scaled to true size and with CGAL's ARAP, on a saddle, a terrain height
// field and open scans (OFF files). Every method runs in its own child
// process under a time limit. CGAL's map is measured as it comes and once
// scaled so that its area equals the surface's.
//
//   arap_bench [--timeout SECONDS] [--saddle CELLS] [--saddle-height H]
//              [--terrain CELLS] [--no-generated] [--no-cgal]
//              [--keep-below AXIS=VALUE] [MESH.off ...]
//
// Without mesh files it reads CGAL's mannequin-devil.off scan (libcgal-demo
// data, unpacked under /tmp/data/cgal).
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include <CGAL/version.h>

#include <tessaplan/arap.h>
#include <tessaplan/distortion.h>
#include <tessaplan/lscm.h>
#include <tessaplan/solve_selection.h>
#include <tessaplan/true_size.h>
#include <velmora/mesh/polygon_components.h>

#include "cgal_lscm.h"
#include "child_process.h"
#include "off_surface.h"

namespace
{
    using Surface = nodara::TriangulatedSurface<3>;
    using nodara::bench::Fields;
    using nodara::bench::format;
    using nodara::bench::parse_fields;
    using Clock = std::chrono::steady_clock;

    const char* const default_scan =
        "/tmp/data/cgal/data/meshes/mannequin-devil.off";

    struct Options
    {
        double timeout{600};
        unsigned saddle_cells{100};
        double saddle_height{5.0};
        unsigned terrain_cells{317};
        bool generated{true};
        bool cgal{true};
        std::vector<std::string> files;
        // With --keep-below AXIS=VALUE, each file is also measured cut to
        // its triangles whose centroid lies below VALUE on AXIS (x, y, z),
        // their largest edge-connected piece.
        int cut_axis{-1};
        double cut_value{0};
    };

    struct Patch
    {
        std::string name;
        std::function<std::unique_ptr<Surface>()> make;
    };

    [[noreturn]] void usage()
    {
        std::fprintf(stderr,
                     "usage: arap_bench [--timeout SECONDS] [--saddle CELLS] "
                     "[--saddle-height H] [--terrain CELLS] [--no-generated] "
                     "[--no-cgal] [--keep-below AXIS=VALUE] [MESH.off ...]\n");
        std::exit(2);
    }

    Options parse(int argc, char** argv)
    {
        Options options;
        for (int i = 1; i < argc; ++i)
        {
            const std::string arg = argv[i];
            const bool has_value = i + 1 < argc;
            if (arg == "--timeout" && has_value)
            {
                options.timeout = std::atof(argv[++i]);
            }
            else if (arg == "--saddle" && has_value)
            {
                options.saddle_cells = std::atoi(argv[++i]);
            }
            else if (arg == "--saddle-height" && has_value)
            {
                options.saddle_height = std::atof(argv[++i]);
            }
            else if (arg == "--terrain" && has_value)
            {
                options.terrain_cells = std::atoi(argv[++i]);
            }
            else if (arg == "--no-generated")
            {
                options.generated = false;
            }
            else if (arg == "--no-cgal")
            {
                options.cgal = false;
            }
            else if (arg == "--keep-below" && has_value &&
                     std::string{"xyz"}.find(argv[i + 1][0]) < 3 &&
                     argv[i + 1][1] == '=')
            {
                options.cut_axis = argv[++i][0] - 'x';
                options.cut_value = std::atof(argv[i] + 2);
            }
            else if (!arg.empty() && arg[0] != '-')
            {
                options.files.push_back(arg);
            }
            else
            {
                usage();
            }
        }
        return options;
    }

    // The height field z = height(x, y) over [0, 1]^2 on a grid of n x n
    // cells, two triangles each, diagonals alternating.
    std::unique_ptr<Surface> height_field(
        unsigned n, const std::function<double(double, double)>& height)
    {
        nodara::bench::Points points;
        for (unsigned j = 0; j <= n; ++j)
        {
            for (unsigned i = 0; i <= n; ++i)
            {
                const double x = double(i) / n;
                const double y = double(j) / n;
                points.push_back({x, y, height(x, y)});
            }
        }
        nodara::bench::Triangles triangles;
        for (nodara::index_t j = 0; j < n; ++j)
        {
            for (nodara::index_t i = 0; i < n; ++i)
            {
                const nodara::index_t v = j * (n + 1) + i;
                if ((i + j) % 2 == 0)
                {
                    triangles.push_back({v, v + 1, v + n + 2});
                    triangles.push_back({v, v + n + 2, v + n + 1});
                }
                else
                {
                    triangles.push_back({v, v + 1, v + n + 1});
                    triangles.push_back({v + 1, v + n + 2, v + n + 1});
                }
            }
        }
        return nodara::bench::make_surface(points, triangles);
    }

    // The triangles of `surface` whose centroid lies below `value` on
    // `axis`.
    std::vector<nodara::index_t> triangles_below(const Surface& surface,
                                                 int axis, double value)
    {
        std::vector<nodara::index_t> kept;
        for (nodara::index_t t = 0; t < surface.nb_polygons(); ++t)
        {
            double sum = 0;
            for (const auto v : surface.polygon_vertices(t))
            {
                sum += surface.point(v)[axis];
            }
            if (sum < 3 * value)
            {
                kept.push_back(t);
            }
        }
        return kept;
    }

    // `surface` cut to the largest piece (triangles joined through edges
    // of two triangles) of its triangles below `value` on `axis`, with the
    // points of those triangles only.
    std::unique_ptr<Surface> cut_below(const Surface& surface, int axis,
                                       double value)
    {
        const auto below = nodara::compact_surface_of_triangles(
            surface, triangles_below(surface, axis, value));
        const auto pieces = nodara::compute_polygon_components(*below);
        std::vector<std::size_t> sizes(pieces.nb_components, 0);
        for (const auto piece : pieces.component)
        {
            ++sizes[piece];
        }
        const auto largest = static_cast<nodara::index_t>(
            std::max_element(sizes.begin(), sizes.end()) - sizes.begin());
        std::vector<nodara::index_t> piece;
        for (nodara::index_t t = 0; t < below->nb_polygons(); ++t)
        {
            if (pieces.component[t] == largest)
            {
                piece.push_back(t);
            }
        }
        return nodara::compact_surface_of_triangles(*below, piece);
    }

    double hill(double x, double y, double cx, double cy, double width)
    {
        const double d2 = (x - cx) * (x - cx) + (y - cy) * (y - cy);
        return std::exp(-d2 / (2.0 * width * width));
    }

    // Three gaussian hills and a low sine ripple.
    double terrain(double x, double y)
    {
        return 0.25 * hill(x, y, 0.3, 0.4, 0.08) +
               0.18 * hill(x, y, 0.7, 0.65, 0.12) +
               0.12 * hill(x, y, 0.55, 0.2, 0.06) +
               0.02 * std::sin(12.0 * x) * std::cos(10.0 * y);
    }

    std::vector<Patch> patches(const Options& options)
    {
        std::vector<Patch> result;
        if (options.generated)
        {
            const auto h = options.saddle_height;
            result.push_back(
                {"saddle z=" + std::to_string(h).substr(0, 4) +
                     "*(0.6xy-0.4x^2)",
                 [n = options.saddle_cells, h]
                 {
                     return height_field(
                         n, [h](double x, double y)
                         { return h * (0.6 * x * y - 0.4 * x * x); });
                 }});
        }
        auto files = options.files;
        if (files.empty())
        {
            files.push_back(default_scan);
        }
        for (const auto& file : files)
        {
            const auto read = [file]
            {
                auto surface = nodara::bench::read_off(file);
                if (!surface)
                {
                    throw std::runtime_error{"cannot read " + file};
                }
                return surface;
            };
            const auto name = file.substr(file.find_last_of('/') + 1);
            result.push_back({name, read});
            if (options.cut_axis >= 0)
            {
                const auto axis = options.cut_axis;
                const auto value = options.cut_value;
                result.push_back({name + " " + char('x' + axis) + "<" +
                                      std::to_string(value).substr(0, 5),
                                  [read, axis, value]
                                  { return cut_below(*read(), axis, value); }});
            }
        }
        if (options.generated)
        {
            result.push_back({"terrain", [n = options.terrain_cells]
                              { return height_field(n, terrain); }});
        }
        return result;
    }

    double seconds_since(Clock::time_point start)
    {
        return std::chrono::duration<double>(Clock::now() - start).count();
    }

    // The distortion figures of `map`, their names prefixed.
    void add_distortion(Fields& fields, const std::string& prefix,
                        const Surface& surface,
                        const std::vector<nodara::Point<2>>& map)
    {
        const auto summary = nodara::compute_distortion_summary(surface, map);
        fields[prefix + "length_p95"] = summary.length.p95;
        fields[prefix + "length_max"] = summary.length.max;
        fields[prefix + "conformal_p95"] = summary.conformal.p95;
        fields[prefix + "flipped"] = summary.nb_flipped_triangles;
        fields[prefix + "scale"] = summary.pieces.size() == 1
                                       ? summary.pieces[0].length_scale()
                                       : std::nan("");
    }

    std::string measure_lscm(const Patch& patch)
    {
        const auto surface = patch.make();
        const auto start = Clock::now();
        auto map = nodara::compute_LSCM_map(*surface);
        nodara::scale_to_true_size(*surface, map);
        Fields fields;
        fields["seconds"] = seconds_since(start);
        fields["triangles"] = surface->nb_polygons();
        add_distortion(fields, "", *surface, map);
        return format(fields);
    }

    std::string measure_arap(const Patch& patch)
    {
        const auto surface = patch.make();
        const auto start = Clock::now();
        const auto solution = nodara::solve_ARAP(*surface);
        Fields fields;
        fields["seconds"] = seconds_since(start);
        fields["triangles"] = surface->nb_polygons();
        fields["iterations"] = solution.iterations;
        fields["converged"] = solution.converged ? 1 : 0;
        fields["start_energy"] = solution.start_energy;
        fields["energy"] = solution.energy;
        add_distortion(fields, "", *surface, solution.map);
        return format(fields);
    }

    // CGAL's map as it comes ("raw_") and scaled to the surface's area
    // ("true_").
    std::string measure_cgal(const Patch& patch)
    {
        const auto surface = patch.make();
        auto cgal = nodara::bench::cgal_arap(*surface);
        Fields fields;
        fields["seconds"] = cgal.seconds;
        fields["triangles"] = surface->nb_polygons();
        fields["iterations"] = cgal.iterations;
        fields["max_iterations"] = cgal.max_iterations;
        fields["post_processed"] = cgal.post_processed ? 1 : 0;
        add_distortion(fields, "raw_", *surface, cgal.uv);
        const auto start = Clock::now();
        const auto factors = nodara::scale_to_true_size(*surface, cgal.uv);
        fields["scaling_seconds"] = seconds_since(start);
        fields["factor"] = factors.size() == 1 ? factors[0] : std::nan("");
        add_distortion(fields, "true_", *surface, cgal.uv);
        return format(fields);
    }

    Fields run(const std::function<std::string()>& work, double timeout,
               const std::string& who)
    {
        const auto result = nodara::bench::run_in_child(work, timeout);
        if (!result.finished)
        {
            std::printf("  %s: %s\n", who.c_str(),
                        nodara::bench::failure_text(result).c_str());
            return {};
        }
        return parse_fields(result.output);
    }

    void print_header()
    {
        std::printf("%-34s %8s  %-27s %5s %9s %9s %9s %9s %7s %7s  %s\n",
                    "patch", "tris", "method", "iter", "seconds", "len p95",
                    "len max", "conf p95", "flipped", "scale", "note");
    }

    void print_row(const std::string& patch, const std::string& method,
                   const Fields& f, const std::string& prefix,
                   const std::string& iterations, const std::string& note)
    {
        std::printf(
            "%-34s %8.0f  %-27s %5s %9.3f %9.4f %9.4f %9.4f %7.0f %7.4f  %s\n",
            patch.c_str(), f.at("triangles"), method.c_str(),
            iterations.c_str(), f.at("seconds"), f.at(prefix + "length_p95"),
            f.at(prefix + "length_max"), f.at(prefix + "conformal_p95"),
            f.at(prefix + "flipped"), f.at(prefix + "scale"), note.c_str());
    }

    std::string number(double value)
    {
        return std::to_string(static_cast<long>(value));
    }

    void print_arap(const std::string& patch, const Fields& f)
    {
        char note[128];
        std::snprintf(
            note, sizeof note, "%s; energy %.4g -> %.4g",
            f.at("converged") != 0 ? "converged" : "stopped at 500 iterations",
            f.at("start_energy"), f.at("energy"));
        print_row(patch, "tessaplan ARAP", f, "", number(f.at("iterations")),
                  note);
    }

    void print_cgal(const std::string& patch, const Fields& f)
    {
        const auto iterations = number(f.at("iterations"));
        char note[160];
        std::snprintf(note, sizeof note, "at most %.0f iterations%s",
                      f.at("max_iterations"),
                      f.at("post_processed") != 0
                          ? "; not one-to-one: CGAL post-processed it"
                          : "");
        print_row(patch, "CGAL ARAP raw", f, "raw_", iterations, note);
        std::snprintf(note, sizeof note,
                      "raw map x %.6g in length (+%.3f s scaling, not in "
                      "seconds)",
                      f.at("factor"), f.at("scaling_seconds"));
        print_row(patch, "CGAL ARAP at true size", f, "true_", iterations,
                  note);
    }

    void bench(const Patch& patch, const Options& options)
    {
        const auto lscm = run([&] { return measure_lscm(patch); },
                              options.timeout, "tessaplan LSCM");
        if (!lscm.empty())
        {
            print_row(patch.name, "tessaplan LSCM at true size", lscm, "", "-",
                      "compute_LSCM_map + scale_to_true_size");
        }
        std::fflush(stdout);
        const auto arap = run([&] { return measure_arap(patch); },
                              options.timeout, "tessaplan ARAP");
        if (!arap.empty())
        {
            print_arap(patch.name, arap);
        }
        std::fflush(stdout);
        if (options.cgal)
        {
            const auto cgal = run([&] { return measure_cgal(patch); },
                                  options.timeout, "CGAL ARAP");
            if (!cgal.empty())
            {
                print_cgal(patch.name, cgal);
            }
        }
        std::fflush(stdout);
    }
}  // namespace

int main(int argc, char** argv)
{
    const auto options = parse(argc, argv);
    std::printf(
        "CGAL %s ARAP_parameterizer_3 at its defaults (read in its header): "
        "lambda 1000, at most 50 iterations, stop when the energy changes "
        "by less than 1e-6 relative; starts from its LSCM (two pinned "
        "vertices); Eigen SparseLU, factorised anew every iteration.\n"
        "tessaplan solve_ARAP at its defaults: at most 500 iterations, "
        "tolerance 1e-6 relative. Seconds include each method's LSCM "
        "start. len = max(sigma1, 1/sigma2), conf = sigma1/sigma2; scale = "
        "sqrt(image area / 3D area). Time limit per run %.0f s.\n\n",
        CGAL_VERSION_STR, options.timeout);
    print_header();
    for (const auto& patch : patches(options))
    {
        bench(patch, options);
    }
    return 0;
}
