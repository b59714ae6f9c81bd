"""tessaplan.flatten: arrays in, the flat positions out."""

import math

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
