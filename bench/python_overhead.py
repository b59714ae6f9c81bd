"""Time tessaplan.flatten step by step on a generated wavy grid surface.

Reports the time of every step that flatten takes (array checks and surface
construction, the C++ call that computes the map and hands it back as an
array) and how much the whole call takes over the C++ one.

    PYTHONPATH=<build>/python:<source>/python \\
        /usr/bin/python3 bench/python_overhead.py [TRIANGLES] [REPEATS]
"""

import sys
import time

import numpy

import tessaplan
import tessaplan_py_surface
import velmora_py_mesh


def wavy_grid(nb_triangles):
    """A grid of n x n cells over [-1, 1]^2, lifted by a few waves."""
    n = max(1, int(round((nb_triangles / 2) ** 0.5)))
    t = numpy.linspace(-1.0, 1.0, n + 1)
    x, y = numpy.meshgrid(t, t)
    z = 0.15 * numpy.sin(4.0 * x) * numpy.cos(3.0 * y) + 0.05 * numpy.sin(
        9.0 * x * y)
    points = numpy.column_stack([x.ravel(), y.ravel(), z.ravel()])
    i, j = numpy.meshgrid(numpy.arange(n), numpy.arange(n))
    a = (j * (n + 1) + i).ravel()
    b = a + 1
    c = a + n + 1
    d = c + 1
    triangles = numpy.concatenate(
        [numpy.column_stack([a, b, d]), numpy.column_stack([a, d, c])])
    return points, triangles.astype(numpy.int64)


def steps(points, triangles):
    """flatten's steps, timed one by one: the checked arrays become a
    surface, the C++ call computes the map, which comes back as an array."""
    times = {}
    start = time.perf_counter()
    surface = velmora_py_mesh.TriangulatedSurface3D.from_arrays(
        points, triangles)
    times["surface from arrays"] = time.perf_counter() - start
    start = time.perf_counter()
    tessaplan_py_surface.compute_LSCM_map(surface)
    times["map (C++ call)"] = time.perf_counter() - start
    return times


def main():
    nb_triangles = int(sys.argv[1]) if len(sys.argv) > 1 else 2000000
    repeats = int(sys.argv[2]) if len(sys.argv) > 2 else 2
    points, triangles = wavy_grid(nb_triangles)
    best = None
    whole = []
    # Alternated, so that both see the same load on a shared machine.
    for _ in range(repeats):
        times = steps(points, triangles)
        if best is None:
            best = times
        else:
            best = {k: min(best[k], v) for k, v in times.items()}
        start = time.perf_counter()
        tessaplan.flatten(points, triangles)
        whole.append(time.perf_counter() - start)
    print("%d triangles, min of %d runs" % (len(triangles), repeats))
    for key, value in best.items():
        print("  %-24s %7.3f s" % (key, value))
    core = best["map (C++ call)"]
    print("  tessaplan.flatten        %7.3f s: %+.0f%% over the C++ call" %
          (min(whole), 100.0 * (min(whole) - core) / core))


if __name__ == "__main__":
    main()
