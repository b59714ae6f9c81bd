#include "surface_binding.h"

#include <cstdint>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <pybind11/numpy.h>
#include <pybind11/stl.h>

#include <velmora/geometry/point.h>
#include <velmora/mesh/mesh_element.h>
#include <velmora/mesh/triangulated_surface.h>
#include <velmora/mesh/triangulated_surface_builder.h>

#include "array_checks.h"
#include "velmora_py_types.h"

namespace velmora_python
{
    namespace
    {
        /// A new surface from an (n, D) array of coordinates and an (m, 3)
        /// array of vertex indices, with its adjacencies computed. Every
        /// argument is checked before anything is built; with `strict`,
        /// repeated triangles are refused too.
        template <index_t D>
        std::unique_ptr<nodara::TriangulatedSurface<D>> surface_from_arrays(
            const py::object& points_object, const py::object& triangles_object,
            bool strict)
        {
            const auto points_array = checked_array(points_object, "points", D,
                                                    "fiu", "real numbers");
            const auto triangles_array = checked_array(
                triangles_object, "triangles", 3, "iu", "integers");

            // The largest vertex count the builder accepts is NO_ID - 1.
            if (points_array.shape(0) >=
                static_cast<py::ssize_t>(nodara::NO_ID))
            {
                throw py::value_error("points has too many rows");
            }
            if (triangles_array.shape(0) >=
                static_cast<py::ssize_t>(nodara::NO_ID))
            {
                throw py::value_error("triangles has too many rows");
            }
            const InPlaceArray<double> converted_points(points_array);
            const auto coordinates = converted_points.template unchecked<2>();
            const auto nb_vertices = static_cast<index_t>(coordinates.shape(0));
            for (py::ssize_t row = 0; row < coordinates.shape(0); ++row)
            {
                for (py::ssize_t column = 0;
                     column < static_cast<py::ssize_t>(D); ++column)
                {
                    if (!std::isfinite(coordinates(row, column)))
                    {
                        throw py::value_error(
                            "points row " + std::to_string(row) +
                            " has a coordinate that is not finite");
                    }
                }
            }
            const auto triangles = triangles_array.dtype().kind() == 'u'
                                       ? checked_triangles<std::uint64_t>(
                                             triangles_array, nb_vertices)
                                       : checked_triangles<std::int64_t>(
                                             triangles_array, nb_vertices);
            if (strict)
            {
                check_no_duplicates(triangles);
            }

            auto surface = nodara::TriangulatedSurface<D>::create();
            auto builder =
                nodara::TriangulatedSurfaceBuilder<D>::create(*surface);
            builder->create_vertices(nb_vertices);
            for (index_t v = 0; v < nb_vertices; ++v)
            {
                std::array<double, D> values{};
                for (index_t c = 0; c < D; ++c)
                {
                    values[c] = coordinates(v, c);
                }
                builder->set_point(v, nodara::Point<D>{values});
            }
            builder->reserve_triangles(static_cast<index_t>(triangles.size()));
            for (const auto& triangle : triangles)
            {
                builder->create_triangle(triangle);
            }
            builder->compute_polygon_adjacencies();
            return surface;
        }

        template <index_t D>
        py::array_t<double> points_array(
            const nodara::TriangulatedSurface<D>& s)
        {
            py::array_t<double> result(
                {static_cast<py::ssize_t>(s.nb_vertices()),
                 static_cast<py::ssize_t>(D)});
            auto out = result.template mutable_unchecked<2>();
            for (index_t v = 0; v < s.nb_vertices(); ++v)
            {
                const auto& point = s.point(v);
                for (index_t c = 0; c < D; ++c)
                {
                    out(v, c) = point[c];
                }
            }
            return result;
        }

        template <index_t D>
        py::array_t<std::uint32_t> triangles_array(
            const nodara::TriangulatedSurface<D>& s)
        {
            py::array_t<std::uint32_t> result(
                {static_cast<py::ssize_t>(s.nb_polygons()), py::ssize_t{3}});
            auto out = result.template mutable_unchecked<2>();
            for (index_t t = 0; t < s.nb_polygons(); ++t)
            {
                const auto& corners = s.polygon_vertices(t);
                for (index_t c = 0; c < 3; ++c)
                {
                    out(t, c) = corners[c];
                }
            }
            return result;
        }

        /// `polygon` as a polygon id of `s`; IndexError when out of range.
        template <index_t D>
        index_t checked_polygon(const nodara::TriangulatedSurface<D>& s,
                                std::int64_t polygon)
        {
            if (polygon < 0 || polygon >= s.nb_polygons())
            {
                throw py::index_error("polygon " + std::to_string(polygon) +
                                      " is out of range: the surface has " +
                                      std::to_string(s.nb_polygons()) +
                                      " polygons");
            }
            return static_cast<index_t>(polygon);
        }

