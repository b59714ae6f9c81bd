"""The Python package as pip installs it (pyproject.toml, setup.py), offline.

pip builds the extension modules with CMake and installs them, the shared
libraries they load, the tessaplan package and its type information into a
folder of their own; a fresh /usr/bin/python3, with nothing but that folder
on its path and no LD_LIBRARY_PATH, imports the package from there and
flattens a surface. The same install into a virtual environment (with the
system's site packages, for numpy) is type-checked with mypy and removed
again with pip.

The first build is a full one and takes minutes. The build folder is
TESSAPLAN_PACKAGE_BUILD_DIR when set (ctest keeps it between runs, so later
runs only rebuild what changed), a temporary folder otherwise. Set
TESSAPLAN_SKIP_PACKAGE_TEST=1 to skip these tests; they are skipped when
pip is not installed for /usr/bin/python3.
"""

import json
import os
import re
import shutil
import subprocess
import textwrap
from pathlib import Path

import numpy as np
import pytest

SOURCE = Path(__file__).resolve().parents[2]

# The package targets the system interpreter.
PYTHON = "/usr/bin/python3"

MODULES = ("velmora_py_mesh", "tessaplan_py_surface",
           "tessaplan_py_distortion", "tessaplan_py_atlas")

# The project's shared libraries the modules load, by SONAME stem.
LIBRARIES = ("libTessaplan_surface", "libVelmora_mesh", "libVelmora_geometry",
             "libVelmora_basic")

# A whole build and install; the timeout only stops a hung one.
BUILD_TIMEOUT = 3000


def _has_pip():
    """Whether /usr/bin/python3 has pip (Debian's python3-pip)."""
    try:
        return subprocess.run([PYTHON, "-m", "pip", "--version"],
                              capture_output=True, check=False,
                              timeout=120).returncode == 0
    except (OSError, subprocess.TimeoutExpired):
        return False


pytestmark = [
    pytest.mark.skipif(os.environ.get("TESSAPLAN_SKIP_PACKAGE_TEST") == "1",
                       reason="TESSAPLAN_SKIP_PACKAGE_TEST=1"),
    pytest.mark.skipif(not _has_pip(),
                       reason="pip is not installed for /usr/bin/python3 "
                              "(Debian's python3-pip)"),
]


def clean_environment(**extra):
    """This process's environment without what would put the build tree's
    modules or libraries, or the sanitizer runtime, within reach of a child
    process, plus `extra`."""
    environment = {
        name: value for name, value in os.environ.items()
        if name not in ("PYTHONPATH", "PYTHONHOME", "LD_LIBRARY_PATH",
                        "LD_PRELOAD", "ASAN_OPTIONS", "UBSAN_OPTIONS")
        and not name.startswith("PIP_")}
    environment.update(PYTHONNOUSERSITE="1", PYTHONDONTWRITEBYTECODE="1",
                       PIP_DISABLE_PIP_VERSION_CHECK="1", PIP_NO_INPUT="1")
    environment.update(extra)
    return environment


def run(command, **kwargs):
    """Run `command`, failing the test with its output when it fails."""
    result = subprocess.run(command, capture_output=True, text=True,
                            check=False, **kwargs)
    assert result.returncode == 0, (
        "%s exited with %d\n%s\n%s" % (" ".join(map(str, command)),
                                       result.returncode, result.stdout,
                                       result.stderr))
    return result


def project_version():
    """The version in the top CMakeLists.txt's project() call."""
    text = (SOURCE / "CMakeLists.txt").read_text(encoding="utf-8")
    return re.search(r"^project\(\s*Tessaplan\s+VERSION\s+([0-9.]+)", text,
                     re.MULTILINE).group(1)


@pytest.fixture(scope="module")
def build_environment(tmp_path_factory):
    """The environment of the pip runs, with the build folder set."""
    folder = os.environ.get("TESSAPLAN_PACKAGE_BUILD_DIR")
    if not folder:
        folder = str(tmp_path_factory.mktemp("package_build"))
    return clean_environment(TESSAPLAN_PACKAGE_BUILD_DIR=folder)


@pytest.fixture(scope="module")
def target(tmp_path_factory, build_environment):
    """A folder that pip installed the package into, offline."""
    folder = tmp_path_factory.mktemp("target")
    run([PYTHON, "-m", "pip", "install", "--no-build-isolation",
         "--no-index", "--target", str(folder), str(SOURCE)],
        env=build_environment, cwd=str(folder), timeout=BUILD_TIMEOUT)
    return folder


