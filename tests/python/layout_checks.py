"""Checks on 2D layouts of surfaces in several parts, shared by the Python
tests and the command's tests."""

import numpy as np


def boxes(uv, vertex_ids):
    """Per part (a list of vertex ids), the lower and the upper corner of
    its bounding box in the layout `uv`."""
    return (np.array([uv[ids].min(axis=0) for ids in vertex_ids]),
            np.array([uv[ids].max(axis=0) for ids in vertex_ids]))


def overlapping_pairs(lows, highs):
    """The pairs of boxes whose interiors overlap."""
    overlap = ((lows[:, None] < highs[None]) &
               (lows[None] < highs[:, None])).all(axis=2)
    return np.argwhere(np.triu(overlap, 1)).tolist()


def box_fill(uv, vertex_ids):
    """The parts' box areas over the area of the smallest square at the
    layout's lower corner that holds them all."""
    lows, highs = boxes(uv, vertex_ids)
    side = (highs.max(axis=0) - lows.min(axis=0)).max()
    return np.prod(highs - lows, axis=1).sum() / side ** 2
