#include "conformal_energy.h"

#include <cmath>

#include <Eigen/SparseCholesky>
#include <Eigen/SparseCore>

#include <velmora/geometry/vector.h>
#include <velmora/mesh/manifold_adjacency.h>
#include <velmora/mesh/polygon_components.h>
#include <velmora/mesh/polygon_orientation.h>

namespace nodara
{
    namespace bench
    {
        namespace
        {
            using Complex = std::complex<double>;

            Complex as_complex(const Point<2>& p)
            {
                return {p[0], p[1]};
            }

            double signed_area(const Point<2>& a, const Point<2>& b,
                               const Point<2>& c)
            {
                return (b[0] - a[0]) * (c[1] - a[1]) -
                       (c[0] - a[0]) * (b[1] - a[1]);
            }

            // Per triangle, whether to read it in corner order 0, 2, 1: the
            // consistent orientation of its piece, the whole piece turned
            // over when `reference` turns it clockwise.
            std::vector<bool> read_reversed(
                const TriangulatedSurface<3>& surface,
                const std::vector<Point<2>>& reference)
            {
                const auto adjacencies = compute_manifold_adjacencies(surface);
                const auto pieces = compute_polygon_components(adjacencies);
                auto reversed =
                    compute_polygon_orientation(surface, adjacencies, pieces)
                        .reversed;
                std::vector<double> turning(pieces.nb_components, 0.0);
                for (index_t t = 0; t < surface.nb_polygons(); ++t)
                {
                    const auto& v = surface.polygon_vertices(t);
                    const double area = signed_area(
                        reference[v[0]], reference[v[1]], reference[v[2]]);
                    turning[pieces.component[t]] += reversed[t] ? -area : area;
                }
                for (index_t t = 0; t < surface.nb_polygons(); ++t)
                {
                    if (turning[pieces.component[t]] < 0)
                    {
                        reversed[t] = !reversed[t];
                    }
                }
                return reversed;
            }
        }  // namespace

        ConformalEnergy::ConformalEnergy(
            const TriangulatedSurface<3>& surface,
            const std::vector<Point<2>>& reference_map)
            : nb_vertices_(surface.nb_vertices())
        {
            const auto reversed = read_reversed(surface, reference_map);
            equations_.reserve(surface.nb_polygons());
            for (index_t t = 0; t < surface.nb_polygons(); ++t)
            {
                const auto& v = surface.polygon_vertices(t);
                const std::array<index_t, 3> corner{
                    v[0], reversed[t] ? v[2] : v[1], reversed[t] ? v[1] : v[2]};
                const Vector<3> e1{surface.point(corner[0]),
                                   surface.point(corner[1])};
                const Vector<3> e2{surface.point(corner[0]),
                                   surface.point(corner[2])};
                const double l1 = e1.length();
                const double twice_area = cross(e1, e2).length();
                // Corner 0 at the origin, corner 1 on the x axis, corner 2
                // above it.
                const std::array<Complex, 3> local{
                    Complex{0, 0}, Complex{l1, 0},
                    Complex{e1.dot(e2) / l1, twice_area / l1}};
                const double scale = std::sqrt(twice_area);
                std::array<Corner, 3> equation;
                for (int j = 0; j < 3; ++j)
                {
                    equation[j] = {
                        corner[j],
                        (local[(j + 2) % 3] - local[(j + 1) % 3]) / scale};
                }
                equations_.push_back(equation);
            }
        }

        double ConformalEnergy::of(const std::vector<Point<2>>& map) const
        {
            double energy = 0.0;
            for (const auto& equation : equations_)
            {
                Complex residual{0, 0};
                for (const auto& corner : equation)
                {
                    residual += corner.weight * as_complex(map[corner.vertex]);
                }
                energy += std::norm(residual);
            }
            return energy;
        }

        double ConformalEnergy::direct_minimum(
            const std::vector<index_t>& pins,
            const std::vector<Point<2>>& map) const
        {
            // Unknown k is the complex position of the k-th free vertex.
            std::vector<int> unknown(nb_vertices_, 0);
            for (const auto v : pins)
            {
                unknown[v] = -1;
            }
            int nb_free = 0;
            for (auto& k : unknown)
            {
                k = k < 0 ? -1 : nb_free++;
            }
            std::vector<Eigen::Triplet<Complex>> triplets;
            Eigen::VectorXcd rhs =
                Eigen::VectorXcd::Zero(static_cast<int>(equations_.size()));
            for (std::size_t row = 0; row < equations_.size(); ++row)
            {
                for (const auto& corner : equations_[row])
                {
                    const auto k = unknown[corner.vertex];
                    if (k < 0)
                    {
                        rhs[static_cast<int>(row)] -=
                            corner.weight * as_complex(map[corner.vertex]);
                    }
                    else
                    {
                        triplets.emplace_back(static_cast<int>(row), k,
                                              corner.weight);
                    }
                }
            }
            Eigen::SparseMatrix<Complex> F(static_cast<int>(equations_.size()),
                                           nb_free);
            F.setFromTriplets(triplets.begin(), triplets.end());
            // Vertices in no triangle have empty columns; a unit diagonal
            // there keeps the matrix nonsingular without changing the
            // energy.
            Eigen::SparseMatrix<Complex> normal = F.adjoint() * F;
            for (int k = 0; k < normal.cols(); ++k)
            {
                if (normal.col(k).nonZeros() == 0)
                {
                    normal.insert(k, k) = 1.0;
                }
            }
            Eigen::SimplicialLDLT<Eigen::SparseMatrix<Complex>> solver{normal};
            const Eigen::VectorXcd x = solver.solve(F.adjoint() * rhs);
            return (F * x - rhs).squaredNorm();
        }

        std::vector<Point<2>> align_to_pins(
            const std::vector<index_t>& pins,
            const std::vector<Point<2>>& pinned_positions,
            std::vector<Point<2>> map)
        {
            const auto z0 = as_complex(map[pins[0]]);
            const auto z1 = as_complex(map[pins[1]]);
            const auto w0 = as_complex(pinned_positions[0]);
            const auto w1 = as_complex(pinned_positions[1]);
            const auto scale = (w1 - w0) / (z1 - z0);
            for (auto& p : map)
            {
                const auto moved = w0 + scale * (as_complex(p) - z0);
                p = Point<2>{{moved.real(), moved.imag()}};
            }
            return map;
        }
    }  // namespace bench
}  // namespace nodara
