"""Surfaces from numpy arrays and back, and the StringView name type."""

import gc
import json

import numpy as np
import pytest

import velmora_py_mesh as vm

SQUARE_POINTS = [[0, 0, 0], [1, 0, 0], [1, 1, 0], [0, 1, 0]]
SQUARE_TRIANGLES = [[0, 1, 2], [0, 2, 3]]


def square():
    return vm.TriangulatedSurface3D.from_arrays(SQUARE_POINTS,
                                                SQUARE_TRIANGLES)


class TestFromArrays:

    def test_round_trip_of_points_and_triangles(self):
        points = np.array([[0.5, -1.0, 2.0], [1.0, 0.0, 0.25],
                           [3.0, 1.0, -7.0], [0.0, 1e300, 0.0]])
        triangles = np.array([[2, 0, 1], [3, 2, 1]])
        surface = vm.TriangulatedSurface3D.from_arrays(points, triangles)
        assert surface.nb_vertices() == 4
        assert surface.nb_polygons() == 2
        assert surface.points().dtype == np.float64
        assert np.array_equal(surface.points(), points)
        assert surface.triangles().dtype == np.uint32
        assert np.array_equal(surface.triangles(), triangles)

    def test_returned_arrays_are_copies(self):
        surface = square()
        surface.points()[:] = 9.0
        surface.triangles()[:] = 0
        assert np.array_equal(surface.points(), SQUARE_POINTS)
        assert np.array_equal(surface.triangles(), SQUARE_TRIANGLES)

    @pytest.mark.parametrize("point_type", [
        np.float16, np.float32, np.float64, np.longdouble, np.int8,
        np.uint16, np.int64
    ])
    @pytest.mark.parametrize("index_type", [
        np.int8, np.uint8, np.int16, np.uint16, np.int32, np.uint32,
        np.int64, np.uint64
    ])
    def test_accepts_real_points_and_integer_triangles(self, point_type,
                                                       index_type):
        surface = vm.TriangulatedSurface3D.from_arrays(
            np.array(SQUARE_POINTS, dtype=point_type),
            np.array(SQUARE_TRIANGLES, dtype=index_type))
        assert np.array_equal(surface.points(), SQUARE_POINTS)
        assert np.array_equal(surface.triangles(), SQUARE_TRIANGLES)

    def test_accepts_non_contiguous_arrays(self):
        points = np.asfortranarray(np.array(SQUARE_POINTS, dtype=float))
        triangles = np.array([[0, 9, 1, 9, 2], [0, 9, 2, 9, 3]])[:, ::2]
        surface = vm.TriangulatedSurface3D.from_arrays(points, triangles)
        assert np.array_equal(surface.points(), SQUARE_POINTS)
        assert np.array_equal(surface.triangles(), SQUARE_TRIANGLES)

    def test_empty_arrays_give_an_empty_surface(self):
        surface = vm.TriangulatedSurface3D.from_arrays(
            np.empty((0, 3)), np.empty((0, 3), dtype=np.int64))
        assert surface.nb_vertices() == 0
        assert surface.nb_polygons() == 0
        assert surface.points().shape == (0, 3)
        assert surface.triangles().shape == (0, 3)

    def test_points_without_triangles_are_kept(self):
        surface = vm.TriangulatedSurface3D.from_arrays(
            [[1, 2, 3], [4, 5, 6]], np.empty((0, 3), dtype=int))
        assert surface.nb_vertices() == 2
        assert np.array_equal(surface.points(), [[1, 2, 3], [4, 5, 6]])

    @pytest.mark.parametrize("points, triangles, fragment", [
        (np.zeros((4, 2)), SQUARE_TRIANGLES, "points must have shape"),
        (np.zeros(12), SQUARE_TRIANGLES, "points must have shape"),
        (np.zeros((4, 3, 1)), SQUARE_TRIANGLES, "points must have shape"),
        (SQUARE_POINTS, [[0, 1, 2, 3]], "triangles must have shape"),
        (SQUARE_POINTS, [0, 1, 2], "triangles must have shape"),
        (SQUARE_POINTS, np.empty(0, dtype=int), "triangles must have shape"),
    ])
    def test_wrong_shapes_raise_value_error(self, points, triangles,
                                            fragment):
        with pytest.raises(ValueError, match=fragment):
            vm.TriangulatedSurface3D.from_arrays(points, triangles)

    @pytest.mark.parametrize("bad", [np.nan, np.inf, -np.inf])
    def test_non_finite_coordinate_names_its_row(self, bad):
        points = np.array(SQUARE_POINTS, dtype=float)
        points[2, 1] = bad
        with pytest.raises(ValueError, match=r"^points row 2 .*not finite"):
            vm.TriangulatedSurface3D.from_arrays(points, SQUARE_TRIANGLES)

    @pytest.mark.filterwarnings("ignore:overflow encountered")
    def test_coordinate_overflowing_double_is_not_finite(self):
        points = np.array(SQUARE_POINTS, dtype=np.longdouble)
        points[3, 0] = np.finfo(np.longdouble).max
        if np.isfinite(np.float64(points[3, 0])):
            pytest.skip("long double is double on this platform")
        with pytest.raises(ValueError, match=r"^points row 3 "):
            vm.TriangulatedSurface3D.from_arrays(points, SQUARE_TRIANGLES)

    @pytest.mark.parametrize("triangles, message", [
        ([[0, 1, 2], [0, -1, 3]],
         "triangles row 1 has the negative vertex index -1"),
        ([[0, 1, 2], [0, 2, 3], [1, 2, 4]],
         "triangles row 2 names vertex 4, but there are only 4 points"),
        (np.array([[0, 1, 2], [2**64 - 1, 1, 2]], dtype=np.uint64),
         "triangles row 1 names vertex 18446744073709551615, but there are "
         "only 4 points"),
        ([[0, 1, 2], [0, 2, 3], [3, 1, 3]], "triangles row 2 names a vertex "
         "twice"),
        ([[1, 1, 2]], "triangles row 0 names a vertex twice"),
    ])
    def test_bad_indices_name_their_row(self, triangles, message):
        with pytest.raises(ValueError) as error:
            vm.TriangulatedSurface3D.from_arrays(SQUARE_POINTS, triangles)
        assert str(error.value) == message

    def test_index_beyond_empty_points(self):
        with pytest.raises(ValueError, match="triangles row 0 names vertex 0"):
            vm.TriangulatedSurface3D.from_arrays(np.empty((0, 3)),
                                                 [[0, 1, 2]])

    @pytest.mark.parametrize("points, triangles", [
        ([["a", "b", "c"]], np.empty((0, 3), dtype=int)),
        (np.ones((4, 3), dtype=bool), SQUARE_TRIANGLES),
        (np.ones((4, 3), dtype=complex), SQUARE_TRIANGLES),
        (None, SQUARE_TRIANGLES),
        (SQUARE_POINTS, np.array(SQUARE_TRIANGLES, dtype=float)),
        (SQUARE_POINTS, np.array(SQUARE_TRIANGLES, dtype=str)),
        (SQUARE_POINTS, np.array(SQUARE_TRIANGLES, dtype=object)),
    ])
    def test_wrong_kinds_raise_type_error(self, points, triangles):
        with pytest.raises(TypeError, match="must hold"):
            vm.TriangulatedSurface3D.from_arrays(points, triangles)

    def test_strict_mode_names_repeated_triangles(self):
        triangles = [[0, 1, 2], [0, 2, 3], [1, 2, 0], [3, 2, 0], [0, 1, 3]]
        # Off by default.
        surface = vm.TriangulatedSurface3D.from_arrays(SQUARE_POINTS,
                                                       triangles)
        assert surface.nb_polygons() == 5
        with pytest.raises(ValueError) as error:
            vm.TriangulatedSurface3D.from_arrays(SQUARE_POINTS, triangles,
                                                 strict=True)
        assert str(error.value) == (
            "triangles has 2 rows that repeat an earlier row's vertices: "
            "row 2 repeats row 0, row 3 repeats row 1 reversed")
        surface = vm.TriangulatedSurface3D.from_arrays(
            SQUARE_POINTS, SQUARE_TRIANGLES, strict=True)
        assert surface.nb_polygons() == 2

    def test_strict_mode_names_the_first_ten(self):
        triangles = [[0, 1, 2]] * 13 + [[2, 1, 0]]
        with pytest.raises(ValueError) as error:
            vm.TriangulatedSurface2D.from_arrays([[0, 0], [1, 0], [0, 1]],
                                                 triangles, strict=True)
        assert str(error.value).startswith(
            "triangles has 13 rows that repeat an earlier row's vertices: "
            "row 1 repeats row 0, row 2 repeats row 0, ")
        assert str(error.value).endswith(
            "row 10 repeats row 0 and 3 more")
        with pytest.raises(TypeError):
            vm.TriangulatedSurface2D.from_arrays([[0, 0], [1, 0], [0, 1]],
                                                 triangles, True)

    def test_two_dimensional_surface(self):
        surface = vm.TriangulatedSurface2D.from_arrays(
            [[0, 0], [1, 0], [0, 1]], [[0, 1, 2]])
        assert surface.points().shape == (3, 2)
        assert np.array_equal(surface.triangles(), [[0, 1, 2]])
        with pytest.raises(ValueError, match=r"shape \(n, 2\)"):
            vm.TriangulatedSurface2D.from_arrays(SQUARE_POINTS,
                                                 SQUARE_TRIANGLES)


