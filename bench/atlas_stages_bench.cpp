// Times the atlas's stages one by one and counts the charts after each:
//
//   atlas_stages_bench [--shuffle SEED] [--resolution R] MESH.off ...
//
// With --shuffle the triangles are given in a random order (and their
// corners turned), the same surface otherwise: the charts should not
// depend on it. One line per mesh: triangles, seconds of frame and facts,
// cutting, merging, seam straightening and shortening (before and after
// merging), packing, placing and the exact
// check, charts after cutting, merging and straightening, seam edges, the
// worst chart's 95th percentiles of conformal distortion and of texel
// density both ways, that of the whole packed map, the share of the square
// the packed triangles cover, and the check.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include <tessaplan/atlas.h>

#include "atlas_stages.h"
#include "off_surface.h"

namespace
{
    using nodara::index_t;

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

    void run(const std::string& name,
             const nodara::TriangulatedSurface<3>& surface,
             const nodara::AtlasOptions& options)
    {
        const auto stages = nodara::bench::time_atlas_stages(surface, options);
        const auto& t = stages.seconds;
        std::printf(
            "%-28s %8u  facts %6.3f  cut %6.3f  merge %6.3f  straighten "
            "%6.3f  pack %6.3f  check %6.3f  total %7.3f  charts %zu/%zu/%zu"
            "  seams %zu  p95 %.3f  area %.3f  atlas area %.3f  covered "
            "%.1f%%  %s\n",
            name.c_str(), surface.nb_polygons(), t[0], t[1], t[2], t[3], t[4],
            t[5], stages.total(), stages.cut, stages.merged,
            stages.straightened, stages.seams, stages.worst_conformal,
            stages.worst_area, stages.atlas_area, 100.0 * stages.covered,
            stages.valid ? "valid" : "INVALID");
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
