"""Tests of tessaplan.atlas and tessaplan.check_atlas."""

import numpy
import pytest

import tessaplan


def octahedron_sphere(levels):
    """A sphere: an octahedron subdivided `levels` times onto the sphere."""
    points = [[1, 0, 0], [-1, 0, 0], [0, 1, 0], [0, -1, 0], [0, 0, 1],
              [0, 0, -1]]
    triangles = [[0, 2, 4], [2, 1, 4], [1, 3, 4], [3, 0, 4], [2, 0, 5],
                 [1, 2, 5], [3, 1, 5], [0, 3, 5]]
    for _ in range(levels):
        middle = {}

        def mid(a, b):
            key = (min(a, b), max(a, b))
            if key not in middle:
                p = (numpy.array(points[a]) + numpy.array(points[b])) / 2
                points.append(list(p / numpy.linalg.norm(p)))
                middle[key] = len(points) - 1
            return middle[key]

        finer = []
        for a, b, c in triangles:
            ab, bc, ca = mid(a, b), mid(b, c), mid(c, a)
            finer += [[a, ab, ca], [ab, b, bc], [ca, bc, c], [ab, bc, ca]]
        triangles = finer
    return numpy.array(points, float), numpy.array(triangles)


def cube():
    """A closed cube of 12 triangles, wound outwards."""
    points = numpy.array([[x, y, z] for x in (0, 1) for y in (0, 1)
                          for z in (0, 1)], float)
    quads = [[0, 1, 3, 2], [4, 6, 7, 5], [0, 4, 5, 1], [2, 3, 7, 6],
             [0, 2, 6, 4], [1, 5, 7, 3]]
    triangles = []
    for a, b, c, d in quads:
        triangles += [[a, b, c], [a, c, d]]
    return points, numpy.array(triangles)


@pytest.mark.parametrize("shape", ["sphere", "cube"])
def test_closed_surfaces_get_a_valid_atlas(shape):
    points, triangles = octahedron_sphere(3) if shape == "sphere" else cube()
    chart, corner_uv = tessaplan.atlas(points, triangles)
    assert chart.shape == (len(triangles),)
    assert corner_uv.shape == (len(triangles), 3, 2)
    assert corner_uv.dtype == numpy.float64
    assert corner_uv.min() >= 0.0 and corner_uv.max() <= 1.0
    check = tessaplan.check_atlas(points, triangles, corner_uv)
    assert check["valid"], check
    # A closed surface needs at least two charts.
    assert len(numpy.unique(chart)) >= 2


def test_check_atlas_finds_a_planted_overlap():
    points, triangles = cube()
    _, corner_uv = tessaplan.atlas(points, triangles)
    moved = corner_uv.copy()
    # Lay triangle 0 over triangle 1's image.
    moved[0] = corner_uv[1]
    check = tessaplan.check_atlas(points, triangles, moved)
    assert not check["valid"]
    assert check["overlapping_pairs"] >= 1


def test_bad_arguments_are_refused():
    points, triangles = cube()
    with pytest.raises(ValueError):
        tessaplan.check_atlas(points, triangles, numpy.zeros((3, 3, 2)))
    with pytest.raises(TypeError):
        tessaplan.check_atlas(points, triangles,
                              numpy.full((12, 3, 2), "a"))
    # Options out of range are bad input: a ValueError, and a library
    # error (still a RuntimeError, as before the classes were typed).
    for options in ({"max_distortion": 0.5}, {"padding": -1.0},
                    {"resolution": 8}, {"max_distortion": float("nan")}):
        with pytest.raises(tessaplan.InvalidInputError, match=r"^\[compute_atlas\]"):
            tessaplan.atlas(points, triangles, **options)
    assert issubclass(tessaplan.InvalidInputError, ValueError)
    assert issubclass(tessaplan.InvalidInputError, tessaplan.TessaplanError)
    assert issubclass(tessaplan.TessaplanError, RuntimeError)
    assert issubclass(tessaplan.FlatteningError, tessaplan.InvalidInputError)
    with pytest.raises(ValueError, match="closed"):
        tessaplan.flatten(points, triangles)


def test_the_defaults_are_the_librarys():
    import inspect
    defaults = tessaplan.tessaplan_py_atlas.DEFAULT_OPTIONS
    signature = inspect.signature(tessaplan.atlas)
    for name in ("max_distortion", "padding", "resolution", "rotate",
                 "max_chart_area", "max_boundary_length", "texels_per_unit"):
        assert signature.parameters[name].default == defaults[name]
    assert defaults["max_distortion"] == 1.15
    assert defaults["resolution"] == 1024
    assert defaults["rotate"] is True
    assert defaults["texels_per_unit"] == 0


