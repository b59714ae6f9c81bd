"""tessaplan.measure_distortion and the tessaplan_py_distortion module."""

import contextlib
import io
import math
import pathlib
import re

import numpy as np
import pytest

import velmora_py_mesh as vm
import tessaplan_py_distortion as td
import tessaplan_py_surface as ts
import tessaplan


def grid_triangles(columns, rows):
    """Two triangles per cell of a grid of columns x rows vertices, row by
    row; the first of each pair is (lower left, lower right, upper right)."""
    ids = np.arange(columns * rows).reshape(rows, columns)
    a, b = ids[:-1, :-1].ravel(), ids[:-1, 1:].ravel()
    c, d = ids[1:, 1:].ravel(), ids[1:, :-1].ravel()
    return np.stack([np.stack([a, b, c], axis=1),
                     np.stack([a, c, d], axis=1)], axis=1).reshape(-1, 3)


def plane_grid(columns, rows):
    """The unit square in the plane z = 0, columns x rows vertices."""
    xx, yy = np.meshgrid(np.linspace(0.0, 1.0, columns),
                         np.linspace(0.0, 1.0, rows))
    points = np.stack([xx, yy, np.zeros_like(xx)], axis=-1).reshape(-1, 3)
    return points, grid_triangles(columns, rows)


def cylinder_patch(columns, rows):
    """A grid on the unit cylinder: every cell is a planar rectangle, so the
    triangulated patch unrolls into the plane without any distortion."""
    uu, vv = np.meshgrid(np.linspace(0.0, 2.0, columns),
                         np.linspace(0.0, 1.5, rows))
    points = np.stack([np.cos(uu), np.sin(uu), vv], axis=-1).reshape(-1, 3)
    return points, grid_triangles(columns, rows)


def hemisphere(rings, sectors):
    """The upper unit hemisphere: the pole, then `rings` circles of latitude
    down to the equator, each of `sectors` vertices."""
    points = [[0.0, 0.0, 1.0]]
    for k in range(1, rings + 1):
        polar = 0.5 * math.pi * k / rings
        for j in range(sectors):
            azimuth = 2.0 * math.pi * j / sectors
            points.append([math.sin(polar) * math.cos(azimuth),
                           math.sin(polar) * math.sin(azimuth),
                           math.cos(polar)])

    def ring(k, j):
        return 1 + (k - 1) * sectors + j % sectors

    triangles = [[0, ring(1, j), ring(1, j + 1)] for j in range(sectors)]
    for k in range(1, rings):
        for j in range(sectors):
            triangles.append([ring(k, j), ring(k + 1, j), ring(k + 1, j + 1)])
            triangles.append([ring(k, j), ring(k + 1, j + 1), ring(k, j + 1)])
    return np.array(points), np.array(triangles)


def areas_3d(points, triangles):
    corners = points[triangles]
    return 0.5 * np.linalg.norm(
        np.cross(corners[:, 1] - corners[:, 0], corners[:, 2] - corners[:, 0]),
        axis=1)


def area_weighted_mean(values, points, triangles):
    weights = areas_3d(points, triangles)
    return np.sum(values * weights) / np.sum(weights)


class TestFlattenedSurfaces:
    def test_developable_patch_keeps_angles_and_area_shares(self):
        points, triangles = cylinder_patch(25, 15)
        result = tessaplan.measure_distortion(points, triangles)
        assert result["conformal"].shape == (len(triangles),)
        assert result["conformal"].dtype == np.float64
        assert result["flipped"].dtype == np.bool_
        assert result["conformal"].min() >= 1.0
        assert result["conformal"].max() < 1.001
        np.testing.assert_allclose(result["area"], 1.0, atol=1e-6)
        assert area_weighted_mean(result["area"], points, triangles) == \
            pytest.approx(1.0, rel=1e-12)
        assert not result["flipped"].any()
        assert not result["degenerate"].any()
        summary = result["summary"]
        assert summary["flipped_triangles"] == 0
        assert summary["degenerate_triangles"] == 0
        assert summary["conformal"]["max"] < 1.001

        # The default map is flatten()'s: measuring that array gives the same.
        given = tessaplan.measure_distortion(
            points, triangles, tessaplan.flatten(points, triangles))
        for key in ("conformal", "area", "signed_image_area", "flipped"):
            np.testing.assert_array_equal(given[key], result[key])

    def test_hemisphere_cannot_keep_its_areas(self):
        points, triangles = hemisphere(10, 24)
        result = tessaplan.measure_distortion(points, triangles)
        area = result["area"]
        assert result["summary"]["area"]["max"] > 1.3
        assert area.min() < 0.8
        # The shares of both areas sum to 1, whatever the map.
        assert area_weighted_mean(area, points, triangles) == \
            pytest.approx(1.0, rel=1e-12)
        # A conformal map exists, and the least squares one comes close.
        assert 1.0 <= result["summary"]["conformal"]["mean"] < 1.1
        assert result["summary"]["flipped_triangles"] == 0


