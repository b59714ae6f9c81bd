#include <tessaplan/arap.h>

#include <array>
#include <cmath>
#include <string>

#include <Eigen/CholmodSupport>
#include <Eigen/LU>
#include <Eigen/SparseCore>
#include <boost/pending/disjoint_sets.hpp>

#include <tessaplan/lscm.h>
#include <velmora/basic/velmora_exception.h>
#include <velmora/geometry/triangle.h>
#include <velmora/mesh/manifold_adjacency.h>
#include <velmora/mesh/polygon_orientation.h>

namespace nodara
{
    namespace
    {
        // Below this share of the surface's area the energy is zero up to
        // rounding: the map is an isometry.
        constexpr double isometric_energy = 1e-24;

        // A triangle of non-zero area in a frame of its own plane, turned
        // as its piece's map turns: its vertices, its area and the
        // gradients of its three corners' barycentric functions, so that
        // its map's Jacobian is the sum of map[v_k] g_k^T.
        struct TriangleFrame
        {
            std::array<index_t, 3> vertices;
            std::array<Eigen::Vector2d, 3> gradients;
            double area;
        };

        double signed_area(const std::vector<Point<2>>& map,
                           const std::array<index_t, 3>& v)
        {
            const Vector<2> e1{map[v[0]], map[v[1]]};
            const Vector<2> e2{map[v[0]], map[v[2]]};
            return (e1[0] * e2[1] - e1[1] * e2[0]) / 2;
        }

        // Per triangle, +1 when the map should keep its corners' turning,
        // -1 when it should reverse it: each piece turns as the larger
        // part of its start does.
        std::vector<int> senses(const TriangulatedSurface<3>& surface,
                                const std::vector<Point<2>>& start)
        {
            const auto adjacencies = compute_manifold_adjacencies(surface);
            const auto pieces = compute_polygon_components(adjacencies);
            const auto orientation =
                compute_polygon_orientation(surface, adjacencies, pieces);
            std::vector<double> turning(pieces.nb_components, 0.0);
            std::vector<int> sense(surface.nb_polygons());
            for (index_t t = 0; t < surface.nb_polygons(); ++t)
            {
                sense[t] = orientation.reversed[t] ? -1 : 1;
                turning[pieces.component[t]] +=
                    sense[t] * signed_area(start, surface.polygon_vertices(t));
            }
            for (index_t t = 0; t < surface.nb_polygons(); ++t)
            {
                sense[t] *= turning[pieces.component[t]] < 0 ? -1 : 1;
            }
            return sense;
        }

        std::vector<TriangleFrame> triangle_frames(
            const TriangulatedSurface<3>& surface,
            const std::vector<Point<2>>& start)
        {
            const auto sense = senses(surface, start);
            std::vector<TriangleFrame> frames;
            for (index_t t = 0; t < surface.nb_polygons(); ++t)
            {
                const auto triangle = surface.triangle(t);
                const double area = triangle.area();
                if (!(area > 0.0) || !std::isfinite(area))
                {
                    continue;
                }
                const auto& p = triangle.vertices();
                const Vector<3> e1{p[0].get(), p[1].get()};
                const Vector<3> e2{p[0].get(), p[2].get()};
                const double length = e1.length();
                // Corners 1 and 2 in the frame: (length, 0) and (x, y).
                const double x = e1.dot(e2) / length;
                const double y = sense[t] * 2 * area / length;
                Eigen::Matrix2d edges;
                edges << length, x, 0.0, y;
                const Eigen::Matrix2d inverse = edges.inverse();
                TriangleFrame frame;
                frame.vertices = surface.polygon_vertices(t);
                frame.gradients[1] = inverse.row(0).transpose();
                frame.gradients[2] = inverse.row(1).transpose();
                frame.gradients[0] = -frame.gradients[1] - frame.gradients[2];
                frame.area = area;
                frames.push_back(frame);
            }
            return frames;
        }

        Eigen::Matrix2d jacobian(const TriangleFrame& frame,
                                 const std::vector<Point<2>>& map)
        {
            Eigen::Matrix2d j = Eigen::Matrix2d::Zero();
            for (int k = 0; k < 3; ++k)
            {
                const auto& u = map[frame.vertices[k]];
                j += Eigen::Vector2d{u[0], u[1]} *
                     frame.gradients[k].transpose();
            }
            return j;
        }

