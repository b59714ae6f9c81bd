"""Compares `tessaplan atlas` with xatlas and Blender's Smart UV Project on
the same closed meshes, measuring the three outputs with the same code.

    /usr/bin/python3 bench/atlas_vs_blender.py [--build build/release] \
        [--xatlas-modules NODE_MODULES] [--resolution 2048] \
        [--tools tessaplan,xatlas,blender] [--json RESULTS.json] \
        MESH.off|MESH.obj ...

For example, on three scans, from the repository's root:

    (mkdir -p /tmp/scratch && cd /tmp/scratch && npm install xatlasjs)
    nice /usr/bin/python3 bench/atlas_vs_blender.py --build build/release \
        --xatlas-modules /tmp/scratch/node_modules \
        /tmp/data/cgal/data/meshes/{bull,camel,cow}.off

The tools:

- tessaplan: the build's `tools/tessaplan/tessaplan atlas --resolution R`
  (its other options at their defaults); its seconds are the atlas step of
  its report.
- xatlas: the WebAssembly build of the npm package `xatlasjs`, run by node
  through bench/xatlas_atlas.mjs with its default chart and pack options
  and resolution R; its seconds are xatlas::Generate alone, one thread
  (WebAssembly without threads), so slower than the native library. The
  package's binding takes 16-bit indices: a mesh of more than 65535
  vertices is given as parts of at most that many (see the .mjs), which
  adds seams along the parts' borders. NODE_MODULES (the folder holding
  `xatlasjs`) comes from --xatlas-modules or the environment variable
  XATLASJS_MODULES; without it, or without `node`, the column is skipped
  with a note. Both texture coordinates are divided by the atlas's larger
  side (xatlas's texel coordinates come out in single precision, already
  divided by the width and the height by the binding).
- blender: Debian's `blender` (3.4), headless, through
  bench/blender_smart_uv.py: Smart UV Project with angle limit 66 degrees
  and island margin 0.003; its seconds are the operator alone. Skipped with
  a note when `blender` is not on the PATH.

R (--resolution) defaults to 2048 texels. For each mesh and tool it prints
the charts, the seam edges (and their share of the edges), the covered
share of the unit square (the summed area of the UV triangles), the 95th
percentiles of the conformal distortion (sigma1 / sigma2 of each
triangle's map) and of the texel density both ways (per triangle of
non-zero 3D area, a = its share of the UV area over its share of the 3D
area, and the figure max(a, 1 / a)), the triangles whose image has zero
area (xatlas leaves the faces it drops from every chart at (0, 0); the
exact check counts them as flipped), the flipped triangles and overlapping
pairs found by tessaplan.check_atlas (the build's Python package; "-" when
it cannot be imported), and the seconds. A tool that fails gets a line
with its error. --json writes every figure to a file as well.

The time of `tessaplan atlas` against the size of generated surfaces is
bench/atlas_scale_series.py.
"""

import argparse
import json
import os
import pathlib
import shutil
import subprocess
import sys
import tempfile

import numpy as np

HERE = pathlib.Path(__file__).resolve().parent


def read_off(path):
    words = pathlib.Path(path).read_text().split()
    if words[0] != "OFF":
        raise ValueError(f"{path}: not an OFF file")
    nv, nf = int(words[1]), int(words[2])
    values = words[4:]
    points = np.array(values[:3 * nv], dtype=float).reshape(nv, 3)
    faces, at = [], 3 * nv
    for _ in range(nf):
        size = int(values[at])
        faces.append([int(v) for v in values[at + 1:at + 1 + size]])
        at += 1 + size
    return points, faces


def write_obj(path, points, faces):
    with open(path, "w") as out:
        for p in points:
            out.write(f"v {p[0]!r} {p[1]!r} {p[2]!r}\n")
        for face in faces:
            out.write("f " + " ".join(str(v + 1) for v in face) + "\n")