class TestGivenLayout:
    def test_stretch_along_one_axis(self):
        points, triangles = plane_grid(4, 4)
        result = tessaplan.measure_distortion(
            points, triangles, points[:, :2] * [2.0, 1.0])
        np.testing.assert_allclose(result["conformal"], 2.0, rtol=1e-12)
        np.testing.assert_allclose(result["area"], 1.0, rtol=1e-12)
        np.testing.assert_allclose(result["signed_image_area"],
                                   2.0 * areas_3d(points, triangles),
                                   rtol=1e-12)

    def test_area_shares_between_halves(self):
        # In 3D the right half is three times as wide as the left; the
        # layout gives both halves the same width. With as many triangles on
        # each side, the 3D shares are 1/4 : 3/4 and the image shares
        # 1/2 : 1/2, so the area distortion is 2 on the left and 2/3 on the
        # right, and the right half is squeezed by 3 along x.
        uv, triangles = plane_grid(5, 3)
        uv = uv[:, :2]
        points = np.column_stack([
            np.where(uv[:, 0] <= 0.5, uv[:, 0], 0.5 + 3.0 * (uv[:, 0] - 0.5)),
            uv[:, 1], np.zeros(len(uv))])
        left = uv[triangles].max(axis=1)[:, 0] <= 0.5
        assert left.sum() * 2 == len(triangles)
        result = tessaplan.measure_distortion(points, triangles, uv)
        np.testing.assert_allclose(result["area"],
                                   np.where(left, 2.0, 2.0 / 3.0), rtol=1e-12)
        np.testing.assert_allclose(result["conformal"],
                                   np.where(left, 1.0, 3.0), rtol=1e-12)

    def test_one_mirrored_triangle_is_flipped(self):
        # The lower right corner vertex belongs to one triangle only;
        # mirroring it across the opposite edge turns that triangle over
        # without changing its shape or its area.
        points, triangles = plane_grid(4, 4)
        uv = points[:, :2].copy()
        corner = 3
        (flipped,) = np.flatnonzero((triangles == corner).any(axis=1))
        h = 1.0 / 3.0
        uv[corner] = [1.0 - h, h]
        result = tessaplan.measure_distortion(points, triangles, uv)
        assert np.flatnonzero(result["flipped"]).tolist() == [flipped]
        assert result["signed_image_area"][flipped] < 0
        assert (np.delete(result["signed_image_area"], flipped) > 0).all()
        # A mirror image keeps angles and areas.
        np.testing.assert_allclose(result["conformal"], 1.0, rtol=1e-12)
        np.testing.assert_allclose(result["area"], 1.0, rtol=1e-12)
        assert result["summary"]["flipped_triangles"] == 1

        # The majority decides the orientation: mirroring the whole layout
        # flips the same single triangle.
        mirrored = tessaplan.measure_distortion(points, triangles,
                                                uv * [-1.0, 1.0])
        np.testing.assert_array_equal(mirrored["flipped"], result["flipped"])

    @pytest.mark.parametrize("with_uv", [True, False])
    def test_zero_area_triangle_is_reported_not_measured(self, with_uv):
        points = np.array([[0, 0, 0], [1, 0, 0], [1, 1, 0], [0, 1, 0],
                           [2, 0, 0]], dtype=float)
        triangles = [[0, 1, 2], [0, 2, 3], [0, 1, 4]]
        uv = points[:, :2] if with_uv else None
        result = tessaplan.measure_distortion(points, triangles, uv)
        assert result["degenerate"].tolist() == [False, False, True]
        assert result["flipped"].tolist() == [False, False, False]
        assert math.isnan(result["conformal"][2])
        assert math.isnan(result["area"][2])
        assert np.isfinite(result["conformal"][:2]).all()
        summary = result["summary"]
        assert summary["degenerate_triangles"] == 1
        assert summary["flipped_triangles"] == 0
        # The statistics leave the degenerate triangle out.
        for measure in ("conformal", "area"):
            assert summary[measure]["max"] == pytest.approx(1.0, rel=1e-9)


