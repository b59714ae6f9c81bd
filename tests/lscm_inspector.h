#pragma once

#include <vector>

#include "lscm/lscm.h"

namespace nodara
{
    // Test access to the steps and members of one LSCM computation.
    class LSCMInspector
    {
    public:
        explicit LSCMInspector(LSCM& lscm) : lscm_(lscm) {}

        std::pair<Vector<3>, Vector<3>> projection_axes() const
        {
            return lscm_.projection_axes();
        }
        void pin_vertices() { lscm_.pin_vertices(); }
        void project_vertices(const Vector<3>& a, const Vector<3>& b)
        {
            lscm_.project_vertices(a, b);
        }
        void build_system() { lscm_.build_system(); }
        std::array<CornerWeight, 3> triangle_weights(index_t t) const
        {
            return lscm_.triangle_weights(t);
        }

        const std::vector<index_t>& pinned_vertices() const
        {
            return lscm_.pinned_vertices;
        }
        std::vector<index_t> vertex_unknown() const
        {
            return {lscm_.vertex_unknown.begin(), lscm_.vertex_unknown.end()};
        }
        const Eigen::VectorXd& free_values() const { return lscm_.free_values; }
        const Eigen::VectorXd& pinned_values() const
        {
            return lscm_.pinned_values;
        }
        const Eigen::SparseMatrix<double>& free_matrix() const
        {
            return lscm_.free_matrix;
        }
        const Eigen::SparseMatrix<double>& pinned_matrix() const
        {
            return lscm_.pinned_matrix;
        }
        const auto& free_triplets() const { return lscm_.free_triplets; }
        std::size_t nb_free_triplets() const
        {
            return lscm_.free_triplets.size();
        }
        std::size_t free_triplet_capacity() const
        {
            return lscm_.free_triplets.capacity();
        }
        std::size_t nb_pinned_triplets() const
        {
            return lscm_.pinned_triplets.size();
        }

    private:
        LSCM& lscm_;
    };

    // An LSCM computation stopped after its pin step and assembly.
    struct AssembledLSCM
    {
        AssembledLSCM(const TriangulatedSurface<3>& surface,
                      absl::string_view attribute_name)
            : lscm{surface, attribute_name}
        {
            inspector.pin_vertices();
            inspector.build_system();
        }

        LSCM lscm;
        LSCMInspector inspector{lscm};
    };
}  // namespace nodara
