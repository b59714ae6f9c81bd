#pragma once

#include <pybind11/pybind11.h>

namespace tessaplan_python
{
    /// Creates the exception classes of the Python modules in `module` and
    /// translates the library's exceptions into them, for every module
    /// (pybind11's translators are shared):
    /// - TessaplanError (a RuntimeError): any failure of the library, in
    ///   particular of the computation (ComputationException);
    /// - InvalidInputError (a TessaplanError and a ValueError): bad
    ///   arguments, options or surfaces (InvalidInputException);
    /// - FlatteningError (an InvalidInputError): a piece that cannot be
    ///   flattened (PieceFlatteningError), with a pointer to
    ///   tessaplan.atlas when the piece is closed.
    void register_errors(pybind11::module_& module);
}  // namespace tessaplan_python
