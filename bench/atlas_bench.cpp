// Cuts closed surfaces into atlases and reports, per mesh, the charts, the
// seam edges, the covered share of the square, the distortion and the time,
// with the exact check of every atlas.
//
//   atlas_bench [--max-distortion X] [MESH.off ...]
// (Debian's libcgal-demo ships scanned meshes in
// /usr/share/doc/libcgal-demo/data.tar.gz, under data/meshes.)
// Without mesh files it runs on generated closed surfaces: spheres, a torus
// and a surface of genus 3, of 5k to 100k triangles.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include <tessaplan/atlas.h>
#include <velmora/mesh/manifold_adjacency.h>

#include "off_surface.h"

namespace
{
    using nodara::index_t;
    using nodara::bench::make_surface;
    using nodara::bench::Points;
    using nodara::bench::read_off;
    using nodara::bench::Triangles;
    const double pi = std::acos(-1.0);

    // A closed grid of n x m cells wrapped in both directions (a torus).
    template <typename Place>
    std::unique_ptr<nodara::TriangulatedSurface<3>> torus_grid(index_t n,
                                                               index_t m,
                                                               Place place)
    {
        Points points;
        Triangles triangles;
        for (index_t j = 0; j < m; ++j)
        {
            for (index_t i = 0; i < n; ++i)
            {
                points.push_back(place(2 * pi * i / n, 2 * pi * j / m));
            }
        }
        const auto id = [&](index_t i, index_t j)
        { return (j % m) * n + (i % n); };
        for (index_t j = 0; j < m; ++j)
        {
            for (index_t i = 0; i < n; ++i)
            {
                triangles.push_back({id(i, j), id(i + 1, j), id(i + 1, j + 1)});
                triangles.push_back({id(i, j), id(i + 1, j + 1), id(i, j + 1)});
            }
        }
        return make_surface(points, triangles);
    }

    // A sphere as a latitude-longitude grid closed by two fans.
    std::unique_ptr<nodara::TriangulatedSurface<3>> sphere(index_t n)
    {
        Points points{{0, 0, 1}, {0, 0, -1}};
        Triangles triangles;
        const index_t rings = n / 2;
        for (index_t j = 1; j < rings; ++j)
        {
            const double theta = pi * j / rings;
            for (index_t i = 0; i < n; ++i)
            {
                const double phi = 2 * pi * i / n;
                points.push_back({std::sin(theta) * std::cos(phi),
                                  std::sin(theta) * std::sin(phi),
                                  std::cos(theta)});
            }
        }
        const auto id = [&](index_t i, index_t j)
        { return 2 + (j - 1) * n + i % n; };
        for (index_t i = 0; i < n; ++i)
        {
            triangles.push_back({0, id(i, 1), id(i + 1, 1)});
            triangles.push_back({1, id(i + 1, rings - 1), id(i, rings - 1)});
            for (index_t j = 1; j + 1 < rings; ++j)
            {
                triangles.push_back({id(i, j), id(i, j + 1), id(i + 1, j + 1)});
                triangles.push_back({id(i, j), id(i + 1, j + 1), id(i + 1, j)});
            }
        }
        return make_surface(points, triangles);
    }

