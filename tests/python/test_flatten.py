"""tessaplan.flatten: arrays in, the flat positions out."""

import math
import warnings

import numpy as np
import pytest

import tessaplan


def grid_triangles(columns, rows):
    """Two triangles per cell of a grid of columns x rows vertices."""
    ids = np.arange(columns * rows).reshape(rows, columns)
    a, b = ids[:-1, :-1].ravel(), ids[:-1, 1:].ravel()
    c, d = ids[1:, 1:].ravel(), ids[1:, :-1].ravel()
    return np.concatenate(
        [np.stack([a, b, c], axis=1),
         np.stack([a, c, d], axis=1)])


def cylinder_patch(columns, rows):
    """A grid on the unit cylinder, two triangles per cell. A cylinder
    unrolls into the plane without stretching, so its conformal map keeps
    every angle and scales every length alike."""
    u = np.linspace(0.0, 2.0, columns)
    v = np.linspace(0.0, 1.5, rows)
    uu, vv = np.meshgrid(u, v)
    points = np.stack([np.cos(uu), np.sin(uu), vv], axis=-1).reshape(-1, 3)
    return points, grid_triangles(columns, rows)


def saddle(columns, rows):
    """A grid on the saddle z = 0.6 x y - 0.4 x^2 over [0, 1]^2, which no
    map into the plane keeps conformal."""
    xx, yy = np.meshgrid(np.linspace(0.0, 1.0, columns),
                         np.linspace(0.0, 1.0, rows))
    zz = 0.6 * xx * yy - 0.4 * xx * xx
    points = np.stack([xx, yy, zz], axis=-1).reshape(-1, 3)
    return points, grid_triangles(columns, rows)


def similarity_misfit(expected, actual):
    """How far `actual` is from the nearest image of `expected` under a
    similarity of the plane (w = alpha z + beta in complex numbers), as a
    fraction of the extent of `actual`."""
    z = expected[:, 0] + 1j * expected[:, 1]
    w = actual[:, 0] + 1j * actual[:, 1]
    design = np.stack([z, np.ones_like(z)], axis=1)
    coefficients = np.linalg.lstsq(design, w, rcond=None)[0]
    return np.abs(design @ coefficients - w).max() / np.ptp(np.abs(w - w[0]))


def corner_angles(points, triangles):
    """The three corner angles of every triangle, in 2D or 3D."""
    if points.shape[1] == 2:
        points = np.hstack([points, np.zeros((len(points), 1))])
    corners = points[triangles]
    angles = []
    for k in range(3):
        origin = corners[:, k]
        u = corners[:, (k + 1) % 3] - origin
        w = corners[:, (k + 2) % 3] - origin
        angles.append(
            np.arctan2(np.linalg.norm(np.cross(u, w), axis=1),
                       np.einsum("ij,ij->i", u, w)))
    return np.stack(angles, axis=1)


def edge_length_ratios(points, flat, triangles):
    first, second = triangles[:, 0], triangles[:, 1]
    return (np.linalg.norm(flat[second] - flat[first], axis=1) /
            np.linalg.norm(points[second] - points[first], axis=1))


def test_unit_square_exact():
    flat = tessaplan.flatten([[0, 0, 0], [1, 0, 0], [1, 1, 0], [0, 1, 0]],
                             [[0, 1, 2], [0, 2, 3]])
    a = 1.0 / math.sqrt(2.0)
    assert flat.dtype == np.float64
    assert np.array_equal(flat, [[0, 0], [a, -a], [a + a, 0], [a, a]])


def test_cylinder_unrolls_into_a_similar_copy():
    points, triangles = cylinder_patch(30, 20)
    flat = tessaplan.flatten(points, triangles)
    assert flat.shape == (len(points), 2)
    assert np.abs(corner_angles(points, triangles) -
                  corner_angles(flat, triangles)).max() < 1e-7
    ratios = edge_length_ratios(points, flat, triangles)
    assert ratios.max() - ratios.min() < 1e-7 * ratios.mean()


