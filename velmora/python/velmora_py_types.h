#pragma once

// How pybind11 takes the mesh-core classes out of Python objects. Every
// extension module that binds functions taking these classes includes this
// header before it binds anything, so that all of them refuse the same
// objects.

#include <string>
#include <utility>

#include <absl/strings/string_view.h>
#include <pybind11/pybind11.h>

#include <velmora/mesh/triangulated_surface.h>

namespace velmora_py
{
    /// pybind11's conversion of a registered class, refusing two objects it
    /// would hand over as they are: None where a pointer is taken (a null
    /// `self` otherwise), and an instance whose class's __new__ ran without
    /// its __init__, which holds no constructed C++ object. The first fails
    /// the argument match, hence a TypeError naming the function; the second
    /// throws TypeError "<module>.<Class> object is not initialised ...".
    template <typename T>
    class ConstructedCaster : public pybind11::detail::type_caster_base<T>
    {
    public:
        bool load(pybind11::handle source, bool convert)
        {
            if (source.is_none())
            {
                return false;
            }
            return this->template load_impl<ConstructedCaster<T>>(source,
                                                                  convert);
        }

        /// Called by load_impl with the instance found in the object.
        void load_value(pybind11::detail::value_and_holder&& instance)
        {
            if (!instance.holder_constructed())
            {
                throw pybind11::type_error(
                    std::string(
                        Py_TYPE(reinterpret_cast<PyObject*>(instance.inst))
                            ->tp_name) +
                    " object is not initialised (its __init__ was never "
                    "called); create it by calling the class or one of its "
                    "factory methods");
            }
            pybind11::detail::type_caster_base<T>::load_value(
                std::move(instance));
        }
    };
}  // namespace velmora_py

namespace pybind11
{
    namespace detail
    {
        template <>
        class type_caster<nodara::TriangulatedSurface<3>>
            : public velmora_py::ConstructedCaster<
                  nodara::TriangulatedSurface<3>>
        {
        };

        template <>
        class type_caster<nodara::TriangulatedSurface<2>>
            : public velmora_py::ConstructedCaster<
                  nodara::TriangulatedSurface<2>>
        {
        };

        template <>
        class type_caster<absl::string_view>
            : public velmora_py::ConstructedCaster<absl::string_view>
        {
        };
    }  // namespace detail
}  // namespace pybind11
