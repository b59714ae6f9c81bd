#!/usr/bin/python3
"""Writes the bundled closed example: a bumpy torus.

A torus of radii 1 and 0.4 whose tube swells and shrinks with the angle
around the axis, r = 0.4 (1 + 0.25 sin(5u) cos(2v)), triangulated as a
wrapped grid of cells split along alternating diagonals. It is closed and
has a handle, so it cannot be flattened in one piece: `tessaplan atlas`
cuts it into charts.

Usage: make_closed_example.py [OUTPUT.obj] [--cells N]
"""

import argparse
import math
import sys


def torus(cells):
    """Vertices and triangles of the bumpy torus, 2 cells around the tube
    for every 5 around the axis."""
    n, m = cells, max(3, (2 * cells) // 5)
    points = []
    for j in range(m):
        v = 2 * math.pi * j / m
        for i in range(n):
            u = 2 * math.pi * i / n
            r = 0.4 * (1 + 0.25 * math.sin(5 * u) * math.cos(2 * v))
            points.append(((1 + r * math.cos(v)) * math.cos(u),
                           (1 + r * math.cos(v)) * math.sin(u),
                           r * math.sin(v)))

    def vertex(i, j):
        return (j % m) * n + (i % n)

    triangles = []
    for j in range(m):
        for i in range(n):
            a, b = vertex(i, j), vertex(i + 1, j)
            c, d = vertex(i + 1, j + 1), vertex(i, j + 1)
            if (i + j) % 2 == 0:
                triangles += [(a, b, c), (a, c, d)]
            else:
                triangles += [(a, b, d), (b, c, d)]
    return points, triangles


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("output", nargs="?",
                        default="examples/bumpy_torus.obj")
    parser.add_argument("--cells", type=int, default=80)
    arguments = parser.parse_args()
    if arguments.cells < 5:
        sys.exit("make_closed_example.py: --cells must be at least 5")
    points, triangles = torus(arguments.cells)
    with open(arguments.output, "w", encoding="ascii") as out:
        out.write("# Bumpy torus: radii 1 and 0.4 (1 + 0.25 sin(5u) "
                  "cos(2v)), closed, genus 1\n")
        out.write("# %d vertices, %d triangles; written by "
                  "tools/make_example/make_closed_example.py\n"
                  % (len(points), len(triangles)))
        for x, y, z in points:
            out.write("v %.6f %.6f %.6f\n" % (x, y, z))
        for a, b, c in triangles:
            out.write("f %d %d %d\n" % (a + 1, b + 1, c + 1))


if __name__ == "__main__":
    main()
