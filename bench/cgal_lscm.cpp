#include "cgal_lscm.h"

#include <chrono>
#include <stdexcept>

#include <CGAL/Polygon_mesh_processing/measure.h>
#include <CGAL/Simple_cartesian.h>
#include <CGAL/Surface_mesh.h>
#include <CGAL/Surface_mesh_parameterization/LSCM_parameterizer_3.h>
#include <CGAL/Surface_mesh_parameterization/parameterize.h>

namespace nodara
{
    namespace bench
    {
        namespace
        {
            using Kernel = CGAL::Simple_cartesian<double>;
            using Mesh = CGAL::Surface_mesh<Kernel::Point_3>;
            using VertexIndex = Mesh::Vertex_index;
            namespace SMP = CGAL::Surface_mesh_parameterization;

            Mesh to_cgal(const TriangulatedSurface<3>& surface)
            {
                Mesh mesh;
                mesh.reserve(surface.nb_vertices(), 3 * surface.nb_polygons(),
                             surface.nb_polygons());
                for (index_t v = 0; v < surface.nb_vertices(); ++v)
                {
                    const auto& p = surface.point(v);
                    mesh.add_vertex(Kernel::Point_3{p[0], p[1], p[2]});
                }
                for (index_t t = 0; t < surface.nb_polygons(); ++t)
                {
                    const auto& c = surface.polygon_vertices(t);
                    mesh.add_face(VertexIndex{c[0]}, VertexIndex{c[1]},
                                  VertexIndex{c[2]});
                }
                return mesh;
            }
        }  // namespace

        CgalMap cgal_lscm(const TriangulatedSurface<3>& surface)
        {
            auto mesh = to_cgal(surface);
            auto uv_map =
                mesh.add_property_map<VertexIndex, Kernel::Point_2>("v:uv")
                    .first;
            const auto start = std::chrono::steady_clock::now();
            const auto border =
                CGAL::Polygon_mesh_processing::longest_border(mesh).first;
            const auto status = SMP::parameterize(
                mesh, SMP::LSCM_parameterizer_3<Mesh>(), border, uv_map);
            CgalMap result;
            result.seconds = std::chrono::duration<double>(
                                 std::chrono::steady_clock::now() - start)
                                 .count();
            if (status != SMP::OK)
            {
                throw std::runtime_error{SMP::get_error_message(status)};
            }
            result.uv.reserve(surface.nb_vertices());
            for (index_t v = 0; v < surface.nb_vertices(); ++v)
            {
                const auto& p = uv_map[VertexIndex{v}];
                result.uv.push_back(Point<2>{{p.x(), p.y()}});
            }
            return result;
        }
    }  // namespace bench
}  // namespace nodara