def test_true_size_keeps_every_length_of_a_developable_piece():
    points, triangles = cylinder_patch(30, 20)
    points = points * 50.0
    pinned = tessaplan.flatten(points, triangles)
    assert abs(edge_length_ratios(points, pinned, triangles).mean() - 1) > 0.01
    for pack in (False, True):
        flat = tessaplan.flatten(points, triangles, pack=pack, scale="area")
        ratios = edge_length_ratios(points, flat, triangles)
        assert np.abs(ratios - 1).max() < 1e-9
    report = tessaplan.flatten_with_report(points, triangles, scale="area")
    pieces = report.summary["pieces"]
    assert pieces["area_ratio"][0] == pytest.approx(1, abs=1e-12)
    assert pieces["length_scale"][0] == pytest.approx(1, abs=1e-12)


def test_pins_place_a_developable_piece_exactly_where_they_say():
    points, triangles = cylinder_patch(12, 9)
    flat = tessaplan.flatten(points, triangles)
    # A similarity of the pinned map: pins that agree with it, two or three,
    # give that similarity of the whole map.
    turn = np.array([[0.6, -0.8], [0.8, 0.6]]) * 2.5
    moved = flat @ turn.T + [10.0, -4.0]
    for ids in ([5, 100], [5, 100, 57]):
        pinned = tessaplan.flatten(points, triangles, pins=(ids, moved[ids]))
        assert np.array_equal(pinned[ids], moved[ids])
        assert np.abs(pinned - moved).max() < 1e-9 * np.abs(moved).max()
    # One pin: the piece gets a second one of its own choosing, and the
    # given vertex stays put.
    one = tessaplan.flatten(points, triangles, pins=([40], [[3.0, 4.0]]))
    assert one[40].tolist() == [3.0, 4.0]


@pytest.mark.parametrize("pins, error, match", [
    (([0, 500], [[0, 0], [1, 1]]), ValueError, "Pin 1 names vertex 500"),
    (([0, 1], [[0, 0], [0, np.inf]]), ValueError, "Pin 1 has a position"),
    (([3, 4, 3], [[0, 0], [1, 0], [2, 0]]), ValueError,
     "Pin 2 gives vertex 3 another position than pin 0"),
    (([3, 4], [[1, 1], [1, 1]]), ValueError, "Pin 1 lies at the position"),
    (([3, 4], [[1, 1]]), ValueError, "shapes"),
    (([-1], [[1, 1]]), ValueError, "from 0"),
    (([0.5], [[1, 1]]), TypeError, "integers"),
    ((0, 1, 2), TypeError, "pair"),
    ("ab", TypeError, "pair"),
    (([0], [["a", "b"]]), TypeError, "real numbers")])
def test_bad_pins_are_refused_by_name(pins, error, match):
    with pytest.raises(error, match=match):
        tessaplan.flatten(*cylinder_patch(5, 5), pins=pins)


def test_arap_keeps_lengths_where_lscm_keeps_angles():
    points, triangles = cylinder_patch(20, 12)
    points = points * 50.0
    report = tessaplan.flatten_with_report(points, triangles, method="arap")
    assert report.arap_converged and report.arap_iterations > 0
    ratios = edge_length_ratios(points, report.uv, triangles)
    assert np.abs(ratios - 1).max() < 1e-6
    assert report.summary["length"]["max"] == pytest.approx(1, abs=1e-6)
    # On a saddle no map keeps lengths: ARAP stretches less than the
    # conformal map at its true size.
    points, triangles = saddle(25, 25)
    points[:, 2] *= 3
    arap = tessaplan.measure_distortion(
        points, triangles,
        tessaplan.flatten(points, triangles, method="arap"))
    conformal = tessaplan.measure_distortion(
        points, triangles,
        tessaplan.flatten(points, triangles, scale="area"))
    assert not arap["flipped"].any()
    assert (arap["summary"]["length"]["p95"] <
            conformal["summary"]["length"]["p95"])
    assert np.array_equal(arap["length"],
                          np.maximum(arap["sigma1"], 1 / arap["sigma2"]))
    with pytest.raises(ValueError, match="Pins apply to the LSCM method"):
        tessaplan.flatten(points, triangles, method="arap",
                          pins=([0, 1], [[0, 0], [1, 0]]))


