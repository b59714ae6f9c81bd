#pragma once

#include <pybind11/pybind11.h>

#include <velmora/basic/types.h>

namespace velmora_python
{
    /// Binds TriangulatedSurface<D> as the Python class `name`: made empty or
    /// from numpy arrays, read as arrays, copied, and edited in place.
    template <nodara::index_t D>
    void bind_surface(pybind11::module_& m, const char* name, const char* doc);
}  // namespace velmora_python
