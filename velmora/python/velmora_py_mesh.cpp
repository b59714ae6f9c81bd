// Python classes of the mesh-core layer: the triangulated surfaces in 3D and
// 2D, with numpy arrays in and out, and the name type absl::string_view.
// Other extension modules built with the same pybind11 find these classes in
// pybind11's shared registry, so they take and return the same objects.

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <memory>
#include <sstream>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include <absl/strings/string_view.h>
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <velmora/basic/types.h>
#include <velmora/geometry/point.h>
#include <velmora/mesh/duplicate_triangles.h>
#include <velmora/mesh/mesh_element.h>
#include <velmora/mesh/triangulated_surface.h>
#include <velmora/mesh/triangulated_surface_builder.h>

#include "velmora_py_types.h"

namespace
{
    /// Holder of every Python StringView that owns its object: it keeps the
    /// view together with its own copy of the characters, and points the
    /// view at that copy. A Python StringView therefore stays valid however
    /// long it lives, whatever happened to the text it was made from. The
    /// characters live on the heap, so moving the holder keeps the view
    /// valid.
    template <typename View>
    class OwningViewHolder
    {
        static_assert(std::is_same<View, absl::string_view>::value,
                      "OwningViewHolder holds absl::string_view only");

    public:
        OwningViewHolder() = default;

        /// Takes ownership of `view` (allocated with new, as pybind11 does
        /// for the values it copies or moves to Python) and copies the text
        /// it refers to.
        explicit OwningViewHolder(View* view) : view_(view)
        {
            if (view_)
            {
                text_ =
                    std::make_unique<std::string>(view_->data(), view_->size());
                *view_ = View{*text_};
            }
        }

        /// A holder owning `text` and a view of all of it.
        static OwningViewHolder of_text(std::string text)
        {
            OwningViewHolder holder;
            holder.text_ = std::make_unique<std::string>(std::move(text));
            holder.view_ = std::make_unique<View>(*holder.text_);
            return holder;
        }

        View* get() const { return view_.get(); }

    private:
        std::unique_ptr<std::string> text_;
        std::unique_ptr<View> view_;
    };
}  // namespace

PYBIND11_DECLARE_HOLDER_TYPE(T, OwningViewHolder<T>)

namespace
{
    namespace py = pybind11;
    using nodara::index_t;
    using StringViewHolder = OwningViewHolder<absl::string_view>;

    /// An array of T to read in place: C order, converted from another
    /// dtype, and aligned. numpy hands over a misaligned array (a view into a
    /// byte buffer at an odd offset, say) unless asked for alignment; it
    /// copies it then, since reading T at a misaligned address is undefined.
    template <typename T>
    using InPlaceArray =
        py::array_t<T, py::array::c_style | py::array::forcecast |
                           py::detail::npy_api::NPY_ARRAY_ALIGNED_>;

    py::str to_str(absl::string_view view)
    {
        return py::str(view.data(), view.size());
    }

    /// Equality with another StringView or a str; NotImplemented otherwise,
    /// so that Python tries the other operand.
    py::object string_view_equals(absl::string_view self,
                                  const py::object& other)
    {
        if (py::isinstance<absl::string_view>(other))
        {
            return py::bool_(self == other.cast<const absl::string_view&>());
        }
        if (py::isinstance<py::str>(other))
        {
            Py_ssize_t size = 0;
            const char* data = PyUnicode_AsUTF8AndSize(other.ptr(), &size);
            if (data == nullptr)
            {
                // A str with lone surrogates has no UTF-8 form, so it cannot
                // equal any text a StringView holds.
                PyErr_Clear();
                return py::bool_(false);
            }
            return py::bool_(self == absl::string_view(
                                         data, static_cast<std::size_t>(size)));
        }
        return py::reinterpret_borrow<py::object>(Py_NotImplemented);
    }

    void bind_string_view(py::module_& m)
    {
        py::class_<absl::string_view, StringViewHolder>(
            m, "StringView",
            "A name passed to the mesh libraries (absl::string_view). Every "
            "StringView owns a copy of its text, so it stays valid after the "
            "str it was made from is gone. A str is accepted wherever a "
            "StringView is expected.")
            .def(py::init(
                     [](const py::str& text)
                     { return StringViewHolder::of_text(std::string(text)); }),
                 py::arg("text"),
                 "A view of a copy of `text` (stored as UTF-8). Raises "
                 "UnicodeEncodeError for a str with lone surrogates.")
            .def("__str__", &to_str, "The text as a str.")
            .def(
                "__repr__",
                [](absl::string_view self) {
                    return "StringView(" + std::string(py::repr(to_str(self))) +
                           ")";
                },
                "StringView('text').")
            .def(
                "__len__", [](absl::string_view self) { return self.size(); },
                "The length of the text in bytes of UTF-8 (equal to the "
                "number of characters for ASCII text).")
            .def("__eq__", &string_view_equals,
                 "Whether the text equals that of another StringView or of a "
                 "str.")
            .def(
                "__hash__",
                [](absl::string_view self) { return py::hash(to_str(self)); },
                "The hash of the text as a str, so that a StringView and an "
                "equal str hash alike.");
        py::implicitly_convertible<py::str, absl::string_view>();
    }