class TestSummary:
    def test_summary_is_the_statistics_of_the_arrays(self):
        # A hemisphere with one zero-area triangle added on its boundary,
        # measured in its own flattening.
        points, triangles = hemisphere(8, 20)
        uv = tessaplan.flatten(points, triangles)
        a, b = triangles[-1][1], triangles[-1][2]
        points = np.vstack([points, 0.5 * (points[a] + points[b])])
        uv = np.vstack([uv, 0.5 * (uv[a] + uv[b])])
        triangles = np.vstack([triangles, [a, len(points) - 1, b]])
        result = tessaplan.measure_distortion(points, triangles, uv)

        kept = ~result["degenerate"]
        assert np.flatnonzero(~kept).tolist() == [len(triangles) - 1]
        summary = result["summary"]
        for measure in ("conformal", "area"):
            values = result[measure][kept]
            # The nearest rank: the smallest value at least 95 % of the
            # values do not exceed (the linear interpolation of numpy's
            # default differs from it here).
            rank = -(-95 * len(values) // 100)
            nearest_rank = np.sort(values)[rank - 1]
            assert nearest_rank == np.percentile(values, 95,
                                                 method="inverted_cdf")
            assert nearest_rank != np.percentile(values, 95)
            assert summary[measure]["p95"] == nearest_rank
            assert summary[measure]["max"] == values.max()
            assert summary[measure]["mean"] == pytest.approx(values.mean(),
                                                             rel=1e-12)
        assert summary["degenerate_triangles"] == 1
        assert summary["flipped_triangles"] == int(result["flipped"].sum())


class TestArguments:
    @pytest.fixture
    def square(self):
        points = [[0, 0, 0], [1, 0, 0], [1, 1, 0], [0, 1, 0]]
        return points, [[0, 1, 2], [0, 2, 3]]

    @pytest.mark.parametrize("uv, message", [
        (np.zeros((3, 2)), r"uv must have shape \(4, 2\).*got \(3, 2\)"),
        (np.zeros((5, 2)), r"uv must have shape \(4, 2\).*got \(5, 2\)"),
        (np.zeros((4, 3)), r"uv must have shape \(4, 2\).*got \(4, 3\)"),
        (np.zeros(8), r"uv must have shape \(4, 2\).*got \(8,\)"),
        ([[0, 0], [1, 0], [1, 1], [math.nan, 1]],
         r"^uv row 3 has a coordinate that is not finite$"),
        ([[0, 0], [1, -math.inf], [1, 1], [math.nan, 1]],
         r"^uv row 1 has a coordinate that is not finite$"),
    ])
    def test_bad_uv_is_a_value_error(self, square, uv, message):
        with pytest.raises(ValueError, match=message):
            tessaplan.measure_distortion(*square, uv)

    @pytest.mark.parametrize("uv", [
        [["a", "b"]] * 4,
        np.ones((4, 2), dtype=bool),
        np.ones((4, 2), dtype=complex),
    ])
    def test_uv_of_other_values_is_a_type_error(self, square, uv):
        with pytest.raises(TypeError, match="uv must hold real numbers"):
            tessaplan.measure_distortion(*square, uv)

    def test_integer_uv_is_taken(self, square):
        result = tessaplan.measure_distortion(
            *square, np.array([[0, 0], [2, 0], [2, 2], [0, 2]], dtype=np.int32))
        np.testing.assert_allclose(result["signed_image_area"], 2.0)

    def test_misaligned_uv_is_read_as_given(self, square, own_interpreter):
        uv = [[0, 0], [2, 0], [2, 1], [0, 1]]
        # Read in place, doubles at an odd address are undefined behaviour
        # that the sanitizer build reports.
        output = own_interpreter(f"""
            import velmora_py_mesh as vm
            import tessaplan_py_distortion as td
            surface = vm.TriangulatedSurface3D.from_arrays(*{square!r})
            result = td.compute_uv_distortions(
                surface, misaligned({uv!r}, np.float64))
            print(repr(result["signed_image_area"].tolist()))
            """)
        expected = tessaplan.measure_distortion(*square, uv)
        assert output.strip() == repr(
            expected["signed_image_area"].tolist())


class TestModule:
    @pytest.fixture
    def surface(self):
        points, triangles = plane_grid(3, 3)
        return vm.TriangulatedSurface3D.from_arrays(points, triangles)

    def test_given_uv_leaves_the_surface_alone(self, surface):
        # A given map is measured as it is: the surface's attributes, one
        # of them under a name the module might have picked, stay as they
        # are and no other appears.
        taken = "tessaplan_py_distortion_uv"
        ts.compute_LSCM_parameterization(surface, taken)
        stored = td.compute_triangle_distortions(surface, taken)
        stretched = surface.points()[:, :2] * [1.0, 4.0]
        result = td.compute_uv_distortions(surface, stretched)
        np.testing.assert_allclose(result["conformal"], 4.0, rtol=1e-12)
        with pytest.raises(ValueError):
            td.compute_uv_distortions(surface, stretched[:-1])
        assert surface.vertex_attribute_names() == [taken]
        again = td.compute_triangle_distortions(surface, taken)
        np.testing.assert_array_equal(again["conformal"], stored["conformal"])

    def test_name_as_str_or_string_view(self, surface):
        ts.compute_LSCM_parameterization(surface, "uv")
        by_str = td.compute_triangle_distortions(surface, "uv")
        by_view = td.compute_triangle_distortions(surface,
                                                  vm.StringView("uv"))
        np.testing.assert_array_equal(by_str["area"], by_view["area"])
        assert by_str["summary"] == by_view["summary"]

    def test_missing_attribute_raises_the_library_message(self, surface):
        with pytest.raises(RuntimeError,
                           match=r"^\[AttributeManager::find_attribute\]"):
            td.compute_triangle_distortions(surface, "uv")

    def test_uninitialised_arguments_are_refused(self, own_interpreter):
        output = own_interpreter("""
            import velmora_py_mesh as vm
            import tessaplan_py_distortion as td
            blank = vm.TriangulatedSurface3D.__new__(vm.TriangulatedSurface3D)
            surface = vm.TriangulatedSurface3D.from_arrays(
                [[0, 0, 0], [1, 0, 0], [0, 1, 0]], [[0, 1, 2]])
            for call in [
                    lambda: td.compute_uv_distortions(blank, [[0, 0]]),
                    lambda: td.compute_triangle_distortions(blank, "uv"),
                    lambda: td.compute_triangle_distortions(
                        surface, vm.StringView.__new__(vm.StringView))]:
                try:
                    call()
                except TypeError as error:
                    print(str(error).split(" (")[0])
            """)
        assert output.splitlines() == [
            "velmora_py_mesh.TriangulatedSurface3D object is not initialised"
        ] * 2 + ["velmora_py_mesh.StringView object is not initialised"]


def test_readme_example_runs():
    readme = pathlib.Path(__file__).resolve().parents[2] / "README.md"
    python_part = readme.read_text().split("\n## Python\n", 1)[1]
    examples = re.findall(r"```python\n(.*?)```", python_part, re.DOTALL)
    (example,) = [code for code in examples if "measure_distortion" in code]
    output = io.StringIO()
    with contextlib.redirect_stdout(output):
        exec(compile(example, str(readme), "exec"), {})
    assert output.getvalue()


def test_flattening_distortions_are_those_of_the_stored_map():
    points, triangles = plane_grid(4, 3)
    points = np.asarray(points, dtype=float).copy()
    points[:, 2] = 0.2 * points[:, 0] ** 2
    surface = vm.TriangulatedSurface3D.from_arrays(points, triangles)
    computed = td.compute_flattening_distortions(surface)
    assert surface.vertex_attribute_names() == []
    ts.compute_LSCM_parameterization(surface, "uv")
    stored = td.compute_triangle_distortions(surface, "uv")
    for key in ["conformal", "area", "signed_image_area", "flipped",
                "collapsed", "piece"]:
        assert computed[key].tobytes() == stored[key].tobytes(), key
    assert computed["summary"]["flipped_triangles"] == 0
