#pragma once

#include <array>
#include <memory>
#include <utility>
#include <vector>

#include <absl/container/fixed_array.h>
#include <absl/strings/string_view.h>
#include <Eigen/IterativeLinearSolvers>
#include <Eigen/SparseCore>

#include <tessaplan/lscm_statistics.h>
#include <velmora/basic/huge_pages.h>
#include <velmora/geometry/vector.h>
#include <velmora/mesh/polygon_components.h>
#include <velmora/mesh/triangulated_surface.h>

#include <tessaplan/attribute/variable_attribute.h>
#include "piece_pins.h"

#include "complex_normal_system.h"

namespace nodara
{
    /// The complex weight real + i * imaginary of one corner of a triangle
    /// in the conformality equation of that triangle.
    struct CornerWeight
    {
        PolygonVertex polygon_vertex;
        double real;
        double imaginary;
    };

    /// One least squares conformal map computation: pins two vertices of
    /// every piece of the surface at their projections onto the surface's
    /// mean plane, assembles two equations per triangle and solves for the
    /// other vertices in the least-squares sense. Lives for one call of
    /// compute_LSCM_parameterization.
    class LSCM
    {
        friend class LSCMInspector;

    public:
        /// Gets or creates the Point<2> vertex attribute `attribute_name`,
        /// sizes every buffer for one piece and finds the pieces and their
        /// orientation. Throws VelmoraException when the surface has fewer
        /// than two vertices or counts too large for the system's index
        /// types, when the name holds an attribute of another type, or when
        /// a piece cannot be oriented.
        LSCM(const TriangulatedSurface<3>& surface,
             absl::string_view attribute_name);

        /// As above, but the map is kept by this object alone and the
        /// surface's attributes are left as they are.
        explicit LSCM(const TriangulatedSurface<3>& surface);

        /// Pins the given vertices at their positions in the next solve()
        /// (see PiecePins::pins); `pins` must be checked: in range, finite,
        /// one per vertex, sorted by vertex.
        void set_given_pins(std::vector<GivenPin> pins)
        {
            given_pins = std::move(pins);
        }

        /// Whether solve() leaves out the iterative solver's confirmation of
        /// a direct solution whose residual is well within its tolerance:
        /// the solver would return that solution unchanged.
        void set_trust_direct_solution(bool trust) { trust_direct_ = trust; }

        /// Runs the pin step, the assembly and the solve, and writes the
        /// solution into the attribute. Throws VelmoraException on failure;
        /// after the pin step the attribute holds the projections.
        void solve();

        /// Timings and solver figures of the last solve().
        const LSCMStatistics& statistics() const { return statistics_; }

        /// The map, one point per vertex: the solution after solve(), the
        /// projections after a failed one.
        std::vector<Point<2>> map() const;

        /// The pinned vertices chosen by the last solve(), piece after piece.
        const std::vector<index_t>& pins() const { return pinned_vertices; }

    private:
        using Triplets = LargeVector<Eigen::Triplet<double>>;

        // Both public constructors end here, with the attribute that holds
        // the map.
        LSCM(const TriangulatedSurface<3>& surface,
             std::shared_ptr<VariableAttribute<Point<2>>> map_attribute);

        // Pin step.
        void pin_vertices();
        std::pair<Vector<3>, Vector<3>> projection_axes() const;
        Vector<3> principal_normal() const;
        bool pieces_are_discs() const;
        void project_vertices(const Vector<3>& a, const Vector<3>& b);
        void number_unknowns();
        void size_for_pins(index_t nb_pinned);

        // Assembly.
        void build_system();
        std::vector<Triplets> fill_free_triplets();
        std::array<CornerWeight, 3> triangle_weights(index_t t) const;
        // Writes the four free entries of the corner at `free_entries` and
        // returns true, or appends its pinned entries and returns false.
        bool add_corner(const CornerWeight& corner,
                        Eigen::Triplet<double>* free_entries,
                        Triplets& pinned_entries) const;
        static void add_corner_triplets(Triplets& triplets, index_t slot,
                                        const CornerWeight& corner);

        // Solve and write-back.
        void solve_system();
        void start_from_direct_solution();
        void confirm(
            Eigen::LeastSquaresConjugateGradient<Eigen::SparseMatrix<double>>&
                solver);
        bool solve_releasing_matrix(ComplexNormalSystem& system,
                                    Eigen::VectorXd& direct);
        void write_back();

        const TriangulatedSurface<3>& surface;
        std::shared_ptr<VariableAttribute<Point<2>>> attribute;
        // Two per piece, in piece order; a vertex shared by pieces is named
        // once. Slot k is pinned_vertices[k].
        std::vector<index_t> pinned_vertices;
        std::vector<GivenPin> given_pins;
        Eigen::SparseMatrix<double> free_matrix;
        Triplets free_triplets;
        Eigen::SparseMatrix<double> pinned_matrix;
        Triplets pinned_triplets;
        Eigen::VectorXd pinned_values;
        Eigen::VectorXd free_values;
        absl::FixedArray<index_t> vertex_unknown;
        // The pieces, whether each triangle is read in corner order 0, 2, 1
        // to turn like the rest of its piece, and which vertices are pinned.
        PolygonComponents pieces;
        std::vector<bool> reversed_polygons;

        std::vector<bool> vertex_pinned;
        LSCMStatistics statistics_;
        bool trust_direct_{false};
        // Whether the direct solution's residual was a sixteenth of the
        // iterative solver's stopping bound or less.
        bool direct_well_within_{false};
    };

    /// compute_LSCM_map, the same map with less work for the small surfaces
    /// of an atlas's charts: the iterative solver does not confirm a direct
    /// solution it would keep unchanged. Throws as compute_LSCM_map does.
    std::vector<Point<2>> compute_chart_LSCM_map(
        const TriangulatedSurface<3>& surface);
}  // namespace nodara
