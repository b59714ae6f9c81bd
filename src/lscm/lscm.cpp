#include "lscm.h"

#include <chrono>
#include <cmath>

#include <Eigen/IterativeLinearSolvers>

#include <tessaplan/lscm.h>
#include <velmora/basic/velmora_exception.h>
#include <velmora/mesh/manifold_adjacency.h>

#include <tessaplan/attribute/attribute_lookup.h>
#include <tessaplan/attribute/attribute_values.h>
#include "lscm_limits.h"
#include "normal_equations_solver.h"
#include "parallel_triplets.h"
#include "piece_orientation.h"
#include "solver_threads.h"

namespace nodara
{
    namespace
    {
        // Surfaces with fewer triangles are solved on one thread.
        constexpr index_t parallel_triangles = 20000;

        // The iterative solver's relative tolerance on the normal equations.
        constexpr double solver_tolerance = 1e-10;

        const TriangulatedSurface<3>& checked(
            const TriangulatedSurface<3>& surface)
        {
            check_lscm_counts(surface.nb_vertices(), surface.nb_polygons());
            return surface;
        }

        double seconds_since(std::chrono::steady_clock::time_point start)
        {
            return std::chrono::duration<double>(
                       std::chrono::steady_clock::now() - start)
                .count();
        }

        // The exponent by which to scale positions as large as the largest
        // of `values` so that their squares neither overflow nor vanish: 0
        // when they are of moderate size (within 2^-250 to 2^250).
        int scale_exponent(const Eigen::VectorXd& values)
        {
            int exponent = 0;
            std::frexp(values.cwiseAbs().maxCoeff(), &exponent);
            return exponent > -250 && exponent <= 250 ? 0 : exponent;
        }

        // Multiplies every entry by 2^exponent, exactly unless one leaves
        // the range of normal doubles.
        void scale_by_power_of_two(Eigen::VectorXd& values, int exponent)
        {
            values = values.unaryExpr([exponent](double value)
                                      { return std::ldexp(value, exponent); });
        }

        // Storage for one point per vertex that belongs to no surface.
        std::shared_ptr<VariableAttribute<Point<2>>> unregistered_map(
            const TriangulatedSurface<3>& surface)
        {
            auto map = std::make_shared<VariableAttribute<Point<2>>>(
                Point<2>{}, AttributeFlags{true, false});
            map->resize(surface.nb_vertices());
            return map;
        }

        // The map, checked: the solution was checked, but a vertex in no
        // triangle keeps its projection, which coordinates near the largest
        // doubles overflow.
        std::vector<Point<2>> finite_map(std::vector<Point<2>> map)
        {
            for (const auto& point : map)
            {
                if (!point.is_finite())
                {
                    throw ComputationException{
                        "[LSCM::solve] The map has coordinates that are not "
                        "finite numbers"};
                }
            }
            return map;
        }

        [[noreturn]] void solving_failed()
        {
            throw ComputationException{"[LSCM::solve] Solving failed"};
        }
    }  // namespace

    LSCM::LSCM(const TriangulatedSurface<3>& surface_in,
               absl::string_view attribute_name)
        : LSCM(surface_in,
               find_or_create_attribute<VariableAttribute, Point<2>>(
                   checked(surface_in).vertex_attribute_manager(),
                   attribute_name, Point<2>{}, AttributeFlags{true, false}))
    {
    }

    LSCM::LSCM(const TriangulatedSurface<3>& surface_in)
        : LSCM(surface_in, unregistered_map(checked(surface_in)))
    {
    }

    LSCM::LSCM(const TriangulatedSurface<3>& surface_in,
               std::shared_ptr<VariableAttribute<Point<2>>> map_attribute)
        : surface(checked(surface_in)),
          attribute(std::move(map_attribute)),
          pinned_vertices{NO_ID, NO_ID},
          free_matrix(static_cast<int>(2 * surface.nb_polygons()),
                      static_cast<int>(2 * surface.nb_vertices() - 4)),
          pinned_matrix(static_cast<int>(2 * surface.nb_polygons()), 4),
          pinned_values(Eigen::VectorXd::Zero(4)),
          free_values(static_cast<Eigen::Index>(2 * surface.nb_vertices() - 4)),
          vertex_unknown(surface.nb_vertices())
    {
        free_triplets.reserve(12 * surface.nb_polygons());
        const auto adjacencies = compute_manifold_adjacencies(surface);
        pieces = compute_polygon_components(adjacencies);
        reversed_polygons = orient_pieces(surface, adjacencies, pieces);
    }

