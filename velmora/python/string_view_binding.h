#pragma once

#include <pybind11/pybind11.h>

namespace velmora_python
{
    /// Binds absl::string_view as the Python class StringView, which owns a
    /// copy of its characters, compares equal to a str of the same text and
    /// is made implicitly from a str.
    void bind_string_view(pybind11::module_& m);
}  // namespace velmora_python
