#include "conformal_energy.h"

#include <complex>

#include <Eigen/SparseCholesky>

#include "lscm_inspector.h"

namespace nodara
{
    namespace bench
    {
        namespace
        {
            double energy_of(LSCM& lscm, const Eigen::VectorXd& x)
            {
                const LSCMInspector inspector{lscm};
                return (inspector.free_matrix() * x - inspector.pinned_values())
                    .squaredNorm();
            }
        }  // namespace

        double conformal_energy(LSCM& lscm, const std::vector<Point<2>>& map)
        {
            const LSCMInspector inspector{lscm};
            const auto unknown = inspector.vertex_unknown();
            const auto& pins = inspector.pinned_vertices();
            std::vector<bool> pinned(map.size(), false);
            for (const auto v : pins)
            {
                pinned[v] = true;
            }
            Eigen::VectorXd x(inspector.free_matrix().cols());
            for (index_t v = 0; v < map.size(); ++v)
            {
                if (!pinned[v])
                {
                    x[2 * unknown[v]] = map[v][0];
                    x[2 * unknown[v] + 1] = map[v][1];
                }
            }
            return energy_of(lscm, x);
        }

        std::vector<Point<2>> align_to_pins(
            LSCM& lscm, const std::vector<Point<2>>& pinned_positions,
            std::vector<Point<2>> map)
        {
            using Complex = std::complex<double>;
            const auto& pins = LSCMInspector{lscm}.pinned_vertices();
            const auto as_complex = [](const Point<2>& p) {
                return Complex{p[0], p[1]};
            };
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

        double direct_minimum_energy(LSCM& lscm)
        {
            const LSCMInspector inspector{lscm};
            const auto& F = inspector.free_matrix();
            // Vertices in no triangle have empty columns; a unit diagonal
            // there keeps the matrix nonsingular without changing the
            // energy.
            Eigen::SparseMatrix<double> normal = F.transpose() * F;
            for (int k = 0; k < normal.cols(); ++k)
            {
                if (normal.col(k).nonZeros() == 0)
                {
                    normal.insert(k, k) = 1.0;
                }
            }
            Eigen::SimplicialLDLT<Eigen::SparseMatrix<double>> solver{normal};
            const Eigen::VectorXd x =
                solver.solve(F.transpose() * inspector.pinned_values());
            return energy_of(lscm, x);
        }
    }  // namespace bench
}  // namespace nodara
