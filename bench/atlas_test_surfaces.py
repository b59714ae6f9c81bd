#!/usr/bin/python3
"""Writes the generated surfaces of the atlas timings as OFF files.

    atlas_test_surfaces.py terrain N OUT.off   # height field, 2 N^2 triangles
    atlas_test_surfaces.py torus N OUT.off     # bumpy torus, 2 N^2 triangles

The terrain sums twelve seeded waves (an open disc); the torus is the closed
surface of atlas_scale_bench's "closed" kind.
"""
import math
import random
import sys


def terrain(n):
    """Points and triangles of an (n x n)-cell height field over [0, 1]^2."""
    rng = random.Random(1)
    waves = [(rng.uniform(0.5, 8), rng.uniform(0, 6.28), rng.uniform(0, 6.28),
              rng.uniform(0.02, 0.12)) for _ in range(12)]
    points = []
    for j in range(n + 1):
        for i in range(n + 1):
            x, y = i / n, j / n
            z = sum(a / (1 + f * 0.3) * math.sin(
                f * (x * math.cos(t) + y * math.sin(t)) * 2 * math.pi + p)
                for f, t, p, a in waves)
            points.append((x, y, z))
    triangles = []
    for j in range(n):
        for i in range(n):
            a = j * (n + 1) + i
            triangles += [(a, a + 1, a + n + 2), (a, a + n + 2, a + n + 1)]
    return points, triangles


def torus(n):
    """Points and triangles of a bumpy torus on an n x n grid."""
    points = []
    for j in range(n):
        for i in range(n):
            u, v = 2 * math.pi * i / n, 2 * math.pi * j / n
            r = 0.4 + 0.06 * math.sin(9 * u) * math.cos(7 * v)
            points.append(((1 + r * math.cos(v)) * math.cos(u),
                           (1 + r * math.cos(v)) * math.sin(u),
                           r * math.sin(v)))

    def vertex(i, j):
        return (j % n) * n + i % n
    triangles = []
    for j in range(n):
        for i in range(n):
            triangles += [(vertex(i, j), vertex(i + 1, j), vertex(i + 1, j + 1)),
                          (vertex(i, j), vertex(i + 1, j + 1), vertex(i, j + 1))]
    return points, triangles


def main():
    """Reads the kind, N and the output path from the command line."""
    if len(sys.argv) != 4 or sys.argv[1] not in ("terrain", "torus"):
        sys.exit(__doc__)
    points, triangles = (terrain if sys.argv[1] == "terrain" else torus)(
        int(sys.argv[2]))
    with open(sys.argv[3], "w", encoding="ascii") as out:
        out.write("OFF\n%d %d 0\n" % (len(points), len(triangles)))
        out.writelines("%.12g %.12g %.12g\n" % p for p in points)
        out.writelines("3 %d %d %d\n" % t for t in triangles)


if __name__ == "__main__":
    main()