# Imports everything from the installed folder and flattens a planar grid,
# tilted in 3D, whose conformal map is a similarity of it.
FLATTEN = textwrap.dedent("""
    import importlib.metadata
    import json
    import numpy as np
    import tessaplan
    import velmora_py_mesh, tessaplan_py_surface, tessaplan_py_distortion
    import tessaplan_py_atlas

    u, v = np.meshgrid(np.linspace(0.0, 1.0, 4), np.linspace(0.0, 2.0, 5))
    u, v = u.ravel(), v.ravel()
    points = np.stack([u, 0.6 * v, 0.8 * v], axis=1)
    ids = np.arange(20).reshape(5, 4)
    a, b = ids[:-1, :-1].ravel(), ids[:-1, 1:].ravel()
    c, d = ids[1:, 1:].ravel(), ids[1:, :-1].ravel()
    triangles = np.concatenate([np.stack([a, b, c], axis=1),
                                np.stack([a, c, d], axis=1)])
    uv = tessaplan.flatten(points, triangles)
    print(json.dumps({
        "files": {module.__name__: module.__file__ for module in (
            tessaplan, velmora_py_mesh, tessaplan_py_surface,
            tessaplan_py_distortion, tessaplan_py_atlas)},
        "version": tessaplan.__version__,
        "distribution_version": importlib.metadata.version("tessaplan"),
        "points": points.tolist(),
        "uv": uv.tolist(),
        "dtype": str(uv.dtype),
    }))
""")


def check_flattening(output, folder):
    """Check what FLATTEN printed, run with `folder` on the path."""
    report = json.loads(output)
    for name, path in report["files"].items():
        assert Path(path).resolve().is_relative_to(folder.resolve()), (
            name, path)
    assert report["version"] == project_version()
    assert report["distribution_version"] == project_version()
    assert report["dtype"] == "float64"
    points = np.array(report["points"])
    uv = np.array(report["uv"])
    assert uv.shape == (20, 2)
    # A similarity scales every distance alike.
    distances_3d = np.linalg.norm(points[:, None] - points[None], axis=-1)
    distances_2d = np.linalg.norm(uv[:, None] - uv[None], axis=-1)
    off_diagonal = ~np.eye(20, dtype=bool)
    ratios = distances_2d[off_diagonal] / distances_3d[off_diagonal]
    assert np.ptp(ratios) < 1e-9 * ratios.mean(), ratios


def test_installed_package_flattens_from_its_folder_alone(target, tmp_path):
    result = run([PYTHON, "-s", "-c", FLATTEN], cwd=str(tmp_path),
                 env=clean_environment(PYTHONPATH=str(target)), timeout=300)
    check_flattening(result.stdout, target)


def test_installed_files(target):
    assert (target / "tessaplan" / "__init__.py").is_file()
    assert (target / "tessaplan" / "py.typed").is_file()
    for module in MODULES:
        assert len(list(target.glob(module + ".*.so"))) == 1, module
        assert (target / (module + "-stubs") / "__init__.pyi").is_file()
    libraries = sorted(p.name for p in (target / "tessaplan.libs").iterdir())
    assert libraries == sorted(name + ".so.0" for name in LIBRARIES)
    # A wheel holds no links: every file is a copy.
    assert not [p for p in target.rglob("*") if p.is_symlink()]


def dynamic_section(path):
    """The RUNPATH/RPATH entries and the NEEDED libraries of an ELF file,
    as readelf shows them."""
    text = run(["readelf", "-d", str(path)]).stdout
    run_paths = re.findall(r"\((?:RUNPATH|RPATH)\).*?\[(.*)\]", text)
    needed = re.findall(r"\(NEEDED\).*?\[(.*)\]", text)
    return [entry for value in run_paths for entry in value.split(":")], \
        needed


@pytest.mark.skipif(shutil.which("readelf") is None,
                    reason="readelf (binutils) is not installed")
def test_run_paths_stay_inside_the_install(target):
    # An empty entry would make the loader search the current folder, and
    # an absolute one would reach into the build tree.
    libraries = target / "tessaplan.libs"
    for module in MODULES:
        (path,) = target.glob(module + ".*.so")
        run_paths, needed = dynamic_section(path)
        assert run_paths == ["$ORIGIN/tessaplan.libs"], (path, run_paths)
        ours = [name for name in needed if name.startswith(LIBRARIES)]
        assert ours and all((libraries / name).is_file() for name in ours)
    for path in libraries.iterdir():
        run_paths, needed = dynamic_section(path)
        ours = [name for name in needed if name.startswith(LIBRARIES)]
        assert run_paths in ([], ["$ORIGIN"]), (path, run_paths)
        if ours:
            assert run_paths == ["$ORIGIN"], path
            assert all((libraries / name).is_file() for name in ours)