def test_extreme_but_finite_numbers_never_take_the_interpreter_down():
    # Each of these once ended the interpreter (SIGFPE, SIGSEGV) or asked
    # for gigabytes; now each gives a checked atlas or an exception.
    tetrahedron = numpy.array([[1e200, 0, 0], [0, 1e200, 0], [0, 0, 1e200],
                               [1e200, 1e200, 1e200]])
    faces = [[0, 1, 2], [0, 3, 1], [1, 3, 2], [2, 3, 0]]
    for points, triangles in (
            (tetrahedron, faces),
            ([[0, 0, 0], [1e-320, 0, 0], [0, 1e-320, 0]], [[0, 1, 2]]),
            ([[0, 0, 0], [1, 0, 0], [0, 1e-12, 0]], [[0, 1, 2]])):
        chart, corner_uv = tessaplan.atlas(points, triangles)
        assert tessaplan.check_atlas(points, triangles, corner_uv)["valid"]
        assert numpy.isfinite(corner_uv).all()


def test_the_result_holds_the_split_mesh_and_the_figures():
    points, triangles = cube()
    result = tessaplan.atlas(points, triangles)
    chart, corner_uv = result
    assert chart is result.chart and corner_uv is result.corner_uv
    # The split mesh is the corner map with one vertex per chart corner.
    numpy.testing.assert_array_equal(result.uv[result.faces], corner_uv)
    numpy.testing.assert_array_equal(
        numpy.asarray(points, dtype=float)[result.vertices[result.faces]],
        numpy.asarray(points, dtype=float)[numpy.asarray(triangles)])
    assert len(result.uv) == len(numpy.unique(
        numpy.column_stack([result.vertices[result.faces].ravel(),
                            corner_uv.reshape(-1, 2)]), axis=0))
    assert result.check["valid"]
    assert result.texels_per_unit > 0 and 0 < result.efficiency <= 1
    assert len(result.chart_triangles) == chart.max() + 1
    assert result.chart_triangles.sum() == len(triangles)


def waves(n=24):
    """A wavy height field of n x n cells over [0, 4]^2."""
    x, y = numpy.meshgrid(numpy.linspace(0, 4, n + 1),
                          numpy.linspace(0, 4, n + 1))
    points = numpy.column_stack([x.ravel(), y.ravel(),
                                 0.6 * numpy.sin(1.5 * x.ravel())
                                 * numpy.cos(1.25 * y.ravel())])
    triangles = []
    for j in range(n):
        for i in range(n):
            a = j * (n + 1) + i
            triangles += [[a, a + 1, a + n + 2], [a, a + n + 2, a + n + 1]]
    return points, numpy.array(triangles)


def test_the_atlas_options_are_checked():
    points, triangles = cube()
    for options in ({"rotate": 1}, {"rotate": "yes"}, {"padding": "2"},
                    {"max_chart_area": None}, {"texels_per_unit": True},
                    {"resolution": 64.0}):
        with pytest.raises(TypeError, match=next(iter(options))):
            tessaplan.atlas(points, triangles, **options)
    for options in ({"max_chart_area": -1.0},
                    {"max_boundary_length": float("nan")},
                    {"texels_per_unit": -2.0},
                    {"texels_per_unit": float("inf")},
                    {"resolution": -5}):
        with pytest.raises(ValueError):
            tessaplan.atlas(points, triangles, **options)
    # The unit cube's faces are 1 x 1: at 2000 texels per unit none fits a
    # page of 1024 texels.
    with pytest.raises(tessaplan.InvalidInputError,
                       match=r"^\[compute_atlas\] Chart .* page of 1024"):
        tessaplan.atlas(points, triangles, texels_per_unit=2000)


def test_chart_bounds_and_pages_at_a_fixed_density():
    points, triangles = waves()
    free = tessaplan.atlas(points, triangles)
    assert free.pages == 1 and not free.page.any()
    bounded = tessaplan.atlas(points, triangles, max_chart_area=2.0)
    assert len(bounded.chart_triangles) > len(free.chart_triangles)
    corners = points[triangles]
    areas = 0.5 * numpy.linalg.norm(
        numpy.cross(corners[:, 1] - corners[:, 0],
                    corners[:, 2] - corners[:, 0]), axis=1)
    chart_areas = numpy.bincount(bounded.chart, weights=areas)
    several = bounded.chart_triangles > 1
    assert (chart_areas[several] <= 2.0).all()
    paged = tessaplan.atlas(points, triangles, max_chart_area=1.0,
                            resolution=128, texels_per_unit=40,
                            rotate=False)
    assert paged.texels_per_unit == 40
    assert paged.pages > 1
    assert paged.page.shape == (len(triangles),)
    assert set(numpy.unique(paged.page)) == set(range(paged.pages))
    assert paged.check["valid"]
    for page in range(paged.pages):
        on_page = paged.page == page
        check = tessaplan.check_atlas(points, triangles[on_page],
                                      paged.corner_uv[on_page])
        assert check["valid"], (page, check)