def tube(columns, rows):
    """A tube round the z axis, closed round and open at both ends: vertex
    j * columns + i, and the edges of its generator line i = 0."""
    angles = 2 * np.pi * np.arange(columns) / columns
    points = np.array([[np.cos(a), np.sin(a), 0.5 * j]
                       for j in range(rows) for a in angles])
    triangles = []
    for j in range(rows - 1):
        for i in range(columns):
            a, b = j * columns + i, j * columns + (i + 1) % columns
            triangles += [[a, b, b + columns], [a, b + columns, a + columns]]
    line = [[j * columns, (j + 1) * columns] for j in range(rows - 1)]
    return points, np.array(triangles), line


def test_seams_open_a_tube_into_a_rectangle_per_corner():
    points, triangles, line = tube(20, 5)
    with pytest.raises(tessaplan.FlatteningError):
        tessaplan.flatten(points, triangles)
    corners = tessaplan.flatten(points, triangles, seams=line, scale="area")
    assert corners.shape == (len(triangles), 3, 2)
    # Every edge keeps its length, and the seam's vertices have two images.
    for k in range(3):
        a, b = triangles[:, k], triangles[:, (k + 1) % 3]
        flat = np.linalg.norm(corners[:, (k + 1) % 3] - corners[:, k], axis=1)
        assert np.allclose(flat, np.linalg.norm(points[b] - points[a], axis=1),
                           rtol=1e-9)
    images = {tuple(corners[t, k]) for t, k in zip(*np.nonzero(triangles == 0))}
    assert len(images) == 2
    report = tessaplan.flatten_with_report(points, triangles, seams=line)
    assert report.summary["flipped_triangles"] == 0
    assert report.uv.shape == (len(triangles), 3, 2)


@pytest.mark.parametrize("seams, error, match", [
    ([[0, 55]], ValueError, "Seam 0 \\(0, 55\\) is not an edge"),
    ([[0, 500]], ValueError, "beyond the surface"),
    ([0, 1], ValueError, "\\(k, 2\\)"),
    ([[-1, 0]], ValueError, "from 0"),
    ([[0.5, 1]], TypeError, "integer")])
def test_bad_seams_are_refused(seams, error, match):
    points, triangles, _ = tube(20, 5)
    with pytest.raises(error, match=match):
        tessaplan.flatten(points, triangles, seams=seams)


@pytest.mark.parametrize("method, error", [
    ("ARAP", ValueError), ("", ValueError), (None, TypeError)])
def test_bad_method_is_refused(method, error):
    with pytest.raises(error, match="method"):
        tessaplan.flatten(*saddle(3, 3), method=method)


@pytest.mark.parametrize("scale, error", [
    ("true", ValueError), ("", ValueError), (None, TypeError),
    (1.0, TypeError)])
def test_bad_scale_is_refused(scale, error):
    with pytest.raises(error, match="scale"):
        tessaplan.flatten(*saddle(3, 3), scale=scale)


class TestCoordinatesAtTheEndsOfTheRange:
    """LSCM fixes its map up to a similarity only: a copy's map is compared
    with the nearest similar image of the original's."""

    # At 2^-1040 the coordinates are subnormal and keep about 34 bits.
    @pytest.mark.parametrize("scale, tolerance", [
        (1e80, 1e-12), (1e-80, 1e-12), (1e300, 1e-12), (1e-300, 1e-12),
        (2.0**-1040, 1e-8)])
    def test_scaled_copy_flattens_alike(self, scale, tolerance):
        points, triangles = saddle(8, 7)
        original = tessaplan.flatten(points, triangles)
        flat = tessaplan.flatten(points * scale, triangles)
        assert np.isfinite(flat).all()
        assert similarity_misfit(original, flat) < tolerance

    def test_copy_far_from_the_origin_is_not_collapsed(self):
        # At 1e16 the coordinates are rounded to multiples of 2, and the
        # solver's tolerance applies to the positions, not to the extent:
        # only a rough likeness can be asked for.
        points, triangles = saddle(8, 7)
        original = tessaplan.flatten(points, triangles)
        flat = tessaplan.flatten(points * 1e4 + 1e16, triangles)
        assert np.ptp(flat, axis=0) == pytest.approx(
            1e4 * np.ptp(original, axis=0), rel=0.1)
        assert similarity_misfit(original, flat) < 0.1