def read_obj_with_uv(path):
    """Points (n, 3), and per triangle of the faces' fans its vertex ids
    (m, 3) and corner images (m, 3, 2)."""
    points, texture, triangles, corners = [], [], [], []
    for line in open(path):
        fields = line.split()
        if not fields:
            continue
        if fields[0] == "v":
            points.append([float(x) for x in fields[1:4]])
        elif fields[0] == "vt":
            texture.append([float(x) for x in fields[1:3]])
        elif fields[0] == "f":
            ids = [field.split("/") for field in fields[1:]]
            v = [int(i[0]) - 1 for i in ids]
            t = [int(i[1]) - 1 for i in ids]
            for k in range(1, len(v) - 1):
                triangles.append([v[0], v[k], v[k + 1]])
                corners.append([texture[t[0]], texture[t[k]],
                                texture[t[k + 1]]])
    return (np.array(points), np.array(triangles, dtype=np.int64),
            np.array(corners, dtype=float))


def seams_and_charts(triangles, corners):
    """Edges shared by two triangles (by vertex ids) whose two ends do not
    have the same images on both sides, all such shared edges, and the
    charts: triangles joined through the other shared edges."""
    edges = {}
    for t, tri in enumerate(triangles):
        for k in range(3):
            a, b = int(tri[k]), int(tri[(k + 1) % 3])
            images = {a: tuple(corners[t, k]), b: tuple(corners[t, (k + 1) % 3])}
            edges.setdefault((min(a, b), max(a, b)), []).append((t, images))
    parent = list(range(len(triangles)))

    def root(t):
        while parent[t] != t:
            parent[t] = parent[parent[t]]
            t = parent[t]
        return t

    seams = shared = 0
    for (a, b), sides in edges.items():
        if len(sides) != 2:
            continue
        shared += 1
        (s, first), (t, second) = sides
        if first[a] == second[a] and first[b] == second[b]:
            parent[root(s)] = root(t)
        else:
            seams += 1
    charts = len({root(t) for t in range(len(triangles))})
    return seams, len(edges), charts


def percentile_95(values):
    """95th percentile, linear between ranks, infinite when the values it
    falls between are not both finite."""
    capped = np.minimum(values, 1e300)
    value = float(np.percentile(capped, 95))
    return np.inf if value > 1e299 else value


def triangle_areas(points, triangles, corners):
    """Area of each triangle in 3D and of its image."""
    p = points[triangles]
    area3 = 0.5 * np.linalg.norm(np.cross(p[:, 1] - p[:, 0], p[:, 2] - p[:, 0]),
                                 axis=1)
    e1, e2 = corners[:, 1] - corners[:, 0], corners[:, 2] - corners[:, 0]
    area2 = 0.5 * np.abs(e1[:, 0] * e2[:, 1] - e1[:, 1] * e2[:, 0])
    return area3, area2


def conformal_p95(points, triangles, corners):
    """95th percentile of sigma1 / sigma2 of the linear map of each
    triangle of non-zero 3D area onto its image (infinite for an image of
    zero area)."""
    p = points[triangles]
    e1, e2 = p[:, 1] - p[:, 0], p[:, 2] - p[:, 0]
    normal = np.cross(e1, e2)
    area = np.linalg.norm(normal, axis=1)
    keep = area > 0
    x_axis = e1[keep] / np.linalg.norm(e1[keep], axis=1)[:, None]
    y_axis = np.cross(normal[keep] / area[keep, None], x_axis)
    local = np.stack([np.stack([np.einsum("ij,ij->i", e, x_axis),
                                np.einsum("ij,ij->i", e, y_axis)], axis=1)
                      for e in (e1[keep], e2[keep])], axis=2)
    uv = corners[keep]
    image = np.stack([uv[:, 1] - uv[:, 0], uv[:, 2] - uv[:, 0]], axis=2)
    jacobian = image @ np.linalg.inv(local)
    sigma = np.linalg.svd(jacobian, compute_uv=False)
    ratio = np.where(sigma[:, 1] > 0, sigma[:, 0] / np.maximum(sigma[:, 1],
                                                               1e-300),
                     np.inf)
    return percentile_95(ratio)


