#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include <velmora/basic/velmora_exception.h>
#include <velmora/mesh/triangulated_surface_builder.h>

namespace nodara
{
    namespace testing
    {
        // The message of the VelmoraException that `call` throws, or "no
        // exception".
        template <typename Call>
        std::string message_of(Call call)
        {
            try
            {
                call();
            }
            catch (const VelmoraException& error)
            {
                return error.what();
            }
            return "no exception";
        }

        using Points = std::vector<std::array<double, 3>>;
        using Triangles = std::vector<std::array<index_t, 3>>;

        // Appends a curved grid patch of n x n cells over [0, 1]^2, moved
        // by `shift` along x, after the points already there.
        inline void add_patch(Points& points, Triangles& triangles, index_t n,
                              double shift)
        {
            const auto first = static_cast<index_t>(points.size());
            for (index_t j = 0; j <= n; ++j)
            {
                for (index_t i = 0; i <= n; ++i)
                {
                    const double x = 1.0 * i / n;
                    const double y = 1.0 * j / n;
                    points.push_back({x + shift, y,
                                      0.3 * std::sin(3 * x) * std::cos(2 * y)});
                }
            }
            for (index_t j = 0; j < n; ++j)
            {
                for (index_t i = 0; i < n; ++i)
                {
                    const index_t v = first + j * (n + 1) + i;
                    triangles.push_back({v, v + 1, v + n + 2});
                    triangles.push_back({v, v + n + 2, v + n + 1});
                }
            }
        }

        inline const double pi = std::acos(-1.0);

        // A half cylinder of `radius` and `height`, `n` strips around and
        // `rows` up: developable, each strip unfolds to a chord-wide strip.
        inline void add_half_cylinder(Points& points, Triangles& triangles,
                                      double radius, double height, index_t n,
                                      index_t rows)
        {
            const auto first = static_cast<index_t>(points.size());
            for (index_t j = 0; j <= rows; ++j)
            {
                for (index_t i = 0; i <= n; ++i)
                {
                    const double angle = pi * i / n;
                    points.push_back({radius * std::cos(angle),
                                      radius * std::sin(angle),
                                      height * j / rows});
                }
            }
            for (index_t j = 0; j < rows; ++j)
            {
                for (index_t i = 0; i < n; ++i)
                {
                    const index_t v = first + j * (n + 1) + i;
                    triangles.push_back({v, v + 1, v + n + 2});
                    triangles.push_back({v, v + n + 2, v + n + 1});
                }
            }
        }

        // Appends a tube of radius 1 round the z axis, `n` columns round
        // and `rows` rows of height 0.5 up, closed round and open at both
        // ends: vertex j * n + i after the points already there.
        inline void add_tube(Points& points, Triangles& triangles, index_t n,
                             index_t rows)
        {
            const auto first = static_cast<index_t>(points.size());
            for (index_t j = 0; j <= rows; ++j)
            {
                for (index_t i = 0; i < n; ++i)
                {
                    const double angle = 2 * pi * i / n;
                    points.push_back(
                        {std::cos(angle), std::sin(angle), 0.5 * j});
                }
            }
            for (index_t j = 0; j < rows; ++j)
            {
                for (index_t i = 0; i < n; ++i)
                {
                    const index_t a = first + j * n + i;
                    const index_t b = first + j * n + (i + 1) % n;
                    triangles.push_back({a, b, b + n});
                    triangles.push_back({a, b + n, a + n});
                }
            }
        }

        // A 3D surface from points and triangles, with its adjacencies.
        inline std::unique_ptr<TriangulatedSurface<3>> make_surface(
            const Points& points, const Triangles& triangles)
        {
            auto surface = TriangulatedSurface<3>::create();
            TriangulatedSurfaceBuilder<3> builder{*surface};
            for (const auto& p : points)
            {
                builder.create_point(Point<3>{p});
            }
            for (const auto& t : triangles)
            {
                builder.create_triangle(t);
            }
            builder.compute_polygon_adjacencies();
            return surface;
        }

        // The curved grid patch of add_patch alone, n x n cells.
        inline std::unique_ptr<TriangulatedSurface<3>> patch_surface(index_t n)
        {
            Points points;
            Triangles triangles;
            add_patch(points, triangles, n, 0.0);
            return make_surface(points, triangles);
        }

        // A closed surface from an (n x m) grid on a torus-like domain: the
        // grid wraps in both directions; `place` gives the point of (u, v)
        // in [0, 1)^2.
        template <typename Place>
        std::unique_ptr<TriangulatedSurface<3>> wrapped_grid(index_t n,
                                                             index_t m,
                                                             Place place)
        {
            Points points;
            Triangles triangles;
            for (index_t j = 0; j < m; ++j)
            {
                for (index_t i = 0; i < n; ++i)
                {
                    points.push_back(place(1.0 * i / n, 1.0 * j / m));
                }
            }
            const auto id = [&](index_t i, index_t j)
            { return (j % m) * n + (i % n); };
            for (index_t j = 0; j < m; ++j)
            {
                for (index_t i = 0; i < n; ++i)
                {
                    triangles.push_back(
                        {id(i, j), id(i + 1, j), id(i + 1, j + 1)});
                    triangles.push_back(
                        {id(i, j), id(i + 1, j + 1), id(i, j + 1)});
                }
            }
            return make_surface(points, triangles);
        }

