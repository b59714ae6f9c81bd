#include "chart_growth.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <queue>
#include <tuple>

namespace nodara
{
    namespace
    {
        // The direction of `v`, or the zero vector when it has none.
        Vector<3> direction(const Vector<3>& v)
        {
            const auto length = v.length();
            if (!(length > 0.0) || !std::isfinite(length))
            {
                return Vector<3>{};
            }
            return Vector<3>{{v[0] / length, v[1] / length, v[2] / length}};
        }
    }  // namespace

    ChartGrowth::ChartGrowth(const TriangulatedSurface<3>& surface,
                             const PolygonAdjacencies& adjacencies,
                             const std::vector<Vector<3>>& normals,
                             const std::vector<double>& areas,
                             const std::vector<index_t>& ranks,
                             double max_angle)
        : surface_(surface),
          adjacencies_(adjacencies),
          normals_(normals),
          areas_(areas),
          ranks_(ranks),
          min_cosine_(std::cos(max_angle)),
          triangle_stamp_(surface.nb_polygons(), 0),
          vertex_stamp_(surface.nb_vertices(), 0)
    {
    }

    std::vector<index_t> ChartGrowth::grow(index_t seed,
                                           const std::vector<bool>& taken,
                                           double max_area, double radius)
    {
        ++current_;
        normal_sum_ = Vector<3>{};
        std::vector<index_t> chart;
        // Candidates by their key when they were queued, then by rank; a
        // candidate turned away now may come back when a later neighbour
        // queues it again.
        using Candidate = std::tuple<double, index_t, index_t>;
        std::priority_queue<Candidate, std::vector<Candidate>,
                            std::greater<Candidate>>
            queue;
        const auto origin = centroid(seed);
        const auto queue_neighbours = [&](index_t t)
        {
            const auto mean = direction(normal_sum_);
            for (const auto q : adjacencies_[t])
            {
                if (q != NO_ID && !taken[q] && triangle_stamp_[q] != current_ &&
                    !(normals_[q] == Vector<3>{}))
                {
                    const double distance =
                        Vector<3>{origin, centroid(q)}.length();
                    queue.emplace(
                        1.0 - normals_[q].dot(mean) + 2 * distance / radius,
                        ranks_[q], q);
                }
            }
        };
        add(seed, chart);
        double area = areas_[seed];
        queue_neighbours(seed);
        while (!queue.empty() && area < max_area)
        {
            const auto t = std::get<2>(queue.top());
            queue.pop();
            if (triangle_stamp_[t] == current_)
            {
                continue;
            }
            const auto mean = direction(normal_sum_);
            if (normals_[t].dot(mean) < min_cosine_ || joins_across(t) == 3)
            {
                continue;
            }
            add(t, chart);
            area += areas_[t];
            queue_neighbours(t);
        }
        return chart;
    }

    Point<3> ChartGrowth::centroid(index_t t) const
    {
        std::array<std::array<double, 3>, 3> corners{};
        for (local_index_t k = 0; k < 3; ++k)
        {
            const auto& p = surface_.point(surface_.polygon_vertex({t, k}));
            corners[k] = {p[0], p[1], p[2]};
        }
        std::sort(corners.begin(), corners.end());
        Point<3> c;
        for (int i = 0; i < 3; ++i)
        {
            c[i] = (corners[0][i] + corners[1][i] + corners[2][i]) / 3;
        }
        return c;
    }

    int ChartGrowth::joins_across(index_t t) const
    {
        int shared = 0;
        local_index_t edge = 0;
        for (local_index_t e = 0; e < 3; ++e)
        {
            const auto q = adjacencies_[t][e];
            if (q != NO_ID && triangle_stamp_[q] == current_)
            {
                ++shared;
                edge = e;
            }
        }
        if (shared == 1)
        {
            // The corner opposite the shared edge must be new to the chart,
            // or the chart would close a loop around a hole.
            const auto opposite = surface_.polygon_vertex(
                {t, static_cast<local_index_t>((edge + 2) % 3)});
            return vertex_stamp_[opposite] == current_ ? 3 : 1;
        }
        return shared == 2 ? 2 : 3;
    }

    void ChartGrowth::add(index_t t, std::vector<index_t>& chart)
    {
        triangle_stamp_[t] = current_;
        for (const auto v : surface_.polygon_vertices(t))
        {
            vertex_stamp_[v] = current_;
        }
        // Weighted by area; when the areas are too small to give a
        // direction, the triangle's own normal stands in.
        normal_sum_ = Vector<3>{normal_sum_ + normals_[t] * areas_[t]};
        if (direction(normal_sum_) == Vector<3>{})
        {
            normal_sum_ = normals_[t];
        }
        chart.push_back(t);
    }
}  // namespace nodara
