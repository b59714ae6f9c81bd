"""Times `tessaplan atlas` on generated surfaces from 10k to 1M triangles
and fits the exponent of time against size.

    /usr/bin/python3 bench/atlas_scale_series.py [--build build/release] \\
        [--sizes 10000,30000,100000,300000,1000000] [--max-triangles N] \\
        [--kinds sphere,torus,terrain] [--timeout SECONDS] [--stages] \\
        [--keep FOLDER]

For example, from the repository's root, a short run:

    nice /usr/bin/python3 bench/atlas_scale_series.py \\
        --build build/release --max-triangles 100000

The surfaces, written as OFF files in a temporary folder (or FOLDER with
--keep) with as close to the asked number of triangles as their grids
allow:

- sphere: a cube's six faces, each an s x s grid of cells of two triangles,
  pushed onto a sphere with bumps (closed, genus 0);
- torus: an m x k grid of cells wrapped both ways onto a torus with bumps
  (closed, genus 1);
- terrain: an n x n grid of cells lifted as a height field (open, one
  boundary).

Each runs in its own `tessaplan atlas --json` process (the resolution and
the other options at their defaults), under the time limit (default 1800
seconds). The table gives the triangles, the charts, the seconds of the
atlas step from the report, the process's CPU seconds (all threads; a
loaded machine inflates them less than the wall time) and its peak memory.
With --stages, build/bench/atlas_stages_bench also runs on each surface and
its seconds per stage (facts, cut, merge, straighten, pack, check) are
printed. Last, per kind, the exponent b of seconds ~ c * triangles^b,
fitted by least squares on the logarithms, for the atlas seconds and for
the CPU seconds.
"""

import argparse
import json
import os
import pathlib
import re
import subprocess
import sys
import tempfile
import time

import numpy as np


def bumped(directions, radius):
    """Points at `radius` along unit `directions`, with smooth bumps of a
    tenth of the radius."""
    x, y, z = directions.T
    bumps = 1.0 + 0.1 * np.sin(7.0 * x) * np.sin(6.0 * y + 1.0) * np.sin(
        5.0 * z + 2.0)
    return directions * (radius * bumps)[:, None]


def grid_triangles(rows, columns, index):
    """Two triangles per cell of a rows x columns grid whose corner (i, j)
    is vertex index[i, j]."""
    a = index[:-1, :-1].ravel()
    b = index[1:, :-1].ravel()
    c = index[1:, 1:].ravel()
    d = index[:-1, 1:].ravel()
    return np.concatenate([np.stack([a, b, c], axis=1),
                           np.stack([a, c, d], axis=1)])


def cube_sphere(triangles):
    """Closed bumpy sphere of 12 s^2 triangles, s chosen to come closest
    to `triangles`."""
    s = max(1, round((triangles / 12.0) ** 0.5))
    ticks = np.arange(s + 1)
    u, v = np.meshgrid(ticks, ticks, indexing="ij")
    zero, full = np.zeros_like(u), np.full_like(u, s)
    faces = []
    # Each face of the cube [0, s]^3, its cells turned outwards.
    for axis in range(3):
        for side, (first, second) in ((zero, (v, u)), (full, (u, v))):
            coords = [None, None, None]
            coords[axis] = side
            coords[(axis + 1) % 3], coords[(axis + 2) % 3] = first, second
            faces.append(np.stack(coords, axis=-1).reshape(-1, 3))
    lattice = np.concatenate(faces)
    unique, inverse = np.unique(lattice, axis=0, return_inverse=True)
    inverse = inverse.reshape(-1)
    triangles_out = []
    for f in range(6):
        index = inverse[f * (s + 1) ** 2:(f + 1) * (s + 1) ** 2]
        triangles_out.append(grid_triangles(s, s, index.reshape(s + 1, s + 1)))
    centred = unique - s / 2.0
    directions = centred / np.linalg.norm(centred, axis=1)[:, None]
    return bumped(directions, 1.0), np.concatenate(triangles_out)


def torus(triangles):
    """Closed bumpy torus of 2 m k triangles, m around the axis three
    times k around the tube."""
    k = max(3, round((triangles / 6.0) ** 0.5))
    m = max(3, round(triangles / (2.0 * k)))
    theta = 2.0 * np.pi * np.arange(m) / m
    phi = 2.0 * np.pi * np.arange(k) / k
    t, p = np.meshgrid(theta, phi, indexing="ij")
    tube = 0.35 * (1.0 + 0.15 * np.sin(5.0 * t) * np.sin(3.0 * p))
    points = np.stack([(1.0 + tube * np.cos(p)) * np.cos(t),
                       (1.0 + tube * np.cos(p)) * np.sin(t),
                       tube * np.sin(p)], axis=-1).reshape(-1, 3)
    index = np.arange(m * k).reshape(m, k)
    wrapped = np.concatenate([index, index[:1]], axis=0)
    wrapped = np.concatenate([wrapped, wrapped[:, :1]], axis=1)
    return points, grid_triangles(m, k, wrapped)


def terrain(triangles):
    """Open height field over an n x n grid of cells, 2 n^2 triangles."""
    n = max(1, round((triangles / 2.0) ** 0.5))
    ticks = np.linspace(0.0, 1.0, n + 1)
    x, y = np.meshgrid(ticks, ticks, indexing="ij")
    z = (0.1 * np.sin(9.0 * x) * np.cos(7.0 * y) + 0.03 * np.sin(31.0 * x + 2.0)
         * np.sin(27.0 * y))
    points = np.stack([x, y, z], axis=-1).reshape(-1, 3)
    index = np.arange((n + 1) ** 2).reshape(n + 1, n + 1)
    return points, grid_triangles(n, n, index)


