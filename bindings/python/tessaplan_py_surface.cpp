// Python module exposing the surface functions of Tessaplan_surface. The
// surface and name classes come from velmora_py_mesh, found through
// pybind11's shared registry, and are taken out of their Python objects as
// velmora_py_types.h says; the arguments go to the library unchanged and its
// exceptions reach Python through pybind11's default translation. Maps given
// or returned as arrays are (n, 2) float64 numpy arrays, row v the image of
// vertex v.

#include <string>
#include <vector>

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <tessaplan/conversion.h>
#include <tessaplan/lscm.h>
#include <tessaplan/piece_packing.h>

#include "error_translation.h"
#include "gil.h"
#include "velmora_py_types.h"

namespace py = pybind11;

namespace
{
    using MapArray = py::array_t<double, py::array::c_style>;

    MapArray to_array(const std::vector<nodara::Point<2>>& map)
    {
        MapArray array({static_cast<py::ssize_t>(map.size()),
                        static_cast<py::ssize_t>(2)});
        auto rows = array.mutable_unchecked<2>();
        for (std::size_t v = 0; v < map.size(); ++v)
        {
            const auto row = static_cast<py::ssize_t>(v);
            rows(row, 0) = map[v][0];
            rows(row, 1) = map[v][1];
        }
        return array;
    }

    /// `uv` as points. Throws ValueError when it is not of shape (n, 2).
    std::vector<nodara::Point<2>> to_points(const MapArray& uv)
    {
        if (uv.ndim() != 2 || uv.shape(1) != 2)
        {
            throw py::value_error("uv must have shape (n, 2), got " +
                                  std::string(py::str(uv.attr("shape"))));
        }
        const auto rows = uv.unchecked<2>();
        std::vector<nodara::Point<2>> points;
        points.reserve(static_cast<std::size_t>(rows.shape(0)));
        for (py::ssize_t row = 0; row < rows.shape(0); ++row)
        {
            points.push_back(nodara::Point<2>{{rows(row, 0), rows(row, 1)}});
        }
        return points;
    }
}  // namespace

PYBIND11_MODULE(tessaplan_py_surface, m)
{
    m.doc() = "Tessaplan Python binding for surface";
    m.attr("__version__") = TESSAPLAN_VERSION;
    tessaplan_python::register_errors(m);
    m.def("convert_surface3d_into_2d",
          static_cast<std::unique_ptr<nodara::TriangulatedSurface<2>> (*)(
              const nodara::TriangulatedSurface<3>&, absl::string_view)>(
              &nodara::convert_surface3d_into_2d));
    m.def("compute_LSCM_parameterization",
          &nodara::compute_LSCM_parameterization,
          py::call_guard<py::gil_scoped_release>());
    m.def(
        "compute_LSCM_map",
        [](const nodara::TriangulatedSurface<3>& surface)
        {
            return to_array(tessaplan_python::without_gil(
                [&] { return nodara::compute_LSCM_map(surface); }));
        },
        py::arg("surface"),
        "The least squares conformal map of `surface` as an (n, 2) float64 "
        "array, row v the image of vertex v; the surface is left as it was. "
        "Raises RuntimeError with the library's message when the "
        "computation fails.");
    m.def("pack_parameterization_pieces", &nodara::pack_parameterization_pieces,
          py::arg("surface"), py::arg("attribute_name"),
          "Lays the pieces of the map held by the Point<2> vertex attribute "
          "`attribute_name` of `surface` out side by side, their bounding "
          "boxes apart, each moved rigidly (possibly by a quarter turn) at "
          "the map's scale; pieces sharing a vertex move together, a vertex "
          "no triangle uses goes to (0, 0), the layout's lower corner. "
          "Stores the packed map in the attribute and returns the fill: the "
          "boxes' share of the smallest square at (0, 0) that holds them. "
          "Raises RuntimeError with the library's message when the attribute "
          "is missing or of another kind.");
    m.def(
        "pack_pieces",
        [](const nodara::TriangulatedSurface<3>& surface, const MapArray& uv)
        {
            const auto points = to_points(uv);
            const auto packing = tessaplan_python::without_gil(
                [&] { return nodara::pack_pieces(surface, points); });
            return py::make_tuple(to_array(packing.uv), packing.fill);
        },
        py::arg("surface"), py::arg("uv"),
        "Lays the pieces of the map `uv` (an (n, 2) array, row v the image "
        "of vertex v) out side by side as pack_parameterization_pieces "
        "does; returns (packed, fill) with the packed map as a new (n, 2) "
        "float64 array. Raises ValueError for another shape and "
        "RuntimeError with the library's message for too few rows or a "
        "coordinate that is not finite.");
}
