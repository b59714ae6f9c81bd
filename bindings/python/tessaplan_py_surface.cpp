// Python module exposing the surface functions of Tessaplan_surface. The
// surface and name classes come from velmora_py_mesh, found through
// pybind11's shared registry, and are taken out of their Python objects as
// velmora_py_types.h says; the arguments go to the library unchanged and its
// exceptions reach Python through pybind11's default translation.

#include <pybind11/pybind11.h>

#include <tessaplan/piece_packing.h>
#include <tessaplan/surface.h>

#include "velmora_py_types.h"

namespace py = pybind11;

PYBIND11_MODULE(tessaplan_py_surface, m)
{
    m.doc() = "Tessaplan Python binding for surface";
    m.def("convert_surface3d_into_2d", &nodara::convert_surface3d_into_2d);
    m.def("compute_LSCM_parameterization",
          &nodara::compute_LSCM_parameterization);
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
}
