#include "string_view_binding.h"

#include <memory>
#include <string>
#include <type_traits>
#include <utility>

#include <absl/strings/string_view.h>

// The StringView caster that refuses objects whose __init__ never ran: every
// file of the module that binds the type must see it.
#include "velmora_py_types.h"

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
                text_ =
                    std::make_unique<std::string>(view_->data(), view_->size());
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

namespace velmora_python
{
    namespace py = pybind11;

    namespace
    {
        using StringViewHolder = OwningViewHolder<absl::string_view>;

        py::str to_str(absl::string_view view)
        {
            return py::str(view.data(), view.size());
        }

        /// Equality with another StringView or a str; NotImplemented otherwise,
        /// so that Python tries the other operand.
        py::object string_view_equals(absl::string_view self,
                                      const py::object& other)
        {
            if (py::isinstance<absl::string_view>(other))
            {
                return py::bool_(self ==
                                 other.cast<const absl::string_view&>());
            }
            if (py::isinstance<py::str>(other))
            {
                Py_ssize_t size = 0;
                const char* data = PyUnicode_AsUTF8AndSize(other.ptr(), &size);
                if (data == nullptr)
                {
                    // A str with lone surrogates has no UTF-8 form, so it
                    // cannot equal any text a StringView holds.
                    PyErr_Clear();
                    return py::bool_(false);
                }
                return py::bool_(
                    self ==
                    absl::string_view(data, static_cast<std::size_t>(size)));
            }
            return py::reinterpret_borrow<py::object>(Py_NotImplemented);
        }
    }  // namespace

    void bind_string_view(py::module_& m)
    {
        py::class_<absl::string_view, StringViewHolder>(
            m, "StringView",
            "A name passed to the mesh libraries (absl::string_view). Every "
            "StringView owns a copy of its text, so it stays valid after the "
            "str it was made from is gone. A str is accepted wherever a "
            "StringView is expected.")
            .def(py::init(
                     [](const py::str& text)
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
}  // namespace velmora_python