        /// `edge` as a local edge index; IndexError unless it is 0, 1 or 2.
        nodara::local_index_t checked_edge(std::int64_t edge)
        {
            if (edge < 0 || edge > 2)
            {
                throw py::index_error("edge " + std::to_string(edge) +
                                      " is out of range: edges are 0, 1 and 2");
            }
            return static_cast<nodara::local_index_t>(edge);
        }

        template <index_t D>
        py::object polygon_adjacent(const nodara::TriangulatedSurface<D>& s,
                                    std::int64_t polygon, std::int64_t edge)
        {
            const auto adjacent = s.polygon_adjacent(
                {checked_polygon(s, polygon), checked_edge(edge)});
            if (!adjacent)
            {
                return py::none();
            }
            return py::int_(*adjacent);
        }

        template <index_t D>
        py::array_t<std::int64_t> delete_vertices(
            nodara::TriangulatedSurface<D>& s, const py::object& mask_object)
        {
            const auto n = s.nb_vertices();
            const auto mask =
                checked_vector(mask_object, "mask", n, "b", "booleans");
            std::vector<bool> to_delete(n, false);
            if (n > 0)
            {
                const InPlaceArray<bool> flags(mask);
                const auto view = flags.template unchecked<1>();
                for (index_t v = 0; v < n; ++v)
                {
                    to_delete[v] = view(v);
                }
            }
            const auto map =
                nodara::TriangulatedSurfaceBuilder<D>{s}.delete_vertices(
                    to_delete);
            py::array_t<std::int64_t> result(static_cast<py::ssize_t>(n));
            auto out = result.template mutable_unchecked<1>();
            for (index_t v = 0; v < n; ++v)
            {
                out(v) = map[v] == nodara::NO_ID ? std::int64_t{-1}
                                                 : std::int64_t{map[v]};
            }
            return result;
        }

        template <index_t D>
        void permute_vertices(nodara::TriangulatedSurface<D>& s,
                              const py::object& order_object)
        {
            const auto n = s.nb_vertices();
            const auto array =
                checked_vector(order_object, "order", n, "iu", "integers");
            std::vector<index_t> order;
            if (n > 0)
            {
                order = array.dtype().kind() == 'u'
                            ? checked_permutation<std::uint64_t>(array, n)
                            : checked_permutation<std::int64_t>(array, n);
            }
            nodara::TriangulatedSurfaceBuilder<D>{s}.permute_vertices(order);
        }

        template <index_t D>
        index_t split_edge(nodara::TriangulatedSurface<D>& s,
                           std::int64_t polygon, std::int64_t edge)
        {
            const auto t = checked_polygon(s, polygon);
            const auto e = checked_edge(edge);
            return nodara::TriangulatedSurfaceBuilder<D>{s}.split_edge({t, e});
        }

        template <index_t D>
        index_t split_triangle(nodara::TriangulatedSurface<D>& s,
                               std::int64_t polygon)
        {
            const auto t = checked_polygon(s, polygon);
            return nodara::TriangulatedSurfaceBuilder<D>{s}.split_triangle(t);
        }

        template <index_t D>
        using SurfaceClass = py::class_<nodara::TriangulatedSurface<D>>;

        // Making surfaces: empty, or from numpy arrays.
        template <index_t D>
        void bind_construction(SurfaceClass<D>& cls)
        {
            const std::string dimension = std::to_string(D);
            const std::string from_arrays_doc =
                "A new surface from `points`, an (n, " + dimension +
                ") array of real numbers, and `triangles`, an (m, 3) array of "
                "integer vertex indices counting from 0, with the adjacency of "
                "triangles sharing an edge computed. Anything numpy.asarray "
                "accepts is taken. Empty arrays of these shapes give an empty "
                "surface. Raises TypeError when `points` does not hold real "
                "numbers or `triangles` does not hold integers, ValueError for "
                "another shape, a coordinate that is not finite, a negative or "
                "too large index or a triangle naming a vertex twice (the "
                "message "
                "names the first bad row, counting from 0); nothing is built "
                "then. With `strict` true, also raises ValueError when a "
                "triangle "
                "repeats the vertices of an earlier one, in the same or the "
                "opposite cyclic order (the message names the rows, which "
                "would "
                "degrade the flattening); off by default.";
            cls.def(py::init<>(), "An empty surface.")
                .def_static("from_arrays", &surface_from_arrays<D>,
                            py::arg("points"), py::arg("triangles"),
                            py::kw_only(), py::arg("strict") = false,
                            from_arrays_doc.c_str());
        }