def test_validation_comes_from_the_surface_builder():
    with pytest.raises(ValueError, match="triangles row 1 names vertex 3"):
        tessaplan.flatten([[0, 0, 0], [1, 0, 0], [0, 1, 0]],
                          [[0, 1, 2], [0, 2, 3]])
    with pytest.raises(ValueError, match="points must have shape"):
        tessaplan.flatten([[0, 0], [1, 0], [0, 1]], [[0, 1, 2]])
    with pytest.raises(TypeError, match="triangles must hold integers"):
        tessaplan.flatten([[0, 0, 0], [1, 0, 0], [0, 1, 0]],
                          [[0.0, 1.0, 2.0]])


def test_library_failure_is_a_runtime_error():
    with pytest.raises(RuntimeError, match=r"^\[LSCM::"):
        tessaplan.flatten(np.empty((0, 3)), np.empty((0, 3), dtype=int))


def test_hundred_thousand_triangles():
    points, triangles = cylinder_patch(224, 224)
    assert len(triangles) > 99000
    flat = tessaplan.flatten(points, triangles)
    assert np.abs(corner_angles(points, triangles) -
                  corner_angles(flat, triangles)).max() < 1e-6


def closed_tetrahedron(shift=0.0):
    points = np.array([(0, 0, 0), (1, 0.1, 0), (0.3, 0.9, 0.2),
                       (0.4, 0.3, 0.8)]) + [shift, 0, 0]
    return points, np.array([[0, 2, 1], [0, 1, 3], [1, 2, 3], [2, 0, 3]])


def ruffled_disc(amplitude=4.0, segments=16):
    """A disc whose angles at the centre add up to far more than a turn:
    its conformal map folds."""
    points = [(0.0, 0.0, 0.0)]
    for ring in (1, 2):
        for s in range(segments):
            azimuth = 2.0 * math.pi * s / segments
            height = amplitude * (-1) ** s if ring == 1 else 0.0
            points.append((ring * math.cos(azimuth),
                           ring * math.sin(azimuth), height))
    triangles = [[0, 1 + s, 1 + (s + 1) % segments] for s in range(segments)]
    for s in range(segments):
        t = (s + 1) % segments
        triangles.append([1 + s, 1 + segments + s, 1 + segments + t])
        triangles.append([1 + s, 1 + segments + t, 1 + t])
    return np.array(points), np.array(triangles)


def test_a_closed_piece_is_an_error_naming_it():
    open_points, open_triangles = saddle(5, 5)
    closed_points, closed_triangles = closed_tetrahedron(shift=3.0)
    points = np.vstack([open_points, closed_points])
    triangles = np.vstack([open_triangles, closed_triangles + 25])
    with pytest.raises(tessaplan.FlatteningError,
                       match=r"piece 1 of 2 .*closed.*tessaplan\.atlas"):
        tessaplan.flatten(points, triangles)
    # A RuntimeError too, as library failures were before.
    with pytest.raises(RuntimeError):
        tessaplan.measure_distortion(points, triangles)


def test_a_fold_warns_raises_or_passes_as_asked():
    points, triangles = ruffled_disc()
    with pytest.warns(tessaplan.TessaplanWarning,
                      match=r"folds over itself: \d+ of 48 triangles"):
        warned = tessaplan.flatten(points, triangles)
    with pytest.raises(tessaplan.FlatteningError, match="folds over itself"):
        tessaplan.flatten(points, triangles, on_fold="raise")
    with warnings.catch_warnings():
        warnings.simplefilter("error")
        ignored = tessaplan.flatten(points, triangles, on_fold="ignore")
        # A map that does not fold warns of nothing.
        tessaplan.flatten(*saddle(6, 6), on_fold="raise")
    np.testing.assert_array_equal(warned, ignored)


