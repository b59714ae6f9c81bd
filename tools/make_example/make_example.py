#!/usr/bin/python3
"""Writes the bundled example surface: a wavy saddle over the unit disk.

The disk is triangulated in concentric rings (ring k holds 6k vertices), so
the triangles are close to equilateral in the plane; the height field
z = 0.35 (x^2 - y^2) + 0.08 sin(4x) cos(3y) curves them into a surface that
cannot be flattened without distortion, but has one border and no fold.

Usage: make_example.py [OUTPUT.obj] [--rings N]
"""

import argparse
import math
import sys

import numpy as np


def ring_points(rings):
    """Vertex positions in the plane and the first vertex id of each ring."""
    points = [(0.0, 0.0)]
    starts = [0]
    for k in range(1, rings + 1):
        starts.append(len(points))
        count = 6 * k
        # A half-step twist per ring keeps the triangles between rings
        # symmetric.
        angles = (np.arange(count) + 0.5 * (k % 2)) * (2.0 * math.pi / count)
        radius = k / rings
        points.extend(zip(radius * np.cos(angles), radius * np.sin(angles)))
    return np.array(points), starts


def zip_rings(inner, outer, inner_angles, outer_angles):
    """Triangles between two closed rings of vertex ids, turning
    counter-clockwise: walks both rings by angle, each time advancing on the
    ring whose next vertex comes first."""
    triangles = []
    i = j = 0
    n, m = len(inner), len(outer)
    while i < n or j < m:
        next_inner = inner_angles[(i + 1) % n] + (
            2 * math.pi if i + 1 >= n else 0)
        next_outer = outer_angles[(j + 1) % m] + (
            2 * math.pi if j + 1 >= m else 0)
        if j < m and (i >= n or next_outer <= next_inner):
            triangles.append((inner[i % n], outer[j % m], outer[(j + 1) % m]))
            j += 1
        else:
            triangles.append((inner[i % n], outer[j % m], inner[(i + 1) % n]))
            i += 1
    return triangles


def disk_triangles(points, starts, rings):
    angles = np.arctan2(points[:, 1], points[:, 0]) % (2 * math.pi)
    triangles = []
    first = list(range(starts[1], starts[1] + 6))
    for a in range(6):
        triangles.append((0, first[a], first[(a + 1) % 6]))
    for k in range(1, rings):
        inner = list(range(starts[k], starts[k] + 6 * k))
        outer = list(range(starts[k + 1], starts[k + 1] + 6 * (k + 1)))
        # Start both walks at the vertex of smallest angle.
        inner = rotate_to_smallest(inner, angles)
        outer = rotate_to_smallest(outer, angles)
        triangles.extend(zip_rings(inner, outer, unwrap(angles[inner]),
                                   unwrap(angles[outer])))
    return triangles


def rotate_to_smallest(ring, angles):
    start = int(np.argmin(angles[ring]))
    return ring[start:] + ring[:start]


def unwrap(ring_angles):
    """Angles made increasing along the ring, from the first one."""
    result = np.array(ring_angles, dtype=float)
    for index in range(1, len(result)):
        while result[index] < result[index - 1]:
            result[index] += 2 * math.pi
    return result


def height(x, y):
    return 0.35 * (x * x - y * y) + 0.08 * np.sin(4 * x) * np.cos(3 * y)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("output", nargs="?", default="examples/wavy_saddle.obj")
    parser.add_argument("--rings", type=int, default=30)
    arguments = parser.parse_args()
    if arguments.rings < 1:
        sys.exit("make_example.py: --rings must be at least 1")

    points, starts = ring_points(arguments.rings)
    triangles = disk_triangles(points, starts, arguments.rings)
    z = height(points[:, 0], points[:, 1])
    with open(arguments.output, "w", encoding="ascii") as out:
        out.write("# Wavy saddle over the unit disk: z = 0.35 (x^2 - y^2) "
                  "+ 0.08 sin(4x) cos(3y)\n")
        out.write("# %d vertices, %d triangles; written by "
                  "tools/make_example/make_example.py\n"
                  % (len(points), len(triangles)))
        for (x, y), height_value in zip(points, z):
            out.write("v %.6f %.6f %.6f\n" % (x, y, height_value))
        for a, b, c in triangles:
            out.write("f %d %d %d\n" % (a + 1, b + 1, c + 1))


if __name__ == "__main__":
    main()
