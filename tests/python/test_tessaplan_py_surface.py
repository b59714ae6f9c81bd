"""The two library functions called from Python."""

import gc
import math
import re

import numpy as np
import pytest

import velmora_py_mesh as vm
import tessaplan_py_surface as ts

SQUARE_POINTS = [[0, 0, 0], [1, 0, 0], [1, 1, 0], [0, 1, 0]]
SQUARE_TRIANGLES = [[0, 1, 2], [0, 2, 3]]

MISSING_ATTRIBUTE = (
    "[AttributeManager::find_attribute] You have to create an attribute "
    "before using it. See find_or_create_attribute method and derived "
    "classes of ReadOnlyAttribute.")


def square():
    return vm.TriangulatedSurface3D.from_arrays(SQUARE_POINTS,
                                                SQUARE_TRIANGLES)


def square_parameterization():
    """The unit square's map: its mean plane has the axes a = (1, 1, 0)/r
    and b = (-1, 1, 0)/r with r the computed sqrt(2), the pinned vertices 1
    and 3 keep their projections and the free vertices land exactly."""
    a = 1.0 / math.sqrt(2.0)
    return np.array([[0.0, 0.0], [a, -a], [a + a, 0.0], [a, a]])


def test_module_contents():
    assert ts.__doc__ == "Tessaplan Python binding for surface"
    public = sorted(name for name in dir(ts) if not name.startswith("_"))
    assert public == [
        "FlatteningError", "InvalidInputError", "TessaplanError",
        "compute_LSCM_map", "compute_LSCM_parameterization",
        "convert_surface3d_into_2d", "pack_parameterization_pieces",
        "pack_pieces"
    ]
    assert ts.convert_surface3d_into_2d.__doc__.startswith(
        "convert_surface3d_into_2d(arg0: "
        "velmora_py_mesh.TriangulatedSurface3D, "
        "arg1: velmora_py_mesh.StringView) -> "
        "velmora_py_mesh.TriangulatedSurface2D")


class TestSquare:

    def test_exact_values_through_both_functions(self):
        surface = square()
        assert ts.compute_LSCM_parameterization(surface, "uv") is None
        assert surface.vertex_attribute_names() == ["uv"]
        flat = ts.convert_surface3d_into_2d(surface, "uv")
        assert isinstance(flat, vm.TriangulatedSurface2D)
        assert np.array_equal(flat.points(), square_parameterization())
        assert np.array_equal(flat.triangles(), SQUARE_TRIANGLES)
        assert flat.polygon_adjacent(0, 2) == 1
        assert flat.polygon_adjacent(1, 0) == 0
        assert flat.polygon_adjacent(0, 0) is None
        # The input keeps its geometry.
        assert np.array_equal(surface.points(), SQUARE_POINTS)

    def test_name_as_string_view_and_non_ascii(self):
        surface = square()
        name = vm.StringView("param\u00e8tres")
        ts.compute_LSCM_parameterization(surface, name)
        assert surface.vertex_attribute_names() == ["param\u00e8tres"]
        flat = ts.convert_surface3d_into_2d(surface, "param\u00e8tres")
        assert np.array_equal(flat.points(), square_parameterization())

    def test_name_built_at_run_time_and_dropped(self):
        surface = square()
        name = "".join(["run", "time", str(42)])
        ts.compute_LSCM_parameterization(surface, name)
        del name
        gc.collect()
        assert surface.vertex_attribute_names() == ["runtime42"]
        flat = ts.convert_surface3d_into_2d(surface, "runtime42")
        assert np.array_equal(flat.points(), square_parameterization())

    def test_result_outlives_its_input(self):
        surface = square()
        ts.compute_LSCM_parameterization(surface, "uv")
        flat = ts.convert_surface3d_into_2d(surface, "uv")
        del surface
        gc.collect()
        assert flat.nb_vertices() == 4
        assert np.array_equal(flat.points(), square_parameterization())
        assert np.array_equal(flat.triangles(), SQUARE_TRIANGLES)
        assert flat.polygon_adjacent(0, 2) == 1

    def test_repeated_conversion_gives_independent_equal_surfaces(self):
        surface = square()
        ts.compute_LSCM_parameterization(surface, "uv")
        first = ts.convert_surface3d_into_2d(surface, "uv")
        second = ts.convert_surface3d_into_2d(surface, "uv")
        assert first is not second
        assert np.array_equal(first.points(), second.points())

    def test_second_parameterization_reuses_the_attribute(self):
        surface = square()
        ts.compute_LSCM_parameterization(surface, "uv")
        ts.compute_LSCM_parameterization(surface, "uv")
        assert surface.vertex_attribute_names() == ["uv"]
        flat = ts.convert_surface3d_into_2d(surface, "uv")
        assert np.array_equal(flat.points(), square_parameterization())