    void LSCM::solve()
    {
        // The assembly runs in parallel too: one thread for all of it when
        // no core is spare, or when the surface is so small that starting
        // threads costs more than they save (an atlas flattens hundreds of
        // small charts one after the other).
        const SolverThreads threads = surface.nb_polygons() < parallel_triangles
                                          ? SolverThreads{true}
                                          : SolverThreads{};
        statistics_.single_threaded = threads.single_threaded();
        auto start = std::chrono::steady_clock::now();
        pin_vertices();
        statistics_.pin_seconds = seconds_since(start);
        start = std::chrono::steady_clock::now();
        build_system();
        statistics_.assembly_seconds = seconds_since(start);
        start = std::chrono::steady_clock::now();
        solve_system();
        statistics_.solve_seconds = seconds_since(start);
        write_back();
    }

    void LSCM::solve_system()
    {
        Eigen::LeastSquaresConjugateGradient<Eigen::SparseMatrix<double>>
            solver;
        solver.setMaxIterations(100 * surface.nb_vertices());
        solver.setTolerance(solver_tolerance);
        // A non-finite coefficient (a triangle with two corners at one
        // position, or non-finite coordinates) can never pass the stopping
        // test: fail now instead of running every iteration.
        const Eigen::Map<const Eigen::VectorXd> coefficients{
            free_matrix.valuePtr(), free_matrix.nonZeros()};
        if (!coefficients.allFinite() || !pinned_values.allFinite() ||
            !free_values.allFinite())
        {
            solving_failed();
        }
        // The solution is linear in the pinned positions: very large or
        // very small ones are scaled by a power of two, exactly, so that the
        // solvers' squared norms neither overflow nor vanish.
        const auto exponent = scale_exponent(pinned_values);
        scale_by_power_of_two(pinned_values, -exponent);
        scale_by_power_of_two(free_values, -exponent);
        start_from_direct_solution();
        if (!(trust_direct_ && direct_well_within_))
        {
            confirm(solver);
        }
        scale_by_power_of_two(pinned_values, exponent);
        scale_by_power_of_two(free_values, exponent);
        if (!free_values.allFinite())
        {
            throw ComputationException{
                "[LSCM::solve] The solution has coordinates that are not "
                "finite numbers"};
        }
    }

    void LSCM::confirm(
        Eigen::LeastSquaresConjugateGradient<Eigen::SparseMatrix<double>>&
            solver)
    {
        // The solver keeps a view of the matrix's buffers, which the direct
        // solution replaces: it takes the matrix only now.
        solver.compute(free_matrix);
        if (solver.info() != Eigen::Success)
        {
            throw ComputationException{"[LSCM::solve] Decomposition failed"};
        }
        free_values = solver.solveWithGuess(pinned_values, free_values);
        statistics_.iterations = solver.iterations();
        statistics_.relative_error = solver.error();
        if (solver.info() != Eigen::Success)
        {
            solving_failed();
        }
    }

