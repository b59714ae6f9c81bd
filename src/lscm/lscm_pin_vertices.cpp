// The pin step of LSCM: projection onto the mean plane, the two pinned
// vertices and the numbering of the free ones.
#include <cmath>
#include <limits>

#include <velmora/basic/velmora_exception.h>
#include <velmora/geometry/plane.h>

#include "lscm.h"

namespace nodara
{
    namespace
    {
        // Running extreme values along the two axes with the vertices that
        // hold them. Ties keep the lowest vertex id; NaN replaces nothing.
        struct Extremes
        {
            double min_x{std::numeric_limits<double>::max()};
            double max_x{-std::numeric_limits<double>::max()};
            double min_y{std::numeric_limits<double>::max()};
            double max_y{-std::numeric_limits<double>::max()};
            std::array<index_t, 4> ids{{0, 0, 0, 0}};

            void update(index_t v, double x, double y)
            {
                if (x < min_x)
                {
                    min_x = x;
                    ids[0] = v;
                }
                if (x > max_x)
                {
                    max_x = x;
                    ids[1] = v;
                }
                if (y < min_y)
                {
                    min_y = y;
                    ids[2] = v;
                }
                if (y > max_y)
                {
                    max_y = y;
                    ids[3] = v;
                }
            }

            // The two extreme vertices along the axis of larger extent.
            std::array<index_t, 2> pins() const
            {
                if (max_x - min_x > max_y - min_y)
                {
                    return {ids[0], ids[1]};
                }
                return {ids[2], ids[3]};
            }
        };
    }  // namespace

    std::pair<Vector<3>, Vector<3>> LSCM::projection_axes() const
    {
        Vector<3> mean_normal;
        for (index_t t = 0; t < surface.nb_polygons(); ++t)
        {
            mean_normal = Vector<3>{mean_normal + surface.polygon_normal(t)};
        }
        const Plane plane{mean_normal, surface.point(0)};
        const auto& n = plane.normal();
        const auto c = plane.plane_constant();

        // The point of the plane whose two other coordinates are (1, 1); when
        // that is the origin itself, the axis would have no direction, so
        // take the one whose two other coordinates are (2, 1) instead.
        const auto reference = [&](double first)
        {
            Point<3> q;
            for (local_index_t i = 0; i < 3; ++i)
            {
                if (std::fabs(n[i]) > 1e-6)
                {
                    const auto j = (i + 1) % 3;
                    const auto k = (i + 2) % 3;
                    q[j] = first;
                    q[k] = 1.0;
                    q[i] = -((c + first * n[j]) + n[k]) / n[i];
                    break;
                }
            }
            return Vector<3>{plane.origin(), q};
        };
        auto direction = reference(1.0);
        if (!(direction.length() > 1e-30) && std::isfinite(c))
        {
            direction = reference(2.0);
        }
        const Vector<3> a{direction.normalize()};
        const Vector<3> b{{n[1] * a[2] - n[2] * a[1], n[2] * a[0] - n[0] * a[2],
                           n[0] * a[1] - n[1] * a[0]}};
        return {a, b};
    }

    void LSCM::pin_vertices()
    {
        const auto axes = projection_axes();
        project_vertices(axes.first, axes.second);
        number_unknowns();
    }

    void LSCM::project_vertices(const Vector<3>& a, const Vector<3>& b)
    {
        Extremes extremes;
        for (index_t v = 0; v < surface.nb_vertices(); ++v)
        {
            const Vector<3> p{surface.point(v)};
            const auto x = a.dot(p);
            const auto y = b.dot(p);
            attribute->set_value(v, Point<2>{{x, y}});
            extremes.update(v, x, y);
        }
        pinned_vertices = extremes.pins();
        if (pinned_vertices[0] == pinned_vertices[1])
        {
            throw VelmoraException{
                "[LSCM::pin_vertices] Cannot pin two distinct vertices: all "
                "vertices project onto one point or have non-finite "
                "coordinates"};
        }
    }

    void LSCM::number_unknowns()
    {
        index_t s = 0;
        for (index_t v = 0; v < surface.nb_vertices(); ++v)
        {
            if (v == pinned_vertices[0])
            {
                vertex_unknown[v] = 0;
            }
            else if (v == pinned_vertices[1])
            {
                vertex_unknown[v] = 1;
            }
            else
            {
                const auto& projection = attribute->value(v);
                free_values[2 * s] = projection.value(0);
                free_values[2 * s + 1] = projection.value(1);
                vertex_unknown[v] = s;
                ++s;
            }
        }
    }
}  // namespace nodara
