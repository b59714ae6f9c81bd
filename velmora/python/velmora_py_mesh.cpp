// Python classes of the mesh-core layer: the triangulated surfaces in 3D and
// 2D, with numpy arrays in and out, and the name type absl::string_view.
// Other extension modules built with the same pybind11 find these classes in
// pybind11's shared registry, so they take and return the same objects.

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
#include <velmora/mesh/mesh_element.h>
#include <velmora/mesh/triangulated_surface.h>
#include <velmora/mesh/triangulated_surface_builder.h>

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
            text_ = std::make_unique<std::string>(view_->data(), view_->size());
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

py::str to_str(absl::string_view view)
{
    return py::str(view.data(), view.size());
}

/// Equality with another StringView or a str; NotImplemented otherwise,
/// so that Python tries the other operand.
py::object string_view_equals(absl::string_view self, const py::object& other)
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
        return py::bool_(
            self == absl::string_view(data, static_cast<std::size_t>(size)));
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
        .def(py::init([](const py::str& text)
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

/// `object` as a numpy array of shape (n, columns) whose dtype kind is
/// one of `kinds`. Throws TypeError for another kind and ValueError for
/// another shape.
py::array checked_array(const py::object& object, const char* what,
                        py::ssize_t columns, const std::string& kinds,
                        const char* kinds_text)
{
    const auto array =
        py::module_::import("numpy").attr("asarray")(object).cast<py::array>();
    if (kinds.find(array.dtype().kind()) == std::string::npos)
    {
        throw py::type_error(std::string(what) + " must hold " + kinds_text +
                             ", got dtype " + dtype_text(array));
    }
    if (array.ndim() != 2 || array.shape(1) != columns)
    {
        throw py::value_error(std::string(what) + " must have shape (n, " +
                              std::to_string(columns) + "), got " +
                              shape_text(array));
    }
    return array;
}

/// Checks one triangle index array converted to Index (std::int64_t or
/// std::uint64_t) and returns the triangles as vertex ids. Throws
/// ValueError naming the first bad row.
template <typename Index>
std::vector<std::array<index_t, 3>> checked_triangles(const py::array& array,
                                                      index_t nb_vertices)
{
    const py::array_t<Index, py::array::c_style | py::array::forcecast>
        converted(array);
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
                    throw py::value_error("triangles row " +
                                          std::to_string(row) +
                                          " has the negative vertex index " +
                                          std::to_string(value));
                }
            }
            if (static_cast<std::uint64_t>(value) >= nb_vertices)
            {
                throw py::value_error("triangles row " + std::to_string(row) +
                                      " names vertex " + std::to_string(value) +
                                      ", but there are only " +
                                      std::to_string(nb_vertices) + " points");
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

/// A new surface from an (n, D) array of coordinates and an (m, 3) array
/// of vertex indices, with its adjacencies computed. Every argument is
/// checked before anything is built.
template <index_t D>
std::unique_ptr<nodara::TriangulatedSurface<D>> surface_from_arrays(
    const py::object& points_object, const py::object& triangles_object)
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
    const py::array_t<double, py::array::c_style | py::array::forcecast>
        converted_points(points_array);
    const auto coordinates = converted_points.template unchecked<2>();
    const auto nb_vertices = static_cast<index_t>(coordinates.shape(0));
    for (py::ssize_t row = 0; row < coordinates.shape(0); ++row)
    {
        for (py::ssize_t column = 0; column < static_cast<py::ssize_t>(D);
             ++column)
        {
            if (!std::isfinite(coordinates(row, column)))
            {
                throw py::value_error("points row " + std::to_string(row) +
                                      " has a coordinate that is not finite");
            }
        }
    }
    const auto triangles =
        triangles_array.dtype().kind() == 'u'
            ? checked_triangles<std::uint64_t>(triangles_array, nb_vertices)
            : checked_triangles<std::int64_t>(triangles_array, nb_vertices);

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

template <index_t D>
py::object polygon_adjacent(const nodara::TriangulatedSurface<D>& s,
                            std::int64_t polygon, std::int64_t edge)
{
    if (polygon < 0 || polygon >= s.nb_polygons())
    {
        throw py::index_error("polygon " + std::to_string(polygon) +
                              " is out of range: the surface has " +
                              std::to_string(s.nb_polygons()) + " polygons");
    }
    if (edge < 0 || edge > 2)
    {
        throw py::index_error("edge " + std::to_string(edge) +
                              " is out of range: edges are 0, 1 and 2");
    }
    const auto adjacent =
        s.polygon_adjacent({static_cast<index_t>(polygon),
                            static_cast<nodara::local_index_t>(edge)});
    if (!adjacent)
    {
        return py::none();
    }
    return py::int_(*adjacent);
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
        "then.";
    const std::string points_doc =
        "A copy of the vertex coordinates as an (n, " + dimension +
        ") float64 array; row v is vertex v.";

    py::class_<Surface>(m, name, doc)
        .def(py::init<>(), "An empty surface.")
        .def_static("from_arrays", &surface_from_arrays<D>, py::arg("points"),
                    py::arg("triangles"), from_arrays_doc.c_str())
        .def("nb_vertices", &Surface::nb_vertices, "The number of vertices.")
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
            "__repr__",
            [name](const Surface& s)
            {
                std::ostringstream text;
                text << "<" << name << " with " << s.nb_vertices()
                     << " vertices and " << s.nb_polygons() << " triangles>";
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