        // The rotation nearest to j in the Frobenius norm: the turn by the
        // angle that maximises the trace of R^T j.
        Eigen::Matrix2d nearest_rotation(const Eigen::Matrix2d& j)
        {
            const double angle =
                std::atan2(j(1, 0) - j(0, 1), j(0, 0) + j(1, 1));
            const double c = std::cos(angle);
            const double s = std::sin(angle);
            Eigen::Matrix2d r;
            r << c, -s, s, c;
            return r;
        }

        // The local step: the rotations nearest to the triangles'
        // Jacobians, and the energy of the map against them.
        double local_step(const std::vector<TriangleFrame>& frames,
                          const std::vector<Point<2>>& map,
                          std::vector<Eigen::Matrix2d>& rotations)
        {
            double energy = 0;
            for (std::size_t t = 0; t < frames.size(); ++t)
            {
                const auto j = jacobian(frames[t], map);
                rotations[t] = nearest_rotation(j);
                energy += frames[t].area * (j - rotations[t]).squaredNorm();
            }
            return energy;
        }

        // Which vertices the global step moves: all but, per group of
        // triangles joined through vertices, its lowest vertex, and the
        // vertices of no triangle.
        std::vector<index_t> free_unknowns(
            index_t nb_vertices, const std::vector<TriangleFrame>& frames,
            index_t& nb_free)
        {
            boost::disjoint_sets_with_storage<> groups{nb_vertices};
            std::vector<bool> used(nb_vertices, false);
            for (index_t v = 0; v < nb_vertices; ++v)
            {
                groups.make_set(v);
            }
            for (const auto& frame : frames)
            {
                for (int k = 0; k < 3; ++k)
                {
                    used[frame.vertices[k]] = true;
                    groups.union_set(frame.vertices[0], frame.vertices[k]);
                }
            }
            std::vector<bool> group_fixed(nb_vertices, false);
            std::vector<index_t> unknown(nb_vertices, NO_ID);
            nb_free = 0;
            for (index_t v = 0; v < nb_vertices; ++v)
            {
                const auto group = groups.find_set(v);
                if (!used[v] || !group_fixed[group])
                {
                    group_fixed[group] = group_fixed[group] || used[v];
                    continue;
                }
                unknown[v] = nb_free++;
            }
            return unknown;
        }

        // The global step's matrix, the area-weighted stiffness of the
        // free vertices, factored once; the fixed vertices go to the right
        // side.
        class GlobalStep
        {
        public:
            GlobalStep(const std::vector<TriangleFrame>& frames,
                       index_t nb_vertices)
                : frames_(frames),
                  unknown_(free_unknowns(nb_vertices, frames, nb_free_))
            {
                std::vector<Eigen::Triplet<double>> entries;
                for (const auto& frame : frames)
                {
                    for (int i = 0; i < 3; ++i)
                    {
                        const auto row = unknown_[frame.vertices[i]];
                        for (int j = 0; j < 3 && row != NO_ID; ++j)
                        {
                            const auto column = unknown_[frame.vertices[j]];
                            if (column != NO_ID)
                            {
                                entries.emplace_back(
                                    row, column,
                                    frame.area * frame.gradients[i].dot(
                                                     frame.gradients[j]));
                            }
                        }
                    }
                }
                Eigen::SparseMatrix<double> matrix(nb_free_, nb_free_);
                matrix.setFromTriplets(entries.begin(), entries.end());
                // CHOLMOD prints its warnings unless told not to; the
                // library never writes to the standard streams.
                solver_.cholmod().print = 0;
                solver_.compute(matrix);
                if (solver_.info() != Eigen::Success)
                {
                    throw ComputationException{
                        "[solve_ARAP] The factorisation failed"};
                }
            }