class TestArgumentErrors:

    @pytest.mark.parametrize("function", [
        ts.compute_LSCM_parameterization, ts.convert_surface3d_into_2d
    ])
    @pytest.mark.parametrize("arguments, keywords", [
        ((), {}),
        (("surface",), {}),
        (("surface", "uv", "extra"), {}),
        (("surface",), {"arg1": "uv"}),
        ((), {"arg0": "surface", "arg1": "uv"}),
        (("surface", None), {}),
        ((None, "uv"), {}),
        (("surface", 7), {}),
        (("surface", b"uv"), {}),
        (("flat", "uv"), {}),
    ])
    def test_incompatible_arguments_raise_type_error(self, function,
                                                     arguments, keywords):
        surface = square()
        flat = vm.TriangulatedSurface2D.from_arrays([[0, 0], [1, 0], [0, 1]],
                                                    [[0, 1, 2]])
        objects = {"surface": surface, "flat": flat}

        def resolve(value):
            # "surface" and "flat" stand for the objects; other values stay.
            if isinstance(value, str):
                return objects.get(value, value)
            return value

        with pytest.raises(TypeError) as error:
            function(*[resolve(a) for a in arguments],
                     **{k: resolve(v) for k, v in keywords.items()})
        message = str(error.value)
        assert message.startswith(function.__name__ +
                                  "(): incompatible function arguments.")
        assert ("(arg0: velmora_py_mesh.TriangulatedSurface3D, "
                "arg1: velmora_py_mesh.StringView)") in message
        # Nothing was called: no attribute appeared.
        assert surface.vertex_attribute_names() == []

    def test_missing_attribute(self):
        with pytest.raises(RuntimeError) as error:
            ts.convert_surface3d_into_2d(square(), "nothing")
        assert str(error.value) == MISSING_ATTRIBUTE

    def test_library_failure_keeps_its_message(self):
        surface = vm.TriangulatedSurface3D.from_arrays(
            [[0, 0, 0]], np.empty((0, 3), dtype=int))
        with pytest.raises(RuntimeError, match=r"^\[LSCM::"):
            ts.compute_LSCM_parameterization(surface, "uv")


def test_import_before_the_mesh_module(own_interpreter):
    output = own_interpreter("""
        import sys
        import tessaplan_py_surface as ts
        assert "velmora_py_mesh" not in sys.modules
        print(ts.compute_LSCM_parameterization.__doc__.splitlines()[0])
        import velmora_py_mesh as vm
        surface = vm.TriangulatedSurface3D.from_arrays(
            [[0, 0, 0], [1, 0, 0], [1, 1, 0], [0, 1, 0]],
            [[0, 1, 2], [0, 2, 3]])
        ts.compute_LSCM_parameterization(surface, "uv")
        flat = ts.convert_surface3d_into_2d(surface, "uv")
        print(type(flat).__name__, flat.points()[2, 0])
        """)
    signature, converted = output.splitlines()
    # The signature was composed before the classes were registered.
    # Abseil's inline namespace differs between builds of it.
    assert re.fullmatch(
        r"compute_LSCM_parameterization\(arg0: nodara::TriangulatedSurface"
        r"<3u>, arg1: absl::(\w+::)?string_view\) -> None", signature)
    a = 1.0 / math.sqrt(2.0)
    assert converted == f"TriangulatedSurface2D {a + a!r}"


