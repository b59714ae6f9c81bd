"""The type hints of the tessaplan package and the stubs of the extension
modules (python/*.pyi) against what the code returns and what the modules
define."""

import dataclasses
import os
import subprocess
import sys
import typing
from pathlib import Path

import numpy as np
import pytest

import tessaplan

SOURCE = Path(__file__).resolve().parents[2]

MODULES = ("velmora_py_mesh", "tessaplan_py_surface",
           "tessaplan_py_distortion", "tessaplan_py_atlas")


def check_value(value, hint, where="value"):
    """Assert that `value` is of the type `hint` describes: TypedDicts key
    by key, NDArray down to its dtype, lists and tuples item by item."""
    origin = typing.get_origin(hint)
    if typing.is_typeddict(hint):
        hints = typing.get_type_hints(hint)
        assert isinstance(value, dict), where
        assert set(value) == set(hints), (where, set(value) ^ set(hints))
        for key, key_hint in hints.items():
            check_value(value[key], key_hint, "%s[%r]" % (where, key))
    elif origin is np.ndarray:
        (dtype_hint,) = typing.get_args(typing.get_args(hint)[1])
        assert isinstance(value, np.ndarray), where
        assert value.dtype.type is dtype_hint, (where, value.dtype)
    elif origin is list:
        (item_hint,) = typing.get_args(hint)
        assert isinstance(value, list), where
        for i, item in enumerate(value):
            check_value(item, item_hint, "%s[%d]" % (where, i))
    elif origin is tuple:
        args = typing.get_args(hint)
        assert isinstance(value, tuple), where
        if len(args) == 2 and args[1] is Ellipsis:
            args = (args[0],) * len(value)
        assert len(value) == len(args), where
        for i, (item, item_hint) in enumerate(zip(value, args)):
            check_value(item, item_hint, "%s[%d]" % (where, i))
    elif hint is float:
        assert isinstance(value, float), (where, type(value))
    elif hint in (int, bool, str):
        assert type(value) is hint, (where, type(value))
    else:
        raise AssertionError("%s: no check for %r" % (where, hint))


def check_dataclass(value):
    """check_value for every field of the dataclass instance `value`."""
    hints = typing.get_type_hints(type(value))
    for field in dataclasses.fields(value):
        check_value(getattr(value, field.name), hints[field.name],
                    field.name)


def saddle():
    """A grid of 5 x 4 vertices on a saddle, two triangles per cell."""
    u, v = np.meshgrid(np.linspace(0.0, 1.0, 5), np.linspace(0.0, 1.0, 4))
    points = np.stack([u, v, 0.6 * u * v - 0.4 * u * u], axis=-1)
    ids = np.arange(20).reshape(4, 5)
    a, b = ids[:-1, :-1].ravel(), ids[:-1, 1:].ravel()
    c, d = ids[1:, 1:].ravel(), ids[1:, :-1].ravel()
    triangles = np.concatenate([np.stack([a, b, c], axis=1),
                                np.stack([a, c, d], axis=1)])
    return points.reshape(-1, 3), triangles


def test_measure_distortion_matches_its_typed_dict():
    points, triangles = saddle()
    check_value(tessaplan.measure_distortion(points, triangles),
                tessaplan.Distortions)


def test_flatten_with_report_matches_its_fields():
    points, triangles = saddle()
    # A copy of the first triangle gives a warning, so that the tuple of
    # texts is not empty.
    triangles = np.vstack([triangles, triangles[:1]])
    with pytest.warns(tessaplan.TessaplanWarning):
        result = tessaplan.flatten_with_report(points, triangles, pack=True)
    assert result.warnings
    check_dataclass(result)
    hints = typing.get_type_hints(tessaplan.flatten)
    check_value(tessaplan.flatten(points, triangles[:-1]), hints["return"])


def test_atlas_and_its_check_match_their_types():
    points, triangles = saddle()
    result = tessaplan.atlas(points, triangles)
    check_dataclass(result)
    # Two triangles mapped onto the same place: one overlapping pair.
    square = [[0, 0, 0], [1, 0, 0], [1, 1, 0], [0, 1, 0]]
    image = [[[0, 0], [1, 0], [1, 1]], [[0, 0.1], [1, 0.1], [1, 1.1]]]
    check = tessaplan.check_atlas(square, [[0, 1, 2], [0, 2, 3]], image)
    assert check["first_overlaps"] == [(0, 1)]
    check_value(check, tessaplan.AtlasCheck)


def test_every_public_function_is_annotated():
    for name in tessaplan.__all__:
        value = getattr(tessaplan, name)
        if callable(value) and not isinstance(value, type):
            hints = typing.get_type_hints(value)
            parameters = value.__code__.co_varnames[
                :value.__code__.co_argcount]
            assert "return" in hints, name
            assert set(parameters) <= set(hints), (name, parameters)


def _has_mypy():
    """Whether this interpreter has mypy (Debian's python3-mypy)."""
    try:
        import mypy.api  # noqa: F401
    except ImportError:
        return False
    return True


needs_mypy = pytest.mark.skipif(not _has_mypy(),
                                reason="mypy is not installed "
                                       "(Debian's python3-mypy)")


@needs_mypy
def test_package_and_stubs_pass_mypy_strict(tmp_path):
    result = subprocess.run(
        [sys.executable, "-m", "mypy", "--strict", "--no-incremental",
         "--cache-dir", str(tmp_path / "cache"),
         str(SOURCE / "python" / "tessaplan"),
         *[str(SOURCE / "python" / (module + ".pyi")) for module in MODULES]],
        capture_output=True, text=True, check=False, cwd=str(tmp_path),
        env=dict(os.environ, MYPYPATH=str(SOURCE / "python")))
    assert result.returncode == 0, result.stdout + result.stderr


@needs_mypy
def test_stubs_match_the_built_modules(tmp_path):
    # stubtest imports the modules (from this run's path, the build tree)
    # and reports every name that the stubs and the modules do not share.
    # pybind11's classes have their own metaclass, which stubs do not spell.
    allowlist = tmp_path / "allowlist.txt"
    allowlist.write_text("velmora_py_mesh.StringView\n"
                         "velmora_py_mesh.TriangulatedSurface[23]D\n",
                         encoding="utf-8")
    result = subprocess.run(
        [sys.executable, "-m", "mypy.stubtest", "--allowlist", str(allowlist),
         *MODULES],
        capture_output=True, text=True, check=False, cwd=str(tmp_path),
        env=dict(os.environ, MYPYPATH=str(SOURCE / "python")))
    assert result.returncode == 0, result.stdout + result.stderr
