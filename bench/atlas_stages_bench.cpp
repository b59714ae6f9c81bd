// Times the atlas's stages one by one and counts the charts after each:
//
//   atlas_stages_bench [--shuffle SEED] [--resolution R] MESH.off ...
//
// With --shuffle the triangles are given in a random order (and their
// corners turned), the same surface otherwise: the charts should not
// depend on it. One line per mesh: triangles, seconds of frame and facts,
// cutting, merging, seam straightening, packing, placing and the exact
// check, charts after cutting, merging and straightening, seam edges, the
// worst chart's 95th percentile of conformal distortion and the check.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include <tessaplan/atlas.h>
#include <tessaplan/atlas_check.h>

#include "atlas/atlas_frame.h"
#include "atlas/chart_cutting.h"
#include "atlas/chart_merging.h"
#include "atlas/chart_packing.h"
#include "atlas/seam_straightening.h"
#include "atlas/surface_facts.h"
#include "off_surface.h"

namespace
{
    using nodara::index_t;

    class Lap
    {
    public:
        double operator()()
        {
            const auto now = std::chrono::steady_clock::now();
            const std::chrono::duration<double> elapsed = now - last_;
            last_ = now;
            return elapsed.count();
        }

    private:
        std::chrono::steady_clock::time_point last_ =
            std::chrono::steady_clock::now();
    };

    // The same surface with its triangles in another order, each with its
    // corners turned by a random step (orientation kept).
    std::unique_ptr<nodara::TriangulatedSurface<3>> shuffled(
        const nodara::TriangulatedSurface<3>& surface, unsigned seed)
    {
        nodara::bench::Points points;
        for (index_t v = 0; v < surface.nb_vertices(); ++v)
        {
            const auto& p = surface.point(v);
            points.push_back({p[0], p[1], p[2]});
        }
        nodara::bench::Triangles triangles;
        std::mt19937 random{seed};
        for (index_t t = 0; t < surface.nb_polygons(); ++t)
        {
            auto corners = surface.polygon_vertices(t);
            std::rotate(corners.begin(), corners.begin() + random() % 3,
                        corners.end());
            triangles.push_back({corners[0], corners[1], corners[2]});
        }
        std::shuffle(triangles.begin(), triangles.end(), random);
        return nodara::bench::make_surface(points, triangles);
    }

    // Edges whose two triangles lie in different charts.
    std::size_t seam_edges(const nodara::PolygonAdjacencies& adjacencies,
                           const std::vector<nodara::Chart>& charts)
    {
        const auto chart_of =
            nodara::chart_of_triangles(adjacencies.size(), charts);
        std::size_t count = 0;
        for (index_t t = 0; t < adjacencies.size(); ++t)
        {
            for (const auto q : adjacencies[t])
            {
                count +=
                    q != nodara::NO_ID && q > t && chart_of[q] != chart_of[t];
            }
        }
        return count;
    }

    // The largest 95th percentile of conformal distortion over the charts.
    double worst_conformal(const std::vector<nodara::Chart>& charts)
    {
        double worst = 0;
        for (const auto& chart : charts)
        {
            worst = chart.degenerate ? worst
                                     : std::max(worst, chart.map.conformal_p95);
        }
        return worst;
    }

    void run(const std::string& name,
             const nodara::TriangulatedSurface<3>& surface,
             const nodara::AtlasOptions& options)
    {
        Lap lap;
        const auto frame = nodara::atlas_frame(surface);
        const auto& working = frame.surface(surface);
        const auto facts = nodara::surface_facts(working);
        const nodara::ChartBounds bounds{options};
        const double t_facts = lap();
        auto charts = nodara::cut_charts(working, facts, bounds);
        const auto cut = charts.size();
        const double t_cut = lap();
        nodara::merge_charts(working, facts.adjacencies, bounds, charts);
        const auto merged = charts.size();
        const double t_merge = lap();
        nodara::straighten_seams(working, facts.adjacencies, bounds, charts);
        const double t_straighten = lap();
        const auto packing = nodara::pack_charts(charts, options);
        const double t_pack = lap();
        nodara::CornerMap corners(working.nb_polygons());
        for (index_t c = 0; c < charts.size(); ++c)
        {
            const auto placed =
                nodara::packed_corners(charts[c], packing.placements[c],
                                       packing.texels_per_unit, options);
            for (std::size_t i = 0; i < charts[c].triangles.size(); ++i)
            {
                corners[charts[c].triangles[i]] = placed[i];
            }
        }
        const auto check = nodara::check_atlas(working, corners);
        const double t_check = lap();
        std::printf(
            "%-28s %8u  facts %6.3f  cut %6.3f  merge %6.3f  straighten "
            "%6.3f  pack %6.3f  check %6.3f  total %7.3f  charts %zu/%zu/%zu"
            "  seams %zu  p95 %.3f  %s\n",
            name.c_str(), surface.nb_polygons(), t_facts, t_cut, t_merge,
            t_straighten, t_pack, t_check,
            t_facts + t_cut + t_merge + t_straighten + t_pack + t_check, cut,
            merged, charts.size(), seam_edges(facts.adjacencies, charts),
            worst_conformal(charts), check.valid() ? "valid" : "INVALID");
    }
}  // namespace

int main(int argc, char** argv)
{
    nodara::AtlasOptions options;
    int seed = -1;
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i)
    {
        const std::string arg = argv[i];
        if (arg == "--shuffle" && i + 1 < argc)
        {
            seed = std::atoi(argv[++i]);
        }
        else if (arg == "--resolution" && i + 1 < argc)
        {
            options.resolution = static_cast<index_t>(std::atoi(argv[++i]));
        }
        else
        {
            files.push_back(arg);
        }
    }
    for (const auto& file : files)
    {
        auto surface = nodara::bench::read_off(file);
        if (!surface)
        {
            std::fprintf(stderr, "cannot read %s\n", file.c_str());
            return 1;
        }
        if (seed >= 0)
        {
            surface = shuffled(*surface, static_cast<unsigned>(seed));
        }
        const auto slash = file.find_last_of('/');
        run(slash == std::string::npos ? file : file.substr(slash + 1),
            *surface, options);
    }
    return 0;
}
