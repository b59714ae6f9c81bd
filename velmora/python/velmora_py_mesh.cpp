// Python classes of the mesh-core layer: the triangulated surfaces in 3D and
// 2D, with numpy arrays in and out, and the name type absl::string_view.
// Other extension modules built with the same pybind11 find these classes in
// pybind11's shared registry, so they take and return the same objects.

#include <pybind11/pybind11.h>

#include "string_view_binding.h"
#include "surface_binding.h"

PYBIND11_MODULE(velmora_py_mesh, m)
{
    m.doc() =
        "Triangulated surfaces of the Velmora mesh-core library, with numpy "
        "arrays in and out, and the StringView name type.";
    velmora_python::bind_string_view(m);
    velmora_python::bind_surface<3>(
        m, "TriangulatedSurface3D",
        "A triangulated surface in 3D (TriangulatedSurface<3>).");
    velmora_python::bind_surface<2>(m, "TriangulatedSurface2D",
                                    "A triangulated surface in the plane "
                                    "(TriangulatedSurface<2>).");
}