    // A plate of n x m cells, `layers` cells thick, with three square
    // holes through it: a closed surface of genus 3 (a pretzel), its top
    // and bottom gently waved.
    std::unique_ptr<nodara::TriangulatedSurface<3>> pretzel(index_t n,
                                                            index_t m,
                                                            index_t layers)
    {
        const auto hole = [&](index_t i, index_t j)
        {
            const index_t side = m / 2;
            const index_t low = (m - side) / 2;
            for (index_t k = 0; k < 3; ++k)
            {
                const index_t left = (2 * k + 1) * n / 6 - side / 2;
                if (i >= left && i < left + side && j >= low && j < low + side)
                {
                    return true;
                }
            }
            return false;
        };
        const auto present = [&](long i, long j)
        {
            return i >= 0 && j >= 0 && i < long(n) && j < long(m) &&
                   !hole(index_t(i), index_t(j));
        };
        Points points;
        Triangles triangles;
        std::map<std::array<index_t, 3>, index_t> ids;
        const double cell = 1.0 / m;
        const auto id = [&](index_t i, index_t j, index_t level)
        {
            const auto found = ids.find({i, j, level});
            if (found != ids.end())
            {
                return found->second;
            }
            const double x = i * cell;
            const double y = j * cell;
            const double wave = 0.05 * std::sin(7 * x) * std::cos(5 * y);
            const double z = (level * cell) + (level == 0        ? -wave
                                               : level == layers ? wave
                                                                 : 0);
            points.push_back({x, y, z});
            return ids[{i, j, level}] = index_t(points.size() - 1);
        };
        const auto quad = [&](index_t a, index_t b, index_t c, index_t d)
        {
            triangles.push_back({a, b, c});
            triangles.push_back({a, c, d});
        };
        for (index_t j = 0; j < m; ++j)
        {
            for (index_t i = 0; i < n; ++i)
            {
                if (!present(i, j))
                {
                    continue;
                }
                quad(id(i, j, layers), id(i + 1, j, layers),
                     id(i + 1, j + 1, layers), id(i, j + 1, layers));
                quad(id(i, j, 0), id(i, j + 1, 0), id(i + 1, j + 1, 0),
                     id(i + 1, j, 0));
                // Walls where the neighbour is missing, facing it.
                for (index_t l = 0; l < layers; ++l)
                {
                    if (!present(long(i), long(j) - 1))
                    {
                        quad(id(i, j, l), id(i + 1, j, l), id(i + 1, j, l + 1),
                             id(i, j, l + 1));
                    }
                    if (!present(long(i) + 1, long(j)))
                    {
                        quad(id(i + 1, j, l), id(i + 1, j + 1, l),
                             id(i + 1, j + 1, l + 1), id(i + 1, j, l + 1));
                    }
                    if (!present(long(i), long(j) + 1))
                    {
                        quad(id(i + 1, j + 1, l), id(i, j + 1, l),
                             id(i, j + 1, l + 1), id(i + 1, j + 1, l + 1));
                    }
                    if (!present(long(i) - 1, long(j)))
                    {
                        quad(id(i, j + 1, l), id(i, j, l), id(i, j, l + 1),
                             id(i, j + 1, l + 1));
                    }
                }
            }
        }
        return make_surface(points, triangles);
    }

    void report(const std::string& name,
                const nodara::TriangulatedSurface<3>& surface,
                const nodara::AtlasOptions& options)
    {
        const auto start = std::chrono::steady_clock::now();
        const auto atlas = nodara::compute_atlas(surface, options);
        const auto seconds = std::chrono::duration<double>(
                                 std::chrono::steady_clock::now() - start)
                                 .count();
        const auto& check = atlas.check;
        // Triangle-weighted 95th percentile of the charts' p95, and the
        // worst chart.
        std::vector<double> p95;
        double worst = 1.0;
        for (const auto& chart : atlas.charts)
        {
            if (!chart.degenerate)
            {
                p95.insert(p95.end(), chart.nb_triangles, chart.conformal_p95);
                worst = std::max(worst, chart.conformal_p95);
            }
        }
        std::sort(p95.begin(), p95.end());
        const double typical =
            p95.empty()
                ? NAN
                : p95[static_cast<std::size_t>(0.95 * (p95.size() - 1))];
        index_t edges = 0;
        index_t border = 0;
        const auto adjacencies = nodara::compute_manifold_adjacencies(surface);
        for (index_t t = 0; t < surface.nb_polygons(); ++t)
        {
            for (const auto q : adjacencies[t])
            {
                edges += q == nodara::NO_ID || q > t;
                border += q == nodara::NO_ID;
            }
        }
        std::printf(
            "%-26s %8u (%5u border) | %6zu charts, %6u seam edges (%4.1f%%), "
            "efficiency "
            "%4.1f%%, chart conformal p95 %.3f (worst %.3f), flips %u, "
            "overlaps %zu, %6.2f s\n",
            name.c_str(), surface.nb_polygons(), border, atlas.charts.size(),
            atlas.nb_seam_edges, 100.0 * atlas.nb_seam_edges / edges,
            100.0 * atlas.efficiency, typical, worst,
            check.nb_flipped_triangles, check.nb_overlapping_pairs, seconds);
        std::fflush(stdout);
    }
}  // namespace

int main(int argc, char** argv)
{
    nodara::AtlasOptions options;
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i)
    {
        const std::string arg = argv[i];
        if (arg == "--max-distortion" && i + 1 < argc)
        {
            options.max_distortion = std::atof(argv[++i]);
        }
        else
        {
            files.push_back(arg);
        }
    }
    if (files.empty())
    {
        report("sphere", *sphere(70), options);
        report("sphere", *sphere(316), options);
        report("torus",
               *torus_grid(160, 64,
                           [](double a, double b)
                           {
                               return std::array<double, 3>{
                                   (2 + 0.7 * std::cos(b)) * std::cos(a),
                                   (2 + 0.7 * std::cos(b)) * std::sin(a),
                                   0.7 * std::sin(b)};
                           }),
               options);
        report("genus 3", *pretzel(200, 60, 4), options);
        return 0;
    }
    for (const auto& file : files)
    {
        const auto surface = read_off(file);
        if (!surface)
        {
            std::printf("%s: cannot be read\n", file.c_str());
            continue;
        }
        report(file.substr(file.find_last_of('/') + 1), *surface, options);
    }
    return 0;
}
