// Times compute_LSCM_parameterization step by step on generated disk-shaped
// surfaces, each in a child process under a time limit.
//
//   lscm_bench [--large] [--timeout SECONDS] [--sizes N,N,...]
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "child_process.h"
#include "lscm/lscm.h"
#include "surface_generators.h"

namespace
{
    using nodara::bench::SurfaceKind;

    struct Options
    {
        std::vector<std::size_t> sizes{2000, 20000, 200000};
        double timeout{1800};
    };

    Options parse(int argc, char** argv)
    {
        Options options;
        for (int i = 1; i < argc; ++i)
        {
            const std::string arg = argv[i];
            if (arg == "--large")
            {
                options.sizes.push_back(2000000);
            }
            else if (arg == "--timeout" && i + 1 < argc)
            {
                options.timeout = std::atof(argv[++i]);
            }
            else if (arg == "--sizes" && i + 1 < argc)
            {
                options.sizes.clear();
                std::stringstream list{argv[++i]};
                std::string item;
                while (std::getline(list, item, ','))
                {
                    options.sizes.push_back(std::stoul(item));
                }
            }
            else
            {
                std::fprintf(stderr,
                             "usage: lscm_bench [--large] [--timeout SECONDS] "
                             "[--sizes N,N,...]\n");
                std::exit(2);
            }
        }
        return options;
    }

    // Runs in the child: one surface, one parameterization.
    std::string measure(SurfaceKind kind, std::size_t nb_triangles)
    {
        const auto surface = nodara::bench::make_surface(kind, nb_triangles);
        nodara::LSCM lscm{*surface, "uv"};
        lscm.solve();
        const auto& s = lscm.statistics();
        char line[256];
        std::snprintf(line, sizeof line, "%9u %9u %8.3f %8.3f %9.3f %7lld %9.2e",
                      surface->nb_polygons(), surface->nb_vertices(),
                      s.pin_seconds, s.assembly_seconds, s.solve_seconds,
                      static_cast<long long>(s.iterations), s.relative_error);
        return line;
    }
}  // namespace

int main(int argc, char** argv)
{
    const auto options = parse(argc, argv);
    std::printf("%-18s %9s %9s %8s %8s %9s %7s %9s %9s\n", "surface",
                "triangles", "vertices", "pin s", "build s", "solve s", "iters",
                "rel.err", "peak MB");
    for (const auto size : options.sizes)
    {
        for (const auto kind :
             {SurfaceKind::wavy_height_field, SurfaceKind::spherical_cap})
        {
            const auto result = nodara::bench::run_in_child(
                [&] { return measure(kind, size); }, options.timeout);
            const auto label = nodara::bench::name(kind);
            if (result.finished)
            {
                std::printf("%-18s %s %9.1f\n", label.c_str(),
                            result.output.c_str(), result.peak_rss_kb / 1024.0);
            }
            else
            {
                std::printf("%-18s %9zu %s (peak %.1f MB)\n", label.c_str(),
                            size,
                            result.timed_out ? "timed out" :
                                               result.output.c_str(),
                            result.peak_rss_kb / 1024.0);
            }
            std::fflush(stdout);
        }
    }
    return 0;
}
