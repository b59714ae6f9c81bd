// Flattens large generated surfaces end to end through
// solve_LSCM, each in its own child process under a time
// limit: the surface is generated in the child, then flattened in one call.
// Prints the call's wall and CPU time (the CPU time of the process, all
// threads, which a loaded machine inflates less than the wall time), the
// child's peak memory when the call returns and, unless --no-energy, the
// conformal energy of the map (computed after the peak was read) and, with
// --verify, its distance to the exact minimiser's.
//
//   scale_bench [--timeout SECONDS] [--sizes N,N,...] [--kinds wavy,cap]
//               [--pieces N,N,...] [--no-energy] [--verify]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include <sys/resource.h>

#include <tessaplan/lscm.h>

#include "bench_arguments.h"
#include "child_process.h"
#include "conformal_energy.h"
#include "surface_generators.h"

namespace
{
    using nodara::bench::SurfaceKind;

    struct Options
    {
        std::vector<std::size_t> sizes{10000000};
        double timeout{900};
        std::vector<std::string> kinds{"wavy"};
        std::vector<nodara::index_t> pieces{1};
        bool energy{true};
        bool verify{false};
    };

    [[noreturn]] void usage()
    {
        std::fprintf(stderr,
                     "usage: scale_bench [--timeout SECONDS] [--sizes N,...] "
                     "[--kinds wavy,cap] [--pieces N,...] [--no-energy] "
                     "[--verify]\n");
        std::exit(2);
    }

    Options parse(int argc, char** argv)
    {
        Options options;
        for (int i = 1; i < argc; ++i)
        {
            const std::string arg = argv[i];
            const bool has_value = i + 1 < argc;
            if (arg == "--no-energy")
            {
                options.energy = false;
            }
            else if (arg == "--verify")
            {
                options.verify = true;
            }
            else if (arg == "--timeout" && has_value)
            {
                options.timeout = std::atof(argv[++i]);
            }
            else if (arg == "--sizes" && has_value)
            {
                options.sizes =
                    nodara::bench::parse_numbers<std::size_t>(argv[++i], usage);
            }
            else if (arg == "--kinds" && has_value)
            {
                options.kinds = nodara::bench::split_list(argv[++i]);
            }
            else if (arg == "--pieces" && has_value)
            {
                options.pieces = nodara::bench::parse_numbers<nodara::index_t>(
                    argv[++i], usage);
            }
            else
            {
                usage();
            }
        }
        for (const auto& kind : options.kinds)
        {
            nodara::bench::kind_named(kind, usage);
        }
        return options;
    }

    std::string measure(SurfaceKind kind, std::size_t size,
                        nodara::index_t pieces, const Options& options)
    {
        auto start = std::chrono::steady_clock::now();
        const auto surface = nodara::bench::make_surface(kind, size, pieces);
        const double generation = std::chrono::duration<double>(
                                      std::chrono::steady_clock::now() - start)
                                      .count();
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        const double surface_mb = usage.ru_maxrss / 1024.0;
        const double cpu_before =
            usage.ru_utime.tv_sec + usage.ru_utime.tv_usec * 1e-6 +
            usage.ru_stime.tv_sec + usage.ru_stime.tv_usec * 1e-6;
        start = std::chrono::steady_clock::now();
        const auto solution = nodara::solve_LSCM(*surface);
        const double seconds = std::chrono::duration<double>(
                                   std::chrono::steady_clock::now() - start)
                                   .count();
        getrusage(RUSAGE_SELF, &usage);
        const double cpu_seconds =
            usage.ru_utime.tv_sec + usage.ru_utime.tv_usec * 1e-6 +
            usage.ru_stime.tv_sec + usage.ru_stime.tv_usec * 1e-6 - cpu_before;
        char text[256];
        std::snprintf(text, sizeof text,
                      "%10.0f | %7.3f s, CPU %7.3f s | %6.0f MB peak (%5.0f MB "
                      "after generation in %.1f s)",
                      static_cast<double>(surface->nb_polygons()), seconds,
                      cpu_seconds, usage.ru_maxrss / 1024.0, surface_mb,
                      generation);
        std::string result = text;
        const auto& steps = solution.statistics;
        std::snprintf(text, sizeof text,
                      " | pins %.2f, assembly %.2f, solve %.2f (direct %.2f, "
                      "%lld iterations)",
                      steps.pin_seconds, steps.assembly_seconds,
                      steps.solve_seconds, steps.direct_seconds,
                      static_cast<long long>(steps.iterations));
        result += text;
        if (options.energy || options.verify)
        {
            const nodara::bench::ConformalEnergy conformal_energy{*surface,
                                                                  solution.map};
            const auto energy = conformal_energy.of(solution.map);
            std::snprintf(text, sizeof text, " | energy %.17g", energy);
            result += text;
            if (options.verify)
            {
                const auto minimum = conformal_energy.direct_minimum(
                    solution.pinned_vertices, solution.map);
                std::snprintf(text, sizeof text, ", vs direct minimiser %+.1e",
                              (energy - minimum) / minimum);
                result += text;
            }
        }
        return result;
    }
}  // namespace

int main(int argc, char** argv)
{
    const auto options = parse(argc, argv);
    for (const auto size : options.sizes)
    {
        for (const auto& kind_name : options.kinds)
        {
            for (const auto pieces : options.pieces)
            {
                const auto kind = nodara::bench::kind_named(kind_name, usage);
                const auto result = nodara::bench::run_in_child(
                    [&] { return measure(kind, size, pieces, options); },
                    options.timeout);
                const auto label = nodara::bench::case_label(kind_name, pieces);
                if (result.finished)
                {
                    std::printf("%-8s %s\n", label.c_str(),
                                result.output.c_str());
                }
                else
                {
                    std::printf("%-8s %zu: %s\n", label.c_str(), size,
                                nodara::bench::failure_text(result).c_str());
                }
                std::fflush(stdout);
            }
        }
    }
    return 0;
}
