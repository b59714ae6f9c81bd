// Times solve_LSCM step by step on generated disk-shaped
// surfaces, whole or cut into pieces, and, where CGAL is available, CGAL's
// LSCM on the whole surfaces. Every measurement runs in its own child
// process under a time limit; peak memory is the child's peak resident set
// when the parameterization ends. A surface in pieces is reported with its
// time as a multiple of the whole surface's of the same size.
//
//   lscm_bench [--large] [--no-cgal] [--no-verify] [--timeout SECONDS]
//              [--sizes N,N,...] [--kinds wavy,cap] [--pieces N,N,...]
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <sys/resource.h>

#include <tessaplan/lscm.h>

#include "bench_arguments.h"
#include "child_process.h"
#include "conformal_energy.h"
#include "surface_generators.h"
#ifdef TESSAPLAN_BENCH_WITH_CGAL
#include "cgal_lscm.h"
#endif

namespace
{
    using nodara::bench::Fields;
    using nodara::bench::format;
    using nodara::bench::parse_fields;
    using nodara::bench::SurfaceKind;

    struct Options
    {
        std::vector<std::size_t> sizes{2000, 20000, 200000};
        double timeout{1800};
        std::vector<SurfaceKind> kinds{SurfaceKind::wavy_height_field,
                                       SurfaceKind::spherical_cap};
        std::vector<nodara::index_t> pieces{1};
        bool cgal{true};
        bool verify{true};
    };

    [[noreturn]] void usage()
    {
        std::fprintf(stderr,
                     "usage: lscm_bench [--large] [--no-cgal] [--no-verify] "
                     "[--timeout SECONDS] [--sizes N,N,...] "
                     "[--kinds wavy,cap] [--pieces N,N,...]\n");
        std::exit(2);
    }

    std::vector<SurfaceKind> parse_kinds(const std::string& list)
    {
        std::vector<SurfaceKind> kinds;
        for (const auto& item : nodara::bench::split_list(list))
        {
            kinds.push_back(nodara::bench::kind_named(item, usage));
        }
        return kinds;
    }

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
            else if (arg == "--no-cgal")
            {
                options.cgal = false;
            }
            else if (arg == "--no-verify")
            {
                options.verify = false;
            }
            else if (arg == "--timeout" && i + 1 < argc)
            {
                options.timeout = std::atof(argv[++i]);
            }
            else if (arg == "--kinds" && i + 1 < argc)
            {
                options.kinds = parse_kinds(argv[++i]);
            }
            else if (arg == "--sizes" && i + 1 < argc)
            {
                options.sizes =
                    nodara::bench::parse_numbers<std::size_t>(argv[++i], usage);
            }
            else if (arg == "--pieces" && i + 1 < argc)
            {
                options.pieces = nodara::bench::parse_numbers<nodara::index_t>(
                    argv[++i], usage);
            }
            else
            {
                usage();
            }
        }
        return options;
    }

    double peak_rss_mb()
    {
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        return usage.ru_maxrss / 1024.0;
    }

    // Child: this library's parameterization.
    std::string measure_ours(SurfaceKind kind, std::size_t size,
                             nodara::index_t pieces, bool verify)
    {
        const auto surface = nodara::bench::make_surface(kind, size, pieces);
        const auto start = std::chrono::steady_clock::now();
        const auto solution = nodara::solve_LSCM(*surface);
        Fields fields;
        fields["seconds"] = std::chrono::duration<double>(
                                std::chrono::steady_clock::now() - start)
                                .count();
        fields["peak_mb"] = peak_rss_mb();
        const auto& s = solution.statistics;
        fields["triangles"] = surface->nb_polygons();
        fields["pin"] = s.pin_seconds;
        fields["assembly"] = s.assembly_seconds;
        fields["solve"] = s.solve_seconds;
        fields["direct"] = s.direct_seconds;
        fields["iterations"] = static_cast<double>(s.iterations);
        fields["error"] = s.relative_error;
        fields["single_threaded"] = s.single_threaded ? 1 : 0;
        const nodara::bench::ConformalEnergy conformal_energy{*surface,
                                                              solution.map};
        const auto energy = conformal_energy.of(solution.map);
        fields["energy"] = energy;
        if (verify)
        {
            const auto minimum = conformal_energy.direct_minimum(
                solution.pinned_vertices, solution.map);
            fields["energy_vs_direct"] = (energy - minimum) / minimum;
        }
        return format(fields);
    }

