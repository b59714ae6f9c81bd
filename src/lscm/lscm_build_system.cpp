// The assembly of LSCM: two conformality equations per triangle, split into
// the columns of the free unknowns and those of the pinned coordinates.
#include <algorithm>
#include <cmath>
#include <numeric>

#include <omp.h>

#include "lscm.h"
#include "parallel_triplets.h"

namespace nodara
{
    std::array<CornerWeight, 3> LSCM::triangle_weights(index_t t) const
    {
        // A reversed triangle is read in corner order 0, 2, 1, so that its
        // local frame turns like its neighbours'.
        const auto triangle = surface.triangle(t);
        // The weights depend on the shape alone: edges scaled by a power of
        // two keep very large and very small triangles from overflowing.
        const auto edges = triangle.scaled_edges();
        const auto& e1 = edges[reversed_polygons[t] ? 1 : 0];
        const auto& e2 = edges[reversed_polygons[t] ? 0 : 1];
        const std::array<local_index_t, 3> corner{
            {0, static_cast<local_index_t>(reversed_polygons[t] ? 2 : 1),
             static_cast<local_index_t>(reversed_polygons[t] ? 1 : 2)}};
        const auto l1 = e1.length();
        const auto l2 = e2.length();
        auto cosine = e2.dot(e1) / (l2 * l1);
        if (cosine < -0.999999)
        {
            cosine = -0.999999;
        }
        else if (cosine > 0.999999)
        {
            cosine = 0.999999;
        }

        // The triangle in its own frame: corner 0 at the origin, corner 1 on
        // the positive x axis, corner 2 above it.
        const double x0 = 0.0;
        const double y0 = 0.0;
        const double x1 = l1;
        const double y1 = 0.0;
        const double x2 = cosine * l2;
        const double y2 = std::sin(std::acos(cosine)) * l2;
        const double d =
            (x0 * y1 - x1 * y0) + (x1 * y2 - x2 * y1) + (x2 * y0 - x0 * y2);
        const double s = std::sqrt(d);

        // Each corner weighs the opposite edge of the local triangle.
        return {{{PolygonVertex{t, corner[0]}, (x2 - x1) / s, (y2 - y1) / s},
                 {PolygonVertex{t, corner[1]}, (x0 - x2) / s, (y0 - y2) / s},
                 {PolygonVertex{t, corner[2]}, (x1 - x0) / s, (y1 - y0) / s}}};
    }

    bool LSCM::add_corner(const CornerWeight& corner,
                          Eigen::Triplet<double>* free_entries,
                          Triplets& pinned_entries) const
    {
        const auto vertex = surface.polygon_vertex(corner.polygon_vertex);
        const auto s = vertex_unknown[vertex];
        if (vertex_pinned[vertex])
        {
            add_corner_triplets(pinned_entries, s, corner);
            return false;
        }
        const auto row = static_cast<int>(2 * corner.polygon_vertex.polygon_id);
        const auto column = static_cast<int>(2 * s);
        free_entries[0] = {row, column, corner.real};
        free_entries[1] = {row, column + 1, -corner.imaginary};
        free_entries[2] = {row + 1, column, corner.imaginary};
        free_entries[3] = {row + 1, column + 1, corner.real};
        return true;
    }

    void LSCM::add_corner_triplets(Triplets& triplets, index_t slot,
                                   const CornerWeight& corner)
    {
        const auto row = static_cast<int>(2 * corner.polygon_vertex.polygon_id);
        const auto column = static_cast<int>(2 * slot);
        const auto alpha = corner.real;
        const auto beta = corner.imaginary;
        triplets.emplace_back(row, column, alpha);
        triplets.emplace_back(row, column + 1, -beta);
        triplets.emplace_back(row + 1, column, beta);
        triplets.emplace_back(row + 1, column + 1, alpha);
    }

    // The triangles are cut into one contiguous range per thread. A first
    // pass counts each range's free entries, so that every thread writes
    // its own where the triangle-by-triangle loop would put them: the
    // triplets come out in the same order whatever the number of threads.
    // Returns the pinned entries of each range.
    std::vector<LSCM::Triplets> LSCM::fill_free_triplets()
    {
        const auto nb_triangles = static_cast<long>(surface.nb_polygons());
        const int nb_ranges = std::max(1, omp_get_max_threads());
        const auto range_start = [&](int r)
        { return static_cast<index_t>(nb_triangles * r / nb_ranges); };
        std::vector<std::size_t> offset(nb_ranges + 1, 0);
#pragma omp parallel for schedule(static, 1)
        for (int r = 0; r < nb_ranges; ++r)
        {
            std::size_t count = 0;
            for (auto t = range_start(r); t < range_start(r + 1); ++t)
            {
                for (local_index_t c = 0; c < 3; ++c)
                {
                    const auto v = surface.polygon_vertex(PolygonVertex{t, c});
                    count += vertex_pinned[v] ? 0 : 4;
                }
            }
            offset[r + 1] = count;
        }
        std::partial_sum(offset.begin(), offset.end(), offset.begin());
        free_triplets.resize(offset.back());
        std::vector<Triplets> pinned(nb_ranges);
#pragma omp parallel for schedule(static, 1)
        for (int r = 0; r < nb_ranges; ++r)
        {
            auto* out = free_triplets.data() + offset[r];
            for (auto t = range_start(r); t < range_start(r + 1); ++t)
            {
                for (const auto& corner : triangle_weights(t))
                {
                    if (add_corner(corner, out, pinned[r]))
                    {
                        out += 4;
                    }
                }
            }
        }
        return pinned;
    }

    void LSCM::build_system()
    {
        const auto pinned = fill_free_triplets();
        for (const auto& entries : pinned)
        {
            pinned_triplets.insert(pinned_triplets.end(), entries.begin(),
                                   entries.end());
        }
        for (const auto& entry : pinned_triplets)
        {
            const auto s = entry.col() / 2;
            const auto& position = attribute->value(pinned_vertices[s]);
            pinned_values[2 * s] = position.value(0);
            pinned_values[2 * s + 1] = position.value(1);
        }
        set_from_triplets_in_parallel(
            free_triplets, static_cast<int>(free_matrix.rows()),
            static_cast<int>(free_matrix.cols()), free_matrix);
        pinned_matrix.setFromTriplets(pinned_triplets.begin(),
                                      pinned_triplets.end());
        Eigen::VectorXd rhs = Eigen::VectorXd::Zero(pinned_matrix.rows());
        rhs -= pinned_matrix * pinned_values;
        pinned_values = rhs;
    }
}  // namespace nodara