    std::string shape_text(const py::array& array)
    {
        return std::string(py::str(array.attr("shape")));
    }

    std::string dtype_text(const py::array& array)
    {
        return std::string(py::str(array.dtype()));
    }

    /// `object` as a numpy array (numpy.asarray).
    py::array as_numpy_array(const py::object& object)
    {
        return py::module_::import("numpy")
            .attr("asarray")(object)
            .cast<py::array>();
    }

    /// Throws TypeError unless the dtype kind of `array` is one of `kinds`.
    void check_kind(const py::array& array, const char* what,
                    const std::string& kinds, const char* kinds_text)
    {
        if (kinds.find(array.dtype().kind()) == std::string::npos)
        {
            throw py::type_error(std::string(what) + " must hold " +
                                 kinds_text + ", got dtype " +
                                 dtype_text(array));
        }
    }

    /// Throws ValueError saying that `array` does not have `expected_shape`.
    [[noreturn]] void throw_shape_error(const py::array& array,
                                        const char* what,
                                        const std::string& expected_shape)
    {
        throw py::value_error(std::string(what) + " must have shape " +
                              expected_shape + ", got " + shape_text(array));
    }

    /// `object` as a numpy array of shape (n, columns) whose dtype kind is
    /// one of `kinds`. Throws TypeError for another kind and ValueError for
    /// another shape.
    py::array checked_array(const py::object& object, const char* what,
                            py::ssize_t columns, const std::string& kinds,
                            const char* kinds_text)
    {
        const auto array = as_numpy_array(object);
        check_kind(array, what, kinds, kinds_text);
        if (array.ndim() != 2 || array.shape(1) != columns)
        {
            throw_shape_error(array, what,
                              "(n, " + std::to_string(columns) + ")");
        }
        return array;
    }

    /// `object` as a one-dimensional numpy array of `count` entries whose
    /// dtype kind is one of `kinds`. An empty sequence is taken for a count
    /// of 0 whatever its dtype (numpy.asarray([]) holds floats). Throws
    /// TypeError for another kind and ValueError for another shape.
    py::array checked_vector(const py::object& object, const char* what,
                             index_t count, const std::string& kinds,
                             const char* kinds_text)
    {
        const auto array = as_numpy_array(object);
        const bool empty = array.ndim() == 1 && array.shape(0) == 0;
        if (!empty)
        {
            check_kind(array, what, kinds, kinds_text);
        }
        if (array.ndim() != 1 ||
            array.shape(0) != static_cast<py::ssize_t>(count))
        {
            throw_shape_error(array, what, "(" + std::to_string(count) + ",)");
        }
        return array;
    }

    /// Checks one triangle index array converted to Index (std::int64_t or
    /// std::uint64_t) and returns the triangles as vertex ids. Throws
    /// ValueError naming the first bad row.
    template <typename Index>
    std::vector<std::array<index_t, 3>> checked_triangles(
        const py::array& array, index_t nb_vertices)
    {
        const InPlaceArray<Index> converted(array);
        const auto rows = converted.template unchecked<2>();
        std::vector<std::array<index_t, 3>> triangles;
        triangles.reserve(static_cast<std::size_t>(rows.shape(0)));
        for (py::ssize_t row = 0; row < rows.shape(0); ++row)
        {
            std::array<index_t, 3> triangle{};
            for (py::ssize_t corner = 0; corner < 3; ++corner)
            {
                const Index value = rows(row, corner);
                if constexpr (std::is_signed<Index>::value)
                {
                    if (value < 0)
                    {
                        throw py::value_error(
                            "triangles row " + std::to_string(row) +
                            " has the negative vertex index " +
                            std::to_string(value));
                    }
                }
                if (static_cast<std::uint64_t>(value) >= nb_vertices)
                {
                    throw py::value_error(
                        "triangles row " + std::to_string(row) +
                        " names vertex " + std::to_string(value) +
                        ", but there are only " + std::to_string(nb_vertices) +
                        " points");
                }
                triangle[static_cast<std::size_t>(corner)] =
                    static_cast<index_t>(value);
            }
            if (triangle[0] == triangle[1] || triangle[0] == triangle[2] ||
                triangle[1] == triangle[2])
            {
                throw py::value_error("triangles row " + std::to_string(row) +
                                      " names a vertex twice");
            }
            triangles.push_back(triangle);
        }
        return triangles;
    }

