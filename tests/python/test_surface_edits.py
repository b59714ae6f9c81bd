"""Edits of a surface from Python: clone, delete, permute and split, with
the vertex attributes following every edit."""

import copy

import numpy as np
import pytest

import velmora_py_mesh as vm
import tessaplan_py_surface as ts


def grid(nx=4, ny=3, dimension=3):
    """A grid of nx by ny cells, two counter-clockwise triangles per cell,
    on the curved sheet z = 0.2 x y - 0.1 x^2 (or its plane in 2D)."""
    points = []
    for j in range(ny + 1):
        for i in range(nx + 1):
            x, y = 0.5 * i, 0.5 * j
            points.append([x, y, 0.2 * x * y - 0.1 * x * x][:dimension])
    triangles = []
    for j in range(ny):
        for i in range(nx):
            v = j * (nx + 1) + i
            triangles.append([v, v + 1, v + nx + 2])
            triangles.append([v, v + nx + 2, v + nx + 1])
    surface_type = (vm.TriangulatedSurface3D
                    if dimension == 3 else vm.TriangulatedSurface2D)
    return surface_type.from_arrays(np.array(points), np.array(triangles))


def adjacency(surface):
    return [[surface.polygon_adjacent(t, e) for e in range(3)]
            for t in range(surface.nb_polygons())]


def expect_adjacency_as_recomputed(surface):
    """The adjacency equals that of a surface built anew from the same
    arrays."""
    fresh = type(surface).from_arrays(surface.points(), surface.triangles())
    assert adjacency(surface) == adjacency(fresh)


def state(surface):
    return (surface.points().tolist(), surface.triangles().tolist(),
            adjacency(surface), surface.vertex_attribute_names())


def uv_by_point(surface):
    """Every vertex's parameterization, keyed by its 3D point."""
    flat = ts.convert_surface3d_into_2d(surface, "uv")
    return {tuple(p): tuple(q) for p, q in zip(surface.points(),
                                               flat.points())}


class TestClone:

    @pytest.mark.parametrize("make_copy", [
        lambda s: s.clone(), copy.copy, copy.deepcopy])
    def test_copy_is_independent(self, make_copy):
        surface = grid()
        ts.compute_LSCM_parameterization(surface, "uv")
        before = state(surface)
        uv = uv_by_point(surface)
        duplicate = make_copy(surface)
        assert type(duplicate) is vm.TriangulatedSurface3D
        assert state(duplicate) == before
        assert uv_by_point(duplicate) == uv
        duplicate.delete_vertices(np.arange(duplicate.nb_vertices()) % 7 == 0)
        duplicate.split_edge(0, 0)
        ts.compute_LSCM_parameterization(duplicate, "other")
        assert state(surface) == before
        assert uv_by_point(surface) == uv


class TestDeleteVertices:

    def test_keeps_the_others_in_order(self):
        surface = grid()
        points = surface.points()
        triangles = surface.triangles()
        mask = np.zeros(surface.nb_vertices(), dtype=bool)
        mask[[0, 6, 19]] = True
        new_ids = surface.delete_vertices(mask)
        assert new_ids.dtype == np.int64
        assert new_ids[mask].tolist() == [-1, -1, -1]
        assert new_ids[~mask].tolist() == list(range(int((~mask).sum())))
        assert np.array_equal(surface.points(), points[~mask])
        kept = triangles[~mask[triangles].any(axis=1)]
        assert np.array_equal(surface.triangles(), new_ids[kept])
        expect_adjacency_as_recomputed(surface)

    def test_accepts_a_list_and_all_or_nothing(self):
        surface = grid(2, 2)
        before = state(surface)
        n = surface.nb_vertices()
        assert surface.delete_vertices([False] * n).tolist() == list(range(n))
        assert state(surface) == before
        assert surface.delete_vertices([True] * n).tolist() == [-1] * n
        assert surface.nb_vertices() == 0
        assert surface.nb_polygons() == 0
        assert surface.delete_vertices([]).tolist() == []

    @pytest.mark.parametrize("mask, error", [
        (np.zeros(14, dtype=bool), ValueError),
        (np.zeros(16, dtype=bool), ValueError),
        (np.zeros((15, 1), dtype=bool), ValueError),
        (np.zeros(15, dtype=np.int64), TypeError),
        (np.zeros(15), TypeError),
        ([], ValueError),
    ])
    def test_bad_masks_change_nothing(self, mask, error):
        surface = grid(4, 2)
        assert surface.nb_vertices() == 15
        before = state(surface)
        with pytest.raises(error, match="mask"):
            surface.delete_vertices(mask)
        assert state(surface) == before