class TestMisalignedArrays:
    """Arrays whose elements are not aligned, such as views into a byte
    buffer at an odd offset. Reading them in place is undefined behaviour,
    which the sanitizer build reports; each case runs in its own
    interpreter."""

    def test_points_triangles_and_order(self, own_interpreter):
        output = own_interpreter(f"""
            import json
            import velmora_py_mesh as vm
            surface = vm.TriangulatedSurface3D.from_arrays(
                misaligned({SQUARE_POINTS}, np.float64),
                misaligned({SQUARE_TRIANGLES}, np.int64))
            surface.permute_vertices(misaligned([3, 2, 1, 0], np.int64))
            print(json.dumps([surface.points().tolist(),
                              surface.triangles().tolist()]))
            """)
        points, triangles = json.loads(output)
        assert points == SQUARE_POINTS[::-1]
        assert triangles == [[3, 2, 1], [3, 1, 0]]


# Every method of the classes, with arguments that it accepts.
SURFACE_CALLS = {
    "nb_vertices": (), "nb_polygons": (), "points": (), "triangles": (),
    "polygon_adjacent": (0, 0), "vertex_attribute_names": (), "clone": (),
    "__copy__": (), "__deepcopy__": ({},), "delete_vertices": ([],),
    "permute_vertices": ([],), "split_edge": (0, 0), "split_triangle": (0,),
    "__repr__": ()
}
STRING_VIEW_CALLS = {
    "__str__": (), "__repr__": (), "__len__": (), "__eq__": ("a",),
    "__hash__": ()
}


