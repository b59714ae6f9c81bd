"""Surfaces in several pieces through tessaplan.flatten and
tessaplan.measure_distortion: each piece keeps its size, collapse is seen,
pack=True lays the pieces out without overlap."""

import numpy as np
import pytest

import tessaplan
from layout_checks import box_fill, boxes, overlapping_pairs


def curved_grid(columns, rows, width=1.0, shift=(0.0, 0.0)):
    """A curved height field over [0, width] x [0, width * rows / columns],
    moved by `shift` in x and y; two triangles per cell."""
    height = width * (rows - 1) / (columns - 1)
    xx, yy = np.meshgrid(np.linspace(0.0, width, columns),
                         np.linspace(0.0, height, rows))
    zz = 0.2 * width * np.sin(3.0 * xx / width) * np.cos(2.0 * yy / width)
    points = np.stack([xx + shift[0], yy + shift[1], zz],
                      axis=-1).reshape(-1, 3)
    ids = np.arange(columns * rows).reshape(rows, columns)
    a, b = ids[:-1, :-1].ravel(), ids[:-1, 1:].ravel()
    c, d = ids[1:, 1:].ravel(), ids[1:, :-1].ravel()
    triangles = np.concatenate([np.stack([a, b, c], axis=1),
                                np.stack([a, c, d], axis=1)])
    return points, triangles


def merged(parts):
    """One surface from several (points, triangles) parts, and per part
    the ids of its vertices."""
    points, triangles, vertex_ids = [], [], []
    first = 0
    for part_points, part_triangles in parts:
        points.append(part_points)
        triangles.append(part_triangles + first)
        vertex_ids.append(np.arange(first, first + len(part_points)))
        first += len(part_points)
    return np.vstack(points), np.vstack(triangles), vertex_ids


def small_pieces(count=47):
    """`count` small curved grids of assorted sizes and shapes in a row."""
    rng = np.random.default_rng(47)
    parts = []
    for k in range(count):
        columns, rows = rng.integers(3, 7, size=2)
        parts.append(curved_grid(columns, rows, width=rng.uniform(0.2, 1.5),
                                 shift=(2.0 * k, 0.0)))
    return merged(parts)


def edge_lengths(uv, triangles):
    corners = uv[triangles]
    return np.linalg.norm(corners - np.roll(corners, 1, axis=1), axis=2)


class TestPiecesKeepTheirSize:
    def test_two_curved_grids_side_by_side_keep_their_size(self):
        points, triangles, vertex_ids = merged(
            [curved_grid(50, 50), curved_grid(50, 50, shift=(1.5, 0.2))])
        uv = tessaplan.flatten(points, triangles)
        for ids in vertex_ids:
            extent = uv[ids].max(axis=0) - uv[ids].min(axis=0)
            # A unit square bent a little: about 1 across, not ~1e-8.
            assert (extent > 0.8).all() and (extent < 1.3).all(), extent
        pieces = tessaplan.measure_distortion(
            points, triangles, uv)["summary"]["pieces"]
        assert pieces["count"] == 2
        np.testing.assert_allclose(pieces["area_ratio"], 1.0, rtol=0.3)
        assert not pieces["collapsed"].any()

    def test_forty_seven_small_pieces_flatten_without_collapse(self):
        points, triangles, vertex_ids = small_pieces()
        result = tessaplan.measure_distortion(points, triangles)
        summary = result["summary"]
        assert summary["pieces"]["count"] == 47
        assert summary["collapsed_triangles"] == 0
        assert not result["collapsed"].any()
        assert not summary["pieces"]["collapsed"].any()
        assert (summary["pieces"]["area_ratio"] > 0.5).all()
        assert summary["flipped_triangles"] == 0
        # The pieces are numbered in the order of their lowest triangles.
        per_piece = [len(ids) for ids in vertex_ids]
        assert result["piece"].dtype == np.uint32
        assert np.bincount(result["piece"]).tolist() == \
            summary["pieces"]["triangles"].tolist()
        assert len(per_piece) == 47


class TestPlantedCollapse:
    def test_a_piece_shrunk_to_nothing_is_collapsed(self):
        points, triangles, vertex_ids = merged(
            [curved_grid(6, 5), curved_grid(6, 5, shift=(2.0, 0.0))])
        uv = tessaplan.flatten(points, triangles)
        second = vertex_ids[1]
        for scale, collapsed in ((1e-5, False), (1e-7, True)):
            planted = uv.copy()
            planted[second] = uv[second] * scale
            result = tessaplan.measure_distortion(points, triangles, planted)
            pieces = result["summary"]["pieces"]
            ratio = (tessaplan.measure_distortion(points, triangles, uv)
                     ["summary"]["pieces"]["area_ratio"][1])
            assert pieces["area_ratio"][1] == pytest.approx(
                ratio * scale ** 2, rel=1e-9)
            assert pieces["collapsed"].tolist() == [False, collapsed]
            assert result["collapsed"].tolist() == \
                [collapsed and p == 1 for p in result["piece"]]
            assert pieces["collapsed_triangles"][1] == \
                (len(triangles) // 2 if collapsed else 0)
            assert not pieces["closed"].any()
            assert pieces["border_edges"].tolist() == [18, 18]

    def test_reversed_input_triangle_is_not_flipped(self):
        # A flat strip with its third triangle stored the other way round.
        points = np.array([[0, 0, 0], [1, 0, 0], [1, 1, 0], [0, 1, 0],
                           [2, 0, 0], [2, 1, 0]], dtype=float)
        triangles = [[0, 1, 2], [0, 2, 3], [1, 5, 4], [1, 5, 2]]
        result = tessaplan.measure_distortion(points, triangles)
        assert result["summary"]["flipped_triangles"] == 0
        assert result["summary"]["conformal"]["max"] == pytest.approx(1.0)


class TestPack:
    def test_packed_pieces_do_not_overlap_and_move_rigidly(self):
        points, triangles, vertex_ids = small_pieces()
        loose = tessaplan.flatten(points, triangles)
        packed = tessaplan.flatten(points, triangles, pack=True)
        assert packed.shape == loose.shape
        assert overlapping_pairs(*boxes(packed, vertex_ids)) == []
        assert packed.min() == pytest.approx(0.0, abs=1e-12)
        np.testing.assert_allclose(edge_lengths(packed, triangles),
                                   edge_lengths(loose, triangles),
                                   rtol=1e-9, atol=1e-12)
        # Rigid motions without mirroring keep every measure.
        before = tessaplan.measure_distortion(points, triangles, loose)
        after = tessaplan.measure_distortion(points, triangles, packed)
        np.testing.assert_allclose(after["signed_image_area"],
                                   before["signed_image_area"], rtol=1e-9)
        # Tight: the pieces' boxes fill most of the bounding square.
        assert box_fill(packed, vertex_ids) >= 0.6

    def test_pack_must_be_a_bool(self):
        points, triangles = curved_grid(4, 4)
        with pytest.raises(TypeError, match="pack must be a bool"):
            tessaplan.flatten(points, triangles, pack="yes")