class TestPermuteVertices:

    @pytest.mark.parametrize("dtype", [np.int32, np.int64, np.uint32,
                                       np.uint64])
    def test_points_and_corners_follow(self, dtype):
        surface = grid()
        points = surface.points()
        triangles = surface.triangles()
        links = adjacency(surface)
        order = np.random.default_rng(3).permutation(surface.nb_vertices())
        surface.permute_vertices(order.astype(dtype))
        assert np.array_equal(surface.points(), points[order])
        inverse = np.argsort(order)
        assert np.array_equal(surface.triangles(), inverse[triangles])
        assert adjacency(surface) == links

    @pytest.mark.parametrize("order, error, fragment", [
        ([0, 1, 2, 3, 4, 5, 6, 7], ValueError, "shape"),
        ([0, 1, 2, 3, 4, 5, 6, 7, 8, 9], ValueError, "shape"),
        ([0, 1, 2, 3, 4, 5, 6, 7, 7], ValueError, "permutation"),
        ([0, 1, 2, 3, 4, 5, 6, 7, 9], IndexError, "entry 8"),
        ([-1, 1, 2, 3, 4, 5, 6, 7, 0], IndexError, "entry 0"),
        ([0.0, 1, 2, 3, 4, 5, 6, 7, 8], TypeError, "integers"),
    ])
    def test_bad_orders_change_nothing(self, order, error, fragment):
        surface = grid(2, 2)
        before = state(surface)
        with pytest.raises(error, match=fragment):
            surface.permute_vertices(order)
        assert state(surface) == before


class TestSplits:

    def test_split_edge_cuts_both_sides(self):
        surface = grid(2, 2, dimension=2)
        points = surface.points()
        a, b = surface.triangles()[0][[2, 0]]
        assert surface.polygon_adjacent(0, 2) is not None
        m = surface.split_edge(0, 2)
        assert m == len(points)
        assert np.array_equal(surface.points()[m], (points[a] + points[b]) / 2)
        assert surface.nb_polygons() == 10
        expect_adjacency_as_recomputed(surface)

    def test_split_edge_on_the_border_cuts_one_triangle(self):
        surface = grid(1, 1)
        assert surface.polygon_adjacent(0, 0) is None
        surface.split_edge(0, 0)
        assert surface.nb_polygons() == 3
        expect_adjacency_as_recomputed(surface)

    def test_split_edge_of_three_triangles_links_the_two_left(self):
        # Three triangles on the edge 0-1: none is linked across it, and once
        # one is cut the other two are alone on it.
        points = [[0, 0, 0], [1, 0, 0], [0.5, 1, 0], [0.5, -1, 0],
                  [0.5, 0, 1]]
        surface = vm.TriangulatedSurface3D.from_arrays(
            points, [[0, 1, 2], [1, 0, 3], [0, 1, 4]])
        assert adjacency(surface) == [[None] * 3] * 3
        surface.split_edge(0, 0)
        assert surface.nb_polygons() == 4
        assert adjacency(surface)[1:3] == [[2, None, None], [1, None, None]]
        expect_adjacency_as_recomputed(surface)

    def test_split_triangle_makes_three(self):
        surface = grid(2, 1)
        corners = surface.triangles()[2]
        m = surface.split_triangle(2)
        assert surface.nb_polygons() == 6
        triangles = surface.triangles()
        assert triangles[2].tolist() == [corners[0], corners[1], m]
        assert triangles[4].tolist() == [corners[1], corners[2], m]
        assert triangles[5].tolist() == [corners[2], corners[0], m]
        expect_adjacency_as_recomputed(surface)

    def test_many_splits_keep_adjacency_and_orientation(self):
        surface = grid(3, 3, dimension=2)
        rng = np.random.default_rng(8)
        for step in range(60):
            t = int(rng.integers(surface.nb_polygons()))
            if step % 3 == 2:
                surface.split_triangle(t)
            else:
                surface.split_edge(t, int(rng.integers(3)))
        expect_adjacency_as_recomputed(surface)
        p = surface.points()[surface.triangles()]
        u, w = p[:, 1] - p[:, 0], p[:, 2] - p[:, 0]
        doubled_areas = u[:, 0] * w[:, 1] - u[:, 1] * w[:, 0]
        assert (doubled_areas > 0).all()
        assert doubled_areas.sum() == pytest.approx(2 * 1.5 * 1.5)

    @pytest.mark.parametrize("call", [
        lambda s: s.split_edge(s.nb_polygons(), 0),
        lambda s: s.split_edge(-1, 0),
        lambda s: s.split_edge(0, 3),
        lambda s: s.split_edge(0, -1),
        lambda s: s.split_triangle(s.nb_polygons()),
        lambda s: s.split_triangle(-1),
    ])
    def test_bad_ids_change_nothing(self, call):
        surface = grid(2, 1)
        before = state(surface)
        with pytest.raises(IndexError):
            call(surface)
        assert state(surface) == before


class TestParameterizationFollowsEdits:

    def test_every_vertex_keeps_its_own_point(self):
        surface = grid(7, 5)
        ts.compute_LSCM_parameterization(surface, "uv")
        original = uv_by_point(surface)
        assert len(set(original.values())) == surface.nb_vertices()

        surface.delete_vertices(np.arange(surface.nb_vertices()) % 5 == 0)
        surface.permute_vertices(
            np.random.default_rng(23).permutation(surface.nb_vertices()))
        for point, uv in uv_by_point(surface).items():
            assert uv == original[point]

        flat_before = ts.convert_surface3d_into_2d(surface, "uv").points()
        a, b = surface.triangles()[3][[0, 1]]
        m = surface.split_edge(3, 0)
        flat = ts.convert_surface3d_into_2d(surface, "uv").points()
        assert np.array_equal(flat[m],
                              flat_before[a] * 0.5 + flat_before[b] * 0.5)
        assert np.array_equal(flat[:m], flat_before)