class TestUninitialisedObjects:
    """Objects made by __new__ alone hold no constructed C++ object: every
    method refuses them with a TypeError."""

    @pytest.mark.parametrize("name, calls", [
        ("TriangulatedSurface3D", SURFACE_CALLS),
        ("TriangulatedSurface2D", SURFACE_CALLS),
        ("StringView", STRING_VIEW_CALLS),
    ])
    def test_every_method_raises_type_error(self, own_interpreter, name,
                                            calls):
        methods = {
            method for method, value in vars(getattr(vm, name)).items()
            if callable(value) and not isinstance(value, staticmethod)
        }
        assert methods - {"__init__"} == set(calls)
        output = own_interpreter(f"""
            import velmora_py_mesh as vm
            cls = vm.{name}
            for method, arguments in {calls!r}.items():
                try:
                    getattr(cls.__new__(cls), method)(*arguments)
                    print(method, "returned")
                except TypeError as error:
                    print(method, error)
            """)
        expected = [
            f"{method} velmora_py_mesh.{name} object is not initialised "
            "(its __init__ was never called); create it by calling the "
            "class or one of its factory methods" for method in calls
        ]
        assert output.splitlines() == expected

    def test_init_makes_it_usable(self):
        surface = vm.TriangulatedSurface3D.__new__(vm.TriangulatedSurface3D)
        surface.__init__()
        assert surface.nb_vertices() == 0
        view = vm.StringView.__new__(vm.StringView)
        view.__init__("name")
        assert view == "name"

    def test_none_is_not_a_surface(self, own_interpreter):
        output = own_interpreter("""
            import velmora_py_mesh as vm
            try:
                vm.TriangulatedSurface3D.nb_vertices(None)
            except TypeError as error:
                print(error)
            """)
        assert "incompatible function arguments" in output


