#include "cgal_lscm.h"

#include <chrono>
#include <iostream>
#include <sstream>
#include <stdexcept>
#include <string>

// ARAP_parameterizer_3 reports its iteration count only on std::cout, in
// this mode; cgal_arap captures and reads it.
#define CGAL_PARAMETERIZATION_ARAP_VERBOSE

#include <CGAL/Polygon_mesh_processing/measure.h>
#include <CGAL/Simple_cartesian.h>
#include <CGAL/Surface_mesh.h>
#include <CGAL/Surface_mesh_parameterization/ARAP_parameterizer_3.h>
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

            // Runs `parameterizer` on the surface's longest border and
            // fills the map and its time.
            template <typename Parameterizer>
            void run_parameterizer(const TriangulatedSurface<3>& surface,
                                   Parameterizer parameterizer, CgalMap& result)
            {
                auto mesh = to_cgal(surface);
                auto uv_map =
                    mesh.add_property_map<VertexIndex, Kernel::Point_2>("v:uv")
                        .first;
                const auto start = std::chrono::steady_clock::now();
                const auto border =
                    CGAL::Polygon_mesh_processing::longest_border(mesh).first;
                const auto status =
                    SMP::parameterize(mesh, parameterizer, border, uv_map);
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
            }

            // The first whole number on the last line of `text` that
            // contains `label`, or 0.
            unsigned int number_on_line(const std::string& text,
                                        const std::string& label)
            {
                std::istringstream lines{text};
                std::string line;
                unsigned int number{0};
                while (std::getline(lines, line))
                {
                    const auto digit = line.find_first_of("0123456789");
                    if (line.find(label) != std::string::npos &&
                        digit != std::string::npos)
                    {
                        number = static_cast<unsigned int>(
                            std::stoul(line.substr(digit)));
                    }
                }
                return number;
            }

            // Sends std::cout to a string while it lives.
            class CoutCapture
            {
            public:
                CoutCapture() : previous_{std::cout.rdbuf(text_.rdbuf())} {}
                ~CoutCapture() { std::cout.rdbuf(previous_); }
                CoutCapture(const CoutCapture&) = delete;
                CoutCapture& operator=(const CoutCapture&) = delete;
                std::string text() const { return text_.str(); }

            private:
                std::ostringstream text_;
                std::streambuf* previous_;
            };
        }  // namespace

        CgalMap cgal_lscm(const TriangulatedSurface<3>& surface)
        {
            CgalMap result;
            run_parameterizer(surface, SMP::LSCM_parameterizer_3<Mesh>(),
                              result);
            return result;
        }

        CgalARAPMap cgal_arap(const TriangulatedSurface<3>& surface)
        {
            CgalARAPMap result;
            std::string log;
            {
                const CoutCapture capture;
                run_parameterizer(surface, SMP::ARAP_parameterizer_3<Mesh>(),
                                  result);
                log = capture.text();
            }
            result.iterations = number_on_line(log, "ended after");
            result.max_iterations = number_on_line(log, "max iterations");
            result.post_processed =
                log.find("calling post processor") != std::string::npos;
            return result;
        }
    }  // namespace bench
}  // namespace nodara
