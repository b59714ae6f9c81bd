#include "error_translation.h"

#include <string>

#include <tessaplan/surface_flattening.h>
#include <velmora/basic/velmora_exception.h>

namespace py = pybind11;

namespace tessaplan_python
{
    namespace
    {
        // Borrowed from the module, which keeps them for the interpreter's
        // life.
        PyObject* tessaplan_error = nullptr;
        PyObject* invalid_input_error = nullptr;
        PyObject* flattening_error = nullptr;

        PyObject* new_class(py::module_& module, const char* name,
                            PyObject* bases, const char* doc)
        {
            const auto qualified =
                module.attr("__name__").cast<std::string>() + "." + name;
            PyObject* type = PyErr_NewExceptionWithDoc(qualified.c_str(), doc,
                                                       bases, nullptr);
            if (type == nullptr)
            {
                throw py::error_already_set();
            }
            module.add_object(name, py::reinterpret_steal<py::object>(type));
            return type;
        }

        void translate(std::exception_ptr thrown)
        {
            try
            {
                if (thrown)
                {
                    std::rethrow_exception(thrown);
                }
            }
            catch (const nodara::PieceFlatteningError& error)
            {
                const std::string hint =
                    error.closed() ? "; tessaplan.atlas cuts it into charts"
                                   : "";
                PyErr_SetString(flattening_error,
                                (error.what() + hint).c_str());
            }
            catch (const nodara::InvalidInputException& error)
            {
                PyErr_SetString(invalid_input_error, error.what());
            }
            catch (const nodara::VelmoraException& error)
            {
                PyErr_SetString(tessaplan_error, error.what());
            }
        }
    }  // namespace

    void register_errors(py::module_& module)
    {
        tessaplan_error = new_class(
            module, "TessaplanError", PyExc_RuntimeError,
            "A failure of the library, in particular of its computation.");
        const py::tuple input_bases = py::make_tuple(
            py::handle(tessaplan_error), py::handle(PyExc_ValueError));
        invalid_input_error =
            new_class(module, "InvalidInputError", input_bases.ptr(),
                      "Bad input: an argument, an option or a surface that the "
                      "operation cannot handle as given.");
        flattening_error = new_class(
            module, "FlatteningError", invalid_input_error,
            "A piece of the surface cannot be flattened: it collapsed (as a "
            "closed piece does) or its solve failed. The message names the "
            "piece, one of its triangles and the likely cause.");
        py::register_exception_translator(&translate);
    }
}  // namespace tessaplan_python
