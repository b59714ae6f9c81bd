// Times the direct solve of the LSCM normal equations with each fill-reducing
// ordering on generated surfaces: ordering and symbolic analysis, numerical
// factorisation, nonzeros and flops of the factor, the child's peak memory
// (surface, system and factor together), the cores used (CPU time over
// wall time of the solve) and the energy reached. Each
// measurement runs in its own child process under a time limit.
//
//   ordering_bench [--timeout SECONDS] [--sizes N,N,...] [--kinds wavy,cap]
//                  [--pieces N,N,...] [--orderings
//                  amd,metis,nesdis,geometric,auto]
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <sys/resource.h>

#include "bench_arguments.h"
#include "child_process.h"
#include "lscm/normal_equations_solver.h"
#include "lscm_inspector.h"
#include "surface_generators.h"

namespace
{
    using nodara::FillOrdering;
    using nodara::bench::SurfaceKind;

    struct Options
    {
        std::vector<std::size_t> sizes{200000, 2000000};
        double timeout{1800};
        std::vector<std::string> kinds{"wavy", "cap"};
        std::vector<nodara::index_t> pieces{1, 47};
        std::vector<std::string> orderings{"amd", "metis", "nesdis"};
    };

    [[noreturn]] void usage()
    {
        std::fprintf(stderr,
                     "usage: ordering_bench [--timeout SECONDS] "
                     "[--sizes N,N,...] [--kinds wavy,cap] [--pieces N,N,...] "
                     "[--orderings amd,metis,nesdis,geometric,auto]\n");
        std::exit(2);
    }

    FillOrdering ordering_named(const std::string& name)
    {
        const std::map<std::string, FillOrdering> names{
            {"amd", FillOrdering::amd},
            {"metis", FillOrdering::metis},
            {"nesdis", FillOrdering::nested_dissection},
            {"geometric", FillOrdering::geometric},
            {"auto", FillOrdering::automatic}};
        const auto found = names.find(name);
        if (found == names.end())
        {
            usage();
        }
        return found->second;
    }

    Options parse(int argc, char** argv)
    {
        Options options;
        for (int i = 1; i + 1 < argc; i += 2)
        {
            const std::string arg = argv[i];
            const std::string value = argv[i + 1];
            if (arg == "--timeout")
            {
                options.timeout = std::atof(value.c_str());
            }
            else if (arg == "--sizes")
            {
                options.sizes =
                    nodara::bench::parse_numbers<std::size_t>(value, usage);
            }
            else if (arg == "--kinds")
            {
                options.kinds = nodara::bench::split_list(value);
            }
            else if (arg == "--pieces")
            {
                options.pieces =
                    nodara::bench::parse_numbers<nodara::index_t>(value, usage);
            }
            else if (arg == "--orderings")
            {
                options.orderings = nodara::bench::split_list(value);
            }
            else
            {
                usage();
            }
        }
        if (argc % 2 == 0)
        {
            usage();
        }
        for (const auto& kind : options.kinds)
        {
            nodara::bench::kind_named(kind, usage);
        }
        for (const auto& ordering : options.orderings)
        {
            ordering_named(ordering);
        }
        return options;
    }

    // Child: builds the system, solves it directly once and prints the
    // figures.
    std::string measure(SurfaceKind kind, std::size_t size,
                        nodara::index_t pieces, FillOrdering ordering)
    {
        const auto surface = nodara::bench::make_surface(kind, size, pieces);
        const nodara::AssembledLSCM assembled{*surface, "uv"};
        const auto& inspector = assembled.inspector;
        const auto& F = inspector.free_matrix();
        const auto& b = inspector.pinned_values();
        Eigen::VectorXd x = inspector.free_values();
        nodara::NormalEquationsFigures figures;
        const auto cpu_start = std::clock();
        const auto start = std::chrono::steady_clock::now();
        const bool solved =
            nodara::solve_normal_equations(F, b, x, ordering, &figures);
        const double seconds = std::chrono::duration<double>(
                                   std::chrono::steady_clock::now() - start)
                                   .count();
        const double cpu_seconds =
            static_cast<double>(std::clock() - cpu_start) / CLOCKS_PER_SEC;
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        const double energy = (F * x - b).squaredNorm();
        char text[512];
        std::snprintf(
            text, sizeof text,
            "%9.0f %-7s | %6.3f %7.3f %7.3f %6.3f | %7.3f | %6.0f | %8.2f "
            "%9.1f %8.2f | %4.2f | %.17g%s",
            static_cast<double>(surface->nb_polygons()),
            figures.ordering == FillOrdering::amd         ? "amd"
            : figures.ordering == FillOrdering::metis     ? "metis"
            : figures.ordering == FillOrdering::geometric ? "geom"
                                                          : "nesdis",
            figures.assembly_seconds, figures.ordering_seconds,
            figures.factor_seconds, figures.substitution_seconds, seconds,
            usage.ru_maxrss / 1024.0, figures.factor_nonzeros / 1e6,
            figures.factor_flops / 1e9, figures.factor_stored_entries / 1e6,
            cpu_seconds / seconds, energy, solved ? "" : " FAILED");
        return text;
    }
}  // namespace

int main(int argc, char** argv)
{
    const auto options = parse(argc, argv);
    std::printf(
        "%-14s %9s %-7s | %6s %7s %7s %6s | %7s | %6s | %8s %9s %8s | %4s | "
        "%s\n",
        "surface", "triangles", "order", "build", "order", "factor", "subst",
        "total", "MB", "lnz (M)", "flops (G)", "xsize (M)", "cpu", "energy");
    // Flushed before the children fork, which would print it again.
    std::fflush(stdout);
    for (const auto size : options.sizes)
    {
        for (const auto& kind_name : options.kinds)
        {
            for (const auto pieces : options.pieces)
            {
                for (const auto& ordering_name : options.orderings)
                {
                    const auto kind =
                        nodara::bench::kind_named(kind_name, usage);
                    const auto ordering = ordering_named(ordering_name);
                    const auto result = nodara::bench::run_in_child(
                        [&] { return measure(kind, size, pieces, ordering); },
                        options.timeout);
                    const auto label =
                        nodara::bench::case_label(kind_name, pieces);
                    if (result.finished)
                    {
                        std::printf("%-14s %s\n", label.c_str(),
                                    result.output.c_str());
                    }
                    else
                    {
                        std::printf(
                            "%-14s %zu %s: %s\n", label.c_str(), size,
                            ordering_name.c_str(),
                            nodara::bench::failure_text(result).c_str());
                    }
                    std::fflush(stdout);
                }
            }
        }
    }
    return 0;
}