def test_uninitialised_arguments_are_refused(own_interpreter):
    output = own_interpreter("""
        import velmora_py_mesh as vm
        import tessaplan_py_surface as ts
        blank = vm.TriangulatedSurface3D.__new__(vm.TriangulatedSurface3D)
        surface = vm.TriangulatedSurface3D.from_arrays(
            [[0, 0, 0], [1, 0, 0], [0, 1, 0]], [[0, 1, 2]])
        no_name = vm.StringView.__new__(vm.StringView)
        for function in [ts.compute_LSCM_parameterization,
                         ts.convert_surface3d_into_2d]:
            for arguments in [(blank, "uv"), (surface, no_name)]:
                try:
                    function(*arguments)
                except TypeError as error:
                    print(str(error).split(" (")[0])
        print(surface.vertex_attribute_names())
        """)
    assert output.splitlines() == [
        "velmora_py_mesh.TriangulatedSurface3D object is not initialised",
        "velmora_py_mesh.StringView object is not initialised",
    ] * 2 + ["[]"]


def test_calls_without_the_mesh_module_fail_cleanly(own_interpreter):
    output = own_interpreter("""
        import tessaplan_py_surface as ts
        try:
            ts.convert_surface3d_into_2d(object(), "uv")
        except TypeError as error:
            print("TypeError", "incompatible function arguments" in str(error))
        """)
    assert output.strip() == "TypeError True"


class TestMapAsArray:
    """The functions that take and return the map as an array agree exactly
    with those that keep it in a vertex attribute."""

    @staticmethod
    def bumpy_grid(n=6):
        u, v = np.meshgrid(np.linspace(0, 1, n + 1), np.linspace(0, 1, n + 1))
        points = np.column_stack(
            [u.ravel(), v.ravel(), 0.3 * np.sin(3 * u.ravel()) * v.ravel()])
        triangles = []
        for j in range(n):
            for i in range(n):
                a = j * (n + 1) + i
                triangles += [[a, a + 1, a + n + 2], [a, a + n + 2, a + n + 1]]
        return vm.TriangulatedSurface3D.from_arrays(points, triangles)

    def test_map_is_the_stored_one_and_the_surface_stays_bare(self):
        surface = self.bumpy_grid()
        uv = ts.compute_LSCM_map(surface)
        assert uv.dtype == np.float64 and uv.shape == (49, 2)
        assert uv.flags["C_CONTIGUOUS"]
        assert surface.vertex_attribute_names() == []
        ts.compute_LSCM_parameterization(surface, "uv")
        stored = ts.convert_surface3d_into_2d(surface, "uv").points()
        assert uv.tobytes() == stored.tobytes()

    def test_packing_an_array_is_packing_the_attribute(self):
        surface = self.bumpy_grid()
        uv = ts.compute_LSCM_map(surface)
        packed, fill = ts.pack_pieces(surface, uv)
        ts.compute_LSCM_parameterization(surface, "uv")
        assert ts.pack_parameterization_pieces(surface, "uv") == fill
        stored = ts.convert_surface3d_into_2d(surface, "uv").points()
        assert packed.tobytes() == stored.tobytes()
        assert uv.tobytes() == ts.compute_LSCM_map(surface).tobytes()

    def test_pack_pieces_checks_the_map(self):
        surface = self.bumpy_grid()
        uv = ts.compute_LSCM_map(surface)
        with pytest.raises(ValueError, match=r"shape \(n, 2\)"):
            ts.pack_pieces(surface, uv[:, :1])
        with pytest.raises(RuntimeError, match=r"^\[pack_pieces\]"):
            ts.pack_pieces(surface, uv[:-1])

    def test_failure_keeps_the_library_message(self):
        lone = vm.TriangulatedSurface3D.from_arrays([[0, 0, 0]],
                                                    np.zeros((0, 3), int))
        with pytest.raises(RuntimeError) as by_map:
            ts.compute_LSCM_map(lone)
        with pytest.raises(RuntimeError) as by_name:
            ts.compute_LSCM_parameterization(lone, "uv")
        assert str(by_map.value) == str(by_name.value)
