// The pin step of LSCM: projection onto the mean plane, two pinned vertices
// per piece and the numbering of the free ones.
#include <cmath>

#include <velmora/basic/velmora_exception.h>
#include <velmora/geometry/plane.h>

#include <algorithm>
#include <utility>

#include <absl/container/flat_hash_set.h>
#include <velmora/mesh/manifold_adjacency.h>
#include <Eigen/Eigenvalues>

#include "lscm.h"
#include "piece_pins.h"

namespace nodara
{
    namespace
    {
        // A surface whose unit normals add up to nothing has no mean plane
        // to project onto; say why rather than fail on a zero division.
        // Returns false when they cancel on a surface whose pieces are all
        // discs (a tube cut along its length), which is projected onto its
        // principal plane instead.
        template <typename Discs>
        bool check_mean_normal(const Vector<3>& sum, index_t nb_normals,
                               const Discs& pieces_are_discs)
        {
            if (nb_normals == 0)
            {
                throw InvalidInputException{
                    "[LSCM::pin_vertices] Cannot find a mean plane: the "
                    "surface has no triangle of non-zero area"};
            }
            const bool cancel = !(sum.length() > 1e-9 * nb_normals);
            if (cancel && !pieces_are_discs())
            {
                throw InvalidInputException{
                    "[LSCM::pin_vertices] Cannot find a mean plane: the "
                    "normals of the triangles cancel out, as on a closed "
                    "surface, which cannot be flattened without cuts"};
            }
            return !cancel;
        }
    }  // namespace

    // Whether every piece is a topological disc: together, the vertices
    // the triangles use less the edges plus the triangles count one per
    // piece, and no piece is closed. Pieces that share vertices count as
    // not discs.
    bool LSCM::pieces_are_discs() const
    {
        absl::flat_hash_set<std::pair<index_t, index_t>> edges;
        std::vector<bool> used(surface.nb_vertices(), false);
        std::vector<bool> open(pieces.nb_components, false);
        const auto adjacencies = compute_manifold_adjacencies(surface);
        for (index_t t = 0; t < surface.nb_polygons(); ++t)
        {
            const auto v = surface.polygon_vertices(t);
            for (int k = 0; k < 3; ++k)
            {
                used[v[k]] = true;
                edges.emplace(std::min(v[k], v[(k + 1) % 3]),
                              std::max(v[k], v[(k + 1) % 3]));
                open[pieces.component[t]] =
                    open[pieces.component[t]] || adjacencies[t][k] == NO_ID;
            }
        }
        const auto nb_used = std::count(used.begin(), used.end(), true);
        const auto euler = static_cast<long long>(nb_used) -
                           static_cast<long long>(edges.size()) +
                           static_cast<long long>(surface.nb_polygons());
        return euler == static_cast<long long>(pieces.nb_components) &&
               std::find(open.begin(), open.end(), false) == open.end();
    }

    Vector<3> LSCM::principal_normal() const
    {
        Eigen::Vector3d mean = Eigen::Vector3d::Zero();
        for (index_t v = 0; v < surface.nb_vertices(); ++v)
        {
            const auto& p = surface.point(v);
            mean += Eigen::Vector3d{p[0], p[1], p[2]};
        }
        mean /= static_cast<double>(surface.nb_vertices());
        Eigen::Matrix3d covariance = Eigen::Matrix3d::Zero();
        for (index_t v = 0; v < surface.nb_vertices(); ++v)
        {
            const auto& p = surface.point(v);
            const Eigen::Vector3d d = Eigen::Vector3d{p[0], p[1], p[2]} - mean;
            covariance += d * d.transpose();
        }
        // Eigenvalues ascending: the first vector is the normal of the
        // plane the vertices spread most in.
        const Eigen::SelfAdjointEigenSolver<Eigen::Matrix3d> solver{covariance};
        const Eigen::Vector3d normal = solver.eigenvectors().col(0);
        return Vector<3>{{normal[0], normal[1], normal[2]}};
    }

    std::pair<Vector<3>, Vector<3>> LSCM::projection_axes() const
    {
        Vector<3> mean_normal;
        index_t nb_normals = 0;
        for (index_t t = 0; t < surface.nb_polygons(); ++t)
        {
            const auto normal = surface.polygon_normal(t);
            mean_normal =
                Vector<3>{reversed_polygons[t] ? mean_normal - normal
                                               : mean_normal + normal};
            nb_normals += normal == Vector<3>{} ? 0 : 1;
        }
        if (!check_mean_normal(mean_normal, nb_normals,
                               [this] { return pieces_are_discs(); }))
        {
            mean_normal = principal_normal();
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
        PiecePins pins{surface, pieces};
        for (index_t v = 0; v < surface.nb_vertices(); ++v)
        {
            const Vector<3> p{surface.point(v)};
            const auto x = a.dot(p);
            const auto y = b.dot(p);
            attribute->set_value(v, Point<2>{{x, y}});
            pins.update(v, x, y);
        }
        pinned_vertices = pins.pins(*attribute, given_pins);
        for (const auto& pin : given_pins)
        {
            attribute->set_value(pin.vertex, pin.position);
        }
    }

    // One piece has two pins and the buffers sized by the constructor; more
    // pieces have more pinned and fewer free columns.
    void LSCM::size_for_pins(index_t nb_pinned)
    {
        if (nb_pinned == 2)
        {
            return;
        }
        const auto rows = static_cast<int>(2 * surface.nb_polygons());
        const auto nb_free = 2 * (surface.nb_vertices() - nb_pinned);
        free_matrix.resize(rows, static_cast<int>(nb_free));
        pinned_matrix.resize(rows, static_cast<int>(2 * nb_pinned));
        pinned_values = Eigen::VectorXd::Zero(2 * nb_pinned);
        free_values.resize(nb_free);
    }

    void LSCM::number_unknowns()
    {
        const auto nb_pinned = static_cast<index_t>(pinned_vertices.size());
        size_for_pins(nb_pinned);
        vertex_pinned.assign(surface.nb_vertices(), false);
        for (index_t k = 0; k < nb_pinned; ++k)
        {
            vertex_pinned[pinned_vertices[k]] = true;
            vertex_unknown[pinned_vertices[k]] = k;
        }
        index_t s = 0;
        for (index_t v = 0; v < surface.nb_vertices(); ++v)
        {
            if (vertex_pinned[v])
            {
                continue;
            }
            const auto& projection = attribute->value(v);
            free_values[2 * s] = projection.value(0);
            free_values[2 * s + 1] = projection.value(1);
            vertex_unknown[v] = s;
            ++s;
        }
    }
}  // namespace nodara