def _has_mypy():
    """Whether /usr/bin/python3 has mypy (Debian's python3-mypy)."""
    return subprocess.run([PYTHON, "-c", "import mypy.api"],
                          capture_output=True, check=False).returncode == 0


# Code of a user of the package: correct, and each mistake on a line of
# its own that mypy must report.
USER_CODE = textwrap.dedent("""
    import numpy as np
    from numpy.typing import NDArray
    import tessaplan
    import velmora_py_mesh
    import tessaplan_py_surface

    points = [[0.0, 0.0, 0.0], [1.0, 0.0, 0.0], [1.0, 1.0, 0.0]]
    uv: NDArray[np.float64] = tessaplan.flatten(points, [[0, 1, 2]])
    report: tessaplan.FlattenResult = tessaplan.flatten_with_report(
        points, [[0, 1, 2]], pack=True, on_fold="raise")
    fill: float = report.pack_fill
    measures: tessaplan.Distortions = tessaplan.measure_distortion(
        points, [[0, 1, 2]], uv)
    p95: float = measures["summary"]["conformal"]["p95"]
    charts: NDArray[np.uint32] = tessaplan.atlas(points, [[0, 1, 2]]).chart
    valid: bool = tessaplan.check_atlas(
        points, [[0, 1, 2]], np.zeros((1, 3, 2)))["valid"]
    surface = velmora_py_mesh.TriangulatedSurface3D.from_arrays(
        points, [[0, 1, 2]])
    count: int = surface.nb_vertices()
    version: str = tessaplan_py_surface.__version__

    tessaplan.flatten(points, [[0, 1, 2]], on_fold="explode")  # mistake
    name: str = tessaplan.atlas(points, [[0, 1, 2]]).efficiency  # mistake
    tessaplan.measure_distortion(points, [[0, 1, 2]])["conformal_p95"]  # mistake
    text: str = surface.nb_polygons()  # mistake
""")


def test_virtual_environment_install_is_typed_and_removable(
        tmp_path, build_environment):
    environment = tmp_path / "venv"
    created = subprocess.run(
        [PYTHON, "-m", "venv", "--system-site-packages", str(environment)],
        capture_output=True, text=True, check=False, cwd=str(tmp_path),
        env=clean_environment())
    if created.returncode != 0 and "ensurepip" in created.stdout + \
            created.stderr:
        pytest.skip("venv has no pip (Debian's python3-venv)")
    assert created.returncode == 0, created.stdout + created.stderr
    python = environment / "bin" / "python"
    run([str(python), "-m", "pip", "install", "--no-build-isolation",
         "--no-index", str(SOURCE)],
        env=build_environment, cwd=str(tmp_path), timeout=BUILD_TIMEOUT)
    site = Path(run([str(python), "-c",
                     "import sysconfig; print(sysconfig.get_path('platlib'))"]
                    ).stdout.strip())

    result = run([str(python), "-c", FLATTEN], cwd=str(tmp_path),
                 env=clean_environment())
    check_flattening(result.stdout, site)

    if _has_mypy():
        # Through py.typed and the <module>-stubs packages in the
        # environment's site-packages, not through the source tree.
        (tmp_path / "user.py").write_text(USER_CODE, encoding="utf-8")
        checked = subprocess.run(
            [PYTHON, "-m", "mypy", "--strict", "--no-incremental",
             "--cache-dir", str(tmp_path / "mypy_cache"),
             "--python-executable", str(python), "user.py"],
            capture_output=True, text=True, check=False, cwd=str(tmp_path),
            env=clean_environment())
        lines = USER_CODE.splitlines()
        mistakes = {number for number, line in enumerate(lines, start=1)
                    if line.endswith("# mistake")}
        reported = {int(line.split(":")[1])
                    for line in checked.stdout.splitlines()
                    if line.startswith("user.py:") and ": error:" in line}
        assert reported == mistakes, checked.stdout + checked.stderr

    # pip's record covers everything the install put there.
    run([str(python), "-m", "pip", "uninstall", "--yes", "tessaplan"],
        env=clean_environment(), cwd=str(tmp_path))
    left = sorted(p.name for p in site.iterdir()
                  if p.name.startswith(("tessaplan", "velmora")))
    assert left == []
