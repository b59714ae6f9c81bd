"""Two Python threads flattening at once against one thread doing both,
and the same for the atlas: the computation releases the interpreter lock,
so on two cores the threads should take clearly less than twice the time
of one call. Run from the source folder after building:

    PYTHONPATH=build/release/python:python /usr/bin/python3 \\
        bench/python_threads.py [TRIANGLES]
"""

import math
import sys
import threading
import time

import numpy as np

import tessaplan


def wavy_grid(n):
    xs, ys = np.meshgrid(np.linspace(0, 1, n + 1), np.linspace(0, 1, n + 1))
    zs = 0.2 * np.sin(3 * xs) * np.cos(2 * ys)
    points = np.column_stack([xs.ravel(), ys.ravel(), zs.ravel()])
    ids = np.arange((n + 1) ** 2).reshape(n + 1, n + 1)
    a, b = ids[:-1, :-1].ravel(), ids[:-1, 1:].ravel()
    c, d = ids[1:, 1:].ravel(), ids[1:, :-1].ravel()
    triangles = np.concatenate([np.stack([a, b, c], 1), np.stack([a, c, d], 1)])
    return points, triangles


def timed(work, threads):
    start = time.perf_counter()
    if threads == 1:
        for _ in range(2):
            work()
    else:
        running = [threading.Thread(target=work) for _ in range(2)]
        for thread in running:
            thread.start()
        for thread in running:
            thread.join()
    return time.perf_counter() - start


def main():
    triangles_wanted = int(sys.argv[1]) if len(sys.argv) > 1 else 200000
    n = max(2, int(math.sqrt(triangles_wanted / 2)))
    points, triangles = wavy_grid(n)
    jobs = {
        "flatten": lambda: tessaplan.flatten(points, triangles),
        "atlas": lambda: tessaplan.atlas(points, triangles),
    }
    print("%d triangles; two calls, one thread after the other, then two "
          "threads at once" % len(triangles))
    for name, work in jobs.items():
        work()  # warm up
        serial = min(timed(work, 1) for _ in range(3))
        parallel = min(timed(work, 2) for _ in range(3))
        print("%-8s serial %7.3f s   two threads %7.3f s   ratio %.2f"
              % (name, serial, parallel, parallel / serial))


if __name__ == "__main__":
    main()