    /// Throws ValueError naming the rows of `triangles` that repeat an
    /// earlier row's vertices (the first ten), if any.
    void check_no_duplicates(
        const std::vector<std::array<index_t, 3>>& triangles)
    {
        const auto duplicates = nodara::find_duplicate_triangles(triangles);
        if (duplicates.empty())
        {
            return;
        }
        constexpr std::size_t named = 10;
        std::ostringstream message;
        message << "triangles has " << duplicates.size()
                << " rows that repeat an earlier row's vertices:";
        for (std::size_t k = 0; k < std::min(named, duplicates.size()); ++k)
        {
            const auto& duplicate = duplicates[k];
            message << (k == 0 ? " " : ", ") << "row " << duplicate.triangle
                    << " repeats row " << duplicate.first
                    << (duplicate.reversed ? " reversed" : "");
        }
        if (duplicates.size() > named)
        {
            message << " and " << duplicates.size() - named << " more";
        }
        throw py::value_error(message.str());
    }

    /// A new surface from an (n, D) array of coordinates and an (m, 3) array
    /// of vertex indices, with its adjacencies computed. Every argument is
    /// checked before anything is built; with `strict`, repeated triangles
    /// are refused too.
    template <index_t D>
    std::unique_ptr<nodara::TriangulatedSurface<D>> surface_from_arrays(
        const py::object& points_object, const py::object& triangles_object,
        bool strict)
    {
        const auto points_array =
            checked_array(points_object, "points", D, "fiu", "real numbers");
        const auto triangles_array =
            checked_array(triangles_object, "triangles", 3, "iu", "integers");

        // The largest vertex count the builder accepts is NO_ID - 1.
        if (points_array.shape(0) >= static_cast<py::ssize_t>(nodara::NO_ID))
        {
            throw py::value_error("points has too many rows");
        }
        if (triangles_array.shape(0) >= static_cast<py::ssize_t>(nodara::NO_ID))
        {
            throw py::value_error("triangles has too many rows");
        }
        const InPlaceArray<double> converted_points(points_array);
        const auto coordinates = converted_points.template unchecked<2>();
        const auto nb_vertices = static_cast<index_t>(coordinates.shape(0));
        for (py::ssize_t row = 0; row < coordinates.shape(0); ++row)
        {
            for (py::ssize_t column = 0; column < static_cast<py::ssize_t>(D);
                 ++column)
            {
                if (!std::isfinite(coordinates(row, column)))
                {
                    throw py::value_error(
                        "points row " + std::to_string(row) +
                        " has a coordinate that is not finite");
                }
            }
        }
        const auto triangles =
            triangles_array.dtype().kind() == 'u'
                ? checked_triangles<std::uint64_t>(triangles_array, nb_vertices)
                : checked_triangles<std::int64_t>(triangles_array, nb_vertices);
        if (strict)
        {
            check_no_duplicates(triangles);
        }

        auto surface = nodara::TriangulatedSurface<D>::create();
        auto builder = nodara::TriangulatedSurfaceBuilder<D>::create(*surface);
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
    py::array_t<double> points_array(const nodara::TriangulatedSurface<D>& s)
    {
        py::array_t<double> result({static_cast<py::ssize_t>(s.nb_vertices()),
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

    /// The entries of a one-dimensional integer array converted to Index
    /// (std::int64_t or std::uint64_t) as a permutation of 0 .. n - 1.
    /// Throws IndexError for an entry out of range and ValueError for an
    /// entry that repeats an earlier one.
    template <typename Index>
    std::vector<index_t> checked_permutation(const py::array& array, index_t n)
    {
        const InPlaceArray<Index> converted(array);
        const auto entries = converted.template unchecked<1>();
        std::vector<index_t> order(n);
        std::vector<index_t> first_entry(n, nodara::NO_ID);
        for (index_t k = 0; k < n; ++k)
        {
            const Index value = entries(k);
            // A negative value converts to a huge unsigned one.
            if (static_cast<std::uint64_t>(value) >= n)
            {
                throw py::index_error("order entry " + std::to_string(k) +
                                      " is " + std::to_string(value) +
                                      ", but there are only " +
                                      std::to_string(n) + " vertices");
            }
            const auto vertex = static_cast<index_t>(value);
            if (first_entry[vertex] != nodara::NO_ID)
            {
                throw py::value_error("order is not a permutation: vertex " +
                                      std::to_string(vertex) +
                                      " is named by entries " +
                                      std::to_string(first_entry[vertex]) +
                                      " and " + std::to_string(k));
            }
            first_entry[vertex] = k;
            order[k] = vertex;
        }
        return order;
    }

    template <index_t D>
    py::array_t<std::int64_t> delete_vertices(nodara::TriangulatedSurface<D>& s,
                                              const py::object& mask_object)
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
            nodara::TriangulatedSurfaceBuilder<D>{s}.delete_vertices(to_delete);
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
    index_t split_edge(nodara::TriangulatedSurface<D>& s, std::int64_t polygon,
                       std::int64_t edge)
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
    void bind_surface(py::module_& m, const char* name, const char* doc)
    {
        using Surface = nodara::TriangulatedSurface<D>;
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
            "too large index or a triangle naming a vertex twice (the message "
            "names the first bad row, counting from 0); nothing is built "
            "then. With `strict` true, also raises ValueError when a triangle "
            "repeats the vertices of an earlier one, in the same or the "
            "opposite cyclic order (the message names the rows, which would "
            "degrade the flattening); off by default.";
        const std::string points_doc =
            "A copy of the vertex coordinates as an (n, " + dimension +
            ") float64 array; row v is vertex v.";

        py::class_<Surface>(m, name, doc)
            .def(py::init<>(), "An empty surface.")
            .def_static("from_arrays", &surface_from_arrays<D>,
                        py::arg("points"), py::arg("triangles"), py::kw_only(),
                        py::arg("strict") = false, from_arrays_doc.c_str())
            .def("nb_vertices", &Surface::nb_vertices,
                 "The number of vertices.")
            .def("nb_polygons", &Surface::nb_polygons,
                 "The number of polygons (triangles).")
            .def("points", &points_array<D>, points_doc.c_str())
            .def("triangles", &triangles_array<D>,
                 "A copy of the triangles as an (m, 3) uint32 array; row t "
                 "holds the vertices of triangle t in corner order.")
            .def("polygon_adjacent", &polygon_adjacent<D>, py::arg("t"),
                 py::arg("e"),
                 "The triangle across edge `e` (0, 1 or 2; edge e runs from "
                 "corner e to corner (e + 1) % 3) of triangle `t`, or None on "
                 "the border. Raises IndexError when `t` or `e` is out of "
                 "range.")
            .def(
                "vertex_attribute_names",
                [](const Surface& s)
                { return s.vertex_attribute_manager().attribute_names(); },
                "The names of the vertex attributes, sorted.")
            .def(
                "clone", [](const Surface& s) { return s.clone(); },
                "An independent copy: points, triangles, adjacencies and "
                "every vertex attribute.")
            .def(
                "__copy__", [](const Surface& s) { return s.clone(); },
                "Same as clone().")
            .def(
                "__deepcopy__",
                [](const Surface& s, const py::object&) { return s.clone(); },
                py::arg("memo"), "Same as clone().")
            .def("delete_vertices", &delete_vertices<D>, py::arg("mask"),
                 "Deletes every vertex v with mask[v] true and every triangle "
                 "that uses one. The others keep their order and are "
                 "renumbered from 0, triangle corners follow, an edge whose "
                 "neighbour was deleted goes on the border, and every vertex "
                 "attribute drops the deleted vertices. `mask` is a "
                 "one-dimensional boolean array-like with one entry per "
                 "vertex. Returns an int64 array: the new id of every old "
                 "vertex, -1 for a deleted one. Raises TypeError when `mask` "
                 "does not hold booleans and ValueError when its shape is not "
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
            .def("split_edge", &split_edge<D>, py::arg("t"), py::arg("e"),
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
                 "triangles take edges 1 and 2. Every vertex attribute gives "
                 "the new vertex the mean of the corners' values. Returns "
                 "the new vertex id. Raises IndexError when `t` is out of "
                 "range; nothing changes then.")
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
}  // namespace

PYBIND11_MODULE(velmora_py_mesh, m)
{
    m.doc() =
        "Triangulated surfaces of the Velmora mesh-core library, with numpy "
        "arrays in and out, and the StringView name type.";
    bind_string_view(m);
    bind_surface<3>(m, "TriangulatedSurface3D",
                    "A triangulated surface in 3D (TriangulatedSurface<3>).");
    bind_surface<2>(m, "TriangulatedSurface2D",
                    "A triangulated surface in the plane "
                    "(TriangulatedSurface<2>).");
}