def test_the_area_figure_counts_shrinking_and_growing_alike():
    points, triangles = octahedron_sphere(3)
    result = tessaplan.atlas(points, triangles)
    corners = numpy.asarray(points, dtype=float)[triangles]
    area_3d = numpy.linalg.norm(numpy.cross(corners[:, 1] - corners[:, 0],
                                            corners[:, 2] - corners[:, 0]),
                                axis=1)
    edges = result.corner_uv[:, 1:] - result.corner_uv[:, :1]
    area_2d = numpy.abs(numpy.cross(edges[:, 0], edges[:, 1]))
    a = (area_2d / area_2d.sum()) / (area_3d / area_3d.sum())
    ratios = numpy.sort(numpy.maximum(a, 1 / a))
    p95 = ratios[(95 * len(ratios) + 99) // 100 - 1]
    assert result.area_p95 == pytest.approx(p95, rel=1e-9)
    assert 1 <= result.area_p95 <= 2
    assert (result.chart_area_p95 <= 2).all()


def test_no_chart_crosses_a_given_seam():
    # A cube cut round its middle: the faces' upper and lower halves never
    # share a chart, so their edge has two images at each end.
    points = numpy.array([[x, y, z] for z in (0, 0.5, 1)
                          for y in (0, 1) for x in (0, 1)], dtype=float)
    # Vertex (x, y, z) is 4 * layer + 2 * y + x; the ring at layer 1.
    quads = [[0, 2, 3, 1], [8, 9, 11, 10]]
    for layer in (0, 1):
        b = 4 * layer
        for a, c in ((0, 1), (1, 3), (3, 2), (2, 0)):
            quads.append([b + a, b + c, b + c + 4, b + a + 4])
    triangles = numpy.array([[q[0], q[1], q[2]] for q in quads] +
                            [[q[0], q[2], q[3]] for q in quads])
    ring = [[4, 5], [5, 7], [7, 6], [6, 4]]
    result = tessaplan.atlas(points, triangles, seams=ring)
    assert result.check["valid"]
    for a, b in ring:
        sides = [t for t, tri in enumerate(triangles)
                 if a in tri and b in tri]
        assert len(sides) == 2
        images = [tuple(result.corner_uv[t][list(triangles[t]).index(v)])
                  for t in sides for v in (a, b)]
        assert images[:2] != images[2:]
    with pytest.raises(ValueError, match="is not an edge"):
        tessaplan.atlas(points, triangles, seams=[[0, 11]])


def test_the_islands_of_a_map_become_the_charts():
    # The cube's six faces, each laid on its own square of the map: six
    # islands, so six charts, each flattened again (a square).
    points, triangles = cube()
    corner_uv = numpy.zeros((12, 3, 2))
    for t, triangle in enumerate(triangles):
        face = t // 2
        square = {v: k for k, v in enumerate(
            [triangles[2 * face][0], triangles[2 * face][1],
             triangles[2 * face][2], triangles[2 * face + 1][2]])}
        offsets = [(0, 0), (1, 0), (1, 1), (0, 1)]
        for k, v in enumerate(triangle):
            u, w = offsets[square[v]]
            corner_uv[t, k] = (2 * face + u, w)
    seams = tessaplan.uv_seams(points, triangles, corner_uv)
    assert seams.dtype == numpy.int64 and seams.shape == (12, 2)
    result = tessaplan.atlas(points, triangles, charts_from_uv=corner_uv)
    assert result.check["valid"]
    assert result.chart_source == ["given"] * 6
    assert list(result.chart) == [t // 2 for t in range(12)]
    assert result.seam_edges == 12
    # The same seams given as edges: charts end there too.
    cut = tessaplan.atlas(points, triangles, seams=seams)
    assert len(set(zip(cut.chart[0::2], cut.chart[1::2]))) >= 6
    with pytest.raises(ValueError, match="seams do not apply"):
        tessaplan.atlas(points, triangles, seams=seams,
                        charts_from_uv=corner_uv)
    with pytest.raises(ValueError, match="shape"):
        tessaplan.atlas(points, triangles, charts_from_uv=corner_uv[:5])
    corner_uv[3, 1, 0] = numpy.nan
    with pytest.raises(ValueError, match="not finite"):
        tessaplan.atlas(points, triangles, charts_from_uv=corner_uv)