        // Reading a surface: counts, arrays, adjacency, attribute names.
        template <index_t D>
        void bind_reading(SurfaceClass<D>& cls, const char* name)
        {
            using Surface = nodara::TriangulatedSurface<D>;
            const std::string dimension = std::to_string(D);
            const std::string points_doc =
                "A copy of the vertex coordinates as an (n, " + dimension +
                ") float64 array; row v is vertex v.";
            cls.def("nb_vertices", &Surface::nb_vertices,
                    "The number of vertices.")
                .def("nb_polygons", &Surface::nb_polygons,
                     "The number of polygons (triangles).")
                .def("points", &points_array<D>, points_doc.c_str())
                .def("triangles", &triangles_array<D>,
                     "A copy of the triangles as an (m, 3) uint32 array; row t "
                     "holds the vertices of triangle t in corner order.")
                .def(
                    "polygon_adjacent", &polygon_adjacent<D>, py::arg("t"),
                    py::arg("e"),
                    "The triangle across edge `e` (0, 1 or 2; edge e runs from "
                    "corner e to corner (e + 1) % 3) of triangle `t`, or None "
                    "on "
                    "the border. Raises IndexError when `t` or `e` is out of "
                    "range.")
                .def(
                    "vertex_attribute_names",
                    [](const Surface& s)
                    { return s.vertex_attribute_manager().attribute_names(); },
                    "The names of the vertex attributes, sorted.")
                .def(
                    "__repr__",
                    [name](const Surface& s)
                    {
                        std::ostringstream text;
                        text << "<" << name << " with " << s.nb_vertices()
                             << " vertices and " << s.nb_polygons()
                             << " triangles>";
                        return text.str();
                    },
                    "<TriangulatedSurfaceND with n vertices and m triangles>.");
        }

        // Independent copies, also through the copy module.
        template <index_t D>
        void bind_copies(SurfaceClass<D>& cls)
        {
            using Surface = nodara::TriangulatedSurface<D>;
            cls.def(
                   "clone", [](const Surface& s) { return s.clone(); },
                   "An independent copy: points, triangles, adjacencies and "
                   "every vertex attribute.")
                .def(
                    "__copy__", [](const Surface& s) { return s.clone(); },
                    "Same as clone().")
                .def(
                    "__deepcopy__",
                    [](const Surface& s, const py::object&)
                    { return s.clone(); },
                    py::arg("memo"), "Same as clone().");
        }

        // Edits in place: deleting and permuting vertices, splitting.
        template <index_t D>
        void bind_edits(SurfaceClass<D>& cls)
        {
            cls.def(
                   "delete_vertices", &delete_vertices<D>, py::arg("mask"),
                   "Deletes every vertex v with mask[v] true and every "
                   "triangle "
                   "that uses one. The others keep their order and are "
                   "renumbered from 0, triangle corners follow, an edge whose "
                   "neighbour was deleted goes on the border, and every vertex "
                   "attribute drops the deleted vertices. `mask` is a "
                   "one-dimensional boolean array-like with one entry per "
                   "vertex. Returns an int64 array: the new id of every old "
                   "vertex, -1 for a deleted one. Raises TypeError when `mask` "
                   "does not hold booleans and ValueError when its shape is "
                   "not "
                   "(nb_vertices(),); nothing changes then.")
                .def("permute_vertices", &permute_vertices<D>, py::arg("order"),
                     "Renumbers the vertices: new vertex k is old vertex "
                     "order[k]. Points, triangle corners and every vertex "
                     "attribute follow; triangle ids and adjacencies stay. "
                     "`order` is a one-dimensional integer array-like with one "
                     "entry per vertex. Raises TypeError when it does not hold "
                     "integers, ValueError when its shape is not "
                     "(nb_vertices(),) or an entry repeats, IndexError when an "
                     "entry is negative or not a vertex; nothing changes then.")
                .def(
                    "split_edge", &split_edge<D>, py::arg("t"), py::arg("e"),
                    "Inserts a vertex at the midpoint of edge `e` (0, 1 or 2; "
                    "from corner e to corner (e + 1) % 3) of triangle `t` and "
                    "splits `t` and the triangle across the edge, if any, in "
                    "two; the new triangles get the next ids and adjacencies "
                    "are updated. On an edge of three triangles or more, which "
                    "has no triangle across, only `t` is split; when two are "
                    "left on the edge they become neighbours. Every vertex "
                    "attribute gives the new vertex "
                    "the mean of the edge ends' values. Returns the new vertex "
                    "id. Raises IndexError when `t` or `e` is out of range and "
                    "RuntimeError when the triangle recorded across the edge "
                    "does not have it; nothing changes then.")
                .def("split_triangle", &split_triangle<D>, py::arg("t"),
                     "Inserts a vertex at the centroid of triangle `t` and "
                     "splits it in three: `t` keeps edge 0, the two new "
                     "triangles take edges 1 and 2. Every vertex attribute "
                     "gives "
                     "the new vertex the mean of the corners' values. Returns "
                     "the new vertex id. Raises IndexError when `t` is out of "
                     "range; nothing changes then.");
        }

    }  // namespace

    template <index_t D>
    void bind_surface(py::module_& m, const char* name, const char* doc)
    {
        SurfaceClass<D> cls(m, name, doc);
        bind_construction<D>(cls);
        bind_reading<D>(cls, name);
        bind_copies<D>(cls);
        bind_edits<D>(cls);
    }

    template void bind_surface<2>(py::module_& m, const char* name,
                                  const char* doc);
    template void bind_surface<3>(py::module_& m, const char* name,
                                  const char* doc);
}  // namespace velmora_python