    // The iterative solver creeps towards the exact least-squares solution
    // over thousands of iterations on large surfaces; a sparse Cholesky
    // factorisation of the normal equations gets there at once. Every piece
    // holds two pins, so the normal matrix is nonsingular and the solver
    // only confirms the result. The projection stays the guess when it
    // already passes the solver's test and when the right-hand side
    // vanishes (the solver returns zero then).
    void LSCM::start_from_direct_solution()
    {
        const auto start = std::chrono::steady_clock::now();
        const Eigen::VectorXd normal_rhs =
            free_matrix.transpose() * pinned_values;
        const double rhs_norm2 = normal_rhs.squaredNorm();
        const auto residual_norm2 = [this](const Eigen::VectorXd& x)
        {
            const Eigen::VectorXd residual = pinned_values - free_matrix * x;
            return (free_matrix.transpose() * residual).squaredNorm();
        };
        const double projection_norm2 = residual_norm2(free_values);
        if (rhs_norm2 == 0 ||
            projection_norm2 < solver_tolerance * solver_tolerance * rhs_norm2)
        {
            return;
        }
        // The projection, which the ordering of large systems reads as the
        // unknowns' positions.
        Eigen::VectorXd direct = free_values;
        ComplexNormalSystem system;
        bool solved = false;
        if (assemble_complex_normal_system(free_matrix, pinned_values, system))
        {
            solved = surface.nb_polygons() < parallel_triangles
                         ? solve_complex_normal_system(system, direct)
                         : solve_releasing_matrix(system, direct);
        }
        const double direct_norm2 = solved ? residual_norm2(direct) : 0.0;
        if (solved && direct_norm2 < projection_norm2)
        {
            free_values.swap(direct);
            statistics_.started_from_direct_solution = true;
            // The solver stops before its first iteration below
            // tolerance^2 * rhs_norm2; a sixteenth of that leaves room for
            // its own rounding of the same sums.
            direct_well_within_ =
                16 * direct_norm2 <
                solver_tolerance * solver_tolerance * rhs_norm2;
            statistics_.relative_error = std::sqrt(direct_norm2 / rhs_norm2);
        }
        statistics_.direct_seconds = seconds_since(start);
    }

    // The matrix, its triplets and the factor would be the largest buffers
    // at once: the matrix and the triplets are released during the
    // factorisation and computed again, identically, from the triangles. A
    // small surface (a chart of an atlas) keeps them: rebuilding would cost
    // more than the memory saved.
    bool LSCM::solve_releasing_matrix(ComplexNormalSystem& system,
                                      Eigen::VectorXd& direct)
    {
        const auto rows = static_cast<int>(free_matrix.rows());
        const auto columns = static_cast<int>(free_matrix.cols());
        Eigen::SparseMatrix<double>{}.swap(free_matrix);
        Triplets{}.swap(free_triplets);
        const bool solved = solve_complex_normal_system(system, direct);
        system = ComplexNormalSystem{};
        fill_free_triplets();
        set_from_triplets_in_parallel(free_triplets, rows, columns,
                                      free_matrix);
        return solved;
    }

    void LSCM::write_back()
    {
        const auto nb_vertices = surface.nb_vertices();
        for (index_t v = 0; v < nb_vertices; ++v)
        {
            if (vertex_pinned[v])
            {
                continue;
            }
            const auto s = vertex_unknown[v];
            attribute->set_value(
                v, Point<2>{{free_values[2 * s], free_values[2 * s + 1]}});
        }
    }

    std::vector<Point<2>> LSCM::map() const
    {
        return attribute_values(*attribute, surface.nb_vertices());
    }

    LSCMSolution solve_LSCM(const TriangulatedSurface<3>& surface)
    {
        return solve_LSCM(surface, {});
    }

    LSCMSolution solve_LSCM(const TriangulatedSurface<3>& surface,
                            absl::Span<const VertexPin> pins)
    {
        LSCM lscm{surface};
        lscm.set_given_pins(checked_given_pins(pins, surface.nb_vertices()));
        lscm.solve();
        auto map = finite_map(lscm.map());
        return {std::move(map), lscm.pins(), lscm.statistics()};
    }

    std::vector<Point<2>> compute_LSCM_map(
        const TriangulatedSurface<3>& surface)
    {
        return solve_LSCM(surface).map;
    }

    std::vector<Point<2>> compute_chart_LSCM_map(
        const TriangulatedSurface<3>& surface)
    {
        LSCM lscm{surface};
        lscm.set_trust_direct_solution(true);
        lscm.solve();
        return finite_map(lscm.map());
    }

    void compute_LSCM_parameterization(const TriangulatedSurface<3>& surface,
                                       absl::string_view attribute_name)
    {
        // The map is computed in the attribute itself, so that a failed
        // solve leaves the projections there.
        LSCM lscm{surface, attribute_name};
        lscm.solve();
    }
}  // namespace nodara