def texel_density_p95(area3, area2):
    """95th percentile over the triangles of non-zero 3D area of max(a,
    1 / a), a being the triangle's share of the UV area over its share of
    the 3D area (1 everywhere when the texels are spread evenly)."""
    keep = area3 > 0
    total3, total2 = area3.sum(), area2.sum()
    if total2 <= 0:
        return np.inf
    a = (area2[keep] / total2) / (area3[keep] / total3)
    both_ways = np.where(a > 0, np.maximum(a, 1.0 / np.maximum(a, 1e-300)),
                         np.inf)
    return percentile_95(both_ways)


def exact_check(points, triangles, corners):
    """Flipped triangles and overlapping pairs by tessaplan.check_atlas, or
    None for both when the package cannot be imported."""
    try:
        import tessaplan
    except ImportError:
        return None, None
    check = tessaplan.check_atlas(points, triangles, corners)
    return check["flipped_triangles"], check["overlapping_pairs"]


def measure(obj_path):
    """Every figure of one tool's output OBJ."""
    points, triangles, corners = read_obj_with_uv(obj_path)
    seams, edges, charts = seams_and_charts(triangles, corners)
    area3, area2 = triangle_areas(points, triangles, corners)
    flipped, overlaps = exact_check(points, triangles, corners)
    return {"triangles": len(triangles), "charts": charts, "seams": seams,
            "edges": edges, "efficiency": float(area2.sum()),
            "conformal_p95": conformal_p95(points, triangles, corners),
            "texel_density_p95": texel_density_p95(area3, area2),
            "zero_area_images": int((area2 == 0).sum()),
            "flipped": flipped, "overlaps": overlaps,
            "in_square": bool(corners.min() >= 0 and corners.max() <= 1)}


def run_tessaplan(build, source, target, workdir, options):
    """Runs `tessaplan atlas`; returns the seconds of its atlas step and
    some figures of its own report."""
    result = subprocess.run(
        [str(build / "tools" / "tessaplan" / "tessaplan"), "atlas",
         str(source), "-o", str(target), "--json", "--resolution",
         str(options.resolution)],
        capture_output=True, text=True, check=True)
    report = json.loads(result.stdout)
    own = ("charts", "efficiency", "texels_per_unit", "area_distortion",
           "conformal_distortion")
    return report["seconds"]["atlas"], {"tessaplan": {
        key: report[key] for key in own}}


def run_xatlas(build, source, target, workdir, options):
    """Runs xatlas through node; returns the seconds of xatlas::Generate and
    the atlas's size, count and parts."""
    report = workdir / "xatlas.json"
    subprocess.run(["node", str(HERE / "xatlas_atlas.mjs"),
                    str(options.xatlas_modules), str(source), str(target),
                    str(report), str(options.resolution)],
                   capture_output=True, text=True, check=True)
    figures = json.loads(report.read_text())
    return figures.pop("seconds"), {"xatlas": figures}


def run_blender(build, source, target, workdir, options):
    """Runs Smart UV Project in Blender; returns the operator's seconds and
    its settings."""
    report = workdir / "blender.json"
    subprocess.run(["blender", "-b", "--factory-startup", "--python",
                    str(HERE / "blender_smart_uv.py"), "--", str(source),
                    str(target), str(report)],
                   capture_output=True, text=True, check=True)
    figures = json.loads(report.read_text())
    return figures.pop("seconds"), {"blender": figures}


RUNNERS = {"tessaplan": run_tessaplan, "xatlas": run_xatlas,
           "blender": run_blender}

HEADER = (f"{'mesh':<22} {'tool':<10} {'tris':>8} {'charts':>7} "
          f"{'seams':>7} {'share':>7} {'square':>7} {'conf95':>7} "
          f"{'texel95':>8} {'zeroUV':>6} {'flips':>6} {'overlaps':>8} "
          f"{'seconds':>8}")