#ifdef TESSAPLAN_BENCH_WITH_CGAL
    // Child: CGAL's parameterization, then its energy in this library's
    // system once moved onto the same pinned positions.
    std::string measure_cgal(SurfaceKind kind, std::size_t size)
    {
        const auto surface = nodara::bench::make_surface(kind, size);
        const auto cgal = nodara::bench::cgal_lscm(*surface);
        Fields fields;
        fields["seconds"] = cgal.seconds;
        fields["peak_mb"] = peak_rss_mb();
        const auto solution = nodara::solve_LSCM(*surface);
        const auto& ours = solution.map;
        const auto& pins = solution.pinned_vertices;
        const auto aligned = nodara::bench::align_to_pins(
            pins, {ours[pins[0]], ours[pins[1]]}, cgal.uv);
        const nodara::bench::ConformalEnergy conformal_energy{*surface, ours};
        const auto energy = conformal_energy.of(aligned);
        const auto own = conformal_energy.of(ours);
        fields["energy_excess"] = (energy - own) / own;
        return format(fields);
    }
#endif

    // Runs one child; prints a failure and returns empty fields on error.
    Fields run(const std::function<std::string()>& work, double timeout,
               const char* who)
    {
        const auto result = nodara::bench::run_in_child(work, timeout);
        if (!result.finished)
        {
            std::printf("  %s: %s\n", who,
                        nodara::bench::failure_text(result).c_str());
            return {};
        }
        return parse_fields(result.output);
    }

    std::string energy_text(const Fields& ours)
    {
        const auto found = ours.find("energy_vs_direct");
        if (found == ours.end())
        {
            return "";
        }
        char text[64];
        std::snprintf(text, sizeof text, ", energy vs direct minimiser %+.1e",
                      found->second);
        return text;
    }

    // The time as a multiple of the whole surface's, for a surface in
    // pieces.
    std::string ratio_text(const Fields& ours, const Fields& whole)
    {
        if (whole.empty())
        {
            return "";
        }
        char text[48];
        std::snprintf(text, sizeof text, ", %.2fx the one-piece time",
                      ours.at("seconds") / whole.at("seconds"));
        return text;
    }

    void report(const std::string& label, const Fields& ours,
                const Fields& whole, const Fields& cgal)
    {
        std::printf(
            "%-28s %9.0f | %7.3f s (pin %.3f, build %.3f, solve %.3f of "
            "which direct %.3f, %s) %6.0f MB, %4.0f iterations, rel. "
            "error %.1e%s%s\n",
            label.c_str(), ours.at("triangles"), ours.at("seconds"),
            ours.at("pin"), ours.at("assembly"), ours.at("solve"),
            ours.at("direct"),
            ours.at("single_threaded") != 0 ? "1 thread" : "threads",
            ours.at("peak_mb"), ours.at("iterations"), ours.at("error"),
            energy_text(ours).c_str(), ratio_text(ours, whole).c_str());
        if (!cgal.empty())
        {
            std::printf(
                "%-28s %9s | CGAL %7.3f s %6.0f MB: %.1fx the time, "
                "%.2fx the memory; CGAL's energy on the same pins "
                "%+.1e relative\n",
                "", "", cgal.at("seconds"), cgal.at("peak_mb"),
                cgal.at("seconds") / ours.at("seconds"),
                cgal.at("peak_mb") / ours.at("peak_mb"),
                cgal.at("energy_excess"));
        }
    }
}  // namespace

int main(int argc, char** argv)
{
    const auto options = parse(argc, argv);
#ifndef TESSAPLAN_BENCH_WITH_CGAL
    if (options.cgal)
    {
        std::printf("CGAL not found at build time: its LSCM is skipped.\n");
    }
#endif
    for (const auto size : options.sizes)
    {
        for (const auto kind : options.kinds)
        {
            Fields whole;
            for (const auto pieces : options.pieces)
            {
                auto label = nodara::bench::name(kind);
                if (pieces > 1)
                {
                    label += ", " + std::to_string(pieces) + " pieces";
                }
                const auto ours = run(
                    [&] {
                        return measure_ours(kind, size, pieces, options.verify);
                    },
                    options.timeout, "Tessaplan");
                Fields cgal;
#ifdef TESSAPLAN_BENCH_WITH_CGAL
                if (options.cgal && pieces == 1)
                {
                    cgal = run([&] { return measure_cgal(kind, size); },
                               options.timeout, "CGAL");
                }
#endif
                if (!ours.empty())
                {
                    report(label, ours, pieces > 1 ? whole : Fields{}, cgal);
                }
                if (pieces == 1)
                {
                    whole = ours;
                }
                std::fflush(stdout);
            }
        }
    }
    return 0;
}