class TestAdjacency:

    def test_square_diagonal_links_both_triangles(self):
        surface = square()
        # Edge e runs from corner e to corner e + 1: the diagonal 0-2 is
        # edge 2 of triangle 0 and edge 0 of triangle 1.
        assert surface.polygon_adjacent(0, 2) == 1
        assert surface.polygon_adjacent(1, 0) == 0
        for t, e in [(0, 0), (0, 1), (1, 1), (1, 2)]:
            assert surface.polygon_adjacent(t, e) is None

    def test_grid_adjacency_is_symmetric(self):
        points, triangles = grid(5, 4)
        surface = vm.TriangulatedSurface3D.from_arrays(points, triangles)
        border = 0
        for t in range(surface.nb_polygons()):
            for e in range(3):
                other = surface.polygon_adjacent(t, e)
                if other is None:
                    border += 1
                    continue
                edge = {triangles[t][e], triangles[t][(e + 1) % 3]}
                assert edge <= set(triangles[other])
                back = [surface.polygon_adjacent(other, f) for f in range(3)]
                assert t in back
        assert border == 2 * (4 + 3)

    @pytest.mark.parametrize("t, e", [(2, 0), (-1, 0), (0, 3), (0, -1),
                                      (2**40, 0)])
    def test_out_of_range_raises_index_error(self, t, e):
        with pytest.raises(IndexError):
            square().polygon_adjacent(t, e)

    def test_repr_and_attribute_names(self):
        surface = square()
        assert repr(surface) == (
            "<TriangulatedSurface3D with 4 vertices and 2 triangles>")
        assert surface.vertex_attribute_names() == []


def grid(columns, rows):
    """A planar grid of columns x rows vertices, two triangles per cell."""
    points = [[float(i), float(j), 0.0] for j in range(rows)
              for i in range(columns)]
    triangles = []
    for j in range(rows - 1):
        for i in range(columns - 1):
            v = j * columns + i
            triangles.append([v, v + 1, v + columns + 1])
            triangles.append([v, v + columns + 1, v + columns])
    return points, triangles


class TestStringView:

    def test_text_operations(self):
        view = vm.StringView("name")
        assert str(view) == "name"
        assert repr(view) == "StringView('name')"
        assert len(view) == 4
        assert view == "name" and "name" == view
        assert view != "other" and view != vm.StringView("other")
        assert view == vm.StringView("name")
        assert view != 4
        assert hash(view) == hash("name")
        assert {view: 1}["name"] == 1

    def test_non_ascii_text(self):
        view = vm.StringView("h\u00e9 \U0001f600")
        assert str(view) == "h\u00e9 \U0001f600"
        assert len(view) == len("h\u00e9 \U0001f600".encode())
        assert view == "h\u00e9 \U0001f600"
        assert view != "\ud800"
        assert vm.StringView("a\0b") == "a\0b"
        with pytest.raises(UnicodeEncodeError):
            vm.StringView("\ud800")

    @pytest.mark.parametrize("argument", [b"bytes", 5, None])
    def test_only_str_is_accepted(self, argument):
        with pytest.raises(TypeError):
            vm.StringView(argument)

    def test_outlives_the_str_it_was_made_from(self):
        text = "".join(["uv_", "attribute_", str(12345)]) * 3
        view = vm.StringView(text)
        expected = str(view)
        del text
        gc.collect()
        # Fresh strings of the same size reuse the memory freed above.
        churn = ["".join(["xx_", "xxxxxxxxx_", str(i)]) * 3
                 for i in range(10000)]
        assert str(view) == expected
        assert view == "uv_attribute_12345" * 3
        del churn

    def test_many_views_keep_their_own_text(self):
        views = []
        for i in range(5000):
            text = f"name-{i}-" + "x" * (i % 40)
            views.append(vm.StringView(text))
            del text
        gc.collect()
        churn = [f"junk-{i}-" + "y" * (i % 40) for i in range(5000)]
        for i, view in enumerate(views):
            assert view == f"name-{i}-" + "x" * (i % 40)
        del churn
