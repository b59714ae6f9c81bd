"""Build of the Python package: pyproject.toml holds its metadata, this file
its version and the build of its extension modules by the project's CMake
build.

The modules (velmora_py_mesh, tessaplan_py_surface, tessaplan_py_distortion,
tessaplan_py_atlas) are installed at the top level, where the package
imports them, with their stubs (python/<module>.pyi) as the stub-only
packages ``<module>-stubs``, and the shared libraries they need in
``tessaplan.libs/`` beside them; the modules find those through their run
path (``$ORIGIN/tessaplan.libs``) and the libraries each other through
theirs (``$ORIGIN``), so no LD_LIBRARY_PATH is needed.

Environment:
    TESSAPLAN_PACKAGE_BUILD_DIR: where setuptools and CMake build (default
        ``build/python-package`` in the source tree); kept between builds,
        so a second build only rebuilds what changed.
    CMAKE_BUILD_PARALLEL_LEVEL: the jobs of the CMake build (default: one
        per core).
"""

import os
import re
import shutil
import subprocess
import sys
import sysconfig

from setuptools import Extension, setup
from setuptools.command.build import build
from setuptools.command.build_ext import build_ext

ROOT = os.path.dirname(os.path.abspath(__file__))

#: The CMake targets of the extension modules, named as they are imported.
MODULES = ("velmora_py_mesh", "tessaplan_py_surface",
           "tessaplan_py_distortion", "tessaplan_py_atlas")

#: The folder, beside the modules, of the shared libraries they load.
LIBRARY_DIR = "tessaplan.libs"

#: CMake options of the package build: the modules and what they link,
#: without tests, benchmarks, fuzzers or sanitizers.
CMAKE_OPTIONS = (
    "-DCMAKE_BUILD_TYPE=Release",
    "-DBUILD_TESTING=OFF",
    "-DTESSAPLAN_BENCH=OFF",
    "-DTESSAPLAN_FUZZ=OFF",
    "-DTESSAPLAN_SANITIZE=OFF",
    "-DTESSAPLAN_PYTHON=ON",
    # The build tree's run paths, relative to each binary, are the ones the
    # package keeps: every shared library lands in python/tessaplan.libs of
    # the build folder, next to the modules in python/.
    "-DCMAKE_BUILD_RPATH_USE_ORIGIN=ON",
    "-DCMAKE_SKIP_BUILD_RPATH=OFF",
    # Otherwise CMake pads those run paths with empty entries (room for its
    # install step to rewrite them), and the loader reads an empty entry as
    # the current folder. Makefiles support this; Ninja does not.
    "-DCMAKE_NO_BUILTIN_CHRPATH=ON",
    "-G", "Unix Makefiles",
)


def project_version():
    """The version in the top CMakeLists.txt's project() call, which the
    modules report as ``__version__``."""
    with open(os.path.join(ROOT, "CMakeLists.txt"), encoding="utf-8") as f:
        match = re.search(r"^project\(\s*Tessaplan\s+VERSION\s+([0-9.]+)",
                          f.read(), re.MULTILINE)
    if match is None:
        raise RuntimeError("no project(Tessaplan VERSION ...) in "
                           "CMakeLists.txt")
    return match.group(1)


def build_base():
    """The folder of the setuptools build and of the CMake build in it."""
    folder = os.environ.get("TESSAPLAN_PACKAGE_BUILD_DIR")
    if not folder:
        folder = os.path.join(ROOT, "build", "python-package")
    return os.path.abspath(folder)


def runtime_library_names(folder):
    """The names under which the modules load the shared libraries in
    `folder`: for each library, its SONAME link (libX.so.N, from the
    target's SOVERSION) or, without one, the unversioned file."""
    names = {}
    for name in sorted(os.listdir(folder)):
        match = re.fullmatch(r"(lib.+)\.so(?:\.(\d+))?", name)
        if match and (match.group(2) or match.group(1) not in names):
            names[match.group(1)] = name
    return sorted(names.values())


class CleanBuild(build):
    """The build command, starting from an empty output folder: the folder
    is kept between builds (for CMake's sake), and a file that an earlier
    build put there must not reach the wheel."""

    def run(self):
        for folder in {self.build_lib, self.build_platlib,
                       self.build_purelib}:
            if folder and os.path.isdir(folder):
                shutil.rmtree(folder)
        super().run()


class CMakeBuild(build_ext):
    """Builds the extension modules with CMake and copies them, their
    stubs and the shared libraries they need into the build."""

    def build_extensions(self):
        cmake_dir = os.path.join(os.path.abspath(self.build_temp), "cmake")
        module_dir = os.path.join(cmake_dir, "python")
        library_dir = os.path.join(module_dir, LIBRARY_DIR)
        self._configure(cmake_dir, library_dir)
        jobs = (self.parallel or os.environ.get("CMAKE_BUILD_PARALLEL_LEVEL")
                or os.cpu_count() or 1)
        self._run(["cmake", "--build", cmake_dir, "--parallel", str(jobs),
                   "--target", *[ext.name for ext in self.extensions]])

        suffix = sysconfig.get_config_var("EXT_SUFFIX")
        output_dir = None
        for ext in self.extensions:
            built = os.path.join(module_dir, ext.name + suffix)
            if not os.path.isfile(built):
                raise RuntimeError("CMake built no %s" % built)
            target = self.get_ext_fullpath(ext.name)
            output_dir = os.path.dirname(target)
            os.makedirs(output_dir, exist_ok=True)
            self.copy_file(built, target)
            # Type checkers find the stubs of a top-level module in a
            # stub-only package, <module>-stubs (PEP 561).
            stub = os.path.join(ROOT, "python", ext.name + ".pyi")
            if os.path.isfile(stub):
                stub_dir = os.path.join(output_dir, ext.name + "-stubs")
                os.makedirs(stub_dir, exist_ok=True)
                self.copy_file(stub, os.path.join(stub_dir, "__init__.pyi"))

        # Only the names the loader asks for, as real files: a wheel holds
        # no symbolic links. Stale libraries of an earlier build go first.
        libraries = runtime_library_names(library_dir)
        if not libraries:
            raise RuntimeError("CMake built no library in %s" % library_dir)
        target_dir = os.path.join(output_dir, LIBRARY_DIR)
        if os.path.isdir(target_dir):
            shutil.rmtree(target_dir)
        os.makedirs(target_dir)
        for name in libraries:
            self.copy_file(os.path.join(library_dir, name),
                           os.path.join(target_dir, name))

    def _configure(self, cmake_dir, library_dir):
        """Configures the CMake build in `cmake_dir` for this interpreter,
        with every shared library built into `library_dir`."""
        command = ["cmake", "-S", ROOT, "-B", cmake_dir, *CMAKE_OPTIONS,
                   "-DCMAKE_LIBRARY_OUTPUT_DIRECTORY=" + library_dir,
                   "-DPYTHON_EXECUTABLE=" + sys.executable,
                   "-DPython_EXECUTABLE=" + sys.executable]
        self._run(command)

    def _run(self, command):
        """Runs `command`, showing it as setuptools shows its steps."""
        self.announce(" ".join(command), level=2)
        subprocess.run(command, check=True)


setup(
    version=project_version(),
    ext_modules=[Extension(name, sources=[]) for name in MODULES],
    cmdclass={"build": CleanBuild, "build_ext": CMakeBuild},
    # Out of the source tree's python/ folder, and out of build/'s other
    # builds.
    options={"build": {"build_base": os.path.join(build_base(), "setuptools")},
             "egg_info": {"egg_base": build_base()}},
)
