// The atlas's stages over sizes, one surface refined: seconds per stage at
// each size and the exponent of a power law fitted to them (1 for linear
// cost).
//
//   atlas_scale_bench [--kind closed|field] [--max TRIANGLES]
//
// "closed" (the default) is a bumpy torus, closed like a scan; "field" the
// wavy height field of the flattening benchmarks. Sizes run from 10k
// triangles by factors of about 3 up to --max (1M by default).
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <tessaplan/atlas.h>

#include "atlas_stages.h"
#include "off_surface.h"
#include "surface_generators.h"

namespace
{
    using nodara::index_t;
    using nodara::bench::AtlasStages;

    // A torus with bumps of fixed frequency, 2 n^2 triangles.
    std::unique_ptr<nodara::TriangulatedSurface<3>> bumpy_torus(index_t n)
    {
        const double pi = std::acos(-1.0);
        nodara::bench::Points points;
        nodara::bench::Triangles triangles;
        for (index_t j = 0; j < n; ++j)
        {
            for (index_t i = 0; i < n; ++i)
            {
                const double u = 2 * pi * i / n;
                const double v = 2 * pi * j / n;
                const double r = 0.4 + 0.06 * std::sin(9 * u) * std::cos(7 * v);
                points.push_back({(1 + r * std::cos(v)) * std::cos(u),
                                  (1 + r * std::cos(v)) * std::sin(u),
                                  r * std::sin(v)});
            }
        }
        const auto id = [n](index_t i, index_t j)
        { return (j % n) * n + (i % n); };
        for (index_t j = 0; j < n; ++j)
        {
            for (index_t i = 0; i < n; ++i)
            {
                triangles.push_back({id(i, j), id(i + 1, j), id(i + 1, j + 1)});
                triangles.push_back({id(i, j), id(i + 1, j + 1), id(i, j + 1)});
            }
        }
        return nodara::bench::make_surface(points, triangles);
    }

    std::unique_ptr<nodara::TriangulatedSurface<3>> surface_of(
        const std::string& kind, std::size_t nb_triangles)
    {
        if (kind == "field")
        {
            return nodara::bench::make_surface(
                nodara::bench::SurfaceKind::wavy_height_field, nb_triangles);
        }
        return bumpy_torus(
            static_cast<index_t>(std::lround(std::sqrt(nb_triangles / 2.0))));
    }

    // The least-squares slope of log(seconds) over log(triangles).
    double exponent(const std::vector<double>& sizes,
                    const std::vector<double>& seconds)
    {
        double sx = 0, sy = 0, sxx = 0, sxy = 0;
        const double n = static_cast<double>(sizes.size());
        for (std::size_t i = 0; i < sizes.size(); ++i)
        {
            const double x = std::log(sizes[i]);
            const double y = std::log(std::max(seconds[i], 1e-6));
            sx += x;
            sy += y;
            sxx += x * x;
            sxy += x * y;
        }
        return (n * sxy - sx * sy) / (n * sxx - sx * sx);
    }
}  // namespace

int main(int argc, char** argv)
{
    std::string kind = "closed";
    std::size_t largest = 1000000;
    for (int i = 1; i + 1 < argc; i += 2)
    {
        const std::string arg = argv[i];
        if (arg == "--kind")
        {
            kind = argv[i + 1];
        }
        else if (arg == "--max")
        {
            largest = static_cast<std::size_t>(std::atol(argv[i + 1]));
        }
    }
    const nodara::AtlasOptions options;
    std::vector<double> sizes;
    std::vector<std::vector<double>> seconds(AtlasStages::nb_stages + 1);
    for (const std::size_t size : {10000, 30000, 100000, 300000, 1000000})
    {
        if (size > largest)
        {
            break;
        }
        const auto surface = surface_of(kind, size);
        const auto stages = nodara::bench::time_atlas_stages(*surface, options);
        std::printf("%-7s %8u", kind.c_str(), surface->nb_polygons());
        for (int s = 0; s < AtlasStages::nb_stages; ++s)
        {
            std::printf("  %s %7.3f", AtlasStages::names[s], stages.seconds[s]);
            seconds[s].push_back(stages.seconds[s]);
        }
        seconds.back().push_back(stages.total());
        std::printf("  total %7.3f  charts %zu  seams %zu  p95 %.3f  %s\n",
                    stages.total(), stages.straightened, stages.seams,
                    stages.worst_conformal, stages.valid ? "valid" : "INVALID");
        std::fflush(stdout);
        sizes.push_back(surface->nb_polygons());
    }
    if (sizes.size() < 2)
    {
        return 0;
    }
    std::printf("exponent");
    for (int s = 0; s < AtlasStages::nb_stages; ++s)
    {
        std::printf("  %s %.2f", AtlasStages::names[s],
                    exponent(sizes, seconds[s]));
    }
    std::printf("  total %.2f\n", exponent(sizes, seconds.back()));
    return 0;
}