        // A sphere as an octahedron subdivided `levels` times, each new
        // point pushed onto the unit sphere, then every point p moved to
        // radius(p) times p.
        template <typename Radius>
        std::unique_ptr<TriangulatedSurface<3>> sphere(int levels,
                                                       Radius radius)
        {
            Points points{{1, 0, 0},  {-1, 0, 0}, {0, 1, 0},
                          {0, -1, 0}, {0, 0, 1},  {0, 0, -1}};
            Triangles triangles{{0, 2, 4}, {2, 1, 4}, {1, 3, 4}, {3, 0, 4},
                                {2, 0, 5}, {1, 2, 5}, {3, 1, 5}, {0, 3, 5}};
            for (int level = 0; level < levels; ++level)
            {
                std::map<std::pair<index_t, index_t>, index_t> middle;
                const auto mid = [&](index_t a, index_t b)
                {
                    const auto key = std::minmax(a, b);
                    const auto found = middle.find(key);
                    if (found != middle.end())
                    {
                        return found->second;
                    }
                    std::array<double, 3> p{};
                    for (int i = 0; i < 3; ++i)
                    {
                        p[i] = (points[a][i] + points[b][i]) / 2;
                    }
                    const double r =
                        std::sqrt(p[0] * p[0] + p[1] * p[1] + p[2] * p[2]);
                    points.push_back({p[0] / r, p[1] / r, p[2] / r});
                    return middle[key] =
                               static_cast<index_t>(points.size() - 1);
                };
                Triangles finer;
                for (const auto& t : triangles)
                {
                    const auto ab = mid(t[0], t[1]);
                    const auto bc = mid(t[1], t[2]);
                    const auto ca = mid(t[2], t[0]);
                    finer.push_back({t[0], ab, ca});
                    finer.push_back({ab, t[1], bc});
                    finer.push_back({ca, bc, t[2]});
                    finer.push_back({ab, bc, ca});
                }
                triangles = finer;
            }
            for (auto& p : points)
            {
                const double r = radius(p);
                p = {p[0] * r, p[1] * r, p[2] * r};
            }
            return make_surface(points, triangles);
        }

        // The signed area of triangle `t` in the 2D map `map`, positive when
        // its corners turn counter-clockwise.
        inline double signed_area(const std::vector<Point<2>>& map,
                                  const std::array<index_t, 3>& t)
        {
            const auto& a = map[t[0]];
            const auto& b = map[t[1]];
            const auto& c = map[t[2]];
            return 0.5 * ((b[0] - a[0]) * (c[1] - a[1]) -
                          (c[0] - a[0]) * (b[1] - a[1]));
        }

        // A closed octahedron, every triangle wound outwards.
        inline Points octahedron_points()
        {
            return {{1, 0, 0},  {-1, 0, 0}, {0, 1, 0},
                    {0, -1, 0}, {0, 0, 1},  {0, 0, -1}};
        }

        inline Triangles octahedron_triangles()
        {
            return {{0, 2, 4}, {2, 1, 4}, {1, 3, 4}, {3, 0, 4},
                    {2, 0, 5}, {1, 2, 5}, {3, 1, 5}, {0, 3, 5}};
        }

        // A closed sphere of `levels` subdivisions with bumps all over,
        // which the atlas cuts into some dozens of charts.
        inline std::unique_ptr<TriangulatedSurface<3>> bumpy_sphere(int levels)
        {
            return sphere(levels,
                          [](const std::array<double, 3>& p)
                          {
                              return 1 + 0.1 * std::sin(13 * p[0] + 1) *
                                             std::sin(14 * p[1] + 2) *
                                             std::sin(15 * p[2] + 3);
                          });
        }

        // The same surface with its triangles in a random order, each with
        // its corners turned by a random step (orientation kept).
        inline std::unique_ptr<TriangulatedSurface<3>> shuffled(
            const TriangulatedSurface<3>& surface, unsigned seed)
        {
            Points points;
            for (index_t v = 0; v < surface.nb_vertices(); ++v)
            {
                const auto& p = surface.point(v);
                points.push_back({p[0], p[1], p[2]});
            }
            Triangles triangles;
            std::mt19937 random{seed};
            for (index_t t = 0; t < surface.nb_polygons(); ++t)
            {
                auto corners = surface.polygon_vertices(t);
                std::rotate(corners.begin(), corners.begin() + random() % 3,
                            corners.end());
                triangles.push_back({corners[0], corners[1], corners[2]});
            }
            std::shuffle(triangles.begin(), triangles.end(), random);
            return make_surface(points, triangles);
        }

        // The unit square split along its diagonal 0-2.
        inline std::unique_ptr<TriangulatedSurface<3>> make_unit_square()
        {
            return make_surface({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}},
                                {{0, 1, 2}, {0, 2, 3}});
        }
    }  // namespace testing
}  // namespace nodara
