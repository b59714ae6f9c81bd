// Loads tessaplan_py_surface into an embedded interpreter that reports a
// version text of the test's choice, through its own Py_GetVersion, which
// takes precedence over the interpreter library's for the loaded modules.
// The module must refuse every version whose major.minor differs from that
// of the headers it was built with.

#include <string>

#include <Python.h>
#include <gtest/gtest.h>

namespace
{
std::string reported_version = PY_VERSION;

const std::string compiled_version =
    std::to_string(PY_MAJOR_VERSION) + "." + std::to_string(PY_MINOR_VERSION);

std::string mismatch_message(const std::string& version)
{
    return "Python version mismatch: module was compiled for Python " +
           compiled_version +
           ", but the interpreter version is incompatible: " + version + ".";
}

/// Imports the module while `version` is reported. Returns "" on
/// success, otherwise the exception's type name, ": " and its message.
std::string import_reporting(const std::string& version)
{
    reported_version = version;
    PyObject* module = PyImport_ImportModule("tessaplan_py_surface");
    reported_version = PY_VERSION;
    if (module != nullptr)
    {
        Py_DECREF(module);
        return "";
    }
    PyObject* type = nullptr;
    PyObject* value = nullptr;
    PyObject* traceback = nullptr;
    PyErr_Fetch(&type, &value, &traceback);
    PyErr_NormalizeException(&type, &value, &traceback);
    std::string text = reinterpret_cast<PyTypeObject*>(type)->tp_name;
    PyObject* message = PyObject_Str(value);
    text += std::string(": ") + PyUnicode_AsUTF8(message);
    Py_XDECREF(message);
    Py_XDECREF(type);
    Py_XDECREF(value);
    Py_XDECREF(traceback);
    return text;
}

class PythonVersionCheck : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        Py_InitializeEx(0);
        PyObject* path = PySys_GetObject("path");
        PyObject* directory = PyUnicode_FromString(MODULE_DIR);
        PyList_Insert(path, 0, directory);
        Py_DECREF(directory);
    }
};
}  // namespace

extern "C" const char* Py_GetVersion()
{
    return reported_version.c_str();
}

// Mismatches first: a successful import is cached for the process.
TEST_F(PythonVersionCheck, RefusesOtherVersionsThenLoads)
{
    const std::string older = std::to_string(PY_MAJOR_VERSION) + "." +
                              std::to_string(PY_MINOR_VERSION - 1) +
                              ".4 (main, Jan 1 2024)";
    EXPECT_EQ(import_reporting(older),
              "ImportError: " + mismatch_message(older));

    // Same leading characters, but the minor version goes on.
    const std::string longer = compiled_version + "0.1";
    EXPECT_EQ(import_reporting(longer),
              "ImportError: " + mismatch_message(longer));

    const std::string shorter = std::to_string(PY_MAJOR_VERSION) + ".";
    EXPECT_EQ(import_reporting(shorter),
              "ImportError: " + mismatch_message(shorter));

    EXPECT_EQ(import_reporting(compiled_version + ".99 (custom build)"), "");
    EXPECT_NE(PyImport_AddModule("tessaplan_py_surface"), nullptr);
}