            // The map that fits `rotations` best, the fixed vertices kept.
            void solve(const std::vector<Eigen::Matrix2d>& rotations,
                       std::vector<Point<2>>& map)
            {
                Eigen::MatrixXd rhs = Eigen::MatrixXd::Zero(nb_free_, 2);
                for (std::size_t t = 0; t < frames_.size(); ++t)
                {
                    add_triangle(frames_[t], rotations[t], map, rhs);
                }
                const Eigen::MatrixXd solution = solver_.solve(rhs);
                if (solver_.info() != Eigen::Success || !solution.allFinite())
                {
                    throw ComputationException{
                        "[solve_ARAP] The map has coordinates that are not "
                        "finite numbers"};
                }
                for (std::size_t v = 0; v < map.size(); ++v)
                {
                    if (unknown_[v] != NO_ID)
                    {
                        map[v] = Point<2>{{solution(unknown_[v], 0),
                                           solution(unknown_[v], 1)}};
                    }
                }
            }

        private:
            void add_triangle(const TriangleFrame& frame,
                              const Eigen::Matrix2d& rotation,
                              const std::vector<Point<2>>& map,
                              Eigen::MatrixXd& rhs) const
            {
                for (int i = 0; i < 3; ++i)
                {
                    const auto row = unknown_[frame.vertices[i]];
                    if (row == NO_ID)
                    {
                        continue;
                    }
                    const auto& g = frame.gradients[i];
                    Eigen::Vector2d target = frame.area * rotation * g;
                    for (int j = 0; j < 3; ++j)
                    {
                        if (unknown_[frame.vertices[j]] == NO_ID)
                        {
                            const auto& u = map[frame.vertices[j]];
                            target -= frame.area * g.dot(frame.gradients[j]) *
                                      Eigen::Vector2d{u[0], u[1]};
                        }
                    }
                    rhs.row(row) += target.transpose();
                }
            }

            const std::vector<TriangleFrame>& frames_;
            index_t nb_free_{0};
            std::vector<index_t> unknown_;
            Eigen::CholmodSupernodalLLT<Eigen::SparseMatrix<double>> solver_;
        };

        void check_start(const TriangulatedSurface<3>& surface,
                         const std::vector<Point<2>>& start,
                         const ARAPOptions& options)
        {
            if (start.size() != surface.nb_vertices())
            {
                throw InvalidInputException{
                    "[solve_ARAP] The start holds " +
                    std::to_string(start.size()) + " points for " +
                    std::to_string(surface.nb_vertices()) + " vertices"};
            }
            for (std::size_t v = 0; v < start.size(); ++v)
            {
                if (!start[v].is_finite())
                {
                    throw InvalidInputException{
                        "[solve_ARAP] The start point of vertex " +
                        std::to_string(v) + " is not finite"};
                }
            }
            if (!(options.tolerance >= 0.0))
            {
                throw InvalidInputException{
                    "[solve_ARAP] The tolerance must be a number of at "
                    "least 0"};
            }
        }
    }  // namespace

    ARAPSolution solve_ARAP(const TriangulatedSurface<3>& surface,
                            std::vector<Point<2>> start,
                            const ARAPOptions& options)
    {
        check_start(surface, start, options);
        const auto frames = triangle_frames(surface, start);
        double total_area = 0;
        for (const auto& frame : frames)
        {
            total_area += frame.area;
        }
        ARAPSolution solution;
        solution.map = std::move(start);
        std::vector<Eigen::Matrix2d> rotations(frames.size());
        solution.start_energy = local_step(frames, solution.map, rotations);
        solution.energy = solution.start_energy;
        if (frames.empty())
        {
            solution.converged = true;
            return solution;
        }
        GlobalStep global{frames, surface.nb_vertices()};
        while (solution.iterations < options.max_iterations &&
               !solution.converged)
        {
            global.solve(rotations, solution.map);
            ++solution.iterations;
            const double previous = solution.energy;
            solution.energy = local_step(frames, solution.map, rotations);
            solution.converged =
                std::abs(previous - solution.energy) <=
                    options.tolerance * previous ||
                solution.energy <= isometric_energy * total_area;
        }
        return solution;
    }

    ARAPSolution solve_ARAP(const TriangulatedSurface<3>& surface,
                            const ARAPOptions& options)
    {
        return solve_ARAP(surface, compute_LSCM_map(surface), options);
    }
}  // namespace nodara
