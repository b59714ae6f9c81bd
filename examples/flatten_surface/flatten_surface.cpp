// Flattens the triangles of an OBJ file by least squares conformal maps and
// prints the map's extent, its distortion and the first vertices' images.
//
//   flatten_surface FILE.obj
//
// Only "v x y z" and "f a b c" lines are read (1-based vertex numbers, any
// "/..." after them ignored); it is an example of the library's use, not a
// mesh reader.
#include <algorithm>
#include <array>
#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include <tessaplan/conversion.h>
#include <tessaplan/distortion.h>
#include <tessaplan/lscm.h>
#include <velmora/basic/velmora_exception.h>
#include <velmora/mesh/triangulated_surface_builder.h>

namespace
{
    std::unique_ptr<nodara::TriangulatedSurface<3>> read_obj(
        const std::string& path)
    {
        std::ifstream file{path};
        if (!file)
        {
            throw std::runtime_error{"cannot open " + path};
        }
        auto surface = nodara::TriangulatedSurface<3>::create();
        nodara::TriangulatedSurfaceBuilder<3> builder{*surface};
        std::string line;
        while (std::getline(file, line))
        {
            std::istringstream words{line};
            std::string kind;
            words >> kind;
            if (kind == "v")
            {
                double x = 0, y = 0, z = 0;
                words >> x >> y >> z;
                builder.create_point(nodara::Point<3>{{x, y, z}});
            }
            else if (kind == "f")
            {
                std::array<nodara::index_t, 3> corners{};
                for (auto& corner : corners)
                {
                    std::string word;
                    words >> word;
                    corner = static_cast<nodara::index_t>(std::stoul(word) - 1);
                }
                builder.create_triangle(corners);
            }
        }
        builder.compute_polygon_adjacencies();
        return surface;
    }
}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2)
    {
        std::fprintf(stderr, "usage: flatten_surface FILE.obj\n");
        return 2;
    }
    try
    {
        const auto surface = read_obj(argv[1]);

        // The map, one point per vertex; the surface is left as it was.
        const std::vector<nodara::Point<2>> map =
            nodara::compute_LSCM_map(*surface);

        double low_u = map[0][0], high_u = map[0][0];
        double low_v = map[0][1], high_v = map[0][1];
        for (const auto& point : map)
        {
            low_u = std::min(low_u, point[0]);
            high_u = std::max(high_u, point[0]);
            low_v = std::min(low_v, point[1]);
            high_v = std::max(high_v, point[1]);
        }
        std::printf("%u vertices, %u triangles\n", surface->nb_vertices(),
                    surface->nb_polygons());
        std::printf("map extent: u in [%.6g, %.6g], v in [%.6g, %.6g]\n", low_u,
                    high_u, low_v, high_v);

        // The same map measured, and turned into a surface in the plane.
        const auto summary = nodara::compute_distortion_summary(*surface, map);
        std::printf("conformal distortion: mean %.6f, max %.6f\n",
                    summary.conformal.mean, summary.conformal.max);
        std::printf("flipped triangles: %u\n", summary.nb_flipped_triangles);
        const auto flat = nodara::convert_surface3d_into_2d(*surface, map);
        for (nodara::index_t v = 0;
             v < std::min<nodara::index_t>(3, flat->nb_vertices()); ++v)
        {
            std::printf("vertex %u -> (%.17g, %.17g)\n", v, flat->point(v)[0],
                        flat->point(v)[1]);
        }
    }
    catch (const nodara::VelmoraException& error)
    {
        // The message names the failing operation, e.g. "[LSCM::solve] ...".
        std::fprintf(stderr, "flatten_surface: %s\n", error.what());
        return 1;
    }
    catch (const std::exception& error)
    {
        std::fprintf(stderr, "flatten_surface: %s\n", error.what());
        return 1;
    }
    return 0;
}
