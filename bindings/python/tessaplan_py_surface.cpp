// Python module exposing the two functions of Tessaplan_surface. The
// surface and name classes come from velmora_py_mesh, found through
// pybind11's shared registry, and are taken out of their Python objects as
// velmora_py_types.h says; the arguments go to the library unchanged and its
// exceptions reach Python through pybind11's default translation.

#include <pybind11/pybind11.h>

#include <tessaplan/surface.h>

#include "velmora_py_types.h"

PYBIND11_MODULE(tessaplan_py_surface, m)
{
    m.doc() = "Tessaplan Python binding for surface";
    m.def("convert_surface3d_into_2d", &nodara::convert_surface3d_into_2d);
    m.def("compute_LSCM_parameterization",
          &nodara::compute_LSCM_parameterization);
}