GENERATORS = {"sphere": cube_sphere, "torus": torus, "terrain": terrain}


def write_off(path, points, triangles):
    with open(path, "w") as out:
        out.write(f"OFF\n{len(points)} {len(triangles)} 0\n")
        np.savetxt(out, points, fmt="%.17g")
        np.savetxt(out, np.column_stack([np.full(len(triangles), 3),
                                         triangles]), fmt="%d")


def run_atlas(build, mesh, timeout):
    """Runs `tessaplan atlas --json` on the mesh; returns its report, and
    its CPU seconds and peak memory (MB) from the kernel."""
    output = mesh.with_name(mesh.stem + "-atlas.obj")
    with tempfile.TemporaryFile("w+") as stdout:
        process = subprocess.Popen(
            [str(build / "tools" / "tessaplan" / "tessaplan"), "atlas",
             str(mesh), "-o", str(output), "--json"],
            stdout=stdout, stderr=subprocess.PIPE, text=True)
        deadline = time.monotonic() + timeout
        while True:
            pid, status, usage = os.wait4(process.pid, os.WNOHANG)
            if pid != 0:
                break
            if time.monotonic() > deadline:
                process.kill()
                os.wait4(process.pid, 0)
                raise TimeoutError(f"over {timeout:.0f} s")
            time.sleep(0.05)
        process.returncode = os.waitstatus_to_exitcode(status)
        error = process.stderr.read().strip()
        process.stderr.close()
        if process.returncode != 0:
            raise RuntimeError(f"status {process.returncode}: {error}")
        stdout.seek(0)
        report = json.load(stdout)
    output.unlink(missing_ok=True)
    return report, usage.ru_utime + usage.ru_stime, usage.ru_maxrss / 1024.0


def run_stages(build, mesh, timeout):
    """Seconds per stage printed by atlas_stages_bench, by stage name."""
    result = subprocess.run(
        [str(build / "bench" / "atlas_stages_bench"), str(mesh)],
        capture_output=True, text=True, check=True, timeout=timeout)
    return {name: float(value) for name, value in re.findall(
        r"(facts|cut|merge|straighten|pack|check|total)\s+([0-9.]+)",
        result.stdout)}


def fitted_exponent(sizes, seconds):
    """Slope of log(seconds) against log(sizes) by least squares, or None
    with fewer than two sizes."""
    if len(sizes) < 2:
        return None
    slope, _ = np.polyfit(np.log(sizes), np.log(seconds), 1)
    return float(slope)


def parse_arguments():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default="build/release", type=pathlib.Path)
    parser.add_argument("--sizes", default="10000,30000,100000,300000,1000000")
    parser.add_argument("--max-triangles", type=int, default=None,
                        help="leave out the sizes above this")
    parser.add_argument("--kinds", default="sphere,torus")
    parser.add_argument("--timeout", type=float, default=1800.0)
    parser.add_argument("--stages", action="store_true",
                        help="also time the stages by atlas_stages_bench")
    parser.add_argument("--keep", type=pathlib.Path, default=None,
                        help="write the OFF files to this folder and keep them")
    options = parser.parse_args()
    options.sizes = sorted(int(size) for size in options.sizes.split(","))
    if options.max_triangles is not None:
        options.sizes = [n for n in options.sizes if n <= options.max_triangles]
    options.kinds = options.kinds.split(",")
    for kind in options.kinds:
        if kind not in GENERATORS:
            parser.error(f"unknown kind {kind!r} (sphere, torus, terrain)")
    return options


def time_one(kind, size, folder, build, options):
    """Generates, writes and times one surface; prints its line and returns
    (triangles, atlas seconds, CPU seconds), or None when it failed."""
    points, triangles = GENERATORS[kind](size)
    mesh = folder / f"{kind}-{len(triangles)}.off"
    write_off(mesh, points, triangles)
    try:
        report, cpu, peak = run_atlas(build, mesh, options.timeout)
    except (TimeoutError, RuntimeError) as error:
        print(f"{kind:<8} {len(triangles):>9}  failed: {error}", flush=True)
        return None
    seconds = report["seconds"]["atlas"]
    line = (f"{kind:<8} {len(triangles):>9} {report['charts']:>7} "
            f"{seconds:>9.3f} {cpu:>9.3f} {peak:>8.0f}")
    if options.stages:
        stages = run_stages(build, mesh, options.timeout)
        line += "  " + " ".join(f"{name} {value:.3f}"
                                for name, value in stages.items())
    print(line, flush=True)
    if options.keep is None:
        mesh.unlink()
    return len(triangles), seconds, cpu


def main():
    options = parse_arguments()
    build = options.build.resolve()
    with tempfile.TemporaryDirectory() as scratch:
        folder = options.keep or pathlib.Path(scratch)
        folder.mkdir(parents=True, exist_ok=True)
        print(f"{'kind':<8} {'triangles':>9} {'charts':>7} {'atlas s':>9} "
              f"{'cpu s':>9} {'peak MB':>8}", flush=True)
        fits = {}
        for kind in options.kinds:
            timed = [time_one(kind, size, folder, build, options)
                     for size in options.sizes]
            fits[kind] = [t for t in timed if t is not None]
    print()
    for kind, timed in fits.items():
        sizes = [t[0] for t in timed]
        exponents = [fitted_exponent(sizes, [t[i] for t in timed])
                     for i in (1, 2)]
        text = ["-" if e is None else f"{e:.2f}" for e in exponents]
        print(f"{kind:<8} exponent of time vs triangles: atlas {text[0]}, "
              f"cpu {text[1]} (over {len(sizes)} sizes)")
    return 0


if __name__ == "__main__":
    sys.exit(main())