@pytest.mark.parametrize("on_fold, error", [
    ("never", ValueError), ("", ValueError), (None, TypeError),
    (True, TypeError)])
def test_bad_on_fold_is_refused(on_fold, error):
    with pytest.raises(error, match="on_fold"):
        tessaplan.flatten(*saddle(3, 3), on_fold=on_fold)


def test_copies_and_repeated_corners_are_left_out_with_a_warning():
    points, triangles = saddle(7, 7)
    clean = tessaplan.flatten(points, triangles)
    # A double-sided face, and a quad of split vertices whose last corner
    # repeats its first.
    doubled = np.vstack([triangles, triangles[20][::-1]])
    with pytest.warns(tessaplan.TessaplanWarning,
                      match=r"^1 triangle\(s\) repeat the vertices"):
        uv = tessaplan.flatten(points, doubled)
    np.testing.assert_array_equal(uv, clean)

    quad = points[[9, 10, 17, 9]]
    split = np.vstack([points, quad])
    n = len(points)
    with_quad = np.vstack([triangles, [[n, n + 1, n + 2], [n, n + 2, n + 3]]])
    with pytest.warns(tessaplan.TessaplanWarning,
                      match=r"^1 triangle\(s\) with corners at fewer"):
        uv = tessaplan.flatten(split, with_quad, on_fold="ignore")
    assert np.isfinite(uv).all()
    np.testing.assert_array_equal(uv[n + 3], uv[n])
    with pytest.warns(tessaplan.TessaplanWarning):
        distortion = tessaplan.measure_distortion(split, with_quad)
    assert len(distortion["conformal"]) == len(with_quad)


def test_threads_flatten_at_once_with_the_serial_results():
    # The computation runs without the interpreter lock; each thread's
    # result is the one a serial call gives.
    import threading
    shapes = [cylinder_patch(40 + 10 * k, 30) for k in range(4)]
    serial = [tessaplan.flatten(*shape) for shape in shapes]
    results = [None] * len(shapes)

    def work(k):
        results[k] = tessaplan.flatten(*shapes[k])

    threads = [threading.Thread(target=work, args=(k,))
               for k in range(len(shapes))]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    for expected, actual in zip(serial, results):
        np.testing.assert_array_equal(expected, actual)


def test_packing_that_collapses_a_piece_raises():
    # A piece 1e18 times smaller than its neighbour rounds to one point
    # once laid out beside it: the packed map is measured, and refused.
    points, triangles = saddle(5, 5)
    both = np.vstack([points * 1e-13, points * 1e5 + [5e5, 0, 0]])
    pair = np.vstack([triangles, triangles + len(points)])
    assert np.isfinite(tessaplan.flatten(both, pair)).all()
    with pytest.raises(tessaplan.FlatteningError, match="collapsed"):
        tessaplan.flatten(both, pair, pack=True)


def test_the_package_says_its_version():
    import re
    assert re.fullmatch(r"\d+\.\d+\.\d+", tessaplan.__version__)


def test_the_report_form_returns_the_map_with_its_figures():
    points, triangles = saddle(7, 7)
    doubled = np.vstack([triangles, triangles[20][::-1]])
    with pytest.warns(tessaplan.TessaplanWarning):
        result = tessaplan.flatten_with_report(points, doubled)
    np.testing.assert_array_equal(result.uv,
                                  tessaplan.flatten(points, triangles))
    assert result.duplicate_triangles == 1
    assert result.repeated_corner_triangles == 0
    assert result.left_out.tolist() == [False] * len(triangles) + [True]
    assert result.summary["pieces"]["count"] == 1
    assert result.summary["flipped_triangles"] == 0
    assert len(result.warnings) == 1 and "repeat" in result.warnings[0]
    assert result.pack_fill == 0
    packed = tessaplan.flatten_with_report(points, triangles, pack=True)
    assert 0 < packed.pack_fill <= 1