def row(name, tool, figures, seconds):
    def count(value):
        return "-" if value is None else str(value)
    return (f"{name:<22} {tool:<10} {figures['triangles']:>8} "
            f"{figures['charts']:>7} {figures['seams']:>7} "
            f"{100.0 * figures['seams'] / figures['edges']:>6.1f}% "
            f"{100.0 * figures['efficiency']:>6.1f}% "
            f"{figures['conformal_p95']:>7.3f} "
            f"{figures['texel_density_p95']:>8.3f} "
            f"{figures['zero_area_images']:>6} "
            f"{count(figures['flipped']):>6} {count(figures['overlaps']):>8} "
            f"{seconds:>8.2f}"
            + ("" if figures["in_square"] else "  (outside the square)"))


def available_tools(options):
    """The tools asked for that can run here, with a note for each that
    cannot."""
    tools = []
    for tool in options.tools.split(","):
        if tool not in RUNNERS:
            raise SystemExit(f"unknown tool {tool!r} (tessaplan, xatlas, "
                             "blender)")
        if tool == "xatlas":
            modules = options.xatlas_modules
            if shutil.which("node") is None:
                print("note: no node on the PATH, xatlas skipped")
                continue
            if modules is None or not (modules / "xatlasjs").is_dir():
                where = ("no folder given" if modules is None
                         else f"none in {modules}")
                print(f"note: xatlasjs: {where} (--xatlas-modules or "
                      "XATLASJS_MODULES), xatlas skipped")
                continue
        if tool == "tessaplan" and not (options.build / "tools" / "tessaplan"
                                        / "tessaplan").is_file():
            print(f"note: no tools/tessaplan/tessaplan in {options.build}, "
                  "tessaplan skipped")
            continue
        if tool == "blender" and shutil.which("blender") is None:
            print("note: no blender on the PATH, blender skipped")
            continue
        tools.append(tool)
    return tools


def compare(mesh, tools, build, options):
    """Runs every tool on one mesh, printing a line per tool; returns the
    figures."""
    results = []
    with tempfile.TemporaryDirectory() as scratch:
        workdir = pathlib.Path(scratch)
        source = workdir / (mesh.stem + ".obj")
        if mesh.suffix.lower() == ".off":
            write_obj(source, *read_off(mesh))
        else:
            source.write_bytes(mesh.read_bytes())
        for tool in tools:
            target = workdir / f"{tool}.obj"
            try:
                seconds, details = RUNNERS[tool](build, source, target,
                                                 workdir, options)
            except subprocess.CalledProcessError as error:
                message = (error.stderr or "").strip().splitlines()
                print(f"{mesh.stem:<22} {tool:<10} failed (status "
                      f"{error.returncode}): "
                      f"{message[-1] if message else ''}", flush=True)
                results.append({"mesh": mesh.stem, "tool": tool,
                                "error": message[-1] if message else ""})
                continue
            figures = measure(target)
            parts = details.get("xatlas", {}).get("parts", 1)
            print(row(mesh.stem, tool, figures, seconds)
                  + (f"  ({parts} parts)" if parts > 1 else ""), flush=True)
            results.append({"mesh": mesh.stem, "tool": tool,
                            "seconds": seconds, **figures, **details})
    return results


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default="build/release", type=pathlib.Path)
    parser.add_argument("--xatlas-modules", type=pathlib.Path,
                        default=os.environ.get("XATLASJS_MODULES"),
                        help="node_modules folder holding xatlasjs")
    parser.add_argument("--resolution", type=int, default=2048,
                        help="texels along the side, tessaplan and xatlas")
    parser.add_argument("--tools", default="tessaplan,xatlas,blender")
    parser.add_argument("--json", type=pathlib.Path,
                        help="also write every figure to this file")
    parser.add_argument("meshes", nargs="+", type=pathlib.Path)
    options = parser.parse_args()
    if options.xatlas_modules is not None:
        options.xatlas_modules = pathlib.Path(options.xatlas_modules).resolve()
    build = options.build = options.build.resolve()
    sys.path[:0] = [str(build / "python"), str(HERE.parent / "python")]
    tools = available_tools(options)
    print(HEADER)
    results = []
    for mesh in options.meshes:
        results += compare(mesh, tools, build, options)
    if options.json is not None:
        options.json.write_text(json.dumps(results, indent=1) + "\n")


if __name__ == "__main__":
    main()
